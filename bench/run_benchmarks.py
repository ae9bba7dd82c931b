#!/usr/bin/env python3
"""Whole-process benchmark of ruvello against the cost of moving its output.

For each model size and each N, runs in turn, several times and interleaved:
ruvello; dd copying ruvello's output (the cost of only moving those bytes
through a process); sed replacing Proc in the input (what a user would script
instead); awk printing every input line (a plain line-by-line copy). Prints
median wall times, output MB/s, the ratios and ruvello's peak resident memory.
"""

import argparse
import os
import statistics
import subprocess
import sys
import time


def run(command, stdout=subprocess.DEVNULL):
    """Runs a command and returns its wall time in seconds."""
    start = time.perf_counter()
    result = subprocess.run(command, stdout=stdout, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed ({result.returncode}): {' '.join(command)}\n{result.stderr.decode()}")
    return elapsed


def peak_resident_mb(command):
    """Peak resident memory of a command, measured by GNU time: the parent's
    own memory before exec would count in os.wait4's figure."""
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, check=True, text=True)
    return int(result.stderr.strip().splitlines()[-1]) / 1024


def measure(args, size, count, kind="1"):
    """kind: the generator's seed, or "line" for a model that is one long line."""
    model = os.path.join(args.data, f"model-{size}MB-{kind}.in")
    if not os.path.exists(model):
        subprocess.run([args.generator, str(size), kind, model], check=True)
    output = model[: -len(".in")] + ".smv"
    copy = output + ".copy"
    def settle(*paths, reads, warm):
        # Every tool writes a new file into the same free memory, from input
        # already cached, and none pays for the writeback or the reclaim of
        # pages left by the one before: none of that is part of what is
        # measured.
        for path in paths:
            if os.path.exists(path):
                os.remove(path)
        os.sync()
        try:
            with open("/proc/sys/vm/drop_caches", "w") as control:
                control.write("1")
        except OSError:
            pass  # not root: reclaim may then add to some runs
        with open(reads, "rb") as source:
            while source.read(1 << 20):
                pass
        subprocess.run(warm, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    times = {"ruvello": [], "dd": [], "sed": [], "awk": []}
    for _ in range(args.runs):
        settle(output, reads=model, warm=[args.ruvello, "--version"])
        times["ruvello"].append(run([args.ruvello, "-p", str(count), "-f", model]))
        settle(copy, reads=output, warm=["dd", "--version"])
        times["dd"].append(run(["dd", f"if={output}", f"of={copy}", "bs=1M", "status=none"]))
        for tool, command in (("sed", ["sed", "-e", "s/Proc/1 .. N/g", model]),
                              ("awk", ["awk", "{print}", model])):
            settle(copy, reads=model, warm=[tool, "--version"])
            with open(copy, "wb") as sink:
                times[tool].append(run(command, sink))
    peak_mb = peak_resident_mb([args.ruvello, "-p", str(count), "-f", model])
    median = {tool: statistics.median(values) for tool, values in times.items()}
    input_mb = os.path.getsize(model) / 1e6
    output_mb = os.path.getsize(output) / 1e6
    for path in (output, copy):
        os.remove(path)
    return input_mb, output_mb, median, peak_mb


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--ruvello", required=True)
    parser.add_argument("--generator", required=True)
    parser.add_argument("--data", required=True, help="folder for the generated models")
    parser.add_argument("--sizes", default="1,10,100,200", help="model sizes in MB")
    parser.add_argument("--counts", default="2,8,64", help="values of N")
    parser.add_argument("--line-sizes", default="100",
                        help="sizes in MB of models made of one long line, at the first N")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    os.makedirs(args.data, exist_ok=True)

    header = ("in MB", "N", "out MB", "ruvello s", "out MB/s", "ruvello/dd", "sed/ruvello",
              "awk/ruvello", "peak MB")
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    rows = [(size, count, "1") for size in args.sizes.split(",") for count in args.counts.split(",")]
    rows += [(size, args.counts.split(",")[0], "line") for size in args.line_sizes.split(",") if size]
    for size, count, kind in rows:
        input_mb, output_mb, median, peak_mb = measure(args, size, int(count), kind)
        label = f"{input_mb:.0f}" + (" (one line)" if kind == "line" else "")
        row = (label, count, f"{output_mb:.0f}", f"{median['ruvello']:.3f}",
               f"{output_mb / median['ruvello']:.0f}",
               f"{median['ruvello'] / median['dd']:.2f}",
               f"{median['sed'] / median['ruvello']:.1f}",
               f"{median['awk'] / median['ruvello']:.1f}", f"{peak_mb:.1f}")
        print("| " + " | ".join(row) + " |", flush=True)


if __name__ == "__main__":
    main()
