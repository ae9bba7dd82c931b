#!/usr/bin/env python3
"""check_corners.py RUVELLO SOURCE GROUP: ruvello --check where verdicts go
wrong most easily. GROUP is one of:

  attribution  a table of models, each verdict against NuSMV run by hand on
               the --all-instances translation
  outputs      JSON and JUnit that stay valid whatever the model, its name
               or the checker's messages hold
  paths        outputs that never replace the model, and folders whose names
               NuSMV's command reader or its options would misread
  report       --report refusing what it cannot trust, and merging
  signals      an interrupted sweep keeps what it found
  plot         a plot runs nothing that a model's name or a document holds
               (needs gnuplot too)
  first-run    no checker, a checker that cannot start, a model NuSMV
               rejects, Windows line ends, a last line without its end
  counterexamples  the counterexample under the table against NuSMV's own for
               the lock, in --traces files, with --jobs and without
               FAIRNESS running
  checker      a checker that answers the counted model and then fails, and
               one whose output is larger than ruvello's memory should grow

The groups that need NuSMV (RUVELLO_NUSMV, or NuSMV on PATH) exit with 77,
and say so, without it.
"""
import hashlib
import json
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import time
import xml.etree.ElementTree as ElementTree

from check_harness import NUSMV, check, need_nusmv, run_in_scratch

RUVELLO, SOURCE, GROUP = sys.argv[1], sys.argv[2], sys.argv[3]
STANDIN = os.path.join(SOURCE, "tests", "check", "standin_nusmv")
STANDIN_COUNTED = os.path.join(SOURCE, "tests", "check", "standin_counted")
GRAB_LOCK = os.path.join(SOURCE, "tests", "counted", "grab_lock.in")  # lines 13 and 15 hold for every N


def run(args, env=None, **kwargs):
    merged = dict(os.environ)
    merged.update(env or {})
    return subprocess.run([RUVELLO] + args, capture_output=True, env=merged, **kwargs)


def write(name, text, mode="w"):
    with open(name, mode) as file:
        file.write(text)


MUTEX = open(os.path.join(SOURCE, "examples", "priority_mutex.in")).read()

# Each case: a model, N, options, the cell of each line, the exit status.
# Every one of these once gave a wrong or missing verdict.
ATTRIBUTION = [
    (  # a NAME alone on its line, the name and the formula on the next
        "MODULE main\nVAR x : boolean;\nASSIGN init(x) := FALSE; next(x) := x;\n"
        "SPEC\n  NAME -- the name follows\n    bad := AG x\nSPEC NAME\n good\n := AG !x\n",
        "2", [], {5: "false", 7: "true"}, 1),
    (  # one NAME in main and in two modules, one of them per process
        "MODULE main\nVAR\n  x : boolean;\n  a : watcher(x);\n  c[Proc] : transition client(x);\n"
        "ASSIGN init(x) := FALSE; next(x) := x;\nSPEC NAME b := AG !x\n"
        "MODULE watcher(v)\nSPEC NAME b := AG v\nMODULE client(v)\nSPEC NAME b := AG !v\n",
        "2", [], {7: "true", 9: "false a", 11: "true"}, 1),
    (  # names of the model that look like the names ruvello gives
        "MODULE main\nVAR\n  s[Proc] : boolean;\nASSIGN\n  init(s[Proc]) := FALSE;\n  next(s[Proc]) := s[Proc];\n"
        "SPEC NAME ruvello_11_2 := AG s[1]\nSPEC NAME ruvello_1_none := AG s[2]\nSPEC NAME ruvello_9 := AG !s[1]\n"
        "SPEC\n  FORALL (i) AG !s[i]\n",
        "2", [], {7: "false", 8: "false", 9: "true", 11: "true"}, 1),
    (  # --symmetric with a FORALL over three processes
        "MODULE main\nVAR\n  s[Proc] : boolean;\n  u[Proc] : transition m(s[Proc]);\n"
        "ASSIGN\n  init(s[Proc]) := FALSE;\n"
        "SPEC\n  FORALL (i, j, k) AG (i != j & j != k & i != k -> !(s[i] & s[j] & s[k]))\n"
        "SPEC\n  FORALL (i, j) AG (i != j -> !(s[i] & s[j]))\n"
        "MODULE m(s)\nASSIGN next(s) := {TRUE, FALSE};\n",
        "3", ["--symmetric"], {8: "false (1,2,3) +5", 10: "false (1,2) +1"}, 1),
    (  # a property whose instances mean another one: no verdict
        "MODULE main\nVAR\n  s[Proc] : {idle, trying, critical};\n  u[Proc] : transition m(s[Proc]);\n"
        "ASSIGN\n  init(s[Proc]) := idle;\nSPEC\n  FORALL (i) s[i] = trying -> AF s[i] = critical\n"
        "SPEC\n  FORALL (i) AG (s[i] != critical)\n"
        "MODULE m(s)\nASSIGN next(s) := case s = idle : trying; TRUE : s; esac;\nFAIRNESS running\n",
        "2..3", [], {8: "warned | warned", 10: "true | true"}, 3),
    (  # the same, accepted
        "MODULE main\nVAR\n  s[Proc] : {idle, trying, critical};\n  u[Proc] : transition m(s[Proc]);\n"
        "ASSIGN\n  init(s[Proc]) := idle;\nSPEC\n  FORALL (i) s[i] = trying -> AF s[i] = critical\n"
        "MODULE m(s)\nASSIGN next(s) := case s = idle : trying; TRUE : s; esac;\nFAIRNESS running\n",
        "2", ["--accept-warnings"], {8: "true"}, 0),
    (  # a FORALL that is not translated at all, and a statement cut short
        "MODULE main\nVAR\n  s[Proc] : boolean;\nASSIGN\n  init(s[Proc]) := FALSE;\n"
        "SPEC\n  FORALL (i, j) AG !(s[i] & s[j])\nSPEC\n  AG (s[1] -> s[1])\n",
        "2", [], {7: "warned", 9: "true"}, 3),
    (  # the same, accepted: what was not translated has no verdict to show
        "MODULE main\nVAR\n  s[Proc] : boolean;\nASSIGN\n  init(s[Proc]) := FALSE;\n"
        "SPEC\n  FORALL (i, j) AG !(s[i] & s[j])\nSPEC\n  AG (s[1] -> s[1])\n",
        "2", ["--accept-warnings"], {7: "warned", 9: "true"}, 3),
    (  # the bundled priority mutex: process 3 ignores the turn
        MUTEX, "2..4", [], {13: "true | false (1,3) +3 | false (1,3) +5", 16: "true | true | true"}, 1),
]


