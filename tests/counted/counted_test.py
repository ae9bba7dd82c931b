#!/usr/bin/env python3
"""counted_test.py MODE RUVELLO PROBE SOURCE [MODEL]: the counted model against NuSMV.

A property the counted model proves must hold for every N; the test
compares with the finite check, NuSMV on ruvello's translations for
N = 2..7 (every tuple of distinct processes). MODE is one of

  verdicts   the examples, the README's lock.in and tests/counted/*.in decide
             as tests/counted/expectations.txt says, and every property proved
             holds in the finite check;
  faults     variants of MODEL, a model in the class, one planted fault each
             (checked up to N = 5 when the model has arrays):
             none that the finite check finds false is proved (an even spread
             of at most FAULTS_PER_MODEL variants, and more until one is false,
             or with COUNTED_EVERY_FAULT=1 in the environment, every variant);
  reachable  for N = 2..4, the counted image of every reachable state of the
             translation is a reachable state of the counted model.

As ruvello's checker does, a property the counted model refutes with the
bound it chose is tried once more with the bound one higher. NuSMV is
RUVELLO_NUSMV or NuSMV on PATH, run with dynamic reordering as ruvello
runs it (NuSMV's first variable order takes minutes on some models at
N = 7); without one the test is skipped (status 77).
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

LARGEST_N = 7
# Planted faults in a model with arrays are checked up to N = 5: NuSMV's
# check of a broken broadcast at N = 7 takes minutes.
LARGEST_N_OF_ARRAY_FAULTS = 5
FAULTS_PER_MODEL = 8
NAME = re.compile(r"[A-Za-z_][A-Za-z0-9_$#-]*")
PROPERTY_KEYWORDS = {"SPEC", "CTLSPEC", "LTLSPEC", "INVARSPEC", "PSLSPEC", "COMPUTE"}
SECTION_KEYWORDS = PROPERTY_KEYWORDS | {
    "MODULE", "VAR", "IVAR", "FROZENVAR", "DEFINE", "ASSIGN", "INIT", "TRANS", "INVAR",
    "FAIRNESS", "JUSTICE", "COMPASSION", "ISA", "CONSTANTS"}


class Failure(Exception):
    pass


class Tools:
    def __init__(self, ruvello, probe, nusmv, work):
        self.ruvello, self.probe, self.nusmv, self.work = ruvello, probe, nusmv, work
        self.files = 0

    def file(self, text, suffix):
        self.files += 1
        path = os.path.join(self.work, "f%d%s" % (self.files, suffix))
        with open(path, "w") as out:
            out.write(text)
        return path

    def counted(self, model_path, bound=0):
        """The counted model's text, what the probe says of the model, and its goals."""
        run = subprocess.run([self.probe, model_path, str(bound)], capture_output=True, text=True, check=True)
        lines = [json.loads(line) for line in run.stderr.splitlines()]
        return run.stdout, lines[0], lines[1:]

    def check_named(self, smv_path, names):
        """NuSMV's verdict on each named property, or None when it rejects the model."""
        script = "set on_failure_script_quits\nread_model -i %s\ngo\n" % smv_path
        for name in names:
            script += "echo @@ %s\ncheck_property -P %s\n" % (name, name)
        run = subprocess.run([self.nusmv, "-dynamic", "-source", self.file(script + "quit\n", ".cmd")],
                             capture_output=True, text=True)
        verdicts, current = {}, None
        for line in run.stdout.splitlines():
            if line.startswith("@@ "):
                current = line[3:].strip()
            elif current and line.startswith("-- ") and current not in verdicts:
                verdicts[current] = line.rstrip().endswith("is true")
        return verdicts if len(verdicts) == len(names) else None

    def reachable(self, smv_path):
        script = "set on_failure_script_quits\nread_model -i %s\ngo\nprint_reachable_states -v\nquit\n" % smv_path
        run = subprocess.run([self.nusmv, "-dynamic", "-source", self.file(script, ".cmd")], capture_output=True, text=True)
        states, state = [], None
        for line in run.stdout.splitlines():
            if re.match(r"\s*-+ State\s+\d+ -+", line):
                state = {}
                states.append(state)
            elif state is not None and " = " in line and line.startswith("  "):
                name, value = line.strip().split(" = ", 1)
                state[name] = value
        if not states:
            raise Failure("NuSMV lists no reachable state of %s: %s" % (smv_path, run.stderr[-300:]))
        return states

    def translation(self, model_path, n):
        out = os.path.join(self.work, "translation.smv")
        subprocess.run([self.ruvello, "--all-instances", "--line-markers", "-p", str(n), "-f", model_path, "-o", out],
                       check=True, capture_output=True)
        with open(out) as text:
            return text.read()


