#!/usr/bin/env python3
"""One table, one interpreter: the six functions of _lookup against the call
floor and against the peers (tldextract, publicsuffix2) over the corpus, its
ASCII and non-ASCII names apart, with fresh and reused str objects; the same
six methods of a lookup_psl.SuffixList built at run time from the same list;
libpsl against the engine (psl_bench), and psl_load_file against the
builder's run-time path; import time and resident memory of the module, and
what a SuffixList holds; the builder's run time; privatesuffix over names of
many labels; the batch calls against Python loops over the per-call function
(batch_bench.py), and the Arrow forms against them where pyarrow imports
(arrow_bench.py); the lookup-psl command against libpsl's psl tool on a
million lines (cli_bench.py).

Every figure is the median of repeated passes with the spread
(max - min) / median. Timed loops alternate round-robin within one process,
so load on a shared machine hits every row alike.
"""

import argparse
import gc
import operator
import os
import platform
import re
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_module import (  # noqa: E402  (beside this file)
    CLOCKS, Figures, cpu_model, import_from, loop_alone, loop_depth_zero, loop_one_arg)
import arrow_bench  # noqa: E402
import batch_bench  # noqa: E402
import chart  # noqa: E402
import cli_bench  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")
KINDS = ("reused", "fresh")
SETS = ("ASCII", "non-ASCII")
LONG_LABELS = (10, 100, 1000, 10000)

TARGET_FLOOR = 5.0        # privatesuffix / floor
TARGET_OTHERS = 1.5       # any other function / privatesuffix
TARGET_LIBPSL = 6.0       # engine faster than libpsl
TARGET_PUBLICSUFFIX2 = 7.0
TARGET_TLDEXTRACT = 14.0
TARGET_IMPORT_MS = 1.0
TARGET_RSS_KIB = 1024
TARGET_FLAT = 2.0         # ns per byte, 100 to 10,000 labels
TARGET_RUNTIME_LIST = 1.05  # SuffixList method / compiled-in function, whole corpus
TARGET_BUILD_MS = 5.0     # read, check, SHA-256 and table of the list, median


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    env = os.environ.get
    parser.add_argument("--module-dir", default=env("LOOKUP_MODULE_DIR"), help="directory of the built _lookup")
    parser.add_argument("--floor-dir", default=env("LOOKUP_FLOOR_DIR"), help="directory of the built _callfloor")
    parser.add_argument("--corpus", default=env("LOOKUP_BENCH_CORPUS") or os.path.join(DATA, "bench", "domains.txt"))
    parser.add_argument("--list", default=env("LOOKUP_BENCH_LIST") or os.path.join(DATA, "psl", "public_suffix_list.dat"),
                        help="list file the peers and libpsl load")
    parser.add_argument("--psl-bench", help="psl_bench binary (libpsl against the engine); its row is left out without it")
    parser.add_argument("--builder", help="table-builder binary, timed on --list; its row is left out without it")
    parser.add_argument("--passes", type=int, default=15, help="timed passes of each Python loop")
    parser.add_argument("--processes", type=int, default=11, help="fresh processes for import time and memory")
    parser.add_argument("--clock", choices=("cpu", "wall"), default="cpu")
    parser.add_argument("--strict", action="store_true", help="exit 1 when a target is missed")
    parser.add_argument("--figures", help="write the side-by-side figures here (JSON) for bench/chart.py")
    cli_bench.add_arguments(parser)
    batch_bench.add_arguments(parser)
    arrow_bench.add_arguments(parser)
    args = parser.parse_args()
    if not args.module_dir or not args.floor_dir:
        parser.error("give --module-dir and --floor-dir (or LOOKUP_MODULE_DIR and LOOKUP_FLOOR_DIR)")
    return args


def median_spread(samples):
    f = Figures(samples)
    return f.median, f.spread


def fmt(median, spread, unit=""):
    return f"{median:9.1f}{unit} ±{spread:5.1%}"


# ---------------------------------------------------------------- peers

