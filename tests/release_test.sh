#!/usr/bin/env bash
# The operator's release path, end to end: refusals; a release made and verified; changed,
# unsigned and foreign-signed copies refused by osslsigncode, by the release check and by
# Windows' own trust check under Wine; the package installed through advpack in a fresh
# prefix, and the installed control created from a script host.
#   release_test.sh BUILD   (the 64-bit build folder: its test keys, trust programs and the
#                            release modules it built, with the 32-bit tree's beside it)
# The modules are the trees' own (release.sh --prebuilt): release.sh's own build is the
# demo's; the prefix is a copy of the tree's prepared one.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "$1")
work=$build/release-test
rm -rf "$work"
mkdir -p "$work"
failures=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
status_of() { "$@" >"$work/last.txt" 2>&1; echo $?; }
# Complements one byte, so the file changes whatever the byte was.
flip_byte() {
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "\\x$(printf %02x $((byte ^ 0xff)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
dos() { printf 'Z:%s' "${1//\//\\}"; }

"$root/tests/support/make-test-ca.sh" "$work/ours" signing "Vexa Test"
"$root/tests/support/make-test-ca.sh" "$work/other" signing "Other"
signer=(--cert "$work/ours/signer.crt" --cert-key "$work/ours/signer.key" --chain "$work/ours/ca.crt")
keys=(--key "$build/keys/test-a.pem" --key "$build/keys/test-b.pem")
export VEXA_PUBLISH=$root/build/host/vexa-publish
mkdir -p "$work/prebuilt" "$work/prebuilt-unlocked"
ln -s "$build/../i686/release-modules/keyed" "$work/prebuilt/i686"
ln -s "$build/release-modules/keyed" "$work/prebuilt/x86_64"
ln -s "$build/release-modules/unlocked" "$work/prebuilt-unlocked/x86_64"
made=(--prebuilt "$work/prebuilt")
release() { "$root/tools/release.sh" "$@"; }

# --- refusals: nothing is built without sites or keys -----------------------------------------
check "no sites: refused with 2" [ "$(status_of release "${keys[@]}" --version 2.3.4.5 "${signer[@]}" --out "$work/refused")" = 2 ]
check "it names --unlocked" grep -q -- "--unlocked" "$work/last.txt"
check "no keys: refused with 2" [ "$(status_of release --sites 127.0.0.1 --version 2.3.4.5 "${signer[@]}" --out "$work/refused")" = 2 ]
check "a broken version: refused with 2" [ "$(status_of release --sites 127.0.0.1 "${keys[@]}" --version 2.3.4 "${signer[@]}" --out "$work/refused")" = 2 ]
check "nothing written for a refused release" [ ! -e "$work/refused" ]
mkdir -p "$work/occupied" && echo keep >"$work/occupied/notes.txt"
check "a folder that is not a release: refused with 2" \
  [ "$(status_of release --sites 127.0.0.1 "${keys[@]}" --version 2.3.4.5 "${signer[@]}" --out "$work/occupied")" = 2 ]
check "and its file kept" grep -qx keep "$work/occupied/notes.txt"

# --- the release: both architectures, locked, keyed, signed -----------------------------------
rel=$work/rel
check "modules built with other keys than asked: refused with 3" \
  [ "$(status_of release --sites 127.0.0.1 --key "$build/keys/test-a.pem" --version 2.3.4.5 "${signer[@]}" "${made[@]}" \
        --out "$work/refused")" = 3 ]
check "naming what they were built with" grep -q "was built with other facts" "$work/last.txt"
check "modules of another version: refused with 3" \
  [ "$(status_of release --sites 127.0.0.1 "${keys[@]}" --version 2.3.4.6 "${signer[@]}" "${made[@]}" --out "$work/refused")" = 3 ]
check "a release is made" release --sites "127.0.0.1" "${keys[@]}" --version 2.3.4.5 "${signer[@]}" "${made[@]}" --out "$rel"
check "it verifies" release --verify "$rel" --ca "$work/ours/ca.crt"
check "also named by a relative path" bash -c 'cd "$1" && "$2/tools/release.sh" --verify rel --ca ours/ca.crt' _ "$work" "$root"
for arch in i686 x86_64; do
  for f in VexaUpdater.ocx VexaEx.exe VexaUpdater.cab; do
    check "$arch/$f: osslsigncode verifies it against the authority" \
      osslsigncode verify -CAfile "$work/ours/ca.crt" -in "$rel/$arch/$f" >/dev/null 2>&1
  done
  for f in VexaUpdater.ocx VexaEx.exe; do
    facts=$("$root/build/host/vexa-publish" --inspect "$rel/$arch/$f" | tr '\n' ' ')
    check "$arch/$f carries the version, the site and both keys ($facts)" \
      [ "$facts" = "version 2.3.4.5 site 127.0.0.1 key $("$root/build/host/vexa-publish" --key-id "$build/keys/test-a.pem") key $("$root/build/host/vexa-publish" --key-id "$build/keys/test-b.pem") " ]
  done
  check "$arch: the INF names that version for both modules" \
    [ "$(tr -d '\r' <"$rel/$arch/VexaUpdater.inf" | grep -c '^FileVersion=2,3,4,5$')" = 2 ]
done
check "the page's codebase names that version" grep -q 'codebase="i686/VexaUpdater.cab#version=2,3,4,5"' "$rel/pay.html"
check "the keys are shipped" cmp -s "$rel/keys/test-a.pem" "$build/keys/test-a.pem"
# The server configuration the release writes is one nginx takes inside a server block (the
# demo serves with it).
mkdir -p "$work/nginx"
printf 'pid %s/nginx.pid;\nerror_log %s/error.log;\nevents {}\nhttp { server { listen 127.0.0.1:1; root %s; include %s; } }\n' \
  "$work/nginx" "$work/nginx" "$work/nginx" "$rel/nginx-vexa.conf" >"$work/nginx/nginx.conf"
check "nginx takes the release's server configuration" nginx -t -q -c "$work/nginx/nginx.conf" -p "$work/nginx" -e "$work/nginx/error.log"

# A PKCS#12 signer (same build, one architecture), and an unlocked release: built only when
# asked for, with its warnings, and never passed by the release check.
openssl pkcs12 -export -in "$work/ours/signer.crt" -inkey "$work/ours/signer.key" -passout pass:vexa \
  -out "$work/ours/signer.p12"
printf 'vexa' >"$work/ours/pass.txt"
check "a release signed from a PKCS#12 file verifies" \
  eval 'release --sites 127.0.0.1 "${keys[@]}" --version 2.3.4.5 --pkcs12 "$work/ours/signer.p12" \
          --pass-file "$work/ours/pass.txt" --chain "$work/ours/ca.crt" --arch x86_64 "${made[@]}" --out "$work/p12" >/dev/null &&
        release --verify "$work/p12" --ca "$work/ours/ca.crt" >/dev/null'
check "a release whose signing fails (no such key) exits 3" \
  [ "$(status_of release --sites 127.0.0.1 "${keys[@]}" --version 2.3.4.5 --cert "$work/ours/signer.crt" \
        --cert-key "$work/none.key" --arch x86_64 "${made[@]}" --out "$work/p12")" = 3 ]
check "and the previous release there still verifies" release --verify "$work/p12" --ca "$work/ours/ca.crt"
check "--unlocked builds a release without keys" \
  release --sites 127.0.0.1 --version 2.3.4.5 "${signer[@]}" --arch x86_64 --unlocked \
    --prebuilt "$work/prebuilt-unlocked" --out "$work/unlocked" 2>"$work/last.txt"
check "and says what that exposes" grep -q "WARNING: not keyed" "$work/last.txt"
check "the release check refuses it" [ "$(status_of release --verify "$work/unlocked" --ca "$work/ours/ca.crt")" = 4 ]
check "naming the missing keys" grep -q "is not keyed" "$work/last.txt"

# --- copies that must not verify --------------------------------------------------------------
copy() { rm -rf "$work/$1"; cp -r "$rel" "$work/$1"; echo "$work/$1"; }
changed=$(copy changed)
flip_byte "$changed/x86_64/VexaUpdater.ocx" 5000
check "a module with one byte changed fails osslsigncode" \
  [ "$(status_of osslsigncode verify -CAfile "$work/ours/ca.crt" -in "$changed/x86_64/VexaUpdater.ocx")" != 0 ]
check "for its digest" grep -qi "mismatch" "$work/last.txt"
check "and the release check" [ "$(status_of release --verify "$changed" --ca "$work/ours/ca.crt")" = 4 ]
check "naming the module and its digest" grep -qi "x86_64/VexaUpdater.ocx: the signature does not verify.*mismatch" "$work/last.txt"
cab=$(copy changed-cab)
flip_byte "$cab/i686/VexaUpdater.cab" 3000
check "a CAB with one byte changed fails osslsigncode" \
  [ "$(status_of osslsigncode verify -CAfile "$work/ours/ca.crt" -in "$cab/i686/VexaUpdater.cab")" != 0 ]
check "and the release check" [ "$(status_of release --verify "$cab" --ca "$work/ours/ca.crt")" = 4 ]
unsigned=$(copy unsigned)
rm "$unsigned/x86_64/VexaEx.exe"
check "an unsigned copy is made" osslsigncode remove-signature -in "$rel/x86_64/VexaEx.exe" -out "$unsigned/x86_64/VexaEx.exe"
check "holding the module's code" [ -s "$unsigned/x86_64/VexaEx.exe" ]
check "an unsigned module fails osslsigncode" \
  [ "$(status_of osslsigncode verify -CAfile "$work/ours/ca.crt" -in "$unsigned/x86_64/VexaEx.exe")" != 0 ]
check "for having no signature" grep -qi "no signature" "$work/last.txt"
check "and the release check" [ "$(status_of release --verify "$unsigned" --ca "$work/ours/ca.crt")" = 4 ]
check "naming the unsigned module" grep -qi "x86_64/VexaEx.exe: the signature does not verify.*no signature" "$work/last.txt"
foreign=$(copy foreign)
rm "$foreign/x86_64/VexaEx.exe"
check "a copy signed by another authority is made" \
  osslsigncode sign -certs "$work/other/signer.crt" -key "$work/other/signer.key" -ac "$work/other/ca.crt" -h sha256 \
    -in "$unsigned/x86_64/VexaEx.exe" -out "$foreign/x86_64/VexaEx.exe"
check "and verifies against its own authority" \
  osslsigncode verify -CAfile "$work/other/ca.crt" -in "$foreign/x86_64/VexaEx.exe"
check "a module signed by another authority fails osslsigncode" \
  [ "$(status_of osslsigncode verify -CAfile "$work/ours/ca.crt" -in "$foreign/x86_64/VexaEx.exe")" != 0 ]
check "for its signer's chain" grep -qi "certificate verify error" "$work/last.txt"
check "and the release check" [ "$(status_of release --verify "$foreign" --ca "$work/ours/ca.crt")" = 4 ]
check "naming the foreign module" grep -qi "x86_64/VexaEx.exe: the signature does not verify.*certificate verify error" "$work/last.txt"
check "the whole release fails against the other authority" \
  [ "$(status_of release --verify "$rel" --ca "$work/other/ca.crt")" = 4 ]
version=$(copy version)
sed -i 's/^FileVersion=2,3,4,5/FileVersion=2,3,4,6/' "$version/i686/VexaUpdater.inf"
check "an INF whose version is not the modules' fails the release check" \
  [ "$(status_of release --verify "$version" --ca "$work/ours/ca.crt")" = 4 ]
page=$(copy page)
sed -i 's/#version=2,3,4,5/#version=2,3,4,4/' "$page/pay.html"
check "a page whose codebase names another version fails the release check" \
  [ "$(status_of release --verify "$page" --ca "$work/ours/ca.crt")" = 4 ]
page=$(copy page-package)
sed -i 's|codebase="i686/|codebase="i386/|' "$page/pay.html"
check "a page whose codebase names a package the release lacks fails the release check" \
  [ "$(status_of release --verify "$page" --ca "$work/ours/ca.crt")" = 4 ]

# --- under Wine: a fresh prefix that trusts the authority ---------------------------------------
prefix=$work/prefix
wine() { VEXA_TIMEOUT=120 VEXA_PREFIX_TEMPLATE="$build/wineprefix-template" "$root/tools/wine-run.sh" "$prefix" "$@"; }
trust() { wine "$(dos "$build/trust_check.exe")" "$(dos "$1")" >/dev/null 2>&1; }
check "before the authority is trusted, the signed control is not" [ "$(trust "$rel/x86_64/VexaUpdater.ocx"; echo $?)" != 0 ]
wine "$(dos "$build/trust_authority.exe")" "$(dos "$work/ours/ca.der")" >/dev/null
for f in VexaUpdater.ocx VexaEx.exe; do
  check "Windows' check trusts the signed $f" trust "$rel/x86_64/$f"
done
check "Windows' check refuses a changed module" [ "$(trust "$changed/x86_64/VexaUpdater.ocx"; echo $?)" != 0 ]
check "Windows' check refuses an unsigned module" [ "$(trust "$unsigned/x86_64/VexaEx.exe"; echo $?)" != 0 ]
check "Windows' check refuses a module signed by another authority" [ "$(trust "$foreign/x86_64/VexaEx.exe"; echo $?)" != 0 ]

# --- installed the way a code download ends: the CAB extracted, its INF run by advpack ----------
package=$work/package
mkdir -p "$package"
(cd "$package" && gcab -x "$rel/x86_64/VexaUpdater.cab" >/dev/null)
wine rundll32.exe "advpack.dll,LaunchINFSection" "$(dos "$package/VexaUpdater.inf"),DefaultInstall" >/dev/null 2>&1
check "the helper is in the system folder" cmp -s "$prefix/drive_c/windows/system32/VexaEx.exe" "$rel/x86_64/VexaEx.exe"
check "the control is in Downloaded Program Files" \
  cmp -s "$prefix/drive_c/windows/Downloaded Program Files/VexaUpdater.ocx" "$rel/x86_64/VexaUpdater.ocx"
registered=$(wine reg query 'HKLM\Software\Classes\CLSID\{11D8E293-CC6C-4437-9770-2714B130BBF2}\InprocServer32' /ve 2>/dev/null | tr -d '\r')
check "the control is registered where it was copied" grep -qF 'C:\windows\Downloaded Program Files\VexaUpdater.ocx' <<<"$registered"
# The installed control against one server: a page on another name for it (localhost) gets
# -1 and the server no request; a page on the release's site installs from a signed list.
www=$work/www
mkdir -p "$www/files"
echo "release test payload" >"$www/files/payload.txt"
printf '%s\n' 'install = %Program Files%\VexaReleaseTest' 'payload.txt = %App Path%\payload.txt' >"$work/modules.txt"
"$root/build/host/vexa-publish" --sign "$build/keys/test-a.key" --for VexaUpdater --expires 1 --output "$www/list.txt" \
  "$work/modules.txt" "$www/files" >/dev/null
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$www" >"$work/http.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null' EXIT
for _ in $(seq 50); do curl -sf "http://127.0.0.1:$port/list.txt" >/dev/null && break; sleep 0.1; done
ready=$(wc -l <"$work/http.log")  # the readiness check's own requests
page() {
  cat >"$work/page.js" <<EOF
var updater = new ActiveXObject("VEXAUPDATER.VexaUpdaterCtrl.1");
updater.SetTitle("release test");
updater.SetListFileURL("http://$1:$port/list.txt");
updater.SetDataFileURL("http://$1:$port/files");
WScript.Echo("DoUpdate " + updater.DoUpdate());
EOF
  wine cscript.exe //nologo "$(dos "$work/page.js")" 2>/dev/null | tr -d '\r'
}
answer=$(page localhost)
check "a script host creates the installed control, and it is locked (DoUpdate -1 for localhost: '$answer')" \
  [ "$answer" = "DoUpdate -1" ]
check "the server got no request from the refused page" [ "$(tail -n +$((ready + 1)) "$work/http.log" | grep -cE '"(GET|HEAD|POST) ')" = 0 ]
answer=$(page 127.0.0.1)
check "the release's own site runs (DoUpdate 0: '$answer')" [ "$answer" = "DoUpdate 0" ]
check "and the signed list's file is installed" \
  cmp -s "$prefix/drive_c/Program Files/VexaReleaseTest/payload.txt" "$www/files/payload.txt"
kill "$server" 2>/dev/null

WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
if [ $failures -ne 0 ]; then
  echo "release test: $failures check(s) failed"
  exit 1
fi
rm -rf "$work/prefix"
echo "release test: every check passed"
