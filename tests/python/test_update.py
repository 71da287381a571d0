"""python -m lookup_psl update against a local HTTP server: a good list is
written in place of the old one with a report; a list that fails to build,
a truncated transfer and a server error each leave the old file as it was."""

import http.server
import os
import subprocess
import sys
import threading
import time

import pytest

import support

pytestmark = pytest.mark.slow

OLD_LIST = (b"// ===BEGIN ICANN DOMAINS===\ncom\nuk\nco.uk\n// ===END ICANN DOMAINS===\n"
            b"// ===BEGIN PRIVATE DOMAINS===\nblogspot.com\n// ===END PRIVATE DOMAINS===\n")

VERSIONED_LIST = (b"// VERSION: 2025-06-01\n// COMMIT: abc123\n"
                  b"// ===BEGIN ICANN DOMAINS===\ncom\nnet\norg\nco.uk\n// ===END ICANN DOMAINS===\n"
                  b"// ===BEGIN PRIVATE DOMAINS===\nblogspot.com\ngone.example\n// ===END PRIVATE DOMAINS===\n")


def served_bodies():
    good = support.require_file(support.LIST_FILE).read_bytes()
    return {
        "/good.dat": (200, good, len(good)),
        "/versioned.dat": (200, VERSIONED_LIST, None),
        "/broken.dat": (200, OLD_LIST.replace(b"co.uk", b"co..uk"), None),
        "/truncated.dat": (200, good[: len(good) // 2], len(good)),
        "/error.dat": (500, b"internal error", None),
        "/no-rules.dat": (200, b"", None),
        "/announced-huge.dat": (200, good, 17 * 1024 * 1024),
    }


# Bodies that never end: (chunk, pause) a megabyte at a time, or a byte now
# and then, so that each read gets something and none times out.
STREAMED = {"/endless.dat": (b"com\n" * 256 * 1024, 0), "/trickle.dat": (b"c", 0.2)}


@pytest.fixture(scope="module")
def server():
    bodies = served_bodies()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            if self.path in STREAMED:
                self.send_response(200)
                self.end_headers()
                chunk, pause = STREAMED[self.path]
                try:
                    while True:
                        self.wfile.write(chunk)
                        time.sleep(pause)
                except OSError:  # the client gave up
                    return
            status, body, length = bodies.get(self.path, (404, b"not found", None))
            self.send_response(status)
            self.send_header("Content-Length", str(length if length is not None else len(body)))
            self.end_headers()
            self.wfile.write(body)  # a short body under a longer Content-Length is a cut transfer
            self.close_connection = True

        def log_message(self, *args):
            pass

    httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    thread = threading.Thread(target=httpd.serve_forever, daemon=True)
    thread.start()
    yield f"http://127.0.0.1:{httpd.server_address[1]}"
    httpd.shutdown()
    httpd.server_close()


def run_update(*args, env=None):
    environment = dict(os.environ, PYTHONPATH=str(support.MODULE_DIR), **(env or {}))
    return subprocess.run([sys.executable, "-m", "lookup_psl", "update", *args], capture_output=True, text=True,
                          env=environment, timeout=120)


def test_good_list_replaces_the_old_one_and_reports(server, tmp_path, lookup_psl):
    output = tmp_path / "lists" / "psl.dat"
    first = run_update("--url", f"{server}/versioned.dat", "--output", str(output))
    assert first.returncode == 0, first.stderr
    assert "changes   no earlier copy" in first.stdout
    assert "version   2025-06-01" in first.stdout and "commit    abc123" in first.stdout
    assert "rules     4 ICANN, 2 private" in first.stdout

    done = run_update("--url", f"{server}/good.dat", "--output", str(output))
    assert done.returncode == 0, done.stderr
    good = support.LIST_FILE.read_bytes()
    assert output.read_bytes() == good
    built = lookup_psl.SuffixList.from_file(output)
    assert f"checksum  {built.checksum}" in done.stdout
    assert f"rules     {built.icann_rules} ICANN, {built.private_rules} private" in done.stdout
    # Against the versioned list: all but its first five rules are new, and
    # gone.example is gone.
    assert f"changes   {built.icann_rules + built.private_rules - 5} added, 1 removed" in done.stdout
    assert sorted(path.name for path in output.parent.iterdir()) == ["psl.dat"]


@pytest.mark.parametrize("path, reason", [  # the path, then any options
    ("/broken.dat", "does not build: line 4: \"co..uk\": empty label"),
    ("/truncated.dat", "IncompleteRead"),
    ("/error.dat", "HTTP 500"),
    ("/no-rules.dat", "holds no ICANN rules"),
    ("/announced-huge.dat", "is 17825792 bytes, more than --max-bytes 16777216"),
    ("/endless.dat", "passed --max-bytes 16777216"),
    ("/endless.dat --max-bytes 1000", "passed --max-bytes 1000"),
    ("/trickle.dat --deadline 1", "had not ended after --deadline 1 s"),
])
def test_failures_leave_the_old_file(server, tmp_path, path, reason):
    output = tmp_path / "psl.dat"
    output.write_bytes(OLD_LIST)
    path, *options = path.split()
    failed = run_update("--url", server + path, "--output", str(output), *options)
    assert failed.returncode == 1
    assert reason in failed.stderr and f"{output} is unchanged" in failed.stderr
    assert failed.stdout == ""
    assert output.read_bytes() == OLD_LIST
    assert sorted(entry.name for entry in tmp_path.iterdir()) == ["psl.dat"]


def test_default_output_follows_xdg(server, tmp_path):
    done = run_update("--url", f"{server}/versioned.dat", env={"XDG_DATA_HOME": str(tmp_path / "data")})
    assert done.returncode == 0, done.stderr
    assert (tmp_path / "data" / "lookup-psl" / "public_suffix_list.dat").read_bytes().startswith(b"// VERSION")
    home = run_update("--url", f"{server}/versioned.dat", env={"XDG_DATA_HOME": "relative", "HOME": str(tmp_path)})
    assert home.returncode == 0, home.stderr
    assert (tmp_path / ".local" / "share" / "lookup-psl" / "public_suffix_list.dat").is_file()


def test_no_download_without_the_command(run_python):
    # Importing the package and using it opens no socket.
    script = """
import socket
def refuse(*args, **kwargs):
    raise AssertionError("a socket was opened")
socket.socket.connect = refuse
socket.create_connection = refuse
import lookup_psl
lookup_psl.SuffixList.from_bytes(b"").privatesuffix("a.example.com")
lookup_psl.privatesuffix("a.example.com")
print("DONE")
"""
    completed = run_python(script)
    assert completed.returncode == 0 and "DONE" in completed.stdout, completed.stderr