def load_peers(list_path):
    """{label: function(name) -> answer}; a peer that is not installed is
    reported and left out. Neither touches the network: tldextract reads the
    list through a file:// URL with its cache off and no fallback snapshot."""
    peers, missing = {}, []
    list_path = os.path.abspath(list_path)
    try:
        import tldextract
        extract = tldextract.TLDExtract(cache_dir=None, suffix_list_urls=("file://" + list_path,),
                                        fallback_to_snapshot=False, include_psl_private_domains=True)
        # The private suffix; 5.x renamed the property and warns on the old name.
        result_class = tldextract.tldextract.ExtractResult
        answer = operator.attrgetter("top_domain_under_public_suffix"
                                     if hasattr(result_class, "top_domain_under_public_suffix") else "registered_domain")
        peers[f"tldextract {getattr(tldextract, '__version__', '?')}"] = \
            lambda name, extract=extract, answer=answer: answer(extract(name))
    except ImportError:
        missing.append("tldextract (python3-tldextract)")
    try:
        import publicsuffix2
        psl = publicsuffix2.PublicSuffixList(list_path)
        version = getattr(publicsuffix2, "__version__", "")
        peers[f"publicsuffix2 {version}".strip()] = psl.get_sld
    except ImportError:
        missing.append("publicsuffix2 (python3-publicsuffix2)")
    return peers, missing


# ---------------------------------------------------------------- calls

def split_corpus(raw):
    lines = [line.rstrip("\r") for line in raw.decode("utf-8").split("\n")]
    lines = [line for line in lines if line]
    ascii_lines = [line for line in lines if line.isascii()]
    other = [line for line in lines if not line.isascii()]
    return {"ASCII": "\n".join(ascii_lines).encode(), "non-ASCII": "\n".join(other).encode()}


def decode(raw):
    return raw.decode("utf-8").split("\n")


def measure_calls(runs, raws, passes, clock):
    """{(label, set, kind): [ns per call]}: each pass times every loop once
    over each set, reused then fresh str objects."""
    reused = {s: decode(raw) for s, raw in raws.items()}
    for run in runs.values():
        for names in reused.values():
            run(names)
    samples = {(label, s, kind): [] for label in runs for s in raws for kind in KINDS}
    gc.disable()
    try:
        for _ in range(passes):
            for label, run in runs.items():
                for s, raw in raws.items():
                    names = reused[s]
                    start = clock()
                    run(names)
                    samples[(label, s, "reused")].append((clock() - start) / len(names))
                    names = decode(raw)
                    start = clock()
                    run(names)
                    samples[(label, s, "fresh")].append((clock() - start) / len(names))
                    del names
                    gc.collect()
    finally:
        gc.enable()
    return samples


# ---------------------------------------------------------------- long names

def long_name(labels, ascii_text):
    # The same shape as the engine benchmark's long names.
    label = "WwW-Host" if ascii_text else "ÄRGER-Öl"
    return "".join(f"{label}{i % 10}." for i in range(max(labels - 3, 0))) + "Example.CO.UK"


