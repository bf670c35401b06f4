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
# What modules built with the first identity carry (release.sh computes it the same way).
alpha_record() {
  printf 'name=VexaAlpha;kind=release;progid=VexaAlpha.VexaUpdaterCtrl.1;helper=VexaAlphaEx.exe'
  for k in control proppage typelib dispatch events; do printf ';%s=%s' $k "$(sed -n "s/^$k=//p" "$alpha")"; done
}

"$root/tests/support/make-test-ca.sh" "$work/ours" signing "Vexa Test"
"$root/tests/support/make-test-ca.sh" "$work/other" signing "Other"
signer=(--cert "$work/ours/signer.crt" --cert-key "$work/ours/signer.key" --chain "$work/ours/ca.crt")
keys=(--key "$build/keys/test-a.pem" --key "$build/keys/test-b.pem")
export VEXA_PUBLISH=$root/build/host/vexa-publish
mkdir -p "$work/prebuilt" "$work/prebuilt-unlocked" "$work/prebuilt-beta"
ln -s "$build/../i686/release-modules/keyed" "$work/prebuilt/i686"
ln -s "$build/release-modules/keyed" "$work/prebuilt/x86_64"
ln -s "$build/release-modules/unlocked" "$work/prebuilt-unlocked/x86_64"
ln -s "$build/release-modules/beta" "$work/prebuilt-beta/x86_64"
made=(--prebuilt "$work/prebuilt")
# Two operators' identities (the tree built their modules), and a test identity.
alpha=$root/tests/support/alpha.identity
beta=$root/tests/support/beta.identity
release() { "$root/tools/release.sh" --identity "$alpha" "$@"; }

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
  for f in VexaAlpha.ocx VexaAlphaEx.exe VexaAlpha.cab; do
    check "$arch/$f: osslsigncode verifies it against the authority" \
      osslsigncode verify -CAfile "$work/ours/ca.crt" -in "$rel/$arch/$f" >/dev/null 2>&1
  done
  for f in VexaAlpha.ocx VexaAlphaEx.exe; do
    facts=$("$root/build/host/vexa-publish" --inspect "$rel/$arch/$f" | tr '\n' ' ')
    check "$arch/$f carries the version, the identity, the site and both keys ($facts)" \
      [ "$facts" = "version 2.3.4.5 identity $(alpha_record) site 127.0.0.1 key $("$root/build/host/vexa-publish" --key-id "$build/keys/test-a.pem") key $("$root/build/host/vexa-publish" --key-id "$build/keys/test-b.pem") " ]
  done
  check "$arch/VexaAlpha.ocx carries no private key" [ "$(grep -c "PRIVATE KEY" "$rel/$arch/VexaAlpha.ocx")" = 0 ]
  check "$arch: the INF names that version for both modules" \
    [ "$(tr -d '\r' <"$rel/$arch/VexaAlpha.inf" | grep -c '^FileVersion=2,3,4,5$')" = 2 ]
done
check "the page's codebase names that version" grep -q 'codebase="i686/VexaAlpha.cab#version=2,3,4,5"' "$rel/pay.html"
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
unlocked=(--sites 127.0.0.1 --version 2.3.4.5 --arch x86_64 --unlocked --prebuilt "$work/prebuilt-unlocked")
check "--unlocked with a code-signing certificate: refused with 2" \
  [ "$(status_of release --identity "$root/tests/support/unlocked.identity" "${unlocked[@]}" "${signer[@]}" --out "$work/refused")" = 2 ]
check "--unlocked with an operator's identity: refused with 2" [ "$(status_of release "${unlocked[@]}" --out "$work/refused")" = 2 ]
check "--unlocked builds a release without keys, with its test identity, not code-signed" \
  release --identity "$root/tests/support/unlocked.identity" "${unlocked[@]}" --out "$work/unlocked" 2>"$work/last.txt"
