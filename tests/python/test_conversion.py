"""Conversion of domain, depth and the flags, and the note naming the parameter."""

import pytest

import support
from support import FLAG_NAMES, FUNCTION_NAMES, call, positional_args

U64_MAX = 2**64 - 1

# Quick in-process calls through every path are worth running under valgrind.
pytestmark = pytest.mark.memcheck


def conversion_error(expected_type, parameter, name, *args, **kwargs):
    with pytest.raises(expected_type) as info:
        call(name, *args, **kwargs)
    exc = info.value
    assert type(exc) is expected_type
    assert exc.__notes__ == [f"while processing '{parameter}'"]
    return exc


# Classes whose names appear in messages live at module level, so that their
# qualified name is just their name.
class Outer:
    class Inner:
        pass


class SurrogateNamed:
    pass


SurrogateNamed.__qualname__ = "sn\ud800"


class TestDomainConversion:
    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    @pytest.mark.parametrize(
        "domain, message",
        [
            (b"example.com", "'bytes' object is not an instance of 'str'"),
            (bytearray(b"example.com"), "'bytearray' object is not an instance of 'str'"),
            (None, "'None' is not an instance of 'str'"),
            (5, "'int' object is not an instance of 'str'"),
            (["example.com"], "'list' object is not an instance of 'str'"),
            (Outer.Inner(), "'Outer.Inner' object is not an instance of 'str'"),
            (SurrogateNamed(), "'sn\ufffd\ufffd\ufffd' object is not an instance of 'str'"),
        ],
    )
    def test_not_a_str(self, name, domain, message):
        args = (domain, 0) if name == "subdomain" else (domain,)
        exc = conversion_error(TypeError, "domain", name, *args)
        assert str(exc) == message
        assert exc.args == (message,)

    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    @pytest.mark.parametrize("domain", ["\ud800", "a.\udfff.com", "example.com\udc80"])
    def test_lone_surrogate(self, name, domain):
        exc = conversion_error(UnicodeEncodeError, "domain", name, *positional_args(name, domain))
        assert exc.encoding == "utf-8"
        assert exc.object == domain

    def test_lone_surrogate_in_a_str_subclass(self):
        class Text(str):
            pass

        conversion_error(UnicodeEncodeError, "domain", "privatesuffix", Text("x.\ud834.com"))

    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    def test_domain_by_keyword_gets_the_same_note(self, name):
        kwargs = {"domain": b"example.com"}
        if name == "subdomain":
            kwargs["depth"] = 0
        exc = conversion_error(TypeError, "domain", name, **kwargs)
        assert str(exc) == "'bytes' object is not an instance of 'str'"


class TestStrSubclasses:
    class Plain(str):
        pass

    class Disguised(str):
        # The module must answer from the string's own text, not from what
        # these methods claim.
        def __str__(self):
            return "disguised.example.org"

        def __repr__(self):
            return "disguised"

        def lower(self):
            return "lowered.example.net"

        def __len__(self):
            return 3

        def __eq__(self, other):
            return False

        __hash__ = str.__hash__

    @pytest.mark.parametrize("cls", [Plain, Disguised])
    def test_answered_from_own_text(self, lookup, cls):
        domain = cls("Mail.Example.CO.UK.")
        assert lookup.publicsuffix(domain) == "co.uk"
        assert lookup.publicsuffix(domain, keep_case=True) == "CO.UK"
        assert lookup.privatesuffix(domain, keep_case=True) == "Example.CO.UK"
        assert lookup.privateparts(domain, keep_case=True) == ("Mail", "Example.CO.UK")
        assert lookup.subdomain(domain, 1, keep_case=True) == "Mail.Example.CO.UK"
        assert lookup.is_private(domain) is True
        assert lookup.is_public(cls("CO.UK")) is True

    @pytest.mark.parametrize("cls", [Plain, Disguised])
    def test_results_are_exact_str(self, lookup, cls):
        result = lookup.privatesuffix(cls("a.Example.COM"), keep_case=True)
        assert type(result) is str
        parts = lookup.privateparts(cls("a.Example.COM"), keep_case=True)
        assert type(parts) is tuple
        assert all(type(item) is str for item in parts)


