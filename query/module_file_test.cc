#include "query/module_file.h"

#include <gtest/gtest.h>

std::vector<std::string> lines_of(std::string_view bytes) {
  LogicalLineReader reader(bytes);
  std::vector<std::string> lines;
  std::string line;
  while (reader.next(&line)) lines.push_back(line);
  return lines;
}

TEST(LogicalLines, EscapesCommentsAndLineEnds) {
  using V = std::vector<std::string>;
  EXPECT_EQ(lines_of(""), V{});
  EXPECT_EQ(lines_of("\n"), V{""});
  EXPECT_EQ(lines_of("a\nb"), (V{"a", "b"}));
  EXPECT_EQ(lines_of("a\\\nb\nc"), (V{"ab", "c"}));
  EXPECT_EQ(lines_of("a\\\r\nb\n"), (V{"ab"}));
  EXPECT_EQ(lines_of("a\\\n\rb\n"), (V{"ab"}));
  EXPECT_EQ(lines_of("a\n\rb\n"), (V{"a", "b"}));
  EXPECT_EQ(lines_of("a \\# b # c\\\nd"), (V{"a # b ", "d"}));
  EXPECT_EQ(lines_of("a\\x\\"), (V{"a\\x\\"}));
  EXPECT_EQ(lines_of("a\rb\n"), (V{"a\rb"}));
  EXPECT_EQ(lines_of(std::string_view("a\0b\n", 4)), (V{std::string("a\0b", 3)}));
}
