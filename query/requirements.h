// Requirement lists ("foo >= 1.0, bar") and version comparison.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "query/query.h"

// The entries of a list, as views into it; each but the first begins with
// the separator before it.
std::vector<std::string_view> split_module_list(std::string_view text);
void split_module_list(std::string_view text, std::vector<std::string_view>* entries);
// The entries of a list, their texts kept in `texts`.
std::vector<VersionRequirement> parse_module_list(PackageRecord* declared_by, std::string_view text,
                                                  const char* path, TextStore* texts);
int compare_versions_text(std::string_view a, std::string_view b);
bool version_test(VersionOp comparison, std::string_view actual,
                  std::optional<std::string_view> bound);
const char* comparison_to_str(VersionOp comparison);
