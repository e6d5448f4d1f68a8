// Records, process-wide tables and switches shared by every part of mod-query,
// and the two diagnostic printers through which all its messages go.
#pragma once
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "query/record_text.h"
#include "query/text_hash.h"
#include "query/variable_list.h"
#include "query/view_table.h"
#include "support/charclass.h"

struct PackageRecord;

enum class VersionOp : int {
  Less = 0,
  Greater = 1,
  LessEqual = 2,
  GreaterEqual = 3,
  Equal = 4,
  NotEqual = 5,
  Any = 6,
};

enum FlagClass : uint8_t {
  LIBS_l = 1,
  LIBS_L = 2,
  LIBS_OTHER = 4,
  CFLAGS_I = 8,
  CFLAGS_OTHER = 16,
};
constexpr uint8_t LIBS_ANY = LIBS_l | LIBS_L | LIBS_OTHER;

// Its texts are kept by the record that declares it, or by the caller that
// parsed the list.
struct VersionRequirement {
  Text name;
  VersionOp comparison = VersionOp::Any;
  std::optional<Text> bound;
  PackageRecord* declared_by = nullptr;
};

struct FlagItem {
  uint8_t flag_class;
  Text text;  // output form, already shell-escaped; in the record's texts
};

using VariableMap = std::unordered_map<std::string, std::string, TextHash, std::equal_to<>>;

struct PackageRecord {
  std::string module_key;
  // The record's texts, kept in `texts` (or literals).
  TextStore texts;
  std::optional<Text> display_name;
  std::optional<Text> version_text;
  std::optional<Text> summary;
  std::optional<Text> home_url;
  std::optional<Text> file_dir;
  std::vector<VersionRequirement> public_requirements;
  std::vector<PackageRecord*> public_deps;
  std::vector<VersionRequirement> private_requirements;
  std::vector<PackageRecord*> all_deps;
  std::vector<FlagItem> link_flags;
  std::vector<FlagItem> compile_flags;
  VariableList variables;
  std::vector<VersionRequirement> conflicts_with;
  bool from_uninstalled_file = false;
  int32_t search_rank = 0;
  int32_t libs_lines_seen = 0;
  int32_t libs_private_lines_seen = 0;
  std::optional<Text> file_prefix;
  // The key's number in the package table, shared by the records read
  // under one key; requirement walks enter keys by it. 0: not numbered yet.
  uint32_t key_number = 0;
};

// Keys refer to the records' own module_key texts.
using PackageTable = ViewTable<PackageRecord*>;
using GlobalVariables = VariableMap;
using SearchPath = std::vector<std::string>;

struct LoaderSwitches {
  bool skip_requires = false;
  bool skip_requires_private = true;
  bool skip_libs_private = true;
  // Set for a listing that reports nothing: flags would be parsed unseen.
  bool skip_flags = false;
  bool fail_on_parse_error = true;
  bool prefer_uninstalled = true;
  int define_prefix = 0;  // int: written by the option parser
  std::string prefix_variable = "prefix";
};

// int fields: the option parser writes them directly, in command-line order.
struct DiagnosticSwitches {
  int debug_enabled = 0;
  int errors_enabled = 0;
  int errors_to_stdout = 0;
};

extern PackageTable* package_table;  // null until init_package_table
extern uint32_t package_key_count;   // keys numbered so far
extern GlobalVariables global_variables;
extern SearchPath search_path;
extern LoaderSwitches loader_switches;
extern DiagnosticSwitches diagnostic_switches;

void(debug_spew)(const char* format, ...) __attribute__((format(printf, 1, 2)));
void verbose_error(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Tracing is off in almost every run, and some traces sit on paths taken
// once per module or per requirement: the switch is tested before the call,
// so that nothing is formatted, or even computed, for a trace not printed.
#define debug_spew(...) (diagnostic_switches.debug_enabled ? (debug_spew)(__VA_ARGS__) : void())

// Ends the run after a strict parse error when the switches ask for it.
void end_on_parse_error();
// Ends the run; every fatal path of mod-query goes through here. A harness
// that drives the parts in one process (the fuzz targets) may install a hook
// that does not return to the caller either, in place of exit.
[[noreturn]] void query_exit(int status);
extern void (*query_exit_hook)(int status);

// Inline: a sort calls it once per comparison.
inline int compare_search_rank(const PackageRecord* a, const PackageRecord* b) {
  if (a->search_rank < b->search_rank) return -1;
  if (a->search_rank > b->search_rank) return 1;
  return 0;
}
inline bool is_c_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
inline std::string_view trim_view(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && is_c_space(text[begin])) ++begin;
  while (end > begin && is_c_space(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}
std::string trim_string(std::string_view text);