class IndexOf:
    def __init__(self, value):
        self.value = value
        self.calls = 0

    def __index__(self):
        self.calls += 1
        return self.value


class RaisingIndex:
    def __init__(self, exc):
        self.exc = exc

    def __index__(self):
        raise self.exc


class IntWithBrokenIndex(int):
    def __index__(self):
        raise AssertionError("an int subclass is converted without __index__")


class TestDepthConversion:
    @pytest.mark.parametrize("depth", [-1, -(2**70), 2**64, 2**64 + 5, 2**200])
    def test_out_of_range(self, depth):
        conversion_error(OverflowError, "depth", "subdomain", "a.b.example.com", depth)

    @pytest.mark.parametrize(
        "domain",
        ["a.b.example.com", "example.com", "com", "x." * 300 + "com", "", "a..b", "ck", "foo.ck"],
    )
    def test_largest_depth_is_accepted_and_gives_none(self, lookup, domain):
        assert lookup.subdomain(domain, U64_MAX) is None
        assert lookup.subdomain(domain, U64_MAX, accept_unknown=False, keep_case=True) is None
        assert lookup.subdomain(domain, U64_MAX - 1, icann_only=True) is None

    def test_bool_is_an_int(self, lookup):
        assert lookup.subdomain("a.b.example.com", True) == "b.example.com"
        assert lookup.subdomain("a.b.example.com", False) == "example.com"

    def test_int_subclass_is_used_as_an_int(self, lookup):
        assert lookup.subdomain("a.b.example.com", IntWithBrokenIndex(2)) == "a.b.example.com"

    @pytest.mark.parametrize("depth", [1.0, 0.0, "1", None, b"\x01", 1j, [1]])
    def test_non_integers(self, depth):
        conversion_error(TypeError, "depth", "subdomain", "a.b.example.com", depth)

    def test_index_objects(self, lookup):
        one = IndexOf(1)
        assert lookup.subdomain("a.b.example.com", one) == "b.example.com"
        assert one.calls == 1
        assert lookup.subdomain("a.b.example.com", IndexOf(U64_MAX)) is None
        assert lookup.subdomain("a.b.example.com", depth=IndexOf(0)) == "example.com"

    @pytest.mark.parametrize("value", [-1, 2**64])
    def test_index_out_of_range(self, value):
        conversion_error(OverflowError, "depth", "subdomain", "a.b.example.com", IndexOf(value))

    def test_index_returning_a_non_int(self):
        conversion_error(TypeError, "depth", "subdomain", "a.b.example.com", IndexOf("2"))

    @pytest.mark.parametrize("exc_type", [ValueError, KeyError, ZeroDivisionError, RuntimeError])
    def test_index_raising_propagates_its_own_exception(self, exc_type):
        raised = exc_type("from __index__")
        exc = conversion_error(exc_type, "depth", "subdomain", "a.b.example.com", RaisingIndex(raised))
        assert exc is raised
        assert exc.args == ("from __index__",)

    def test_note_is_appended_to_existing_notes(self, lookup):
        raised = ValueError("noted")
        raised.add_note("first note")
        with pytest.raises(ValueError) as info:
            lookup.subdomain("a.example.com", RaisingIndex(raised))
        assert info.value.__notes__ == ["first note", "while processing 'depth'"]

    def test_reentrant_index(self, lookup):

        class Reentrant:
            def __index__(self):
                assert lookup.privatesuffix("x.y.example.co.uk") == "example.co.uk"
                assert lookup.subdomain("x.y.example.co.uk", 1) == "y.example.co.uk"
                with pytest.raises(TypeError):
                    lookup.subdomain("x.y.example.co.uk", "no")
                with pytest.raises(OverflowError):
                    lookup.subdomain("x.y.example.co.uk", IndexOf(-1))
                return 1

        for _ in range(3):
            assert lookup.subdomain("a.b.example.com", Reentrant()) == "b.example.com"
            assert lookup.subdomain("A.B.Example.com", Reentrant(), keep_case=True) == "B.Example.com"

    def test_numpy_integers(self, lookup, numpy):
        assert lookup.subdomain("a.b.example.com", numpy.int64(1)) == "b.example.com"
        assert lookup.subdomain("a.b.example.com", numpy.uint64(U64_MAX)) is None
        assert lookup.subdomain("a.b.example.com", numpy.uint8(2)) == "a.b.example.com"
        conversion_error(OverflowError, "depth", "subdomain", "a.b.example.com", numpy.int64(-1))
        conversion_error(TypeError, "depth", "subdomain", "a.b.example.com", numpy.float64(1.0))


