#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for SECONDS (default 30),
# starting from the documented examples in fuzz/corpus/. New inputs go to
# build/fuzz/corpus/, never into the repository. A finding stops the run
# with the input saved as build/fuzz/crash-*.
#
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
targets=(fuzz_manual fuzz_reply fuzz_recv_log fuzz_exchange fuzz_script fuzz_operator fuzz_options fuzz_telnet fuzz_decode fuzz_control fuzz_visca_ip fuzz_pad_profile fuzz_http_request)

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_FUZZ=ON \
  -DVARNEL_GUI=OFF -DVARNEL_BENCH=OFF -DVARNEL_SANITIZE=address,undefined >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target "${targets[@]}"

for t in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$t"
  echo "-- $t, ${seconds} s"
  log="build/fuzz/$t.log"
  status=0
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build/fuzz/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="build/fuzz/crash-$t-" "build/fuzz/corpus/$t" "fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  grep -E "^stat::number_of_executed_units|^stat::new_units_added|property failed|^SUMMARY|Test unit written" "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "fuzz: $t found a problem (exit $status); the whole report is in $log"
    exit 1
  fi
done
echo "fuzz: no findings"
