// The archive walk over regular, thin and nested archives on scratch files.
// Nothing crashes or hangs, no file changes size, and the nested archive is
// only ever changed inside ELF headers of its members.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "hdrpatch/archive.h"
#include "hdrpatch/edit_file.h"
#include "hdrpatch/hdrpatch.h"
#include "scratch.h"

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
  if (read_file(dir + "/lib.a").size() != archive.size()) __builtin_trap();
  if (read_file(dir + "/inner.a").size() != inner.size()) __builtin_trap();
  if (read_file(dir + "/m.o").size() != other.size()) __builtin_trap();
  return 0;
}
