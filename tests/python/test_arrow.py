"""The Arrow forms (lookup_psl.privatesuffix_arrow and the SuffixList methods
of the same names): the per-call answers for every layout of string column
that the Arrow PyCapsule protocol hands over, the answers' types, every
struct received released exactly once, and the bad inputs refused whole."""

import ctypes
import gc
import itertools
import os
import subprocess
import sys
import threading
import time

import pytest

import support

pa = pytest.importorskip("pyarrow")

FLAG_COMBINATIONS = {
    name: [dict(zip(flags, values)) for values in itertools.product((False, True), repeat=len(flags))]
    for name, flags in support.FLAG_NAMES.items()
}
EXTRA_NAMES = ["", ".", "a..b", "ẞ.EXAMPLE.COM.", "WWW.CK", "İ.Example.CO.UK", "x." * 200 + "Example.COM",
               "a.b.c.d.github.io", "com", "unknown-tld"]


@pytest.fixture(scope="module")
def names():
    """The corpus and the odd names, with a null every seventh item."""
    named = support.load_corpus() + EXTRA_NAMES
    return [None if i % 7 == 3 else name for i, name in enumerate(named)]


def thirds(items):
    third = len(items) // 3
    return [items[:third], items[third:2 * third], items[2 * third:]]


# Each layout: the column made from a list of names, and the answers read
# back as a list.
LAYOUTS = {
    "plain": lambda names: pa.array(names, pa.string()),
    "sliced": lambda names: pa.array(["x.com", None, *names, "y.com"], pa.string()).slice(2, len(names)),
    "large": lambda names: pa.array(names, pa.large_string()),
    "view": lambda names: pa.array(names, pa.string_view()),
    "chunked": lambda names: pa.chunked_array([pa.array(part, pa.string()) for part in thirds(names)]),
    "batch": lambda names: pa.record_batch({"host": pa.array(names, pa.large_string())}),
}


def read_back(answers):
    if isinstance(answers, pa.lib.ChunkedArray):
        answers = answers.combine_chunks()
    if isinstance(answers.type, pa.StructType):
        answers = answers.field(0)
    return answers.to_pylist()


def arrow_answers(owner, name, column, *args, **kwargs):
    answers = getattr(owner[1], name + "_arrow")(column, *args, **kwargs)
    return pa.chunked_array(answers) if hasattr(answers, "__arrow_c_stream__") else pa.array(answers)


def per_call_answers(per_call, names, *args, **flags):
    answers = [None if name is None else per_call(name, *args, **flags) for name in names]
    # A null stays null; a name without an answer is null too.
    return [list(answer) if isinstance(answer, tuple) else answer for answer in answers]


@pytest.mark.slow
@pytest.mark.parametrize("threads", [1, 2])
def test_answers_equal_the_per_call_functions_over_the_corpus(owner, names, threads):
    columns = {layout: make(names) for layout, make in LAYOUTS.items()}
    mismatches = []
    for name, combinations in FLAG_COMBINATIONS.items():
        for flags, depths in itertools.product(combinations, [(0,), (1,), (3,)] if name == "subdomain" else [()]):
            expected = per_call_answers(getattr(owner[0], name), names, *depths, **flags)
            for layout, column in columns.items():
                got = read_back(arrow_answers(owner, name, column, *depths, threads=threads, **flags))
                if got != expected:
                    mismatches.append((name, depths, flags, layout))
    assert mismatches == []


# The answers' Arrow type for each query, by the names' type, and the nulls
# among the answers to a name, a null, "com" and "".
NULL_COUNTS = {"publicsuffix": 2, "is_public": 1, "privateparts": 3}
ANSWER_TYPES = {
    "publicsuffix": {"string": "string", "large_string": "large_string", "string_view": "string"},
    "is_public": dict.fromkeys(("string", "large_string", "string_view"), "bool"),
    "privateparts": {"string": "list<item: string>", "large_string": "large_list<item: large_string>",
                     "string_view": "list<item: string>"},
}


