// Where a compiled-in directory lies relative to the program as installed.
#pragma once

// Each gives a new directory string owned by the caller, or null when no
// relocated directory applies (the caller then uses its compiled-in one).
char* install_relative_dir(const char* program, const char* bin_dir, const char* target_dir);
char* install_relative_dir_unresolved(const char* program, const char* bin_dir,
                                      const char* target_dir);
char* relocate_dir(const char* program, const char* bin_dir, const char* target_dir,
                   bool resolve_links);
// Splits a path into components, each an element with the run of "/" after it.
char** split_path_components(const char* path, int* count);
