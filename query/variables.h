// Global variables, per-module environment overrides and ${NAME} expansion.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "query/query.h"

void set_global_variable(const std::string& name, const std::string& value);
// Splits a --define-variable argument into NAME and VALUE; false when malformed.
bool split_define_argument(std::string_view argument, std::string* name, std::string* value);
// Takes the environment's MOD_QUERY_* entries, where per-module overrides
// (MOD_QUERY_<KEY>_<VARIABLE>) are then looked up. The driver takes it once
// at start; without it no override applies.
void take_override_snapshot();
// The override, global or module value of a variable; the view points into
// the environment or a table, and holds until the record's variables change.
std::optional<std::string_view> resolve_variable(const PackageRecord& record,
                                                 std::string_view name);
// The text, trimmed, with ${NAME} replaced by the variable's value and $$ by $.
std::string expand_variables(const PackageRecord& record, std::string_view text, const char* path);
// The same as a view: of `text` itself, trimmed, when it names no variable
// (most values), else of `*scratch`, which then holds the expansion.
std::string_view expanded_view(const PackageRecord& record, std::string_view text, const char* path,
                               std::string* scratch);
std::optional<std::string> variable_for_output(const PackageRecord& record,
                                               const std::string& name);
