/* lookup_psl: Public Suffix List lookups for C and C++ programs.
 *
 * C99; usable from C++ (every declaration is extern "C"). No C++ exception,
 * abort() or output to a stream ever leaves these functions: a failure is a
 * status code (and, for list building, a message).
 *
 * Lists. A list is an opaque, immutable handle. lookup_psl_builtin() gives
 * the list compiled into the library: a static handle, never freed
 * (lookup_psl_list_free() on it does nothing). lookup_psl_list_from_file()
 * and lookup_psl_list_from_bytes() build a list at run time from a Public
 * Suffix List file, with optional extra rules of the caller's entered into
 * its private section; free those with lookup_psl_list_free(). Any number of
 * threads may query one list at the same time with no locking.
 *
 * Domains. Every query takes `length` bytes of valid UTF-8 at `domain` (no
 * terminator needed; domain may be NULL when length is 0). The library
 * lowercases (full Unicode lowercasing), drops one trailing dot and refuses
 * empty labels itself: the caller prepares nothing. Text that is not valid
 * UTF-8 is refused with LOOKUP_PSL_E_UTF8. A domain with an empty label
 * (including the empty domain) has no answer: LOOKUP_PSL_NONE, or 0 from the
 * yes/no queries.
 *
 * Answers. The text queries write their answer into the caller's buffer:
 *   - when there is an answer, *needed (if not NULL) is set to its length in
 *     bytes, not counting the terminating NUL;
 *   - the answer and a NUL are written when size > that length, and the call
 *     returns LOOKUP_PSL_OK; otherwise nothing is written and it returns
 *     LOOKUP_PSL_E_BUFFER (out may be NULL when size is 0, to ask the size);
 *   - with no answer it returns LOOKUP_PSL_NONE, sets *needed to 0 and
 *     writes an empty string when size > 0.
 * The answer is lowercase unless LOOKUP_PSL_KEEP_CASE is given, when it is
 * cut from the caller's own text. The *_view functions always answer under
 * keep-case, with no copy: a view into the caller's `domain` bytes, valid as
 * long as those are.
 */
#ifndef LOOKUP_PSL_H
#define LOOKUP_PSL_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define LOOKUP_PSL_API
#elif defined(__GNUC__)
#define LOOKUP_PSL_API __attribute__((visibility("default")))
#else
#define LOOKUP_PSL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct lookup_psl_list lookup_psl_list;

/* Flags, or-ed together; 0 is the default of every query. */
enum {
    /* Only the rules of the list's ICANN section count. */
    LOOKUP_PSL_ICANN_ONLY = 1,
    /* A name that no rule matches has no public suffix; by default its
       top-level label is its public suffix, as browsers take it. */
    LOOKUP_PSL_REJECT_UNKNOWN = 2,
    /* Answers are cut from the caller's text, letter case kept. */
    LOOKUP_PSL_KEEP_CASE = 4
};

typedef enum lookup_psl_status {
    LOOKUP_PSL_OK = 0,
    LOOKUP_PSL_NONE = 1,          /* the query has no answer for this domain */
    LOOKUP_PSL_E_BUFFER = -1,     /* the answer does not fit: see *needed */
    LOOKUP_PSL_E_ARGUMENT = -2,   /* a NULL the function refuses, or unknown flags */
    LOOKUP_PSL_E_UTF8 = -3,       /* the domain is not valid UTF-8 */
    LOOKUP_PSL_E_LIST = -4,       /* the list (or an extra rule) cannot be built */
    LOOKUP_PSL_E_FILE = -5,       /* the list file cannot be read (errno in the error) */
    LOOKUP_PSL_E_NO_MEMORY = -6,  /* memory ran out */
    LOOKUP_PSL_E_INTERNAL = -7    /* a fault inside the library (a corrupt table) */
} lookup_psl_status;

/* What went wrong in building a list. */
typedef struct lookup_psl_error {
    lookup_psl_status status;
    size_t line;         /* 1-based line of the list file, 0 when none */
    size_t extra_rule;   /* 1-based position among the extra rules, 0 when none */
    int system_error;    /* errno of a file that cannot be read, else 0 */
    /* As the Python package words it: "line 12: <reason>",
       "extra rule 2: <reason>", or the reason alone; NUL-terminated,
       cut short to fit. */
    char message[512];
} lookup_psl_error;

/* A view into the caller's text. */
typedef struct lookup_psl_view {
    const char* data;
    size_t length;
} lookup_psl_view;

/* ---- lists ------------------------------------------------------------ */

/* The list compiled in. Never NULL; static; needs no freeing. */
LOOKUP_PSL_API const lookup_psl_list* lookup_psl_builtin(void);

