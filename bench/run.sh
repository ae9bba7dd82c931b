#!/bin/sh
# Builds the optimised program and the benchmarks, runs the micro-benchmarks,
# then the whole-process comparison with the floor. Arguments go to
# run_benchmarks.py, e.g.
#   bench/run.sh --sizes 1,10 --counts 2,8 --runs 3
set -eu
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench
build/bench/bench/micro_benchmarks
python3 bench/run_benchmarks.py --ruvello build/bench/ruvello --floor build/bench/bench/floor \
    --generator build/bench/bench/generate_model --data build/bench/data "$@"
