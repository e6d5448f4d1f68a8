#include "support/tempfiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/alloc.h"

namespace {

char* chosen_directory = nullptr;

bool usable_directory(const char* dir) {
  struct stat st;
  return dir && access(dir, R_OK | W_OK | X_OK) == 0 && stat(dir, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

const char* temp_directory() {
  if (chosen_directory) return chosen_directory;
  const char* candidates[] = {getenv("TMPDIR"), getenv("TMP"), getenv("TEMP"),
                              "/tmp",           "/var/tmp",    "/tmp"};
  const char* dir = ".";
  for (const char* candidate : candidates) {
    if (usable_directory(candidate)) {
      dir = candidate;
      break;
    }
  }
  const size_t length = strlen(dir);
  chosen_directory = static_cast<char*>(checked_alloc(length + 2));
  memcpy(chosen_directory, dir, length);
  chosen_directory[length] = '/';
  chosen_directory[length + 1] = '\0';
  return chosen_directory;
}

char* temp_file_create(const char* prefix, const char* suffix) {
  const char* dir = temp_directory();
  if (prefix == nullptr) prefix = "cc";
  if (suffix == nullptr) suffix = "";
  const size_t dir_length = strlen(dir), prefix_length = strlen(prefix),
               suffix_length = strlen(suffix);
  char* name =
      static_cast<char*>(checked_alloc(dir_length + prefix_length + 6 + suffix_length + 1));
  char* end = name;
  end = static_cast<char*>(memcpy(end, dir, dir_length)) + dir_length;
  end = static_cast<char*>(memcpy(end, prefix, prefix_length)) + prefix_length;
  end = static_cast<char*>(memcpy(end, "XXXXXX", 6)) + 6;
  memcpy(end, suffix, suffix_length + 1);
  const int fd = mkstemps(name, static_cast<int>(suffix_length));
  if (fd == -1) {
    fprintf(stderr, "Cannot create temporary file in %s: %s\n", dir, strerror(errno));
    abort();
  }
  if (close(fd) != 0) abort();
  return name;
}

char* temp_file_create_suffixed(const char* suffix) {
  return temp_file_create(nullptr, suffix);
}
