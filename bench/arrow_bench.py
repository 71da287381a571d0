#!/usr/bin/env python3
"""The Arrow forms against Python over the per-call function: ns per name
(CPU and wall time) of privatesuffix over the corpus fifty times over (a million names) as a
Python loop over a list of str, as privatesuffix_batch on one thread, and as
privatesuffix_arrow over a pyarrow string array on one and two threads; with
met or missed against the targets (the Arrow form on one thread at least 3
times the throughput of the loop, two threads at least 1.8 times one). Then
the peak memory of a stream of ten million names answered chunk by chunk,
beside what the whole column of answers would take.

Runs alternate round-robin over the passes, so load on a shared machine hits
all alike; each figure is the median with the spread (max - min) / median.

    bench/arrow_bench.py --module-dir build/compare [--arrow-passes 5]

Needs pyarrow (Debian: python3-pyarrow); compare.py skips this part without it.
"""

import gc
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_module import cpu_model, import_from, part_args  # noqa: E402  (beside this file)

TARGET_LOOP = 3.0  # Arrow form on one thread / the Python loop, throughput
TARGET_THREADS = 1.8  # two threads / one thread
COPIES = 50
STREAM_NAMES = 10_000_000
STREAM_CHUNK = 65_536


def add_arguments(parser):
    """The options of this part; compare.py has --module-dir and --corpus."""
    parser.add_argument("--arrow-passes", type=int, default=5, help="timed passes of each Arrow row")


def ns_per_name(runs, count, passes):
    """{label: ([CPU ns per name], [wall ns per name])}, the runs interleaved
    pass by pass."""
    samples = {label: ([], []) for label in runs}
    gc.disable()
    try:
        for _ in range(passes):
            for label, run in runs.items():
                cpu, wall = time.process_time_ns(), time.perf_counter_ns()
                answers = run()
                samples[label][1].append((time.perf_counter_ns() - wall) / count)
                samples[label][0].append((time.process_time_ns() - cpu) / count)
                del answers
                gc.collect()
    finally:
        gc.enable()
    return samples


# A child process: the stream's peak memory, alone in its process (Linux). The names
# are made chunk by chunk from the corpus, so that only the answering holds
# memory across chunks.
STREAM_SCRIPT = """
import sys
sys.path.insert(0, sys.argv[1])
import pyarrow as pa
import lookup_psl
names = open(sys.argv[2], encoding="utf-8").read().split()
total, chunk = int(sys.argv[3]), int(sys.argv[4])
column = pa.array((names * (chunk // len(names) + 2))[:2 * chunk])
schema = pa.schema([("host", pa.string())])
def batches():
    for start in range(0, total, chunk):
        yield pa.record_batch([column.slice(start % chunk, min(chunk, total - start))], schema=schema)
def peak_kib():  # VmHWM, unlike ru_maxrss, starts afresh at exec
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmHWM:"))
before = peak_kib()
answers = pa.RecordBatchReader.from_stream(
    lookup_psl.privatesuffix_arrow(pa.RecordBatchReader.from_batches(schema, batches()), threads=2))
count = answer_bytes = 0
for batch in answers:
    count += batch.num_rows
    answer_bytes += batch.nbytes
after = peak_kib()
print(count, before, after, answer_bytes)
"""


def stream_memory(module_dir, corpus_path):
    done = subprocess.run([sys.executable, "-c", STREAM_SCRIPT, module_dir, corpus_path, str(STREAM_NAMES),
                           str(STREAM_CHUNK)], capture_output=True, text=True, check=True)
    count, before_kib, after_kib, answer_bytes = map(int, done.stdout.split())
    return count, before_kib / 1024, after_kib / 1024, answer_bytes / 2**20


def arrow_figures(module_dir, package, corpus_path, passes):
    """Prints the table and the verdicts; returns [(text, met)]."""
    import pyarrow as pa

    with open(corpus_path, encoding="utf-8") as corpus:
        names = corpus.read().split() * COPIES
    column = pa.array(names, pa.string())
    single = package.privatesuffix
    runs = {
        "Python loop": lambda: [single(name) for name in names],
        "batch, threads=1": lambda: package.privatesuffix_batch(names),
        "Arrow, threads=1": lambda: pa.array(package.privatesuffix_arrow(column)),
        "Arrow, threads=2": lambda: pa.array(package.privatesuffix_arrow(column, threads=2)),
    }
    expected = runs["Python loop"]()
    for label in ("Arrow, threads=1", "Arrow, threads=2"):
        if runs[label]().to_pylist() != expected:
            raise SystemExit(f"{label}: answers differ from the per-call function's")
    del expected
    samples = ns_per_name(runs, len(names), passes)
    cpu = {label: statistics.median(values[0]) for label, values in samples.items()}
    wall = {label: statistics.median(values[1]) for label, values in samples.items()}
    print(f"privatesuffix over {len(names)} names (the corpus x{COPIES}), {passes} passes, ns per name "
          f"(median, spread; best wall); load average {os.getloadavg()[0]:.1f}")
    print(f"  {'':24} {'CPU':>7} {'spread':>6} {'wall':>7} {'spread':>6} {'best':>7}")
    for label, (cpu_values, wall_values) in samples.items():
        print(f"  {label:24} {cpu[label]:7.1f} {(max(cpu_values) - min(cpu_values)) / cpu[label]:6.1%} "
              f"{wall[label]:7.1f} {(max(wall_values) - min(wall_values)) / wall[label]:6.1%} {min(wall_values):7.1f}")
    loop_ratio = wall["Python loop"] / wall["Arrow, threads=1"]
    thread_ratio = wall["Arrow, threads=1"] / wall["Arrow, threads=2"]
    verdicts = [
        (f"Arrow on one thread {loop_ratio:.2f}x the throughput of the Python loop (>= {TARGET_LOOP:g}x, wall "
         f"time; {cpu['Python loop'] / cpu['Arrow, threads=1']:.2f}x in CPU time)", loop_ratio >= TARGET_LOOP),
        (f"Arrow on two threads {thread_ratio:.2f}x one thread (>= {TARGET_THREADS:g}x, wall time); "
         f"{wall['Python loop'] / wall['Arrow, threads=2']:.2f}x the loop", thread_ratio >= TARGET_THREADS),
    ]
    for text, ok in verdicts:
        print(f"  {text}: {'met' if ok else 'MISSED'}")
    count, before, after, answers = stream_memory(module_dir, corpus_path)
    print(f"  a stream of {count} names in chunks of {STREAM_CHUNK}: peak resident {after:.0f} MiB, "
          f"{after - before:.0f} MiB over the process before the stream; the answers total {answers:.0f} MiB")
    return verdicts


def main():
    args = part_args(__doc__, add_arguments)
    try:
        import pyarrow  # noqa: F401
    except ImportError:
        raise SystemExit("arrow_bench.py needs pyarrow for this interpreter (Debian: python3-pyarrow)")
    package = import_from(args.module_dir, "lookup_psl")
    print(f"{cpu_model()}, {os.cpu_count()} CPUs")
    verdicts = arrow_figures(args.module_dir, package, args.corpus, args.arrow_passes)
    return 0 if all(ok for _, ok in verdicts) else 1


if __name__ == "__main__":
    sys.exit(main())