check "and says what that exposes" grep -q "WARNING: not keyed" "$work/last.txt"
check "its control carries no signature" \
  [ "$(status_of osslsigncode verify -CAfile "$work/ours/ca.crt" -in "$work/unlocked/x86_64/VexaUnlocked.ocx")" != 0 ]
check "the release check refuses it" [ "$(status_of release --verify "$work/unlocked" --ca "$work/ours/ca.crt")" = 4 ]
check "naming the missing keys" grep -q "is not keyed" "$work/last.txt"

# --- identities and the release's own faults ----------------------------------------------------
check "no --identity: refused with 1" \
  [ "$(status_of "$root/tools/release.sh" --sites 127.0.0.1 "${keys[@]}" --version 2.3.4.5 "${signer[@]}" "${made[@]}" --out "$work/refused")" = 1 ]
check "the development identity: refused with 2" \
  [ "$(status_of release --identity "$root/res/development.identity" --sites 127.0.0.1 "${keys[@]}" --version 2.3.4.5 "${signer[@]}" "${made[@]}" --out "$work/refused")" = 2 ]
check "--sites \";\" (two unset variables): refused with 2" \
  [ "$(status_of release --sites ";" "${keys[@]}" --version 2.3.4.5 "${signer[@]}" "${made[@]}" --out "$work/refused")" = 2 ]
check "naming the empty sites" grep -q "holds no site" "$work/last.txt"
cat "$build/keys/test-a.key" "$build/keys/test-a.pem" >"$work/test-a.both.pem"
check "a key file with only the private half: refused with 2" \
  [ "$(status_of release --sites 127.0.0.1 --key "$build/keys/test-a.key" --key "$build/keys/test-b.pem" --version 2.3.4.5 "${signer[@]}" "${made[@]}" --out "$work/refused")" = 2 ]
check "a key file with both halves makes a release" \
  release --sites 127.0.0.1 --key "$work/test-a.both.pem" --key "$build/keys/test-b.pem" --version 2.3.4.5 "${signer[@]}" \
    "${made[@]}" --out "$work/both"
check "which ships only the public half" [ "$(cat "$work/both/keys/"*.pem | grep -c "PRIVATE KEY")" = 0 ]
check "and verifies" release --verify "$work/both" --ca "$work/ours/ca.crt"
check "nothing was written for the refusals" [ ! -e "$work/refused" ]
check "--new-identity refuses a bad name" [ "$(status_of "$root/tools/release.sh" --new-identity 9Pay "$work/9pay.identity")" = 2 ]
check "--new-identity makes an identity" "$root/tools/release.sh" --new-identity NewPay "$work/newpay.identity"
check "of fresh ids" [ "$(grep -cE '^(control|proppage|typelib|dispatch|events)=\{[0-9A-F-]{36}\}$' "$work/newpay.identity")" = 5 ]
check "and never overwrites one" [ "$(status_of "$root/tools/release.sh" --new-identity NewPay "$work/newpay.identity")" = 2 ]
check "the release is checked against the operator's identity file" \
  release --verify "$rel" --ca "$work/ours/ca.crt" --identity "$alpha"
check "and refused against another's" [ "$(status_of release --verify "$rel" --ca "$work/ours/ca.crt" --identity "$beta")" = 4 ]
tampered() {  # NAME FILE SED-EXPRESSION: a copy of the release with one file changed
  rm -rf "$work/$1"
  cp -r "$rel" "$work/$1"
  sed -i "$3" "$work/$1/$2"
  [ "$(status_of release --verify "$work/$1" --ca "$work/ours/ca.crt")" = 4 ]
}
check "an identity file whose control id differs fails the release check" tampered ids identity 's/^control={./control={0/'
check "an INF naming another class fails it" tampered inf x86_64/VexaAlpha.inf 's/^clsid={./clsid={0/'
check "a page naming another class fails it" tampered page-class pay.html 's/clsid:./clsid:0/'
cp "$build/keys/test-a.key" "$work/test-a.key.pem"
check "a keys folder holding a private key fails it" \
  bash -c 'rm -rf "$1/keys-private" && cp -r "$2" "$1/keys-private" && cp "$1/test-a.key.pem" "$1/keys-private/keys/test-a.pem" &&
           ! "$3/tools/release.sh" --verify "$1/keys-private" --ca "$1/ours/ca.crt" >/dev/null 2>&1' _ "$work" "$rel" "$root"
