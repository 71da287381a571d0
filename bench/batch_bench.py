#!/usr/bin/env python3
"""The batch calls against Python over the per-call function: ns per name of
privatesuffix over the whole corpus (reused str objects) as a for loop that
appends, as a list comprehension, and as privatesuffix_batch on one and two
threads; for the list compiled in and for a SuffixList of the same list; with
met or missed against the target (the batch on one thread at least twice the
throughput of the loop).

Runs alternate round-robin over the passes, so load on a shared machine hits
all alike; each figure is the median with the spread (max - min) / median.
One thread is timed in CPU time (what it takes on a core of its own) and in
wall time; two threads in wall time, the only clock that shows them at work.

    bench/batch_bench.py --module-dir build/compare [--passes 15]
"""

import gc
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_module import cpu_model, import_from, part_args  # noqa: E402  (beside this file)
import chart  # noqa: E402

TARGET_BATCH = 2.0  # batch on one thread / the Python loop, throughput


def add_arguments(parser):
    """The options of this part; compare.py has --module-dir, --corpus and --list."""
    parser.add_argument("--batch-passes", type=int, default=15, help="timed passes of each batch row")


def rows(lookup, package, suffix_list):
    """{label: function of the names}, for both lists."""
    def loop(function):
        def run(names):
            answers = []
            for name in names:
                answers.append(function(name))
            return answers
        return run

    def comprehension(function):
        return lambda names: [function(name) for name in names]

    def batch(function, threads):
        return lambda names: function(names, threads=threads)

    made = {}
    for owner, single, many in (("compiled", lookup.privatesuffix, package.privatesuffix_batch),
                                ("SuffixList", suffix_list.privatesuffix, suffix_list.privatesuffix_batch)):
        made[(owner, "Python loop")] = loop(single)
        made[(owner, "list comprehension")] = comprehension(single)
        made[(owner, "batch, threads=1")] = batch(many, 1)
        made[(owner, "batch, threads=2")] = batch(many, 2)
    return made


def measure(runs, names, passes):
    """{key: ([CPU ns per name], [wall ns per name])}."""
    samples = {key: ([], []) for key in runs}
    for run in runs.values():
        run(names)
    gc.disable()
    try:
        for _ in range(passes):
            for key, run in runs.items():
                cpu, wall = time.process_time_ns(), time.perf_counter_ns()
                answers = run(names)
                samples[key][1].append((time.perf_counter_ns() - wall) / len(names))
                samples[key][0].append((time.process_time_ns() - cpu) / len(names))
                del answers
                gc.collect()
    finally:
        gc.enable()
    return samples


def batch_figures(lookup, package, list_path, corpus_path, passes):
    """Prints the table and the verdicts; returns [(text, met)]."""
    suffix_list = package.SuffixList.from_file(list_path)
    with open(corpus_path, encoding="utf-8") as corpus:
        names = corpus.read().split()
    runs = rows(lookup, package, suffix_list)
    expected = runs[("compiled", "Python loop")](names)
    for key, run in runs.items():
        if run(names) != expected:
            raise SystemExit(f"{key}: answers differ from the per-call function's")
    samples = measure(runs, names, passes)
    med = {key: (statistics.median(cpu), statistics.median(wall)) for key, (cpu, wall) in samples.items()}

    def spread(values):
        return (max(values) - min(values)) / statistics.median(values)

    print(f"privatesuffix over {len(names)} names, {passes} passes, ns per name (median, spread); "
          f"load average {os.getloadavg()[0]:.1f}")
    print(f"  {'':34} {'CPU':>7} {'spread':>6} {'wall':>7} {'spread':>6}")
    for (owner, how), (cpu, wall) in samples.items():
        print(f"  {owner + ', ' + how:34} {med[(owner, how)][0]:7.1f} {spread(cpu):6.1%} "
              f"{med[(owner, how)][1]:7.1f} {spread(wall):6.1%}")
    batch = "privatesuffix of the corpus from Python, CPU per name"
    for how in ("batch, threads=1", "list comprehension", "Python loop"):
        chart.record(batch, how, med[("compiled", how)][0], "ns", reference=how.startswith("batch"))
    verdicts = []
    for owner in ("compiled", "SuffixList"):
        loop_cpu = med[(owner, "Python loop")][0]
        comprehension_cpu = med[(owner, "list comprehension")][0]
        one_cpu, one_wall = med[(owner, "batch, threads=1")]
        two_wall = med[(owner, "batch, threads=2")][1]
        ok = loop_cpu / one_cpu >= TARGET_BATCH
        text = (f"{owner}: batch on one thread {loop_cpu / one_cpu:.2f}x the throughput of the Python loop "
                f"(>= {TARGET_BATCH:g}x), {comprehension_cpu / one_cpu:.2f}x the list comprehension (CPU time); "
                f"two threads {one_wall / two_wall:.2f}x one thread (wall time)")
        print(f"  {text}: {'met' if ok else 'MISSED'}")
        verdicts.append((text, ok))
    return verdicts


def main():
    args = part_args(__doc__, add_arguments)
    lookup = import_from(args.module_dir, "_lookup")
    package = import_from(args.module_dir, "lookup_psl")
    print(f"{cpu_model()}, {os.cpu_count()} CPUs")
    verdicts = batch_figures(lookup, package, args.list, args.corpus, args.batch_passes)
    return 0 if all(ok for _, ok in verdicts) else 1


if __name__ == "__main__":
    sys.exit(main())
