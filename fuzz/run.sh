#!/usr/bin/env bash
# Runs every fuzzer for a while from the seeds and the kept regression inputs.
# Usage: run.sh BUILD_DIR SECONDS_EACH. A crash fails the run and leaves the input in
# BUILD_DIR/fuzz-findings; fix it and keep the input in fuzz/regressions/TARGET.
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR SECONDS}
seconds=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
seeds="$build/fuzz-seeds"
[ -d "$seeds/probe" ] || "$here/make-seeds.sh" "$seeds"
findings="$build/fuzz-findings"
mkdir -p "$findings"
export ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0
export LSAN_OPTIONS=suppressions=$here/../.ci/lsan.supp
export QT_LOGGING_RULES="*.debug=false"
for target in commandlinetime parametersets probe; do
    corpus="$build/fuzz-corpus/$target"
    mkdir -p "$corpus"
    echo "== fuzz_$target for ${seconds}s"
    max=4096
    [ "$target" = probe ] && max=65536
    log="$findings/$target.log"
    status=0
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="$max" -timeout=20 -rss_limit_mb=2048 \
        -artifact_prefix="$findings/$target-" -print_final_stats=1 \
        "$corpus" "$seeds/$target" "$here/regressions/$target" >"$log" 2>&1 || status=$?
    grep -E "^#[0-9]+ *DONE|stat::number_of_executed_units|ERROR|SUMMARY|Done" "$log" || true
    # A fuzzer that crashed, could not start or ran nothing fails the run.
    if [ "$status" -ne 0 ] || ls "$findings/$target-"* >/dev/null 2>&1 \
        || ! grep -q "stat::number_of_executed_units" "$log"; then
        echo "fuzz_$target failed (exit $status); its output is in $log"
        ls "$findings/$target-"* 2>/dev/null || tail -n 20 "$log"
        exit 1
    fi
done
