#include "support/charclass.h"

namespace {

// Bits of one ASCII byte; bytes from 0x80 up have none.
constexpr uint16_t classify(int c) {
  const bool lower = c >= 'a' && c <= 'z';
  const bool upper = c >= 'A' && c <= 'Z';
  const bool digit = c >= '0' && c <= '9';
  uint16_t bits = 0;
  if (c == '\t' || c == ' ') bits |= CC_BLANK;
  if (c <= 0x1F || c == 0x7F) bits |= CC_CNTRL;
  if (digit) bits |= CC_DIGIT;
  if (lower) bits |= CC_LOWER;
  if (c >= 0x20 && c <= 0x7E) bits |= CC_PRINT;
  if (c >= 0x21 && c <= 0x7E && !lower && !upper && !digit) bits |= CC_PUNCT;
  if ((c >= 0x09 && c <= 0x0D) || c == ' ') bits |= CC_SPACE;
  if (upper) bits |= CC_UPPER;
  if (digit || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) bits |= CC_XDIGIT;
  if (lower || upper || c == '_') bits |= CC_IDSTART;
  if (c == '\n' || c == '\r') bits |= CC_VSPACE;
  if (c == 0 || c == '\t' || c == '\v' || c == '\f' || c == ' ') bits |= CC_NVSPACE;
  return bits;
}

}  // namespace

constexpr std::array<uint16_t, 256> char_class_table = [] {
  std::array<uint16_t, 256> t{};
  for (int c = 0; c < 0x80; ++c) t[c] = classify(c);
  return t;
}();

constexpr std::array<unsigned char, 256> char_upper_table = [] {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return t;
}();

constexpr std::array<unsigned char, 256> char_lower_table = [] {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return t;
}();
