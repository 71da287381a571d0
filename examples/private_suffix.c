/* Reads names on standard input, one a line, and prints the private suffix
 * of each (or "-" where there is none), one a line, from the list compiled
 * into liblookup_psl. Build: cc private_suffix.c $(pkg-config --cflags --libs lookup-psl) */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <lookup_psl/lookup_psl.h>

int main(void) {
    const lookup_psl_list* list = lookup_psl_builtin();
    char* line = NULL;
    size_t capacity = 0;
    ssize_t got;
    char small[256];
    while ((got = getline(&line, &capacity, stdin)) >= 0) {
        size_t length = (size_t)got;
        if (length > 0 && line[length - 1] == '\n') {
            --length;
        }
        size_t needed = 0;
        lookup_psl_status status = lookup_psl_privatesuffix(list, line, length, 0, small, sizeof small, &needed);
        if (status == LOOKUP_PSL_E_BUFFER) {
            char* large = malloc(needed + 1);
            if (large == NULL) {
                return 1;
            }
            lookup_psl_privatesuffix(list, line, length, 0, large, needed + 1, &needed);
            puts(large);
            free(large);
        } else if (status == LOOKUP_PSL_OK) {
            puts(small);
        } else if (status == LOOKUP_PSL_NONE || status == LOOKUP_PSL_E_UTF8) {
            puts("-");
        } else {
            fprintf(stderr, "private_suffix: %s\n", lookup_psl_status_text(status));
            return 1;
        }
    }
    free(line);
    return 0;
}
