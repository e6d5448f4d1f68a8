#include "query/target_profile.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "query/module_file.h"
#include "query/query.h"
#include "support/install_dirs.h"

namespace {

// A profile is a few lines; anything larger is not one.
constexpr off_t kMaxProfileSize = off_t{1} << 20;

struct ProfileKey {
  const char* name;
  std::optional<std::string> TargetProfile::*field;
};

constexpr ProfileKey kProfileKeys[] = {
    {"SearchPath", &TargetProfile::search_path},
    {"Sysroot", &TargetProfile::sysroot},
    {"SystemIncludePath", &TargetProfile::system_include_path},
    {"SystemLibraryPath", &TargetProfile::system_library_path},
};

std::string quoted(std::string_view text) {
  std::string result;
  result.reserve(text.size() + 2);
  result.push_back('\'');
  result.append(text);
  result.push_back('\'');
  return result;
}

}  // namespace

std::optional<std::string> requested_target(const char* program_name, const char* target_variable) {
  if (target_variable) {
    if (*target_variable == '\0') return std::nullopt;
    return std::string(target_variable);
  }
  if (program_name == nullptr) return std::nullopt;
  std::string_view base(program_name);
  if (size_t slash = base.rfind('/'); slash != std::string_view::npos)
    base.remove_prefix(slash + 1);
  constexpr std::string_view kSuffix = "-mod-query";
  if (base.size() <= kSuffix.size() || base.substr(base.size() - kSuffix.size()) != kSuffix)
    return std::nullopt;
  return std::string(base.substr(0, base.size() - kSuffix.size()));
}

bool valid_triplet(std::string_view triplet) {
  if (triplet.empty() || triplet[0] == '.') return false;
  for (char c : triplet)
    if (!cc_is(c, CC_DIGIT | CC_UPPER | CC_LOWER) && c != '_' && c != '.' && c != '-') return false;
  return true;
}

bool parse_target_profile(std::string_view text, TargetProfile* profile, std::string* error) {
  LogicalLineReader lines(text);
  std::string line;
  while (lines.next(&line)) {
    const std::string trimmed = trim_string(line.c_str());
    if (trimmed.empty()) continue;
    const size_t colon = trimmed.find(':');
    const std::string key = trim_string(std::string_view(trimmed).substr(0, colon));
    const ProfileKey* found = nullptr;
    for (const ProfileKey& k : kProfileKeys)
      if (colon != std::string::npos && key == k.name) found = &k;
    if (colon == std::string::npos) {
      *error = "Malformed line " + quoted(trimmed) + " in " + quoted(profile->path) + "\n";
      return false;
    }
    if (found == nullptr) {
      *error = "Unknown keyword " + quoted(key) + " in " + quoted(profile->path) + "\n";
      return false;
    }
    std::optional<std::string>& field = profile->*(found->field);
    if (field) {
      *error = key + " field occurs twice in " + quoted(profile->path) + "\n";
      return false;
    }
    field = trim_string(std::string_view(trimmed).substr(colon + 1));
  }
  return true;
}

bool load_target_profile(const std::string& triplet, const std::string& folder,
                         TargetProfile* profile, std::string* error) {
  profile->triplet = triplet;
  if (!valid_triplet(triplet)) {
    *error = "Invalid target name " + quoted(triplet) + "\n";
    return false;
  }
  profile->path = folder + "/" + triplet;
  const int fd = open(profile->path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int open_error = errno;
    *error = open_error == ENOENT
                 ? "No profile for target " + quoted(triplet) + " (looked for " +
                       quoted(profile->path) + ")\n"
                 : "Failed to open " + quoted(profile->path) + ": " + g_strerror(open_error) + "\n";
    return false;
  }
  struct stat st;
  std::string text;
  bool ok = false;
  if (fstat(fd, &st) != 0) {
    *error = "Failed to open " + quoted(profile->path) + ": " + g_strerror(errno) + "\n";
  } else if (!S_ISREG(st.st_mode) || st.st_size > kMaxProfileSize) {
    *error = "Failed to open " + quoted(profile->path) + ": " +
             (S_ISREG(st.st_mode) ? g_strerror(EFBIG) : "Not a regular file") + "\n";
  } else {
    ok = true;
    text.resize(static_cast<size_t>(st.st_size));
    size_t size = 0;
    while (size < text.size()) {
      const ssize_t got = read(fd, &text[size], text.size() - size);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        *error = "Failed to read " + quoted(profile->path) + ": " + g_strerror(errno) + "\n";
        ok = false;
      }
      if (got <= 0) break;
      size += static_cast<size_t>(got);
    }
    text.resize(size);
  }
  close(fd);
  return ok && parse_target_profile(text, profile, error);
}

std::string target_profile_folder() {
  return installed_folder(MOD_QUERY_TARGETS_FROM_BIN, MOD_QUERY_TARGETS_DIR);
}
