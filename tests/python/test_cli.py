"""The command-line tool, run as a subprocess against the module under test:
answers, flags, inputs, output formats, exit statuses and streaming."""

import json
import os
import subprocess
import sys

import pytest

import support

# The installed command when LOOKUP_CLI_COMMAND names it, else the script.
CLI_COMMAND = ([os.environ["LOOKUP_CLI_COMMAND"]] if os.environ.get("LOOKUP_CLI_COMMAND")
               else [sys.executable, str(support.REPO_DIR / "python" / "lookup_psl_cli.py")])
DOMAINS = ("www.example.co.uk", "co.uk", "a.b.example.com", "Mail.Example.CO.UK.",
           "example.unknowntld", "foo.kawasaki.jp", "city.kawasaki.jp", "a..b",
           "www.blogspot.com", "bücher.example.de")


def run_cli(*args, stdin=b"", env_extra=None):
    env = dict(os.environ, LOOKUP_MODULE_DIR=str(support.MODULE_DIR))
    env.update(env_extra or {})
    return subprocess.run([*CLI_COMMAND, *args], input=stdin,
                          capture_output=True, env=env, timeout=120)


def ok_lines(*args, stdin=b""):
    completed = run_cli(*args, stdin=stdin)
    assert completed.returncode == 0, completed.stderr.decode()
    assert completed.stderr == b""
    return completed.stdout.decode("utf-8", "surrogateescape").splitlines()


@pytest.fixture(scope="module")
def expected_row(lookup):
    """The line the tool should print for one domain, made of the module's answers."""

    def column(value):
        if value is None:
            return "-"
        return ",".join(value) if isinstance(value, tuple) else value

    def row(domain, depth=None, **flags):
        columns = [domain, column(lookup.publicsuffix(domain, **flags)),
                   column(lookup.privatesuffix(domain, **flags)),
                   column(lookup.privateparts(domain, **flags))]
        if depth is not None:
            columns.append(column(lookup.subdomain(domain, depth, **flags)))
        return "\t".join(columns)

    return row


class TestAnswers:
    def test_columns_of_one_domain(self):
        assert ok_lines("www.example.co.uk") == [
            "www.example.co.uk\tco.uk\texample.co.uk\twww,example.co.uk"]

    def test_no_answer_is_a_dash(self):
        assert ok_lines("co.uk", "a..b") == ["co.uk\tco.uk\t-\t-", "a..b\t-\t-\t-"]

    def test_every_domain_matches_the_module(self, expected_row):
        assert ok_lines(*DOMAINS) == [expected_row(d) for d in DOMAINS]

    @pytest.mark.parametrize("option, flags", [
        ("--icann-only", {"icann_only": True}),
        ("--no-accept-unknown", {"accept_unknown": False}),
        ("--keep-case", {"keep_case": True}),
    ])
    def test_each_flag_reaches_the_module(self, expected_row, option, flags):
        expected = [expected_row(d, **flags) for d in DOMAINS]
        # The domains must tell the flag apart from the default, or this
        # would pass with the flag ignored.
        assert expected != [expected_row(d) for d in DOMAINS]
        assert ok_lines(option, *DOMAINS) == expected

    def test_flags_combine(self, expected_row):
        flags = {"icann_only": True, "accept_unknown": False, "keep_case": True}
        assert ok_lines("--icann-only", "--no-accept-unknown", "--keep-case", *DOMAINS) == [
            expected_row(d, **flags) for d in DOMAINS]

    @pytest.mark.parametrize("depth", [0, 1, 2, 5])
    def test_depth_adds_the_subdomain_column(self, expected_row, depth):
        domains = ("a.b.c.example.co.uk", "x.example.com", "co.uk")
        lines = ok_lines("--depth", str(depth), *domains)
        assert lines == [expected_row(d, depth=depth) for d in domains]
        assert all(line.count("\t") == 4 for line in lines)

    def test_domain_starting_with_a_dash_after_double_dash(self, expected_row):
        assert ok_lines("--", "-x.example.com") == [expected_row("-x.example.com")]


