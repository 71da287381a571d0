"""Runs a command under valgrind memcheck and judges its reports.

Usage: memcheck.py LOG_DIR -- VALGRIND [OPTIONS] --log-file=LOG_DIR/NAME.%p COMMAND...

Valgrind runs with --error-exitcode=0, so the interpreter's own reports do
not fail the run; this fails when the command fails, or when a report of an
invalid access, uninitialised value or definite leak has a stack that
passes through our code.
"""

import pathlib
import re
import shutil
import subprocess
import sys

OURS = re.compile(r"_lookup\.cpython|lookup::|/src/(engine|cpython|module|builder)/")
REPORT = re.compile(
    r"Invalid (read|write|free)|uninitialised|Mismatched free|overlap|definitely lost|"
    r"Syscall param|fishy|Argument .* of function"
)


def reports(log_dir):
    for path in sorted(log_dir.iterdir()):
        # Records are separated by blank "==PID== " lines.
        for block in re.split(r"\n==\d+== \n", path.read_text(errors="replace")):
            if REPORT.search(block):
                yield block.strip()


def main():
    if len(sys.argv) < 4 or sys.argv[2] != "--":
        sys.exit(__doc__.strip().splitlines()[2])
    log_dir = pathlib.Path(sys.argv[1])
    shutil.rmtree(log_dir, ignore_errors=True)
    log_dir.mkdir(parents=True)
    status = subprocess.run(sys.argv[3:]).returncode
    found = [block for block in reports(log_dir) if OURS.search(block)]
    for block in found:
        print(block + "\n")
    print(f"valgrind: {sum(1 for _ in reports(log_dir))} report(s) in all, {len(found)} through our code")
    sys.exit(1 if status or found else 0)


if __name__ == "__main__":
    main()
