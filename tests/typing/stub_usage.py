"""Type-checked (mypy --strict --warn-unused-ignores) against the installed
stub: each assert_type pins a return type, and each ignored line is a call
the stub must refuse; an ignore that is no longer needed fails the check."""

from typing import assert_type

import _lookup

assert_type(_lookup.publicsuffix("www.example.co.uk"), str | None)
assert_type(_lookup.privatesuffix("a.example.com", keep_case=True), str | None)
assert_type(_lookup.is_public("co.uk", accept_unknown=False), bool)
assert_type(_lookup.is_private("example.co.uk", icann_only=True), bool)
assert_type(_lookup.privateparts("a.b.example.com"), tuple[str, ...] | None)
assert_type(_lookup.subdomain("a.b.example.com", 1, keep_case=False), str | None)
assert_type(_lookup.LIST_CHECKSUM, str)
assert_type(_lookup.__all__, list[str])


class Depth:
    def __index__(self) -> int:
        return 2


assert_type(_lookup.subdomain("a.b.c.example.com", Depth()), str | None)

_lookup.publicsuffix("example.com", True)  # type: ignore[call-arg]
_lookup.is_public("example.com", keep_case=True)  # type: ignore[call-arg]
_lookup.is_private(b"example.com")  # type: ignore[arg-type]
_lookup.subdomain("a.example.com")  # type: ignore[call-arg]
_lookup.subdomain("a.example.com", "1")  # type: ignore[arg-type]
_lookup.privateparts("example.com", icann_only=None)  # type: ignore[arg-type]
_lookup.LIST_CHECKSUM = "0" * 64  # type: ignore[misc]