def named_translation(translation):
    """The translation with a NAME for every property, and each name's model line."""
    lines, names, current, pending = [], [], 1, False
    for raw in translation.split("\n"):
        marker = re.match(r'# (\d+) "', raw)
        if marker:
            current = int(marker.group(1))
            lines.append(raw)
            continue
        line_number, current = current, current + 1
        out, at = "", 0
        while at < len(raw):
            if raw.startswith("--", at):
                out += raw[at:]
                break
            if raw[at].isspace():
                out += raw[at]
                at += 1
                continue
            word = NAME.match(raw, at)
            text = word.group(0) if word else raw[at]
            if pending and text not in SECTION_KEYWORDS:
                name = "check_%d_%d" % (line_number, len(names))
                names.append((name, line_number))
                out += "NAME %s := " % name
            pending = text in PROPERTY_KEYWORDS
            out += text
            at += len(text)
        lines.append(out)
    return "\n".join(lines), names


def finite_check(tools, model_path, n):
    """By model line: whether every instance of the property holds for N, or None on an error."""
    text, names = named_translation(tools.translation(model_path, n))
    verdicts = tools.check_named(tools.file(text, ".smv"), [name for name, _ in names])
    if verdicts is None:
        return None
    by_line = {}
    for name, line in names:
        by_line[line] = by_line.get(line, True) and verdicts[name]
    return by_line


def decide(tools, model_path):
    """By property line: "proved", "not proved", or the reason it is not decided; and the goals."""
    text, model, goals = tools.counted(model_path)
    outcome = {goal["line"]: goal.get("reason") for goal in goals}
    for bound in (model["bound"], model["bound"] + 1):
        if bound != model["bound"]:
            text, _, goals = tools.counted(model_path, bound)
        named = [goal for goal in goals if "invariant" in goal and outcome[goal["line"]] in (None, "not proved")]
        if not named:
            break
        verdicts = tools.check_named(tools.file(text, ".smv"), [goal["invariant"] for goal in named])
        if verdicts is None:
            raise Failure("NuSMV rejects the counted model of %s with bound %d" % (model_path, bound))
        for goal in named:
            outcome[goal["line"]] = "proved" if verdicts[goal["invariant"]] else "not proved"
    return outcome, goals


def first_false(tools, model_path, line, start):
    for n in range(start, LARGEST_N + 1):
        verdicts = finite_check(tools, model_path, n)
        if verdicts is None:
            return "error at N = %d" % n
        if not verdicts[line]:
            return n
    return None


def widest(goals):
    return max([2] + [goal["processes"] for goal in goals])


def model_path(tools, source, name):
    if name == "README.md:lock.in":
        with open(os.path.join(source, "README.md")) as readme:
            text = readme.read()
        block = re.search(r"\n    (-- A test-and-set lock.*?\n      running\n)", text, re.S).group(1)
        return tools.file(re.sub(r"(?m)^    ", "", block), ".in")
    return os.path.join(source, name)