def n_count(n):
    """How many N a -p argument of these cases names: 2, or 2..4."""
    first, _, last = n.partition("..")
    return int(last or first) - int(first) + 1


def attribution():
    need_nusmv()
    for number, (model, n, options, cells, status) in enumerate(ATTRIBUTION):
        name = "case%d.in" % number
        write(name, model)
        result = run(["--check", "-p", n, "-f", name, "--json", name + ".json"] + options)
        table = result.stdout.decode(errors="replace")
        check(result.returncode == status, "%s: status %d, not %d\n%s" % (name, result.returncode, status, table))
        # A row: the line, the property in 44 columns, then a cell per N (and
        # the column every N, which tests/check/check_every_n.py looks at).
        rows = {int(row[:5]): " | ".join(re.split(r"  +", row[51:].strip())[:n_count(n)])
                for row in table.splitlines() if row[:5].strip().isdigit()}
        for line, cell in cells.items():
            check(rows.get(line) == cell, "%s: line %d is '%s', not '%s'" % (name, line, rows.get(line), cell))
        # Every verdict of ruvello is one that NuSMV gives the plain
        # --all-instances translation, none left out: as many true and
        # false for each N (properties whose cells are warned aside).
        if not os.path.exists(name + ".json"):
            check(False, "%s: no JSON" % name)
            continue
        document = json.load(open(name + ".json"))
        for run_of_n in document["runs"]:
            if run_of_n["outcome"] != "done":
                continue
            k = str(run_of_n["n"])
            translated = run(["--all-instances", "-p", k, "-f", name, "-o", name + ".smv"])
            if "--symmetric" in options or translated.returncode != 0:
                continue
            said = subprocess.run([NUSMV, name + ".smv"], capture_output=True).stdout.decode(errors="replace")
            by_hand = re.findall(r"^-- (?:spec\w*|invariant) .* is (true|false)$", said, re.M)
            warned = {w["property"] for w in document.get("warnings", [])}
            ours = [v["verdict"] for v in document["verdicts"]
                    if v["n"] == run_of_n["n"] and v["line"] not in warned and v["verdict"] in ("true", "false")]
            if warned:
                continue
            check(sorted(by_hand) == sorted(ours),
                  "%s, N = %s: NuSMV says %s, ruvello %s" % (name, k, sorted(by_hand), sorted(ours)))


