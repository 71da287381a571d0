"""Binding of positional and keyword arguments, and the call-shape TypeErrors."""

import pytest

from support import FUNCTION_NAMES, call, positional_args

ONE_POSITIONAL = [n for n in FUNCTION_NAMES if n != "subdomain"]

# Quick in-process calls through every path are worth running under valgrind.
pytestmark = pytest.mark.memcheck


def raises_binding_error(name, *args, **kwargs):
    with pytest.raises(TypeError) as info:
        call(name, *args, **kwargs)
    exc = info.value
    # Call-shape errors name no parameter.
    assert getattr(exc, "__notes__", None) is None
    return str(exc)


class TestMissingArguments:
    @pytest.mark.parametrize("name", ONE_POSITIONAL)
    def test_no_arguments(self, name):
        assert raises_binding_error(name) == (
            f"{name}() missing 1 required positional argument: 'domain'"
        )

    @pytest.mark.parametrize("name", ONE_POSITIONAL)
    def test_only_flags(self, name):
        assert raises_binding_error(name, icann_only=True) == (
            f"{name}() missing 1 required positional argument: 'domain'"
        )

    def test_subdomain_without_arguments(self):
        assert raises_binding_error("subdomain") == (
            "subdomain() missing 2 required positional arguments: 'domain' and 'depth'"
        )

    def test_subdomain_without_depth(self):
        assert raises_binding_error("subdomain", "a.example.com") == (
            "subdomain() missing 1 required positional argument: 'depth'"
        )

    def test_subdomain_with_depth_keyword_only(self):
        assert raises_binding_error("subdomain", depth=1) == (
            "subdomain() missing 1 required positional argument: 'domain'"
        )

    def test_subdomain_with_flags_only(self):
        assert raises_binding_error("subdomain", keep_case=True, accept_unknown=False) == (
            "subdomain() missing 2 required positional arguments: 'domain' and 'depth'"
        )


class TestTooManyPositional:
    @pytest.mark.parametrize("name", ONE_POSITIONAL)
    @pytest.mark.parametrize(
        "count, verb", [(2, "were"), (3, "were"), (5, "were")]
    )
    def test_one_positional_parameter(self, name, count, verb):
        args = ("example.com",) + (True,) * (count - 1)
        assert raises_binding_error(name, *args) == (
            f"{name}() takes 1 positional arguments but {count} {verb} given"
        )

    def test_subdomain(self):
        assert raises_binding_error("subdomain", "a.example.com", 0, True) == (
            "subdomain() takes 2 positional arguments but 3 were given"
        )

    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    def test_wins_over_unknown_keyword(self, name):
        args = positional_args(name) + (False,)
        assert raises_binding_error(name, *args, bogus=1) == (
            f"{name}() takes {len(args) - 1} positional arguments but {len(args)} were given"
        )

    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    def test_wins_over_duplicate_keyword(self, name):
        args = positional_args(name) + (False,)
        assert raises_binding_error(name, *args, domain="x.com") == (
            f"{name}() takes {len(args) - 1} positional arguments but {len(args)} were given"
        )


