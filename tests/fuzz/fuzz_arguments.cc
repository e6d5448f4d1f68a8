// Response-file argument splitting: what is written must split back to the
// same vector.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hdrpatch/response_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The file's text ends at its first NUL byte, as response files do.
  const std::string text(reinterpret_cast<const char*>(data),
                         strnlen(reinterpret_cast<const char*>(data), size));
  ArgVector first = split_into_arguments(text.c_str());
  char* written = nullptr;
  size_t written_size = 0;
  FILE* stream = open_memstream(&written, &written_size);
  if (write_argument_vector(first, stream) != 0) __builtin_trap();
  fclose(stream);
  ArgVector again = split_into_arguments(written);
  if (count_arguments(first) != count_arguments(again)) __builtin_trap();
  for (int i = 0; first[i]; ++i)
    if (strcmp(first[i], again[i]) != 0) __builtin_trap();
  ArgVector copy = copy_argument_vector(first);
  if (count_arguments(copy) != count_arguments(first)) __builtin_trap();
  free_argument_vector(copy);
  free_argument_vector(first);
  free_argument_vector(again);
  free(written);
  return 0;
}
