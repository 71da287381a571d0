// The docstrings of the six queries, shared by the module's functions and the
// methods of a run-time list. Each query's parameters and body are literals,
// so that a front end can join them with its own signature line at compile
// time: name "(" [ "$self, " ] parameters ")\n--\n\n" body.
#pragma once

#define LOOKUP_TEXT_QUERY_FLAGS "*, accept_unknown=True, icann_only=False, keep_case=False"
#define LOOKUP_TRUTH_QUERY_FLAGS "*, accept_unknown=True, icann_only=False"

#define LOOKUP_PUBLICSUFFIX_PARAMETERS "domain, " LOOKUP_TEXT_QUERY_FLAGS
#define LOOKUP_PUBLICSUFFIX_BODY "Return the longest public suffix of *domain*, or None if it has none."

#define LOOKUP_PRIVATESUFFIX_PARAMETERS "domain, " LOOKUP_TEXT_QUERY_FLAGS
#define LOOKUP_PRIVATESUFFIX_BODY                                            \
    "Return the private suffix of *domain*: the public suffix plus one label.\n" \
    "None if *domain* is entirely public, or invalid."

#define LOOKUP_IS_PUBLIC_PARAMETERS "domain, " LOOKUP_TRUTH_QUERY_FLAGS
#define LOOKUP_IS_PUBLIC_BODY "Return whether *domain* is entirely a public suffix."

#define LOOKUP_IS_PRIVATE_PARAMETERS "domain, " LOOKUP_TRUTH_QUERY_FLAGS
#define LOOKUP_IS_PRIVATE_BODY "Return whether *domain* is a private suffix or a subdomain of one."

#define LOOKUP_PRIVATEPARTS_PARAMETERS "domain, " LOOKUP_TEXT_QUERY_FLAGS
#define LOOKUP_PRIVATEPARTS_BODY                                                 \
    "Return a tuple of the subdomain labels of *domain* followed by its private\n" \
    "suffix, or None if it has no private suffix."

#define LOOKUP_SUBDOMAIN_PARAMETERS "domain, depth, " LOOKUP_TEXT_QUERY_FLAGS
#define LOOKUP_SUBDOMAIN_BODY                                                     \
    "Return the suffix of *domain* reaching *depth* labels beyond its private\n"    \
    "suffix, or None if *domain* has too few labels. Depth 0 is the private\n"      \
    "suffix itself."

// The batch forms: `domains` in place of `domain`, `threads` before the
// flags, and one body naming the per-call function.
#define LOOKUP_BATCH_TEXT_FLAGS "*, threads=1, accept_unknown=True, icann_only=False, keep_case=False"
#define LOOKUP_BATCH_TRUTH_FLAGS "*, threads=1, accept_unknown=True, icann_only=False"
#define LOOKUP_PUBLICSUFFIX_BATCH_PARAMETERS "domains, " LOOKUP_BATCH_TEXT_FLAGS
#define LOOKUP_PRIVATESUFFIX_BATCH_PARAMETERS "domains, " LOOKUP_BATCH_TEXT_FLAGS
#define LOOKUP_IS_PUBLIC_BATCH_PARAMETERS "domains, " LOOKUP_BATCH_TRUTH_FLAGS
#define LOOKUP_IS_PRIVATE_BATCH_PARAMETERS "domains, " LOOKUP_BATCH_TRUTH_FLAGS
#define LOOKUP_PRIVATEPARTS_BATCH_PARAMETERS "domains, " LOOKUP_BATCH_TEXT_FLAGS
#define LOOKUP_SUBDOMAIN_BATCH_PARAMETERS "domains, depth, " LOOKUP_BATCH_TEXT_FLAGS
#define LOOKUP_BATCH_BODY(name)                                                      \
    "Return the list of " name "() of each domain in *domains*, an iterable of\n"    \
    "str read once at the start. The lookups run without the GIL on up to\n"         \
    "*threads* threads (one per 1024 domains at most, and 64 at most). Errors\n"     \
    "are those of " name "(), with a note naming the failing item's index."

// A module function's docstring, and a method's (which names $self first).
#define LOOKUP_FUNCTION_DOC(name, PARAMETERS, BODY) name "(" PARAMETERS ")\n--\n\n" BODY
#define LOOKUP_METHOD_DOC(name, PARAMETERS, BODY) name "($self, " PARAMETERS ")\n--\n\n" BODY
