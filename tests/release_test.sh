#!/bin/sh
# make release from two copies of the source at different paths, one after the other: the
# unsigned executables must be the same bytes, and the second, signed with a certificate made
# here, must pass osslsigncode's verification against that certificate.
#   release_test.sh SOURCE_DIR WORK_DIR
set -eu
source=$1 work=$2
rm -rf "$work"
mkdir -p "$work/key"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tovarelin test signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key/key.pem" -out "$work/key/cert.pem" 2>/dev/null
echo "throwaway-password" > "$work/key/password.txt"
openssl pkcs12 -export -inkey "$work/key/key.pem" -in "$work/key/cert.pem" \
  -passout file:"$work/key/password.txt" -out "$work/key/signer.p12"

copy() {  # the tree as committed, plus what is new and not ignored
  mkdir -p "$1"
  git -C "$source" ls-files -z --cached --others --exclude-standard |
    (cd "$source" && tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -C "$1" -xf -
}
first="$work/a/src" second="$work/second/copy/at/a/longer/path/src"
copy "$first"
make -s -C "$first" release RELEASE_BUILD="$work/a/out"
sleep 1  # the second build starts at another second
copy "$second"
make -s -C "$second" release RELEASE_BUILD="$work/b/out" \
  SIGN_PKCS12="$work/key/signer.p12" SIGN_PASSWORD_FILE="$work/key/password.txt"

cmp "$work/a/out/release/TovarelinInstaller.exe" "$work/b/out/bin/TovarelinInstaller.exe"
echo "reproducible: the two unsigned builds are the same bytes"
osslsigncode verify -CAfile "$work/key/cert.pem" -in "$work/b/out/release/TovarelinInstaller.exe" |
  tee "$work/verify.txt" | grep -E "^(Signature verification|Number of verified)"
grep -q "^Signature verification: ok" "$work/verify.txt"
rm -rf "$work"
