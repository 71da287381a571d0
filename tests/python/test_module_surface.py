"""What `import _lookup` offers: names, docstrings, signatures, the checksum."""

import ast
import hashlib
import importlib
import importlib.util
import inspect
import re
import sys
import sysconfig
import types

import pytest

import support
from support import FUNCTION_NAMES

CHECKSUM = "fe6adc7fb8014f57d28d69b18d0aa3e581efb432544922e12131a5d4a87bd954"

DOCS = {
    "publicsuffix": (
        "Return the longest public suffix of *domain*, or None if it has none."
    ),
    "privatesuffix": (
        "Return the private suffix of *domain*: the public suffix plus one label.\n"
        "None if *domain* is entirely public, or invalid."
    ),
    "is_public": "Return whether *domain* is entirely a public suffix.",
    "is_private": "Return whether *domain* is a private suffix or a subdomain of one.",
    "privateparts": (
        "Return a tuple of the subdomain labels of *domain* followed by its private\n"
        "suffix, or None if it has no private suffix."
    ),
    "subdomain": (
        "Return the suffix of *domain* reaching *depth* labels beyond its private\n"
        "suffix, or None if *domain* has too few labels. Depth 0 is the private\n"
        "suffix itself."
    ),
}

SIGNATURES = {
    "publicsuffix": "(domain, *, accept_unknown=True, icann_only=False, keep_case=False)",
    "privatesuffix": "(domain, *, accept_unknown=True, icann_only=False, keep_case=False)",
    "is_public": "(domain, *, accept_unknown=True, icann_only=False)",
    "is_private": "(domain, *, accept_unknown=True, icann_only=False)",
    "privateparts": "(domain, *, accept_unknown=True, icann_only=False, keep_case=False)",
    "subdomain": "(domain, depth, *, accept_unknown=True, icann_only=False, keep_case=False)",
}


class TestModuleAttributes:
    def test_name_and_empty_docstring(self, lookup):
        assert lookup.__name__ == "_lookup"
        assert type(lookup.__doc__) is str
        assert lookup.__doc__ == ""

    def test_all_lists_functions_in_table_order_then_checksum(self, lookup):
        assert type(lookup.__all__) is list
        assert lookup.__all__ == [*FUNCTION_NAMES, "LIST_CHECKSUM"]

    def test_public_names_are_exactly_all(self, lookup):
        public = sorted(n for n in vars(lookup) if not n.startswith("_"))
        assert public == sorted(lookup.__all__)

    def test_checksum_value(self, lookup):
        assert type(lookup.LIST_CHECKSUM) is str
        assert lookup.LIST_CHECKSUM == CHECKSUM
        assert len(lookup.LIST_CHECKSUM) == 64
        assert set(lookup.LIST_CHECKSUM) <= set("0123456789abcdef")

    def test_checksum_identifies_the_shared_list_file(self, lookup):
        data = support.require_file(support.LIST_FILE).read_bytes()
        assert hashlib.sha256(data).hexdigest() == lookup.LIST_CHECKSUM

    def test_panic_exception_is_not_a_module_attribute(self, lookup):
        assert not hasattr(lookup, "PanicException")
        assert "PanicException" not in vars(lookup)


@pytest.mark.parametrize("name", FUNCTION_NAMES)
class TestFunctionObjects:
    def test_is_a_builtin_bound_to_the_module(self, lookup, name):
        func = getattr(lookup, name)
        assert isinstance(func, types.BuiltinFunctionType)
        assert func.__name__ == name
        assert func.__qualname__ == name
        assert func.__module__ == "_lookup"
        assert func.__self__ is lookup

    def test_docstring_is_the_body_only(self, lookup, name):
        assert getattr(lookup, name).__doc__ == DOCS[name]

    def test_text_signature(self, lookup, name):
        assert getattr(lookup, name).__text_signature__ == SIGNATURES[name]

    def test_inspect_signature(self, lookup, name):
        sig = inspect.signature(getattr(lookup, name))
        assert str(sig) == SIGNATURES[name]
        params = list(sig.parameters.values())
        positional = ["domain", "depth"] if name == "subdomain" else ["domain"]
        flags = support.FLAG_NAMES[name]
        assert [p.name for p in params] == positional + list(flags)
        for p in params[: len(positional)]:
            assert p.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD
            assert p.default is inspect.Parameter.empty
        defaults = {"accept_unknown": True, "icann_only": False, "keep_case": False}
        for p in params[len(positional):]:
            assert p.kind is inspect.Parameter.KEYWORD_ONLY
            assert p.default is defaults[p.name]


