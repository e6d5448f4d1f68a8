#include "hdrpatch/elf_header.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "hdrpatch/hdrpatch.h"

namespace {

constexpr size_t kIdentSize = 16;
constexpr int kClass32 = 1, kClass64 = 2;
constexpr int kDataMsb = 2;
constexpr size_t kOsabiOffset = 7, kAbiversionOffset = 8, kTypeOffset = 16, kMachineOffset = 18;

// The header being edited: one image serves the whole run.
struct HeaderImage {
  unsigned char ident[kIdentSize];
  unsigned e_type;
  unsigned e_machine;
  unsigned char raw[64];
  size_t raw_size;
};

HeaderImage image;
uint64_t (*read_field)(const unsigned char*, int) = read_field_le;
void (*write_field)(unsigned char*, uint64_t, int) = write_field_le;

[[noreturn]] void unhandled_length(int size) {
  report_error(_("Unhandled data length: %d\n"), size);
  abort();
}

}  // namespace

uint64_t read_field_le(const unsigned char* field, int size) {
  if (size < 1 || size > 8) unhandled_length(size);
  uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | field[i];
  return value;
}

uint64_t read_field_be(const unsigned char* field, int size) {
  if (size < 1 || size > 8) unhandled_length(size);
  uint64_t value = 0;
  for (int i = 0; i < size; ++i) value = (value << 8) | field[i];
  return value;
}

void write_field_le(unsigned char* field, uint64_t value, int size) {
  if (size < 0 || size > 8) unhandled_length(size);
  for (int i = 0; i < size; ++i, value >>= 8) field[i] = static_cast<unsigned char>(value);
}

void write_field_be(unsigned char* field, uint64_t value, int size) {
  if (size < 0 || size > 8) unhandled_length(size);
  for (int i = size - 1; i >= 0; --i, value >>= 8) field[i] = static_cast<unsigned char>(value);
}

int edit_header(const char* name, EditFile* file, uint64_t available) {
  EditSettings& s = edit_settings;
  const uint64_t start = file->pos;

  if (available < kIdentSize || edit_file_read(file, image.raw, kIdentSize) != kIdentSize ||
      memcmp(image.raw,
             "\x7f"
             "ELF",
             4) != 0) {
    report_error(_("%s: Failed to read ELF header\n"), name);
    return 1;
  }
  memcpy(image.ident, image.raw, kIdentSize);
  const bool big_endian = image.ident[5] == kDataMsb;
  read_field = big_endian ? read_field_be : read_field_le;
  write_field = big_endian ? write_field_be : write_field_le;

  // A member shorter than its header is refused: writing the whole header
  // back would overwrite the bytes that follow it.
  const int elf_class = image.ident[4];
  image.raw_size = elf_class == kClass32 ? 52 : elf_class == kClass64 ? 64 : 0;
  if (image.raw_size == 0 || available < image.raw_size ||
      edit_file_read(file, image.raw + kIdentSize, image.raw_size - kIdentSize) !=
          image.raw_size - kIdentSize) {
    report_error(_("%s: Failed to read ELF header\n"), name);
    return 1;
  }
  image.e_type = static_cast<unsigned>(read_field(image.raw + kTypeOffset, 2));
  image.e_machine = static_cast<unsigned>(read_field(image.raw + kMachineOffset, 2));

  if (!edit_file_seek(file, start)) {
    report_error(_("%s: Failed to seek to ELF header\n"), name);
    return 1;
  }
  if (image.ident[6] != 1) {
    report_error(_("%s: Unsupported EI_VERSION: %d is not %d\n"), name, image.ident[6], 1);
    return 1;
  }
  if (s.output_machine != -1 && static_cast<int>(image.e_machine) == s.output_machine) return 0;

  if (s.input_class == -1) s.input_class = class_for_machine(static_cast<int>(image.e_machine));
  if (s.input_class != 3 && s.input_class != elf_class) {
    report_error(_("%s: Unmatched input EI_CLASS: %d is not %d\n"), name, elf_class, s.input_class);
    return 1;
  }
  if (s.output_class != 3 && s.output_class != elf_class) {
    report_error(_("%s: Unmatched output EI_CLASS: %d is not %d\n"), name, elf_class,
                 s.output_class);
    return 1;
  }
  if (s.input_machine != -1 && s.input_machine != static_cast<int>(image.e_machine)) {
    report_error(_("%s: Unmatched e_machine: %d is not %d\n"), name,
                 static_cast<int>(image.e_machine), s.input_machine);
    return 1;
  }
  if (s.input_type != -1 && s.input_type != static_cast<int>(image.e_type)) {
    report_error(_("%s: Unmatched e_type: %d is not %d\n"), name, static_cast<int>(image.e_type),
                 s.input_type);
    return 1;
  }
  if (s.input_osabi != -1 && s.input_osabi != image.ident[kOsabiOffset]) {
    report_error(_("%s: Unmatched EI_OSABI: %d is not %d\n"), name, image.ident[kOsabiOffset],
                 s.input_osabi);
    return 1;
  }
  if (s.input_abiversion != -1 && s.input_abiversion != image.ident[kAbiversionOffset]) {
    report_error(_("%s: Unmatched EI_ABIVERSION: %d is not %d\n"), name,
                 image.ident[kAbiversionOffset], s.input_abiversion);
    return 1;
  }

  if (s.output_machine != -1)
    write_field(image.raw + kMachineOffset, static_cast<uint64_t>(s.output_machine), 2);
  if (s.output_type != -1)
    write_field(image.raw + kTypeOffset, static_cast<uint64_t>(s.output_type), 2);
  if (s.output_osabi != -1) image.raw[kOsabiOffset] = static_cast<unsigned char>(s.output_osabi);
  if (s.output_abiversion != -1)
    image.raw[kAbiversionOffset] = static_cast<unsigned char>(s.output_abiversion);

  // One write of the whole header; it reaches the file before the next header
  // is looked at, so a failure is reported for the header it belongs to.
  if (!edit_file_write(file, image.raw, image.raw_size)) {
    report_error(_("%s: Failed to update ELF header: %s\n"), name, strerror(errno));
    return 1;
  }
  return 0;
}
