"""Spreading across processes: a local Dask cluster of two worker processes
maps privatesuffix of the compiled list and of a SuffixList (pickled to the
workers by its source bytes and extra rules) over a partitioned tenth of the
corpus, call by call and one batch per partition, and gets exactly the local
answers."""

import os
import subprocess
import sys

import pytest

import support

pytestmark = [pytest.mark.slow, pytest.mark.cluster]

SCRIPT = """
import os
import pathlib
import sys

import dask.bag
from dask.distributed import Client, LocalCluster

import lookup_psl

def main(corpus, list_file):
    # Every tenth name: what travels is the point here (each compute costs
    # about 0.7 s over the whole corpus, five times that under ASan).
    names = pathlib.Path(corpus).read_text(encoding="utf-8").split()[::10]
    custom = lookup_psl.SuffixList.from_file(list_file, extra_rules=["example.com", "*.test"])
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        bag = dask.bag.from_sequence(names, npartitions=8)
        compiled = bag.map(lookup_psl.privatesuffix).compute()
        runtime = bag.map(custom.privatesuffix).compute()
        batched = bag.map_partitions(custom.privatesuffix_batch).compute()
        compiled_batched = bag.map_partitions(lookup_psl.privatesuffix_batch, threads=2).compute()
        workers = client.run(os.getpid)
    assert len(set(workers.values())) == 2 and os.getpid() not in workers.values(), workers
    assert compiled == [lookup_psl.privatesuffix(name) for name in names]
    assert runtime == [custom.privatesuffix(name) for name in names]
    assert compiled != runtime  # the extra rules travelled with the list
    assert (batched, compiled_batched) == (runtime, compiled)
    print("DONE", len(names))

if __name__ == "__main__":
    main(*sys.argv[1:])
"""


def test_dask_cluster_gets_the_local_answers(tmp_path):
    # Debian's Dask seen from another interpreter (pyenv's, through
    # PYTHONPATH) is found but cannot import its compiled dependencies.
    try:
        import dask.bag  # noqa: F401
        import distributed  # noqa: F401
    except ImportError as error:
        pytest.skip(f"Dask does not import on this interpreter (Debian: python3-dask python3-distributed): {error}")
    script = tmp_path / "cluster_run.py"
    script.write_text(SCRIPT, encoding="utf-8")
    search_path = [str(support.MODULE_DIR), *filter(None, [os.environ.get("PYTHONPATH")])]
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join(search_path))
    completed = subprocess.run(
        [sys.executable, str(script), str(support.CORPUS_FILE), str(support.LIST_FILE)],
        capture_output=True, text=True, env=environment, timeout=300, cwd=tmp_path)
    assert completed.returncode == 0, completed.stdout + completed.stderr[-5000:]
    assert "DONE 2000" in completed.stdout
