"""Fixtures of the _lookup suite; importing support fails loudly when the
module under test cannot be found in LOOKUP_MODULE_DIR."""

import pytest

import support


@pytest.fixture(scope="session")
def lookup():
    return support._lookup


@pytest.fixture(scope="session")
def corrupt_module_dir():
    if support.CORRUPT_MODULE_DIR is None:
        pytest.fail("LOOKUP_CORRUPT_MODULE_DIR is not set: point it at the corrupt-table build")
    if not support.CORRUPT_MODULE_DIR.is_dir():
        pytest.fail(f"LOOKUP_CORRUPT_MODULE_DIR={support.CORRUPT_MODULE_DIR} is not a directory")
    return support.CORRUPT_MODULE_DIR


@pytest.fixture(scope="session")
def lookup_psl():
    return support.import_package()


def pytest_configure(config):
    config.addinivalue_line("markers", "slow: takes seconds (whole-corpus sweeps, subprocesses, clusters)")
    config.addinivalue_line("markers", "cluster: starts a local Dask cluster of worker processes")
