"""Answers Public Suffix List lookups from the command line.

Prints one tab-separated line per domain: the domain, its public suffix, its
private suffix and its private parts (joined by ","), with "-" where there is
no answer. Domains come from the arguments or, when there are none, one per
line from standard input.
"""

import argparse
import os
import signal
import sys

DEFAULT_MODULE_DIR = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                                  "build", "release")
NO_ANSWER = "-"


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog=os.environ.get("LOOKUP_CLI_NAME") or None,
        description=__doc__.strip().splitlines()[0],
        epilog="Output columns: domain, publicsuffix, privatesuffix, privateparts.")
    parser.add_argument("domains", nargs="*", metavar="DOMAIN",
                        help="domains to look up (default: read them from standard input)")
    parser.add_argument("--icann-only", action="store_true",
                        help="use only the rules of the list's ICANN section")
    parser.add_argument("--no-accept-unknown", action="store_true",
                        help="do not take an unlisted top-level label as a public suffix")
    parser.add_argument("--keep-case", action="store_true",
                        help="answer with the domain's own letters instead of lowercase ones")
    return parser.parse_args(argv)


def load_module():
    module_dir = os.environ.get("LOOKUP_MODULE_DIR") or DEFAULT_MODULE_DIR
    sys.path.insert(0, module_dir)
    try:
        import _lookup
    except ImportError as error:
        sys.exit(f"cannot import _lookup from {module_dir} ({error}); "
                 "scripts/lookup.sh builds it there")
    return _lookup


def answer_line(lookup, domain, flags):
    try:
        public = lookup.publicsuffix(domain, **flags)
        private = lookup.privatesuffix(domain, **flags)
        parts = lookup.privateparts(domain, **flags)
    except UnicodeEncodeError:
        # Bytes that are not UTF-8 (kept as surrogates) cannot be a domain.
        public = private = parts = None
    columns = [domain,
               NO_ANSWER if public is None else public,
               NO_ANSWER if private is None else private,
               NO_ANSWER if parts is None else ",".join(parts)]
    return "\t".join(columns)


def input_domains():
    for raw in sys.stdin.buffer:
        domain = raw.decode("utf-8", "surrogateescape").strip()
        if domain:
            yield domain


def main(argv=None):
    arguments = parse_arguments(sys.argv[1:] if argv is None else argv)
    lookup = load_module()
    flags = {
        "accept_unknown": not arguments.no_accept_unknown,
        "icann_only": arguments.icann_only,
        "keep_case": arguments.keep_case,
    }
    # Echo undecodable input back as the bytes it was.
    sys.stdout.reconfigure(errors="surrogateescape")
    for domain in arguments.domains or input_domains():
        print(answer_line(lookup, domain, flags))
    return 0


if __name__ == "__main__":
    # Stop quietly when the reader goes away (e.g. `| head`).
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    sys.exit(main())
