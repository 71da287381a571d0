"""Answers Public Suffix List lookups from the command line.

Prints one line per domain: the domain, its public suffix, its private suffix
and its private parts (the subdomain labels and the private suffix), as
tab-separated columns with "-" where there is no answer, or as JSON lines.
Domains come from the arguments, from files (-f), or, when neither is given,
one per line from standard input.
"""

import argparse
import json
import os
import re
import signal
import sys

NO_ANSWER = "-"
# Exit statuses; argparse itself exits with 2 for bad usage.
OK, INPUT_FAILED, INTERRUPTED = 0, 1, 130

EPILOG = """\
output: one line per domain, in input order; blank input lines are skipped
and surrounding white space is removed. Tab-separated columns: domain,
publicsuffix, privatesuffix, privateparts (joined by ","), and subdomain with
--depth; "-" stands for no answer; a tab, newline, carriage return or
backslash inside a column is written as \\t, \\n, \\r or \\\\. With --json each
line is an object with the same keys, null for no answer and a list for
privateparts.

An invalid domain (empty label, as in "a..b") has no answers.

exit status: 0 when every input was read; 1 when a file could not be read
(the others are still processed) or the module cannot be loaded; 2 for bad
usage.

examples:
  %(prog)s www.example.co.uk
  %(prog)s --header --depth 1 a.b.example.co.uk
  %(prog)s --json -f domains.txt
  zcat domains.gz | %(prog)s --icann-only > answers.tsv
"""


def non_negative_integer(text):
    try:
        value = int(text, 10)
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a whole number: {text!r}") from None
    if value < 0 or value >= 2**64:
        raise argparse.ArgumentTypeError(f"out of range (0 to 2**64-1): {text}")
    return value


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog=os.environ.get("LOOKUP_CLI_NAME") or None,
        description=__doc__.strip().splitlines()[0],
        epilog=EPILOG,
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("domains", nargs="*", metavar="DOMAIN",
                        help="domains to look up (put -- before one that starts with -)")
    parser.add_argument("-f", "--file", action="append", default=[], metavar="FILE",
                        dest="files",
                        help="read domains from FILE, one per line ('-' for standard "
                             "input); may be repeated; read after the DOMAIN arguments")
    output = parser.add_argument_group("output")
    output.add_argument("--header", action="store_true",
                        help="print the column names first (tab-separated output only)")
    output.add_argument("--json", action="store_true",
                        help="print one JSON object per domain instead of columns")
    output.add_argument("--depth", type=non_negative_integer, metavar="N",
                        help="add the subdomain column: the suffix reaching N labels "
                             "beyond the private suffix (0 is the private suffix)")
    rules = parser.add_argument_group("rules (the module's keyword flags)")
    rules.add_argument("--icann-only", action="store_true",
                       help="use only the rules of the list's ICANN section "
                            "(icann_only=True)")
    rules.add_argument("--no-accept-unknown", action="store_true",
                       help="an unlisted top-level label is not a public suffix, so such "
                            "names have no answers (accept_unknown=False)")
    rules.add_argument("--keep-case", action="store_true",
                       help="answer with the domain's own letters instead of lowercase "
                            "ones (keep_case=True)")
    arguments = parser.parse_args(argv)
    if arguments.header and arguments.json:
        parser.error("--header applies to the tab-separated output, not to --json")
    return arguments, parser.prog


def load_module(prog):
    module_dir = os.environ.get("LOOKUP_MODULE_DIR")
    if module_dir:
        sys.path.insert(0, module_dir)
    try:
        import _lookup
    except ImportError as error:
        where = f" from {module_dir}" if module_dir else ""
        print(f"{prog}: cannot import _lookup{where} ({error}); install it with "
              "'pip install .' or run scripts/lookup.sh, which builds it",
              file=sys.stderr)
        return None
    return _lookup


# ---- inputs ----------------------------------------------------------------

def lines_of(stream):
    """Domains of a binary stream, one per line; bytes that are not UTF-8
    are kept as surrogates, so that they are echoed back unchanged."""
    for raw in stream:
        domain = raw.decode("utf-8", "surrogateescape").strip()
        if domain:
            yield domain


