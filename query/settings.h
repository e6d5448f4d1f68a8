// What the mod-query command line asked for.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

struct QuerySettings {
  bool output_option_given = false;
  uint8_t flag_mask = 0;
  bool exists_query = false;
  bool print_requires = false;
  bool print_requires_private = false;
  bool version_option_given = false;
  bool tool_version_query = false;
  bool modversion_query = false;
  std::optional<std::string> variable_query;
  bool print_variables = false;
  bool uninstalled_query = false;
  std::optional<std::string> atleast_bound;
  std::optional<std::string> exact_bound;
  std::optional<std::string> max_bound;
  bool list_all = false;
  bool print_provides = false;
  bool validate_query = false;
  int silence_errors = 0;  // int fields are written by the option parser
  int static_linking = 0;
  std::optional<std::string> min_tool_version;
  int short_errors = 0;
  std::optional<std::string> sysroot_dir;
  // Defaults the environment can override: the built-in ones, or a target
  // profile's (which the driver keeps for the run). The search list is also
  // the self package's "mq_path". Plain pointers: nothing is built before
  // the program starts.
  const char* builtin_search_dirs = "/usr/lib/modquery:/usr/share/modquery";
  const char* system_include_path = "/usr/include";
  const char* system_library_path = "/usr/lib:/lib";
};

extern QuerySettings query_settings;