/* Builds a list from the file at `path` (or from `size` bytes at `data`),
 * with `extra_rule_count` extra rules (NUL-terminated UTF-8 list lines; the
 * array may be NULL when the count is 0) entered into the private section
 * after the list's own rules. On success *list is the new list and the call
 * returns LOOKUP_PSL_OK; otherwise *list is NULL, the status says why and
 * `error`, when not NULL, holds the details. `list` must not be NULL. The
 * bytes and the rules are copied: the caller may free them on return. */
LOOKUP_PSL_API lookup_psl_status lookup_psl_list_from_file(const char* path, const char* const* extra_rules,
                                                           size_t extra_rule_count, lookup_psl_list** list,
                                                           lookup_psl_error* error);
LOOKUP_PSL_API lookup_psl_status lookup_psl_list_from_bytes(const char* data, size_t size,
                                                            const char* const* extra_rules,
                                                            size_t extra_rule_count, lookup_psl_list** list,
                                                            lookup_psl_error* error);

/* Frees a list built at run time. NULL and the built-in list are ignored. */
LOOKUP_PSL_API void lookup_psl_list_free(const lookup_psl_list* list);

/* The SHA-256 of the list file's bytes, 64 lowercase hex digits. */
LOOKUP_PSL_API const char* lookup_psl_list_checksum(const lookup_psl_list* list);
/* The text of the list's "// VERSION:" and "// COMMIT:" header lines, or
 * NULL when it has none (the built-in list records neither). */
LOOKUP_PSL_API const char* lookup_psl_list_version(const lookup_psl_list* list);
LOOKUP_PSL_API const char* lookup_psl_list_commit(const lookup_psl_list* list);
/* The strings above live as long as the list; NULL for a NULL list. */

/* The library's version, "MAJOR.MINOR.PATCH". */
LOOKUP_PSL_API const char* lookup_psl_version(void);

/* ---- queries ----------------------------------------------------------
 * `list` must not be NULL (LOOKUP_PSL_E_ARGUMENT). */

/* The public suffix: "co.uk" for "www.example.co.uk". */
LOOKUP_PSL_API lookup_psl_status lookup_psl_publicsuffix(const lookup_psl_list* list, const char* domain,
                                                         size_t length, unsigned flags, char* out, size_t size,
                                                         size_t* needed);
/* The private suffix (libpsl's registrable domain): "example.co.uk". */
LOOKUP_PSL_API lookup_psl_status lookup_psl_privatesuffix(const lookup_psl_list* list, const char* domain,
                                                          size_t length, unsigned flags, char* out, size_t size,
                                                          size_t* needed);
/* The private suffix with `depth` more labels: "www.example.co.uk" at 1. */
LOOKUP_PSL_API lookup_psl_status lookup_psl_subdomain(const lookup_psl_list* list, const char* domain,
                                                      size_t length, uint64_t depth, unsigned flags, char* out,
                                                      size_t size, size_t* needed);
/* The labels in front of the private suffix, then the private suffix, as one
 * text (the domain less a trailing dot); *labels_in_front (not NULL) is how
 * many dot-separated labels come before the private suffix. */
LOOKUP_PSL_API lookup_psl_status lookup_psl_privateparts(const lookup_psl_list* list, const char* domain,
                                                         size_t length, unsigned flags, char* out, size_t size,
                                                         size_t* needed, size_t* labels_in_front);

/* Yes/no: 1 or 0, or a negative lookup_psl_status. is_public: the whole
 * domain is a public suffix; is_private: it has a private suffix. */
LOOKUP_PSL_API int lookup_psl_is_public(const lookup_psl_list* list, const char* domain, size_t length,
                                        unsigned flags);
LOOKUP_PSL_API int lookup_psl_is_private(const lookup_psl_list* list, const char* domain, size_t length,
                                         unsigned flags);

/* The same text answers as views into `domain` (keep-case implied): OK with
 * *answer set, or NONE with *answer {NULL, 0}. `answer` must not be NULL. */
LOOKUP_PSL_API lookup_psl_status lookup_psl_publicsuffix_view(const lookup_psl_list* list, const char* domain,
                                                              size_t length, unsigned flags,
                                                              lookup_psl_view* answer);
LOOKUP_PSL_API lookup_psl_status lookup_psl_privatesuffix_view(const lookup_psl_list* list, const char* domain,
                                                               size_t length, unsigned flags,
                                                               lookup_psl_view* answer);
LOOKUP_PSL_API lookup_psl_status lookup_psl_subdomain_view(const lookup_psl_list* list, const char* domain,
                                                           size_t length, uint64_t depth, unsigned flags,
                                                           lookup_psl_view* answer);

/* A short English description of a status ("buffer too small", ...). */
LOOKUP_PSL_API const char* lookup_psl_status_text(lookup_psl_status status);

#ifdef __cplusplus
}
#endif

#endif