def outputs():
    need_nusmv()
    # A model named with a byte that is not UTF-8, a control character, and
    # what only looks like UTF-8 (a surrogate, an overlong '/', U+FFFE),
    # holding some of them, whose checker message holds them too.
    name = b"odd\xff\x1b[31m\xed\xa0\x80\xe0\x80\xaf\xef\xbf\xbe.in"
    model = b"-- caf\xe9 \x01\nMODULE main\nVAR x : boolean;\nASSIGN init(x) := FALSE; next(x) := x;\nSPEC AG !x\nSPEC AG x\n"
    write(name, model, "wb")
    result = run(["--check", "-p", "1..2", "-f", os.fsdecode(name), "--json", "o.json", "--junit", "o.xml"])
    check(result.returncode == 1, "odd model: status %d" % result.returncode)
    check(b"\x1b" not in result.stdout, "the table shows an escape sequence raw")
    document = json.load(open("o.json", encoding="utf-8"))
    check(len(document["verdicts"]) == 4, "odd model: %d verdicts in the JSON" % len(document["verdicts"]))
    suites = ElementTree.parse("o.xml").getroot().findall("testsuite")
    for suite in suites:
        check(int(suite.get("tests")) == len(suite.findall("testcase")), "tests= is not the number of testcases")
    # A failed run's testcase is counted, and a message of odd bytes stays XML.
    write("one.in", open(os.path.join(SOURCE, "tests", "check", "one.in")).read())
    result = run(["--check", "-p", "2..3", "-f", "one.in", "--checker", STANDIN, "--junit", "f.xml",
                  "--json", "f.json"], env={"STANDIN_FAULT": "odd-error"})
    check(result.returncode == 3, "a checker that fails: status %d" % result.returncode)
    check(b"\x1b" not in result.stdout, "the checker's message is shown raw")
    for suite in ElementTree.parse("f.xml").getroot().findall("testsuite"):
        check(int(suite.get("tests")) == len(suite.findall("testcase")), "a failed run's testcase is not counted")
        check(int(suite.get("errors")) == 2, "a failed run counts %s errors" % suite.get("errors"))
    json.load(open("f.json", encoding="utf-8"))


def paths():
    need_nusmv()
    write("m.in", MUTEX)
    # The model is never an output, however it is spelt.
    for args in (["--json", "./m.in"], ["--junit", "m.in"], ["--traces", "m.in"]):
        result = run(["--check", "-p", "2", "-f", "m.in"] + args)
        check(result.returncode == 3 and open("m.in").read() == MUTEX, "%s replaced the model" % args)
    write("m.2.smv", MUTEX)
    result = run(["--check", "-p", "2", "-f", "m.2.smv", "--keep", "."])
    check(result.returncode == 3 and b"is the model itself" in result.stderr and open("m.2.smv").read() == MUTEX,
          "--keep . replaced the model m.2.smv")
    # Names NuSMV would read otherwise: a quote in TMPDIR and in --keep, a
    # folder and a model whose names begin with '-'.
    os.mkdir('tmp"dir')
    write("-m.in", MUTEX)
    result = run(["--check", "-p", "2..3", "--file=-m.in", '--keep=k"ept', "--traces=-traces"],
                 env={"TMPDIR": os.path.abspath('tmp"dir')})
    check(result.returncode == 1 and b"false (1,3)" in result.stdout, "odd names: %s" % result.stdout[-300:])
    check(sorted(os.listdir('k"ept')) == ["-m.2.smv", "-m.3.smv"], "--keep: %s" % os.listdir('k"ept'))
    check(os.listdir('tmp"dir') == [], "the temporary folder is left behind")
    # A trace that cannot be written is reported; the sweep goes on.
    os.makedirs("t/m.N3.L13.1-3.trace")
    result = run(["--check", "-p", "2..4", "-f", "m.in", "--traces", "t", "--json", "t.json"])
    table = result.stdout.decode()
    check(result.returncode == 1 and "false (1,3) +5" in table, "after a trace not written: %s" % table)
    check("the counterexample of line 13 (1,3) was not written" in table, "no note of the trace: %s" % table)
    check(os.path.exists("t/m.N4.L13.1-3.trace") and os.path.exists("t.json"), "the sweep stopped")
    # Two false properties on one line: a trace each.
    write("two.in", "MODULE main\nVAR x : boolean;\nASSIGN init(x) := FALSE; next(x) := x;\n"
                    "SPEC AG x SPEC AG !!x\n")
    result = run(["--check", "-p", "2", "-f", "two.in", "--traces", "two"])
    check(sorted(os.listdir("two")) == ["two.N2.L4.p2.trace", "two.N2.L4.trace"], "%s" % os.listdir("two"))
    # An existing file where a folder is asked for.
    write("afile", "")
    result = run(["--check", "-p", "2", "-f", "m.in", "--traces", "afile"])
    check(result.returncode == 3 and b"Not a directory" in result.stderr, "--traces afile: %s" % result.stderr)