class FlagRaised(Exception):
    pass


def raise_flag(self):
    raise FlagRaised("truth failed")


def assert_refused(name, value, message):
    for flag in FLAG_NAMES[name]:
        exc = conversion_error(TypeError, flag, name, *positional_args(name), **{flag: value})
        assert str(exc) == message


class TestFlagConversion:
    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    @pytest.mark.parametrize(
        "value, message",
        [
            (1, "'int' object is not an instance of 'bool'"),
            (0, "'int' object is not an instance of 'bool'"),
            (None, "'None' is not an instance of 'bool'"),
            ("yes", "'str' object is not an instance of 'bool'"),
            (1.0, "'float' object is not an instance of 'bool'"),
            (Outer.Inner(), "'Outer.Inner' object is not an instance of 'bool'"),
        ],
    )
    def test_refused_values(self, name, value, message):
        assert_refused(name, value, message)

    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    @pytest.mark.parametrize(
        "lookalike, message",
        [
            ({"name": "boolean"}, "'boolean' object is not an instance of 'bool'"),
            ({"module": "numpyx"}, "'bool_' object is not an instance of 'bool'"),
            ({"module": "numpy.core"}, "'bool_' object is not an instance of 'bool'"),
            ({"module": 5}, "'bool_' object is not an instance of 'bool'"),
        ],
        ids=["other-class", "other-module", "submodule", "non-str-module"],
    )
    def test_refused_numpy_lookalikes(self, fake_numpy_bool, name, lookalike, message):
        assert_refused(name, fake_numpy_bool(lambda self: True, **lookalike)(), message)

    @pytest.mark.parametrize("kind", ["bool_", "bool", "inherited-truth"])
    def test_numpy_like_booleans_take_effect(self, lookup, fake_numpy_bool, kind):
        if kind == "inherited-truth":
            cls = fake_numpy_bool(bases=(int,))
            true, false = cls(1), cls(0)
        else:
            true = fake_numpy_bool(lambda self: True, name=kind)()
            false = fake_numpy_bool(lambda self: False, name=kind)()
        self.check_flag_effects(lookup, true, false)

    def test_real_numpy_booleans_take_effect(self, lookup, numpy):
        self.check_flag_effects(lookup, numpy.True_, numpy.False_)
        self.check_flag_effects(lookup, numpy.bool_(True), numpy.bool_(False))
        if int(numpy.__version__.split(".")[0]) >= 2:
            self.check_flag_effects(lookup, numpy.bool(1), numpy.bool(0))

    @staticmethod
    def check_flag_effects(lookup, true, false):
        private = support.private_rule_under_com()
        assert lookup.publicsuffix("example.test", accept_unknown=false) is None
        assert lookup.publicsuffix("example.test", accept_unknown=true) == "test"
        assert lookup.is_private("example.test", accept_unknown=false) is False
        assert lookup.publicsuffix("x." + private, icann_only=true) == "com"
        assert lookup.publicsuffix("x." + private, icann_only=false) == private
        assert lookup.is_public(private, icann_only=true) is False
        assert lookup.is_public(private, icann_only=false) is True
        assert lookup.privatesuffix("A.Example.COM", keep_case=true) == "Example.COM"
        assert lookup.privatesuffix("A.Example.COM", keep_case=false) == "example.com"
        assert lookup.subdomain("A.Example.COM", 1, keep_case=true, accept_unknown=false) == "A.Example.COM"

    def test_reentrant_truth_method(self, lookup, fake_numpy_bool):
        def truth(self):
            assert lookup.privateparts("a.b.Example.CO.UK", keep_case=True) == ("a", "b", "Example.CO.UK")
            with pytest.raises(TypeError):
                lookup.publicsuffix("x.com", keep_case=1)
            return True

        flag = fake_numpy_bool(truth)()
        for _ in range(3):
            assert lookup.privatesuffix("A.Example.COM", keep_case=flag) == "Example.COM"
            assert lookup.is_public("example.test", accept_unknown=flag, icann_only=flag) is False

    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    def test_truth_method_raising(self, fake_numpy_bool, name):
        raising = fake_numpy_bool(raise_flag)
        for flag in FLAG_NAMES[name]:
            exc = conversion_error(FlagRaised, flag, name, *positional_args(name), **{flag: raising()})
            assert exc.args == ("truth failed",)

    def test_truth_method_with_wrong_result(self, fake_numpy_bool):
        wrong = fake_numpy_bool(lambda self: 1, name="bool")()
        conversion_error(TypeError, "keep_case", "publicsuffix", "example.com", keep_case=wrong)

    @pytest.mark.parametrize("class_name", ["bool", "bool_"])
    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    def test_numpy_class_without_truth(self, fake_numpy_bool, name, class_name):
        cls = fake_numpy_bool(name=class_name)
        for flag in FLAG_NAMES[name]:
            exc = conversion_error(TypeError, flag, name, *positional_args(name), **{flag: cls()})
            assert str(exc) == f"object of type '{cls}' does not define a '__bool__' conversion"
            assert str(exc) == (
                f"object of type '<class 'numpy.{cls.__name__}'>' does not define a '__bool__' conversion"
            )


