// Finding modules on the search path: loading, resolving, verifying.
#pragma once
#include <string>
#include <vector>

#include "query/query.h"

inline constexpr const char* kModQueryVersion = "0.29.2";

void append_search_dirs(const char* text, char separator);
std::vector<std::string> split_dir_list(std::vector<std::string> list, const char* text);
// Creates the table: the self package, or for a listing every module of
// every search directory. False when loading a module failed a check that
// ends the run (already reported).
bool init_package_table(bool list_all);
class ModuleFileReader;
// Loads a module and everything it requires; `reader` may be shared by
// several loads (a listing's), else the load has its own.
// What a load gives: the module or nothing, and whether a check failed that
// ends the run (its message already printed): a missing requirement, a
// missing field, a version or a conflict.
struct LoadResult {
  PackageRecord* module = nullptr;
  bool failed_check = false;
};
// `listed_dir`: the name is a module file's path that a listing of the
// directory open as `listed_dir` has just reported as a regular file, so no
// status is taken and the file is opened relative to that directory.
LoadResult load_module(Text name, bool reporting, ModuleFileReader* reader = nullptr,
                       int listed_dir = -1);
LoadResult lookup_module(Text name);
LoadResult lookup_module_quiet(Text name);
