// Global variables, per-module environment overrides and ${NAME} expansion.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "query/query.h"

void set_global_variable(const std::string& name, const std::string& value);
// Splits a --define-variable argument into NAME and VALUE; false when malformed.
bool split_define_argument(std::string_view argument, std::string* name, std::string* value);
std::string override_env_name(std::string_view module_key, std::string_view name);
std::optional<std::string> resolve_variable(const PackageRecord& record, const std::string& name);
std::string expand_variables(const PackageRecord& record, std::string_view text, const char* path);
std::optional<std::string> variable_for_output(const PackageRecord& record,
                                               const std::string& name);