@pytest.mark.memcheck
@pytest.mark.parametrize("name", ANSWER_TYPES)
@pytest.mark.parametrize("names_type", ["string", "large_string", "string_view"])
def test_answer_types(owner, name, names_type):
    column = pa.array(["a.example.com", None, "com", ""], getattr(pa, names_type)())
    answers = arrow_answers(owner, name, column)
    assert str(answers.type) == ANSWER_TYPES[name][names_type]
    assert answers.null_count == NULL_COUNTS[name]
    batch = arrow_answers(owner, name, pa.record_batch({"host": column}))
    assert (batch.type.num_fields, batch.type.field(0).name, str(batch.type.field(0).type)) == \
        (1, name, ANSWER_TYPES[name][names_type])
    assert len(getattr(owner[1], name + "_arrow")(pa.array([], pa.string()))) == 0


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
# The offsets of `release` and `private_data` in ArrowSchema and ArrowArray
# (8 and 9 words in), and of get_next and release in ArrowArrayStream.
RELEASE_WORD = {"arrow_schema": 7, "arrow_array": 8, "arrow_array_stream": 3}
WORD = ctypes.sizeof(ctypes.c_void_p)


class Counting:
    """A producer that hands over pyarrow's structs with their release
    callbacks wrapped, counting the structs handed over and the releases
    (a second release of one struct would be recorded too)."""

    def __init__(self, values):
        self.values = values
        # Only the protocol that the values speak, as a consumer looks for it.
        for method in ("__arrow_c_array__", "__arrow_c_stream__"):
            if hasattr(values, method):
                setattr(self, method, getattr(self, "_export" + method.removeprefix("__arrow_c").removesuffix("__")))
        self.handed = 0
        self.released = []
        self.pending = {}
        self.keep = []
        self.release_wrapper = RELEASE(self._release)
        self.get_next_wrapper = GET_NEXT(self._get_next)

    def _wrap(self, address, kind):
        word = (ctypes.c_void_p * 10).from_address(address)
        at = RELEASE_WORD[kind]
        self.pending[(word[at + 1], kind)] = (word[at], at)
        word[at] = ctypes.cast(self.release_wrapper, ctypes.c_void_p).value
        self.handed += 1

    def _release(self, address):
        word = (ctypes.c_void_p * 10).from_address(address)
        for (private, kind), (original, at) in list(self.pending.items()):
            if word[at + 1] == private and word[at] == ctypes.cast(self.release_wrapper, ctypes.c_void_p).value:
                del self.pending[(private, kind)]
                word[at] = original
                RELEASE(original)(address)
                self.released.append(kind)
                return
        self.released.append("unknown")

    def _get_next(self, stream, out):
        result = GET_NEXT(self.original_get_next)(stream, out)
        if result == 0 and (ctypes.c_void_p * 10).from_address(out)[8]:
            self._wrap(out, "arrow_array")
        return result

    def _wrap_capsule(self, capsule, kind):
        self._wrap(ctypes.pythonapi.PyCapsule_GetPointer(capsule, kind.encode()), kind)
        return capsule

    def _export_array(self, requested_schema=None):
        schema, array = self.values.__arrow_c_array__()
        return self._wrap_capsule(schema, "arrow_schema"), self._wrap_capsule(array, "arrow_array")

    def _export_stream(self, requested_schema=None):
        capsule = self.values.__arrow_c_stream__()
        word = (ctypes.c_void_p * 5).from_address(ctypes.pythonapi.PyCapsule_GetPointer(capsule, b"arrow_array_stream"))
        self.original_get_next = word[1]
        word[1] = ctypes.cast(self.get_next_wrapper, ctypes.c_void_p).value
        return self._wrap_capsule(capsule, "arrow_array_stream")


NOT_UTF8 = pa.Array.from_buffers(pa.string(), 2, [None, pa.py_buffer(b"\0\0\0\0\5\0\0\0\x0a\0\0\0"),
                                                   pa.py_buffer(b"a.com\xed\xa0\x80.com")])
# (values, whether the answers are read, whether answering them fails)
RELEASE_CASES = [
    (pa.array(["www.example.com", None]), True, False),
    (pa.chunked_array([["a.example.com"], ["b.example.com", None]]), True, False),
    (pa.chunked_array([["a.example.com"], ["b.example.com", None]]), False, False),
    (pa.array([1, 2]), True, True),
    (NOT_UTF8, True, True),
    (pa.chunked_array([["a.example.com"], NOT_UTF8]), True, True),
]


