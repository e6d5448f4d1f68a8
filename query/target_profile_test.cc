#include "query/target_profile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/common/scratch_dir.h"

namespace {

TEST(RequestedTarget, VariableWinsOverTheProgramName) {
  const struct {
    const char* program;
    const char* variable;
    const char* triplet;  // null: no target
  } cases[] = {
      {"mod-query", nullptr, nullptr},
      {"/usr/bin/mod-query", nullptr, nullptr},
      {"/usr/bin/arm-linux-gnueabihf-mod-query", nullptr, "arm-linux-gnueabihf"},
      {"arm-linux-gnueabihf-mod-query", nullptr, "arm-linux-gnueabihf"},
      {"-mod-query", nullptr, nullptr},
      {"/x/arm-mod-query/mod-query", nullptr, nullptr},
      {"mod-query", "aarch64-linux-gnu", "aarch64-linux-gnu"},
      {"arm-linux-gnueabihf-mod-query", "aarch64-linux-gnu", "aarch64-linux-gnu"},
      {"arm-linux-gnueabihf-mod-query", "", nullptr},
      {nullptr, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const auto got = requested_target(c.program, c.variable);
    SCOPED_TRACE(std::string(c.program ? c.program : "(null)") + " / " +
                 (c.variable ? c.variable : "(unset)"));
    if (c.triplet) {
      ASSERT_TRUE(got.has_value());
      EXPECT_EQ(*got, c.triplet);
    } else {
      EXPECT_FALSE(got.has_value());
    }
  }
}

TEST(ValidTriplet, OnlyNamesOfOneFile) {
  for (const char* good : {"arm-linux-gnueabihf", "x86_64-linux-gnu", "i686-w64-mingw32.static"})
    EXPECT_TRUE(valid_triplet(good)) << good;
  for (const char* bad : {"", ".", "..", "../etc/passwd", "a/b", "a b", ".hidden", "arm\n"})
    EXPECT_FALSE(valid_triplet(bad)) << bad;
}

TEST(ParseTargetProfile, LineForms) {
  const struct {
    const char* text;
    const char* search_path;  // null: not set
    const char* sysroot;
    const char* error;  // null: parses
  } cases[] = {
      {"", nullptr, nullptr, nullptr},
      {"# only a comment\n\n   \n", nullptr, nullptr, nullptr},
      {"SearchPath: /a:/b\n", "/a:/b", nullptr, nullptr},
      {"  SearchPath  :   /a:/b   \nSysroot:/r\n", "/a:/b", "/r", nullptr},
      {"SearchPath: /a # trailing comment\n", "/a", nullptr, nullptr},
      {"SearchPath: /a\\\n:/b\n", "/a:/b", nullptr, nullptr},
      {"Sysroot:\n", nullptr, "", nullptr},
      {"SearchPath: /a\r\nSysroot: /r\r\n", "/a", "/r", nullptr},
      {"SearchPath /a\n", nullptr, nullptr, "Malformed line 'SearchPath /a' in 'p'\n"},
      {"Searchpath: /a\n", nullptr, nullptr, "Unknown keyword 'Searchpath' in 'p'\n"},
      {"prefix=/usr\n", nullptr, nullptr, "Malformed line 'prefix=/usr' in 'p'\n"},
      {"Sysroot: /a\nSysroot: /b\n", nullptr, nullptr, "Sysroot field occurs twice in 'p'\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    TargetProfile profile;
    profile.path = "p";
    std::string error;
    const bool ok = parse_target_profile(c.text, &profile, &error);
    if (c.error) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(error, c.error);
      continue;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(profile.search_path.value_or("(unset)"), c.search_path ? c.search_path : "(unset)");
    EXPECT_EQ(profile.sysroot.value_or("(unset)"), c.sysroot ? c.sysroot : "(unset)");
  }
}

TEST(LoadTargetProfile, MissingInvalidAndReadable) {
  ScratchDir dir;
  std::ofstream(dir.path + "/t1") << "SystemLibraryPath: /usr/lib/t1\n";
  TargetProfile profile;
  std::string error;
  ASSERT_TRUE(load_target_profile("t1", dir.path, &profile, &error)) << error;
  EXPECT_EQ(profile.path, dir.path + "/t1");
  ASSERT_TRUE(profile.system_library_path.has_value());
  EXPECT_EQ(*profile.system_library_path, "/usr/lib/t1");

  EXPECT_FALSE(load_target_profile("t2", dir.path, &profile, &error));
  EXPECT_EQ(error, "No profile for target 't2' (looked for '" + dir.path + "/t2')\n");
  EXPECT_FALSE(load_target_profile("../t1", dir.path, &profile, &error));
  EXPECT_EQ(error, "Invalid target name '../t1'\n");
}

}  // namespace