def verdicts(tools, source, _):
    expectations = {}
    with open(os.path.join(source, "tests", "counted", "expectations.txt")) as lines:
        for line in lines:
            if line.strip() and not line.startswith("#"):
                model, where, expected = line.rstrip("\n").split(" ", 2)
                expectations.setdefault(model, []).append((where, expected))
    failures = []
    models = sorted(expectations)
    for name in models:
        path = model_path(tools, source, name)
        outcome, goals = decide(tools, path)
        for where, expected in expectations[name]:
            lines = sorted(outcome) if where == "*" else [int(where)]
            for line in lines:
                got = outcome.get(line)
                if expected.startswith("finite false from "):
                    found = first_false(tools, path, line, widest(goals))
                    ok = str(found) == expected.split()[-1]
                    got = "finite false from %s" % found
                elif expected in ("proved", "not proved"):
                    ok = got == expected
                else:
                    ok = got not in (None, "proved", "not proved") and expected in got
                print("%s: %s line %d: %s" % ("ok" if ok else "FAILED", name, line, got))
                if not ok:
                    failures.append("%s line %d: expected %s, got %s" % (name, line, expected, got))
        for line, result in sorted(outcome.items()):
            if result == "proved":
                found = first_false(tools, path, line, widest(goals))
                print("%s: %s line %d holds in the finite check, N = %d..%d" %
                      ("ok" if found is None else "FAILED", name, line, widest(goals), LARGEST_N))
                if found is not None:
                    failures.append("%s line %d is proved for every N, but the finite check: false at N = %s" %
                                    (name, line, found))
    return failures


# Planted faults: one change each, in the process module or the initial values.

def module_start(lines):
    modules = [k for k, line in enumerate(lines) if line.startswith("MODULE ")]
    return modules[1]


def types_of_main(lines, end):
    types = {}
    for line in lines[:end]:
        match = re.match(r"\s*(\w+)(?:\[Proc\])?\s*:\s*(boolean|\{[^}]*\}|-?\d+\s*\.\.\s*-?\d+)\s*;", line)
        if not match:
            continue
        kind = match.group(2)
        if kind == "boolean":
            types[match.group(1)] = ["FALSE", "TRUE"]
        elif kind.startswith("{"):
            types[match.group(1)] = [value.strip() for value in kind[1:-1].split(",")]
        else:
            low, high = (int(bound) for bound in kind.split(".."))
            types[match.group(1)] = [str(value) for value in range(low, high + 1)]
    return types


def variants(text):
    lines = text.split("\n")
    start = module_start(lines)
    types = types_of_main(lines, start)
    found = []

    def change(k, new_line, what):
        found.append(("line %d: %s" % (k + 1, what), "\n".join(lines[:k] + [new_line] + lines[k + 1:])))

    for k, line in enumerate(lines):
        code = line.split("--")[0]
        init = re.match(r"(\s*init\((\w+)(?:\[Proc\])?\) := )(\w+);", code)
        if k < start and init and init.group(2) in types:
            for other in [value for value in types[init.group(2)] if value != init.group(3)][:2]:
                change(k, init.group(1) + other + ";", "starts %s at %s" % (init.group(2), other))
        branch = re.match(r"(\s*)(.+?) : (.+);\s*$", code)
        if k < start or not branch or branch.group(2) == "TRUE" or " esac;" in code:
            continue
        indent, condition, value = branch.groups()
        conjuncts = condition.split(" & ")
        for j in range(len(conjuncts)):
            if len(conjuncts) > 1:
                change(k, "%s%s : %s;" % (indent, " & ".join(conjuncts[:j] + conjuncts[j + 1:]), value),
                       "drops %s" % conjuncts[j])
        for match in re.finditer(r"(?<![!<>:])=|!=", condition):
            swapped = "!=" if match.group(0) == "=" else "="
            change(k, "%s%s%s%s : %s;" % (indent, condition[:match.start()], swapped, condition[match.end():], value),
                   "%s for %s" % (swapped, match.group(0)))
        for match in re.finditer(r"!(?!=)", condition):
            change(k, "%s%s%s : %s;" % (indent, condition[:match.start()], condition[match.end():], value),
                   "drops a !")
        if value in ("TRUE", "FALSE"):
            change(k, "%s%s : %s;" % (indent, condition, "FALSE" if value == "TRUE" else "TRUE"), "flips the value")
        found.append(("line %d: drops the branch" % (k + 1), "\n".join(lines[:k] + lines[k + 1:])))
    found += statement_variants(lines, start)
    return found