@pytest.mark.parametrize("values, read, fails", RELEASE_CASES)
def test_every_struct_received_is_released_once(lookup_psl, values, read, fails):
    producer = Counting(values)
    try:
        answers = lookup_psl.privatesuffix_arrow(producer, threads=2)
        if read:
            pa.chunked_array(answers) if hasattr(answers, "__arrow_c_stream__") else pa.array(answers)
        del answers
        assert not fails
    except (TypeError, ValueError):
        assert fails
    gc.collect()
    assert producer_done(producer)


# (values, how their answers are read): an array's answers as an array or as
# a stream of one chunk, a stream's as a stream.
HANDED_OUT = [
    (pa.array(["a.b.example.com"]), pa.array),
    (pa.array(["a.b.example.com"]), pa.chunked_array),
    (pa.record_batch({"host": ["a.example.com"]}), pa.array),
    (pa.chunked_array([["a.example.com"], ["b.com"]]), pa.chunked_array),
]


@pytest.mark.parametrize("name", ["privateparts", "is_public"])
@pytest.mark.parametrize("values, read", HANDED_OUT)
def test_every_struct_handed_out_is_released_once(lookup_psl, name, values, read):
    counted = Counting(getattr(lookup_psl, name + "_arrow")(values))
    if read is pa.array:
        del counted.__arrow_c_stream__  # an array is read as such
    assert len(read(counted)) == len(values)
    gc.collect()
    assert producer_done(counted)


def producer_done(producer):
    return producer.handed >= 1 and producer.pending == {} and producer.released.count("unknown") == 0 and \
        len(producer.released) == producer.handed


# ---- bad input ----------------------------------------------------------

class Exporting:
    def __init__(self, result):
        self.result = result

    def __arrow_c_array__(self, requested_schema=None):
        return self.result() if callable(self.result) else self.result


def consumed_pair():
    pair = pa.array(["a.com"]).__arrow_c_array__()
    pa.Array._import_from_c_capsule(*pair)
    return pair


def out_of_order():
    return pa.Array.from_buffers(pa.string(), 2, [None, pa.py_buffer(b"\0\0\0\0\5\0\0\0\2\0\0\0"),
                                                  pa.py_buffer(b"a.com")])


def view_past_data():
    view = (20).to_bytes(4, "little") + b"abcd" + (0).to_bytes(4, "little") + (10).to_bytes(4, "little")
    return pa.Array.from_buffers(pa.string_view(), 1, [None, pa.py_buffer(view), pa.py_buffer(b"x" * 16)])


# (values, the error, words its message holds)
BAD_INPUTS = [
    (lambda: pa.array([1, 2]), TypeError, "format 'l'"),
    (lambda: pa.array([b"a.com"]), TypeError, "format 'z'"),
    (lambda: pa.record_batch({"a": ["x"], "b": ["y"]}), TypeError, "format '+s'"),
    (lambda: pa.record_batch({"a": [1]}), TypeError, "format '+s' with a field of format 'l'"),
    (lambda: pa.array(["a.com"]).dictionary_encode(), TypeError, "format 'i' (dictionary-encoded"),
    (lambda: ["a.com"], TypeError, "not 'list'"),
    (lambda: Exporting(None), ValueError, "pair of capsules"),
    (lambda: Exporting(pa.array(["a"]).__arrow_c_array__()[::-1]), ValueError, "'arrow_schema' capsule"),
    (lambda: Exporting(consumed_pair), ValueError, "already consumed"),
    (lambda: NOT_UTF8, ValueError, "item 1 of 'values' is not UTF-8"),
    (out_of_order, ValueError, "offsets out of order at item 1"),
    (view_past_data, ValueError, "past its data at item 0"),
]


@pytest.mark.memcheck
@pytest.mark.parametrize("values, error, words", BAD_INPUTS)
def test_bad_input_is_refused_whole(owner, values, error, words):
    with pytest.raises(error) as caught:
        owner[1].publicsuffix_arrow(values(), threads=2)
    assert words in str(caught.value)


