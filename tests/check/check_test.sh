#!/bin/sh
# check_test.sh RUVELLO SOURCE: ruvello --check end to end. First with
# stand-in checkers (tests/check/standin_nusmv) for the faults the real one
# cannot be made to show; then, with the real NuSMV (RUVELLO_NUSMV, or
# NuSMV on PATH; skipped with status 77 without one), the examples' tables,
# a model with every kind of property, a checker error at a model line, a
# timeout, a signal during the runs, the JSON and JUnit files, and a sweep
# spread by GNU parallel and merged with --report.
set -eu
ruvello=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
cd "$work"
cp "$source"/tests/check/*.in "$source"/examples/*.in .
standin=$source/tests/check/standin_nusmv

# expect STATUS WORDS... -- COMMAND...: the command ends with STATUS and its
# standard output holds each of WORDS.
expect() {
    status=$1
    shift
    words=
    while [ "$1" != -- ]; do words="$words
$1"
        shift
    done
    shift
    set +e
    "$@" >out 2>err
    got=$?
    set -e
    [ "$got" = "$status" ] || fail "$*: status $got, not $status; $(cat out err)"
    echo "$words" | while IFS= read -r word; do
        [ -z "$word" ] || grep -qF -- "$word" out || fail "$*: no '$word' in $(cat out)"
    done
}

# A checker that crashes, prints garbage, lists nothing, fails silently or
# never ends: an error for that N, never a verdict, and how it ended.
for fault in crash garbage silent status; do
    STANDIN_FAULT=$fault expect 3 "SPEC AG !x                                    error" "N = 2: error:" -- \
        "$ruvello" --check -p 2 --checker "$standin" -f one.in
done
grep -qF "N = 2: error: the checker ended with status 2" out || fail "a silent failure: $(cat out)"
STANDIN_FAULT=crash expect 3 "N = 2: error: the checker was ended by signal 11" -- \
    "$ruvello" --check -p 2 --checker "$standin" -f one.in
STANDIN_FAULT=hang expect 3 "timeout" "N = 2: timeout: stopped after 0.5 s" -- \
    "$ruvello" --check -p 2 --timeout 0.5 --checker "$standin" -f one.in
# The options given reach both runs of the checker, after ruvello's own.
STANDIN_ARGS=$work/args STANDIN_FAULT=garbage expect 3 -- \
    "$ruvello" --check -p 2 --checker "$standin" --checker-option -coi -f one.in
grep -q '^-lp -coi .*one.2.smv$' args && grep -q '^-dynamic -mono -coi -source ' args ||
    fail "the checker's options: $(cat args)"
# Without counterexamples under the table, NuSMV is told to compute none.
STANDIN_ARGS=$work/args_dcx STANDIN_FAULT=garbage expect 3 -- \
    "$ruvello" --check -p 2 --checker "$standin" --no-counterexamples -f one.in
grep -q '^-dynamic -dcx -mono -source ' args_dcx || fail "--no-counterexamples: $(cat args_dcx)"
expect 2 -- "$ruvello" --check -p 2 --checker-option -AG -f one.in
grep -q "it checks only properties of the form AG p" err || fail "-AG refused without its reason"

# One run of the checker at a time unless --jobs says otherwise: each N is
# listed and checked before the next starts. Every file is named after the
# model, its letters and digits kept.
cp one.in AZaz09.in
STANDIN_ARGS=$work/calls expect 3 "N = 2, 4" -- "$ruvello" --check -p 2,4 --checker "$standin" --keep kept_names -f AZaz09.in
[ "$(sed 's/.*AZaz09\.\([0-9]\)\..*/\1/' calls | tr -d '\n')" = 2244 ] || fail "the runs for N = 2,4: $(cat calls)"
[ "$(ls kept_names)" = "$(printf 'AZaz09.2.smv\nAZaz09.4.smv')" ] || fail "--keep kept_names: $(ls kept_names)"
# On a terminal the runs under way are shown on a line drawn anew, and
# cleared at the end.
python3 - "$ruvello" "$standin" <<'EOF' || fail "the progress line on a terminal"
import os, pty, re, subprocess, sys
leader, follower = pty.openpty()
subprocess.run([sys.argv[1], "--check", "-p", "2", "--checker", sys.argv[2], "-f", "one.in"],
               stdout=subprocess.DEVNULL, stderr=follower)
