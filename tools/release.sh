#!/usr/bin/env bash
# Builds, signs and packages a release of the control and its helper; or checks one.
# See --help.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  cat <<'EOF'
usage: tools/release.sh --new-identity NAME FILE [--unlocked]
       tools/release.sh --identity FILE --sites "SITE;SITE..." --key LIST-KEY.pem [--key ...]
                        --version A.B.C.D
                        (--cert CERT.pem --cert-key KEY.pem | --pkcs12 FILE.p12 [--pass-file FILE])
                        [--chain CA.pem] [--timestamp URL] [--arch "i686 x86_64"]
                        [--build-dir DIR | --prebuilt DIR] --out DIR
       tools/release.sh --identity TEST-FILE --unlocked [--sites ...] [--key ...] --version A.B.C.D ...
       tools/release.sh --verify DIR --ca CA.pem [--identity FILE]

--new-identity NAME FILE makes an operator's identity once: NAME (a letter, then letters and
digits, at most 31) and fresh ids for the control, its property page, its type library and
its interfaces, written to FILE (never overwritten). Keep FILE with the list keys and give it
to every release: releases made with the same file upgrade each other; releases made with
two files never touch each other's files or registration. With --unlocked it makes a test
identity, the only kind an unlocked release takes.

A release builds NAME.ocx (ProgID NAME.VexaUpdaterCtrl.1) and NAMEEx.exe (the helper, in the
system folder) for each architecture (default: the shipped 32-bit build and the 64-bit
one), locked to the sites (the control's lock rules: "host", "host:port" or
"https://host") and keyed with the list keys (only the public half of each file is taken:
the control accepts only update lists signed by one of them), with version resources
carrying the version. Both modules, then the CAB, are Authenticode-signed (SHA-256) with
osslsigncode with the code-signing certificate and key (PEM), or a PKCS#12 file (its
password in --pass-file); --chain embeds the authority's certificate; --timestamp asks that
RFC 3161 server for a timestamp (off by default: a signature without one stops verifying
when the certificate expires).

The output folder holds, per architecture, ARCH/NAME.ocx, ARCH/NAMEEx.exe, ARCH/NAME.inf
and ARCH/NAME.cab (the two modules and the INF: [Add.Code] for a browser's code download,
DefaultInstall for advpack); keys/ with the list keys' public halves; identity, a copy of
the identity file; nginx-vexa.conf, how nginx serves /update/ (include it in the site's
server block); pay.html, a sample payment page whose OBJECT tag names
ARCH/NAME.cab#version=A,B,C,D of the first architecture built; and release.txt with the
version, the identity, the sites and the key identifiers. The release is made beside it
and replaces a previous release there only when whole; a folder that holds anything else
is refused.

A release without sites or without keys is refused unless --unlocked is given; an
unlocked release takes only a test identity and is never code-signed (no --cert or
--pkcs12), so that no browser installs it.

--prebuilt DIR packs DIR/ARCH/NAME.ocx and DIR/ARCH/NAMEEx.exe instead of building them;
they must carry exactly the version, the identity, the sites and the keys asked for.

The tools it needs (osslsigncode, gcab, openssl, cmake, ninja, g++ and libssl-dev for the
publishing tool, and the mingw-w64 compilers to build) are checked first, and the missing
Debian packages named; it installs nothing.

--verify DIR checks a release: every signature valid against CA.pem, the CAB holding exactly
the two modules and the INF as they are in DIR, the INF's versions and the page's codebase
equal to the modules' file version, both modules locked and keyed with the same sites and
with the keys in DIR/keys (public keys only), and the modules, the INF, the page and the
identity file (DIR/identity, and FILE when --identity is given) agreeing on every id and name.

Exit codes: 0 done (or verified), 1 wrong usage, 2 refused (no sites or keys, a bad key,
version or identity), 3 the build, signing or packaging failed, 4 the release does not verify.
EOF
}

die() { echo "release: $2" >&2; exit "$1"; }

