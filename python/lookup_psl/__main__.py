"""python -m lookup_psl update [--url URL] [--output PATH] [--max-bytes N] [--deadline SECONDS]

Downloads the Public Suffix List, builds it to check it, and writes it in
place of the old copy only when all of that worked: the new file goes to a
temporary name beside the old one and is renamed over it, so the old file
stays on any failure. A download larger than --max-bytes, or one that has
not ended by --deadline, is such a failure. Prints the new list's checksum, version, rule counts
and how many rules were added and removed since the old copy. Nothing else
in the package ever downloads anything.
"""

from __future__ import annotations

import argparse
import http.client
import os
import pathlib
import sys
import tempfile
import time
import urllib.error
import urllib.request

from . import default_list_path
from ._suffix_list import SuffixList

DEFAULT_URL = "https://publicsuffix.org/list/public_suffix_list.dat"
TIMEOUT_SECONDS = 60
# Fifty times the list of today; the same limit as SuffixList.from_file's.
MAX_BYTES = 16 * 1024 * 1024
DEADLINE_SECONDS = 300
READ_BYTES = 64 * 1024
PROGRAM = "python -m lookup_psl"


class UpdateError(Exception):
    """A step of the update failed; the message says which and why."""


def _limit_next_read(response: http.client.HTTPResponse, seconds: float) -> None:
    """Makes the socket's next reads wait no longer than `seconds`, where the
    response lets us reach its socket; elsewhere the timeout of the opening
    holds."""
    sock = getattr(getattr(response.fp, "raw", None), "_sock", None)
    if sock is not None:
        sock.settimeout(max(seconds, 0.01))


def _read_limited(response: http.client.HTTPResponse, url: str, max_bytes: int, deadline: float,
                  deadline_seconds: float) -> bytes:
    """The body, read as it comes (read1: a server that trickles a byte at a
    time cannot hold one read open), refused once larger than `max_bytes` or
    still coming at `deadline` (a time.monotonic() value)."""
    announced = response.getheader("Content-Length")
    if announced is not None and announced.isdigit() and int(announced) > max_bytes:
        raise UpdateError(f"the list at {url} is {announced} bytes, more than --max-bytes {max_bytes}")
    chunks: list[bytes] = []
    size = 0
    while True:
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise UpdateError(f"download of {url} had not ended after --deadline {deadline_seconds:g} s")
        _limit_next_read(response, min(TIMEOUT_SECONDS, remaining))
        chunk = response.read1(READ_BYTES)
        if not chunk:
            if response.length:  # announced, never came: a transfer cut short
                raise http.client.IncompleteRead(b"".join(chunks), response.length)
            return b"".join(chunks)
        size += len(chunk)
        if size > max_bytes:
            raise UpdateError(f"download of {url} passed --max-bytes {max_bytes}")
        chunks.append(chunk)


def download(url: str, max_bytes: int = MAX_BYTES, deadline_seconds: float = DEADLINE_SECONDS) -> bytes:
    deadline = time.monotonic() + deadline_seconds
    request = urllib.request.Request(url, headers={"User-Agent": "lookup-psl update"})
    try:
        with urllib.request.urlopen(request, timeout=min(TIMEOUT_SECONDS, deadline_seconds)) as response:
            # A transfer cut short of its announced length raises IncompleteRead.
            return _read_limited(response, url, max_bytes, deadline, deadline_seconds)
    except TimeoutError as error:
        if time.monotonic() >= deadline:
            raise UpdateError(f"download of {url} had not ended after --deadline {deadline_seconds:g} s") from error
        raise UpdateError(f"download of {url} failed: {error!r}") from error
    except urllib.error.HTTPError as error:
        raise UpdateError(f"download of {url} failed: HTTP {error.code} {error.reason}") from error
    except (urllib.error.URLError, http.client.HTTPException, OSError) as error:
        raise UpdateError(f"download of {url} failed: {error!r}") from error


