#include "query/target_profile.h"

#include <glib.h>

#include <cerrno>
#include <cstdlib>

#include "query/module_file.h"
#include "query/query.h"
#include "support/install_dirs.h"

namespace {

// A profile is a few lines; anything larger is not one.
constexpr off_t kMaxProfileSize = off_t{1} << 20;

// Each key, the value it sets, and the variable that wins over that value.
struct ProfileKey {
  const char* name;
  std::optional<std::string> TargetProfile::*field;
  const char* variable;
};

constexpr ProfileKey kProfileKeys[] = {
    {"SearchPath", &TargetProfile::search_path, "MOD_QUERY_LIBDIR"},
    {"Sysroot", &TargetProfile::sysroot, "MOD_QUERY_SYSROOT_DIR"},
    {"SystemIncludePath", &TargetProfile::system_include_path, "MOD_QUERY_SYSTEM_INCLUDE_PATH"},
    {"SystemLibraryPath", &TargetProfile::system_library_path, "MOD_QUERY_SYSTEM_LIBRARY_PATH"},
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
  std::string scratch;
  std::string_view line;
  while (lines.next(&line, &scratch)) {
    // As in a module file, a NUL byte ends the line's text.
    const std::string_view trimmed = trim_view(line.substr(0, line.find('\0')));
    if (trimmed.empty()) continue;
    const size_t colon = trimmed.find(':');
    if (colon == std::string_view::npos) {
      *error = "Malformed line " + quoted(trimmed) + " in " + quoted(profile->path) + "\n";
      return false;
    }
    const std::string_view key = trim_view(trimmed.substr(0, colon));
    const ProfileKey* found = nullptr;
    for (const ProfileKey& k : kProfileKeys)
      if (key == k.name) found = &k;
    if (found == nullptr) {
      *error = "Unknown keyword " + quoted(key) + " in " + quoted(profile->path) + "\n";
      return false;
    }
    std::optional<std::string>& field = profile->*(found->field);
    if (field) {
      *error = std::string(key) + " field occurs twice in " + quoted(profile->path) + "\n";
      return false;
    }
    field = std::string(trim_view(trimmed.substr(colon + 1)));
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
  std::string text;
  size_t size = 0;
  const FileRead file = read_regular_file(profile->path.c_str(), kMaxProfileSize, &text, &size);
  const std::string shown = quoted(profile->path);
  switch (file.outcome) {
    case FileRead::kRead:
      return parse_target_profile(std::string_view(text.data(), size), profile, error);
    case FileRead::kOpenFailed:
      *error = file.error == ENOENT
                   ? "No profile for target " + quoted(triplet) + " (looked for " + shown + ")\n"
                   : "Failed to open " + shown + ": " + g_strerror(file.error) + "\n";
      return false;
    case FileRead::kNotRegular:
      *error = "Failed to open " + shown + ": Not a regular file\n";
      return false;
    case FileRead::kTooLarge:
      *error = "Failed to open " + shown + ": " + g_strerror(EFBIG) + "\n";
      return false;
    case FileRead::kReadFailed:
      *error = "Failed to read " + shown + ": " + g_strerror(file.error) + "\n";
      return false;
  }
  return false;
}

void trace_target_profile(const TargetProfile& profile) {
  if (!diagnostic_switches.debug_enabled) return;
  debug_spew("Target '%s': read profile '%s'\n", profile.triplet.c_str(), profile.path.c_str());
  for (const ProfileKey& key : kProfileKeys) {
    const std::optional<std::string>& value = profile.*(key.field);
    if (!value) continue;
    if (getenv(key.variable))
      debug_spew("Profile value %s '%s' overridden by %s\n", key.name, value->c_str(),
                 key.variable);
    else
      debug_spew("Profile value %s '%s' in use\n", key.name, value->c_str());
  }
}

std::string target_profile_folder() {
  return installed_folder(MOD_QUERY_TARGETS_FROM_BIN, MOD_QUERY_TARGETS_DIR);
}
