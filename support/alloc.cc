#include "support/alloc.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

extern char** environ;

void (*exit_cleanup_hook)() = nullptr;

namespace {
const char* alloc_program_name = "";
char* heap_start = nullptr;
}  // namespace

void set_alloc_program_name(const char* name) {
  alloc_program_name = name;
  if (heap_start == nullptr) heap_start = static_cast<char*>(sbrk(0));
}

void report_out_of_memory(size_t size) {
  char* brk_now = static_cast<char*>(sbrk(0));
  // Without a recorded heap start, measure from the start of the data segment.
  unsigned long total =
      heap_start ? static_cast<unsigned long>(brk_now - heap_start)
                 : static_cast<unsigned long>(brk_now - reinterpret_cast<char*>(&environ));
  fprintf(stderr, "\n%s%sout of memory allocating %lu bytes after a total of %lu bytes\n",
          alloc_program_name, *alloc_program_name ? ": " : "", static_cast<unsigned long>(size),
          total);
  exit_process(1);
}

void exit_process(int status) {
  if (exit_cleanup_hook) exit_cleanup_hook();
  exit(status);
}

void* checked_alloc(size_t size) {
  if (size == 0) size = 1;
  void* p = malloc(size);
  if (!p) report_out_of_memory(size);
  return p;
}

void* checked_alloc_zeroed(size_t count, size_t size) {
  if (count == 0 || size == 0) count = size = 1;
  void* p = calloc(count, size);
  if (!p) report_out_of_memory(count * size);
  return p;
}

void* checked_resize(void* block, size_t size) {
  if (size == 0) size = 1;
  void* p = block ? realloc(block, size) : malloc(size);
  if (!p) report_out_of_memory(size);
  return p;
}

char* checked_strdup(const char* text) {
  size_t n = strlen(text) + 1;
  return static_cast<char*>(memcpy(checked_alloc(n), text, n));
}

void route_new_failures_to_report() {
  std::set_new_handler([] { report_out_of_memory(0); });
}
