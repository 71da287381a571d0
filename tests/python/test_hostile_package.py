"""The package against hostile or unlucky input: rules that cannot be DNS
names, rules that clash on one name, list files that never end, tampered
pickles, str subclasses that refer back to their list, daemon threads still
inside a call when the interpreter exits."""

import gc
import os

import pytest

ICANN = b"// ===BEGIN ICANN DOMAINS===\n%s// ===END ICANN DOMAINS===\n"
PRIVATE = b"// ===BEGIN PRIVATE DOMAINS===\n%s// ===END PRIVATE DOMAINS===\n"


def list_bytes(icann=(), private=()):
    return ICANN % "".join(f"{r}\n" for r in icann).encode() + PRIVATE % "".join(f"{r}\n" for r in private).encode()


def fits_dns(label):  # at most 63 bytes as an A-label, by Python's own Punycode codec
    return len(label) <= 63 and (label.isascii() or 4 + len(label.encode("punycode")) <= 63)


def cjk(count):  # distinct, widely spread code points: 3 UTF-8 bytes each, more in Punycode
    return "".join(chr(0x4E00 + (331 * i) % 20992) for i in range(count))


@pytest.mark.parametrize("label", [
    "a" * 63, "a" * 64, "é" * 50, "é" * 58, cjk(19), cjk(20), "x" * 1_000_000, cjk(20_000),
], ids=lambda label: f"{len(label)}-{label[:1]}")
def test_labels_beyond_63_bytes_as_a_labels_are_refused_with_their_line(lookup_psl, label):
    data = list_bytes(["com", label + ".com"])
    if fits_dns(label):
        assert lookup_psl.SuffixList.from_bytes(data).publicsuffix("a." + label + ".com") == label + ".com"
        return
    with pytest.raises(ValueError, match="^line 3: a label longer than 63 bytes"):
        lookup_psl.SuffixList.from_bytes(data)
    with pytest.raises(ValueError, match="^extra rule 1: a label longer than 63 bytes"):
        lookup_psl.SuffixList.from_bytes(list_bytes(["com"]), extra_rules=[label + ".com"])


@pytest.mark.parametrize("extra", [0, 1])
def test_names_beyond_253_bytes_are_refused_with_their_line(lookup_psl, extra):
    name = ".".join(["a" * 63] * 3 + ["b" * (61 + extra)])  # 253 bytes, then 254
    data = list_bytes(["com"], ["*." + name])
    if not extra:
        assert lookup_psl.SuffixList.from_bytes(data).is_public(name)
        return
    with pytest.raises(ValueError, match="^line 5: a name longer than 253 bytes"):
        lookup_psl.SuffixList.from_bytes(data)


def model_suffix(domain, rules):
    """The public suffix by the list's rules (kind, name): an exception
    prevails, else the longest match, where *.N covers N's children and N
    itself; an unlisted top-level label is public."""
    labels = domain.split(".")
    matched = 1
    for count in range(1, len(labels) + 1):
        name = ".".join(labels[-count:])
        if ("!", name) in rules:
            return ".".join(labels[1 - count:])
        if ("*", name) in rules:
            matched = max(matched, min(count + 1, len(labels)))
        if ("", name) in rules:
            matched = max(matched, count)
    return ".".join(labels[-matched:])


def as_model(rules):
    return {("*", rule[2:]) if rule.startswith("*.") else ("!", rule[1:]) if rule[0] == "!" else ("", rule)
            for rule in rules}


