#!/usr/bin/env python3
"""check_every_n.py RUVELLO SOURCE: the column "every N" of ruvello --check,
for the models of tests/counted/expectations.txt and rejected.txt, checked
for N = 2..4:

  proved               true
  not proved           not true: undecided, or false where N <= 4 finds it so
  finite false from K  false when K <= 4, else undecided
  a reason             undecided with that reason, unless N <= 4 finds it false

and the same in the table, the JSON, after --report, and in the counted
model kept with --keep, where a counterexample of the counted model that
no N reproduces is shown in its terms; that a model the counted model cannot read still
has its finite N checked; and that a signal ends the run while the counted
model is built. Needs NuSMV (RUVELLO_NUSMV, or NuSMV on PATH), and exits
with 77, saying so, without it.
"""
import json
import os
import re
import signal
import subprocess
import sys
import time

from check_harness import check, need_nusmv, run_in_scratch

RUVELLO, SOURCE = sys.argv[1], sys.argv[2]
LARGEST_N = 4
need_nusmv()


def model_text(name):
    """A model of the expectations: a file, or README.md:lock.in, the README's first model."""
    if name == "README.md:lock.in":
        readme = open(os.path.join(SOURCE, "README.md")).read()
        block = re.search(r"\n    -- A test-and-set lock.*?\n      running\n", readme, re.S).group(0)
        return "".join(line[4:] + "\n" for line in block.strip("\n").split("\n"))
    return open(os.path.join(SOURCE, name)).read()


# A line of rejected.txt takes the place of the same model's line in
# expectations.txt: what the counted model says of a model that NuSMV
# rejects is no verdict of --check.
expected = {}
for table in ("expectations.txt", "rejected.txt"):
    for line in open(os.path.join(SOURCE, "tests", "counted", table)):
        if line.strip() and not line.startswith("#"):
            name, where, expectation = line.rstrip("\n").split(" ", 2)
            expected.setdefault(name, {})[where] = expectation
expected = {name: list(lines.items()) for name, lines in expected.items()}

def every_n():
    for name, expectations in expected.items():
        model = os.path.basename(name).replace("README.md:", "")
        open(model, "w").write(model_text(name))
        # The column stands on its own, without the warnings that take verdicts away.
        result = subprocess.run([RUVELLO, "--check", "-p", "2..%d" % LARGEST_N, "-f", model, "--json", "r.json",
                                 "--keep", "kept", "--accept-warnings"], capture_output=True, text=True)
        document = json.load(open("r.json"))
        decided = {}
        for each in document["every_n"]:
            decided.setdefault(each["line"], []).append(each)
        for where, expectation in expectations:
            lines = sorted(decided) if where == "*" else [int(where)]
            for line in lines:
                got = decided.get(line, [{"verdict": "missing", "reason": None}])[0]
                finite_false = any(v["line"] == line and v["verdict"] == "false" for v in document["verdicts"])
                what = "%s line %d (%s): %s" % (name, line, expectation, got)
                if expectation == "proved":
                    check(got["verdict"] == "true", what)
                elif expectation == "not proved":
                    check(got["verdict"] == ("false" if finite_false else "undecided"), what)
                elif expectation.startswith("finite false from "):
                    first = int(expectation.split()[-1])
                    check(got["verdict"] == ("false" if first <= LARGEST_N else "undecided"), what)
                    check(finite_false == (first <= LARGEST_N), what + ": the finite verdicts")
                else:
                    check(got["verdict"] == ("false" if finite_false else "undecided") and
                          (finite_false or expectation in (got["reason"] or "")), what)
        # The table has the column, and the summary says how many hold for every N.
        holds = sum(1 for each in decided.values() if all(e["verdict"] == "true" for e in each))
        check(re.search(r" every N\n", result.stdout) and
              ("; %d hold%s for every N\n" % (holds, "s" if holds == 1 else "")) in result.stdout,
              "%s: the table %s" % (name, result.stdout))
        # --report keeps the column.
        merged = subprocess.run([RUVELLO, "--report", "r.json", "--json", "-"], capture_output=True, text=True)
        check(json.loads(merged.stdout)["every_n"] == document["every_n"], "%s: --report changed every N" % name)
        # Beside a document of a larger N whose verdicts of a proved line a
        # warning took away (one N can warn where another does not), or whose
        # translation NuSMV rejected, --report holds that line for no N; a
        # timeout there takes nothing away.
        proved = {each["line"] for each in document["every_n"] if each["verdict"] == "true"}
        for spoilt, stands in (("warned", False), ("error", False), ("timeout", True)):
            run = dict(document["runs"][-1], n=LARGEST_N + 1)
            if spoilt != "warned":
                run.update(outcome=spoilt, message="as if it had been")
            larger = dict(document, runs=[run], every_n=[])
            larger["verdicts"] = [dict(v, n=LARGEST_N + 1, verdict=spoilt if v["line"] in proved else v["verdict"])
                                  for v in document["verdicts"] if v["n"] == LARGEST_N]
            json.dump(larger, open("larger.json", "w"))
            merged = subprocess.run([RUVELLO, "--report", "r.json", "larger.json", "--json", "-"],
                                    capture_output=True, text=True)
            still = {each["line"] for each in json.loads(merged.stdout or "{}").get("every_n", [])
                     if each["verdict"] == "true"}
            check(still == (proved if stands else set()),
                  "%s: --report beside %s cells at N = %d holds for every N lines %s of %s (%s)" %
                  (name, spoilt, LARGEST_N + 1, sorted(still), sorted(proved), merged.stderr.strip()))
        # A counterexample of the counted model that no N reproduced is shown
        # in the counted model's terms under the table, and both counted
        # models, with counters up to m and m + 1, are kept.
        stem = os.path.splitext(model)[0]
        for each in document["every_n"]:
            coarse = re.search(r"too coarse: the counted model, with counters up to (\d+) and (\d+)", each["reason"] or "")
            if coarse:
                check(each["counterexample"] and
                      ("Counterexample of line %d in the counted model, which no N of this run reproduces:\n%s\n" %
                       (each["line"], "\n".join(each["counterexample"]))) in result.stdout and
                      os.path.exists(os.path.join("kept", stem + ".every.smv")) and
                      os.path.exists(os.path.join("kept", "%s.every.m%s.smv" % (stem, coarse.group(2)))),
                      "%s line %d: the counted model's counterexample: %s" % (name, each["line"], result.stdout))
        if model == "coarse.in":
            check("  step 7: 3 or more at state = gone; entered = 3, left = 4\n" in result.stdout,
                  "coarse.in: the counted model's steps: %s" % result.stdout)
        # The counted model a proof stands on is kept, with a comment per counter.
        if holds:
            kept = open(os.path.join("kept", stem + ".every.smv")).read()
            check(re.search(r"\n  n_\w+ : 0\.\.\d+;  -- processes with ", kept) is not None,
                  "%s: the counted model kept: %s" % (name, kept[:400]))


