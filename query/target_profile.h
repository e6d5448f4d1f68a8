// Target profiles: defaults for a cross build's queries, read from a small
// "Key: value" file named after the target triplet. A profile only supplies
// defaults; every environment variable still wins over it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TargetProfile {
  std::string triplet;
  std::string path;
  std::optional<std::string> search_path;          // in place of the built-in list
  std::optional<std::string> sysroot;              // as MOD_QUERY_SYSROOT_DIR
  std::optional<std::string> system_include_path;  // as MOD_QUERY_SYSTEM_INCLUDE_PATH
  std::optional<std::string> system_library_path;  // as MOD_QUERY_SYSTEM_LIBRARY_PATH
};

// The triplet a run is for: MOD_QUERY_TARGET when set (empty: none), else the
// part before "-mod-query" of the name the program was started under.
// Nothing for a plain "mod-query".
std::optional<std::string> requested_target(const char* program_name, const char* target_variable);

// A triplet names a file in the profile folder: letters, digits, "_", "."
// and "-" only, not starting with ".".
bool valid_triplet(std::string_view triplet);

// Parses profile text into `profile`. On a malformed line, an unknown key or
// a repeated one, returns false with the message (one line, newline ended)
// in `error`.
bool parse_target_profile(std::string_view text, TargetProfile* profile, std::string* error);

// Finds and reads the profile of `triplet` from `folder`. False with the
// message in `error` when it is missing, unreadable or malformed.
bool load_target_profile(const std::string& triplet, const std::string& folder,
                         TargetProfile* profile, std::string* error);

// Traces, when debugging, which profile was read and whether each of its
// values is in use or overridden by its variable.
void trace_target_profile(const TargetProfile& profile);

// The folder of installed profiles: ../share/mod-query/targets from the
// program's own folder, else the one fixed at build time.
std::string target_profile_folder();
