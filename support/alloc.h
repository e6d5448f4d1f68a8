// Checked allocation: never returns null; running out of memory ends the
// process with a fixed report and status 1.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

extern void (*exit_cleanup_hook)();

void* checked_alloc(size_t size);
void* checked_alloc_zeroed(size_t count, size_t size);
void* checked_resize(void* block, size_t size);
char* checked_strdup(const char* text);
void set_alloc_program_name(const char* name);
[[noreturn]] void report_out_of_memory(size_t size);
[[noreturn]] void exit_process(int status);
// Routes a failed C++ allocation (operator new) into the same report and
// status instead of an abort. The handler is not told the size it failed
// on, so the report gives 0 bytes for it.
void route_new_failures_to_report();

// Owner of a block from the functions above (or malloc): frees it once.
struct FreeDeleter {
  void operator()(void* block) const { free(block); }
};
using OwnedCString = std::unique_ptr<char, FreeDeleter>;