def statement_variants(lines, start):
    """Faults in the statements for every process: a branch of a case on one line dropped or its
    condition negated, and a TRANS guard over the other processes dropped."""
    found = []
    for k, line in enumerate(lines[start:], start):
        code = line.split("--")[0]
        if code.startswith("TRANS "):
            found.append(("line %d: drops the guard" % (k + 1), "\n".join(lines[:k] + lines[k + 1:])))
        one_line = re.match(r"(\s*next\([^)]*\) := case )(.*)( esac;)\s*$", code)
        if not one_line:
            continue
        branches = one_line.group(2).split("; ")
        for j, branch in enumerate(branches):
            condition, _, value = branch.partition(" : ")
            if condition == "TRUE":
                continue
            for what, kept in (("drops", branches[:j] + branches[j + 1:]),
                               ("negates", branches[:j] + ["!(%s) : %s" % (condition, value)] + branches[j + 1:])):
                text = one_line.group(1) + "; ".join(kept) + one_line.group(3)
                found.append(("line %d: %s branch %d" % (k + 1, what, j + 1), "\n".join(lines[:k] + [text] + lines[k + 1:])))
    return found


def finite_falses(tools, path, lines, start, largest):
    """For each of `lines`, the first N up to `largest` whose finite check is false; None when NuSMV rejects
    the model."""
    falses = {}
    for n in range(start, largest + 1):
        verdicts = finite_check(tools, path, n)
        if verdicts is None:
            return None
        falses.update({line: n for line in lines if line not in falses and not verdicts[line]})
        if len(falses) == len(lines):
            break
    return falses