class Inputs:
    """The domains of every source in order; records the sources that
    could not be read instead of stopping at them."""

    def __init__(self, prog, domains, files):
        self.prog = prog
        self.domains = domains
        self.files = files if domains or files else ["-"]
        self.failed = False

    def __iter__(self):
        yield from self.domains
        for name in self.files:
            try:
                if name == "-":
                    if sys.stdin is None:
                        raise OSError(0, "it is closed")
                    yield from lines_of(sys.stdin.buffer)
                else:
                    with open(name, "rb") as stream:
                        yield from lines_of(stream)
            except OSError as error:
                self.failed = True
                what = "standard input" if name == "-" else repr(name)
                print(f"{self.prog}: cannot read {what}: {error.strerror or error}",
                      file=sys.stderr)


# ---- answers and their lines -------------------------------------------------

COLUMNS = ("domain", "publicsuffix", "privatesuffix", "privateparts")


def answers(lookup, domain, flags, depth):
    """The answers for one domain in column order (after the domain), all
    None for a text that cannot be a domain (not encodable as UTF-8)."""
    try:
        result = [lookup.publicsuffix(domain, **flags),
                  lookup.privatesuffix(domain, **flags),
                  lookup.privateparts(domain, **flags)]
        if depth is not None:
            result.append(lookup.subdomain(domain, depth, **flags))
    except UnicodeEncodeError:
        return None
    return result


TSV_ESCAPES = str.maketrans({"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"})
NEEDS_ESCAPE = re.compile(r"[\\\t\n\r]").search


def tsv_line(domain, result, width):
    if result is None:
        columns = [domain] + [NO_ANSWER] * width
    else:
        parts = result[2]
        columns = [domain,
                   NO_ANSWER if result[0] is None else result[0],
                   NO_ANSWER if result[1] is None else result[1],
                   NO_ANSWER if parts is None else ",".join(parts)]
        if width == 4:
            columns.append(NO_ANSWER if result[3] is None else result[3])
    # Every answer is cut from the domain (or its lowercase form): it needs
    # escapes only if the domain does.
    if NEEDS_ESCAPE(domain):
        columns = [column.translate(TSV_ESCAPES) for column in columns]
    return "\t".join(columns) + "\n"


def json_line(domain, result, names):
    if result is None:
        # Undecodable input bytes go out as \udcXX escapes: JSON lines stay UTF-8.
        return json.dumps(dict.fromkeys(names, None) | {"domain": domain}) + "\n"
    parts = result[2]
    record = {"domain": domain, "publicsuffix": result[0], "privatesuffix": result[1],
              "privateparts": None if parts is None else list(parts)}
    if len(result) == 4:
        record["subdomain"] = result[3]
    return json.dumps(record, ensure_ascii=False) + "\n"


def main(argv=None):
    arguments, prog = parse_arguments(sys.argv[1:] if argv is None else argv)
    lookup = load_module(prog)
    if lookup is None:
        return INPUT_FAILED
    flags = {
        "accept_unknown": not arguments.no_accept_unknown,
        "icann_only": arguments.icann_only,
        "keep_case": arguments.keep_case,
    }
    depth = arguments.depth
    names = COLUMNS if depth is None else COLUMNS + ("subdomain",)
    # Echo undecodable input back as the bytes it was.
    sys.stdout.reconfigure(errors="surrogateescape")
    write = sys.stdout.write
    if arguments.header:
        write("\t".join(names) + "\n")
    inputs = Inputs(prog, arguments.domains, arguments.files)
    width = len(names) - 1
    try:
        for domain in inputs:
            result = answers(lookup, domain, flags, depth)
            if arguments.json:
                write(json_line(domain, result, names))
            else:
                write(tsv_line(domain, result, width))
        sys.stdout.flush()
    except OSError as error:
        print(f"{prog}: cannot write the output: {error.strerror or error}", file=sys.stderr)
        return INPUT_FAILED
    except KeyboardInterrupt:
        return INTERRUPTED
    return INPUT_FAILED if inputs.failed else OK


def run():
    """Entry point of the installed command and of this file."""
    # Stop quietly when the reader goes away (e.g. `| head`).
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    sys.exit(main())


if __name__ == "__main__":
    run()
