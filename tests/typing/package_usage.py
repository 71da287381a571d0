"""Type-checked (mypy --strict --warn-unused-ignores) against the installed
lookup_psl package: each assert_type pins a type, and each ignored line is a
call the stubs must refuse; an ignore that is no longer needed fails the
check."""

import pathlib
from typing import assert_type

import lookup_psl
from lookup_psl import SuffixList

assert_type(lookup_psl.privatesuffix("a.example.co.uk"), str | None)
assert_type(lookup_psl.LIST_CHECKSUM, str)
assert_type(lookup_psl.privatesuffix_batch(["a.example.co.uk"], threads=2), list[str | None])
assert_type(lookup_psl.is_public_batch(("com",), icann_only=True), list[bool])
assert_type(lookup_psl.privateparts_batch(iter(["a.b.example.com"])), list[tuple[str, ...] | None])

rules = SuffixList.from_bytes(b"", extra_rules=["example.com"])
from_path = SuffixList.from_file(pathlib.Path("public_suffix_list.dat"), extra_rules=("example.org",))
assert_type(rules, SuffixList)
assert_type(SuffixList.from_file("public_suffix_list.dat"), SuffixList)
assert_type(rules.checksum, str)
assert_type(rules.version, str | None)
assert_type(rules.commit, str | None)
assert_type(rules.extra_rules, tuple[str, ...])
assert_type(rules.icann_rules + rules.private_rules, int)
assert_type(rules.publicsuffix("www.example.com", keep_case=True), str | None)
assert_type(rules.privatesuffix("www.example.com", icann_only=True), str | None)
assert_type(rules.is_public("com", accept_unknown=False), bool)
assert_type(rules.is_private("example.com"), bool)
assert_type(rules.privateparts("a.b.example.com"), tuple[str, ...] | None)
assert_type(rules.subdomain("a.b.example.com", 1), str | None)
assert_type(rules.subdomain_batch(["a.b.example.com"], 1, keep_case=True), list[str | None])
assert_type(rules.is_private_batch([], threads=1), list[bool])

SuffixList.from_bytes("text")  # type: ignore[arg-type]
SuffixList.from_bytes(b"", ["example.com"])  # type: ignore[call-arg]
rules.is_public("com", keep_case=True)  # type: ignore[call-arg]
rules.publicsuffix_batch(["a.com"], 2)  # type: ignore[call-arg]
lookup_psl.subdomain_batch([b"a.com"], 0)  # type: ignore[list-item]
rules.checksum = "0" * 64  # type: ignore[misc]


class Column:
    """Any producer of the Arrow PyCapsule protocol (pyarrow is not typed)."""

    def __arrow_c_array__(self, requested_schema: object | None = None) -> tuple[object, object]:
        return (object(), object())


class Stream:
    def __arrow_c_stream__(self, requested_schema: object | None = None) -> object:
        return object()


assert_type(lookup_psl.privatesuffix_arrow(Column(), threads=2, keep_case=True), lookup_psl.ArrowAnswers)
assert_type(rules.subdomain_arrow(Stream(), 1, icann_only=True), lookup_psl.ArrowAnswerStream)
assert_type(rules.is_public_arrow(Column()).__arrow_c_array__(), tuple[object, object])
lookup_psl.privatesuffix_arrow(["a.example.com"])  # type: ignore[call-overload]
rules.is_private_arrow(Column(), keep_case=True)  # type: ignore[call-overload]
