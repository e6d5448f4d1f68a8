// Small helpers for unit tests: a scratch folder removed with its contents,
// an environment variable put back as it was, however the test ends, and a
// file's whole text.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

struct ScratchDir {
  std::string path;
  ScratchDir() {
    char pattern[] = "/tmp/objkit-testXXXXXX";
    if (mkdtemp(pattern)) path = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
};

struct SavedEnv {
  std::string name;
  std::optional<std::string> value;
  explicit SavedEnv(const char* variable) : name(variable) {
    if (const char* v = getenv(variable)) value = v;
  }
  ~SavedEnv() {
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
  SavedEnv(const SavedEnv&) = delete;
  SavedEnv& operator=(const SavedEnv&) = delete;
};

// The file's bytes; empty when it cannot be read.
inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
