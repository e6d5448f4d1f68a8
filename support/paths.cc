#include "support/paths.h"

#include "support/charclass.h"

const char* path_last_component(const char* path) {
  const char* last = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/') last = p + 1;
  return last;
}

const char* path_last_component_dos(const char* path) {
  if (cc_is(path[0], CC_UPPER | CC_LOWER) && path[1] == ':') path += 2;
  const char* last = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') last = p + 1;
  return last;
}

size_t write_directory_prefix(std::string_view piece, char* out) {
  if (piece.empty()) {
    out[0] = '.';
    out[1] = '/';
    return 2;
  }
  piece.copy(out, piece.size());
  size_t n = piece.size();
  if (out[n - 1] != '/') out[n++] = '/';
  return n;
}
