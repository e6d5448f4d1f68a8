// ELF header check and update on a scratch file: a failure leaves every byte
// as it was, a success changes only the four fields.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "hdrpatch/edit_file.h"
#include "hdrpatch/elf_header.h"
#include "hdrpatch/hdrpatch.h"
#include "scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  // The first bytes choose the settings; -1 when the byte is 0xFF.
  auto value = [](uint8_t b, int limit) { return b == 0xFF ? -1 : b % (limit + 1); };
  edit_settings = EditSettings();
  edit_settings.input_osabi = value(data[0], 16);
  edit_settings.output_osabi = value(data[1], 16);
  edit_settings.output_abiversion = value(data[2], 255);
  edit_settings.output_type = value(data[3], 3);
  const int machines[] = {-1, 0, 3, 6, 62, 180, 181};
  edit_settings.output_machine = machines[data[4] % 7];
  edit_settings.output_class = class_for_machine(edit_settings.output_machine);
  edit_settings.input_class = data[5] & 1 ? -1 : 3;
  const std::string path = scratch_dir() + "/elf";
  write_file(path, data + 6, size - 6);
  const std::string before = read_file(path);

  EditFile* file = edit_file_open(path.c_str());
  const int result = edit_header("fuzz", file, before.size());
  edit_file_close(file);
  const std::string after = read_file(path);
  if (after.size() != before.size()) __builtin_trap();
  for (size_t i = 0; i < before.size(); ++i) {
    const bool field = i == 7 || i == 8 || (i >= 16 && i < 20);
    if (before[i] != after[i] && (result != 0 || !field)) __builtin_trap();
  }
  return 0;
}
