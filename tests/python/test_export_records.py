"""The export entries and the static records behind them, read from the binary."""

import ctypes
import shutil
import subprocess
import sys
import sysconfig

import pytest

pytestmark = pytest.mark.skipif(
    ctypes.sizeof(ctypes.c_void_p) != 8, reason="record layout checked for 64-bit builds"
)

EXEC, ABI_INFO, GIL, NAME, DOC = 0x55, 0x2006D, 0x40057, 0x20064, 0x20065
EXPORT_SLOT_IDS = [EXEC, ABI_INFO, GIL, NAME, DOC, 0]


class ModuleDefSlot(ctypes.Structure):
    _fields_ = [("slot", ctypes.c_int), ("value", ctypes.c_void_p)]


@pytest.fixture(scope="module")
def library(lookup):
    return ctypes.CDLL(lookup.__file__)


@pytest.fixture(scope="module")
def export_slots(library):
    export = library.PyModExport__lookup
    export.restype = ctypes.c_void_p
    export.argtypes = []
    address = export()
    assert address, "PyModExport__lookup returned NULL"
    return (ModuleDefSlot * len(EXPORT_SLOT_IDS)).from_address(address)


def test_export_slot_ids_in_order(export_slots):
    assert [s.slot for s in export_slots] == EXPORT_SLOT_IDS


def test_export_returns_the_same_static_array_each_time(library, export_slots):
    export = library.PyModExport__lookup
    assert export() == ctypes.addressof(export_slots)


def test_exec_slot_points_to_code(export_slots):
    assert export_slots[0].value


def test_abi_information_record(export_slots):
    # A free-threaded build must say so, or the interpreter refuses the module.
    flags = 0x04 if sysconfig.get_config_var("Py_GIL_DISABLED") else 0x02
    record = ctypes.string_at(export_slots[1].value, 12)
    assert record == bytes([1, 0, flags, 0x00, 0, 0, 0, 0, 0, 0, 0, 0])


def test_gil_slot_says_not_used(export_slots):
    assert export_slots[2].value == 1


def test_name_and_doc_slots(export_slots):
    assert ctypes.string_at(export_slots[3].value) == b"_lookup"
    assert ctypes.string_at(export_slots[4].value) == b""


def test_end_slot_has_no_value(export_slots):
    assert export_slots[5].value is None


def test_classic_init_entry_exists(library):
    assert hasattr(library, "PyInit__lookup")


@pytest.mark.skipif(
    sysconfig.get_config_var("Py_GIL_DISABLED") or hasattr(sys, "getobjects"),
    reason="module definition layout read for the default object header only",
)
def test_classic_init_returns_the_module_definition(lookup, export_slots):
    # PyInit__lookup must run with the interpreter lock held, hence PyDLL.
    library = ctypes.PyDLL(lookup.__file__)
    init = library.PyInit__lookup
    init.restype = ctypes.c_void_p
    definition = init()
    assert definition
    assert init() == definition
    words = (ctypes.c_void_p * 13).from_address(definition)
    # ob_refcnt, ob_type, m_init, m_index, m_copy, then the definition proper.
    m_name, m_doc, m_size, m_methods, m_slots = words[5:10]
    m_traverse, m_clear, m_free = words[10:13]
    assert ctypes.string_at(m_name) == b"_lookup"
    assert ctypes.string_at(m_doc) == b""
    assert m_size in (None, 0)
    assert m_methods is None
    assert (m_traverse, m_clear, m_free) == (None, None, None)
    assert words[2] is None, "m_init must be empty"
    assert words[4] is None, "m_copy must be empty"
    slots = (ModuleDefSlot * 2).from_address(m_slots)
    if sys.version_info >= (3, 15):
        assert slots[0].slot == 92
        assert slots[0].value == ctypes.addressof(export_slots)
        assert (slots[1].slot, slots[1].value) == (0, None)


def test_no_other_dynamic_symbol_is_exported(lookup):
    nm = shutil.which("nm")
    if nm is None:
        pytest.skip("nm is not installed")
    listing = subprocess.run(
        [nm, "-D", "--defined-only", lookup.__file__],
        capture_output=True,
        text=True,
        check=True,
    ).stdout
    names = sorted(line.split()[-1] for line in listing.splitlines() if line.strip())
    assert names == ["PyInit__lookup", "PyModExport__lookup"]
