#!/usr/bin/env python3
"""Compares the translations and warnings of two builds of ruvello.

Runs both on a corpus of models, for several N and with each option, and
prints every run whose output, warnings or exit status differ; exits 1 when
one does. The corpus: the case files, the examples, the fuzz seeds and
regressions, any extra files given, and models made from those by random
changes of lines (the same seed gives the same corpus). A change meant to
keep behaviour, a faster check for instance, must leave this silent:

    bench/compare_builds.py OLD_RUVELLO build/release/ruvello [--extra DIR]
"""

import argparse
import concurrent.futures
import hashlib
import pathlib
import random
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SNIPPETS = [
    b"MODULE m(a,\n", b"VAR\n", b"ASSIGN\n", b"SPEC\n", b"CTLSPEC\n", b"LTLSPEC G x\n",
    b"  FORALL (i, j) AG (i != j -> x[i])\n", b"  FORALL (i) x[i] -> y[i]\n",
    b"  x[Proc] : boolean;\n", b"  next(x[Proc]) :=\n", b"  case\n", b"  esac;\n",
    b"-- comment VAR\n", b"\n", b"  Proc\n", b"DEFINE N := 3;\n",
    b"  u[Proc] : transition m(Proc);\n", b"FORALL (i) u[i].x\n", b"VAR\r\n", b"\r\n",
]


def corpus(extra, mutants, seed):
    models = {}
    sources = [(ROOT / "tests/translate/cases", "*.in"), (ROOT / "examples", "*.in")]
    for folder, pattern in sources + [(pathlib.Path(e), "*") for e in extra]:
        for path in sorted(folder.glob(pattern)):
            models[path.name] = path.read_bytes()
    for folder in (ROOT / "fuzz/seeds", ROOT / "fuzz/regressions"):
        for path in sorted(folder.iterdir()):
            if path.stat().st_size > 2:  # two bytes of fuzzing settings, then the model
                models["fuzz-" + path.name] = path.read_bytes()[2:]
    bases = list(models.values())
    generator = random.Random(seed)
    for k in range(mutants):
        lines = generator.choice(bases).splitlines(keepends=True) or [b"\n"]
        for _ in range(generator.randint(1, 6)):
            at = generator.randrange(len(lines))
            change = generator.randint(0, 4)
            if change == 0 and len(lines) > 1:
                del lines[at]
            elif change == 1:
                lines.insert(at, generator.choice(SNIPPETS))
            elif change == 2:
                lines.insert(at, lines[generator.randrange(len(lines))])
            elif change == 3 and lines[at]:
                line = bytearray(lines[at])
                line[generator.randrange(len(line))] = generator.choice(b"()[],;:>-PFMVSA \t\nijk")
                lines[at] = bytes(line)
            else:
                lines[at] = lines[at].rstrip(b"\n")
        models[f"mutant-{k:04d}"] = b"".join(lines)
    return models


def outcomes(binary, model):
    found = []
    for count in (0, 1, 2, 3, 5):
        for options in ((), ("--all-instances",), ("--line-markers",)):
            result = subprocess.run([binary, *options, "-p", str(count), "-f", "-"], input=model,
                                    capture_output=True)
            found.append(((count, options), result.returncode,
                          hashlib.sha1(result.stdout).hexdigest(), result.stderr))
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--extra", action="append", default=[], help="a folder of more models")
    parser.add_argument("--mutants", type=int, default=1500)
    parser.add_argument("--seed", type=int, default=5)
    args = parser.parse_args()
    models = corpus(args.extra, args.mutants, args.seed)
    differences = 0
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        for name, old, new in pool.map(
                lambda item: (item[0], outcomes(args.old, item[1]), outcomes(args.new, item[1])),
                models.items()):
            for before, after in zip(old, new):
                if before != after:
                    differences += 1
                    print(f"{name} {before[0]}: status {before[1]} -> {after[1]}, output "
                          f"{'same' if before[2] == after[2] else 'differs'}\n"
                          f"  before: {before[3].decode(errors='replace')}"
                          f"  after:  {after[3].decode(errors='replace')}")
    runs = len(models) * 15
    print(f"{len(models)} models, {runs} runs: {differences} differ")
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
