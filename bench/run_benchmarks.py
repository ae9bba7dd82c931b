#!/usr/bin/env python3
"""Whole-process benchmark of ruvello against the floor.

The floor (bench/floor.cpp) reads the model, finds every line end and
writes as many bytes as ruvello writes: the least any translator must do on
this machine. For each model size and each N, ruvello, ruvello with
--line-markers and the floor run in turn, interleaved, on one CPU; the table
gives their median wall times, ruvello's as a ratio to the floor's, the
markers' cost as a ratio to ruvello without them, ruvello with markers as a
ratio to the floor writing as many bytes as it writes, ruvello's time when it may
use every CPU, and its peak resident memory. Further rows time models made
of one long line, and the rate at which the instances of a FORALL over many
parameters are written. With --baseline, another build of ruvello runs in
the same turns, with and without --line-markers, and each row gives
ruvello's time as a ratio to it: the machine's speed drifts too much for
tables run apart to be compared.
"""

import argparse
import os
import signal
import statistics
import subprocess
import sys
import time

ONE_CPU = ["taskset", "-c", "0"]


def run(command):
    """Runs a command and returns its wall time in seconds."""
    start = time.perf_counter()
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
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


def settle(*paths, reads):
    """Every run writes a new file into the same free memory, from input
    already cached, and none pays for the writeback or the reclaim of pages
    left by the one before: none of that is part of what is measured."""
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


def model_path(args, size, kind):
    """kind: the generator's seed, "line" (one long declaration) or "copied"
    (one long comment line)."""
    model = os.path.join(args.data, f"model-{size}MB-{kind}.in")
    if not os.path.exists(model):
        subprocess.run([args.generator, str(size), kind, model], check=True)
    return model


def measure(args, size, count, kind):
    model = model_path(args, size, kind)
    output = model[: -len(".in")] + ".smv"
    floor_output = output + ".floor"
    ruvello = [args.ruvello, "-p", str(count), "-f", model]
    # Markers add bytes of their own: the time they add is measured against
    # the bytes they add, and against the floor writing the marked output.
    subprocess.run(ONE_CPU + [args.ruvello, "--line-markers"] + ruvello[1:], check=True,
                   stderr=subprocess.DEVNULL)
    marked_bytes = os.path.getsize(output)
    subprocess.run(ruvello, check=True, stderr=subprocess.DEVNULL)
    output_bytes = os.path.getsize(output)
    commands = {
        "floor": ONE_CPU + [args.floor, model, floor_output, str(output_bytes)],
        "marked floor": ONE_CPU + [args.floor, model, floor_output, str(marked_bytes)],
        "ruvello": ONE_CPU + ruvello,
        "markers": ONE_CPU + [args.ruvello, "--line-markers"] + ruvello[1:],
        "threads": ruvello,
    }
    if args.baseline:
        commands["baseline"] = ONE_CPU + [args.baseline] + ruvello[1:]
        commands["baseline markers"] = ONE_CPU + [args.baseline, "--line-markers"] + ruvello[1:]
    times = {name: [] for name in commands}
    for _ in range(args.runs):
        for name, command in commands.items():
            settle(output, floor_output, reads=model)
            times[name].append(run(command))
    peak_mb = peak_resident_mb(ruvello)
    for path in (output, floor_output):
        if os.path.exists(path):
            os.remove(path)
    median = {name: statistics.median(values) for name, values in times.items()}
    return os.path.getsize(model) / 1e6, output_bytes / 1e6, marked_bytes / output_bytes, median, peak_mb


def instance_rate(args, parameters, seconds):
    """MB/s at which the instances of one FORALL over `parameters`
    parameters are written with --all-instances for N = 1000 (or as many as
    there are parameters), over the first `seconds` seconds of a run."""
    names = [f"p{k}" for k in range(parameters)]
    model = os.path.join(args.data, f"forall-{parameters}.in")
    with open(model, "w") as out:
        out.write("MODULE main\nSPEC\n  FORALL (" + ", ".join(names) + ") AG (p0 != p1 -> ")
        out.write(" & ".join(f"x[{name}]" for name in names) + ")\n")
    output = model[: -len(".in")] + ".smv"
    settle(output, reads=model)
    count = max(parameters, 1000)
    start = time.perf_counter()
    with open(model, "rb") as source, open(output, "wb") as sink:
        process = subprocess.Popen(ONE_CPU + [args.ruvello, "--all-instances", "-p", str(count),
                                              "-f", "-"],
                                   stdin=source, stdout=sink, stderr=subprocess.DEVNULL)
        try:
            process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            process.send_signal(signal.SIGTERM)
            process.wait()
    rate = os.path.getsize(output) / 1e6 / (time.perf_counter() - start)
    os.remove(output)
    return rate


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--ruvello", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--generator", required=True)
    parser.add_argument("--data", required=True, help="folder for the generated models")
    parser.add_argument("--sizes", default="1,10,100,200", help="model sizes in MB")
    parser.add_argument("--counts", default="2,8,64", help="values of N")
    parser.add_argument("--line-sizes", default="100",
                        help="sizes in MB of models made of one long line, at the first N")
    parser.add_argument("--parameters", default="3,1000,4000",
                        help="numbers of parameters of a FORALL whose instance rate is measured")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--baseline", help="another build of ruvello to compare with, run in turn")
    args = parser.parse_args()
    os.makedirs(args.data, exist_ok=True)

    header = ("in MB", "N", "out MB", "floor s", "ruvello s", "ruvello/floor", "markers s",
              "markers/ruvello", "marked bytes/bytes", "markers/marked floor", "all CPUs s",
              "peak MB")
    if args.baseline:
        header += ("baseline/floor", "ruvello/baseline", "baseline markers/baseline")
    print("| " + " | ".join(header) + " |")
    print("|" + "---|" * len(header))
    first_count = args.counts.split(",")[0]
    rows = [(size, count, "1") for size in filter(None, args.sizes.split(","))
            for count in args.counts.split(",")]
    for size in filter(None, args.line_sizes.split(",")):
        rows += [(size, first_count, "line"), (size, first_count, "copied")]
    for size, count, kind in rows:
        input_mb, output_mb, marked_ratio, median, peak_mb = measure(args, size, int(count), kind)
        label = f"{input_mb:.0f}" + {"line": " (one declaration)", "copied": " (one copied line)"}.get(kind, "")
        row = (label, count, f"{output_mb:.0f}", f"{median['floor']:.3f}",
               f"{median['ruvello']:.3f}", f"{median['ruvello'] / median['floor']:.2f}",
               f"{median['markers']:.3f}", f"{median['markers'] / median['ruvello']:.2f}",
               f"{marked_ratio:.2f}", f"{median['markers'] / median['marked floor']:.2f}",
               f"{median['threads']:.3f}", f"{peak_mb:.1f}")
        if args.baseline:
            row += (f"{median['baseline'] / median['floor']:.2f}",
                    f"{median['ruvello'] / median['baseline']:.2f}",
                    f"{median['baseline markers'] / median['baseline']:.2f}")
        print("| " + " | ".join(row) + " |", flush=True)

    print()
    print("| FORALL parameters | instances written, MB/s |")
    print("|---|---|")
    for parameters in filter(None, args.parameters.split(",")):
        print(f"| {parameters} | {instance_rate(args, int(parameters), 2.0):.0f} |", flush=True)


if __name__ == "__main__":
    main()
