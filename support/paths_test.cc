#include "support/paths.h"

#include <gtest/gtest.h>

#include "support/charclass.h"
#include "support/errtext.h"

TEST(Paths, LastComponent) {
  struct Case {
    const char* path;
    const char* last;
  } cases[] = {{"a/b/", ""}, {"abc", "abc"}, {"/x", "x"}, {"", ""}, {"a//b", "b"}};
  for (const Case& c : cases) EXPECT_STREQ(path_last_component(c.path), c.last) << c.path;
}

TEST(Paths, LastComponentDos) {
  struct Case {
    const char* path;
    const char* last;
  } cases[] = {{"C:f", "f"}, {"1:f", "1:f"}, {"c:\\dir/x\\y", "y"}, {"a/b\\c", "c"}};
  for (const Case& c : cases) EXPECT_STREQ(path_last_component_dos(c.path), c.last) << c.path;
}

TEST(ErrnoText, KnownAndUnknownNumbers) {
  EXPECT_STREQ(errno_text(ENOENT), "No such file or directory");
  EXPECT_NE(errno_text(123456), nullptr);
}

TEST(CharClass, AsciiRulesAndHighBytes) {
  EXPECT_EQ(char_class_table['\t'], CC_BLANK | CC_CNTRL | CC_SPACE | CC_NVSPACE);
  EXPECT_EQ(char_class_table[' '], CC_BLANK | CC_PRINT | CC_SPACE | CC_NVSPACE);
  EXPECT_EQ(char_class_table['\n'], CC_CNTRL | CC_SPACE | CC_VSPACE);
  EXPECT_EQ(char_class_table[0], CC_CNTRL | CC_NVSPACE);
  EXPECT_EQ(char_class_table['_'], CC_PRINT | CC_PUNCT | CC_IDSTART);
  EXPECT_EQ(char_class_table['f'], CC_LOWER | CC_PRINT | CC_XDIGIT | CC_IDSTART);
  EXPECT_EQ(char_class_table['G'], CC_UPPER | CC_PRINT | CC_IDSTART);
  EXPECT_EQ(char_class_table['7'], CC_DIGIT | CC_PRINT | CC_XDIGIT);
  EXPECT_EQ(char_class_table[0x7F], CC_CNTRL);
  EXPECT_EQ(char_class_table['~'], CC_PRINT | CC_PUNCT);
  for (int c = 0x80; c < 256; ++c) EXPECT_EQ(char_class_table[c], 0) << c;
  EXPECT_EQ(char_upper_table['a'], 'A');
  EXPECT_EQ(char_upper_table['A'], 'A');
  EXPECT_EQ(char_lower_table['Z'], 'z');
  EXPECT_EQ(char_lower_table[0xC4], 0xC4);
}