class TestInputs:
    def test_standard_input_when_nothing_else_is_given(self, expected_row):
        stdin = "".join(d + "\n" for d in DOMAINS).encode()
        assert ok_lines(stdin=stdin) == [expected_row(d) for d in DOMAINS]

    def test_blank_lines_skipped_and_line_ends_stripped(self, expected_row):
        stdin = b"\n  www.example.co.uk \r\n\r\n\tco.uk\nlast.example.com"
        assert ok_lines(stdin=stdin) == [expected_row("www.example.co.uk"),
                                         expected_row("co.uk"),
                                         expected_row("last.example.com")]

    def test_arguments_then_files_in_order_with_dash_for_stdin(self, expected_row, tmp_path):
        first, second = tmp_path / "first.txt", tmp_path / "second.txt"
        first.write_text("a.example.com\nb.example.com\n")
        second.write_text("c.example.com\n")
        lines = ok_lines("arg.example.com", "-f", str(first), "--file", "-", "-f", str(second),
                         stdin=b"stdin.example.com\n")
        domains = ["arg.example.com", "a.example.com", "b.example.com", "stdin.example.com",
                   "c.example.com"]
        assert lines == [expected_row(d) for d in domains]

    def test_arguments_alone_do_not_read_stdin(self, expected_row):
        assert ok_lines("example.com", stdin=b"other.example.com\n") == [
            expected_row("example.com")]

    def test_bytes_that_are_not_utf8_are_echoed_without_answers(self, expected_row):
        completed = run_cli(stdin=b"caf\xe9.example.com\nexample.com\n")
        assert completed.returncode == 0
        assert completed.stdout == (b"caf\xe9.example.com\t-\t-\t-\n"
                                    + expected_row("example.com").encode() + b"\n")


class TestOutputFormats:
    def test_header_names_the_columns(self, expected_row):
        assert ok_lines("--header", "example.com")[0] == \
            "domain\tpublicsuffix\tprivatesuffix\tprivateparts"
        assert ok_lines("--header", "--depth", "0", "example.com") == [
            "domain\tpublicsuffix\tprivatesuffix\tprivateparts\tsubdomain",
            expected_row("example.com", depth=0)]

    def test_header_with_no_domains(self):
        assert ok_lines("--header", stdin=b"") == [
            "domain\tpublicsuffix\tprivatesuffix\tprivateparts"]

    def test_separators_inside_a_domain_are_escaped(self):
        lines = ok_lines("a\tb.example.com", "back\\slash.com", "new\nline.com")
        assert lines[0].split("\t")[0] == "a\\tb.example.com"
        assert lines[1].split("\t")[:3] == ["back\\\\slash.com", "com", "back\\\\slash.com"]
        assert lines[2].split("\t")[0] == "new\\nline.com"
        assert [line.count("\t") for line in lines] == [3, 3, 3]

    def test_json_lines_hold_the_module_answers(self, lookup):
        lines = ok_lines("--json", "--depth", "1", "--keep-case", *DOMAINS)
        assert len(lines) == len(DOMAINS)
        for domain, line in zip(DOMAINS, lines):
            record = json.loads(line)
            parts = lookup.privateparts(domain, keep_case=True)
            assert record == {
                "domain": domain,
                "publicsuffix": lookup.publicsuffix(domain, keep_case=True),
                "privatesuffix": lookup.privatesuffix(domain, keep_case=True),
                "privateparts": None if parts is None else list(parts),
                "subdomain": lookup.subdomain(domain, 1, keep_case=True),
            }

    def test_json_keeps_unicode_and_stays_utf8_for_undecodable_bytes(self):
        completed = run_cli("--json", "-f", "-", stdin="bücher.de\n".encode() + b"x\xff.com\n")
        assert completed.returncode == 0
        first, second = completed.stdout.decode("utf-8").splitlines()
        assert '"bücher.de"' in first
        assert json.loads(second) == {"domain": "x\udcff.com", "publicsuffix": None,
                                      "privatesuffix": None, "privateparts": None}


