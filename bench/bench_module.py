#!/usr/bin/env python3
"""Time the six functions of _lookup over the benchmark corpus against the
call floor (_callfloor.echo: take a str, read its UTF-8, return a new str).

Every function and the floor are timed in the same run, round-robin, over the
same names; each pass is one call per name. Figures are the median ns per call
over the passes, with the spread (max - min) / median. Two kinds of input:
"reused" str objects (one list, already passed through every function, so any
UTF-8 cache is warm) and "fresh" str objects (a new list decoded from the raw
bytes before each pass, so every UTF-8 cache is cold).

Import paths: --module-dir / LOOKUP_MODULE_DIR for _lookup, --floor-dir /
LOOKUP_FLOOR_DIR for _callfloor; the corpus: --corpus / LOOKUP_BENCH_CORPUS.
"""

import argparse
import gc
import importlib
import os
import platform
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_CORPUS = os.path.join(HERE, "..", "data", "bench", "domains.txt")


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--module-dir", default=os.environ.get("LOOKUP_MODULE_DIR"),
                        help="directory holding the built _lookup module")
    parser.add_argument("--floor-dir", default=os.environ.get("LOOKUP_FLOOR_DIR"),
                        help="directory holding the built _callfloor module")
    parser.add_argument("--corpus", default=os.environ.get("LOOKUP_BENCH_CORPUS") or DEFAULT_CORPUS,
                        help="file of domains, one per line")
    parser.add_argument("--passes", type=int, default=15, help="timed passes per function and input kind")
    parser.add_argument("--target", type=float, default=7.0, help="allowed privatesuffix / floor ratio")
    parser.add_argument("--clock", choices=("cpu", "wall"), default="cpu",
                        help="time passes by the thread's CPU time (default; steadier on a shared machine) or wall time")
    parser.add_argument("--strict", action="store_true", help="exit 1 when privatesuffix exceeds the target")
    args = parser.parse_args()
    if not args.module_dir or not args.floor_dir:
        parser.error("give --module-dir and --floor-dir (or LOOKUP_MODULE_DIR and LOOKUP_FLOOR_DIR)")
    if args.passes < 1:
        parser.error("--passes must be at least 1")
    return args


def import_from(directory, name):
    """Import `name` (a module, or a package's folder) from `directory` and nowhere else."""
    directory = os.path.abspath(directory)
    sys.path.insert(0, directory)
    try:
        module = importlib.import_module(name)
    finally:
        sys.path.remove(directory)
    origin = os.path.dirname(os.path.abspath(getattr(module, "__file__", "") or ""))
    if hasattr(module, "__path__"):
        origin = os.path.dirname(origin)
    if origin != directory:
        sys.exit(f"bench_module: {name} was imported from {origin or 'a built-in'}, not from {directory}")
    return module


def part_args(doc, add_arguments):
    """The command line of one part of compare.py run alone: --module-dir,
    --corpus, --list and the part's own options (added by add_arguments)."""
    parser = argparse.ArgumentParser(description=doc, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--module-dir", default=os.environ.get("LOOKUP_MODULE_DIR"),
                        help="directory of the built _lookup and lookup_psl")
    parser.add_argument("--corpus", default=DEFAULT_CORPUS)
    parser.add_argument("--list", default=os.path.join(HERE, "..", "data", "psl", "public_suffix_list.dat"))
    add_arguments(parser)
    args = parser.parse_args()
    if not args.module_dir:
        parser.error("give --module-dir (or LOOKUP_MODULE_DIR)")
    return args


def cpu_model():
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or platform.machine()


# Every timed loop has the same shape, so that the loop's own cost is the same
# in all of them; the empty loop measures that cost alone.
def loop_one_arg(function):
    def run(names):
        for name in names:
            function(name)
    return run


def loop_depth_zero(function):
    def run(names):
        for name in names:
            function(name, 0)
    return run


def loop_alone(names):
    for name in names:
        pass


def decode_names(raw):
    """New str objects, one per non-empty line."""
    return [line.rstrip("\r") for line in raw.decode("utf-8").split("\n") if line.rstrip("\r")]


CLOCKS = {"cpu": time.thread_time_ns, "wall": time.perf_counter_ns}


def timed_pass(run, names, clock):
    start = clock()
    run(names)
    return (clock() - start) / len(names)


class Figures:
    def __init__(self, samples):
        self.median = statistics.median(samples)
        self.spread = (max(samples) - min(samples)) / self.median if self.median > 0 else 0.0


