// The parsers' own character classes: ASCII only, independent of the locale.
#pragma once
#include <array>
#include <cstdint>

enum : uint16_t {
  CC_BLANK = 0x001,
  CC_CNTRL = 0x002,
  CC_DIGIT = 0x004,
  CC_LOWER = 0x008,
  CC_PRINT = 0x010,
  CC_PUNCT = 0x020,
  CC_SPACE = 0x040,
  CC_UPPER = 0x080,
  CC_XDIGIT = 0x100,
  CC_IDSTART = 0x200,
  CC_VSPACE = 0x400,
  CC_NVSPACE = 0x800,
};

extern const std::array<uint16_t, 256> char_class_table;
extern const std::array<unsigned char, 256> char_upper_table;
extern const std::array<unsigned char, 256> char_lower_table;

inline bool cc_is(char c, uint16_t bits) {
  return (char_class_table[static_cast<unsigned char>(c)] & bits) != 0;
}