check "the second operator's release is made" \
  release --identity "$beta" --sites localhost --key "$build/keys/test-other.pem" --version 2.3.4.5 "${signer[@]}" \
    --arch x86_64 --prebuilt "$work/prebuilt-beta" --out "$work/beta"
check "and verifies" release --verify "$work/beta" --ca "$work/ours/ca.crt" --identity "$beta"

# --- copies that must not verify --------------------------------------------------------------
copy() { rm -rf "$work/$1"; cp -r "$rel" "$work/$1"; echo "$work/$1"; }
changed=$(copy changed)
flip_byte "$changed/x86_64/VexaAlpha.ocx" 5000
check "a module with one byte changed fails osslsigncode" \
  [ "$(status_of osslsigncode verify -CAfile "$work/ours/ca.crt" -in "$changed/x86_64/VexaAlpha.ocx")" != 0 ]
check "for its digest" grep -qi "mismatch" "$work/last.txt"
check "and the release check" [ "$(status_of release --verify "$changed" --ca "$work/ours/ca.crt")" = 4 ]
check "naming the module and its digest" grep -qi "x86_64/VexaAlpha.ocx: the signature does not verify.*mismatch" "$work/last.txt"
cab=$(copy changed-cab)
flip_byte "$cab/i686/VexaAlpha.cab" 3000
check "a CAB with one byte changed fails osslsigncode" \
  [ "$(status_of osslsigncode verify -CAfile "$work/ours/ca.crt" -in "$cab/i686/VexaAlpha.cab")" != 0 ]
check "and the release check" [ "$(status_of release --verify "$cab" --ca "$work/ours/ca.crt")" = 4 ]
unsigned=$(copy unsigned)
rm "$unsigned/x86_64/VexaAlphaEx.exe"
check "an unsigned copy is made" osslsigncode remove-signature -in "$rel/x86_64/VexaAlphaEx.exe" -out "$unsigned/x86_64/VexaAlphaEx.exe"
check "holding the module's code" [ -s "$unsigned/x86_64/VexaAlphaEx.exe" ]
check "an unsigned module fails osslsigncode" \
  [ "$(status_of osslsigncode verify -CAfile "$work/ours/ca.crt" -in "$unsigned/x86_64/VexaAlphaEx.exe")" != 0 ]
check "for having no signature" grep -qi "no signature" "$work/last.txt"
check "and the release check" [ "$(status_of release --verify "$unsigned" --ca "$work/ours/ca.crt")" = 4 ]
check "naming the unsigned module" grep -qi "x86_64/VexaAlphaEx.exe: the signature does not verify.*no signature" "$work/last.txt"
foreign=$(copy foreign)
rm "$foreign/x86_64/VexaAlphaEx.exe"
check "a copy signed by another authority is made" \
  osslsigncode sign -certs "$work/other/signer.crt" -key "$work/other/signer.key" -ac "$work/other/ca.crt" -h sha256 \
    -in "$unsigned/x86_64/VexaAlphaEx.exe" -out "$foreign/x86_64/VexaAlphaEx.exe"
check "and verifies against its own authority" \
  osslsigncode verify -CAfile "$work/other/ca.crt" -in "$foreign/x86_64/VexaAlphaEx.exe"
check "a module signed by another authority fails osslsigncode" \
  [ "$(status_of osslsigncode verify -CAfile "$work/ours/ca.crt" -in "$foreign/x86_64/VexaAlphaEx.exe")" != 0 ]
