// Whether a search directory holds a module file of a given name. A query
// that reaches hundreds of modules asks each directory many times; after a
// few questions the directory is read once and answered from memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The path of `file_name` in the directory search_path[dir_index].
std::string module_file_path(size_t dir_index, std::string_view file_name);
// True when that path is a regular file, as stat would say.
bool module_file_present(size_t dir_index, std::string_view file_name);
