// Finding modules on the search path: loading, resolving, verifying.
#pragma once
#include <string>
#include <vector>

#include "query/query.h"

inline constexpr const char* kModQueryVersion = "0.29.2";

void append_search_dirs(const char* text, char separator);
std::vector<std::string> split_dir_list(std::vector<std::string> list, const char* text);
void init_package_table(bool list_all);
class ModuleFileReader;
// Loads a module and everything it requires; `reader` may be shared by
// several loads (a listing's), else the load has its own.
PackageRecord* load_module(const std::string& name, bool reporting,
                           ModuleFileReader* reader = nullptr);
PackageRecord* lookup_module(const std::string& name);
PackageRecord* lookup_module_quiet(const std::string& name);
