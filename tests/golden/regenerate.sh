#!/bin/sh
# Rewrites the expected translations of the bundled examples with the given
# ruvello executable (default: the release build). Read every difference it
# makes (git diff) before committing: the golden tests trust these files.
set -eu
cd "$(dirname "$0")/../.."
ruvello=$(realpath "${1:-build/release/ruvello}")
for model in examples/*.in; do
    name=$(basename "$model" .in)
    for n in 2 3 5; do
        "$ruvello" -p "$n" -f "$model"
        mv "examples/$name.smv" "tests/golden/$name.p$n.smv"
    done
done
