# SPDX-License-Identifier: GPL-3.0-or-later
# Run by cpack: each package's Depends, from dpkg-shlibdeps on its installed
# programs. CPack can do this itself, but it first runs `file` on every
# installed file, thousands of them here, which takes minutes.
function(shlib_depends list variable)
    file(STRINGS ${list} programs)
    set(work ${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps)
    file(MAKE_DIRECTORY ${work}/debian)
    file(WRITE ${work}/debian/control "")
    execute_process(COMMAND dpkg-shlibdeps -O ${programs}
                    WORKING_DIRECTORY ${work}
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
    file(REMOVE_RECURSE ${work})
    if(NOT result EQUAL 0 OR NOT output MATCHES "shlibs:Depends=([^\n]*)")
        message(FATAL_ERROR "dpkg-shlibdeps failed (is dpkg-dev installed?):\n${errors}")
    endif()
    set(${variable} "${CMAKE_MATCH_1}, ${${variable}}" PARENT_SCOPE)
endfunction()

if(CPACK_GENERATOR STREQUAL "DEB")
    shlib_depends(${CPACK_ZORVINA_PROGRAMS_FILE} CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS)
    shlib_depends(${CPACK_ZORVINA_MOVIEMAKER_FILE} CPACK_DEBIAN_MOVIEMAKER_PACKAGE_DEPENDS)
endif()
