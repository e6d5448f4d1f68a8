#include "query/module_file.h"

#include <gtest/gtest.h>

TEST(ShellEscape, EscapeSet) {
  EXPECT_EQ(shell_escape("a b"), "a\\ b");
  EXPECT_EQ(shell_escape("$()+,-./:=@^_~09Az"), "$()+,-./:=@^_~09Az");
  EXPECT_EQ(shell_escape("!\"#%&'*;<>?[\\]`{|}"),
            "\\!\\\"\\#\\%\\&\\'\\*\\;\\<\\>\\?\\[\\\\\\]\\`\\{\\|\\}");
  EXPECT_EQ(shell_escape(std::string("\t\x7f\x80\xff", 4)),
            std::string("\\\t\\\x7f\\\x80\\\xff", 8));
}

std::string show(const std::vector<FlagItem>& items) {
  std::string out;
  for (const FlagItem& i : items) out += std::to_string(i.flag_class) + ":" + i.text + ";";
  return out;
}

TEST(Classify, CompileArgs) {
  std::vector<FlagItem> out;
  classify_compile_args(
      {"-I/opt/x/include", "-isystem", "/opt/y y", "-DX=a b", "", "-idirafter", "", "-isystem"},
      &out);
  // Stored escaped, each part of a pair on its own.
  EXPECT_EQ(show(out),
            "8:-I/opt/x/include;8:-isystem /opt/y\\ y;16:-DX=a\\ b;8:-idirafter ;16:-isystem;");
}

TEST(Classify, LinkArgs) {
  std::vector<FlagItem> out;
  classify_link_args({"-L/opt/x/lib", "-lfoo", "-pthread", "-lib:foo", "-framework", "Cocoa", "",
                      "-Wl,-framework", "X", "-framework"},
                     &out);
  EXPECT_EQ(show(out),
            "2:-L/opt/x/lib;1:-lfoo;4:-pthread;4:-lib:foo;4:-framework Cocoa;4:-Wl,-framework "
            "X;4:-framework;");
}

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