class TestUnexpectedKeyword:
    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    @pytest.mark.parametrize("keyword", ["bogus", "Domain", "keep_case_", "accept", "", "é"])
    def test_unknown_name(self, name, keyword):
        assert raises_binding_error(name, *positional_args(name), **{keyword: True}) == (
            f"{name}() got an unexpected keyword argument '{keyword}'"
        )

    @pytest.mark.parametrize("name", ["is_public", "is_private"])
    def test_predicates_have_no_keep_case(self, name):
        assert raises_binding_error(name, "example.com", keep_case=True) == (
            f"{name}() got an unexpected keyword argument 'keep_case'"
        )

    @pytest.mark.parametrize("name", ONE_POSITIONAL)
    def test_depth_only_belongs_to_subdomain(self, name):
        assert raises_binding_error(name, "example.com", depth=0) == (
            f"{name}() got an unexpected keyword argument 'depth'"
        )

    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    def test_lone_surrogate_keyword_is_shown_with_replacement_characters(self, name):
        keyword = "ab\ud800cd"
        shown = keyword.encode("utf-8", "surrogatepass").decode("utf-8", "replace")
        assert shown == "ab\ufffd\ufffd\ufffdcd"
        assert raises_binding_error(name, *positional_args(name), **{keyword: 1}) == (
            f"{name}() got an unexpected keyword argument '{shown}'"
        )

    def test_lone_surrogate_keyword_raises_no_unicode_error(self, lookup):
        with pytest.raises(TypeError) as info:
            lookup.publicsuffix("example.com", **{"\udcff": 1})
        assert type(info.value) is TypeError
        assert info.value.__context__ is None

    def test_keyword_is_shown_through_its_str(self):
        class ShownAs(str):
            def __str__(self):
                return "shown-name"

        assert raises_binding_error("publicsuffix", "example.com", **{ShownAs("hidden"): 1}) == (
            "publicsuffix() got an unexpected keyword argument 'shown-name'"
        )

    def test_keyword_whose_str_fails_is_reported_unraisable(self, monkeypatch):
        seen = []
        monkeypatch.setattr("sys.unraisablehook", seen.append)
        name = UnprintableName("hidden")
        message = raises_binding_error("publicsuffix", "example.com", **{name: 1})
        assert message == (
            "publicsuffix() got an unexpected keyword argument '<unprintable UnprintableName object>'"
        )
        assert len(seen) == 1
        assert type(seen[0].exc_value) is LookupError
        assert seen[0].object is name

    def test_keyword_names_match_by_text_not_identity(self, lookup):
        # A str subclass with the same text binds like the plain name.
        class Name(str):
            pass

        assert lookup.publicsuffix("A.Example.COM", **{Name("keep_case"): True}) == "COM"
        assert lookup.subdomain(**{Name("domain"): "a.b.com", Name("depth"): 1}) == "a.b.com"

    def test_first_bad_keyword_in_order_wins(self):
        assert raises_binding_error("publicsuffix", "example.com", bogus=1, domain="x") == (
            "publicsuffix() got an unexpected keyword argument 'bogus'"
        )
        assert raises_binding_error("publicsuffix", "example.com", domain="x", bogus=1) == (
            "publicsuffix() got multiple values for argument 'domain'"
        )

    def test_reported_before_a_missing_argument(self):
        assert raises_binding_error("subdomain", bogus=1) == (
            "subdomain() got an unexpected keyword argument 'bogus'"
        )

    def test_reported_before_any_conversion(self):
        assert raises_binding_error("publicsuffix", b"example.com", bogus=1) == (
            "publicsuffix() got an unexpected keyword argument 'bogus'"
        )


class UnprintableName(str):
    def __str__(self):
        raise LookupError("no text")


class TestMultipleValues:
    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    def test_domain_by_position_and_keyword(self, name):
        assert raises_binding_error(name, *positional_args(name), domain="x.com") == (
            f"{name}() got multiple values for argument 'domain'"
        )

    def test_depth_by_position_and_keyword(self):
        assert raises_binding_error("subdomain", "a.b.com", 0, depth=1) == (
            "subdomain() got multiple values for argument 'depth'"
        )

    def test_reported_before_conversion(self):
        assert raises_binding_error("subdomain", None, -1, domain=b"", accept_unknown=3) == (
            "subdomain() got multiple values for argument 'domain'"
        )


class TestFlagsArePositionalNowhere:
    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    def test_flag_by_position(self, name):
        args = positional_args(name, "example.test") + (False,)
        with pytest.raises(TypeError, match=r"positional arguments but \d were given"):
            call(name, *args)


class TestKeywordBinding:
    @pytest.mark.parametrize("name", ONE_POSITIONAL)
    def test_domain_by_keyword(self, name):
        assert call(name, domain="a.b.Example.CO.UK") == call(name, "a.b.Example.CO.UK")

    def test_subdomain_keywords_in_either_order(self, lookup):
        expected = "b.example.co.uk"
        assert lookup.subdomain("a.b.example.co.uk", 1) == expected
        assert lookup.subdomain(domain="a.b.example.co.uk", depth=1) == expected
        assert lookup.subdomain(depth=1, domain="a.b.example.co.uk") == expected
        assert lookup.subdomain("a.b.example.co.uk", depth=1) == expected
        assert lookup.subdomain(keep_case=True, depth=1, domain="A.B.Example.CO.UK") == "B.Example.CO.UK"

    def test_flags_in_any_order(self, lookup):
        a = lookup.publicsuffix("x.Example.TEST", keep_case=True, accept_unknown=False, icann_only=True)
        b = lookup.publicsuffix("x.Example.TEST", icann_only=True, keep_case=True, accept_unknown=False)
        assert a is None and b is None
        assert lookup.publicsuffix("x.Example.TEST", icann_only=True, keep_case=True) == "TEST"

    @pytest.mark.parametrize("name", FUNCTION_NAMES)
    def test_empty_keyword_dict_is_no_keyword(self, name):
        assert call(name, *positional_args(name), **{}) == call(name, *positional_args(name))
