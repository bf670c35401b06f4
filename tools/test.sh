#!/usr/bin/env bash
# The whole test job on a fresh or a used machine: packages, both builds, every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

tools/bootstrap.sh

# The 64-bit tree first: it makes the test keys, and the 32-bit tree builds with the same
# ones (the release test packs modules of both).
for arch in x86_64 i686; do
  build=build/$arch
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXA_WERROR=ON \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" \
        -DVEXA_KEYS_DIR="$root/build/x86_64/keys" >/dev/null
done
# Of the 32-bit tree, what ships and what the tests read: its test programs cannot run here.
cmake --build build/i686 --target VexaUpdater VexaEx VexaUpdater_release_keyed VexaEx_release_keyed
cmake --build build/x86_64

# The publishing tool, a native build: the keyed control's tests use the lists it signs.
cmake -S tools/publish -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/host

# One X server for the whole run.
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
xvfb=$!
prefix="$root/build/x86_64/wineprefix"
cleanup() {
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -f "$displayfile"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -s "$displayfile" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$displayfile")"

# The prefix, the persistent server and Wine's services come up before ctest starts timing.
# The one server takes its time zone from TZ when it starts: a zone with daylight saving,
# for every test that checks local times.
export TZ=America/New_York
tools/wine-run.sh "$prefix" cmd.exe /c exit
started=$(date +%s.%N)
status=0
# Three at a time on two cores: the programs under Wine spend much of their time waiting on
# servers, windows and processes (about 66 s against 90 s two at a time).
ctest --test-dir build/x86_64 --output-on-failure -j3 || status=$?
awk -v s="$started" -v e="$(date +%s.%N)" 'BEGIN { printf "test job: ctest took %.1f s\n", e - s }'
[ $status -eq 0 ] || exit $status

# The publishing tool's tests (they read the PE fixtures and the keys of the Windows build).
ctest --test-dir build/host --output-on-failure

# The main job's whole path: nginx, the published release, three page runs (it checks its
# own outcome and fails when a run does not do what it should).
tools/demo.sh

# The byte-level rules, fuzzed on the host for about a minute in all.
tools/fuzz.sh
