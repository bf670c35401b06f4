#!/usr/bin/env bash
# Makes a throw-away certificate authority and a server certificate for 127.0.0.1 in the
# folder given, once: the tests trust the authority inside their own Wine prefix only.
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
[ -s server.crt ] && [ -s server.key ] && [ -s ca.crt ] && exit 0

lock=.making
exec 9>"$lock"
flock 9
[ -s server.crt ] && [ -s server.key ] && [ -s ca.crt ] && exit 0

openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 \
  -subj "/CN=VexaUpdater Test Authority" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout ca.key -out ca.crt.tmp 2>/dev/null
openssl req -newkey rsa:2048 -nodes -sha256 -subj "/CN=127.0.0.1" \
  -keyout server.key.tmp -out server.csr 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" \
  "keyUsage=critical,digitalSignature,keyEncipherment" \
  "extendedKeyUsage=serverAuth" \
  "subjectAltName=DNS:127.0.0.1,DNS:localhost,IP:127.0.0.1" > server.ext
openssl x509 -req -in server.csr -CA ca.crt.tmp -CAkey ca.key -CAcreateserial \
  -days 3650 -sha256 -extfile server.ext -out server.crt.tmp 2>/dev/null
# The authority's certificate also in DER, as the Windows certificate store takes it.
openssl x509 -in ca.crt.tmp -outform DER -out ca.der
mv server.key.tmp server.key
mv ca.crt.tmp ca.crt
mv server.crt.tmp server.crt
rm -f server.csr server.ext ca.crt.srl