def measure(runs, raw, passes, clock):
    """{(label, kind): Figures} for kind "reused" and "fresh"."""
    reused = decode_names(raw)
    for run in runs.values():
        run(reused)  # warm every UTF-8 cache and the code paths
    samples = {(label, kind): [] for label in runs for kind in ("reused", "fresh")}
    gc.disable()
    try:
        for _ in range(passes):
            for label, run in runs.items():
                samples[(label, "reused")].append(timed_pass(run, reused, clock))
                fresh = decode_names(raw)
                samples[(label, "fresh")].append(timed_pass(run, fresh, clock))
                del fresh
                gc.collect()
    finally:
        gc.enable()
    return {key: Figures(values) for key, values in samples.items()}


def answer_counts(lookup, names):
    """How many names get a non-None, non-False answer, so that a broken
    function timing only its early-out path shows."""
    counts = {}
    for name_of_function in ("publicsuffix", "privatesuffix", "is_public", "is_private", "privateparts"):
        function = getattr(lookup, name_of_function)
        counts[name_of_function] = sum(1 for name in names if function(name))
    counts["subdomain"] = sum(1 for name in names if lookup.subdomain(name, 0) is not None)
    return counts


def main():
    args = parse_args()
    lookup = import_from(args.module_dir, "_lookup")
    floor = import_from(args.floor_dir, "_callfloor")
    with open(args.corpus, "rb") as corpus:
        raw = corpus.read()
    names = decode_names(raw)
    if not names:
        sys.exit(f"bench_module: {args.corpus} holds no name")
    non_ascii = sum(1 for name in names if not name.isascii())

    runs = {
        "floor (echo)": loop_one_arg(floor.echo),
        "publicsuffix": loop_one_arg(lookup.publicsuffix),
        "privatesuffix": loop_one_arg(lookup.privatesuffix),
        "is_public": loop_one_arg(lookup.is_public),
        "is_private": loop_one_arg(lookup.is_private),
        "privateparts": loop_one_arg(lookup.privateparts),
        "subdomain (depth 0)": loop_depth_zero(lookup.subdomain),
        "loop alone": loop_alone,
    }
    counts = answer_counts(lookup, names)
    figures = measure(runs, raw, args.passes, CLOCKS[args.clock])

    print(f"CPython {platform.python_version()} ({sys.implementation.cache_tag}, "
          f"{'free-threaded' if not getattr(sys, '_is_gil_enabled', lambda: True)() else 'GIL'}) "
          f"on {cpu_model()}")
    print(f"_lookup: {lookup.__file__}")
    print(f"corpus: {args.corpus}: {len(names)} names, {non_ascii} not ASCII; "
          f"{args.passes} passes, median ns per call ({args.clock} time), spread = (max - min) / median")
    print("'x floor' divides by the floor's time; 'net' first takes the empty loop's time off both.")
    print()
    header = f"{'':22}" + "".join(f"| {kind + ' str':^33}" for kind in ("reused", "fresh"))
    print(header)
    print(f"{'function':22}" + f"| {'ns/call':>8} {'spread':>7} {'x floor':>7} {'net':>6}  " * 2)
    print("-" * len(header))
    loop = {kind: figures[("loop alone", kind)].median for kind in ("reused", "fresh")}
    floor_ns = {kind: figures[("floor (echo)", kind)].median for kind in ("reused", "fresh")}

    def ratios(label, kind):
        f = figures[(label, kind)]
        raw_ratio = f.median / floor_ns[kind]
        net_floor = floor_ns[kind] - loop[kind]
        net_ratio = (f.median - loop[kind]) / net_floor if net_floor > 0 else float("nan")
        return f, raw_ratio, net_ratio

    for label in runs:
        line = f"{label:22}"
        for kind in ("reused", "fresh"):
            f, raw_ratio, net_ratio = ratios(label, kind)
            if label == "loop alone":
                line += f"| {f.median:8.1f} {f.spread:6.1%} {'':7} {'':6}  "
            else:
                line += f"| {f.median:8.1f} {f.spread:6.1%} {raw_ratio:7.2f} {net_ratio:6.2f}  "
        print(line)
    print()
    print("names answered (not None/False): " + ", ".join(f"{k} {v}" for k, v in counts.items()))

    within = True
    for kind in ("reused", "fresh"):
        _, raw_ratio, net_ratio = ratios("privatesuffix", kind)
        verdict = "within" if max(raw_ratio, net_ratio) <= args.target else "OVER"
        within &= verdict == "within"
        print(f"privatesuffix / floor, {kind} str: {raw_ratio:.2f} ({net_ratio:.2f} net), "
              f"target {args.target:g}: {verdict}")
    return 0 if within or not args.strict else 1


if __name__ == "__main__":
    sys.exit(main())
