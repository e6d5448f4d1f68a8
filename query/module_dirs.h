// Finding a module file in a search directory. A directory asked many
// times is read once, so that the names it lacks are answered from memory
// and a regular file it lists is opened at once, without a status call and
// relative to the directory, whose descriptor stays open for the run.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The path of `file_name` in the directory search_path[dir_index].
std::string module_file_path(size_t dir_index, std::string_view file_name);

// A module file found in a search directory: its path, and its descriptor
// when the directory's listing said it was a regular file (it is opened at
// once), else -1 and the reader opens it by its path and reports what fails.
struct FoundModuleFile {
  int fd = -1;
  std::string path;
};

// True when the path names a regular file (links followed), as stat would
// say; then `*found` holds it, and an open descriptor belongs to the caller.
bool find_module_file(size_t dir_index, std::string_view file_name, FoundModuleFile* found);

// Path pieces, computed as GLib's path functions compute them for these
// paths, without their allocations: a listing builds one path per entry.
// `dir` and `name` joined by one "/" (the folder's leading slashes kept, its
// trailing ones dropped; an empty folder gives the name alone), into `out`.
void join_entry_path(std::string_view dir, std::string_view name, std::string* out);
// The last component of a path that does not end in "/".
std::string_view path_base_name(std::string_view path);
// The folder part of a path: "." when it has none, "/" for the root.
std::string path_dir_name(std::string_view path);
