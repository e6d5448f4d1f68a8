#include "wrapper/relocate.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "support/paths.h"

// Plain allocation throughout: running out of memory yields no directory
// instead of ending the process.

namespace {

void free_components(char** components) {
  if (components == nullptr) return;
  for (char** c = components; *c; ++c) free(*c);
  free(components);
}

// The program's path: as given when it holds a "/", else found on PATH.
// Returns a heap copy or null when memory runs out.
char* locate_program(const char* program) {
  if (strchr(program, '/') != nullptr) return strdup(program);
  const char* path = getenv("PATH");
  if (path == nullptr) return strdup(program);
  const size_t program_length = strlen(program);
  const size_t size = strlen(path) + (*path ? 1 : 2) + program_length + 1;
  char stack_buffer[0xFC0];
  char* candidate = size < sizeof stack_buffer ? stack_buffer : static_cast<char*>(malloc(size));
  if (candidate == nullptr) return nullptr;
  char* found = nullptr;
  for_each_list_piece(path, ':', [&](std::string_view piece) {
    if (found) return;
    const size_t n = write_directory_prefix(piece, candidate);
    memcpy(candidate + n, program, program_length + 1);
    struct stat st;
    if (access(candidate, X_OK) == 0 && stat(candidate, &st) == 0 && S_ISREG(st.st_mode))
      found = strdup(candidate);
  });
  const bool nothing_found = found == nullptr;
  if (candidate != stack_buffer) free(candidate);
  return nothing_found ? strdup(program) : found;
}

}  // namespace

char** split_path_components(const char* path, int* count) {
  if (path == nullptr || *path == '\0') return nullptr;
  int runs = 0;
  for (const char* p = path; *p;) {
    if (*p == '/') {
      ++runs;
      while (*p == '/') ++p;
    } else {
      ++p;
    }
  }
  char** components = static_cast<char**>(calloc(static_cast<size_t>(runs) + 2, sizeof(char*)));
  if (components == nullptr) return nullptr;
  int n = 0;
  const char* start = path;
  while (*start) {
    const char* end = start;
    while (*end && *end != '/') ++end;
    while (*end == '/') ++end;
    components[n] = strndup(start, static_cast<size_t>(end - start));
    if (components[n] == nullptr) {
      free_components(components);
      return nullptr;
    }
    ++n;
    start = end;
  }
  components[n] = nullptr;
  *count = n;
  return components;
}

char* resolve_program_path(const char* program, bool resolve_links) {
  char* located = locate_program(program);
  if (located == nullptr || !resolve_links) return located;
  char resolved[4096];
  char* full = realpath(located, resolved) ? strdup(resolved) : strdup(located);
  free(located);
  return full;
}

char* relocate_dir(const char* program, const char* bin_dir, const char* target_dir,
                   bool resolve_links) {
  if (program == nullptr) return nullptr;
  char* full = resolve_program_path(program, resolve_links);
  char* result = relocate_from_path(full, bin_dir, target_dir);
  free(full);
  return result;
}

char* relocate_from_path(const char* full, const char* bin_dir, const char* target_dir) {
  if (full == nullptr || bin_dir == nullptr || target_dir == nullptr) return nullptr;
  int program_count = 0, bin_count = 0, target_count = 0;
  char** program_parts = split_path_components(full, &program_count);
  char** bin_parts = split_path_components(bin_dir, &bin_count);
  char** target_parts = split_path_components(target_dir, &target_count);
  char* result = nullptr;
  if (program_parts && bin_parts && target_parts) {
    // Drop the file name: what remains is the program's directory.
    free(program_parts[program_count - 1]);
    program_parts[--program_count] = nullptr;

    bool in_bin_dir = program_count == bin_count;
    for (int i = 0; in_bin_dir && i < program_count; ++i)
      in_bin_dir = strcmp(program_parts[i], bin_parts[i]) == 0;

    int common = 0;
    while (common < bin_count && common < target_count &&
           strcmp(bin_parts[common], target_parts[common]) == 0)
      ++common;

    if (!in_bin_dir && common > 0) {
      size_t size = 1 + 3 * static_cast<size_t>(bin_count - common);
      for (int i = 0; i < program_count; ++i) size += strlen(program_parts[i]);
      for (int i = common; i < target_count; ++i) size += strlen(target_parts[i]);
      result = static_cast<char*>(malloc(size));
      if (result) {
        char* end = result;
        for (int i = 0; i < program_count; ++i) end = stpcpy(end, program_parts[i]);
        for (int i = common; i < bin_count; ++i) end = stpcpy(end, "../");
        for (int i = common; i < target_count; ++i) end = stpcpy(end, target_parts[i]);
      }
    }
  }
  free_components(program_parts);
  free_components(bin_parts);
  free_components(target_parts);
  return result;
}

char* install_relative_dir(const char* program, const char* bin_dir, const char* target_dir) {
  return relocate_dir(program, bin_dir, target_dir, true);
}

char* install_relative_dir_unresolved(const char* program, const char* bin_dir,
                                      const char* target_dir) {
  return relocate_dir(program, bin_dir, target_dir, false);
}