sites="" version="" cert="" cert_key="" pkcs12="" pass_file="" chain="" timestamp="" out=""
arches="i686 x86_64" build_dir="$root/build/release" prebuilt="" unlocked=0 verify="" ca=""
identity="" new_name="" new_file=""
keys=()
while [ $# -gt 0 ]; do
  case $1 in
    -h|--help) usage; exit 0 ;;
    --unlocked) unlocked=1; shift; continue ;;
    --new-identity)
      [ $# -ge 3 ] || die 1 "--new-identity needs NAME and FILE (see --help)"
      new_name=$2 new_file=$3
      shift 3
      continue ;;
  esac
  [ $# -ge 2 ] || die 1 "$1 needs a value (see --help)"
  case $1 in
    --sites) sites=$2 ;;
    --key) keys+=("$2") ;;
    --version) version=$2 ;;
    --cert) cert=$2 ;;
    --cert-key) cert_key=$2 ;;
    --pkcs12) pkcs12=$2 ;;
    --pass-file) pass_file=$2 ;;
    --chain) chain=$2 ;;
    --timestamp) timestamp=$2 ;;
    --arch) arches=$2 ;;
    --build-dir) build_dir=$2 ;;
    --prebuilt) prebuilt=$2 ;;
    --out) out=$2 ;;
    --verify) verify=$2 ;;
    --ca) ca=$2 ;;
    --identity) identity=$2 ;;
    *) die 1 "unknown option $1 (see --help)" ;;
  esac
  shift 2
done

# An identity file's fields as id_name, id_kind, id_progid, id_helper and the braced
# upper-case ids; id_record is the text the modules built with it carry (--inspect).
read_identity() {
  local file=$1 line field
  [ -f "$file" ] || die 2 "$file: no such identity file"
  for field in name kind progid helper control proppage typelib dispatch events; do printf -v "id_$field" ''; done
  while IFS= read -r line || [ -n "$line" ]; do
    [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
    [[ $line =~ ^(name|kind|progid|helper|control|proppage|typelib|dispatch|events)=(.*)$ ]] \
      || die 2 "$file: cannot read the line '$line'"
    printf -v "id_${BASH_REMATCH[1]}" '%s' "${BASH_REMATCH[2]}"
  done <"$file"
  [[ $id_name =~ ^[A-Za-z][A-Za-z0-9]{0,30}$ ]] || die 2 "$file: the name must be a letter, then letters and digits, at most 31"
  [[ $id_kind =~ ^(release|test|development)$ ]] || die 2 "$file: kind must be release, test or development"
  for field in control proppage typelib dispatch events; do
    local -n guid=id_$field
    [[ $guid =~ ^\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\}$ ]] \
      || die 2 "$file: $field must be a GUID {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    guid=${guid^^}
    unset -n guid
  done
  id_progid=${id_progid:-$id_name.VexaUpdaterCtrl.1}
  id_helper=${id_helper:-${id_name}Ex.exe}
  id_record="name=$id_name;kind=$id_kind;progid=$id_progid;helper=$id_helper;control=$id_control;proppage=$id_proppage;typelib=$id_typelib;dispatch=$id_dispatch;events=$id_events"
}

# A random (version 4) GUID from OpenSSL's generator.
new_guid() {
  local h
  h=$(openssl rand -hex 16) || die 3 "openssl cannot make random ids"
  h=${h^^}
  printf '{%s-%s-4%s-%X%s-%s}\n' "${h:0:8}" "${h:8:4}" "${h:13:3}" $(((0x${h:16:1} & 3) | 8)) "${h:17:3}" "${h:20:12}"
}