def faults(tools, source, base):
    failures = []
    counts = {"variants": 0, "finite false": 0, "rejected": 0, "proved": 0, "undecided": 0}
    path = model_path(tools, source, base)
    with open(path) as model:
        text = model.read()
    # The invariants: what the model as it is decides.
    invariants = sorted(line for line, result in decide(tools, path)[0].items() if result == "proved")
    planted = variants(text)
    stride = 1 if os.environ.get("COUNTED_EVERY_FAULT") == "1" else max(1, -(-len(planted) // FAULTS_PER_MODEL))
    # The spread, then, if none of it is false in the finite check, the
    # other variants in order until one is.
    sample = planted[::stride]
    rest = [pair for k, pair in enumerate(planted) if k % stride != 0]
    for what, variant in sample + rest:
        if counts["variants"] >= len(sample) and counts["finite false"] > 0:
            break
        counts["variants"] += 1
        path = tools.file(variant, ".in")
        outcome, goals = decide(tools, path)
        proved = [line for line in invariants if outcome[line] == "proved"]
        counts["proved"] += len(proved)
        largest = LARGEST_N_OF_ARRAY_FAULTS if " array " in variant else LARGEST_N
        falses = finite_falses(tools, path, invariants, widest(goals), largest)
        if falses is None:
            counts["rejected"] += 1
            summary = "NuSMV rejects it"
            if proved:
                failures.append("%s: NuSMV rejects it, but lines %s are proved" % (what, proved))
        else:
            counts["finite false"] += bool(falses)
            counts["undecided"] += sum(1 for line in invariants if line not in falses and line not in proved)
            summary = ", ".join("line %d %s%s" % (
                line, "proved" if line in proved else "undecided",
                ", finite false at N = %d" % falses[line] if line in falses else "") for line in invariants)
            failures += ["%s: line %d proved, but the finite check: false at N = %d" % (what, line, falses[line])
                         for line in proved if line in falses]
        print("%s, %s: %s" % (base, what, summary))
    print("planted faults in %s: %d variants of %d, %d found false by the finite check, %d rejected by NuSMV, "
          "%d invariants proved (none of them false), %d finite-true invariants undecided" %
          (base, counts["variants"], len(planted), counts["finite false"], counts["rejected"], counts["proved"],
           counts["undecided"]))
    if counts["finite false"] == 0:
        failures.append("no variant is false: the planted faults plant nothing")
    return failures


# The counted image of the reachable states.

def counted_image(state, model, n, holders):
    bound, counts = model["bound"], {}
    for process in range(1, n + 1):
        for counter in model["counters"]:
            if all(state.get("%s[%d]" % (name, process)) == value for name, value in counter["per_process"].items()) \
                    and all(state.get("N%d_%s.%s" % (process, model["instances"], name)) == value
                            for name, value in counter["own"].items()) \
                    and set(counter["holders"]) == {h for h in holders if state.get(h) == str(process)}:
                counts[counter["name"]] = counts.get(counter["name"], 0) + 1
                break
        else:
            raise Failure("process %d of a reachable state is in no counted local state: %s" % (process, state))
    image = {counter["name"]: str(min(counts.get(counter["name"], 0), bound)) for counter in model["counters"]}
    return image


def reachable(tools, source, _):
    failures = []
    for name in ["README.md:lock.in", "examples/semaphore.in", "tests/counted/grab_lock.in",
                 "tests/counted/semaphore2.in", "tests/counted/readers_writers.in", "tests/counted/mesi.in",
                 "tests/counted/illinois.in", "tests/counted/illinois_unguarded.in", "tests/counted/dragon.in",
                 "tests/counted/dijkstra.in", "tests/counted/handoff.in", "tests/counted/any_turn.in",
                 "tests/counted/successor_lock.in", "tests/counted/picked_guard.in", "tests/counted/rendezvous.in",
                 "tests/counted/german_simple.in"]:
        path = model_path(tools, source, name)
        text, model, goals = tools.counted(path)
        counted_states = tools.reachable(tools.file(text, ".smv"))
        counters = {counter["name"] for counter in model["counters"]}
        shared = sorted(set(counted_states[0]) - counters)
        holders = {h for counter in model["counters"] for h in counter["holders"]}
        known = {tuple(sorted(state.items())) for state in counted_states}
        for n in range(widest(goals), 5):
            concrete = tools.reachable(tools.file(tools.translation(path, n), ".smv"))
            outside = 0
            for state in concrete:
                image = counted_image(state, model, n, holders)
                image.update({variable: state[variable] for variable in shared})
                if tuple(sorted(image.items())) not in known:
                    outside += 1
                    if outside == 1:
                        failures.append("%s, N = %d: the counted image of %s is not reachable in the counted model"
                                        % (name, n, state))
            print("%s: %s, N = %d: %d reachable states, their counted images among the counted model's %d" %
                  ("ok" if outside == 0 else "FAILED", name, n, len(concrete), len(counted_states)))
    return failures


def main():
    mode, ruvello, probe, source = sys.argv[1:5]
    model = sys.argv[5] if len(sys.argv) > 5 else None
    nusmv = os.environ.get("RUVELLO_NUSMV") or shutil.which("NuSMV")
    if not nusmv or not os.access(nusmv, os.X_OK):
        print("SKIPPED: no NuSMV (set RUVELLO_NUSMV, or put NuSMV on PATH)")
        return 77
    with tempfile.TemporaryDirectory() as work:
        tools = Tools(ruvello, probe, nusmv, work)
        try:
            failures = {"verdicts": verdicts, "faults": faults, "reachable": reachable}[mode](tools, source, model)
        except Failure as failure:
            failures = [str(failure)]
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
