"""Public Suffix Lists built at run time, and the batch functions; use them through lookup_psl."""

import os
from collections.abc import Iterable
from typing import Protocol, SupportsIndex, final, overload

from typing_extensions import Buffer, Self

class _ArrowArrayExportable(Protocol):
    def __arrow_c_array__(self, requested_schema: object | None = None) -> tuple[object, object]: ...

class _ArrowStreamExportable(Protocol):
    def __arrow_c_stream__(self, requested_schema: object | None = None) -> object: ...

@final
class ArrowAnswers:
    """Answers to one Arrow array, exported through the Arrow PyCapsule protocol
    as an array (pyarrow.array() takes them without a copy) or a stream of one
    chunk."""

    def __arrow_c_array__(self, requested_schema: object | None = None) -> tuple[object, object]:
        """Export the answers as a pair of PyCapsules, 'arrow_schema' and 'arrow_array'."""
    def __arrow_c_stream__(self, requested_schema: object | None = None) -> object:
        """Export the answers as an 'arrow_array_stream' PyCapsule of one chunk."""
    def __len__(self) -> int: ...

@final
class ArrowAnswerStream:
    """Answers to an Arrow stream, chunk by chunk, exported once through the Arrow
    PyCapsule protocol (pyarrow.chunked_array() takes them)."""

    def __arrow_c_stream__(self, requested_schema: object | None = None) -> object:
        """Export the answers, once, as an 'arrow_array_stream' PyCapsule: each chunk
        is read from the stream given and answered when the consumer asks for it."""

