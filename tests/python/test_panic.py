"""PanicException, raised by the test-only build over a deliberately corrupt table."""

import re

import pytest

FAULTS = {
    "a.bad": "edge run of node 1 ends beyond the edge table",
    "a.mid": "label of edge 5 lies outside the label pool",
    "x.run": "node 99 lies beyond the node table",
    "a.utf": "label of edge 7 does not lie on character boundaries",
}


@pytest.fixture
def run_corrupt(run_python, corrupt_module_dir):
    """Runs a script over the corrupt-table module; it must print DONE."""

    def run(script):
        completed = run_python(script, corrupt_module_dir)
        assert completed.returncode == 0, completed.stdout + completed.stderr
        assert "DONE" in completed.stdout, completed.stdout + completed.stderr
        return completed

    return run


def test_sound_part_of_the_table_answers(run_corrupt):
    run_corrupt("""
        assert _lookup.publicsuffix("example.com") == "com"
        assert _lookup.privatesuffix("A.Example.COM", keep_case=True) == "Example.COM"
        # x.com hides behind a false edge head: the module searches the heads.
        assert _lookup.publicsuffix("a.x.com") == "com"
        assert not hasattr(_lookup, "PanicException")
        print("DONE")
    """)


def test_faults_raise_panic_exception(run_corrupt):
    run_corrupt(f"""
        FAULTS = {FAULTS!r}
        classes = set()
        for domain, message in FAULTS.items():
            for name, args in [
                ("publicsuffix", (domain,)), ("privatesuffix", (domain,)),
                ("is_public", (domain,)), ("is_private", (domain,)),
                ("privateparts", (domain,)), ("subdomain", (domain, 0)),
                ("publicsuffix", (domain.upper() + ".",)),
                ("subdomain", (domain, 2**64 - 1)),
            ]:
                try:
                    getattr(_lookup, name)(*args)
                except Exception as exc:
                    raise AssertionError(f"{{name}}{{args}} raised an Exception: {{exc!r}}")
                except BaseException as exc:
                    cls = type(exc)
                    assert cls.__name__ == "PanicException", cls
                    assert exc.args == (message,), (name, args, exc.args)
                    assert str(exc) == message
                    assert getattr(exc, "__notes__", None) is None
                    classes.add(cls)
                else:
                    raise AssertionError(f"{{name}}{{args}} returned normally")
        assert len(classes) == 1, classes
        cls = classes.pop()
        assert issubclass(cls, BaseException)
        assert not issubclass(cls, Exception)
        assert cls.__bases__ == (BaseException,)
        assert cls.__module__ != "_lookup"
        assert isinstance(cls.__doc__, str) and "BaseException" in cls.__doc__
        assert not hasattr(_lookup, "PanicException")
        # The module stays usable after a fault.
        assert _lookup.publicsuffix("example.com") == "com"
        print("DONE")
    """)


def test_except_exception_does_not_catch_it(run_corrupt):
    run_corrupt("""
        caught_by_exception = False
        try:
            try:
                _lookup.publicsuffix("a.bad")
            except Exception:
                caught_by_exception = True
        except BaseException as exc:
            assert type(exc).__name__ == "PanicException"
        assert not caught_by_exception
        print("DONE")
    """)


def test_uncaught_panic_ends_the_interpreter(run_python, corrupt_module_dir):
    completed = run_python('_lookup.is_public("x.run")\nprint("NOT REACHED")', corrupt_module_dir)
    assert completed.returncode != 0
    assert "NOT REACHED" not in completed.stdout
    assert "node 99 lies beyond the node table" in completed.stderr
    assert "PanicException" in completed.stderr


def test_panic_raised_inside_a_conversion_is_raised_anew(run_corrupt):
    completed = run_corrupt("""
        try:
            _lookup.publicsuffix("a.mid")
        except BaseException as exc:
            Panic = type(exc)

        class PanickingIndex:
            def __index__(self):
                raise self.raised

        def panicking_truth(self):
            raise self.raised

        PanickingBool = numpy_bool_class(panicking_truth)

        calls = [
            (PanickingIndex(), lambda obj: _lookup.subdomain("a.example.com", obj)),
            (PanickingBool(), lambda obj: _lookup.publicsuffix("a.example.com", keep_case=obj)),
            (PanickingBool(), lambda obj: _lookup.is_private("a.example.com", icann_only=obj)),
        ]
        for holder, make_call in calls:
            original = Panic("resumed fault text")
            holder.raised = original
            try:
                make_call(holder)
            except Exception as exc:
                raise AssertionError(f"caught as Exception: {exc!r}")
            except BaseException as exc:
                assert type(exc) is Panic, type(exc)
                assert exc is not original
                assert exc.args == ("resumed fault text",)
                assert getattr(exc, "__notes__", None) is None
            else:
                raise AssertionError("no exception")
        print("DONE")
    """)
    # Each resumed fault first writes two lines, then the PanicException
    # that was fetched, printed with its traceback.
    resumed = re.findall(
        r"^--- lookup is resuming an internal fault after fetching a PanicException from Python\. ---\n"
        r"Python stack trace below:\n"
        r"Traceback \(most recent call last\):\n(?:  .*\n)+"
        r"\S*PanicException: resumed fault text$",
        completed.stderr, re.MULTILINE)
    assert len(resumed) == 3, completed.stderr
