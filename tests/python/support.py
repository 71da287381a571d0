"""Shared helpers: the module under test, the corrupt-table build, the repository's data.

LOOKUP_MODULE_DIR must name the build directory that holds `_lookup`; the
module is imported from there and nowhere else, so that an installed copy is
never tested by accident.
"""

import functools
import os
import pathlib
import sys

import pytest

REPO_DIR = pathlib.Path(__file__).resolve().parents[2]

_module_dir = os.environ.get("LOOKUP_MODULE_DIR")
if not _module_dir:
    raise RuntimeError(
        "LOOKUP_MODULE_DIR is not set: point it at the build directory that holds _lookup"
    )
MODULE_DIR = pathlib.Path(_module_dir).resolve()
if not MODULE_DIR.is_dir():
    raise RuntimeError(f"LOOKUP_MODULE_DIR={_module_dir!r} is not a directory")

sys.path.insert(0, str(MODULE_DIR))
import _lookup  # noqa: E402

if pathlib.Path(_lookup.__file__).resolve().parent != MODULE_DIR:
    raise RuntimeError(
        f"_lookup was imported from {_lookup.__file__}, not from {MODULE_DIR}"
    )

DATA_DIR = REPO_DIR / "data"
LIST_FILE = DATA_DIR / "psl" / "public_suffix_list.dat"
VECTORS_FILE = DATA_DIR / "psl" / "test_psl.txt"
CORPUS_FILE = DATA_DIR / "bench" / "domains.txt"
UNICODE_DIR = DATA_DIR / "unicode" / "17.0.0"

_corrupt_dir = os.environ.get("LOOKUP_CORRUPT_MODULE_DIR")
CORRUPT_MODULE_DIR = pathlib.Path(_corrupt_dir).resolve() if _corrupt_dir else None

# The six functions in the module's order, with their keyword-only flags.
FLAG_NAMES = {
    "publicsuffix": ("accept_unknown", "icann_only", "keep_case"),
    "privatesuffix": ("accept_unknown", "icann_only", "keep_case"),
    "is_public": ("accept_unknown", "icann_only"),
    "is_private": ("accept_unknown", "icann_only"),
    "privateparts": ("accept_unknown", "icann_only", "keep_case"),
    "subdomain": ("accept_unknown", "icann_only", "keep_case"),
}
FUNCTION_NAMES = tuple(FLAG_NAMES)


def import_package():
    """lookup_psl from LOOKUP_MODULE_DIR, where it sits beside _lookup (the
    build tree and site-packages alike); imported at first need, so that the
    suites of _lookup alone run without it."""
    import lookup_psl

    if pathlib.Path(lookup_psl.__file__).resolve().parent.parent != MODULE_DIR:
        raise RuntimeError(f"lookup_psl was imported from {lookup_psl.__file__}, not from {MODULE_DIR}")
    return lookup_psl


def positional_args(name, domain="example.com"):
    """The required positional arguments of a function, for calls that must bind."""
    return (domain, 0) if name == "subdomain" else (domain,)


def call(name, *args, **kwargs):
    return getattr(_lookup, name)(*args, **kwargs)


def require_file(path):
    if not path.is_file():
        pytest.fail(f"{path} is missing from the repository")
    return path


# --- The list file, read independently of the module's table builder. -------

FLAG_RULE, FLAG_WILDCARD, FLAG_EXCEPTION = 1, 2, 4


def _punycode_alias(name):
    labels = name.split(".")
    if all(label.isascii() for label in labels):
        return None
    return ".".join(
        label if label.isascii() else "xn--" + label.encode("punycode").decode("ascii")
        for label in labels
    )


@functools.lru_cache(maxsize=None)
def list_rules():
    """Maps each rule's base name to (kind, section) as written in the list file.

    Sections are "icann" and "private"; names are lowered, and a non-ASCII
    name also appears under its xn-- twin.
    """
    rules = {}
    section = None
    for raw in require_file(LIST_FILE).read_text(encoding="utf-8").splitlines():
        line = raw.strip()
        if "===BEGIN ICANN DOMAINS===" in line:
            section = "icann"
        elif "===BEGIN PRIVATE DOMAINS===" in line:
            section = "private"
        elif "===END ICANN DOMAINS===" in line or "===END PRIVATE DOMAINS===" in line:
            section = None
        if not line or line.startswith("//") or section is None:
            continue
        text = line.split()[0].lower()
        if text.startswith("!"):
            kind, base = FLAG_EXCEPTION, text[1:]
        elif text.startswith("*."):
            kind, base = FLAG_WILDCARD, text[2:]
        else:
            kind, base = FLAG_RULE, text
        for name in filter(None, (base, _punycode_alias(base))):
            rules.setdefault(name, []).append((kind, section))
    return rules


