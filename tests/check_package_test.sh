#!/bin/sh
# check-package on a package that an archiver makes of a tree with the product executable; each
# pattern must match a line of its output. With SIGNING_KEY (a private key, PEM) the package is
# signed as `make sign-package` signs it, and the signature is checked too.
#   check_package_test.sh WORK_DIR "ARCHIVER ARGS" PATTERN... -- RUNNER... CHECKER.exe
set -eu
work=$1 archiver=$2
shift 2
rm -rf "$work" && mkdir -p "$work/Tovarelin/bin" && cd "$work"
while [ "$1" != -- ]; do printf '%s\n' "$1" >> expected.txt && shift; done
shift
echo MZ > Tovarelin/bin/霁岚舟.exe
$archiver package.zip Tovarelin >/dev/null
set -- "$@" "Z:$work/package.zip"
if [ -n "${SIGNING_KEY:-}" ]; then
  openssl ec -in "$SIGNING_KEY" -pubout -out public.pem 2>/dev/null
  set -- "$@" "$("$(dirname "$0")/../tools/package_key.sh" public.pem)" \
    "$(openssl dgst -sha256 -sign "$SIGNING_KEY" package.zip | base64 -w0)"
fi
TOVARELIN_NO_DISPLAY=1 "$@" > out.txt || true
cat out.txt
while IFS= read -r pattern; do grep -q -- "$pattern" out.txt || exit 1; done < expected.txt
