#!/usr/bin/env python3
"""How far --check gets with NuSMV's checks as written (--reference-checks:
-dynamic -dcx, every property with the command for its kind) and with
ruvello's settings (-mono, AG of a state formula as an invariant, the
reachable states counted), on the bundled examples.

  bench/checker_settings.py RUVELLO [--budget SECONDS] [--most N] [--sweep FROM..TO]

For each example and each setting: the largest N whose check takes at most
--budget seconds of CPU (NuSMV's and ruvello's, from the run's resource
usage), trying N = 2, 3, ... up to --most; then the CPU seconds of one sweep
--sweep (2..6) each way, whose verdicts must be the same. Prints a Markdown
table, with the machine it ran on. Needs NuSMV: RUVELLO_NUSMV or PATH.
"""
import argparse
import json
import os
import platform
import resource
import subprocess
import sys
import tempfile

SETTINGS = {"reference": ["--reference-checks"], "ruvello": []}


def cpu_of(command, timeout):
    """Runs `command`; its CPU seconds with its children's, or None past `timeout`."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    try:
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def peak_memory_kb(document):
    return max((run.get("max_rss_kb") or 0) for run in document["runs"])


def verdicts(document):
    return sorted((v["n"], v["line"], tuple(v["processes"] or ()), v["instance"] or "", v["verdict"])
                  for v in document["verdicts"])


def machine():
    model = platform.processor() or "unknown processor"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return "%s, %s, %d CPUs, %s" % (platform.node(), model, os.cpu_count() or 0, platform.platform())


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("ruvello")
    parser.add_argument("--budget", type=float, default=60, help="CPU seconds for one N (60)")
    parser.add_argument("--most", type=int, default=10, help="the largest N tried (10)")
    parser.add_argument("--sweep", default="2..6", help="the sweep timed both ways (2..6)")
    options = parser.parse_args()
    examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
    work = tempfile.mkdtemp()
    print("Machine: %s; NuSMV: %s; a budget of %g CPU seconds per N.\n" %
          (machine(), os.environ.get("RUVELLO_NUSMV", "NuSMV on PATH"), options.budget))
    print("| model | largest N, reference | largest N, ruvello | sweep %s, reference | sweep %s, ruvello | "
          "speed-up | peak memory, reference / ruvello | verdicts |" % (options.sweep, options.sweep))
    print("|---|---|---|---|---|---|---|---|")
    same = True
    for name in sorted(os.listdir(examples)):
        model = os.path.join(examples, name)
        largest = {}
        for setting, flags in SETTINGS.items():
            largest[setting] = "-"
            for n in range(2, options.most + 1):
                cpu = cpu_of([options.ruvello, "--check", "-p", str(n), "-f", model] + flags, options.budget * 3)
                if cpu is None or cpu > options.budget:
                    break
                largest[setting] = n
        swept, documents = {}, {}
        for setting, flags in SETTINGS.items():
            out = os.path.join(work, setting + ".json")
            swept[setting] = cpu_of([options.ruvello, "--check", "-p", options.sweep, "-f", model, "--json", out]
                                    + flags, None)
            documents[setting] = json.load(open(out))
        alike = verdicts(documents["reference"]) == verdicts(documents["ruvello"])
        same &= alike
        print("| %s | %s | %s | %.2f s | %.2f s | %.2fx | %d / %d MB | %s |" % (
            name, largest["reference"], largest["ruvello"], swept["reference"], swept["ruvello"],
            swept["reference"] / max(swept["ruvello"], 1e-9), peak_memory_kb(documents["reference"]) // 1024,
            peak_memory_kb(documents["ruvello"]) // 1024, "same" if alike else "DIFFERENT"))
        sys.stdout.flush()
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
