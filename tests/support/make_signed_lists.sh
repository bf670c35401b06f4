#!/usr/bin/env bash
# The signed lists of the keyed control's tests, made by the publishing tool itself, so the
# tests show that what the tool signs the control accepts, byte for byte the same rule.
#   make_signed_lists.sh VEXA-PUBLISH KEYS-FOLDER OUT-FOLDER
# OUT gets files/ (the release, served beside the lists) and one list per way of signing.
set -euo pipefail
publish=$1 keys=$2 out=$3
if [ ! -x "$publish" ]; then
  echo "make_signed_lists: $publish is not built (tools/test.sh builds it first)" >&2
  exit 1
fi
rm -rf "$out"
mkdir -p "$out/files"
printf 'keyed module one' > "$out/files/k1.dll"
printf 'keyed data, two' > "$out/files/k2.dat"
touch -d '2026-07-15 12:34:56 UTC' "$out/files/k1.dll" "$out/files/k2.dat"
cat > "$out/release.txt" <<'DESC'
install = C:\vexa-keyed\app
k1.dll = %App Path%\k1.dll
k2.dat = %App Path%\data\k2.dat ; ATFIRST
DESC
# Every list is for the development identity, signed at one time, so that taking one never
# makes another older; the rows that need another time or whom name it after.
at=2026-07-15T12:00:00Z
make() {
  local name=$1; shift
  "$publish" --time-zone UTC --output "$out/$name" "$@" "$out/release.txt" "$out/files" 2>/dev/null
}
signed() { local name=$1; shift; make "$name" --for VexaUpdater --signed-at "$at" "$@"; }
signed signed.txt --sign "$keys/test-a.key"
signed signed-b.txt --sign "$keys/test-b.key"
signed both.txt --sign "$keys/test-other.key" --sign "$keys/test-b.key"
signed two.txt --sign "$keys/test-a.key" --sign "$keys/test-b.key"
signed other.txt --sign "$keys/test-other.key"
signed expired.txt --sign "$keys/test-a.key" --expires 0
signed nodigest.txt --sign "$keys/test-a.key" --no-sha256
make unsigned.txt
# Whom and when: another identity, a channel, a day later and earlier, and a list by the
# second key that revokes the first.
make for-other.txt --sign "$keys/test-a.key" --for VexaOther --signed-at "$at"
make beta.txt --sign "$keys/test-a.key" --for VexaUpdater/beta --signed-at "$at"
# Lists that ask for a report of each run: to the test server, and to one that stalls.
signed report.txt --sign "$keys/test-a.key" --report /keyed/report
signed report-stall.txt --sign "$keys/test-a.key" --report /stall/30/report
# And to a host off the keyed control's sites (the tests listen on that port).
signed report-off.txt --sign "$keys/test-a.key" --report http://localhost:47123/keyed/report
make newer.txt --sign "$keys/test-a.key" --for VexaUpdater --signed-at 2026-07-16T12:00:00Z
make older.txt --sign "$keys/test-a.key" --for VexaUpdater --signed-at 2026-07-14T12:00:00Z
make revokes-a.txt --sign "$keys/test-b.key" --for VexaUpdater --signed-at "$at" \
  --revoke "$("$publish" --key-id "$keys/test-a.pem")"
"$publish" --verify "$keys/test-a.pem" "$out/signed.txt" >/dev/null
