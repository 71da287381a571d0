#include "lib/methods.h"

#include "lib/guard.h"
#include "lib/queries.h"

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

template <Body body>
PyMethodDef fast_method(const char* name, const char* doc) {
    return PyMethodDef{name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(&guarded_call<body>)),
                       METH_FASTCALL | METH_KEYWORDS, doc};
}

PyMethodDef methods[] = {
    fast_method<publicsuffix_body>("publicsuffix", PUBLICSUFFIX_DOC),
    fast_method<privatesuffix_body>("privatesuffix", PRIVATESUFFIX_DOC),
    fast_method<is_public_body>("is_public", IS_PUBLIC_DOC),
    fast_method<is_private_body>("is_private", IS_PRIVATE_DOC),
    fast_method<privateparts_body>("privateparts", PRIVATEPARTS_DOC),
    fast_method<subdomain_body>("subdomain", SUBDOMAIN_DOC),
};

}  // namespace

std::span<PyMethodDef> module_methods() noexcept { return methods; }

}  // namespace lookup