class TestExitStatus:
    def test_help_lists_every_option(self):
        completed = run_cli("--help")
        assert completed.returncode == 0
        text = completed.stdout.decode()
        for option in ("--file", "--header", "--json", "--depth", "--icann-only",
                       "--no-accept-unknown", "--keep-case", "exit status"):
            assert option in text

    def test_unreadable_file_is_reported_and_the_rest_processed(self, expected_row, tmp_path):
        good = tmp_path / "good.txt"
        good.write_text("example.com\n")
        missing = tmp_path / "missing.txt"
        completed = run_cli("-f", str(missing), "-f", str(tmp_path), "-f", str(good))
        assert completed.returncode == 1
        stderr = completed.stderr.decode()
        assert f"cannot read '{missing}': No such file or directory" in stderr
        assert f"cannot read '{tmp_path}': Is a directory" in stderr
        assert completed.stdout.decode().splitlines() == [expected_row("example.com")]

    @pytest.mark.parametrize("args, message", [
        (["--no-such-option"], "unrecognized arguments: --no-such-option"),
        (["--depth", "-1", "x.com"], "out of range"),
        (["--depth", "two", "x.com"], "not a whole number: 'two'"),
        (["--depth", str(2**64), "x.com"], "out of range"),
        (["--depth"], "expected one argument"),
        (["--header", "--json", "x.com"], "--header applies to the tab-separated output"),
        (["-f"], "expected one argument"),
    ])
    def test_bad_usage(self, args, message):
        completed = run_cli(*args)
        assert completed.returncode == 2
        assert completed.stdout == b""
        stderr = completed.stderr.decode()
        assert stderr.startswith("usage:") and message in stderr

    def test_largest_depth_is_accepted(self, expected_row):
        assert ok_lines("--depth", str(2**64 - 1), "a.example.com") == [
            expected_row("a.example.com", depth=2**64 - 1)]

    def test_missing_module_is_reported(self, tmp_path):
        completed = run_cli("example.com", env_extra={"LOOKUP_MODULE_DIR": str(tmp_path),
                                                      "PYTHONPATH": "", "PYTHONNOUSERSITE": "1"})
        if completed.returncode == 0:
            pytest.skip("an installed _lookup is importable from outside LOOKUP_MODULE_DIR")
        assert completed.returncode == 1
        assert "cannot import _lookup" in completed.stderr.decode()

    def test_closed_reader_ends_quietly(self):
        process = subprocess.Popen(
            CLI_COMMAND, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, env=dict(os.environ, LOOKUP_MODULE_DIR=str(support.MODULE_DIR)))
        process.stdout.close()
        _, stderr = process.communicate(b"example.com\n" * 200_000, timeout=120)
        assert stderr == b""


def peak_rss_kib(line_count):
    """Peak resident size of the CLI over a generated stream of line_count
    domains, read from a pipe."""
    generator = subprocess.Popen(
        [sys.executable, "-c",
         "import sys\n"
         f"for i in range({line_count}):\n"
         "    sys.stdout.write(f'host{i}.sub{i % 97}.example{i % 1009}.co.uk\\n')\n"],
        stdout=subprocess.PIPE)
    cli = subprocess.Popen([*CLI_COMMAND, "--json"], stdin=generator.stdout,
                           stdout=subprocess.DEVNULL,
                           env=dict(os.environ, LOOKUP_MODULE_DIR=str(support.MODULE_DIR)))
    generator.stdout.close()
    _, status, usage = os.wait4(cli.pid, 0)
    cli.returncode = os.waitstatus_to_exitcode(status)
    assert generator.wait() == 0
    assert cli.returncode == 0
    return usage.ru_maxrss


@pytest.mark.slow
@pytest.mark.process_memory
def test_memory_stays_flat_over_a_long_stream():
    small, large = peak_rss_kib(10_000), peak_rss_kib(400_000)
    # Holding the input or the output would cost tens of megabytes here.
    assert large - small < 8 * 1024, (small, large)
