#!/bin/sh
# make release from two copies of the source at different paths, one after the other, with a
# package key made here: the unsigned executables must be the same bytes, and the second, signed
# with a certificate made here, must pass osslsigncode's verification against that certificate.
# Without a key, or with one that is not P-256, it stops and says why. The installer is at most
# 200 KiB.
#   release_test.sh SOURCE_DIR WORK_DIR
set -eu
source=$1 work=$2
rm -rf "$work"
mkdir -p "$work/key"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tovarelin test signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key/key.pem" -out "$work/key/cert.pem" 2>/dev/null
echo "throwaway-password" > "$work/key/password.txt"
openssl ecparam -name prime256v1 -genkey -noout -out "$work/key/publisher.pem"
openssl ec -in "$work/key/publisher.pem" -pubout -out "$work/key/publisher.pub.pem" 2>/dev/null
openssl ecparam -name secp384r1 -genkey -noout -out "$work/key/p384.pem"
openssl ec -in "$work/key/p384.pem" -pubout -out "$work/key/p384.pub.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key/key.pem" -in "$work/key/cert.pem" \
  -passout file:"$work/key/password.txt" -out "$work/key/signer.p12"

copy() {  # the tree as committed, plus what is new and not ignored
  mkdir -p "$1"
  git -C "$source" ls-files -z --cached --others --exclude-standard |
    (cd "$source" && tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -C "$1" -xf -
}
first="$work/a/src" second="$work/second/copy/at/a/longer/path/src"
copy "$first"
refused() {  # make release with the other arguments must fail, saying $1
  expected=$1
  shift
  if make -s -C "$first" release RELEASE_BUILD="$work/refused" "$@" >"$work/refused.txt" 2>&1 ||
     ! grep -q "$expected" "$work/refused.txt"; then
    cat "$work/refused.txt"
    exit 1
  fi
}
refused "PACKAGE_PUBLIC_KEY=publisher.pub.pem"
refused "is not an ECDSA P-256" PACKAGE_PUBLIC_KEY="$work/key/p384.pub.pem"
echo "refused: a release without a key, and one with a P-384 key"
make -s -C "$first" release RELEASE_BUILD="$work/a/out" PACKAGE_PUBLIC_KEY="$work/key/publisher.pub.pem"
sleep 1  # the second build starts at another second
copy "$second"
make -s -C "$second" release RELEASE_BUILD="$work/b/out" PACKAGE_PUBLIC_KEY="$work/key/publisher.pub.pem" \
  SIGN_PKCS12="$work/key/signer.p12" SIGN_PASSWORD_FILE="$work/key/password.txt"

cmp "$work/a/out/release/TovarelinInstaller.exe" "$work/b/out/bin/TovarelinInstaller.exe"
echo "reproducible: the two unsigned builds are the same bytes"
size=$(stat -c %s "$work/a/out/release/TovarelinInstaller.exe")
echo "size: $size bytes (at most 204800)"
[ "$size" -le 204800 ]
osslsigncode verify -CAfile "$work/key/cert.pem" -in "$work/b/out/release/TovarelinInstaller.exe" |
  tee "$work/verify.txt" | grep -E "^(Signature verification|Number of verified)"
grep -q "^Signature verification: ok" "$work/verify.txt"
rm -rf "$work"