def test_subdomain_signature_in_detail(lookup):
    sig = inspect.signature(lookup.subdomain)
    P = inspect.Parameter
    assert [(p.name, p.kind, p.default) for p in sig.parameters.values()] == [
        ("domain", P.POSITIONAL_OR_KEYWORD, P.empty),
        ("depth", P.POSITIONAL_OR_KEYWORD, P.empty),
        ("accept_unknown", P.KEYWORD_ONLY, True),
        ("icann_only", P.KEYWORD_ONLY, False),
        ("keep_case", P.KEYWORD_ONLY, False),
    ]


# Names whose answers change with each flag: capitals, an unlisted top-level
# label, a rule of the private section.
FLAG_SENSITIVE = ["WWW.Example.COM", "unknown-tld", "b.a.unknown-tld", "github.io", "x.y.github.io"]


@pytest.mark.parametrize("form", ["", "_batch", "_arrow"])
@pytest.mark.parametrize("name", FUNCTION_NAMES)
def test_signature_defaults_are_what_a_call_without_them_takes(owner, form, name):
    # Per call, batch and Arrow forms, of the module and of a SuffixList.
    function = getattr(owner[0] if form == "" else owner[1], name + form)
    depth = (1,) if name == "subdomain" else ()
    if form == "_arrow":
        pa = pytest.importorskip("pyarrow")
        values = pa.array(FLAG_SENSITIVE)
        answers = lambda **flags: pa.array(function(values, *depth, **flags)).to_pylist()
    elif form == "_batch":
        answers = lambda **flags: function(FLAG_SENSITIVE, *depth, **flags)
    else:
        answers = lambda **flags: [function(domain, *depth, **flags) for domain in FLAG_SENSITIVE]
    keywords = {p.name: p.default for p in inspect.signature(function).parameters.values()
                if p.kind is inspect.Parameter.KEYWORD_ONLY}
    assert [k for k in keywords if k != "threads"] == list(support.FLAG_NAMES[name])
    given = answers(**keywords)
    assert given == answers()
    for flag in support.FLAG_NAMES[name]:
        assert answers(**{flag: not keywords[flag]}) != given, flag


@pytest.mark.parametrize("form", ["", "_batch", "_arrow"])
@pytest.mark.parametrize("name", FUNCTION_NAMES)
def test_binding_takes_the_names_of_the_signature(owner, form, name):
    # Every parameter by its signature's name; an unknown one is refused
    # under the name the function reports.
    function = getattr(owner[0] if form == "" else owner[1], name + form)
    params = inspect.signature(function).parameters.values()
    given = {"domain": "Www.Example.COM", "domains": ["Www.Example.COM"], "values": [], "depth": 0}
    positional = [given[p.name] for p in params if p.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD]
    if form != "_arrow":
        keywords = {p.name: given.get(p.name, p.default) for p in params}
        assert function(**keywords) == function(*positional)
    message = f"{function.__qualname__}() got an unexpected keyword argument 'bogus'"
    with pytest.raises(TypeError, match=re.escape(message)):
        function(*positional, bogus=1)


def test_reimport_creates_a_new_module_with_new_functions(lookup):
    saved = sys.modules.pop("_lookup")
    try:
        fresh = importlib.import_module("_lookup")
        assert fresh is not saved
        assert fresh.__file__ == saved.__file__
        assert fresh.__all__ == saved.__all__
        assert fresh.__all__ is not saved.__all__
        assert fresh.LIST_CHECKSUM == saved.LIST_CHECKSUM
        for name in FUNCTION_NAMES:
            old, new = getattr(saved, name), getattr(fresh, name)
            assert new is not old
            assert new.__self__ is fresh
            assert old.__self__ is saved
        assert fresh.privateparts("A.b.Example.CO.UK") == ("a", "b", "example.co.uk")
        assert saved.privateparts("A.b.Example.CO.UK") == ("a", "b", "example.co.uk")
        assert fresh.subdomain("a.b.example.com", 1, keep_case=True) == "b.example.com"
        assert fresh.is_public("co.uk") is True
    finally:
        sys.modules["_lookup"] = saved


