#!/usr/bin/env bash
# The main job: a real update service on this machine, end to end, with no manual step.
#   tools/demo.sh
# Makes a release of the control and the helper with tools/release.sh (locked to 127.0.0.1,
# keyed with a demo key, signed by a demo code-signing authority), checks it, installs it in a
# Wine prefix of its own (build/demo/wineprefix) the way a browser's code download ends (the
# CAB extracted, its INF run by advpack), serves a published sample release with nginx over HTTP and HTTPS
# (an authority made for the demo, trusted in that prefix only), runs the payment page in
# Wine's script host with the progress window on DISPLAY (or a private Xvfb), saves a
# screenshot, prints what happened to each file, runs the page again (nothing to do), then
# publishes a newer module and runs it once more (only that module is updated), and shows
# that the control, locked to 127.0.0.1, refuses a list on another host. Exits
# non-zero when any of that does not happen as described. Stops everything it started.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tools/bootstrap.sh

# --- build ------------------------------------------------------------------------------
cmake -S . -B build/x86_64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
# The sample payment modules are the test fixtures: modules with version resources, a
# component that registers itself, a program that records how it was started.
cmake --build build/x86_64 --target vexa_fixtures vexa_trust_authority trust_check
cmake -S tools/publish -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/host --target vexa-publish

demo=$root/build/demo
prefix=$demo/wineprefix
fixtures=$root/build/x86_64/tests/fixtures
dos() { printf 'Z:%s' "${1//\//\\}"; }

# --- a clean start, and a clean stop whatever happens ----------------------------------------
[ -f "$demo/nginx.pid" ] && kill "$(cat "$demo/nginx.pid")" 2>/dev/null || true
rm -rf "$demo/www" "$demo/release" "$demo/logs" "$demo/nginx" "$demo/screenshot.png" "$demo/package"
mkdir -p "$demo/www/update/files" "$demo/release" "$demo/logs" "$demo/nginx"
# The users' zone: the list's times are written in it, and the demo's wineserver takes it.
export TZ=Asia/Seoul
WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true

xvfb=""
cleanup() {
  [ -f "$demo/nginx.pid" ] && kill "$(cat "$demo/nginx.pid")" 2>/dev/null || true
  rm -f "$demo/nginx.pid"
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  displayfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$displayfile" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$displayfile")"
  rm -f "$displayfile"
fi
wine() { VEXA_TIMEOUT=${VEXA_TIMEOUT:-180} tools/wine-run.sh "$prefix" "$@"; }

# --- the release: what an operator ships -----------------------------------------------------
tests/support/make-test-ca.sh "$demo/signing" signing "Vexa Demo"
# The demo operator's identity, made once and kept like a key (every release takes it).
identity=$demo/VexaDemo.identity
[ -f "$identity" ] || tools/release.sh --new-identity VexaDemo "$identity"
clsid=$(sed -n 's/^control=//p' "$identity")
tools/release.sh --identity "$identity" --sites "127.0.0.1" --key "$root/build/x86_64/keys/demo.pem" --version 1.0.0.7 \
  --cert "$demo/signing/signer.crt" --cert-key "$demo/signing/signer.key" --chain "$demo/signing/ca.crt" \
  --arch x86_64 --build-dir "$demo/release-build" --out "$demo/shipped"
tools/release.sh --verify "$demo/shipped" --ca "$demo/signing/ca.crt"

# --- the prefix: trust, then the package installed as a code download ends -----------------
tests/support/make-test-ca.sh "$demo/ca"
wine "$(dos "$root/build/x86_64/trust_authority.exe")" "$(dos "$demo/ca/ca.der")"
wine "$(dos "$root/build/x86_64/trust_authority.exe")" "$(dos "$demo/signing/ca.der")"
mkdir -p "$demo/package"
(cd "$demo/package" && gcab -x "$demo/shipped/x86_64/VexaDemo.cab" >/dev/null)
# What a browser checks before it installs: Windows' own Authenticode check of each module.
wine "$(dos "$root/build/x86_64/trust_check.exe")" "$(dos "$demo/package/VexaDemo.ocx")" \
  "$(dos "$demo/package/VexaDemoEx.exe")" | tr -d '\r' | sed 's/^/demo: /'
wine rundll32.exe "advpack.dll,LaunchINFSection" "$(dos "$demo/package/VexaDemo.inf"),DefaultInstall"
# advpack says nothing when a copy or a registration fails: check what it left.
cmp -s "$prefix/drive_c/windows/system32/VexaDemoEx.exe" "$demo/package/VexaDemoEx.exe" \
  || { echo "demo: advpack did not put the helper in the system folder" >&2; exit 1; }
