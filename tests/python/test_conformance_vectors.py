"""The list's own conformance vectors, checkPublicSuffix(domain, expected).

The vectors lowercase the domain and expect the registrable name, so they
are compared with privatesuffix under the default flags.
"""

import ast
import re

import pytest

import support

CALL = re.compile(r"^checkPublicSuffix\((.*)\);\s*$")


def read_vectors():
    vectors = []
    for line in support.require_file(support.VECTORS_FILE).read_text(encoding="utf-8").splitlines():
        line = line.strip()
        match = CALL.match(line)
        if not match:
            assert not line.startswith("checkPublicSuffix"), line
            continue
        domain, expected = ast.literal_eval("(" + match.group(1).replace("null", "None") + ")")
        if domain is None:
            continue
        vectors.append((domain, expected))
    return vectors


VECTORS = read_vectors() if support.VECTORS_FILE.is_file() else []


def test_vectors_were_read():
    support.require_file(support.VECTORS_FILE)
    assert len(VECTORS) > 60
    assert any(expected is None for _, expected in VECTORS)
    assert any(not domain.isascii() for domain, _ in VECTORS)


@pytest.mark.parametrize("domain, expected", VECTORS, ids=[d for d, _ in VECTORS])
def test_vector(lookup, domain, expected):
    assert lookup.privatesuffix(domain) == expected
    assert lookup.is_private(domain) is (expected is not None)
    parts = lookup.privateparts(domain)
    assert (parts[-1] if parts else None) == expected
