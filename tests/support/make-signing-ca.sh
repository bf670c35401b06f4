#!/usr/bin/env bash
# Makes a throw-away code-signing authority in the folder given, once: ca.crt (and ca.der,
# as the Windows certificate store takes it) and a code-signing certificate it issued,
# signer.crt with signer.key. NAME goes into both subjects.
#   make-signing-ca.sh DIR NAME
set -euo pipefail
dir=$1 name=$2
mkdir -p "$dir"
cd "$dir"
[ -s signer.crt ] && [ -s signer.key ] && [ -s ca.der ] && exit 0
exec 9>.making
flock 9
[ -s signer.crt ] && [ -s signer.key ] && [ -s ca.der ] && exit 0

openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 -subj "/CN=$name Authority" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout ca.key -out ca.crt 2>/dev/null
openssl req -newkey rsa:2048 -nodes -sha256 -subj "/CN=$name Code Signing" \
  -keyout signer.key.tmp -out signer.csr 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=codeSigning" > signer.ext
openssl x509 -req -in signer.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 3650 -sha256 \
  -extfile signer.ext -out signer.crt.tmp 2>/dev/null
openssl x509 -in ca.crt -outform DER -out ca.der
mv signer.key.tmp signer.key
mv signer.crt.tmp signer.crt
rm -f signer.csr signer.ext ca.srl