class TestConversionOrder:
    def test_domain_before_flags(self):
        exc = conversion_error(TypeError, "domain", "publicsuffix", b"x", accept_unknown=1, keep_case=None)
        assert str(exc) == "'bytes' object is not an instance of 'str'"

    def test_domain_before_depth(self):
        depth = IndexOf(1)
        conversion_error(TypeError, "domain", "subdomain", None, depth)
        assert depth.calls == 0

    def test_depth_before_flags(self):
        conversion_error(OverflowError, "depth", "subdomain", "a.com", -1, accept_unknown=1)

    def test_flags_in_parameter_order_not_keyword_order(self):
        exc = conversion_error(TypeError, "icann_only", "publicsuffix", "a.com", keep_case=1, icann_only=None)
        assert str(exc) == "'None' is not an instance of 'bool'"
        exc = conversion_error(TypeError, "accept_unknown", "subdomain", "a.com", 0, keep_case=1, icann_only=1, accept_unknown="x")
        assert str(exc) == "'str' object is not an instance of 'bool'"
        conversion_error(TypeError, "keep_case", "privateparts", "a.com", keep_case=1, icann_only=False)

    def test_later_conversions_do_not_run_after_a_failure(self, lookup, fake_numpy_bool):
        seen = []
        cls = fake_numpy_bool(lambda self: seen.append(1) or True)
        conversion_error(TypeError, "accept_unknown", "privatesuffix", "a.com", keep_case=cls(), accept_unknown=0)
        conversion_error(OverflowError, "depth", "subdomain", "a.com", -1, keep_case=cls())
        assert seen == []
        lookup.privatesuffix("a.com", keep_case=cls(), icann_only=cls())
        assert seen == [1, 1]
