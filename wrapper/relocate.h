// Where a compiled-in directory lies relative to the program as installed.
#pragma once

// Each gives a new directory string owned by the caller, or null when no
// relocated directory applies (the caller then uses its compiled-in one).
char* install_relative_dir(const char* program, const char* bin_dir, const char* target_dir);
char* install_relative_dir_unresolved(const char* program, const char* bin_dir,
                                      const char* target_dir);
char* relocate_dir(const char* program, const char* bin_dir, const char* target_dir,
                   bool resolve_links);
// The steps of the above, for a caller that relocates several directories
// from one program: its full path (found on PATH when it has no "/", links
// resolved when asked; null when memory runs out), then a directory
// relocated from that path.
char* resolve_program_path(const char* program, bool resolve_links);
char* relocate_from_path(const char* full_program_path, const char* bin_dir,
                         const char* target_dir);
// Splits a path into components, each an element with the run of "/" after it.
char** split_path_components(const char* path, int* count);
