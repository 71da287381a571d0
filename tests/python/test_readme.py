"""The README's Python examples, run against the module under test."""

import doctest
import re
import textwrap

import support

PYTHON_BLOCK = re.compile(r"^( *)```python\n(.*?)^\1```", re.MULTILINE | re.DOTALL)


def test_readme_examples_hold(lookup, lookup_psl):
    # The fixtures import the module and the package under test first, so
    # that the README's own imports find them; the examples see no other name.
    path = support.REPO_DIR / "README.md"
    blocks = [textwrap.dedent(match.group(2))
              for match in PYTHON_BLOCK.finditer(path.read_text(encoding="utf-8"))]
    test = doctest.DocTestParser().get_doctest("\n".join(blocks), {}, "README.md", str(path), 0)
    # One example or more for each of the six functions and each flag.
    assert len(test.examples) >= 20
    report = []
    runner = doctest.DocTestRunner()
    runner.run(test, out=report.append)
    assert runner.failures == 0, "".join(report)
