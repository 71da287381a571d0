"""Public Suffix List lookups.

The six functions and LIST_CHECKSUM are those of ``_lookup`` itself, answering
from the copy of the list compiled in; their batch forms (``privatesuffix_batch``
and so on) answer a whole iterable of domains in one call, on several threads
if asked; their Arrow forms (``privatesuffix_arrow`` and so on) answer a
column (any Arrow array or stream of strings) with a column, without a Python
object per name. ``SuffixList`` answers the same questions from a list read at run
time (a newer copy, or one with rules of your own); ``python -m lookup_psl
update`` downloads the current list to ``default_list_path()``, where
``SuffixList.from_file(default_list_path())`` and ``lookup-psl --list`` read it.
"""

import os
import pathlib

from _lookup import *  # noqa: F403  (the six functions and LIST_CHECKSUM)

from ._suffix_list import (SuffixList, is_private_batch, is_public_batch, privateparts_batch,
                           privatesuffix_batch, publicsuffix_batch, subdomain_batch)
from ._suffix_list import (ArrowAnswers, ArrowAnswerStream, is_private_arrow, is_public_arrow,
                           privateparts_arrow, privatesuffix_arrow, publicsuffix_arrow, subdomain_arrow)

from ._version import __version__

__all__ = ["publicsuffix", "privatesuffix", "is_public", "is_private", "privateparts", "subdomain",
           "LIST_CHECKSUM", "SuffixList", "publicsuffix_batch", "privatesuffix_batch", "is_public_batch",
           "is_private_batch", "privateparts_batch", "subdomain_batch", "publicsuffix_arrow",
           "privatesuffix_arrow", "is_public_arrow", "is_private_arrow", "privateparts_arrow", "subdomain_arrow",
           "ArrowAnswers", "ArrowAnswerStream", "default_list_path"]


def default_list_path() -> pathlib.Path:
    """Where ``python -m lookup_psl update`` writes the list and ``lookup-psl
    --list`` without a file reads it: $XDG_DATA_HOME/lookup-psl/public_suffix_list.dat,
    with ~/.local/share when XDG_DATA_HOME is unset or relative (the XDG rules
    say to ignore a relative one). The file exists only once update has run."""
    base = os.environ.get("XDG_DATA_HOME", "")
    if not os.path.isabs(base):
        base = os.path.join(os.path.expanduser("~"), ".local", "share")
    return pathlib.Path(base) / "lookup-psl" / "public_suffix_list.dat"