def unread_models():
    """Nesting too deep to read, in a module no process uses: the finite N are
    checked, the column says why it is not decided, nothing is left behind."""
    os.mkdir("private")
    lock = model_text("tests/counted/grab_lock.in")
    for chain in ("TRUE -> " * 50000 + "TRUE", "TRUE ? TRUE : " * 100000 + "TRUE"):
        open("deep.in", "w").write(lock + "\nMODULE unused\nDEFINE\n  d := " + chain + ";\n")
        result = subprocess.run([RUVELLO, "--check", "-p", "2", "-f", "deep.in"], capture_output=True, text=True,
                                env=dict(os.environ, TMPDIR=os.path.abspath("private")))
        check(result.returncode == 0 and re.search(r"true +\?\n", result.stdout) is not None and
              "line 44 cannot be read: an expression nests deeper than 200 levels" in result.stdout and
              os.listdir("private") == [],
              "a model nested too deeply: status %d, %s%s" % (result.returncode, result.stdout, result.stderr[-300:]))


def ended_while_counting():
    """SIGTERM while the counted model of a large model is built (seconds of
    work) ends the run as the signal would, before any checker runs, with
    nothing left behind."""
    os.mkdir("counting")
    values = ", ".join("c%d" % k for k in range(4000))
    module = "MODULE grabber(id, state, owner, locked)\n"
    open("many.in", "w").write(model_text("tests/counted/grab_lock.in").replace(
        module + "ASSIGN\n", module + "VAR\n  v : {%s};\nASSIGN\n  init(v) := c0;\n  next(v) := {%s};\n" % (values, values)))
    env = dict(os.environ, TMPDIR=os.path.abspath("counting"), STANDIN_ARGS=os.path.abspath("checker_runs"))
    sweep = subprocess.Popen([RUVELLO, "--check", "-p", "2", "-f", "many.in", "--checker",
                              os.path.join(SOURCE, "tests", "check", "standin_nusmv")],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    # The temporary folder is made right before the counted model is built.
    while not os.listdir("counting") and sweep.poll() is None:
        time.sleep(0.01)
    sweep.send_signal(signal.SIGTERM)
    started = time.time()
    try:
        sweep.wait(timeout=60)
    except subprocess.TimeoutExpired:
        sweep.kill()
        sweep.wait()
    print("SIGTERM while the counted model was built ended the run in %.2f s" % (time.time() - started))
    check(sweep.returncode == -signal.SIGTERM and not os.path.exists("checker_runs") and
          os.listdir("counting") == [],
          "SIGTERM while counting: status %d, checker run: %s, left: %s" %
          (sweep.returncode, os.path.exists("checker_runs"), os.listdir("counting")))


def every_n_unread_and_ended():
    every_n()
    unread_models()
    ended_while_counting()


run_in_scratch(every_n_unread_and_ended)