# --- making an identity -------------------------------------------------------------------------
if [ -n "$new_name" ]; then
  [[ $new_name =~ ^[A-Za-z][A-Za-z0-9]{0,30}$ ]] || die 2 "the name must be a letter, then letters and digits, at most 31"
  [ "${new_name,,}" != vexaupdater ] || die 2 "VexaUpdater is the development identity's name"
  [ ! -e "$new_file" ] || die 2 "$new_file exists: an identity is made once and kept"
  kind=release
  [ $unlocked -eq 0 ] || kind=test
  {
    echo "# The identity of $new_name's control ($kind): keep this file with the list keys and give it"
    echo "# to every release (tools/release.sh --identity). Made $(date -u +%Y-%m-%d)."
    echo "name=$new_name"
    echo "kind=$kind"
    for field in control proppage typelib dispatch events; do echo "$field=$(new_guid)"; done
  } >"$new_file.partial" && mv "$new_file.partial" "$new_file" || die 3 "cannot write $new_file"
  echo "release: $new_file: the $kind identity $new_name"
  exit 0
fi

publish_tool() {
  # A tool already built (the tests' own) may be named instead of building it here.
  if [ -n "${VEXA_PUBLISH:-}" ]; then
    echo "$VEXA_PUBLISH"
    return
  fi
  # The tool alone, without the test framework a signing machine need not have.
  cmake -S "$root/tools/publish" -B "$root/build/publish" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVEXA_PUBLISH_TESTS=OFF >/dev/null
  cmake --build "$root/build/publish" --target vexa-publish >/dev/null
  echo "$root/build/publish/vexa-publish"
}