registered=$(wine reg query "HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" /ve)
grep -qF 'Downloaded Program Files\VexaDemo.ocx' <<<"$registered" \
  || { echo "demo: advpack did not register the control" >&2; exit 1; }
echo "demo: installed release $(tr '\n' ' ' <"$demo/shipped/release.txt")"
install_dir="$prefix/drive_c/Program Files/VexaPay"
rm -rf "$install_dir"

# --- publishing -----------------------------------------------------------------------------
publish() {
  touch -d "2026-12-01 10:30:00 +0900" "$demo/release"/*
  build/host/vexa-publish --time-zone Asia/Seoul --output "$demo/www/update/list.txt" \
    --sign "$root/build/x86_64/keys/demo.key" --for VexaDemo --expires 7 --report /update/report tools/demo/release.txt "$demo/release"
  cp -p "$demo/release"/* "$demo/www/update/files/"
}
cp "$fixtures/versioned_1_0_3_2.dll" "$demo/release/VexaSign.dll"
cp "$fixtures/versioned_1_0_3_0.ocx" "$demo/release/VexaCert.ocx"
cp "$fixtures/component_ok.dll" "$demo/release/VexaReg.dll"
cp "$fixtures/recorder.exe" "$demo/release/VexaAgent.exe"
python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 131 + i // 251) & 255 for i in range(1500000)))' \
  > "$demo/release/VexaData.bin"
printf 'VexaPay payment modules\r\n' > "$demo/release/readme.txt"
publish

# --- the web server ---------------------------------------------------------------------------
read -r http https < <(python3 -c '
import socket
ports = []
for _ in range(2):
    s = socket.socket(); s.bind(("127.0.0.1", 0)); ports.append(s.getsockname()[1]); s.close()
print(*ports)')
cat > "$demo/nginx/nginx.conf" <<EOF
worker_processes 1;
pid $demo/nginx.pid;
error_log $demo/logs/nginx-error.log;
events { worker_connections 64; }
http {
    types { text/plain txt; application/octet-stream dll ocx exe bin; }
    default_type application/octet-stream;
    # The request line as received: an error_page redirect would log the POST as a GET.
    log_format demo '\$request \$status \$body_bytes_sent';
    access_log $demo/logs/access.log demo;
    # The operator's view: the same requests as any server logs them (vexa-publish --stats).
    access_log $demo/logs/combined.log combined;
    client_body_temp_path $demo/nginx/body;
    proxy_temp_path $demo/nginx/proxy;
    fastcgi_temp_path $demo/nginx/fastcgi;
    uwsgi_temp_path $demo/nginx/uwsgi;
    scgi_temp_path $demo/nginx/scgi;
    server {
        listen 127.0.0.1:$http;
        listen 127.0.0.1:$https ssl;
        ssl_certificate $demo/ca/server.crt;
        ssl_certificate_key $demo/ca/server.key;
        root $demo/www;
        # Slow enough that the progress window can be seen.
        limit_rate 600k;
        # /update/ exactly as the release says an operator's server serves it.
        include $demo/shipped/nginx-vexa.conf;
    }
}
EOF
nginx -c "$demo/nginx/nginx.conf" -p "$demo/nginx" -e "$demo/logs/nginx-error.log"
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$http/update/list.txt" && break; sleep 0.1; done
curl -sf --cacert "$demo/ca/ca.crt" -X POST -o /dev/null "https://127.0.0.1:$https/update/list.txt" \
  || { echo "demo: nginx does not answer the list over HTTPS" >&2; exit 1; }
list_url="https://127.0.0.1:$https/update/list.txt"
data_url="https://127.0.0.1:$https/update/files"
echo "demo: serving $list_url (HTTP on $http)"

# --- the page ---------------------------------------------------------------------------------
names=(VexaSign.dll VexaCert.ocx VexaReg.dll VexaAgent.exe data/VexaData.bin readme.txt)
fixture_log=$demo/logs/fixtures.log
: > "$fixture_log"
: > "$demo/logs/access.log"
failed=0

# What each run must show, per file: the decision, whether it is registered and started in
# that run. Set before each run_page; every column the table prints is checked against them.
declare -A want_decision want_registered want_started

# Runs the page once; with "shot", saves a screenshot of the progress window while it
# downloads (the run fails when the window does not appear).
run_page() {
  local run=$1 shot=${2:-} log_start fixtures_start
  log_start=$(wc -l < "$demo/logs/access.log")
  fixtures_start=$(wc -l < "$fixture_log")
  VEXA_FIXTURE_LOG=$(dos "$fixture_log") wine cscript.exe //nologo "$(dos "$root/tools/demo/page.js")" \
    "$list_url" "$data_url" VexaDemo.VexaUpdaterCtrl.1 > "$demo/logs/page-$run.txt" 2>&1 &
  local page=$!
  if [ -n "$shot" ]; then
    local window=""
    for _ in $(seq 150); do
      # awk reads to the end: a reader that stops early can end xwininfo with SIGPIPE, which
      # pipefail and set -e would take for the demo's failure.
      window=$(xwininfo -root -tree -display "$DISPLAY" 2>/dev/null |
               awk '!found && /"Tarnix/ && / 367x54\+/ { print $1; found = 1 }' || true)
      [ -n "$window" ] && break
      sleep 0.1
    done
    if [ -n "$window" ]; then
      sleep 1
      xwd -id "$window" -display "$DISPLAY" -silent | /usr/bin/convert xwd:- "$demo/screenshot.png" || true
    else
      echo "demo: the progress window did not appear within 15 s" >&2
      failed=1
    fi
  fi
  wait "$page" || true
  if ! grep -q END-OK "$demo/logs/page-$run.txt"; then
    echo "demo: the page did not run to its end:" >&2
    cat "$demo/logs/page-$run.txt" >&2
    failed=1
  fi
  local result
  result=$(grep -m1 'DoUpdate returned' "$demo/logs/page-$run.txt" | tr -d '\r' || echo 'no result')
  echo
  echo "Run $run: $result"
  [ "$result" = "DoUpdate returned 0" ] || { echo "demo: run $run did not return 0" >&2; failed=1; }
  local requests
  requests=$(tail -n +"$((log_start + 1))" "$demo/logs/access.log")
  # The probe is a GET, the HTTPS list fetch a POST (as the access log's request lines say).
  if grep -q '^GET /update/list.txt ' <<<"$requests" && grep -q '^POST /update/list.txt HTTP/1.1 200 ' <<<"$requests"; then
    echo "  list: probed with GET, fetched with POST over HTTPS"
  else
    echo "demo: run $run did not probe the list with GET and fetch it with POST" >&2
    failed=1
  fi
  printf '  %-20s %-11s %-10s %-10s %-10s %-8s\n' File Decision Download Installed Registered Started
  for name in "${names[@]}"; do
    local base=${name##*/} decision=current download=- installed=no registered=- started=-
    local fetched size
    fetched=$(awk -v u="/update/files/$base" '$1 == "POST" && $2 == u && $4 == 200 { print $5 }' <<<"$requests" | tail -n1)
    size=$(stat -c %s "$demo/release/$base")
    if [ -n "$fetched" ]; then
      decision=update
      download="$fetched B"
      [ "$fetched" -eq "$size" ] || { echo "demo: $name: $fetched bytes sent, the file has $size" >&2; failed=1; }
    fi
    cmp -s "$install_dir/$name" "$demo/release/$base" && installed=yes
    tail -n +"$((fixtures_start + 1))" "$fixture_log" | grep -q "^register $base" && registered=yes
    tail -n +"$((fixtures_start + 1))" "$fixture_log" | grep -q "^run $base|" && started="yes$(tail -n +"$((fixtures_start + 1))" "$fixture_log" | grep -m1 "^run $base|" | sed 's/^[^|]*| *\(.*\)|$/ (\1)/')"
    printf '  %-20s %-11s %-10s %-10s %-10s %-8s\n' "$name" "$decision" "$download" "$installed" "$registered" "$started"
    [ "$installed" = yes ] || { echo "demo: $name is not installed as published" >&2; failed=1; }
    [ "$decision" = "${want_decision[$base]}" ] || { echo "demo: $name: decision $decision, expected ${want_decision[$base]}" >&2; failed=1; }
    [ "$registered" = "${want_registered[$base]:--}" ] || { echo "demo: $name: registered $registered in run $run" >&2; failed=1; }
    [ "$started" = "${want_started[$base]:--}" ] || { echo "demo: $name: started $started in run $run" >&2; failed=1; }
  done
}

