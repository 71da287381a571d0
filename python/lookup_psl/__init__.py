"""Public Suffix List lookups.

The six functions and LIST_CHECKSUM are those of ``_lookup`` itself, answering
from the copy of the list compiled in. ``SuffixList`` answers the same
questions from a list read at run time (a newer copy, or one with rules of
your own); ``python -m lookup_psl update`` downloads the current list.
"""

from _lookup import *  # noqa: F403  (the six functions and LIST_CHECKSUM)

from ._suffix_list import SuffixList

__all__ = ["publicsuffix", "privatesuffix", "is_public", "is_private", "privateparts", "subdomain",
           "LIST_CHECKSUM", "SuffixList"]
