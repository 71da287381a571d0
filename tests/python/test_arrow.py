"""The Arrow forms (lookup_psl.privatesuffix_arrow and the SuffixList methods
of the same names): the per-call answers for every layout of string column
that the Arrow PyCapsule protocol hands over, the answers' types, every
struct received released exactly once, and the bad inputs refused whole."""

import contextlib
import ctypes
import gc
import itertools
import signal
import struct
import threading
import time
import _thread

import pytest

import support

pa = pytest.importorskip("pyarrow")

EXTRA_NAMES = ["", ".", "a..b", "ẞ.EXAMPLE.COM.", "WWW.CK", "İ.Example.CO.UK", "x." * 200 + "Example.COM",
               "a.b.c.d.github.io", "com", "unknown-tld"]


def to_arrow(answers):
    return pa.chunked_array(answers) if hasattr(answers, "__arrow_c_stream__") else pa.array(answers)


@pytest.mark.slow
@pytest.mark.parametrize("threads", [1, 2])
def test_answers_equal_the_per_call_functions_over_the_corpus(owner, threads):
    # The corpus and the odd names, with a null every seventh item, in every layout.
    names = [None if i % 7 == 3 else name for i, name in enumerate(support.load_corpus() + EXTRA_NAMES)]
    thirds = [names[len(names) * i // 3:len(names) * (i + 1) // 3] for i in range(3)]
    columns = {"plain": pa.array(names, pa.string()), "large": pa.array(names, pa.large_string()),
               "sliced": pa.array(["x.com", None, *names, "y.com"], pa.string()).slice(2, len(names)),
               "view": pa.array(names, pa.string_view()), "chunked": pa.chunked_array(thirds, pa.string()),
               "batch": pa.record_batch({"host": pa.array(names, pa.large_string())})}
    mismatches = []
    for name, flag_names in support.FLAG_NAMES.items():
        for values, depths in itertools.product(itertools.product((False, True), repeat=len(flag_names)),
                                                [(0,), (1,), (3,)] if name == "subdomain" else [()]):
            flags = dict(zip(flag_names, values))
            # A null stays null; a name without an answer is null too.
            expected = [None if host is None else getattr(owner[0], name)(host, *depths, **flags) for host in names]
            expected = [list(answer) if isinstance(answer, tuple) else answer for answer in expected]
            for layout, column in columns.items():
                got = to_arrow(getattr(owner[1], name + "_arrow")(column, *depths, threads=threads, **flags))
                if (got.flatten()[0] if isinstance(got.type, pa.StructType) else got).to_pylist() != expected:
                    mismatches.append((name, depths, flags, layout))
    assert mismatches == []


# Lowering can lengthen a name ("İ" is two bytes, "i̇" three): on two
# threads, the answers of both parts outgrow the room their names gave them.
@pytest.mark.parametrize("name, depths", [("subdomain", (1,)), ("privateparts", ())])
def test_answers_longer_than_their_names(owner, name, depths):
    names = ["İİİİ.İİİİİİ." + "İ" * (i % 5 + 1) for i in range(3000)]
    expected = [getattr(owner[0], name)(host, *depths) for host in names]
    got = to_arrow(getattr(owner[1], name + "_arrow")(pa.array(names), *depths, threads=2)).to_pylist()
    assert got == [list(answer) if isinstance(answer, tuple) else answer for answer in expected]


# Each query's answers' type ({0}: "large_" for large strings; a view's are
# plain) and the nulls among the answers to a name, a null, "com" and "".
ANSWER_TYPES = {"publicsuffix": ("{0}string", 2), "is_public": ("bool", 1),
                "privateparts": ("{0}list<item: {0}string>", 3)}


@pytest.mark.memcheck
@pytest.mark.parametrize("name", ANSWER_TYPES)
@pytest.mark.parametrize("names_type", ["string", "large_string", "string_view"])
def test_answer_types(owner, name, names_type):
    column = pa.array(["a.example.com", None, "com", ""], getattr(pa, names_type)())
    answer_type = ANSWER_TYPES[name][0].format("large_" if names_type == "large_string" else "")
    arrow_form = getattr(owner[1], name + "_arrow")
    answers = to_arrow(arrow_form(column))
    assert (str(answers.type), answers.null_count) == (answer_type, ANSWER_TYPES[name][1])
    batch = to_arrow(arrow_form(pa.record_batch({"host": column})))
    assert (batch.type.num_fields, batch.type.field(0).name, str(batch.type.field(0).type)) == (1, name, answer_type)
    assert len(arrow_form(pa.array([], pa.string()))) == 0


def test_array_answers_export_again_and_stream_answers_once(lookup_psl):
    answers = lookup_psl.privatesuffix_arrow(pa.array(["www.example.com"]))
    assert pa.array(answers).to_pylist() == pa.array(answers).to_pylist() == ["example.com"]
    assert pa.chunked_array(answers).to_pylist() == pa.chunked_array(answers).to_pylist() == ["example.com"]
    # The stream holds its list until its last chunk is answered.
    stream = lookup_psl.SuffixList.from_file(support.LIST_FILE).privatesuffix_arrow(
        pa.chunked_array([["www.example.com"]]))
    gc.collect()
    assert isinstance(stream, lookup_psl.ArrowAnswerStream)
    assert pa.chunked_array(stream).to_pylist() == ["example.com"]
    with pytest.raises(ValueError, match="exported only once"):
        pa.chunked_array(stream)


# ---- every struct received released exactly once ------------------------

RELEASE = ctypes.CFUNCTYPE(None, ctypes.c_void_p)
GET_NEXT = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
ctypes.pythonapi.PyCapsule_GetPointer.restype = ctypes.c_void_p
ctypes.pythonapi.PyCapsule_GetPointer.argtypes = [ctypes.py_object, ctypes.c_char_p]
# The word of `release`, followed by `private_data`, in ArrowSchema,
# ArrowArray and ArrowArrayStream (whose get_next is word 1).
RELEASE_WORD = {"arrow_schema": 7, "arrow_array": 8, "arrow_array_stream": 3}


def words_at(address):
    return (ctypes.c_void_p * 10).from_address(address)


class Counting:
    """A producer that hands over pyarrow's structs with their release
    callbacks wrapped, counting the structs handed over and the releases
    (a second release of one struct would be recorded too)."""

    def __init__(self, values, count_chunks=True):
        self.values, self.handed, self.released, self.pending = values, [], [], {}
        self.count_chunks = count_chunks
        # Only the protocol that the values speak, as a consumer looks for it.
        for kind in ("array", "stream"):
            if hasattr(values, f"__arrow_c_{kind}__"):
                setattr(self, f"__arrow_c_{kind}__", getattr(self, "_export_" + kind))
        self.release_wrapper, self.get_next_wrapper = RELEASE(self._release), GET_NEXT(self._get_next)
        self.wrapper = ctypes.cast(self.release_wrapper, ctypes.c_void_p).value

    def all_released_once(self):
        return self.handed != [] and self.pending == {} and sorted(self.released) == sorted(self.handed)

    def _wrap(self, address, kind):
        word, at = words_at(address), RELEASE_WORD[kind]
        self.pending[(word[at + 1], kind)] = (word[at], at)
        word[at] = self.wrapper
        self.handed.append(kind)

    def _release(self, address):
        word = words_at(address)
        for key, (original, at) in list(self.pending.items()):
            if (word[at + 1], word[at]) == (key[0], self.wrapper):
                del self.pending[key]
                word[at] = original
                RELEASE(original)(address)
                return self.released.append(key[1])
        self.released.append("unknown")

    def _get_next(self, stream, out):
        result = GET_NEXT(self.original_get_next)(stream, out)
        if result == 0 and words_at(out)[8]:
            self._wrap(out, "arrow_array")
        return result

    def _export_array(self, requested_schema=None):
        capsules = self.values.__arrow_c_array__()
        for capsule, kind in zip(capsules, ("arrow_schema", "arrow_array")):
            self._wrap(ctypes.pythonapi.PyCapsule_GetPointer(capsule, kind.encode()), kind)
        return capsules

    def _export_stream(self, requested_schema=None):
        capsule = self.values.__arrow_c_stream__()
        address = ctypes.pythonapi.PyCapsule_GetPointer(capsule, b"arrow_array_stream")
        word = words_at(address)
        if self.count_chunks:
            self.original_get_next, word[1] = word[1], ctypes.cast(self.get_next_wrapper, ctypes.c_void_p).value
        self._wrap(address, "arrow_array_stream")
        return capsule


def from_buffers(length, index, data, kind=pa.string()):
    """A column made straight from its buffers: its offsets or views, its data."""
    return pa.Array.from_buffers(kind, length, [None, pa.py_buffer(index), pa.py_buffer(data)])


NOT_UTF8 = from_buffers(2, struct.pack("<3i", 0, 5, 10), b"a.com\xed\xa0\x80.com")
# 200 ASCII names but item 130, where whole blocks of them are checked at once.
LATE_NOT_UTF8 = from_buffers(200, struct.pack("<201i", *range(0, 1005, 5)),
                             b"a.com" * 130 + b"\xff.com" + b"a.com" * 69)


# (values, whether the answers are read, the error that answering them raises)
@pytest.mark.parametrize("values, read, error", [
    (pa.array(["www.example.com", None]), True, None),
    (pa.chunked_array([["a.example.com"], ["b.example.com", None]]), True, None),
    (pa.chunked_array([["a.example.com"], ["b.example.com", None]]), False, None),
    (pa.array([1, 2]), True, (TypeError, "format 'l'")),
    (NOT_UTF8, True, (ValueError, "item 1 of 'values' is not UTF-8")),
    (pa.chunked_array([["a.com"] * 3, NOT_UTF8]), True,
     (ValueError, r"item 4 of 'values' is not UTF-8 \(while reading chunk 1")),
])
def test_every_struct_received_is_released_once(lookup_psl, values, read, error):
    producer = Counting(values)
    with pytest.raises(error[0], match=error[1]) if error else contextlib.nullcontext():
        answers = lookup_psl.privatesuffix_arrow(producer, threads=2)
        if read:
            to_arrow(answers)
        del answers
    gc.collect()
    assert producer.all_released_once()


# (values, how their answers are read): an array's answers as an array or as
# a stream of one chunk, a stream's as a stream.
@pytest.mark.parametrize("name", ["privateparts", "is_public"])
@pytest.mark.parametrize("values, read", [
    (pa.array(["a.b.example.com"]), pa.array),
    (pa.array(["a.b.example.com"]), pa.chunked_array),
    (pa.record_batch({"host": ["a.example.com"]}), pa.array),
    (pa.chunked_array([["a.example.com"], ["b.com"]]), pa.chunked_array),
])
def test_every_struct_handed_out_is_released_once(lookup_psl, name, values, read):
    counted = Counting(getattr(lookup_psl, name + "_arrow")(values))
    if read is pa.array:
        del counted.__arrow_c_stream__  # an array is read as such
    assert len(read(counted)) == len(values)
    gc.collect()
    assert counted.all_released_once()


# Names whose lowering is slow (long, not ASCII), as views of one text: an
# array answered in seconds, or a stream of many chunks.
SLOW_NAME = ("İx." * 1000 + "example.com").encode()
SLOW_VIEWS = from_buffers(200_000, struct.pack("<i4sii", len(SLOW_NAME), SLOW_NAME[:4], 0, 0) * 200_000,
                          SLOW_NAME, pa.string_view())


# (query, threads, values, what the reader gets)
@pytest.mark.parametrize("name, threads, values, error", [
    ("privatesuffix", 1, SLOW_VIEWS, (KeyboardInterrupt, None)),
    ("publicsuffix", 2, SLOW_VIEWS, (KeyboardInterrupt, None)),
    # A stream's consumer gets the stream's error, naming what was raised.
    ("is_public", 1, pa.chunked_array([SLOW_VIEWS[:20_000]] * 10), (OSError, "interrupted by KeyboardInterrupt")),
    ("subdomain", 2, pa.chunked_array([SLOW_VIEWS[:20_000]] * 10), (OSError, "interrupted by KeyboardInterrupt")),
])
def test_ctrl_c_interrupts_a_long_call(owner, name, threads, values, error):
    # The handler sees what the call still holds: a handler run only once
    # the call had ended would find everything released.
    # No Python code runs while a chunk is pulled (it could take the signal
    # first): the stream's own release is counted, not its chunks'.
    producer, held_then = Counting(values, count_chunks=False), []
    kind = "arrow_array_stream" if hasattr(values, "__arrow_c_stream__") else "arrow_array"

    def handler(signum, frame):
        held_then.append(kind not in producer.released)
        raise KeyboardInterrupt

    previous = signal.signal(signal.SIGINT, handler)
    timer = threading.Timer(0.3, _thread.interrupt_main)
    try:
        with pytest.raises(error[0], match=error[1]):
            timer.start()
            to_arrow(getattr(owner[1], name + "_arrow")(producer, *[1] if name == "subdomain" else [],
                                                        threads=threads))
    finally:
        timer.join()
        signal.signal(signal.SIGINT, previous)
    gc.collect()
    assert held_then == [True] and producer.all_released_once()


# ---- bad input ----------------------------------------------------------

def exporting(make):
    """A producer whose __arrow_c_array__ returns what `make` returns."""
    return type("Exporting", (), {"__arrow_c_array__": lambda self, requested_schema=None: make()})()


def consumed_pair():
    pair = pa.array(["a.com"]).__arrow_c_array__()
    pa.Array._import_from_c_capsule(*pair)
    return pair


@pytest.mark.memcheck
@pytest.mark.parametrize("values, error, words", [
    (pa.array([1, 2]), TypeError, "format 'l'"),
    (pa.array([b"a.com"]), TypeError, "format 'z'"),
    (pa.record_batch({"a": ["x"], "b": ["y"]}), TypeError, "format '+s'"),
    (pa.record_batch({"a": [1]}), TypeError, "format '+s' with a field of format 'l'"),
    (pa.array(["a.com"]).dictionary_encode(), TypeError, "format 'i' (dictionary-encoded"),
    (["a.com"], TypeError, "not 'list'"),
    (exporting(lambda: None), ValueError, "pair of capsules"),
    (exporting(lambda: pa.array(["a"]).__arrow_c_array__()[::-1]), ValueError, "'arrow_schema' capsule"),
    (exporting(consumed_pair), ValueError, "already consumed"),
    (NOT_UTF8, ValueError, "item 1 of 'values' is not UTF-8"),
    (LATE_NOT_UTF8, ValueError, "item 130 of 'values' is not UTF-8"),
    (LATE_NOT_UTF8.slice(70), ValueError, "item 60 of 'values' is not UTF-8"),
    (from_buffers(2, struct.pack("<3i", 0, 5, 2), b"a.com"), ValueError, "offsets out of order at item 1"),
    # A view of 20 bytes at offset 10 of a data buffer of 16.
    (from_buffers(1, struct.pack("<i4sii", 20, b"abcd", 0, 10), b"x" * 16, pa.string_view()), ValueError,
     "past its data at item 0"),
])
def test_bad_input_is_refused_whole(owner, values, error, words):
    with pytest.raises(error) as caught:
        owner[1].publicsuffix_arrow(values, threads=2)
    assert words in str(caught.value)


def test_a_failing_stream_ends_the_answers_with_its_error(lookup_psl):
    def batches():
        yield pa.record_batch({"host": ["www.example.com"]})
        raise RuntimeError("the producer broke")

    reader = pa.RecordBatchReader.from_batches(pa.schema([("host", pa.string())]), batches())
    with pytest.raises(Exception, match=r"(?s)the producer broke.*while reading chunk 1 of 'values'"):
        pa.RecordBatchReader.from_stream(lookup_psl.privatesuffix_arrow(reader)).read_all()


def test_flags_are_converted_before_the_values_are_taken(lookup_psl):
    producer = Counting(pa.chunked_array([["a.com"]]))
    with pytest.raises(TypeError):
        lookup_psl.subdomain_arrow(producer, 1, keep_case=None)
    assert producer.handed == []


# Run by -c: the workers that Dask spawns do not run it again.
CLUSTER_SCRIPT = """
import dask.dataframe
import pandas as pd
import pyarrow as pa
from dask.distributed import Client, LocalCluster
import lookup_psl

def sites(hosts):
    answers = lookup_psl.privatesuffix_arrow(pa.array(hosts), threads=2)
    return pd.Series(pd.arrays.ArrowExtensionArray(pa.array(answers)), index=hosts.index)

names = open(CORPUS, encoding="utf-8").read().split()
names[::5] = [None] * len(names[::5])
hosts = pd.DataFrame({"host": pd.Series(names, dtype=pd.ArrowDtype(pa.string()))})
with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                  dashboard_address=None) as cluster, Client(cluster):
    frame = dask.dataframe.from_pandas(hosts, npartitions=8)
    got = frame["host"].map_partitions(sites, meta=pd.Series(dtype=pd.ArrowDtype(pa.string()))).compute()
assert str(got.dtype) == "string[pyarrow]", got.dtype
assert [None if pd.isna(site) else site for site in got] == [
    None if name is None else lookup_psl.privatesuffix(name) for name in names]
print("DONE", len(names))
"""


@pytest.mark.slow
@pytest.mark.cluster
def test_dask_dataframe_over_a_cluster_gets_the_local_answers(run_python):
    try:
        import dask, distributed, pandas  # noqa: F401, E401
    except ImportError as error:
        pytest.skip(f"Dask or pandas does not import (Debian: python3-dask python3-distributed): {error}")
    completed = run_python(CLUSTER_SCRIPT.replace("CORPUS", repr(str(support.CORPUS_FILE))), timeout=300)
    assert completed.returncode == 0, completed.stdout + completed.stderr[-5000:]
    assert "DONE 20000" in completed.stdout


EXHAUSTED = """
import resource
import pyarrow as pa
import lookup_psl

# 20 Mi labels: their offsets alone take 160 MiB.
names = pa.array(["a." * 1024 + "example.com"] * 20480)
assert pa.array(lookup_psl.privatesuffix_arrow(names[:2], threads=2)).to_pylist() == ["example.com"] * 2
size = next(int(line.split()[1]) * 1024 for line in open("/proc/self/status") if line.startswith("VmSize:"))
resource.setrlimit(resource.RLIMIT_AS, (size + 96 * 2**20, resource.getrlimit(resource.RLIMIT_AS)[1]))
for attempt in range(3):
    try:
        lookup_psl.privateparts_arrow(names, threads=2)
        raise AssertionError("20 Mi labels were answered under the limit")
    except MemoryError:
        pass
assert pa.array(lookup_psl.privateparts_arrow(names[:1])).to_pylist()[0][-1] == "example.com"
print("DONE")
"""


@pytest.mark.slow
@pytest.mark.process_memory
def test_exhausted_memory_is_a_memory_error(run_python):
    completed = run_python(EXHAUSTED, timeout=300)
    assert completed.returncode == 0, completed.stdout + completed.stderr[-3000:]
    assert "DONE" in completed.stdout


@pytest.mark.slow
def test_other_threads_run_meanwhile(lookup_psl):
    column, ticks, running = pa.array(support.load_corpus() * 25), [], threading.Event()

    def tick():
        running.set()
        while running.is_set():
            ticks.append(time.perf_counter())

    ticker = threading.Thread(target=tick)
    ticker.start()
    running.wait()
    start = time.perf_counter()
    try:
        read = pa.array(lookup_psl.privatesuffix_arrow(column, threads=2))
    finally:
        end = time.perf_counter()
        running.clear()
        ticker.join()
    assert len(read) == len(column)
    # Held by the call, the interpreter would have let the ticker run only
    # at its edges, never in the middle of it.
    assert any(start + (end - start) / 4 < at < end - (end - start) / 4 for at in ticks)
