#!/bin/sh
# check-package on a package that an archiver makes of a tree with the product executable; every
# pattern must match a line of its output.
#   check_package_test.sh WORK_DIR "ARCHIVER ARGS" PATTERN... -- RUNNER... CHECKER.exe
set -eu
work=$1 archiver=$2
shift 2
rm -rf "$work" && mkdir -p "$work/Tovarelin/bin"
while [ "$1" != -- ]; do
  printf '%s\n' "$1" >> "$work/expected.txt"
  shift
done
shift
cd "$work"
echo MZ > Tovarelin/bin/霁岚舟.exe
$archiver package.zip Tovarelin >/dev/null
TOVARELIN_NO_DISPLAY=1 "$@" "Z:$work/package.zip" > out.txt || true
cat out.txt
status=0
while IFS= read -r pattern; do
  grep -q -- "$pattern" out.txt || { echo "no line matches: $pattern"; status=1; }
done < expected.txt
exit $status
