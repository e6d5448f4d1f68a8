#include "support/concat.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "support/alloc.h"

char* join_target = nullptr;

namespace {

size_t length_of(const char* first, va_list args) {
  size_t total = 0;
  for (const char* s = first; s; s = va_arg(args, const char*)) total += strlen(s);
  return total;
}

char* copy_into(char* destination, const char* first, va_list args) {
  char* end = destination;
  for (const char* s = first; s; s = va_arg(args, const char*)) {
    size_t n = strlen(s);
    memcpy(end, s, n);
    end += n;
  }
  *end = '\0';
  return destination;
}

char* join_list(const char* first, va_list args) {
  va_list again;
  va_copy(again, args);
  size_t total = length_of(first, args);
  char* out = static_cast<char*>(checked_alloc(total + 1));
  copy_into(out, first, again);
  va_end(again);
  return out;
}

}  // namespace

size_t joined_length(const char* first, ...) {
  va_list args;
  va_start(args, first);
  size_t total = length_of(first, args);
  va_end(args);
  return total;
}

char* join_into(char* destination, const char* first, ...) {
  va_list args;
  va_start(args, first);
  copy_into(destination, first, args);
  va_end(args);
  return destination;
}

char* join_into_shared(const char* first, ...) {
  va_list args;
  va_start(args, first);
  copy_into(join_target, first, args);
  va_end(args);
  return join_target;
}

char* join_strings(const char* first, ...) {
  va_list args;
  va_start(args, first);
  char* out = join_list(first, args);
  va_end(args);
  return out;
}

char* rejoin_strings(char* old, ...) {
  va_list args;
  va_start(args, old);
  const char* first = va_arg(args, const char*);
  char* out = join_list(first, args);
  va_end(args);
  free(old);
  return out;
}
