#!/usr/bin/env bash
# Makes a throw-away certificate authority in the folder given, once, and one certificate it
# issued: ca.crt (and ca.der, as the Windows certificate store takes it), then
#   server (the default): server.crt with server.key for 127.0.0.1 and localhost;
#   signing NAME: signer.crt with signer.key, for code signing, NAME in both subjects.
# The tests trust an authority inside their own Wine prefix only.
#   make-test-ca.sh DIR [server | signing NAME]
set -euo pipefail
dir=$1 kind=${2:-server}
case $kind in
  server)
    name="VexaUpdater Test" leaf=server subject="/CN=127.0.0.1"
    usage=("keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth"
           "subjectAltName=DNS:127.0.0.1,DNS:localhost,IP:127.0.0.1") ;;
  signing)
    name=$3 leaf=signer subject="/CN=$3 Code Signing"
    usage=("keyUsage=critical,digitalSignature" "extendedKeyUsage=codeSigning") ;;
  *) echo "make-test-ca.sh: unknown kind $kind" >&2; exit 1 ;;
esac
mkdir -p "$dir"
cd "$dir"
made() { [ -s $leaf.crt ] && [ -s $leaf.key ] && [ -s ca.crt ] && [ -s ca.der ]; }
made && exit 0
exec 9>.making
flock 9
made && exit 0

openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 -subj "/CN=$name Authority" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout ca.key -out ca.crt.tmp 2>/dev/null
openssl req -newkey rsa:2048 -nodes -sha256 -subj "$subject" -keyout $leaf.key.tmp -out $leaf.csr 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" "${usage[@]}" > $leaf.ext
openssl x509 -req -in $leaf.csr -CA ca.crt.tmp -CAkey ca.key -CAcreateserial -days 3650 -sha256 \
  -extfile $leaf.ext -out $leaf.crt.tmp 2>/dev/null
openssl x509 -in ca.crt.tmp -outform DER -out ca.der
mv $leaf.key.tmp $leaf.key
mv ca.crt.tmp ca.crt
mv $leaf.crt.tmp $leaf.crt
rm -f $leaf.csr $leaf.ext ca.crt.srl