os.close(follower)
drawn = b""
try:
    while chunk := os.read(leader, 1 << 16):
        drawn += chunk
except OSError:  # the terminal's other side is closed
    pass
assert re.search(rb"\r\x1b\[Kruvello: checking N = 2 \([0-9]+\.[0-9] s\)", drawn), drawn
assert drawn.endswith(b"\r\x1b[K"), drawn
EOF

nusmv=${RUVELLO_NUSMV:-$(command -v NuSMV || true)}
if [ -z "$nusmv" ] || [ ! -x "$nusmv" ]; then
    echo "SKIPPED: the tests with NuSMV: no NuSMV (set RUVELLO_NUSMV, or put NuSMV on PATH)"
    exit 77
fi
echo "NuSMV: $nusmv"
export RUVELLO_NUSMV="$nusmv"

# The examples say on their first line what holds; priority_mutex's mutual
# exclusion fails from N = 3 on, exactly for the pairs with process 3.
for example in mutex semaphore token_ring ticket_lock; do
    expect 0 ", 0 false, 0 without verdict" -- "$ruvello" --check -p 2..4 -f $example.in
    expect 0 ", 0 false, 0 without verdict" -- "$ruvello" --check --symmetric -p 2..4 -f $example.in
done
expect 0 "processes 1 and 2 only (--symmetric)" "2 properties, N = 2..4: 6 true, 0 false" -- \
    "$ruvello" --check --symmetric -p 2..4 -f priority_mutex.in
expect 1 "false (1,3) +3" "2 properties, N = 2..4: 4 true, 2 false (from N = 3)" -- \
    "$ruvello" --check -p 2..4 -f priority_mutex.in --json pm.json --junit pm.xml
python3 -m json.tool pm.json >/dev/null || fail "the JSON does not parse"
expect 1 -- "$ruvello" --check -p 2..4 -f priority_mutex.in --json -
python3 - out pm.json <<'EOF' || fail "--json - does not write the document on standard output"
import json, sys
documents = [json.load(open(name)) for name in sys.argv[1:]]
for document in documents:
    for run in document["runs"]: del run["seconds"], run["max_rss_kb"]
assert documents[0] == documents[1]
EOF
python3 - pm.json pm.xml <<'EOF' || fail "the verdicts of priority_mutex in JSON or JUnit"
import json, sys, xml.etree.ElementTree as tree
document = json.load(open(sys.argv[1]))
for verdict in document["verdicts"]:
    if verdict["line"] == 13:
        assert (verdict["verdict"] == "false") == (3 in verdict["processes"]), verdict
suites = tree.parse(sys.argv[2]).getroot().findall("testsuite")
assert [suite.get("name") for suite in suites] == ["N=2", "N=3", "N=4"]
names = [case.get("name") for suite in suites for case in suite.findall("testcase")]
assert len(names) == len(set(names)) == len(document["verdicts"])
assert sum(len(case.findall("failure")) for suite in suites for case in suite) == 10
EOF

# Several N at once keep their order; the translations kept and the
# counterexamples are named by N, line and tuple.
"$ruvello" --check -p 2..4 -f priority_mutex.in >one_job || true
expect 1 -- "$ruvello" --check --jobs 3 -p 2..4 -f priority_mutex.in --keep kept --traces traces --json t.json
# Tables compared without their row of seconds, which no two runs share.
timeless() { grep -v '^       seconds ' "$1"; }
timeless one_job >one_job.t; timeless out >out.t
diff one_job.t out.t || fail "--jobs 3 changed the table"
[ "$(ls kept)" = "$(printf 'priority_mutex.2.smv\npriority_mutex.3.smv\npriority_mutex.4.smv')" ] ||
    fail "--keep kept $(ls kept)"
[ "$(ls traces | wc -l)" = 10 ] || fail "not a trace for each of the 10 false verdicts: $(ls traces)"
head -1 traces/priority_mutex.N3.L13.1-3.trace | grep -qF -- "-- ruvello: in this trace N1_p is p[1], N2_p is p[2], N3_p is p[3]" ||
    fail "the trace does not say which instance is which process"