check "for its signer's chain" grep -qi "certificate verify error" "$work/last.txt"
check "and the release check" [ "$(status_of release --verify "$foreign" --ca "$work/ours/ca.crt")" = 4 ]
check "naming the foreign module" grep -qi "x86_64/VexaAlphaEx.exe: the signature does not verify.*certificate verify error" "$work/last.txt"
check "the whole release fails against the other authority" \
  [ "$(status_of release --verify "$rel" --ca "$work/other/ca.crt")" = 4 ]
version=$(copy version)
sed -i 's/^FileVersion=2,3,4,5/FileVersion=2,3,4,6/' "$version/i686/VexaAlpha.inf"
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
check "before the authority is trusted, the signed control is not" [ "$(trust "$rel/x86_64/VexaAlpha.ocx"; echo $?)" != 0 ]
wine "$(dos "$build/trust_authority.exe")" "$(dos "$work/ours/ca.der")" >/dev/null
for f in VexaAlpha.ocx VexaAlphaEx.exe; do
  check "Windows' check trusts the signed $f" trust "$rel/x86_64/$f"
done
check "Windows' check refuses a changed module" [ "$(trust "$changed/x86_64/VexaAlpha.ocx"; echo $?)" != 0 ]
check "Windows' check refuses an unsigned module" [ "$(trust "$unsigned/x86_64/VexaAlphaEx.exe"; echo $?)" != 0 ]
check "Windows' check refuses a module signed by another authority" [ "$(trust "$foreign/x86_64/VexaAlphaEx.exe"; echo $?)" != 0 ]

# --- installed the way a code download ends: the CAB extracted, its INF run by advpack ----------
package=$work/package
mkdir -p "$package"
(cd "$package" && gcab -x "$rel/x86_64/VexaAlpha.cab" >/dev/null)
wine rundll32.exe "advpack.dll,LaunchINFSection" "$(dos "$package/VexaAlpha.inf"),DefaultInstall" >/dev/null 2>&1
check "the helper is in the system folder" cmp -s "$prefix/drive_c/windows/system32/VexaAlphaEx.exe" "$rel/x86_64/VexaAlphaEx.exe"
check "the control is in Downloaded Program Files" \
  cmp -s "$prefix/drive_c/windows/Downloaded Program Files/VexaAlpha.ocx" "$rel/x86_64/VexaAlpha.ocx"
alpha_clsid=$(sed -n 's/^control=//p' "$alpha")
beta_clsid=$(sed -n 's/^control=//p' "$beta")
registered=$(wine reg query "HKLM\\Software\\Classes\\CLSID\\$alpha_clsid\\InprocServer32" /ve 2>/dev/null | tr -d '\r')
check "the control is registered where it was copied" grep -qF 'C:\windows\Downloaded Program Files\VexaAlpha.ocx' <<<"$registered"
# The first operator's files and keys, before the second operator's package is installed.
alpha_keys() {  # in one process: each start of Wine costs
  local classes='HKLM\Software\Classes'
  wine cmd.exe /c "reg query $classes\CLSID\\$alpha_clsid /s & reg query $classes\VexaAlpha.VexaUpdaterCtrl.1 /s & reg query $classes\TypeLib\\$(sed -n 's/^typelib=//p' "$alpha") /s" 2>/dev/null | tr -d '\r'
}
alpha_before=$(alpha_keys)
check "the first operator's registration is readable" grep -q "VexaAlpha.ocx" <<<"$alpha_before"
rm -rf "$work/package-beta" && mkdir -p "$work/package-beta"
(cd "$work/package-beta" && gcab -x "$work/beta/x86_64/VexaBeta.cab" >/dev/null)
wine rundll32.exe "advpack.dll,LaunchINFSection" "$(dos "$work/package-beta/VexaBeta.inf"),DefaultInstall" >/dev/null 2>&1
check "the second operator's helper is its own file" cmp -s "$prefix/drive_c/windows/system32/VexaBetaEx.exe" "$work/beta/x86_64/VexaBetaEx.exe"
check "and its control" cmp -s "$prefix/drive_c/windows/Downloaded Program Files/VexaBeta.ocx" "$work/beta/x86_64/VexaBeta.ocx"
registered=$(wine reg query "HKLM\\Software\\Classes\\CLSID\\$beta_clsid\\InprocServer32" /ve 2>/dev/null | tr -d '\r')
check "registered under its own class id" grep -qF 'Downloaded Program Files\VexaBeta.ocx' <<<"$registered"
check "the first operator's registration is unchanged" [ "$(alpha_keys)" = "$alpha_before" ]
check "and its control and helper" eval 'cmp -s "$prefix/drive_c/windows/system32/VexaAlphaEx.exe" "$rel/x86_64/VexaAlphaEx.exe" &&
  cmp -s "$prefix/drive_c/windows/Downloaded Program Files/VexaAlpha.ocx" "$rel/x86_64/VexaAlpha.ocx"'
