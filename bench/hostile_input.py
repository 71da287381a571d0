#!/usr/bin/env python3
"""Time per byte of every function on huge names, at 1 KiB, 1 MiB and 10 MiB.

Each shape of name (one long ASCII label, many short labels, non-ASCII text
whose lowering changes byte lengths, nothing but dots) is timed at the three
sizes; a function whose work is linear in the input shows the same ns per byte
at each size. The figure is the time of a call less the time of the same
call on a short name (the fixed cost of a call, which would otherwise swamp
the 1 KiB figure), divided by the bytes of UTF-8. The last column is the
largest ns/byte over the smallest; the run fails with --strict when it exceeds
--limit (default 2).

Times are the thread's CPU time (kernel time for page faults included),
steadier than wall time on a shared machine. The str objects are made once per size and reused, so their UTF-8 form is
cached after the first call (as for ASCII text, where it is the str's own
bytes). Import path: --module-dir or LOOKUP_MODULE_DIR.
"""

import argparse
import gc
import os
import sys
import time

KIB = 1024
MIB = 1024 * KIB
SIZES = (KIB, MIB, 10 * MIB)


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--module-dir", default=os.environ.get("LOOKUP_MODULE_DIR"),
                        help="directory holding the built _lookup module")
    parser.add_argument("--repeats", type=int, default=7, help="timed runs per figure; the best counts")
    parser.add_argument("--min-time", type=float, default=0.05, help="seconds per timed run, at least")
    parser.add_argument("--limit", type=float, default=2.0, help="allowed ratio between sizes")
    parser.add_argument("--strict", action="store_true", help="exit 1 when a ratio exceeds --limit")
    args = parser.parse_args()
    if not args.module_dir:
        parser.error("give --module-dir (or LOOKUP_MODULE_DIR)")
    return args


def fit(unit, size, tail):
    """`unit` repeated to `size` characters' worth of UTF-8 bytes, then `tail`."""
    per = len(unit.encode("utf-8"))
    return unit * max((size - len(tail)) // per, 1) + tail


SHAPES = {
    "long-label": lambda size: fit("Ab", size, ".Example.CO.UK"),
    "many-labels": lambda size: fit("a.", size, "Example.com"),
    "non-ascii": lambda size: fit("İK", size, ".Example.COM"),
    "dots": lambda size: fit(".", size, ""),
}


def calls(lookup):
    return {
        "publicsuffix": lambda d: lookup.publicsuffix(d),
        "publicsuffix keep_case": lambda d: lookup.publicsuffix(d, keep_case=True),
        "privatesuffix": lambda d: lookup.privatesuffix(d),
        "is_public": lambda d: lookup.is_public(d),
        "is_private": lambda d: lookup.is_private(d),
        "privateparts": lambda d: lookup.privateparts(d),
        "privateparts keep_case": lambda d: lookup.privateparts(d, keep_case=True),
        "subdomain 1": lambda d: lookup.subdomain(d, 1),
        "subdomain max": lambda d: lookup.subdomain(d, 2**64 - 1),
    }


# The interpreter's own work on the same text, for scale: what the platform
# charges per byte at each size (page faults on fresh buffers of megabytes,
# memory bandwidth once the text leaves the caches). Not judged.
REFERENCES = {
    "(python str.lower)": lambda d: d.lower(),
    "(python str.encode)": lambda d: d.encode("utf-8", "surrogatepass"),
    # Two fresh buffers of the text's size, as a call that lowers the text
    # and answers with most of it makes.
    "(python encode+decode)": lambda d: d.encode("utf-8", "surrogatepass").decode("utf-8", "surrogatepass"),
}


def ns_per_call(function, domain, repeats, min_time):
    function(domain)  # warm: the UTF-8 form, the allocator
    loops = 1
    while True:
        start = time.perf_counter()
        for _ in range(loops):
            function(domain)
        if time.perf_counter() - start >= min_time / 4 or loops >= 1 << 20:
            break
        loops *= 4
    best = float("inf")
    for _ in range(repeats):
        gc.collect()
        start = time.thread_time_ns()
        for _ in range(loops):
            function(domain)
        best = min(best, (time.thread_time_ns() - start) / loops)
    return best


def main():
    args = parse_args()
    sys.path.insert(0, args.module_dir)
    import _lookup

    print(f"python {sys.version.split()[0]}, module {_lookup.__file__}")
    header = f"{'shape':<12} {'function':<24}" + "".join(f"{f'ns/B @ {s // KIB} KiB':>17}" for s in SIZES) + f"{'ratio':>8}"
    print(header)
    worst = 0.0
    for shape, make in SHAPES.items():
        domains = {size: make(size) for size in SIZES}
        short = make(64)
        for name, function in {**calls(_lookup), **REFERENCES}.items():
            judged = name not in REFERENCES
            floor = ns_per_call(function, short, args.repeats, args.min_time)
            figures = []
            for size, domain in domains.items():
                nbytes = len(domain.encode("utf-8"))
                spent = ns_per_call(function, domain, args.repeats, args.min_time) - floor
                figures.append(max(spent, 1.0) / nbytes)
            ratio = max(figures) / min(figures)
            if judged:
                worst = max(worst, ratio)
            flag = "" if ratio <= args.limit or not judged else "  <-- over the limit"
            print(f"{shape:<12} {name:<24}" + "".join(f"{v:>17.3f}" for v in figures) + f"{ratio:>8.2f}{flag}")
        del domains
    verdict = "within" if worst <= args.limit else "OVER"
    print(f"largest ratio {worst:.2f}: {verdict} the limit of {args.limit}")
    return 1 if args.strict and worst > args.limit else 0


if __name__ == "__main__":
    sys.exit(main())