grep -q "is false" traces/priority_mutex.N4.L13.4-3.trace || fail "the trace of (4,3) at N = 4"
grep -q '"trace": ".*priority_mutex.N3.L13.3-1.trace"' t.json || fail "the JSON does not name the trace"
# No progress on what is not a terminal; --fatal-warnings runs no checker.
if grep -q "$(printf '\r')" err; then fail "progress written where standard error is no terminal"; fi
printf 'MODULE main\nVAR\n  x : boolean;\nSPEC\n  FORALL i. AG x\n' >warns.in
STANDIN_ARGS=$work/fatal expect 3 -- "$ruvello" --check -p 2 --fatal-warnings --checker "$standin" -f warns.in
grep -q "warnings are fatal (--fatal-warnings); no checker was run" err || fail "--fatal-warnings: $(cat err)"
[ ! -e fatal ] || fail "--fatal-warnings started the checker"

# Every kind of property, in main and in modules instantiated once and per process.
expect 1 -- "$ruvello" --check -p 1..3 -f mixed.in
timeless out | diff "$source/tests/check/mixed.p1-3.table" - || fail "mixed.in: the table differs"
diff "$source/tests/check/mixed.p1-3.err" err || fail "mixed.in: the warnings differ"

# A property NuSMV cannot take, or one naming a process beyond N, is an
# error of its own, with its reason; the others get their verdicts.
expect 1 -- "$ruvello" --check -p 2..4 -f pinned.in
timeless out | diff "$source/tests/check/pinned.p2-4.table" - || fail "pinned.in: the table differs"
diff "$source/tests/check/pinned.p2-4.err" err || fail "pinned.in: the warnings differ"

# NuSMV's message names the model's line; a timeout keeps what it found.
printf 'MODULE main\nVAR\n  s[Proc] : boolean;\nASSIGN\n  init(s[Proc]) := FALSE;\n  next(s[Proc]) := undefined_thing;\nSPEC\n  FORALL (i) AG !s[i]\n' >bad.in
expect 3 'N = 2: error: file bad.in: line 6: "undefined_thing" undefined' -- "$ruvello" --check -p 2 -f bad.in
expect 3 "timeout" "N = 7: timeout: stopped after 1 s" -- \
    "$ruvello" --check -p 2,7 --timeout 1 -f ticket_lock.in

# A signal during the runs stops every checker and leaves no file behind
# but the results asked for.
mkdir private
for signal in INT TERM; do
    TMPDIR=$work/private python3 - "$ruvello" $signal <<'EOF' || fail "SIG$signal during the runs"
import json, os, signal, subprocess, sys, time
run = subprocess.Popen([sys.argv[1], "--check", "-p", "7", "-f", "ticket_lock.in", "--json", "s.json"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
time.sleep(1.5)
run.send_signal(getattr(signal, "SIG" + sys.argv[2]))
assert run.wait() == -getattr(signal, "SIG" + sys.argv[2]), run.returncode
time.sleep(0.2)
assert subprocess.run(["pgrep", "-f", "ticket_lock.7.smv"], capture_output=True).returncode == 1
assert os.listdir(os.environ["TMPDIR"]) == []
assert [run["outcome"] for run in json.load(open("s.json"))["runs"]] == ["interrupted"]
os.remove("s.json")
EOF
done

# A sweep spread over processes (or machines) and merged gives the same
# table, with the counterexamples the documents carry under it.
"$ruvello" --check -p 2..4 -f priority_mutex.in >whole || true
if command -v parallel >/dev/null; then
    parallel --will-cite "$ruvello" --check -p {} --json r{}.json -f priority_mutex.in ::: 2 3 4 >/dev/null || true
    expect 1 -- "$ruvello" --report r4.json r2.json r3.json
    timeless whole >whole.t; timeless out >out.t
    diff whole.t out.t || fail "the merged report differs from the sweep's"
else
    echo "SKIPPED: the sweep with GNU parallel: no parallel"
fi
echo "passed"
