#!/usr/bin/env python3
"""check_growth.py RUVELLO SOURCE GROUP: how far a sweep goes and what it
shows of its growth. GROUP is one of:

  settings  the faster checker settings give the verdicts of NuSMV's own
            checks, on every example and on a model whose only bad state
            is reachable on unfair paths alone
  stops     an open range within a budget, --stop-at-false, the N after a
            timeout skipped unless --keep-going
  show      reachable states, seconds and memory per N, a wide sweep in
            blocks, and the growth drawn by gnuplot (or why not)

Each needs NuSMV (RUVELLO_NUSMV, or NuSMV on PATH) and exits with 77, saying
so, without it.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

from check_harness import NUSMV, check, need_nusmv, run_in_scratch

RUVELLO, SOURCE, GROUP = sys.argv[1], sys.argv[2], sys.argv[3]
EXAMPLES = os.path.join(SOURCE, "examples")
need_nusmv()


def run(args, env=None):
    return subprocess.run([RUVELLO] + args, capture_output=True, env=dict(os.environ, **(env or {})))


def verdicts(document):
    return sorted((v["n"], v["line"], tuple(v["processes"] or ()), v["instance"] or "", v["verdict"], v["value"] or "")
                  for v in document["verdicts"])


def settings():
    # Invariants, one transition relation and the states counted: the
    # verdicts of every example as NuSMV's own checks give them.
    models = [os.path.join(EXAMPLES, name) for name in sorted(os.listdir(EXAMPLES))]
    models.append(os.path.join(SOURCE, "tests", "check", "mixed.in"))
    for model in models:
        fast = run(["--check", "-p", "1..4", "-f", model, "--json", "fast.json"])
        plain = run(["--check", "-p", "1..4", "-f", model, "--json", "plain.json", "--reference-checks"])
        check(fast.returncode == plain.returncode, "%s: status %d and %d" % (model, fast.returncode, plain.returncode))
        check(verdicts(json.load(open("fast.json"))) == verdicts(json.load(open("plain.json"))),
              "%s: the verdicts differ with --reference-checks" % model)
    # The invariant checker ignores fairness: b is reachable only on paths
    # that are not fair, so the invariant !b fails while AG !b holds.
    with open("unfair.in", "w") as model:
        model.write("MODULE main\nVAR b : boolean;\nASSIGN\n  init(b) := FALSE;\n"
                    "  next(b) := b ? TRUE : {FALSE, TRUE};\nFAIRNESS !b\nSPEC AG !b\nINVARSPEC !b\n")
    for options in ([], ["--traces", "t"], ["--reference-checks"]):
        result = run(["--check", "-p", "1", "-f", "unfair.in"] + options)
        table = result.stdout.decode()
        check(re.search(r"SPEC AG !b +true", table) and re.search(r"INVARSPEC !b +false", table),
              "the unfair-path model %s: %s" % (options, table))


def stops():
    # An open range goes as far as the budget lets it, and says where it stopped.
    result = run(["--check", "-p", "2..", "--budget", "4s", "-f", os.path.join(EXAMPLES, "semaphore.in"),
                  "--json", "open.json"])
    table = result.stdout.decode()
    document = json.load(open("open.json"))
    runs = document["runs"]
    last = runs[-1]["n"]
    check(last >= 4 and "Within a budget of 4.0 s: checked up to N = %d" % last in table,
          "-p 2.. --budget 4s: %d %s" % (result.returncode, table))
    # It stops before an N predicted not to fit, or, where the prediction
    # fell short, that N is stopped when the budget runs out.
    stopped_before = result.returncode == 0 and document["budget"]["next_n"] == last + 1
    stopped_during = result.returncode == 3 and runs[-1]["outcome"] == "timeout" and \
        runs[-1]["message"] == "the budget of 4.0 s ran out"
    check((stopped_before or stopped_during) and all(r["outcome"] == "done" for r in runs[:-1]),
          "where the budget stopped the sweep: %s %s" % (document["budget"], runs[-1]))
    # The N after one that the budget stopped are skipped for the budget,
    # which no option lifts (N = 9 of the ticket lock takes far longer).
    table = run(["--check", "-p", "2,9,10", "--budget", "3s", "-f", os.path.join(EXAMPLES, "ticket_lock.in")]).stdout.decode()
    check("N = 10: skipped: the budget of 3.0 s ran out" in table and "--keep-going" not in table,
          "the N after a budget ran out: %s" % table)
    check(run(["--check", "-p", "2..", "-f", "m.in"]).returncode == 2, "an open range without a budget")
    # A counted model that takes the whole budget: its run ends with the
    # budget, and a sweep that checked no N says so, and fails.
    result = run(["--check", "-p", "2..", "--budget", "2s", "-f", os.path.join(SOURCE, "tests", "counted", "grab_lock.in"),
                  "--checker", os.path.join(SOURCE, "tests", "check", "standin_counted"), "--junit", "none.xml"],
                 env={"STANDIN_NUSMV": NUSMV, "STANDIN_FAULT": "slow"})
    table = result.stdout.decode()
    errors = [case.find("error") for case in ElementTree.parse("none.xml").getroot().iter("testcase")]
    check(result.returncode == 3 and "checked no N in " in table and
          "N = 2: skipped: the budget of 2.0 s ran out (the counted model for every N took " in table and
          len(errors) == 1 and errors[0] is not None, "a budget the counted model used up: %d %s" % (result.returncode, table))
    # The first N with a false verdict ends the sweep.
    result = run(["--check", "-p", "2..6", "--stop-at-false", "-f", os.path.join(EXAMPLES, "priority_mutex.in")])
    table = result.stdout.decode()
    check(result.returncode == 1 and "false (1,3) +3  skipped  skipped  skipped" in table and
          "N = 4..6: skipped: --stop-at-false: N = 3 has a false verdict" in table, "--stop-at-false: %s" % table)
    # After a timeout a larger N is skipped, unless --keep-going.
    ticket = os.path.join(EXAMPLES, "ticket_lock.in")
    result = run(["--check", "-p", "2,8,9", "--timeout", "3", "-f", ticket])
    table = result.stdout.decode()
    check(result.returncode == 3 and re.search(r"true +timeout +skipped", table) and
          "N = 9: skipped: N = 8 timed out" in table, "the N after a timeout: %s" % table)
    result = run(["--check", "-p", "2,8,9", "--timeout", "3", "--keep-going", "-f", ticket])
    check(re.search(r"true +timeout +timeout", result.stdout.decode()), "--keep-going: %s" % result.stdout)


def show():
    semaphore = "semaphore.in"
    shutil.copy(os.path.join(EXAMPLES, semaphore), semaphore)
    result = run(["--check", "-p", "2..4", "-f", semaphore, "--json", "s.json"])
    table = result.stdout.decode()
    document = json.load(open("s.json"))
    states = [r["states"] for r in document["runs"]]
    check(all(type(s) is int for s in states), "states as whole numbers: %s" % states)
    check(states == sorted(states) and states[0] > 0 and all(r["max_rss_kb"] > 0 for r in document["runs"]),
          "states and memory: %s" % document["runs"])
    check(re.search(r"reachable states +%s +%s" % tuple("{:,}".format(int(s)) for s in states[:2]), table) and
          "       seconds " in table, "the rows of states and seconds: %s" % table)
    # NuSMV's own count agrees.
    run(["--all-instances", "-p", "3", "-f", semaphore, "-o", "s3.smv"])
    with open("count.script", "w") as script:
        script.write("read_model -i s3.smv\ngo\nprint_reachable_states\nquit\n")
    said = subprocess.run([NUSMV, "-source", "count.script"], capture_output=True).stdout.decode()
    check("reachable states: %d " % states[1] in said, "NuSMV counts otherwise: %s" % said[-300:])
    # A wide sweep in blocks that fit the width.
    result = run(["--check", "-p", "2..9", "-f", semaphore], env={"COLUMNS": "80"})
    lines = [line for line in result.stdout.decode().splitlines() if line.startswith(" ")]  # the table's rows
    check(max(len(line) for line in lines) <= 80 and sum(line.startswith(" line  property") for line in lines) >= 2,
          "-p 2..9 in 80 columns: %s" % "\n".join(lines))
    # The growth drawn, or why not, with the JSON written either way.
    if shutil.which("gnuplot"):
        result = run(["--check", "-p", "2..4", "-f", semaphore, "--plot", "g.svg"])
        check(result.returncode == 0 and ElementTree.parse("g.svg").getroot().tag.endswith("svg"), "--plot g.svg")
    else:
        print("SKIPPED: the drawing itself: no gnuplot")
    result = run(["--check", "-p", "2", "-f", semaphore, "--plot", "n.svg", "--json", "n.json"],
                 env={"PATH": os.path.abspath("none")})
    check(result.returncode == 3 and b"gnuplot-nox" in result.stderr and os.path.exists("n.json") and
          not os.path.exists("n.svg"), "--plot without gnuplot: %s" % result.stderr)


run_in_scratch({"settings": settings, "stops": stops, "show": show}[GROUP])