LOCK = os.path.join(SOURCE, "tests", "check", "trace")


def counterexamples():
    need_nusmv()
    lock = open(os.path.join(LOCK, "lock.in")).read()
    known = open(os.path.join(LOCK, "lock.N2.L13.1.table")).read()  # NuSMV's counterexample of N = 2, (1)
    write("lock.in", lock)
    heading = "\nCounterexample of line 13 for N = 2, processes (1):\n"
    # The smallest N's, also when a larger N is done first; the first tuple's.
    for options in ([], ["--jobs", "3"]):
        result = run(["--check", "-p", "2..4", "-f", "lock.in"] + options)
        table = result.stdout.decode()
        check(result.returncode == 1 and table.endswith(heading + known), "%s: %s" % (options, table))
        check(table.count("Counterexample of") == 1, "one counterexample per false property: %s" % table)
    # Off: the same table without it.
    quiet = run(["--check", "-p", "2..4", "-f", "lock.in", "--no-counterexamples"]).stdout.decode()
    timeless = lambda text: [line for line in text.splitlines() if not line.startswith("       seconds")]
    check(timeless(quiet) == timeless(table[:table.index(heading)]), "--no-counterexamples: %s" % quiet)
    # A trace file: NuSMV's text, then the table.
    result = run(["--check", "-p", "2", "-f", "lock.in", "--traces", "t"])
    trace = open("t/lock.N2.L13.1.trace").read()
    check("Trace Type: Counterexample" in trace and trace.endswith("\n-- ruvello: the counterexample as a table\n" + known),
          "the trace file: %s" % trace)
    check(result.stdout.decode().endswith(heading + known), "with --traces: %s" % result.stdout.decode())
    # Without FAIRNESS running the starvation needs no lock: a note says why;
    # a false safety property alone gets none.
    write("unfair.in", lock.replace("FAIRNESS\n  running\n", ""))
    table = run(["--check", "-p", "2", "-f", "unfair.in"]).stdout.decode()
    check("line 13: false, and module user has no FAIRNESS running: without it a process may never be scheduled"
          in table, "no note of the scheduling: %s" % table)
    write("unsafe.in", lock.replace("FAIRNESS\n  running\n", "").replace("AG (i != j -> !(", "AG (i != j -> (")
          .replace("-> AF state[i] = critical", "-> AF TRUE"))
    table = run(["--check", "-p", "2", "-f", "unsafe.in"]).stdout.decode()
    check("false (1,2)" in table and "FAIRNESS" not in table and "Counterexample of line 11 for N = 2, processes (1,2)"
          in table, "a false safety property: %s" % table)


def first_counterexample(document):
    return next(v["counterexample"] for v in document["verdicts"] if v["counterexample"])


