# Run by cpack: the package's Depends, from dpkg-shlibdeps on the installed
# programs. CPack can do this itself, but it first runs `file` on every
# installed file, thousands of them here, which takes minutes.
if(CPACK_GENERATOR STREQUAL "DEB")
    file(STRINGS ${CPACK_ZORVINA_PROGRAMS_FILE} programs)
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
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}, ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
endif()
