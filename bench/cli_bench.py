#!/usr/bin/env python3
"""lookup-psl against libpsl's psl tool on logs: lines per second over one
million lines (the benchmark corpus fifty times over) for
`lookup-psl --fields privatesuffix`, `psl --print-reg-domain` loading the
same list file and, where given, a program over the Rust crate `psl`
(bench/rust_peer.sh), the four default columns, -j 2 against -j 1, --urls on URL
lines against the plain run on names, and the peak resident memory over ten
million lines fed through a pipe; each printed with met or missed against its
target.

Every run is a fresh process reading a file and writing to /dev/null; runs
alternate round-robin over the passes, so load on a shared machine hits all
alike, and each figure is the median with the spread (max - min) / median.
The single-thread ratios are taken on CPU time (user + system: what each
tool would take on a core of its own); -j 2 against -j 1 on wall time, the
only clock that shows threads at work.

    bench/cli_bench.py --cli build/compare/lookup-psl [--passes 7]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import chart  # beside this file

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")
LINES = 1_000_000
MEMORY_LINES = 10_000_000

TARGET_PSL_ONE_COLUMN = 8.0   # lines per second, lookup-psl --fields privatesuffix / psl
TARGET_PSL_DEFAULT = 3.0      # the four default columns / psl
TARGET_JOBS = 1.8             # -j 2 / -j 1, wall time
TARGET_URLS = 1.5             # --urls time / plain time, at most
TARGET_RSS_MIB = 20.0

# URL shapes that the corpus names are dressed in, in turn.
URL_FORMS = ("https://{}/", "http://user@{}:8080/path/to/page?q=1#top", "{}:443", "//{}/static/app.js",
             "https://{}/index.html")


def add_arguments(parser):
    """The options of this part; compare.py has --corpus and --list of its own."""
    parser.add_argument("--cli", default=os.environ.get("LOOKUP_CLI_COMMAND"),
                        help="the lookup-psl binary; its rows are left out without it")
    parser.add_argument("--psl", default=shutil.which("psl"), help="libpsl's psl tool (Debian package psl)")
    parser.add_argument("--cli-passes", type=int, default=7, help="timed passes of each command")
    parser.add_argument("--rust-peer", default=os.environ.get("LOOKUP_RUST_PEER"),
                        help="command (split on spaces) of the Rust crate's line program, as bench/rust_peer.sh "
                             "prints it; its row is left out without it")


def timed_run(command, stdin_path):
    """(wall s, CPU s) of one process reading `stdin_path`."""
    with open(stdin_path, "rb") as stdin, open(os.devnull, "wb") as devnull:
        start = time.perf_counter()
        process = subprocess.Popen(command, stdin=stdin, stdout=devnull, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        errors = process.stderr.read()
        process.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(f"{command} failed: {errors.decode(errors='replace')}")
    return wall, usage.ru_utime + usage.ru_stime


def high_water_kib(pid):
    """VmHWM of a running process: the peak of its own image since exec (the
    rusage figure would also count this interpreter's pages, which the child
    shared between fork and exec)."""
    with open(f"/proc/{pid}/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def peak_rss_mib(command, corpus_bytes, repeats):
    """Peak resident memory of `command` reading `repeats` copies of the
    corpus from a pipe, written by this process as it goes."""
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
    peak = 0
    for _ in range(repeats):
        process.stdin.write(corpus_bytes)
        peak = max(peak, high_water_kib(process.pid))
    process.stdin.flush()
    peak = max(peak, high_water_kib(process.pid))
    process.stdin.close()
    if process.wait() != 0:
        raise RuntimeError(f"{command} failed")
    return peak / 1024


def median_spread(samples):
    median = statistics.median(samples)
    return median, (max(samples) - min(samples)) / median if median else 0.0


def cli_figures(args):
    """Prints the table and the verdicts; returns [(text, met)]."""
    if not args.cli or not os.access(args.cli, os.X_OK):
        raise SystemExit("give --cli (the lookup-psl binary)")
    with open(args.corpus, "rb") as corpus:
        corpus_bytes = corpus.read()
    names = corpus_bytes.decode("utf-8").split()
    repeats = LINES // len(names)
    verdicts = []

    with tempfile.TemporaryDirectory() as work:
        plain = os.path.join(work, "names.txt")
        urls = os.path.join(work, "urls.txt")
        with open(plain, "wb") as out:
            out.write(("\n".join(names) + "\n").encode() * repeats)
        with open(urls, "wb") as out:
            dressed = [URL_FORMS[i % len(URL_FORMS)].format(name) for i, name in enumerate(names)]
            out.write(("\n".join(dressed) + "\n").encode() * repeats)
        lines = len(names) * repeats

        cli = [args.cli]
        runs = {
            "lookup-psl --fields privatesuffix": (cli + ["--fields", "privatesuffix"], plain),
            "lookup-psl (4 default columns)": (cli, plain),
            "lookup-psl -j 2 (4 default columns)": (cli + ["-j", "2"], plain),
            "lookup-psl --urls on URL lines": (cli + ["--urls", "--fields",
                                                      "domain,publicsuffix,privatesuffix,privateparts"], urls),
        }
        if args.psl:
            runs["psl --print-reg-domain"] = ([args.psl, "--load-psl-file", args.list, "--print-reg-domain"], plain)
        if args.rust_peer:
            runs["Rust psl::domain program"] = (args.rust_peer.split(), plain)
        samples = {label: [] for label in runs}
        for command, path in runs.values():
            timed_run(command, path)  # page cache and code warm
        for _ in range(args.cli_passes):
            for label, (command, path) in runs.items():
                samples[label].append(timed_run(command, path))

        print(f"lookup-psl on {lines:,} lines ({len(names):,} corpus names x {repeats}); "
              f"{args.cli_passes} passes, medians, spread = (max - min) / median; "
              f"load average {os.getloadavg()[0]:.1f} at the end, {os.cpu_count()} CPUs")
        print(f"  {'':38} {'wall s':>7} {'spread':>7} {'CPU s':>7} {'spread':>7} {'lines/s (CPU)':>14} "
              f"{'lines/s (wall)':>15}")
        med = {}
        for label, runs_of in samples.items():
            wall, wall_spread = median_spread([s[0] for s in runs_of])
            cpu, cpu_spread = median_spread([s[1] for s in runs_of])
            med[label] = (wall, cpu)
            print(f"  {label:38} {wall:7.3f} {wall_spread:7.1%} {cpu:7.3f} {cpu_spread:7.1%} "
                  f"{lines / cpu:14,.0f} {lines / wall:15,.0f}")

        def verdict(text, ok):
            verdicts.append((text, ok))
            print(f"  {text}: {'met' if ok else 'MISSED'}")

        command = f"command over {lines:,} lines, CPU"
        for label, (_, cpu) in med.items():
            path = runs[label][1]
            # The runs over the same names; -j shows in wall time, not in CPU time.
            if path == plain and "-j" not in label:
                chart.record(command, label, cpu, "s", reference=label == "lookup-psl --fields privatesuffix")
        print("targets:")
        one, default = med["lookup-psl --fields privatesuffix"][1], med["lookup-psl (4 default columns)"][1]
        if args.psl:
            psl = med["psl --print-reg-domain"][1]
            verdict(f"--fields privatesuffix {psl / one:.2f}x the lines per second of psl --print-reg-domain "
                    f"(CPU; >= {TARGET_PSL_ONE_COLUMN:g}x)", psl / one >= TARGET_PSL_ONE_COLUMN)
            verdict(f"4 default columns {psl / default:.2f}x psl (CPU; >= {TARGET_PSL_DEFAULT:g}x)",
                    psl / default >= TARGET_PSL_DEFAULT)
        else:
            print("  psl not installed (Debian package psl): its ratios are left out")
        if args.rust_peer:
            rust = med["Rust psl::domain program"][1]
            verdict(f"--fields privatesuffix {rust / one:.2f}x the lines per second of the Rust psl::domain program "
                    f"(CPU; > 1x)", rust / one > 1)
        else:
            print("  no Rust peer (bench/rust_peer.sh builds it in the sid root): its ratio is left out")
        single_wall, double_wall = med["lookup-psl (4 default columns)"][0], med["lookup-psl -j 2 (4 default columns)"][0]
        verdict(f"-j 2 {single_wall / double_wall:.2f}x the throughput of -j 1 (wall; >= {TARGET_JOBS:g}x)",
                single_wall / double_wall >= TARGET_JOBS)
        url_cpu = med["lookup-psl --urls on URL lines"][1]
        verdict(f"--urls on URL lines {url_cpu / default:.2f}x the time of the plain run on names "
                f"(CPU; <= {TARGET_URLS:g}x)", url_cpu / default <= TARGET_URLS)

    memory_repeats = MEMORY_LINES // len(names)
    for label, extra in (("-j 1", []), ("-j 2", ["-j", "2"]), ("--json", ["--json"])):
        mib = peak_rss_mib([args.cli, *extra], corpus_bytes, memory_repeats)
        verdict(f"peak resident memory over {len(names) * memory_repeats:,} lines from a pipe, {label}: "
                f"{mib:.1f} MiB (< {TARGET_RSS_MIB:g} MiB)", mib < TARGET_RSS_MIB)
    return verdicts


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    add_arguments(parser)
    parser.add_argument("--corpus", default=os.path.join(DATA, "bench", "domains.txt"))
    parser.add_argument("--list", default=os.path.join(DATA, "psl", "public_suffix_list.dat"),
                        help="list file that psl loads")
    parser.add_argument("--strict", action="store_true", help="exit 1 when a target is missed")
    args = parser.parse_args()
    verdicts = cli_figures(args)
    print(f"{sum(ok for _, ok in verdicts)} of {len(verdicts)} targets met")
    return 0 if all(ok for _, ok in verdicts) or not args.strict else 1


if __name__ == "__main__":
    sys.exit(main())
