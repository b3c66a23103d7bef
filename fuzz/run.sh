#!/usr/bin/env bash
# Runs every fuzz target for a bounded time under ASan+UBSan, starting from the seed
# corpus (the seeds in the repository are not modified). Any crash fails the run; the
# crashing input is left in build/fuzz/crashes/ to become a regression test.
# Usage: fuzz/run.sh [seconds per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
build=build/fuzz
mkdir -p "$build/crashes"
status=0
for target in "$build"/bin/fuzz_*; do
    name=$(basename "$target")
    work=$(mktemp -d)
    cp -R "fuzz/corpus/$name/." "$work/" 2>/dev/null || true
    echo "== $name (${seconds}s)"
    if ! ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$build/crashes/$name-" -print_final_stats=1 "$work" \
        >"$build/$name.log" 2>&1; then
        status=1
        tail -n 40 "$build/$name.log"
    fi
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done )' "$build/$name.log" || true
    rm -rf "$work"
done
exit "$status"