CLASHES = [  # ICANN rules, private rules of the file, extra rules
    (["uk", "co.uk"], [], ["*.co.uk"]),
    (["uk", "co.uk"], [], ["!co.uk"]),
    (["com"], [], ["*.com"]),
    (["uk", "*.co.uk"], ["co.uk"], []),
    (["uk", "co.uk"], ["*.co.uk", "!co.uk"], []),
    (["com"], ["a.com", "*.a.com"], ["!a.com"]),
    (["jp", "*.kawasaki.jp", "!city.kawasaki.jp"], ["city.kawasaki.jp"], ["*.city.kawasaki.jp"]),
    (["com", "*.com", "!b.com"], ["com"], ["*.b.com"]),
]
DOMAINS = ["www.example.co.uk", "example.co.uk", "co.uk", "uk", "x.y.a.com", "y.a.com", "a.com", "com",
           "x.www.city.kawasaki.jp", "www.city.kawasaki.jp", "city.kawasaki.jp", "x.kawasaki.jp", "c.b.com",
           "b.com"]


@pytest.mark.parametrize("icann, private, extra", CLASHES)
def test_clashing_rules_all_count_in_their_views(lookup_psl, icann, private, extra):
    built = lookup_psl.SuffixList.from_bytes(list_bytes(icann, private), extra_rules=extra)
    icann_rules = as_model(icann)
    all_rules = icann_rules | as_model(private + extra)
    for domain in DOMAINS:
        assert built.publicsuffix(domain) == model_suffix(domain, all_rules), domain
        assert built.publicsuffix(domain, icann_only=True) == model_suffix(domain, icann_rules), domain
    assert (built.icann_rules, built.private_rules) == (len(icann), len(private) + len(extra))


@pytest.mark.parametrize("source", ["/dev/zero", "sparse"])
def test_list_files_beyond_16_mib_are_refused(lookup_psl, tmp_path, source):
    if source == "sparse":
        source = tmp_path / "huge.dat"
        source.write_bytes(b"")
        os.truncate(source, 16 * 1024 * 1024 + 1)
    with pytest.raises(ValueError, match="holds more than 16777216 bytes"):
        lookup_psl.SuffixList.from_file(source)


def test_tampered_pickles_are_refused(lookup_psl):
    built = lookup_psl.SuffixList.from_bytes(list_bytes(["com", "uk"]), extra_rules=["a.com"])
    unpickle, (data, rules, checksum) = built.__reduce__()
    for tampered in [(data.replace(b"uk", b"ck"), rules, checksum), (data, rules, "0" * 64)]:
        with pytest.raises(ValueError, match="does not match its checksum"):
            unpickle(*tampered)
    with pytest.raises(TypeError):
        unpickle(data, rules)


def test_extra_rules_are_kept_as_exact_str_copies(lookup_psl):
    finalized = []

    class Rule(str):
        def __del__(self):
            finalized.append(str(self))

    rule = Rule("a.com")
    built = lookup_psl.SuffixList.from_bytes(list_bytes(["com"]), extra_rules=[rule, "b.com"])
    assert built.extra_rules == ("a.com", "b.com") and type(built.extra_rules[0]) is str
    rule.owner = built  # a cycle, if the list held the rule itself
    del rule, built
    gc.collect()
    assert finalized == ["a.com"]


# Three daemon threads, each inside calls of one kind (a batch on two
# threads, a SuffixList's batch, a build) when the interpreter exits.
@pytest.mark.slow
def test_interpreter_exit_with_daemon_threads_inside_calls(run_python):
    script = """
import threading, time, lookup_psl
names = ["www.a%d.example.co.uk" % i for i in range(200_000)]
data = b"// ===BEGIN ICANN DOMAINS===\\n%s// ===END ICANN DOMAINS===\\n" % b"".join(
    b"a%d.b%d.com\\n" % (i, i % 100) for i in range(100_000))
listed = lookup_psl.SuffixList.from_bytes(data)
def forever(call):
    while True:
        call()
for call in (lambda: lookup_psl.privatesuffix_batch(names, threads=2), lambda: listed.publicsuffix_batch(names),
             lambda: lookup_psl.SuffixList.from_bytes(data)):
    threading.Thread(target=forever, args=(call,), daemon=True).start()
time.sleep(0.3)
"""
    for _ in range(3):
        completed = run_python(script, timeout=60)
        assert completed.returncode == 0, completed.stderr[-2000:]
        assert "terminate called" not in completed.stderr
