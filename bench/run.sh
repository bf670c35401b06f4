#!/usr/bin/env bash
# Builds the 64-bit programs, runs every benchmark under Wine with its own figures, then
# prints one table: each figure against its baseline measured in the same run.
# Exit status: non-zero when a benchmark misses one of its targets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/bootstrap.sh >/dev/null
build=build/x86_64
programs=(list_bench download_bench uptodate_bench)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
cmake --build "$build" --target "${programs[@]}"
rows=$(mktemp)
trap 'rm -f "$rows"' EXIT
status=0
for program in "${programs[@]}"; do
  echo "== $program"
  VEXA_TIMEOUT=900 tools/wine-run.sh "$build/wineprefix" "$build/bench/$program.exe" 2> >(grep -v setlocale >&2) \
    | tee >(grep '^@row|' >>"$rows") | grep -v '^@row|' || status=1
done
echo
echo "== Summary ($(date -u '+%Y-%m-%d'), $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo))"
{
  echo "Figure|Value|Baseline (same run)|Ratio|Target|Verdict"
  sed 's/^@row|//' "$rows"
} | column -t -s '|'
exit $status
