#include "hdrpatch/elf_header.h"

#include <gtest/gtest.h>

TEST(FieldHelpers, BothByteOrders) {
  const unsigned char bytes[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
  EXPECT_EQ(read_field_le(bytes, 2), 0x0201u);
  EXPECT_EQ(read_field_be(bytes, 2), 0x0102u);
  EXPECT_EQ(read_field_le(bytes, 8), 0x0807060504030201u);
  EXPECT_EQ(read_field_be(bytes, 8), 0x0102030405060708u);
  EXPECT_EQ(read_field_le(bytes, 1), 1u);

  unsigned char out[8] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  write_field_le(out, 0x3E, 2);
  EXPECT_EQ(out[0], 0x3E);
  EXPECT_EQ(out[1], 0x00);
  write_field_be(out, 0x3E, 2);
  EXPECT_EQ(out[0], 0x00);
  EXPECT_EQ(out[1], 0x3E);
  write_field_le(out + 2, 0x1122334455667788u, 0);
  EXPECT_EQ(out[2], 0xAA);
  write_field_be(out, 0x1122334455667788u, 8);
  EXPECT_EQ(read_field_be(out, 8), 0x1122334455667788u);
}

TEST(FieldHelpersDeathTest, UnhandledLengthAborts) {
  const unsigned char bytes[9] = {};
  EXPECT_DEATH(read_field_le(bytes, 9), "Unhandled data length: 9");
  EXPECT_DEATH(read_field_be(bytes, 0), "Unhandled data length: 0");
}
