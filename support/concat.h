// Concatenation of null-terminated lists of strings into fresh or given memory.
#pragma once
#include <cstddef>

// Buffer for join_into_shared; set by a caller that wants it.
extern char* join_target;

size_t joined_length(const char* first, ...) __attribute__((sentinel));
char* join_into(char* destination, const char* first, ...) __attribute__((sentinel));
char* join_into_shared(const char* first, ...) __attribute__((sentinel));
char* join_strings(const char* first, ...) __attribute__((sentinel));
// Joins the list, then frees old (which may be one of the listed strings).
char* rejoin_strings(char* old, ...) __attribute__((sentinel));