def report():
    need_nusmv()
    write("m.in", MUTEX)
    for n in ("2", "3"):
        run(["--check", "-p", n, "-f", "m.in", "--json", "r%s.json" % n])
    document = json.load(open("r3.json"))
    check(document.get("model_digest") == "sha256:" + hashlib.sha256(MUTEX.encode()).hexdigest(),
          "the digest of the model: %s" % document.get("model_digest"))
    # Each document that cannot be trusted is refused, naming the file and the field.
    bad = [
        (lambda d: d["runs"][0].update(outcome="done\x1b[2J"), "runs[0].outcome"),
        (lambda d: d["verdicts"][0].update(verdict="maybe"), "verdicts[0].verdict"),
        (lambda d: d["verdicts"][0].update(line=99), "verdicts[0].line"),
        (lambda d: d["runs"][0].update(n=2 ** 40), "runs[0].n"),
        (lambda d: d["runs"][0].update(seconds="fast"), "runs[0].seconds"),
        (lambda d: d["verdicts"][0].update(processes=[1, 9]), "verdicts[0].processes[1]"),
        (lambda d: d.pop("model"), "model"),
        # and each that no check writes: a proof of a liveness property, a run
        # done without its verdicts, a tuple of one process twice, and two
        # entries every N of one line that disagree
        (lambda d: d["every_n"][1].update(verdict="true", reason=None), "every_n[1].verdict"),
        (lambda d: d.update(verdicts=[v for v in d["verdicts"] if v["n"] != 3]), "runs[0]"),
        (lambda d: d["verdicts"][0].update(processes=[1, 1]), "verdicts[0].processes[1]"),
        (lambda d: d["every_n"].append(dict(d["every_n"][0], verdict="undecided", reason="?")), "every_n[2].verdict"),
        # and a counterexample with a process its N has not, a column it has
        # not, or a loop after its last step
        (lambda d: first_counterexample(d)["steps"][1].update(process=4),
         "counterexample.steps[1].process: not a process of 1 .. 3"),
        (lambda d: first_counterexample(d)["steps"][0]["changes"].update({"x\x1b[2J": "1"}),
         "counterexample.steps[0].changes: 'x\\033[2J' is none of the columns"),
        (lambda d: first_counterexample(d).update(loop_at=99), "counterexample.loop_at"),
    ]
    for number, (spoil, field) in enumerate(bad):
        spoilt = json.loads(json.dumps(document))
        spoil(spoilt)
        write("bad%d.json" % number, json.dumps(spoilt))
        result = run(["--report", "r2.json", "bad%d.json" % number, "--junit", "bad.xml"])
        said = result.stderr.decode(errors="replace")
        check(result.returncode == 3 and ("bad%d.json" % number) in said and field in said and "\x1b" not in said,
              "a document with a bad %s: %d %s" % (field, result.returncode, said))
    # Two documents that disagree about one N and line: an error naming both.
    flipped = json.loads(json.dumps(document))
    next(v for v in flipped["verdicts"] if v["line"] == 13 and v["processes"] == [1, 3]).update(verdict="true",
                                                                                          counterexample=None)
    write("flipped.json", json.dumps(flipped))
    result = run(["--report", "r3.json", "flipped.json"])
    said = result.stderr.decode()
    check(result.returncode == 3 and "'r3.json' and 'flipped.json' disagree about N = 3, line 13" in said,
          "disagreeing documents: %d %s" % (result.returncode, said))
    # Two versions of the model, one guard apart, whatever their N: an error
    # naming both; a document without the model's digest is merged with a note.
    edited = MUTEX.replace("(turn = id | id = 3)", "turn = id")
    write("m.in", edited)
    for n in ("3", "4"):
        run(["--check", "-p", n, "-f", "m.in", "--json", "e%s.json" % n])
    for others in (["e3.json"], ["e4.json"]):
        result = run(["--report", "r2.json"] + others)
        said = result.stderr.decode()
        check(result.returncode == 3 and "'r2.json' and '%s' were made from different versions of the model" %
              others[0] in said, "two versions of the model: %d %s" % (result.returncode, said))
    undigested = json.load(open("r2.json"))
    undigested.pop("model_digest", None)
    write("old.json", json.dumps(undigested))
    result = run(["--report", "old.json", "r3.json"])
    check(result.returncode == 1 and b"'old.json' records no digest of the model's text" in result.stdout,
          "a document without a digest: %d %s %s" % (result.returncode, result.stdout, result.stderr))
    # Documents that agree merge into the sweep's table.
    write("m.in", MUTEX)
    whole = run(["--check", "-p", "2..3", "-f", "m.in", "--json", "whole.json"]).stdout
    merged = run(["--report", "r3.json", "r2.json", "r3.json", "--junit", "merged.xml"])
    timeless = lambda table: re.sub(rb"\n       seconds [^\n]*", b"", table)
    check(merged.returncode == 1 and timeless(merged.stdout) == timeless(whole), "the merged table: %s" % merged.stdout)
    # The counterexample under the table is on the CI page's failure too.
    junit = open("merged.xml").read()
    check('<failure message="the property is false">  step  moved  state[1]' in junit, "the JUnit failure: %s" % junit)
    # A warned property keeps its reason, and only it loses its verdicts.
    write("w.in", ATTRIBUTION[4][0])
    checked = run(["--check", "-p", "2..3", "-f", "w.in", "--json", "w.json"])
    reported = run(["--report", "w.json"])
    check(reported.returncode == checked.returncode == 3 and timeless(reported.stdout) == timeless(checked.stdout),
          "a warned property, reported again: %s" % reported.stdout)