# Run 1: everything is new; the component is registered and the program started, once.
for name in "${names[@]}"; do want_decision[${name##*/}]=update; done
want_registered[VexaReg.dll]=yes
want_started[VexaAgent.exe]="yes (/silent)"
run_page 1 shot
if [ -s "$demo/screenshot.png" ]; then
  echo "  screenshot of the progress window: $demo/screenshot.png"
else
  echo "demo: no screenshot was taken" >&2
  failed=1
fi

# Run 2: everything is current; nothing is registered or started again.
for name in "${names[@]}"; do want_decision[${name##*/}]=current; done
want_registered=()
want_started=()
run_page 2

cp "$fixtures/versioned_1_0_9_0.dll" "$demo/release/VexaSign.dll"
publish
echo
echo "Published VexaSign.dll 1.0.9.0:"
grep -a 'VexaSign' "$demo/www/update/list.txt" | sed 's/^/  /'
# Run 3: only the newer module.
want_decision[VexaSign.dll]=update
run_page 3

# The signature: one byte of the served list changed (VexaSign.dll's version, which would
# make a control without keys download it again), the control refuses the list and requests
# nothing after it.
signed_list=$(cat "$demo/www/update/list.txt")
sed -i 's/|1\.0\.9\.0|/|1.0.9.1|/' "$demo/www/update/list.txt"
grep -q '|1\.0\.9\.1|' "$demo/www/update/list.txt" || { echo "demo: the list was not changed" >&2; exit 1; }
log_start=$(wc -l < "$demo/logs/access.log")
before=$(md5sum "$install_dir/VexaSign.dll")
VEXA_FIXTURE_LOG=$(dos "$fixture_log") wine cscript.exe //nologo "$(dos "$root/tools/demo/page.js")" \
  "$list_url" "$data_url" VexaDemo.VexaUpdaterCtrl.1 > "$demo/logs/page-4.txt" 2>&1 || true
after_list=$(tail -n +"$((log_start + 1))" "$demo/logs/access.log" | grep -vc ' /update/list.txt ' || true)
# The changed list was served and fetched in this run: a dead server would show the rest too.
fetched=$(tail -n +"$((log_start + 1))" "$demo/logs/access.log" | grep -c '^POST /update/list.txt HTTP/1.1 200 ' || true)
echo
echo "Run 4, one byte of the signed list changed: $(grep -m1 'DoUpdate returned' "$demo/logs/page-4.txt" | tr -d '\r')"
echo "  the changed list fetched: $fetched time(s); requests after it: $after_list"
if ! grep -q 'DoUpdate returned 0' "$demo/logs/page-4.txt" || [ "$fetched" -lt 1 ] || [ "$after_list" -ne 0 ] ||
   [ "$before" != "$(md5sum "$install_dir/VexaSign.dll")" ]; then
  echo "demo: the keyed control did not refuse the changed list" >&2
  failed=1
fi
printf '%s\n' "$signed_list" > "$demo/www/update/list.txt"

# The site lock: a list on a host the control is not locked to is refused before any request.
log_start=$(wc -l < "$demo/logs/access.log")
VEXA_FIXTURE_LOG=$(dos "$fixture_log") wine cscript.exe //nologo "$(dos "$root/tools/demo/page.js")" \
  "https://localhost:$https/update/list.txt" "$data_url" VexaDemo.VexaUpdaterCtrl.1 > "$demo/logs/page-5.txt" 2>&1 || true
echo
echo "Run 5, a list on localhost (not 127.0.0.1): $(grep -m1 'DoUpdate returned' "$demo/logs/page-5.txt" || echo 'no result')"
requests=$(( $(wc -l < "$demo/logs/access.log") - log_start ))
echo "  requests that reached the server: $requests"
grep -q 'DoUpdate returned -1' "$demo/logs/page-5.txt" && [ "$requests" -eq 0 ] \
  || { echo "demo: the locked control did not refuse the other host" >&2; failed=1; }

# What the operator sees of every visitor's runs: each run's report in the server's log.
echo
echo "The runs' reports in the server's access log (vexa-publish --stats):"
build/host/vexa-publish --stats "$demo/logs/combined.log" | sed 's/^/  /'
build/host/vexa-publish --stats "$demo/logs/combined.log" | grep -qE '^runs reported: [1-9]' \
  || { echo "demo: no run was reported to the server" >&2; failed=1; }

# What support asks a visitor for: the control's log and, for runs handed to it, the helper's.
echo
echo "The visitor's logs (the last lines of each):"
logs_found=0
for log in "$prefix"/drive_c/users/*/AppData/LocalLow/VexaDemo/VexaDemo.log \
           "$prefix"/drive_c/ProgramData/VexaDemo/VexaDemoEx.log; do
  [ -f "$log" ] || continue
  logs_found=$((logs_found + 1))
  echo "  ${log#"$prefix/drive_c/"}:"
  tail -n 4 "$log" | sed 's/^/    /'
  grep -q ' run [0-9-]* .*outcome=' "$log" || { echo "demo: $log has no run's outcome" >&2; failed=1; }
  ! grep -q '[?#]' "$log" || { echo "demo: $log holds a query or fragment" >&2; failed=1; }
done
[ "$logs_found" -ge 1 ] || { echo "demo: no run log on the visitor's machine" >&2; failed=1; }

echo
if [ $failed -ne 0 ]; then
  echo "demo: FAILED (logs in $demo/logs)"
  exit 1
fi
echo "demo: every run did what it should (logs in $demo/logs)"
