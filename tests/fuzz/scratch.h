// Scratch files for the fuzz targets that edit files in place.
#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

inline const std::string& scratch_dir() {
  static const std::string dir = [] {
    char name[] = "/tmp/fuzz-scratchXXXXXX";
    if (mkdtemp(name) == nullptr) abort();
    return std::string(name);
  }();
  return dir;
}

inline void write_file(const std::string& path, const void* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (f == nullptr || fwrite(data, 1, size, f) != size || fclose(f) != 0) abort();
}

inline std::string read_file(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "rb");
  if (f == nullptr) abort();
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  fclose(f);
  return text;
}
