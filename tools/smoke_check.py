"""Imports _lookup from one build directory and asks each function once.

Usage: python smoke_check.py MODULE_DIR

For interpreters that only get a build and this check, not the whole suite.
Exits non-zero on the first wrong answer.
"""

import os
import re
import sys


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    module_dir = os.path.abspath(sys.argv[1])
    sys.path.insert(0, module_dir)
    import _lookup

    if os.path.dirname(os.path.abspath(_lookup.__file__)) != module_dir:
        print(f"imported {_lookup.__file__}, not the one in {module_dir}", file=sys.stderr)
        return 1

    domain = "a.b.Example.CO.UK."
    checks = [
        ("publicsuffix", _lookup.publicsuffix(domain), "co.uk"),
        ("privatesuffix", _lookup.privatesuffix(domain, keep_case=True), "Example.CO.UK"),
        ("is_public", _lookup.is_public("co.uk"), True),
        ("is_private", _lookup.is_private("example.test", accept_unknown=False), False),
        ("privateparts", _lookup.privateparts(domain), ("a", "b", "example.co.uk")),
        ("subdomain", _lookup.subdomain(domain, 1), "b.example.co.uk"),
    ]
    wrong = [(name, got, want) for name, got, want in checks
             if type(got) is not type(want) or got != want]
    for name, got, want in wrong:
        print(f"{name}: got {got!r}, expected {want!r}", file=sys.stderr)
    checksum = _lookup.LIST_CHECKSUM
    if not (isinstance(checksum, str) and re.fullmatch(r"[0-9a-f]{64}", checksum)):
        print(f"LIST_CHECKSUM: not 64 lowercase hex digits: {checksum!r}", file=sys.stderr)
        wrong.append(("LIST_CHECKSUM", checksum, None))
    if wrong:
        return 1
    print(f"smoke check passed: Python {sys.version.split()[0]}, {_lookup.__file__}, "
          f"LIST_CHECKSUM {checksum}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
