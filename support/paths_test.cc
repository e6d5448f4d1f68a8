#include "support/paths.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <string>
#include <vector>

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
  // A number the C library does not know still gets a text naming it.
  EXPECT_NE(std::string(errno_text(123456)).find("123456"), std::string::npos);
}

// The table agrees with the C library's classes in the C locale for every
// ASCII byte, and gives nothing to the bytes above.
TEST(CharClass, MatchesTheCLocale) {
  ASSERT_STREQ(setlocale(LC_CTYPE, nullptr), "C");
  struct Bit {
    uint16_t bit;
    int (*is)(int);
  } bits[] = {{CC_BLANK, isblank}, {CC_CNTRL, iscntrl}, {CC_DIGIT, isdigit},
              {CC_LOWER, islower}, {CC_PRINT, isprint}, {CC_PUNCT, ispunct},
              {CC_SPACE, isspace}, {CC_UPPER, isupper}, {CC_XDIGIT, isxdigit}};
  for (int c = 0; c < 128; ++c) {
    for (const Bit& b : bits)
      EXPECT_EQ((char_class_table[c] & b.bit) != 0, b.is(c) != 0) << c << " bit " << b.bit;
    EXPECT_EQ((char_class_table[c] & CC_IDSTART) != 0, isalpha(c) || c == '_') << c;
    // Line ends are the vertical spaces; NUL counts as a blank that ends nothing.
    const bool line_end = c == '\n' || c == '\r';
    EXPECT_EQ((char_class_table[c] & CC_VSPACE) != 0, line_end) << c;
    EXPECT_EQ((char_class_table[c] & CC_NVSPACE) != 0, c == '\0' || (isspace(c) && !line_end)) << c;
    EXPECT_EQ(char_upper_table[c], toupper(c)) << c;
    EXPECT_EQ(char_lower_table[c], tolower(c)) << c;
  }
  for (int c = 128; c < 256; ++c) {
    EXPECT_EQ(char_class_table[c], 0) << c;
    EXPECT_EQ(char_upper_table[c], c) << c;
    EXPECT_EQ(char_lower_table[c], c) << c;
  }
}

TEST(ListPieces, EmptyPiecesKeptAndEmptyTextIsOnePiece) {
  const struct {
    const char* text;
    std::vector<std::string> pieces;
    std::vector<std::string> prefixes;
  } cases[] = {
      {"", {""}, {"./"}},
      {"a", {"a"}, {"a/"}},
      {"a::b/", {"a", "", "b/"}, {"a/", "./", "b/"}},
      {":", {"", ""}, {"./", "./"}},
      {"/:x", {"/", "x"}, {"/", "x/"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> pieces, prefixes;
    for_each_list_piece(c.text, ':', [&](std::string_view piece) {
      pieces.emplace_back(piece);
      char buffer[16];
      prefixes.emplace_back(buffer, write_directory_prefix(piece, buffer));
    });
    EXPECT_EQ(pieces, c.pieces) << c.text;
    EXPECT_EQ(prefixes, c.prefixes) << c.text;
  }
}