@functools.lru_cache(maxsize=None)
def _rule_views():
    """Node name -> (full-list kind, ICANN kind), every path node included."""
    views = {}
    for name, entries in list_rules().items():
        labels = name.split(".")
        for i in range(1, len(labels)):
            views.setdefault(".".join(labels[i:]), (0, 0))
        full = icann = 0
        # One kind per view; exception, then wildcard, then plain wins.
        for kind in (FLAG_EXCEPTION, FLAG_WILDCARD, FLAG_RULE):
            if not full and any(k == kind for k, _ in entries):
                full = kind
            if not icann and any(k == kind and s == "icann" for k, s in entries):
                icann = kind
        views[name] = (full, icann)
    return views


def reference_suffix_count(lowered, accept_unknown=True, icann_only=False):
    """Suffix label count of a lowered, valid domain under the list file's rules."""
    views = _rule_views()
    labels = lowered.split(".")
    n = len(labels)
    result, matched = 0, False
    for i in range(n):
        node = ".".join(labels[n - 1 - i:])
        if node not in views:
            break
        kind = views[node][1 if icann_only else 0]
        if kind & FLAG_EXCEPTION:
            return i  # an exception prevails over every other rule
        if kind & FLAG_WILDCARD:
            result, matched = (i + 2 if i + 1 < n else i + 1), True
        elif kind & FLAG_RULE:
            result, matched = i + 1, True
    if matched:
        return result
    return 1 if accept_unknown else 0


@functools.lru_cache(maxsize=None)
def private_rule_under_com():
    """A two-label plain rule of the private section under com, with nothing
    under it and no ICANN rule of the same name."""
    rules = list_rules()
    for name, entries in sorted(rules.items()):
        labels = name.split(".")
        if len(labels) != 2 or labels[1] != "com" or not name.isascii():
            continue
        if entries != [(FLAG_RULE, "private")]:
            continue
        if any(other.endswith("." + name) for other in rules):
            continue
        return name
    raise AssertionError("the list has no private two-label rule under com")


# --- Unicode 17.0 lowercase, from the shared Unicode data files. ------------


@functools.lru_cache(maxsize=None)
def _case_data():
    lower = {}
    for line in require_file(UNICODE_DIR / "UnicodeData.txt").read_text(encoding="utf-8").splitlines():
        fields = line.split(";")
        if fields[13]:
            lower[int(fields[0], 16)] = chr(int(fields[13], 16))
    lower[0x130] = "i\u0307"
    properties = {"Cased": set(), "Case_Ignorable": set()}
    for line in require_file(UNICODE_DIR / "DerivedCoreProperties.txt").read_text(encoding="utf-8").splitlines():
        line = line.split("#")[0].strip()
        if not line:
            continue
        codes, prop = (part.strip() for part in line.split(";")[:2])
        if prop in properties:
            first, _, last = codes.partition("..")
            properties[prop].update(range(int(first, 16), int(last or first, 16) + 1))
    return lower, properties["Cased"], properties["Case_Ignorable"]


def reference_lower(text):
    """Full lowercase of `text` (no language tailoring), final sigma included."""
    lower, cased, ignorable = _case_data()
    out = []
    for i, ch in enumerate(text):
        cp = ord(ch)
        if cp == 0x3A3:
            before = next((ord(c) for c in reversed(text[:i]) if ord(c) not in ignorable), None)
            after = next((ord(c) for c in text[i + 1:] if ord(c) not in ignorable), None)
            final = before in cased and after not in cased
            out.append("\u03c2" if final else "\u03c3")
        else:
            out.append(lower.get(cp, ch))
    return "".join(out)


def strip_dot(domain):
    return domain[:-1] if domain.endswith(".") else domain


def is_valid(domain):
    text = strip_dot(domain)
    return text != "" and "" not in text.split(".")


def load_corpus():
    return require_file(CORPUS_FILE).read_text(encoding="utf-8").split()


def whole_answer(domain, **flags):
    """The whole result source of a valid domain, read back through the module:
    the private parts joined, or the public suffix of an entirely public name."""
    parts = _lookup.privateparts(domain, **flags)
    if parts is not None:
        return ".".join(parts)
    return _lookup.publicsuffix(domain, **flags)