def signals():
    need_nusmv()
    write("t.in", open(os.path.join(SOURCE, "examples", "ticket_lock.in")).read())
    # After N = 2 and 3 are done, N = 7 takes long: interrupted there, the
    # table and the JSON say what was found.
    for name in ("INT", "TERM"):
        number = getattr(signal, "SIG" + name)
        sweep = subprocess.Popen([RUVELLO, "--check", "-p", "2,3,7", "-f", "t.in", "--json", "s.json"],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        time.sleep(2.5)
        sweep.send_signal(number)
        out, _ = sweep.communicate()
        table = out.decode()
        check(sweep.returncode == -number, "SIG%s: status %d" % (name, sweep.returncode))
        check(re.search(r"true +true +interrupted", table) is not None, "SIG%s: the table %s" % (name, table))
        document = json.load(open("s.json"))
        check([r["outcome"] for r in document["runs"]] == ["done", "done", "interrupted"],
              "SIG%s: the runs %s" % (name, document["runs"]))
        os.remove("s.json")
    # While a large translation is made: ended by the signal, nothing left.
    os.mkdir("private")
    sweep = subprocess.Popen([RUVELLO, "--check", "-p", "3000", "-f", "t.in", "--json", "big.json"],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             env=dict(os.environ, TMPDIR=os.path.abspath("private")))
    time.sleep(1.0)
    started = time.time()
    sweep.send_signal(signal.SIGINT)
    sweep.communicate()
    print("SIGINT during the translation for N = 3000 ended the run in %.2f s" % (time.time() - started))
    check(sweep.returncode == -signal.SIGINT, "SIGINT during a translation: status %d" % sweep.returncode)
    check(os.listdir("private") == [], "files left behind")
    check(os.path.exists("big.json") and
          [r["outcome"] for r in json.load(open("big.json"))["runs"]] == ["interrupted"],
          "SIGINT during a translation: the JSON")
    # While NuSMV checks the counted model, before any N: the table, the
    # JSON and JUnit say what was interrupted.
    sweep = subprocess.Popen([RUVELLO, "--check", "-p", "2..3", "-f", GRAB_LOCK, "--checker", STANDIN_COUNTED,
                              "--json", "c.json", "--junit", "c.xml"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             env=dict(os.environ, TMPDIR=os.path.abspath("private"), STANDIN_NUSMV=NUSMV,
                                      STANDIN_FAULT="slow"))
    time.sleep(1.0)
    sweep.send_signal(signal.SIGINT)
    out, _ = sweep.communicate()
    table = out.decode()
    check(sweep.returncode == -signal.SIGINT and
          "interrupted by SIGINT while NuSMV checked the counted model for every N" in table,
          "SIGINT during the counted model: %d %s" % (sweep.returncode, table))
    check(os.path.exists("c.json") and json.load(open("c.json"))["notes"] == [table.splitlines()[-1]] and
          len(ElementTree.parse("c.xml").getroot().findall("testsuite")) == 2 and os.listdir("private") == [],
          "SIGINT during the counted model: the files")


def plot():
    need_nusmv()
    if not shutil.which("gnuplot"):
        print("SKIPPED: no gnuplot (Debian's package gnuplot-nox)")
        sys.exit(77)
    # What gnuplot would run, or what would end its string and run what
    # follows; a canary file for each field that reaches the plot, which a
    # command run from that field would create.
    forms = {"backquotes": "`touch $%s`", "dollar": "$(touch $%s)", "double quotes": '"`touch $%s`"',
             "single quotes": "'`touch $%s`'", "newline": "\n`touch $%s`", "backslash": '\\"`touch $%s`"'}
    fields = ("MODEL", "OUTPUT", "DOCUMENT")
    canaries = {field: os.path.abspath("canary." + field) for field in fields}
    env = {field: canaries[field] for field in fields}
    model = open(os.path.join(SOURCE, "tests", "check", "one.in")).read()
    write("m.in", model)
    run(["--check", "-p", "1..2", "-f", "m.in", "--json", "m.json"])
    document = json.load(open("m.json"))

    # Drawn, with the name in the title as it is.
    def drawn(result, picture, title, what):
        texts = ElementTree.parse(picture).getroot().itertext() if os.path.exists(picture) else []
        drawn_title = " ".join(" ".join(texts).split())
        check(result.returncode == 0 and "touch $" + title in drawn_title,
              "%s: status %d, %s, drawn: %s" % (what, result.returncode, result.stderr, drawn_title[:150]))
        for field, canary in canaries.items():
            check(not os.path.exists(canary), "%s: gnuplot ran a command from the %s" % (what, field.lower()))
            if os.path.exists(canary):
                os.remove(canary)

    for name, form in forms.items():
        folder = "d" + form % "MODEL"
        os.makedirs(folder)
        write(os.path.join(folder, "m.in"), model)
        picture = "g" + form % "OUTPUT" + ".svg"
        result = run(["--check", "-p", "1..2", "-f", os.path.join(folder, "m.in"), "--plot", picture], env=env)
        drawn(result, picture, "MODEL", "a model and a plot named with %s" % name)
        document["model"] = "m" + form % "DOCUMENT"
        write("d.json", json.dumps(document))
        result = run(["--report", "d.json", "--plot", "r.svg"], env=env)
        drawn(result, "r.svg", "DOCUMENT", "a document whose model is named with %s" % name)


def first_run():
    write("one.in", open(os.path.join(SOURCE, "tests", "check", "one.in")).read())
    # No checker anywhere, or one that cannot be started: one message, no table.
    os.mkdir("bin")
    write("bin/NuSMV", "not a program\n")
    os.chmod("bin/NuSMV", 0o755)
    env = {"PATH": os.path.abspath("empty"), "RUVELLO_NUSMV": ""}
    for args, extra, said in (([], env, "no --checker, no RUVELLO_NUSMV, and NuSMV: not on PATH"),
                              (["--checker", "./none"], {}, "--checker './none': No such file"),
                              (["--checker", "bin/NuSMV"], {}, "--checker 'bin/NuSMV': Exec format error"),
                              ([], dict(env, RUVELLO_NUSMV="./one.in"), "RUVELLO_NUSMV './one.in': not executable")):
        result = run(["--check", "-p", "2..4", "-f", "one.in"] + args, env=extra)
        err = result.stderr.decode()
        check(result.returncode == 3 and result.stdout == b"" and err.startswith("CHECKER ERROR!\n") and
              said in err and "https://nusmv.fbk.eu" in err and err.count("\n") == 3,
              "no checker %s: %d %r %r" % (args, result.returncode, result.stdout, err))
    # Windows line ends: no checker runs.
    write("dos.in", "MODULE main\r\nVAR\r\n  x[Proc] : boolean;\r\nSPEC AG !x[1]\r\n")
    result = run(["--check", "-p", "2", "-f", "dos.in", "--checker", STANDIN], env={"STANDIN_ARGS": "args"})
    check(result.returncode == 3 and not os.path.exists("args") and b"Windows line ends" in result.stderr,
          "Windows line ends: %d %s" % (result.returncode, result.stderr))
    need_nusmv()
    # NuSMV reads for ever a file whose last line, a comment, has no line
    # end: whatever ends the model, what NuSMV reads ends its line. The
    # translation alone stays as it was.
    ends = {"comment.in": "MODULE main\nVAR x : boolean;\nASSIGN init(x) := FALSE; next(x) := x;\nSPEC AG !x\n-- end",
            "carriage.in": "-- line ends of old Macs\rMODULE main\rVAR x : boolean;\rSPEC AG !x\r",
            "only.in": "-- nothing but a comment"}
    for name, model in ends.items():
        write(name, model)
        sweep = subprocess.Popen([RUVELLO, "--check", "-p", "2", "-f", name], stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE)
        try:
            out, _ = sweep.communicate(timeout=60)
        except subprocess.TimeoutExpired:
            sweep.send_signal(signal.SIGTERM)  # which ends the checker it runs too
            out, _ = sweep.communicate()
        check(sweep.returncode in (0, 3) and re.search(rb"\nN = 2|\n +seconds +[0-9]", out),
              "%s: %d %s" % (name, sweep.returncode, out))
        check(run(["-p", "2", "-f", name, "-o", "-"]).stdout.endswith(model[-6:].encode()),
              "%s: the translation alone changed its end" % name)
    # A model NuSMV rejects: the message once for every N, at the model's line;
    # a property NuSMV rejects is named, once for every N, without the line
    # of its keyword that NuSMV gives.
    write("bad.in", "MODULE main\nVAR\n  s[Proc] : {idle, busy};\nASSIGN\n  init(s[Proc]) := idle;\n"
                    "SPEC\n  AG (s[1] = gone)\n")
    result = run(["--check", "-p", "2..4", "-f", "bad.in"])
    table = result.stdout.decode()
    check(result.returncode == 3 and table.count("undefined identifier") == 1 and
          "line 7: NuSMV rejects the property: TYPE ERROR: undefined identifier 'gone'" in table and
          re.search(r"AG \(s\[1\] = gone\) +error +error +error", table), "a property NuSMV rejects: %s" % table)
    write("bad.in", "MODULE main\nVAR\n  s[Proc] : {idle, busy};\nASSIGN\n  init(s[Proc]) := idle;\n"
                    "  next(s[Proc]) := gone;\nSPEC\n  AG (s[1] = idle)\n")
    result = run(["--check", "-p", "2..4", "-f", "bad.in"])
    table = result.stdout.decode()
    check(result.returncode == 3 and table.count("undefined") == 1 and
          'N = 2..4: error: file bad.in: line 6: "gone" undefined' in table, "a model NuSMV rejects: %s" % table)
    # The same in a folder named as the translation for N = 2 is: the model's
    # name, put in place of the translation's in NuSMV's message, holds it.
    # The signals a check waits for are held back: only SIGKILL ends a loop.
    os.mkdir("bad.2.smv")
    os.rename("bad.in", "bad.2.smv/bad.in")
    sweep = subprocess.Popen([RUVELLO, "--check", "-p", "2", "-f", "bad.2.smv/bad.in"], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
    try:
        out, _ = sweep.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        sweep.kill()
        out, _ = sweep.communicate()
    table = out.decode()
    check(sweep.returncode == 3 and 'N = 2: error: file bad.2.smv/bad.in: line 6: "gone" undefined' in table,
          "a model whose name holds its translation's: %d %s" % (sweep.returncode, table))


def checker():
    # Output larger than ruvello should hold: read as it comes, the
    # counterexample copied to its trace as it lies.
    write("one.in", open(os.path.join(SOURCE, "tests", "check", "one.in")).read())
    with open("flood.out", "wb") as table:
        sweep = subprocess.Popen([RUVELLO, "--check", "-p", "2", "-f", "one.in", "--checker", STANDIN, "--traces", "t"],
                                 stdout=table, stderr=subprocess.DEVNULL, env=dict(os.environ, STANDIN_FAULT="flood"))
        # Its rusage, with that of the stand-ins it waited for, all small.
        _, status, usage = os.wait4(sweep.pid, 0)
    out = open("flood.out", "rb").read()
    print("200 MB of the checker's output: ruvello's peak memory %d kB" % usage.ru_maxrss)
    check(os.waitstatus_to_exitcode(status) == 1 and b"false" in out, "a flood of output: %s" % out[-300:])
    # A build under the sanitizers holds far more, and cannot start within such a bound.
    limited = lambda: resource.setrlimit(resource.RLIMIT_AS, (200 << 20, 200 << 20))
    if subprocess.run([RUVELLO, "--version"], capture_output=True, preexec_fn=limited).returncode != 0:
        print("SKIPPED: the bound on its memory: this build cannot run within 200 MB")
    else:
        check(usage.ru_maxrss < 100000, "a flood of output took ruvello to %d kB" % usage.ru_maxrss)
    trace = os.path.join("t", "one.N2.L5.trace")
    check(os.path.exists(trace) and os.path.getsize(trace) > 200000000, "the flood's trace is not all there")
    need_nusmv()
    # A checker that answers the counted model and then fails, or answers
    # it wrongly, proves nothing: every line is "?" with why.
    for fault, why in (("crash", "the checker was ended by signal 11"),
                       ("status", "the checker ended with status 1"),
                       ("omit", "the checker gave no verdict on the counted model's invariant property_15"),
                       ("extra", "the checker gave the counted model verdicts it was not asked for"),
                       ("again", "the checker gave the counted model verdicts it was not asked for")):
        result = run(["--check", "-p", "2..3", "-f", GRAB_LOCK, "--checker", STANDIN_COUNTED, "--json", "f.json"],
                     env={"STANDIN_NUSMV": NUSMV, "STANDIN_FAULT": fault})
        every_n = json.load(open("f.json"))["every_n"]
        check(result.returncode == 0 and [each["line"] for each in every_n] == [13, 15] and
              all(each["verdict"] == "undecided" and why in each["reason"] for each in every_n),
              "the counted model checked with the fault %s: %s" % (fault, every_n))


GROUPS = {"attribution": attribution, "outputs": outputs, "paths": paths, "report": report,
          "signals": signals, "plot": plot, "counterexamples": counterexamples, "first-run": first_run, "checker": checker}
run_in_scratch(GROUPS[GROUP])
