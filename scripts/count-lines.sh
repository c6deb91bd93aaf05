#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Counts the lines of code (neither blank nor comment) of the tests against the
# code they test, per folder, and the share of the tests in the whole.
# Usage: scripts/count-lines.sh [--files]   (--files also lists every file)
set -euo pipefail
cd "$(dirname "$0")/.."

# Lines that are neither blank nor comments: // and /* */ in C++ and
# JavaScript, # in shell, Python and CMake (but not a script's #! line).
count_file() {
    case "$1" in
    *.cpp | *.h | *.js)
        # Strings are skipped whole, so "/*" or "//" in one starts no comment;
        # only JavaScript's template strings run on past the end of a line.
        awk '
            { code = 0; i = 1
              while (i <= length($0)) {
                  c = substr($0, i, 1); pair = substr($0, i, 2)
                  if (incomment) {
                      if (pair == "*/") { incomment = 0; i++ }
                  } else if (quote != "") {
                      code = 1
                      if (c == "\\") i++
                      else if (c == quote) quote = ""
                  } else if (pair == "/*") { incomment = 1; i++ }
                  else if (pair == "//") break
                  else if (c == "\"" || c == "\047" || c == "`") { quote = c; code = 1 }
                  else if (c !~ /[ \t\r]/) code = 1
                  i++
              }
              if (quote != "`") quote = ""
              n += code }
            END { print n + 0 }' "$1" ;;
    *.sh | *.py | *.cmake | */CMakeLists.txt | CMakeLists.txt)
        awk '/^[ \t]*$/ || /^[ \t]*#/ { next } { n++ } END { print n + 0 }' "$1" ;;
    *.html | *.qrc)
        awk '/^[ \t]*$/ { next } { n++ } END { print n + 0 }' "$1" ;;
    *) echo 0 ;;
    esac
}

code_files() {
    git -c core.quotepath=off ls-files -- "$@" | grep -E '(\.(cpp|h|js|html|qrc|sh|py|cmake)|CMakeLists\.txt)$' || true
}

list_files=false
[ "${1:-}" = --files ] && list_files=true

# Prints "folder lines" for each folder and returns the total in $total.
count_folders() {
    total=0
    local folder file n sum
    for folder in "$@"; do
        sum=0
        while IFS= read -r file; do
            n=$(count_file "$file")
            $list_files && printf '    %6d  %s\n' "$n" "$file"
            sum=$((sum + n))
        done < <(code_files "$folder")
        printf '  %-24s %6d\n' "$folder" "$sum"
        total=$((total + sum))
    done
}

echo "code:"
count_folders $(git -c core.quotepath=off ls-files src tools | cut -d/ -f1-2 | sort -u) resources/generator bench scripts
code_total=$total
printf '  %-24s %6d\n' total "$code_total"
echo "tests:"
count_folders $(git -c core.quotepath=off ls-files tests | cut -d/ -f1-2 | grep -v '^tests/data' | sort -u)
tests_total=$total
printf '  %-24s %6d\n' total "$tests_total"
awk -v t="$tests_total" -v c="$code_total" 'BEGIN {
    printf "tests are %.0f %% of all the code (%.2f lines of test per line of code)\n",
           100 * t / (t + c), t / c }'
