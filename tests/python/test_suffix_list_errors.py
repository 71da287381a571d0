"""Bad lists and bad arguments get a clear error and nothing half-made:
ValueError with the line and the builder's reason, OSError for a path that
cannot be read, TypeError for arguments of the wrong kind, MemoryError when
memory runs out while building."""

import errno
import sys

import pytest

import support

BEGIN, END = b"// ===BEGIN ICANN DOMAINS===\n", b"// ===END ICANN DOMAINS===\n"

BAD_LISTS = [
    (BEGIN + b"com\nfoo..com\n" + END, 'line 3: "foo..com": empty label'),
    (BEGIN + b"*\n" + END, 'line 2: "*": lone "*"'),
    (BEGIN + b"foo.*.com\n" + END, '"*" is allowed only as the leftmost label'),
    (BEGIN + b"a!b.com\n" + END, '"!" is allowed only at the start of an exception rule'),
    (BEGIN + b"!ck\n" + END, "an exception rule needs at least two labels"),
    (BEGIN + b" indented.com\n" + END, "line 2: line begins with whitespace"),
    (b"com\n" + BEGIN + END, "line 1: rule outside the ICANN and PRIVATE sections"),
    (BEGIN + b"com\n", "line 1: section opened here is never closed"),
    (BEGIN + b"com\n// ===END PRIVATE DOMAINS===\n", "line 3: END PRIVATE marker without its BEGIN marker"),
    (BEGIN + b"caf\xe9.com\n" + END, "line 2: text is not valid UTF-8"),
    ("// Liste für Café\n".encode("latin-1") + BEGIN + b"com\n" + END, "line 1: text is not valid UTF-8"),
]


@pytest.mark.parametrize("data, message", BAD_LISTS)
def test_bad_list_is_a_value_error_naming_line_and_reason(lookup_psl, tmp_path, data, message):
    path = tmp_path / "list.dat"
    path.write_bytes(data)
    for build in (lambda: lookup_psl.SuffixList.from_bytes(data), lambda: lookup_psl.SuffixList.from_file(path)):
        with pytest.raises(ValueError) as raised:
            build()
        assert message in str(raised.value)
        assert str(raised.value).startswith("line ")


def test_bad_extra_rule_names_its_position(lookup_psl):
    for rule, reason in [("foo..com", "empty label"), ("", "holds no rule"), ("a.com\nb.com", "line break")]:
        with pytest.raises(ValueError, match=f"^extra rule 2: .*{reason}"):
            lookup_psl.SuffixList.from_bytes(BEGIN + b"com\n" + END, extra_rules=["fine.com", rule])


def test_table_layout_limit_on_children(lookup_psl):
    rules = b"".join(b"l%d.com\n" % i for i in range(65535))
    fits = lookup_psl.SuffixList.from_bytes(BEGIN + rules + END)
    assert fits.icann_rules == 65535 and fits.is_public("l65534.com")
    with pytest.raises(ValueError, match="^line 65537: more than 65535 labels under one name"):
        lookup_psl.SuffixList.from_bytes(BEGIN + rules + b"l65535.com\n" + END)
    with pytest.raises(ValueError, match="^extra rule 1: more than 65535 labels"):
        lookup_psl.SuffixList.from_bytes(BEGIN + rules + END, extra_rules=["l65535.com"])


def test_unreadable_paths_give_the_usual_os_errors(lookup_psl, tmp_path):
    missing = tmp_path / "absent.dat"
    with pytest.raises(FileNotFoundError) as raised:
        lookup_psl.SuffixList.from_file(missing)
    assert raised.value.errno == errno.ENOENT and raised.value.filename == str(missing)
    with pytest.raises(IsADirectoryError):
        lookup_psl.SuffixList.from_file(tmp_path)
    with pytest.raises(TypeError) as raised:
        lookup_psl.SuffixList.from_file(42)
    assert raised.value.__notes__ == ["while processing 'path'"]
    with pytest.raises(ValueError) as raised:
        lookup_psl.SuffixList.from_file("list\0.dat")
    assert raised.value.__notes__ == ["while processing 'path'"]


