#!/bin/sh
# Prints the point of an ECDSA P-256 public key (PEM, as `openssl ec -pubout` writes it) as 128
# hex digits, X then Y; fails with a message naming the file for anything else.
#   package_key.sh KEY.pem
set -eu
key=$1
# The DER of every P-256 public key in uncompressed form starts with these 27 bytes.
prefix=3059301306072a8648ce3d020106082a8648ce3d03010703420004
der=$(openssl pkey -pubin -in "$key" -outform DER 2>/dev/null | od -An -v -tx1 | tr -d ' \n') || der=
case $der in
  "$prefix"*) point=${der#"$prefix"} ;;
  *) point= ;;
esac
if [ ${#point} -ne 128 ]; then
  echo "$key is not an ECDSA P-256 public key in PEM (make one with: openssl ec -in publisher.pem -pubout -out publisher.pub.pem)" >&2
  exit 1
fi
echo "$point"
