#include "methods.h"

#include "guard.h"
#include "queries.h"

namespace lookup {
namespace {

// Signature line, "--", an empty line, then the body: the interpreter splits
// this into __text_signature__ and __doc__.
constexpr const char PUBLICSUFFIX_DOC[] =
    "publicsuffix(domain, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
    "Return the longest public suffix of *domain*, or None if it has none.";
constexpr const char PRIVATESUFFIX_DOC[] =
    "privatesuffix(domain, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
    "Return the private suffix of *domain*: the public suffix plus one label.\n"
    "None if *domain* is entirely public, or invalid.";
constexpr const char IS_PUBLIC_DOC[] =
    "is_public(domain, *, accept_unknown=True, icann_only=False)\n--\n\n"
    "Return whether *domain* is entirely a public suffix.";
constexpr const char IS_PRIVATE_DOC[] =
    "is_private(domain, *, accept_unknown=True, icann_only=False)\n--\n\n"
    "Return whether *domain* is a private suffix or a subdomain of one.";
constexpr const char PRIVATEPARTS_DOC[] =
    "privateparts(domain, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
    "Return a tuple of the subdomain labels of *domain* followed by its private\n"
    "suffix, or None if it has no private suffix.";
constexpr const char SUBDOMAIN_DOC[] =
    "subdomain(domain, depth, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
    "Return the suffix of *domain* reaching *depth* labels beyond its private\n"
    "suffix, or None if *domain* has too few labels. Depth 0 is the private\n"
    "suffix itself.";

// The entry point of a body, in the form that a method record stores.
template <Body body>
const auto entry = reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&guarded_call<body>));

constexpr int FAST_WITH_KEYWORDS = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef methods[] = {
    {"publicsuffix", entry<query_body<Query::publicsuffix>>, FAST_WITH_KEYWORDS, PUBLICSUFFIX_DOC},
    {"privatesuffix", entry<query_body<Query::privatesuffix>>, FAST_WITH_KEYWORDS, PRIVATESUFFIX_DOC},
    {"is_public", entry<query_body<Query::is_public>>, FAST_WITH_KEYWORDS, IS_PUBLIC_DOC},
    {"is_private", entry<query_body<Query::is_private>>, FAST_WITH_KEYWORDS, IS_PRIVATE_DOC},
    {"privateparts", entry<query_body<Query::privateparts>>, FAST_WITH_KEYWORDS, PRIVATEPARTS_DOC},
    {"subdomain", entry<query_body<Query::subdomain>>, FAST_WITH_KEYWORDS, SUBDOMAIN_DOC},
};

}  // namespace

std::span<PyMethodDef> module_methods() noexcept { return methods; }

}  // namespace lookup