@pytest.mark.parametrize("call, error, message, note", [
    (lambda L: L.from_bytes("com"), TypeError, None, "data"),
    (lambda L: L.from_bytes(b"", extra_rules="example.com"), TypeError,
     "expected an iterable of str, not a single 'str'", "extra_rules"),
    (lambda L: L.from_bytes(b"", extra_rules=[b"example.com"]), TypeError,
     "'bytes' object is not an instance of 'str'", "extra_rules"),
    (lambda L: L.from_bytes(b"", extra_rules=5), TypeError, None, "extra_rules"),
    (lambda L: L.from_bytes(b"", extra_rules=["\ud800.com"]), UnicodeEncodeError, None, "extra_rules"),
    (lambda L: L.from_bytes(b"", ["example.com"]), TypeError,
     "SuffixList.from_bytes() takes 1 positional arguments but 2 were given", None),
    (lambda L: L.from_file(), TypeError, "SuffixList.from_file() missing 1 required positional argument: 'path'", None),
])
def test_bad_arguments(lookup_psl, call, error, message, note):
    with pytest.raises(error) as raised:
        call(lookup_psl.SuffixList)
    if message is not None:
        assert str(raised.value) == message
    assert getattr(raised.value, "__notes__", None) == (None if note is None else [f"while processing '{note}'"])


MEMORY_SCRIPT = """
import re
import resource
import lookup_psl

def address_space():
    return int(re.search(r"VmSize:\\s+(\\d+) kB", open("/proc/self/status").read()).group(1)) * 1024

# Two million rules in 34 groups: a table of about 100 MiB to build.
rules = b"".join(b"x%d.y%d.com\\n" % (i % 60000, i // 60000) for i in range(2_000_000))
data = b"// ===BEGIN ICANN DOMAINS===\\n" + rules + b"// ===END ICANN DOMAINS===\\n"
small = b"// ===BEGIN ICANN DOMAINS===\\ncom\\nco.uk\\n// ===END ICANN DOMAINS===\\n"
lookup_psl.SuffixList.from_bytes(small).privatesuffix("a.b.co.uk")
limit = address_space() + 48 * 1024 * 1024
resource.setrlimit(resource.RLIMIT_AS, (limit, resource.getrlimit(resource.RLIMIT_AS)[1]))
for attempt in range(3):
    try:
        lookup_psl.SuffixList.from_bytes(data)
    except MemoryError:
        pass
    else:
        raise AssertionError("a table larger than the address space was built")
    assert lookup_psl.SuffixList.from_bytes(small).privatesuffix("a.b.co.uk") == "b.co.uk"
print("DONE")
"""


@pytest.mark.slow
@pytest.mark.process_memory
def test_memory_error_while_building(lookup_psl, run_python):
    completed = run_python(MEMORY_SCRIPT, timeout=300)
    assert completed.returncode == 0, completed.stdout + completed.stderr[-3000:]
    assert "DONE" in completed.stdout


def test_constructors_keep_argument_reference_counts(lookup_psl, tmp_path):
    path = str(tmp_path / "list.dat")
    (tmp_path / "list.dat").write_bytes(BEGIN + b"com\n" + END)
    data, bad, rules, bad_rules = BEGIN + b"com\n" + END, BEGIN + b"a..com\n" + END, ["x.com"], ["x..com"]
    calls = [
        lambda: lookup_psl.SuffixList.from_bytes(data, extra_rules=rules),
        lambda: lookup_psl.SuffixList.from_file(path, extra_rules=rules),
        lambda: lookup_psl.SuffixList.from_bytes(bad),
        lambda: lookup_psl.SuffixList.from_bytes(data, extra_rules=bad_rules),
        lambda: lookup_psl.SuffixList.from_file(path + ".absent"),
        lambda: lookup_psl.SuffixList.from_bytes(data, extra_rules=[rules]),
    ]
    watched = (data, bad, rules, bad_rules, path, rules[0])
    before = [sys.getrefcount(item) for item in watched]
    for call in calls * 200:
        try:
            made = call()
        except (ValueError, OSError, TypeError):
            continue
        made.__reduce__()
        del made
    assert [sys.getrefcount(item) for item in watched] == before