# The installed control against one server: a page on another name for it (localhost) gets
# -1 and the server no request; a page on the release's site installs from a signed list.
www=$work/www
mkdir -p "$www/files"
echo "release test payload" >"$www/files/payload.txt"
printf '%s\n' 'install = %Program Files%\VexaReleaseTest' 'payload.txt = %App Path%\payload.txt' >"$work/modules.txt"
"$root/build/host/vexa-publish" --sign "$build/keys/test-a.key" --for VexaAlpha --expires 1 --output "$www/list.txt" \
  "$work/modules.txt" "$www/files" >/dev/null
# The second operator's list, on its own site (localhost), signed with its own key.
mkdir -p "$www/beta/files"
echo "beta payload" >"$www/beta/files/beta.txt"
printf '%s\n' 'install = %Program Files%\VexaBetaTest' 'beta.txt = %App Path%\beta.txt' >"$work/beta-modules.txt"
"$root/build/host/vexa-publish" --sign "$build/keys/test-other.key" --for VexaBeta --expires 1 --output "$www/beta/list.txt" \
  "$work/beta-modules.txt" "$www/beta/files" >/dev/null
port=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET6); s.bind(("::", 0)); print(s.getsockname()[1])')
# Both address families: localhost may be either.
python3 -m http.server "$port" --bind :: --directory "$www" >"$work/http.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null' EXIT
for _ in $(seq 50); do curl -sf "http://127.0.0.1:$port/list.txt" >/dev/null && break; sleep 0.1; done
ready=$(wc -l <"$work/http.log")  # the readiness check's own requests
page() {  # HOST [PROGID [FOLDER]]
  cat >"$work/page.js" <<EOF
var updater = new ActiveXObject("${2:-VexaAlpha.VexaUpdaterCtrl.1}");
updater.SetTitle("release test");
updater.SetListFileURL("http://$1:$port${3:-}/list.txt");
updater.SetDataFileURL("http://$1:$port${3:-}/files");
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
answer=$(page localhost VexaBeta.VexaUpdaterCtrl.1 /beta)
check "the second operator's page creates its own control by its ProgID, on its own site (DoUpdate 0: '$answer')" \
  [ "$answer" = "DoUpdate 0" ]
check "which installs its own list's file" cmp -s "$prefix/drive_c/Program Files/VexaBetaTest/beta.txt" "$www/beta/files/beta.txt"
answer=$(page 127.0.0.1 VexaBeta.VexaUpdaterCtrl.1 /beta)
check "and is locked to its own site, not the first operator's (DoUpdate -1: '$answer')" [ "$answer" = "DoUpdate -1" ]
kill "$server" 2>/dev/null

WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
if [ $failures -ne 0 ]; then
  echo "release test: $failures check(s) failed"
  exit 1
fi
rm -rf "$work/prefix"
echo "release test: every check passed"
