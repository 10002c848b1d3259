#!/usr/bin/env bash
# Static checks that CI runs next to the tests; any finding fails. clang-format (.clang-format)
# over the library, the tests and the demo programs; a search for the string functions the
# project bans; clang-tidy (.clang-tidy says which checks and why) over the library's sources
# with the compile database of the x64-clang preset, which configuring alone produces.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset x64-clang -DKX_BUILD_TESTS=ON >/dev/null
status=0

mapfile -t sources < <(find src tests demo -name '*.cpp' -o -name '*.h' | sort)
echo "lint: clang-format over ${#sources[@]} files"
clang-format --dry-run --Werror "${sources[@]}" || status=1

# Unbounded or unterminated copies and formatting: kx::BoundedCopy/BoundedAppend or StringCch*.
banned='strcpy|wcscpy|_tcscpy|strcat|wcscat|_tcscat|strncpy|wcsncpy|strncat|wcsncat|sprintf|vsprintf'
banned+='|swprintf|vswprintf|_stprintf|wsprintf[AW]?|wvsprintf[AW]?|lstrcpy[AW]?|lstrcpyn[AW]?|lstrcat[AW]?'
banned+='|StrCpyW?|StrCatW?|StrNCatW?|gets|_getws'
echo "lint: banned string functions"
if grep -nEw "($banned)[[:space:]]*\(" "${sources[@]}"; then
    echo "lint: use kx::BoundedCopy, kx::BoundedAppend or StringCch* instead"
    status=1
fi

mapfile -t library < <(find src -name '*.cpp' | sort)
echo "lint: clang-tidy over ${#library[@]} files"
# Debian's clang-tidy (14) refuses Clang 19's -mguard=cf (cmake/hardening.cmake) and
# -gno-codeview-command-line (cmake/symbols.cmake), which change nothing that it checks: it reads a
# copy of the database without them.
mkdir -p build-x64-clang/tidy
sed 's/ -mguard=cf//g; s/ -gno-codeview-command-line//g' build-x64-clang/compile_commands.json \
    >build-x64-clang/tidy/compile_commands.json
printf '%s\n' "${library[@]}" |
    xargs -P "$(nproc)" -n 1 clang-tidy -p build-x64-clang/tidy --quiet 2> >(grep -v ' warnings generated\.$' >&2) ||
    status=1

[ $status -eq 0 ] && echo "lint: clean"
exit $status
