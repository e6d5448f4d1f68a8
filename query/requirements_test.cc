#include "query/requirements.h"

#include <gtest/gtest.h>

TEST(CompareVersions, Table) {
  struct Case {
    const char *a, *b;
    int expected;
  } cases[] = {
      {"1.0", "1.0.1", -1}, {"1.10", "1.9", 1}, {"1.0a", "1.0", 1},  {"1.a", "1.1", -1},
      {"01", "1", 0},       {"1.0", "1_0", 0},  {"1.0", "1.00", 0},  {"1.0", "1.0.", -1},
      {"1.0.", "1.0-", 0},  {"-1", "1", 0},     {"2.0", "10.0", -1}, {"1.0rc1", "1.0", 1},
      {"abc", "ABC", 1},    {"", "1", -1},      {"1", "", 1},        {"1.2.3", "1.2.3", 0},
      {"abc", "ab", 1},     {"1.0", "1.a", 1},  {"000", "", 1},      {"\xe9", "a", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compare_versions_text(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(compare_versions_text(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
  }
}

TEST(VersionTest, OperatorsAndAny) {
  const std::optional<std::string> two = "2";
  EXPECT_TRUE(version_test(VersionOp::Any, "1", std::nullopt));
  EXPECT_TRUE(version_test(VersionOp::Less, "1", two));
  EXPECT_FALSE(version_test(VersionOp::Greater, "1", two));
  EXPECT_TRUE(version_test(VersionOp::LessEqual, "2", two));
  EXPECT_TRUE(version_test(VersionOp::GreaterEqual, "2.0", two));
  EXPECT_FALSE(version_test(VersionOp::Equal, "2.1", two));
  EXPECT_TRUE(version_test(VersionOp::NotEqual, "2.1", two));
  EXPECT_STREQ(comparison_to_str(VersionOp::Any), "(any)");
  EXPECT_STREQ(comparison_to_str(VersionOp::NotEqual), "!=");
}

TEST(SplitModuleList, EntriesKeepTheSeparatorBeforeThem) {
  using V = std::vector<std::string_view>;
  EXPECT_EQ(split_module_list(""), V{});
  EXPECT_EQ(split_module_list("foo, bar"), (V{"foo", ", bar"}));
  EXPECT_EQ(split_module_list("foo bar"), (V{"foo", " bar"}));
  EXPECT_EQ(split_module_list("foo >= 1.0, bar"), (V{"foo >= 1.0", ", bar"}));
  EXPECT_EQ(split_module_list("a = 1 b < 2"), (V{"a = 1", " b < 2"}));
  EXPECT_EQ(split_module_list("foo,"), (V{"foo", ","}));
  EXPECT_EQ(split_module_list("a >=1"), (V{"a >=1"}));
}

class ParseModuleList : public testing::Test {
 protected:
  void SetUp() override { loader_switches.fail_on_parse_error = false; }
  void TearDown() override { loader_switches.fail_on_parse_error = true; }
  static std::string show(const std::vector<VersionRequirement>& list) {
    std::string out;
    for (const auto& r : list) {
      out += r.name.view();
      out += " ";
      out += comparison_to_str(r.comparison);
      out += " ";
      out += r.bound.value_or("-").view();
      out += ";";
    }
    return out;
  }
  TextStore texts;
};

TEST_F(ParseModuleList, WellFormedLists) {
  struct Case {
    const char *text, *expected;
  } cases[] = {
      {"foo, bar", "foo (any) -;bar (any) -;"},
      {"foo bar", "foo (any) -;bar (any) -;"},
      {"foo , bar", "foo (any) -;bar (any) -;"},
      {"foo >= 1.0, bar", "foo >= 1.0;bar (any) -;"},
      {"a = 1 b < 2", "a = 1;b < 2;"},
      {"foo,,bar", "foo (any) -;bar (any) -;"},
      {"a>=1", "a>=1 (any) -;"},
      {"x != 3,y <= 4", "x != 3;y <= 4;"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(show(parse_module_list(nullptr, c.text, "f", &texts)), c.expected) << c.text;
}

TEST_F(ParseModuleList, MalformedEntriesWhenNotFatal) {
  diagnostic_switches.errors_enabled = true;
  testing::internal::CaptureStderr();
  EXPECT_EQ(show(parse_module_list(nullptr, "foo,", "f.mq", &texts)), "foo (any) -;");
  EXPECT_EQ(show(parse_module_list(nullptr, "foo >=", "f.mq", &texts)), "foo >= 0;");
  EXPECT_EQ(show(parse_module_list(nullptr, "a !== 2", "f.mq", &texts)), "a (any) -;");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Empty package name in Requires or Conflicts in file 'f.mq'\n"
            "Comparison operator but no version after package name 'foo' in file 'f.mq'\n"
            "Unknown version comparison operator '!==' after package name 'a' in file 'f.mq'\n");
  diagnostic_switches.errors_enabled = false;
}

TEST(ParseModuleListDeathTest, StrictErrorEndsWithStatusOne) {
  TextStore texts;
  EXPECT_EXIT(parse_module_list(nullptr, "foo >=", "f.mq", &texts), testing::ExitedWithCode(1), "");
}
