#!/bin/sh
# nusmv_test.sh RUVELLO EXAMPLES: checks with NuSMV that the translation of
# every example for N = 2, 3 and 4, with and without --all-instances, is read
# and checked, and that each property comes out as the example's first line
# says: true, except where that line says mutual exclusion "does not hold
# once N >= 3": then, with --all-instances from N = 3 on, some instances are
# false, all of them of process 3. Also checks that with --line-markers NuSMV
# reports an error at the line of the model. NuSMV is RUVELLO_NUSMV, or
# NuSMV on PATH; without one the test is skipped (exit status 77).
set -eu
ruvello=$1 examples=$2
nusmv=${RUVELLO_NUSMV:-$(command -v NuSMV || true)}
if [ -z "$nusmv" ] || [ ! -x "$nusmv" ]; then
    echo "SKIPPED: no NuSMV (set RUVELLO_NUSMV, or put NuSMV on PATH)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

for model in "$examples"/*.in; do
    name=$(basename "$model" .in)
    cp "$model" "$work/"
    partial=no
    if head -1 "$model" | grep -q "does not hold once N >= 3"; then partial=yes; fi
    for n in 2 3 4; do
        for option in "" --all-instances; do
            run="$name, N = $n $option"
            "$ruvello" $option -p "$n" -f "$work/$name.in" || fail "$run: ruvello"
            "$nusmv" "$work/$name.smv" >"$work/out" 2>"$work/err" ||
                fail "$run: NuSMV rejects it: $(grep -m1 -i error "$work/err")"
            count=$(grep -cE '^-- [a-z]+ .* is (true|false)$' "$work/out" || true)
            falses=$(grep -E '^-- [a-z]+ .* is false$' "$work/out" || true)
            [ "$count" -gt 0 ] || fail "$run: NuSMV checked no property"
            if [ "$partial" = yes ] && [ -n "$option" ] && [ "$n" -ge 3 ]; then
                [ -n "$falses" ] || fail "$run: every instance is true"
                if echo "$falses" | grep -vq '\[3\]'; then fail "$run: $falses"; fi
            elif [ -n "$falses" ]; then
                fail "$run: $falses"
            fi
            echo "ok: $run: $count properties"
        done
    done
done

# An undefined name on line 7 of a model: reported at line 7.
printf 'MODULE main\nVAR\n  x[Proc] : boolean;\n  u[Proc] : transition m(x[Proc]);\nASSIGN\n  init(x[Proc]) := FALSE;\n  next(x[Proc]) := undefined_name;\nMODULE m(v)\n' >"$work/marked.in"
"$ruvello" --line-markers -p 2 -f "$work/marked.in"
if "$nusmv" "$work/marked.smv" >/dev/null 2>"$work/err"; then fail "NuSMV accepts an undefined name"; fi
grep -q "line 7[^0-9]" "$work/err" || fail "--line-markers: NuSMV says $(grep -m1 line "$work/err")"
echo "ok: --line-markers"
