#include <cstdarg>
#include <cstdio>

#include "hdrpatch/hdrpatch.h"

namespace {

void report(const char* prefix, const char* format, va_list args) {
  fflush(stdout);
  fprintf(stderr, prefix, kProgramName);
  vfprintf(stderr, format, args);
}

}  // namespace

void report_error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  report(_("%s: Error: "), format, args);
  va_end(args);
}

void report_warning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  report(_("%s: Warning: "), format, args);
  va_end(args);
}
