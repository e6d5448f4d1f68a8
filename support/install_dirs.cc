#include "support/install_dirs.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

std::string running_program_folder() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof path) return {};
  std::string folder(path, static_cast<size_t>(n));
  size_t slash = folder.rfind('/');
  if (slash == std::string::npos) return {};
  folder.resize(slash == 0 ? 1 : slash);
  return folder;
}

std::string installed_folder(const char* from_bin, const char* fallback) {
  std::string folder = running_program_folder();
  if (!folder.empty()) {
    folder += '/';
    folder += from_bin;
    struct stat st;
    if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return folder;
  }
  return fallback;
}
