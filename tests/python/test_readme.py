"""The README's Python examples, run against the module under test."""

import doctest
import re
import textwrap

import pytest

import support

PYTHON_BLOCK = re.compile(r"^( *)```python\n(.*?)^\1```", re.MULTILINE | re.DOTALL)
COLUMN_BLOCK = re.compile(r"\bp[ad]\.|import pyarrow")


def readme_examples(lookup, lookup_psl, columns):
    """The examples of the README's Python blocks: those over Arrow columns
    (which import pyarrow) or all the others. The fixtures import the module
    and the package under test first, so that the README's own imports find
    them; the examples see no other name."""
    path = support.REPO_DIR / "README.md"
    blocks = [textwrap.dedent(match.group(2))
              for match in PYTHON_BLOCK.finditer(path.read_text(encoding="utf-8"))]
    blocks = [block for block in blocks if bool(COLUMN_BLOCK.search(block)) == columns]
    return doctest.DocTestParser().get_doctest(
        "\n".join(blocks), {}, "README.md", str(path), 0)


def run_examples(test):
    report = []
    runner = doctest.DocTestRunner()
    runner.run(test, out=report.append)
    assert runner.failures == 0, "".join(report)


def test_readme_examples_hold(lookup, lookup_psl):
    test = readme_examples(lookup, lookup_psl, columns=False)
    # One example or more for each of the six functions and each flag.
    assert len(test.examples) >= 20
    run_examples(test)


def test_readme_column_examples_hold(lookup, lookup_psl):
    pytest.importorskip("pyarrow")
    pytest.importorskip("pandas")
    test = readme_examples(lookup, lookup_psl, columns=True)
    assert len(test.examples) >= 10
    run_examples(test)