def rules_of(data: bytes) -> set[tuple[str, str]]:
    """(section, rule) of every rule line, for counting what changed."""
    rules = set()
    section = ""
    for line in data.decode("utf-8", errors="replace").splitlines():
        if line.startswith("//"):
            for marker, name in (("===BEGIN ICANN DOMAINS===", "icann"), ("===BEGIN PRIVATE DOMAINS===", "private")):
                if marker in line:
                    section = name
            continue
        fields = line.split()
        if fields and not line[0].isspace():
            rules.add((section, fields[0]))
    return rules


def write_atomically(path: pathlib.Path, data: bytes) -> None:
    path.parent.mkdir(parents=True, exist_ok=True)
    umask = os.umask(0)
    os.umask(umask)
    descriptor, temporary = tempfile.mkstemp(prefix=f".{path.name}.", suffix=".tmp", dir=path.parent)
    try:
        with os.fdopen(descriptor, "wb") as out:
            out.write(data)
            out.flush()
            os.fsync(out.fileno())
        os.chmod(temporary, 0o666 & ~umask)
        os.replace(temporary, path)
    except BaseException:
        try:
            os.unlink(temporary)
        except FileNotFoundError:
            pass
        raise


def update(url: str, output: pathlib.Path, max_bytes: int = MAX_BYTES,
           deadline_seconds: float = DEADLINE_SECONDS) -> str:
    """Downloads, checks and writes the list; returns the report."""
    data = download(url, max_bytes, deadline_seconds)
    try:
        built = SuffixList.from_bytes(data)
    except ValueError as error:
        raise UpdateError(f"the list from {url} does not build: {error}") from error
    if built.icann_rules == 0:
        # Valid as a list, but in place of a real one it would silently make
        # every name's public suffix its last label.
        raise UpdateError(f"the list from {url} holds no ICANN rules ({len(data)} bytes)")
    try:
        old: bytes | None = output.read_bytes()
    except FileNotFoundError:
        old = None
    except OSError as error:
        raise UpdateError(f"cannot read the old list {output}: {error}") from error
    try:
        write_atomically(output, data)
    except OSError as error:
        raise UpdateError(f"cannot write {output}: {error}") from error
    if old is None:
        changes = "no earlier copy"
    else:
        before, after = rules_of(old), rules_of(data)
        changes = f"{len(after - before)} added, {len(before - after)} removed"
    return "\n".join([
        f"wrote     {output} ({len(data)} bytes from {url})",
        f"checksum  {built.checksum}",
        f"version   {built.version or '(none)'}",
        f"commit    {built.commit or '(none)'}",
        f"rules     {built.icann_rules} ICANN, {built.private_rules} private",
        f"changes   {changes}",
    ])


def _positive(kind):
    """An argparse type: a number of `kind` above 0."""
    def convert(text: str):
        value = kind(text)
        if not value > 0:
            raise argparse.ArgumentTypeError(f"{text} is not above 0")
        return value
    convert.__name__ = kind.__name__
    return convert


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog=PROGRAM, description="Public Suffix List lookups: maintenance commands.")
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")
    update_parser = commands.add_parser(
        "update", help="download the current list to lookup_psl.default_list_path()",
        description="Download the list, build it to check it, and replace the old copy atomically.")
    update_parser.add_argument("--url", default=DEFAULT_URL, help=f"where to download from (default: {DEFAULT_URL})")
    update_parser.add_argument("--output", type=pathlib.Path, default=None,
                               help=f"where to write (default: {default_list_path()})")
    update_parser.add_argument("--max-bytes", type=_positive(int), default=MAX_BYTES, metavar="N",
                               help=f"refuse a download larger than N bytes (default: {MAX_BYTES})")
    update_parser.add_argument("--deadline", type=_positive(float), default=DEADLINE_SECONDS, metavar="SECONDS",
                               help=f"give up when the download has not ended after SECONDS "
                                    f"(default: {DEADLINE_SECONDS})")
    arguments = parser.parse_args(argv)
    output = arguments.output if arguments.output is not None else default_list_path()
    try:
        print(update(arguments.url, output, arguments.max_bytes, arguments.deadline))
    except UpdateError as error:
        print(f"{PROGRAM} update: error: {error}; {output} is unchanged", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
