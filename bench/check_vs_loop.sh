#!/bin/sh
# bench/check_vs_loop.sh RUVELLO MODEL FROM TO: the wall time of
#   ruvello --check -p FROM..TO -f MODEL
# against the plain shell loop a user would write: for each N, translate
# with --all-instances and run NuSMV with its default options. Both must
# give the same number of true and false verdicts. NuSMV is RUVELLO_NUSMV,
# or NuSMV on PATH. Prints one line of figures.
set -eu
ruvello=$(realpath "$1") model=$(realpath "$2") from=$3 to=$4
nusmv=${RUVELLO_NUSMV:-$(command -v NuSMV)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$model" model.in
now() { date +%s.%N; }

start=$(now)
n=$from
while [ "$n" -le "$to" ]; do
    "$ruvello" --all-instances -p "$n" -f model.in 2>/dev/null
    "$nusmv" model.smv >>loop.out 2>/dev/null || true
    n=$((n + 1))
done
loop=$(echo "$(now) - $start" | bc)

start=$(now)
RUVELLO_NUSMV=$nusmv "$ruvello" --check -p "$from..$to" -f model.in --json check.json >/dev/null 2>&1 || true
check=$(echo "$(now) - $start" | bc)

loop_true=$(grep -c " is true$" loop.out || true)
loop_false=$(grep -c " is false$" loop.out || true)
check_true=$(grep -c '"verdict": "true"' check.json || true)
check_false=$(grep -c '"verdict": "false"' check.json || true)
same=yes
[ "$loop_true $loop_false" = "$check_true $check_false" ] || same="NO ($loop_true/$loop_false true/false against $check_true/$check_false)"
printf '| %s | %s..%s | %.2f | %.2f | %.2f | %s |\n' "$(basename "$2")" "$from" "$to" "$loop" "$check" \
    "$(echo "$check / $loop" | bc -l)" "$same"