@final
class SuffixList:
    """A Public Suffix List built at run time, immutable and safe to share
    between threads. Its methods answer exactly like the functions of the
    same names over the list compiled in."""

    @property
    def checksum(self) -> str:
        """SHA-256 (64 lowercase hex digits) of the list's bytes."""
    @property
    def version(self) -> str | None:
        """The text of the list's "// VERSION:" header line, or None."""
    @property
    def commit(self) -> str | None:
        """The text of the list's "// COMMIT:" header line, or None."""
    @property
    def extra_rules(self) -> tuple[str, ...]:
        """The rules added to the private section, as given (a tuple of exact str)."""
    @property
    def icann_rules(self) -> int:
        """Rule lines of the list's ICANN section."""
    @property
    def private_rules(self) -> int:
        """Rule lines of the private section, extra rules included."""
    def __sizeof__(self) -> int:
        """Size in memory of the object and its table, in bytes."""
    @classmethod
    def from_file(cls, path: str | bytes | os.PathLike[str] | os.PathLike[bytes], *, extra_rules: Iterable[str] = ()) -> Self:
        """Build a list from the list file at *path*; OSError when it cannot be
        read, ValueError naming the line when a line cannot be built."""
    @classmethod
    def from_bytes(cls, data: Buffer, *, extra_rules: Iterable[str] = ()) -> Self:
        """Build a list from the bytes of a list file."""
    def publicsuffix(self, domain: str, *, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> str | None:
        """Return the longest public suffix of *domain*, or None if it has none."""
    def privatesuffix(self, domain: str, *, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> str | None:
        """Return the private suffix of *domain*: the public suffix plus one label.
        None if *domain* is entirely public, or invalid."""
    def is_public(self, domain: str, *, accept_unknown: bool = True, icann_only: bool = False) -> bool:
        """Return whether *domain* is entirely a public suffix."""
    def is_private(self, domain: str, *, accept_unknown: bool = True, icann_only: bool = False) -> bool:
        """Return whether *domain* is a private suffix or a subdomain of one."""
    def privateparts(self, domain: str, *, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> tuple[str, ...] | None:
        """Return a tuple of the subdomain labels of *domain* followed by its private
        suffix, or None if it has no private suffix."""
    def subdomain(self, domain: str, depth: SupportsIndex, *, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> str | None:
        """Return the suffix of *domain* reaching *depth* labels beyond its private
        suffix, or None if *domain* has too few labels. Depth 0 is the private
        suffix itself."""
    def publicsuffix_batch(self, domains: Iterable[str], *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> list[str | None]:
        """Return the list of publicsuffix() of each domain in *domains*, an iterable of
        str read once at the start. The lookups run without the GIL on up to
        *threads* threads (one per 1024 domains at most, and 64 at most). Errors
        are those of publicsuffix(), with a note naming the failing item's index."""
    def privatesuffix_batch(self, domains: Iterable[str], *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> list[str | None]:
        """Return the list of privatesuffix() of each domain in *domains*, an iterable of
        str read once at the start. The lookups run without the GIL on up to
        *threads* threads (one per 1024 domains at most, and 64 at most). Errors
        are those of privatesuffix(), with a note naming the failing item's index."""
    def is_public_batch(self, domains: Iterable[str], *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> list[bool]:
        """Return the list of is_public() of each domain in *domains*, an iterable of
        str read once at the start. The lookups run without the GIL on up to
        *threads* threads (one per 1024 domains at most, and 64 at most). Errors
        are those of is_public(), with a note naming the failing item's index."""
    def is_private_batch(self, domains: Iterable[str], *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> list[bool]:
        """Return the list of is_private() of each domain in *domains*, an iterable of
        str read once at the start. The lookups run without the GIL on up to
        *threads* threads (one per 1024 domains at most, and 64 at most). Errors
        are those of is_private(), with a note naming the failing item's index."""
    def privateparts_batch(self, domains: Iterable[str], *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> list[tuple[str, ...] | None]:
        """Return the list of privateparts() of each domain in *domains*, an iterable of
        str read once at the start. The lookups run without the GIL on up to
        *threads* threads (one per 1024 domains at most, and 64 at most). Errors
        are those of privateparts(), with a note naming the failing item's index."""
    def subdomain_batch(self, domains: Iterable[str], depth: SupportsIndex, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> list[str | None]:
        """Return the list of subdomain() of each domain in *domains*, an iterable of
        str read once at the start. The lookups run without the GIL on up to
        *threads* threads (one per 1024 domains at most, and 64 at most). Errors
        are those of subdomain(), with a note naming the failing item's index."""
    @overload
    def publicsuffix_arrow(self, values: _ArrowArrayExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswers:
        """publicsuffix() of each name in *values*, an Arrow array or stream of strings."""
    @overload
    def publicsuffix_arrow(self, values: _ArrowStreamExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswerStream: ...
    @overload
    def privatesuffix_arrow(self, values: _ArrowArrayExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswers:
        """privatesuffix() of each name in *values*, an Arrow array or stream of strings."""
    @overload
    def privatesuffix_arrow(self, values: _ArrowStreamExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswerStream: ...
    @overload
    def is_public_arrow(self, values: _ArrowArrayExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> ArrowAnswers:
        """is_public() of each name in *values*, an Arrow array or stream of strings."""
    @overload
    def is_public_arrow(self, values: _ArrowStreamExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> ArrowAnswerStream: ...
    @overload
    def is_private_arrow(self, values: _ArrowArrayExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> ArrowAnswers:
        """is_private() of each name in *values*, an Arrow array or stream of strings."""
    @overload
    def is_private_arrow(self, values: _ArrowStreamExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> ArrowAnswerStream: ...
    @overload
    def privateparts_arrow(self, values: _ArrowArrayExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswers:
        """privateparts() of each name in *values*, an Arrow array or stream of strings."""
    @overload
    def privateparts_arrow(self, values: _ArrowStreamExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswerStream: ...
    @overload
    def subdomain_arrow(self, values: _ArrowArrayExportable, depth: SupportsIndex, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswers:
        """subdomain() of each name in *values*, an Arrow array or stream of strings."""
    @overload
    def subdomain_arrow(self, values: _ArrowStreamExportable, depth: SupportsIndex, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswerStream: ...

def publicsuffix_batch(domains: Iterable[str], *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> list[str | None]:
    """Return the list of publicsuffix() of each domain in *domains*, an iterable of
    str read once at the start. The lookups run without the GIL on up to
    *threads* threads (one per 1024 domains at most, and 64 at most). Errors
    are those of publicsuffix(), with a note naming the failing item's index."""

def privatesuffix_batch(domains: Iterable[str], *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> list[str | None]:
    """Return the list of privatesuffix() of each domain in *domains*, an iterable of
    str read once at the start. The lookups run without the GIL on up to
    *threads* threads (one per 1024 domains at most, and 64 at most). Errors
    are those of privatesuffix(), with a note naming the failing item's index."""

def is_public_batch(domains: Iterable[str], *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> list[bool]:
    """Return the list of is_public() of each domain in *domains*, an iterable of
    str read once at the start. The lookups run without the GIL on up to
    *threads* threads (one per 1024 domains at most, and 64 at most). Errors
    are those of is_public(), with a note naming the failing item's index."""

def is_private_batch(domains: Iterable[str], *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> list[bool]:
    """Return the list of is_private() of each domain in *domains*, an iterable of
    str read once at the start. The lookups run without the GIL on up to
    *threads* threads (one per 1024 domains at most, and 64 at most). Errors
    are those of is_private(), with a note naming the failing item's index."""

def privateparts_batch(domains: Iterable[str], *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> list[tuple[str, ...] | None]:
    """Return the list of privateparts() of each domain in *domains*, an iterable of
    str read once at the start. The lookups run without the GIL on up to
    *threads* threads (one per 1024 domains at most, and 64 at most). Errors
    are those of privateparts(), with a note naming the failing item's index."""

def subdomain_batch(domains: Iterable[str], depth: SupportsIndex, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> list[str | None]:
    """Return the list of subdomain() of each domain in *domains*, an iterable of
    str read once at the start. The lookups run without the GIL on up to
    *threads* threads (one per 1024 domains at most, and 64 at most). Errors
    are those of subdomain(), with a note naming the failing item's index."""

@overload
def publicsuffix_arrow(values: _ArrowArrayExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswers:
    """publicsuffix() of each name in *values*, an Arrow array or stream of strings."""
@overload
def publicsuffix_arrow(values: _ArrowStreamExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswerStream: ...

@overload
def privatesuffix_arrow(values: _ArrowArrayExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswers:
    """privatesuffix() of each name in *values*, an Arrow array or stream of strings."""
@overload
def privatesuffix_arrow(values: _ArrowStreamExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswerStream: ...

@overload
def is_public_arrow(values: _ArrowArrayExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> ArrowAnswers:
    """is_public() of each name in *values*, an Arrow array or stream of strings."""
@overload
def is_public_arrow(values: _ArrowStreamExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> ArrowAnswerStream: ...

@overload
def is_private_arrow(values: _ArrowArrayExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> ArrowAnswers:
    """is_private() of each name in *values*, an Arrow array or stream of strings."""
@overload
def is_private_arrow(values: _ArrowStreamExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False) -> ArrowAnswerStream: ...

@overload
def privateparts_arrow(values: _ArrowArrayExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswers:
    """privateparts() of each name in *values*, an Arrow array or stream of strings."""
@overload
def privateparts_arrow(values: _ArrowStreamExportable, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswerStream: ...

@overload
def subdomain_arrow(values: _ArrowArrayExportable, depth: SupportsIndex, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswers:
    """subdomain() of each name in *values*, an Arrow array or stream of strings."""
@overload
def subdomain_arrow(values: _ArrowStreamExportable, depth: SupportsIndex, *, threads: SupportsIndex = 1, accept_unknown: bool = True, icann_only: bool = False, keep_case: bool = False) -> ArrowAnswerStream: ...
