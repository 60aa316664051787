#!/bin/sh
# check-package on a package that an archiver makes of a tree with the product executable.
#   check_package_test.sh WORK_DIR "ARCHIVER ARGS" EXPECTED_LINE_PATTERN RUNNER... CHECKER.exe
set -eu
work=$1 archiver=$2 expected=$3
shift 3
rm -rf "$work" && mkdir -p "$work/Tovarelin/bin" && cd "$work"
echo MZ > Tovarelin/bin/霁岚舟.exe
$archiver package.zip Tovarelin >/dev/null
TOVARELIN_NO_DISPLAY=1 "$@" "Z:$work/package.zip" > out.txt || true
cat out.txt
grep -q "$expected" out.txt
