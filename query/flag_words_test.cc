#include "query/flag_words.h"

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
  for (const FlagItem& i : items) {
    out += std::to_string(i.flag_class);
    out += ":";
    out += i.text.view();
    out += ";";
  }
  return out;
}

TEST(Classify, CompileArgs) {
  std::vector<FlagItem> out;
  TextStore texts;
  classify_compile_args(
      {"-I/opt/x/include", "-isystem", "/opt/y y", "-DX=a b", "", "-idirafter", "", "-isystem"},
      &out, &texts);
  // Stored escaped, each part of a pair on its own.
  EXPECT_EQ(show(out),
            "8:-I/opt/x/include;8:-isystem /opt/y\\ y;16:-DX=a\\ b;8:-idirafter ;16:-isystem;");
}

TEST(Classify, LinkArgs) {
  std::vector<FlagItem> out;
  TextStore texts;
  classify_link_args({"-L/opt/x/lib", "-lfoo", "-pthread", "-lib:foo", "-framework", "Cocoa", "",
                      "-Wl,-framework", "X", "-framework"},
                     &out, &texts);
  EXPECT_EQ(show(out),
            "2:-L/opt/x/lib;1:-lfoo;4:-pthread;4:-lib:foo;4:-framework Cocoa;4:-Wl,-framework "
            "X;4:-framework;");
}

// A value without quoting is cut at blanks in one pass; the result must be
// what the shell rules give for the same words.
TEST(FlagWords, PlainValuesSplitAsTheShellRulesDo) {
  struct Case {
    const char* value;
    bool link;
    const char* expected;
  } cases[] = {
      {"-L/x -lx  -pthread", true, "2:-L/x;1:-lx;4:-pthread;"},
      {"\t-I/x\t-isystem /s -DA=1", false, "8:-I/x;8:-isystem /s;16:-DA=1;"},
      {"-framework", true, "4:-framework;"},
      {"-isystem", false, "16:-isystem;"},
      {"-isystem \v", false, "8:-isystem ;"},
      {"a*b \xe9", false, "16:a\\*b;16:\\\xe9;"},
      {"'-I/a b' -lx", false, "8:-I/a\\ b;16:-lx;"},
      {"-lx \"-L/y\"", true, "1:-lx;2:-L/y;"},
      {"-lx #-ly", true, "1:-lx;"},
      {"", true, ""},
  };
  for (const Case& c : cases) {
    std::vector<FlagItem> out;
    TextStore texts;
    EXPECT_TRUE(add_flag_words("Libs", c.value, c.link, &out, &texts)) << c.value;
    EXPECT_EQ(show(out), c.expected) << c.value;
  }
}

TEST(FlagWords, ValueTheShellRulesRefuse) {
  loader_switches.fail_on_parse_error = false;
  diagnostic_switches.errors_enabled = true;
  for (const char* value : {"  ", "-Ia -I'x"}) {
    std::vector<FlagItem> out{{LIBS_l, "-lkept"}};
    TextStore texts;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(add_flag_words("Cflags", value, false, &out, &texts)) << value;
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind(
                  "Couldn't parse Cflags field into an argument vector: ", 0),
              0u);
    EXPECT_EQ(show(out), "1:-lkept;") << value;
  }
  diagnostic_switches.errors_enabled = false;
  loader_switches.fail_on_parse_error = true;
}
