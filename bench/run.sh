#!/usr/bin/env bash
# Builds the 64-bit programs and runs every benchmark under Wine, printing its figures.
# Exit status: non-zero when a benchmark misses one of its targets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/bootstrap.sh >/dev/null
build=build/x86_64
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
cmake --build "$build" --target list_bench download_bench
status=0
for program in list_bench download_bench; do
  echo "== $program"
  tools/wine-run.sh "$build/wineprefix" "$build/bench/$program.exe" 2> >(grep -v setlocale >&2) || status=1
done
exit $status
