// The archive walk over regular, thin and nested archives on scratch files.
// Nothing crashes or hangs, no file changes size, and every file is changed
// only in the one header field asked for: the OS ABI byte of an ELF header.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "hdrpatch/archive.h"
#include "hdrpatch/edit_file.h"
#include "hdrpatch/hdrpatch.h"
#include "scratch.h"

namespace {

// Each byte that differs is the EI_OSABI byte (offset 7) of an ELF header,
// now holding the requested value.
bool only_osabi_changed(const std::string& before, const std::string& after, int osabi) {
  if (before.size() != after.size()) return false;
  for (size_t i = 0; i < before.size(); ++i) {
    if (before[i] == after[i]) continue;
    if (i < 7 || before.compare(i - 7, 4,
                                "\x7f"
                                "ELF") != 0)
      return false;
    if (static_cast<unsigned char>(after[i]) != osabi) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  edit_settings = EditSettings();
  edit_settings.output_osabi = data[0] % 17;
  const bool thin = data[1] & 1;
  // The rest holds the archive and, after a "@@" separator, a nested archive
  // and a member file the thin archive can name ("inner.a", "m.o").
  const std::string rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  const size_t cut = rest.find("@@");
  const std::string body = rest.substr(0, cut);
  const std::string other = cut == std::string::npos ? std::string() : rest.substr(cut + 2);
  const std::string dir = scratch_dir();
  const std::string archive = (thin ? "!<thin>\n" : "!<arch>\n") + body;
  write_file(dir + "/lib.a", archive.data(), archive.size());
  const std::string inner = "!<arch>\n" + other;
  write_file(dir + "/inner.a", inner.data(), inner.size());
  write_file(dir + "/m.o", other.data(), other.size());

  EditFile* file = edit_file_open((dir + "/lib.a").c_str());
  edit_file_seek(file, 8);
  edit_archive((dir + "/lib.a").c_str(), file, thin);
  edit_file_close(file);
  const int osabi = edit_settings.output_osabi;
  if (!only_osabi_changed(archive, read_file(dir + "/lib.a"), osabi)) __builtin_trap();
  if (!only_osabi_changed(inner, read_file(dir + "/inner.a"), osabi)) __builtin_trap();
  if (!only_osabi_changed(other, read_file(dir + "/m.o"), osabi)) __builtin_trap();
  return 0;
}
