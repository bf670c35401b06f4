#!/usr/bin/env bash
# Host-side fuzzing of the byte-level text rules with libFuzzer, ASan and UBSan.
# Usage: tools/fuzz.sh [target...]   (default: every target; FUZZ_SECONDS per target, 15)
# Exits non-zero when a target fails to build or any run finds something; the inputs
# that did it are kept in build/fuzz/artifacts/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

cxx=${CXX_FUZZ:-clang++-14}
seconds=${FUZZ_SECONDS:-15}
out=build/fuzz
artifacts=$out/artifacts

if ! command -v "$cxx" >/dev/null; then
  echo "fuzz: $cxx not found (apt-get install -y clang-14 libclang-rt-14-dev)" >&2
  exit 2
fi

# Target: the sources it links and the longest input worth trying.
sources_of() {
  case $1 in
    fuzz_line_piece) echo framework/line_piece.cpp ;;
    fuzz_mbcs) echo framework/mbcs.cpp ;;
    fuzz_list) echo engine/list_format.cpp engine/path_macro_text.cpp framework/mbcs.cpp ;;
    fuzz_version) echo engine/version_text.cpp framework/mbcs.cpp ;;
    fuzz_install) echo engine/install_text.cpp framework/mbcs.cpp ;;
    fuzz_control_text) echo trust/base64.cpp engine/data_url.cpp engine/run_log_text.cpp ;;
    fuzz_site_lock) echo trust/site_lock.cpp ;;
    fuzz_retry_policy) echo engine/retry_policy.cpp ;;
    fuzz_list_signature) echo trust/list_signature.cpp trust/list_acceptance.cpp engine/list_format.cpp engine/path_macro_text.cpp trust/base64.cpp framework/mbcs.cpp ;;
    fuzz_pe_version) echo tools/publish/pe_version.cpp ;;
    *) return 1 ;;
  esac
}
max_len_of() {
  case $1 in
    fuzz_list) echo 65536 ;;
    fuzz_list_signature) echo 16384 ;;
    fuzz_pe_version) echo 65536 ;;
    *) echo 4096 ;;
  esac
}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for file in tests/fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$file" .cpp)")
  done
fi

mkdir -p "$out" "$artifacts"
failed=0
for target in "${targets[@]}"; do
  if ! srcs=$(sources_of "$target"); then
    echo "$target: FAILED, no source list in tools/fuzz.sh"
    failed=1
    continue
  fi
  # shellcheck disable=SC2086  # the source list is split on purpose
  if ! "$cxx" -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
       -I"$root" "tests/fuzz/$target.cpp" $srcs -o "$out/$target" 2>"$out/$target.build.log"; then
    echo "$target: FAILED to build, see $out/$target.build.log"
    cat "$out/$target.build.log" >&2
    failed=1
    continue
  fi

  # A fresh scratch corpus each run, started from the seeds, so runs do not depend on
  # what an earlier run left behind.
  corpus=$out/corpus/$target
  rm -rf "$corpus"
  mkdir -p "$corpus"
  if [ -d "tests/fuzz/corpus/$target" ]; then
    cp tests/fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
  fi

  log=$out/$target.log
  status=0
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$out/$target" -max_total_time="$seconds" -max_len="$(max_len_of "$target")" \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/$target-" "$corpus" >"$log" 2>&1 || status=$?

  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n1)
  inputs=$(find "$corpus" -type f | wc -l)
  if [ "$status" -eq 0 ]; then
    echo "$target: ok, ${execs:-?} execs in ${seconds}s (${speed:-?}/s), corpus $inputs inputs"
  else
    echo "$target: FAILED (exit $status) after ${execs:-?} execs, log $log"
    grep -a -m1 -E 'CHECK failed|ERROR: (AddressSanitizer|libFuzzer)|runtime error' "$log" >&2 || true
    grep -a 'Test unit written to' "$log" >&2 || true
    failed=1
  fi
done
exit "$failed"