# --- checking a release ---------------------------------------------------------------------
if [ -n "$verify" ]; then
  [ -n "$ca" ] || die 1 "--verify needs --ca CA.pem"
  [ -d "$verify" ] || die 4 "$verify: no such folder"
  # Absolute: the CABs are extracted from inside a scratch folder.
  verify=$(realpath "$verify")
  publish=$(publish_tool)
  problems=0
  bad() { echo "release: $verify: $*" >&2; problems=$((problems + 1)); }
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  [ -f "$verify/identity" ] || die 4 "$verify: no identity file: not a release"
  read_identity "$verify/identity"
  release_record=$id_record
  if [ -n "$identity" ]; then
    read_identity "$identity"
    [ "$id_record" = "$release_record" ] || bad "the release's identity is not the one in $identity"
    read_identity "$verify/identity"
  fi
  [ "$id_kind" = release ] || bad "its identity is of the $id_kind kind, which no release ships"
  ocx=$id_name.ocx helper=$id_helper inf=$id_name.inf cab=$id_name.cab
  found=0 facts_seen=""
  key_ids=""
  for k in "$verify"/keys/*.pem; do
    [ -f "$k" ] || continue
    ! grep -q "PRIVATE KEY" "$k" || bad "keys/$(basename "$k") holds a private key"
    key_ids+="$("$publish" --key-id "$k" 2>/dev/null || echo "unreadable:$(basename "$k")") "
  done
  for dir in "$verify"/*/; do
    arch=$(basename "$dir")
    [ -f "$dir/$cab" ] || continue
    found=$((found + 1))
    for f in "$ocx" "$helper" "$cab"; do
      if ! osslsigncode verify -CAfile "$ca" -in "$dir/$f" >"$scratch/verify.txt" 2>&1; then
        # The most telling reason: a changed file, no signature, a chain to another authority.
        reason=""
        for pattern in mismatch 'no signature' 'certificate verify error|unable to get' 'error|failed'; do
          reason=$(grep -m1 -iE "$pattern" "$scratch/verify.txt") && break
        done
        bad "$arch/$f: the signature does not verify against $ca (${reason:-see osslsigncode verify})"
      fi
    done
    listed=$(gcab -l "$dir/$cab" 2>/dev/null | awk "{ print \$1 }" | sort | tr '\n' ' ')
    [ "$listed" = "$(printf '%s\n' "$ocx" "$helper" "$inf" | sort | tr '\n' ' ')" ] \
      || bad "$arch/$cab holds \"$listed\", not the two modules and the INF"
    mkdir -p "$scratch/$arch"
    (cd "$scratch/$arch" && gcab -x "$dir/$cab" >/dev/null 2>&1) || bad "$arch/$cab cannot be extracted"
    for f in "$ocx" "$helper" "$inf"; do
      cmp -s "$scratch/$arch/$f" "$dir/$f" || bad "$arch/$cab: its $f is not the release's"
    done
    # The INF names the identity's class and files, and nothing of another identity.
    inf_text=$(tr -d '\r' <"$dir/$inf")
    [ "$(grep '^clsid=' <<<"$inf_text" | sort -u)" = "clsid=$id_control" ] || bad "$arch/$inf: its clsid is not the identity's"
    [ "$(grep -oiE '[A-Za-z0-9_]+\.(ocx|exe)' <<<"$inf_text" | sort -u | tr '\n' ' ')" = \
      "$(printf '%s\n' "$ocx" "$helper" | sort | tr '\n' ' ')" ] \
      || bad "$arch/$inf names other files than the identity's $ocx and $helper"
    module_facts=""
    for f in "$ocx" "$helper"; do
      if ! facts=$("$publish" --inspect "$dir/$f" 2>&1); then
        bad "$arch/$f: $facts"
        continue
      fi
      grep -q '^site ' <<<"$facts" || bad "$arch/$f is not locked to any site"
      grep -q '^key ' <<<"$facts" || bad "$arch/$f is not keyed"
      [ "$(sed -n 's/^identity //p' <<<"$facts")" = "$release_record" ] || bad "$arch/$f was built with another identity"
      module_version=$(sed -n 's/^version //p' <<<"$facts")
      commas=${module_version//./,}
      # Every FileVersion line, and at least one, names the module's version.
      [ "$(grep '^FileVersion=' <<<"$inf_text" | sort -u)" = "FileVersion=$commas" ] \
        || bad "$arch/$inf: FileVersion is not the modules' $commas"
      ids=$(sed -n 's/^key //p' <<<"$facts" | sort | tr '\n' ' ')
      [ "$ids" = "$(tr ' ' '\n' <<<"$key_ids" | sed '/^$/d' | sort | tr '\n' ' ')" ] \
        || bad "$arch/$f accepts the keys $ids, the release's keys folder holds $key_ids"
      if [ -z "$module_facts" ]; then
        module_facts=$facts
      elif [ "$facts" != "$module_facts" ]; then
        bad "$arch: $ocx and $helper were not built with the same version, identity, sites and keys"
      fi
    done
    if [ -z "$facts_seen" ]; then
      facts_seen=$module_facts
      echo "release: $verify: $(tr '\n' ' ' <<<"$module_facts")"
    elif [ "$module_facts" != "$facts_seen" ]; then
      bad "$arch: built with other facts than the other architecture"
    fi
  done
  [ $found -gt 0 ] || bad "no ARCH/$cab"
  # The page's package is one of this release's, at the version its control carries, and its
  # object is the identity's class.
  codebase=$(sed -n 's/.*codebase="\([^"]*\)".*/\1/p' "$verify/pay.html" 2>/dev/null | head -n1)
  page_cab=${codebase%%#*}
  if [ ! -f "$verify/$page_cab" ] || [[ $page_cab != */$cab ]]; then
    bad "pay.html: the codebase \"$codebase\" does not name a package of this release"
  else
    page_version=$("$publish" --inspect "$verify/${page_cab%/*}/$ocx" 2>/dev/null | sed -n 's/^version //p')
    [ "${codebase#*#}" = "version=${page_version//./,}" ] \
      || bad "pay.html: the codebase's version is not the control's ${page_version//./,}"
  fi
  [ "$(grep -o 'classid="clsid:[^"]*"' "$verify/pay.html" 2>/dev/null)" = "classid=\"clsid:${id_control:1:36}\"" ] \
    || bad "pay.html: the object's classid is not the identity's control"
  [ $problems -eq 0 ] || die 4 "$problems problem(s): this release must not be shipped"
  echo "release: $verify: verified ($found architecture(s))"
  exit 0
fi

# --- making a release -------------------------------------------------------------------------
out=${out%/}
[ -n "$out" ] || die 1 "--out DIR is needed (see --help)"
[ -n "$version" ] || die 1 "--version A.B.C.D is needed (see --help)"
[[ $version =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] || die 2 "the version must be A.B.C.D, not '$version'"
for part in "${BASH_REMATCH[@]:1}"; do
  [ "$part" -le 65535 ] || die 2 "each part of the version is at most 65535"
done
[ -n "$identity" ] || die 1 "--identity FILE is needed: make one once with --new-identity NAME FILE (see --help)"
read_identity "$identity"
if [ $unlocked -eq 1 ]; then
  # An unlocked control must never be installable by a page: no code signature, and a test
  # identity, so that no operator's class id ever names it.
  [ "$id_kind" = test ] || die 2 "$identity: an unlocked release takes a test identity (--new-identity NAME FILE --unlocked)"
  [ -z "$cert$pkcs12" ] || die 2 "refused: an unlocked release is never code-signed (drop --cert or --pkcs12)"
  signing=()
elif [ "$id_kind" != release ]; then
  die 2 "$identity: the $id_kind identity $id_name is not an operator's (make one with --new-identity NAME FILE)"
elif [ -n "$pkcs12" ]; then
  signing=(-pkcs12 "$pkcs12")
  [ -z "$pass_file" ] || signing+=(-readpass "$pass_file")
else
  [ -n "$cert" ] && [ -n "$cert_key" ] || die 1 "a code-signing certificate and key (--cert, --cert-key) or --pkcs12 are needed"
  signing=(-certs "$cert" -key "$cert_key")
fi
[ -z "$chain" ] || [ $unlocked -eq 1 ] || signing+=(-ac "$chain")
[ -z "$timestamp" ] || [ $unlocked -eq 1 ] || signing+=(-ts "$timestamp")
ocx=$id_name.ocx helper=$id_helper inf=$id_name.inf cab=$id_name.cab clsid=$id_control

# "$PAY;$CDN" with both unset is ";": no site at all, which would be an unlocked control.
given_sites=$sites
IFS=';' read -ra site_list <<<"$sites"
sites=""
for site in "${site_list[@]}"; do [ -z "$site" ] || sites+="${sites:+;}$site"; done
[ -z "$given_sites" ] || [ -n "$sites" ] || die 2 "refused: --sites \"$given_sites\" holds no site"

if [ -z "$sites" ] || [ ${#keys[@]} -eq 0 ]; then
  if [ $unlocked -eq 0 ]; then
    [ -n "$sites" ] || echo "release: no --sites: the control would run for any web page on the internet" >&2
    [ ${#keys[@]} -gt 0 ] || echo "release: no --key: the control would install whatever list its server sends" >&2
    die 2 "refused: a release is locked and keyed (give --unlocked to build one anyway)"
  fi
  [ -n "$sites" ] || echo "release: WARNING: not locked. Any web page on the internet can make this control download, install, register and start programs on the visitor's machine from any server." >&2
  [ ${#keys[@]} -gt 0 ] || echo "release: WARNING: not keyed. Whoever controls the update server, or the network on the way over http, can have any file installed and started." >&2
fi
for k in "${keys[@]}"; do
  [ -f "$k" ] || die 2 "$k: no such key file"
  openssl pkey -pubin -in "$k" -noout 2>/dev/null \
    || die 2 "$k: holds no PEM public key (openssl pkey -in PRIVATE.key -pubout writes one)"
done

# The release is made beside --out and takes its place only when whole: a failed build
# leaves the previous release as it was. Only a previous release is replaced.
out=${out%/}
if [ -e "$out" ] && [ ! -f "$out/release.txt" ] && [ -n "$(ls -A "$out" 2>/dev/null)" ]; then
  die 2 "$out is neither empty nor a release: nothing written"
fi
# The tools, and the Debian packages that hold them; nothing is installed from here.
needed=("osslsigncode:osslsigncode" "gcab:gcab" "openssl:openssl" "cmake:cmake" "ninja:ninja-build" "c++:g++")
[ -n "$prebuilt" ] || needed+=("i686-w64-mingw32-g++:g++-mingw-w64-i686"
                                "x86_64-w64-mingw32-g++:g++-mingw-w64-x86-64" "x86_64-w64-mingw32-widl:mingw-w64-tools")
missing=()
for tool in "${needed[@]}"; do
  command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
[ -n "${VEXA_PUBLISH:-}" ] || [ -f /usr/include/openssl/evp.h ] || missing+=(libssl-dev)
[ ${#missing[@]} -eq 0 ] || die 3 "missing tools; install the packages: ${missing[*]}"
publish=$(publish_tool)
# What --inspect says of a module built as asked (prebuilt ones are held to it).
wanted_facts="version $version"$'\n'"identity $id_record"
for site in "${site_list[@]}"; do [ -z "$site" ] || wanted_facts+=$'\n'"site $site"; done
mkdir -p "$(dirname "$out")"
staging=$(mktemp -d "$out.partial.XXXXXX")
trap 'rm -rf "$staging"' EXIT
mkdir -p "$staging/keys"
# Only the public half of each key file is shipped and built in, whatever else it holds.
key_paths=()
for k in "${keys[@]}"; do
  public=$staging/keys/$(basename "${k%.*}").pem
  openssl pkey -pubin -in "$k" -pubout -out "$public" 2>/dev/null || die 2 "$k: cannot take its public key"
  key_paths+=("$public")
done
cmake_keys=$(IFS=';'; echo "${key_paths[*]}")
for k in "${key_paths[@]}"; do wanted_facts+=$'\n'"key $("$publish" --key-id "$k")"; done
cp "$identity" "$staging/identity"

sign() {
  [ ${#signing[@]} -gt 0 ] || return 0
  osslsigncode sign "${signing[@]}" -h sha256 -n "$id_name" -in "$1" -out "$1.signed" >/dev/null \
    || die 3 "cannot sign $1"
  mv "$1.signed" "$1"
}

for arch in $arches; do
  case $arch in
    i686) platform=file-win32-x86 ;;
    x86_64) platform=file-win64-x64 ;;
    *) die 1 "unknown architecture $arch (i686, x86_64)" ;;
  esac
  if [ -n "$prebuilt" ]; then
    build="$prebuilt/$arch"
    echo "release: taking the $arch modules of $build"
    for f in "$ocx" "$helper"; do
      [ -f "$build/$f" ] || die 3 "$build/$f: no such module"
      facts=$("$publish" --inspect "$build/$f" 2>&1) || die 3 "$build/$f: $facts"
      [ "$facts" = "$wanted_facts" ] || die 3 "$build/$f was built with other facts: $(tr '\n' ' ' <<<"$facts")"
    done
  else
    build="$build_dir/$arch"
    echo "release: building $arch in $build"
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXA_BUILD_TESTS=OFF -DVEXA_WERROR=ON \
          -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" \
          -DVEXA_TRUSTED_SITES="$sites" -DVEXA_LIST_KEYS="$cmake_keys" -DVEXA_VERSION="$version" \
          -DVEXA_IDENTITY="$(realpath "$identity")" >/dev/null \
      || die 3 "cannot configure the $arch build"
    cmake --build "$build" --target VexaUpdater VexaEx >/dev/null || die 3 "the $arch build failed"
  fi
  dir="$staging/$arch"
  mkdir -p "$dir"
  cp "$build/$ocx" "$build/$helper" "$dir/"
  sign "$dir/$ocx"
  sign "$dir/$helper"
  built=$("$publish" --inspect "$dir/$ocx" | sed -n 's/^version //p')
  [ "$built" = "$version" ] || die 3 "the $arch control carries version $built, not $version"
  commas=${version//./,}
  # CR LF: the INF is read by Windows' own parsers.
  sed 's/$/\r/' >"$dir/$inf" <<EOF
; $id_name $version: the control and its helper, for a browser's code download
; ([Add.Code]) and for an installation from the extracted package (DefaultInstall).
[Version]
Signature="\$CHICAGO\$"
AdvancedINF=2.0

[Add.Code]
$ocx=$ocx
$helper=$helper

[$ocx]
$platform=thiscab
clsid=$clsid
FileVersion=$commas
RegisterServer=yes

[$helper]
$platform=thiscab
FileVersion=$commas
DestDir=11

[DefaultInstall]
CopyFiles=$id_name.Control,$id_name.Helper
RegisterOCXs=$id_name.Register

[DestinationDirs]
$id_name.Control=10,"Downloaded Program Files"
$id_name.Helper=11

[$id_name.Control]
$ocx

[$id_name.Helper]
$helper

[$id_name.Register]
%10%\Downloaded Program Files\\$ocx

[SourceDisksNames]
1="$id_name $version",,0

[SourceDisksFiles]
$ocx=1
$helper=1
EOF
  (cd "$dir" && gcab -c -z -n "$cab" "$ocx" "$helper" "$inf") \
    || die 3 "cannot make the $arch CAB"
  sign "$dir/$cab"
done

commas=${version//./,}
# The sample page asks the first trusted site, so that it runs as written on a locked control.
page_host=${sites%%;*}
page_host=${page_host#https://}
[[ $page_host != \*.* ]] || page_host=www.${page_host#\*.}
page_host=${page_host:-pay.example}
# The page's package: the first architecture built (the shipped 32-bit one by default).
page_arch=$(set -- $arches; echo "$1")
cat >"$staging/pay.html" <<EOF
<!DOCTYPE html>
<html lang="ko">
<head>
<meta charset="utf-8">
<title>결제 모듈 업데이트</title>
</head>
<body>
<!-- The browser installs the signed package when the installed control is older than the
     version named here, then the page runs the update. -->
<object id="updater" classid="clsid:${clsid:1:36}" codebase="$page_arch/$cab#version=$commas"
        width="0" height="0"></object>
<p id="outcome"></p>
<script>
  var updater = document.getElementById("updater");
  updater.SetTitle("결제 모듈 업데이트");
  updater.SetListFileURL("https://$page_host/update/list.txt");
  updater.SetDataFileURL("https://$page_host/update/files");
  var result = updater.DoUpdate();
  // 0: the run ended (updated, nothing to do, or failed: the window showed which);
  // -1: a URL missing or not this control's site; 2: no window, or a run already going on.
  // What the run did (README, "Page integration and results"), and the control's version.
  var run = JSON.parse(updater.GetLastRun());
  document.getElementById("outcome").textContent =
      run.outcome + " (" + run.code + " " + run.meaning + "), control " + updater.GetVersion();
</script>
</body>
</html>
EOF
# How nginx serves the list and the files the page names: include it in the site's server
# block (the demo serves with this very file).
cat >"$staging/nginx-vexa.conf" <<'EOF'
# VexaUpdater: the update list and files under /update/ (the page's URLs). Include this file
# inside the server block of the site the control is locked to.
location /update/ {
    # The control fetches over https with a POST: answer it with the static file.
    error_page 405 =200 $uri;
    # The list must carry a Content-Length: never compressed, never chunked.
    gzip off;
    chunked_transfer_encoding off;
    # A cut download resumes with one range of the file.
    max_ranges 1;
    # Each publication replaces the list; caches ask again before reusing anything.
    add_header Cache-Control "no-cache" always;
    types { text/plain txt; }
    default_type application/octet-stream;
}
EOF
{
  echo "version $version"
  "$publish" --inspect "$staging/$page_arch/$ocx" | grep -v '^version '
  if [ $unlocked -eq 1 ]; then
    echo "not code-signed (unlocked)"
  elif [ -n "$cert" ]; then
    echo "signed by $(openssl x509 -noout -subject -in "$cert" 2>/dev/null || echo "$cert")"
  else
    echo "signed by the certificate in $pkcs12"
  fi
} >"$staging/release.txt"
chmod 755 "$staging"
rm -rf "$out"
mv "$staging" "$out"
echo "release: $out ($(tr '\n' ' ' <"$out/release.txt"))"