def measure_long(privatesuffix, passes, clock):
    """{(set, labels): [ns per byte]} of privatesuffix on one reused name."""
    names = {(s, n): long_name(n, s == "ASCII") for s in SETS for n in LONG_LABELS}
    repeats = {key: max(1, 200_000 // len(name)) for key, name in names.items()}
    for name in names.values():
        privatesuffix(name)
    samples = {key: [] for key in names}
    gc.disable()
    try:
        for _ in range(passes):
            for key, name in names.items():
                count = repeats[key]
                size = len(name.encode())
                start = clock()
                for _ in range(count):
                    privatesuffix(name)
                samples[key].append((clock() - start) / count / size)
    finally:
        gc.enable()
    return samples


# ---------------------------------------------------------------- processes

def import_time_us(module_dir, processes):
    """Cumulative -X importtime of _lookup, in µs, over fresh processes."""
    env = dict(os.environ, PYTHONPATH=os.path.abspath(module_dir))
    samples = []
    for _ in range(processes):
        done = subprocess.run([sys.executable, "-X", "importtime", "-c", "import _lookup"],
                              env=env, capture_output=True, text=True, check=True)
        for line in done.stderr.splitlines():
            match = re.match(r"import time:\s*(\d+)\s*\|\s*(\d+)\s*\|\s*_lookup\s*$", line)
            if match:
                samples.append(int(match.group(2)))
    if not samples:
        raise RuntimeError("python -X importtime printed no line for _lookup")
    return samples


# The start of every probe: resident memory, and the module folder first on
# the path.
PROBE_PRELUDE = """
import os, sys, time
page = os.sysconf("SC_PAGE_SIZE")
def rss():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * page
sys.path.insert(0, sys.argv[1])
"""

RSS_PROBE = PROBE_PRELUDE + """
before = rss()
import _lookup
after = rss()
print((after - before) / 1024)
"""


def probe_outputs(script, args, processes):
    """The standard output of `script` run with `args`, once per fresh process."""
    return [subprocess.run([sys.executable, "-c", script, *args], capture_output=True, text=True,
                           check=True).stdout for _ in range(processes)]


def rss_added_kib(module_dir, processes):
    return [float(out) for out in probe_outputs(RSS_PROBE, [os.path.abspath(module_dir)], processes)]


def builder_ms(builder, list_path, runs=5):
    samples = []
    with tempfile.TemporaryDirectory() as out:
        for _ in range(runs):
            start = time.perf_counter_ns()
            subprocess.run([builder, list_path, out], check=True, capture_output=True)
            samples.append((time.perf_counter_ns() - start) / 1e6)
    return samples


def libpsl_against_engine(psl_bench, corpus, list_path):
    """({side: (median, spread)}, libpsl version) from psl_bench's summary:
    ns per name for libpsl, the engine and the engine over a run-time table;
    ms per load for psl_load_file and build_table; table bytes."""
    env = dict(os.environ, LOOKUP_BENCH_LIST=os.path.abspath(list_path))
    done = subprocess.run([psl_bench, f"--corpus={corpus}", "--benchmark_repetitions=9",
                           "--benchmark_min_time=0.2", "--benchmark_color=false",
                           "--benchmark_enable_random_interleaving=true"],
                          env=env, capture_output=True, text=True, check=True)
    found = {}
    for side, unit in (("libpsl", "ns"), ("engine", "ns"), ("engine, run-time table", "ns"),
                       ("psl_load_file", "ms"), ("build_table", "ms")):
        match = re.search(rf"^\s+{re.escape(side)}\s+([\d.]+) {unit}\s+\(\s*([\d.]+)%\)", done.stdout, re.M)
        if not match:
            raise RuntimeError(f"psl_bench printed no {side} figure:\n{done.stdout}")
        found[side] = (float(match.group(1)), float(match.group(2)) / 100)
    table = re.search(r"^\s+table: (\d+) bytes", done.stdout, re.M)
    found["table bytes"] = (int(table.group(1)), 0.0) if table else (0, 0.0)
    version = re.search(r"^libpsl (\S+)", done.stdout, re.M)
    return found, version.group(1) if version else "?"


SUFFIX_LIST_PROBE = PROBE_PRELUDE + """
import lookup_psl
lookup_psl.SuffixList.from_bytes(b"")
before = rss()
start = time.perf_counter_ns()
built = lookup_psl.SuffixList.from_file(sys.argv[2])
took = time.perf_counter_ns() - start
print((rss() - before) / 1024, took / 1e6, sys.getsizeof(built))
"""


def suffix_list_figures(module_dir, list_path, processes):
    """[(resident KiB added, ms, getsizeof)] of one SuffixList.from_file per
    fresh process, the package imported first."""
    outputs = probe_outputs(SUFFIX_LIST_PROBE, [os.path.abspath(module_dir), os.path.abspath(list_path)], processes)
    return [(float(rss), float(ms), int(size)) for rss, ms, size in (out.split() for out in outputs)]


def from_file_ms(suffix_list, list_path, runs=41):
    """SuffixList.from_file in this process, ms per call."""
    samples = []
    for _ in range(runs):
        start = time.perf_counter_ns()
        suffix_list.from_file(list_path)
        samples.append((time.perf_counter_ns() - start) / 1e6)
    return samples


# ---------------------------------------------------------------- report

def main():
    args = parse_args()
    clock = CLOCKS[args.clock]
    lookup = import_from(args.module_dir, "_lookup")
    package = import_from(args.module_dir, "lookup_psl")
    floor = import_from(args.floor_dir, "_callfloor")
    runtime_list = package.SuffixList.from_file(args.list)
    with open(args.corpus, "rb") as corpus:
        raws = split_corpus(corpus.read())
    peers, missing = load_peers(args.list)

    ours = {
        "publicsuffix": loop_one_arg(lookup.publicsuffix),
        "privatesuffix": loop_one_arg(lookup.privatesuffix),
        "is_public": loop_one_arg(lookup.is_public),
        "is_private": loop_one_arg(lookup.is_private),
        "privateparts": loop_one_arg(lookup.privateparts),
        "subdomain(d, 0)": loop_depth_zero(lookup.subdomain),
    }
    theirs_runtime = {
        f"SuffixList.{label}": loop_depth_zero(runtime_list.subdomain) if label.startswith("subdomain")
        else loop_one_arg(getattr(runtime_list, label))
        for label in ours
    }
    runs = {"floor (echo)": loop_one_arg(floor.echo), **ours, **theirs_runtime,
            **{label: loop_one_arg(f) for label, f in peers.items()}, "loop alone": loop_alone}
    calls = measure_calls(runs, raws, args.passes, clock)
    long_samples = measure_long(lookup.privatesuffix, args.passes, clock)
    import_us = import_time_us(args.module_dir, args.processes)
    rss_kib = rss_added_kib(args.module_dir, args.processes)
    build = builder_ms(args.builder, args.list) if args.builder else None
    list_samples = suffix_list_figures(args.module_dir, args.list, args.processes)
    in_process_ms = from_file_ms(package.SuffixList, args.list)
    libpsl = libpsl_against_engine(args.psl_bench, args.corpus, args.list) if args.psl_bench else None

    counts = {s: len(decode(raw)) for s, raw in raws.items()}
    gil = "free-threaded" if not getattr(sys, "_is_gil_enabled", lambda: True)() else "GIL"
    print(f"CPython {platform.python_version()} ({gil}) on {cpu_model()}, {os.cpu_count()} CPUs, "
          f"load average {os.getloadavg()[0]:.1f} at the end")
    print(f"corpus {os.path.normpath(args.corpus)}: {counts['ASCII']} ASCII and {counts['non-ASCII']} non-ASCII names; "
          f"list {os.path.normpath(args.list)}")
    print(f"median ns per call over {args.passes} passes ({args.clock} time), ± spread = (max - min) / median; "
          f"'x floor' = median / floor's median")
    if missing:
        print("peers not installed, left out: " + ", ".join(missing))
    print()

    med = {key: statistics.median(v) for key, v in calls.items()}
    columns = [(s, kind) for s in SETS for kind in KINDS]
    head = f"{'':24}" + "".join(f"| {s + ', ' + kind + ' str':^25}" for s, kind in columns)
    print(head)
    print(f"{'':24}" + f"| {'ns/call':>9} {'spread':>6} {'x floor':>7} " * len(columns))
    print("-" * len(head))
    for label in runs:
        line = f"{label:24}"
        for s, kind in columns:
            m, spread = median_spread(calls[(label, s, kind)])
            ratio = "" if label == "loop alone" else f"{m / med[('floor (echo)', s, kind)]:7.2f}"
            line += f"| {m:9.1f} {spread:6.1%} {ratio:>7} "
        print(line)
    print()

    verdicts = []

    def verdict(text, ok):
        verdicts.append(ok)
        print(f"  {text}: {'met' if ok else 'MISSED'}")

    print("targets (from the medians above):")
    for s, kind in columns:
        ps = med[("privatesuffix", s, kind)]
        ratio = ps / med[("floor (echo)", s, kind)]
        worst = max(ours, key=lambda label: med[(label, s, kind)])
        worst_ratio = med[(worst, s, kind)] / ps
        verdict(f"{s}, {kind}: privatesuffix {ratio:.2f}x floor (<= {TARGET_FLOOR:g}); slowest other "
                f"{worst} {worst_ratio:.2f}x privatesuffix (<= {TARGET_OTHERS:g})",
                ratio <= TARGET_FLOOR and worst_ratio <= TARGET_OTHERS)
    # Over the whole corpus: each set's time weighted by its share of the names.
    def whole(label, kind):
        return sum(med[(label, s, kind)] * counts[s] for s in SETS) / sum(counts.values())

    per_name = "per call from Python, whole corpus"
    chart.record(per_name, "lookup_psl.privatesuffix", whole("privatesuffix", "reused"), "ns", reference=True)
    for label in peers:
        chart.record(per_name, label, whole(label, "reused"), "ns")
    for label in peers:
        target = TARGET_TLDEXTRACT if label.startswith("tldextract") else TARGET_PUBLICSUFFIX2
        speedups = [med[(label, s, kind)] / med[("privatesuffix", s, kind)] for s, kind in columns]
        overall = [whole(label, kind) / whole("privatesuffix", kind) for kind in KINDS]
        verdict(f"privatesuffix over {label}, whole corpus: " + ", ".join(f"{x:.1f}x" for x in overall)
                + f" (reused, fresh; >= {target:g}x); by set: " + ", ".join(f"{x:.1f}x" for x in speedups)
                + " (ASCII reused, fresh, non-ASCII reused, fresh)", min(overall) >= target)
    for label in ours:
        ratios = [whole(f"SuffixList.{label}", kind) / whole(label, kind) for kind in KINDS]
        verdict(f"SuffixList.{label} / {label}, whole corpus: " + ", ".join(f"{x:.3f}" for x in ratios)
                + f" (reused, fresh; <= {TARGET_RUNTIME_LIST:g})", min(ratios) <= TARGET_RUNTIME_LIST)
    m, spread = median_spread(in_process_ms)
    rss = [sample[0] for sample in list_samples]
    fresh_ms = [sample[1] for sample in list_samples]
    verdict(f"SuffixList.from_file of the list in this process ({len(in_process_ms)} runs, wall): {m:.2f} ms "
            f"±{spread:.0%}; in a fresh process {statistics.median(fresh_ms):.2f} ms (<= {TARGET_BUILD_MS:g} ms)",
            m <= TARGET_BUILD_MS)
    table_bytes = libpsl[0]["table bytes"][0] if libpsl else 0
    print(f"  a SuffixList of the list holds {list_samples[0][2]} bytes (sys.getsizeof: the object, "
          f"{table_bytes or 'its'} bytes of table and the list's {os.path.getsize(args.list)} bytes, kept for "
          f"pickling); resident memory added by from_file ({len(rss)} processes): {statistics.median(rss):.0f} KiB "
          f"(min {min(rss):.0f}, max {max(rss):.0f}), the builder's freed working memory included")
    if libpsl:
        (load, load_spread), (built, built_spread) = libpsl[0]["psl_load_file"], libpsl[0]["build_table"]
        verdict(f"read+build_table {built:.2f} ms ±{built_spread:.0%} beside libpsl's psl_load_file {load:.2f} ms "
                f"±{load_spread:.0%} of the same file (psl_bench, median of 9, CPU time; <= {TARGET_BUILD_MS:g} ms)",
                built <= TARGET_BUILD_MS)
        (compiled, _), (runtime, runtime_spread) = libpsl[0]["engine"], libpsl[0]["engine, run-time table"]
        verdict(f"engine over the run-time table {runtime:.1f} ns ±{runtime_spread:.0%} vs the compiled one "
                f"{compiled:.1f} ns per name: {runtime / compiled:.3f} (<= {TARGET_RUNTIME_LIST:g}); "
                f"table {libpsl[0]['table bytes'][0]} bytes", runtime / compiled <= TARGET_RUNTIME_LIST)
    if libpsl:
        (theirs, their_spread), (engine, engine_spread) = libpsl[0]["libpsl"], libpsl[0]["engine"]
        chart.record("engine in C++, per name", "lookup engine", engine, "ns", reference=True)
        chart.record("engine in C++, per name", f"libpsl {libpsl[1]}", theirs, "ns")
        verdict(f"libpsl {libpsl[1]} {theirs:.1f} ns ±{their_spread:.1%} vs engine {engine:.1f} ns ±{engine_spread:.1%} "
                f"per name (psl_bench, median of 9): engine {theirs / engine:.2f}x faster (>= {TARGET_LIBPSL:g}x)",
                theirs / engine >= TARGET_LIBPSL)
    else:
        print("  libpsl: psl_bench not given, left out")
    m, spread = median_spread(import_us)
    verdict(f"import _lookup (-X importtime, cumulative, {len(import_us)} processes): {m:.0f} µs ±{spread:.0%} "
            f"(< {TARGET_IMPORT_MS * 1000:.0f} µs)", m < TARGET_IMPORT_MS * 1000)
    m, spread = median_spread([max(x, 0.001) for x in rss_kib])
    verdict(f"resident memory added by import ({len(rss_kib)} processes): {statistics.median(rss_kib):.0f} KiB "
            f"(min {min(rss_kib):.0f}, max {max(rss_kib):.0f}; < {TARGET_RSS_KIB} KiB)",
            statistics.median(rss_kib) < TARGET_RSS_KIB)
    if build:
        m, spread = median_spread(build)
        print(f"  table-builder on the list ({len(build)} runs, wall): {m:.1f} ms ±{spread:.1%}")
    print()
    print("privatesuffix on long names (reused str), ns per byte:")
    print(f"  {'labels':>8}" + "".join(f" | {s + ' bytes':>12} {'ns/byte':>8} {'spread':>6}" for s in SETS))
    per_byte = {}
    for n in LONG_LABELS:
        line = f"  {n:8}"
        for s in SETS:
            m, spread = median_spread(long_samples[(s, n)])
            per_byte[(s, n)] = m
            line += f" | {len(long_name(n, s == 'ASCII').encode()):12} {m:8.2f} {spread:6.1%}"
        print(line)
    for s in SETS:
        flat = [per_byte[(s, n)] for n in LONG_LABELS if n >= 100]
        verdict(f"{s} ns per byte, 100 to 10,000 labels: max / min {max(flat) / min(flat):.2f} (<= {TARGET_FLAT:g})",
                max(flat) / min(flat) <= TARGET_FLAT)
    print()
    verdicts += [ok for _, ok in batch_bench.batch_figures(lookup, package, args.list, args.corpus, args.batch_passes)]
    print()
    try:
        import pyarrow  # noqa: F401
    except ImportError:
        print("Arrow forms: no pyarrow for this interpreter (Debian: python3-pyarrow), left out")
    else:
        verdicts += [ok for _, ok in arrow_bench.arrow_figures(args.module_dir, package, args.corpus,
                                                               args.arrow_passes)]
    print()
    if args.cli:
        verdicts += [ok for _, ok in cli_bench.cli_figures(args)]
    else:
        print("lookup-psl: --cli not given, left out")
    print()
    print(f"{sum(verdicts)} of {len(verdicts)} targets met")
    if args.figures:
        chart.save(args.figures, f"{cpu_model()}, {os.cpu_count()} CPUs, CPython {platform.python_version()}, "
                                 f"load average {os.getloadavg()[0]:.1f}")
    return 0 if all(verdicts) or not args.strict else 1


if __name__ == "__main__":
    sys.exit(main())
