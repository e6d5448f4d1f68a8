#include "query/variables.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/common/scratch_dir.h"

// An override's name is the module key and the variable, upper-cased, with
// every other byte as "_"; it is looked up in the snapshot of the environment.
TEST(Override, NameUpperCasesAndReplacesOtherBytes) {
  const struct {
    const char *variable, *key, *name;
  } cases[] = {
      {"MOD_QUERY_FOO_BAR_PREFIX", "foo-bar", "prefix"},
      {"MOD_QUERY_FOO_BAR_PREFIX", "foo_bar", "prefix"},
      {"MOD_QUERY_GTK__3_0_LIB_DIR", "gtk+-3.0", "lib.dir"},
      {"MOD_QUERY____", "\xc3\xa9", ""},
  };
  for (const auto& c : cases) {
    SavedEnv saved(c.variable);
    setenv(c.variable, "override", 1);
    take_override_snapshot();
    PackageRecord record;
    record.module_key = c.key;
    EXPECT_EQ(resolve_variable(record, c.name).value_or("(none)"), "override") << c.variable;
    record.module_key = std::string(c.key) + "x";
    EXPECT_EQ(resolve_variable(record, c.name).value_or("(none)"), "(none)") << c.variable;
  }
  take_override_snapshot();
}

TEST(SplitDefineArgument, Forms) {
  struct Case {
    const char* argument;
    bool ok;
    const char *name, *value;
  } cases[] = {
      {"NAME=VALUE", true, "NAME", "VALUE"},
      {"a b", true, "a", "b"},
      {"a = b=c d", true, "a", "b=c d"},
      {" \tn=x", true, "n", "x"},
      {"a=", false, "", ""},
      {"a", false, "", ""},
      {"", false, "", ""},
      {"   ", false, "", ""},
  };
  for (const Case& c : cases) {
    std::string name, value;
    EXPECT_EQ(split_define_argument(c.argument, &name, &value), c.ok) << c.argument;
    if (c.ok) {
      EXPECT_EQ(name, c.name);
      EXPECT_EQ(value, c.value);
    }
  }
}

class Expansion : public testing::Test {
 protected:
  PackageRecord record;
  void SetUp() override {
    loader_switches.fail_on_parse_error = false;
    record.module_key = "foo-bar";
    record.variables = {
        {"prefix", "/usr"}, {"quoted", "\"a b\""}, {"bad", "'open"}, {"", "empty-name"}};
  }
  void TearDown() override {
    loader_switches.fail_on_parse_error = true;
    unsetenv("MOD_QUERY_FOO_BAR_PREFIX");
    take_override_snapshot();
  }
};

TEST_F(Expansion, References) {
  struct Case {
    const char *text, *expected;
  } cases[] = {
      {"a$$b", "a$b"},       {"a$b", "a$b"},
      {"${}", "empty-name"}, {"  ${prefix}/lib ", "/usr/lib"},
      {"x$", "x$"},          {"${undefined}z", "z"},
      {"${prefix", "/usr"},  {"$${prefix}", "${prefix}"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(expand_variables(record, c.text, "f.mq"), c.expected) << c.text;
}

TEST_F(Expansion, EnvironmentBeatsGlobalsBeatsModule) {
  EXPECT_EQ(expand_variables(record, "${prefix}", "f.mq"), "/usr");
  global_variables["prefix"] = "/global";
  EXPECT_EQ(expand_variables(record, "${prefix}", "f.mq"), "/global");
  setenv("MOD_QUERY_FOO_BAR_PREFIX", "${x}", 1);
  take_override_snapshot();
  EXPECT_EQ(expand_variables(record, "${prefix}", "f.mq"), "${x}");  // not expanded again
  record.module_key = "baz";  // the override names another module
  EXPECT_EQ(expand_variables(record, "${prefix}", "f.mq"), "/global");
  global_variables.erase("prefix");
  EXPECT_EQ(expand_variables(record, "${prefix}", "f.mq"), "/usr");
}

TEST_F(Expansion, OutputUnquotesQuotedValues) {
  EXPECT_EQ(variable_for_output(record, "quoted"), "a b");
  EXPECT_EQ(variable_for_output(record, "bad"), "'open");
  EXPECT_EQ(variable_for_output(record, "prefix"), "/usr");
  EXPECT_EQ(variable_for_output(record, "missing"), std::nullopt);
}