def test_failures_in_a_stream_end_it_with_their_error(lookup_psl):
    schema = pa.schema([("host", pa.string())])

    def batches():
        yield pa.record_batch({"host": ["www.example.com"]})
        raise RuntimeError("the producer broke")

    answers = lookup_psl.privatesuffix_arrow(pa.RecordBatchReader.from_batches(schema, batches()))
    with pytest.raises(Exception, match=r"(?s)the producer broke.*while reading chunk 1 of 'values'"):
        pa.RecordBatchReader.from_stream(answers).read_all()
    answers = lookup_psl.privatesuffix_arrow(pa.chunked_array([["a.com"] * 3, NOT_UTF8]))
    with pytest.raises(ValueError, match=r"item 4 of 'values' is not UTF-8 \(while reading chunk 1"):
        pa.chunked_array(answers)


def test_flags_are_converted_before_the_values_are_taken(lookup_psl):
    producer = Counting(pa.chunked_array([["a.com"]]))
    with pytest.raises(TypeError):
        lookup_psl.subdomain_arrow(producer, 1, keep_case=None)
    assert producer.handed == 0


CLUSTER_SCRIPT = """
import sys

import dask.dataframe
import pandas as pd
import pyarrow as pa
from dask.distributed import Client, LocalCluster

import lookup_psl

def sites(hosts):
    answers = lookup_psl.privatesuffix_arrow(pa.array(hosts), threads=2)
    return pd.Series(pd.arrays.ArrowExtensionArray(pa.array(answers)), index=hosts.index)

def main(corpus):
    names = open(corpus, encoding="utf-8").read().split()
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

if __name__ == "__main__":
    main(*sys.argv[1:])
"""


@pytest.mark.slow
@pytest.mark.cluster
def test_dask_dataframe_over_a_cluster_gets_the_local_answers(tmp_path):
    pytest.importorskip("pandas")
    try:
        import dask  # noqa: F401
        import distributed  # noqa: F401
    except ImportError as error:
        pytest.skip(f"Dask does not import on this interpreter (Debian: python3-dask python3-distributed): {error}")
    script = tmp_path / "cluster_run.py"
    script.write_text(CLUSTER_SCRIPT, encoding="utf-8")
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join(
        [str(support.MODULE_DIR), *filter(None, [os.environ.get("PYTHONPATH")])]))
    completed = subprocess.run([sys.executable, str(script), str(support.CORPUS_FILE)], capture_output=True,
                               text=True, env=environment, timeout=300, cwd=tmp_path)
    assert completed.returncode == 0, completed.stdout + completed.stderr[-5000:]
    assert "DONE 20000" in completed.stdout


EXHAUSTED = """
import resource
import pyarrow as pa
import lookup_psl

def address_space():
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmSize:"))

# 20 Mi labels: their offsets alone take 160 MiB.
names = pa.array(["a." * 1024 + "example.com"] * 20480)
assert pa.array(lookup_psl.privatesuffix_arrow(names[:2], threads=2)).to_pylist() == ["example.com"] * 2
resource.setrlimit(resource.RLIMIT_AS, (address_space() + 96 * 2**20, resource.getrlimit(resource.RLIMIT_AS)[1]))
for attempt in range(3):
    try:
        lookup_psl.privateparts_arrow(names, threads=2)
    except MemoryError:
        pass
    else:
        raise AssertionError("20 Mi labels were answered under the limit")
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
    column = pa.array(support.load_corpus() * 25)
    ticks = []
    running = threading.Event()

    def tick():
        running.set()
        while running.is_set():
            ticks.append(time.perf_counter())

    ticker = threading.Thread(target=tick)
    ticker.start()
    running.wait()
    try:
        start = time.perf_counter()
        read = pa.array(lookup_psl.privatesuffix_arrow(column, threads=2))
        end = time.perf_counter()
    finally:
        running.clear()
        ticker.join()
    assert len(read) == len(column)
    # Held by the call, the interpreter would have let the ticker run only
    # at its edges, never in the middle of it.
    middle = (start + (end - start) / 4, end - (end - start) / 4)
    assert any(middle[0] < at < middle[1] for at in ticks)