def test_module_attributes_are_plain_writable_module_state(lookup):
    # Each module object owns its __all__: changing one copy must not leak
    # into a module created later.
    saved = sys.modules.pop("_lookup")
    try:
        first = importlib.import_module("_lookup")
        first.__all__.append("extra")
        del sys.modules["_lookup"]
        second = importlib.import_module("_lookup")
        assert second.__all__ == [*FUNCTION_NAMES, "LIST_CHECKSUM"]
    finally:
        sys.modules["_lookup"] = saved


@pytest.mark.skipif(
    not sysconfig.get_config_var("Py_GIL_DISABLED"), reason="needs a free-threaded interpreter"
)
def test_import_keeps_the_interpreter_free_threaded(lookup):
    assert sys._is_gil_enabled() is False


def _module_object(lookup):
    """A new module object of _lookup, created but not yet executed."""
    return importlib.util.module_from_spec(lookup.__spec__)


def _no_all_here(name):
    raise LookupError(f"no {name} here")


@pytest.mark.parametrize("attribute, value, error, message", [
    ("__all__", ("publicsuffix",), TypeError, "'tuple' object is not an instance of 'list'"),
    ("__getattr__", _no_all_here, LookupError, "no __all__ here"),
])
def test_module_setup_fails_with_the_error_of_its_all(lookup, attribute, value, error, message):
    module = _module_object(lookup)
    setattr(module, attribute, value)
    with pytest.raises(error) as raised:
        lookup.__spec__.loader.exec_module(module)
    assert str(raised.value) == message
    assert not set(vars(module)) & {*FUNCTION_NAMES, "LIST_CHECKSUM"}


SETUP_SWEEP = """
import importlib.util, _testcapi
names = list(_lookup.__all__)
outcomes = []
successes_in_a_row = 0
start = 0
# One allocation fails at each place in turn, until setups go through.
while successes_in_a_row < 50:
    module = importlib.util.module_from_spec(_lookup.__spec__)
    _testcapi.set_nomemory(start, start + 1)
    try:
        _lookup.__spec__.loader.exec_module(module)
        error = None
    except BaseException as exc:
        error = exc
    finally:
        _testcapi.remove_mem_hooks()
    successes_in_a_row = 0 if error else successes_in_a_row + 1
    start += 1
    members = [name for name in names if name in vars(module)]
    listed = vars(module).get("__all__")
    # Members added before a failure stay; a name is listed before it is set.
    assert members == names[:len(members)], (start, members)
    assert listed is None or listed in (members, names[:len(members) + 1]), (start, listed)
    if error is None:
        assert members == names, start
    else:
        assert type(error).__name__ in ("MemoryError", "PanicException"), (start, repr(error))
        outcomes.append((type(error).__name__, str(error), len(members)))
print(sorted(set(outcomes)))
"""


def test_module_setup_under_failing_allocations(run_python):
    pytest.importorskip("_testcapi")
    completed = run_python(SETUP_SWEEP, timeout=300)
    assert completed.returncode == 0, completed.stdout + completed.stderr[-3000:]
    outcomes = ast.literal_eval(completed.stdout.strip().splitlines()[-1])
    panics = {(message, members) for kind, message, members in outcomes if kind == "PanicException"}
    assert {message for message, _ in panics} == {
        "could not append __name__ to __all__", "PyObject pointer is null"}
    # The checksum strings, made after the six functions, could not be made;
    # the interpreter's MemoryError went to stderr as unraisable.
    assert ("PyObject pointer is null", len(FUNCTION_NAMES)) in panics
    assert "MemoryError" in completed.stderr
