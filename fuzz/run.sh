#!/bin/sh
# Builds the fuzz target and runs it for the given number of seconds (default
# 60), starting from the seeds, the examples and the kept regressions. Fails
# on any finding; libFuzzer leaves the input that found it as crash-* or
# timeout-* in build/fuzz/findings.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
corpus=build/fuzz/corpus
findings=build/fuzz/findings
mkdir -p "$corpus" "$findings"
# Two bytes of settings (N = 2, pieces of 8 bytes on 2 threads) before each example.
for model in examples/*.in; do
    { printf '\005\047'; cat "$model"; } >"$corpus/example-$(basename "$model")"
done
build/fuzz/fuzz/translate_fuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$findings/" \
    "$corpus" fuzz/seeds fuzz/regressions
