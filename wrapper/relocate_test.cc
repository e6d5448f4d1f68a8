#include "wrapper/relocate.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/common/scratch_dir.h"

namespace {

std::string show(char* dir) {
  std::string result = dir ? dir : "(null)";
  free(dir);
  return result;
}

TEST(SplitPathComponents, ElementsKeepTheirSlashes) {
  struct Case {
    const char* path;
    std::vector<std::string> parts;
  } cases[] = {
      {"/opt/kit/bin/yew-ar", {"/", "opt/", "kit/", "bin/", "yew-ar"}},
      {"/usr//lib/", {"/", "usr//", "lib/"}},
      {"a/b", {"a/", "b"}},
      {"name", {"name"}},
  };
  for (const Case& c : cases) {
    int count = -1;
    char** parts = split_path_components(c.path, &count);
    ASSERT_NE(parts, nullptr);
    std::vector<std::string> got;
    for (int i = 0; i < count; ++i) got.push_back(parts[i]);
    EXPECT_EQ(parts[count], nullptr);
    EXPECT_EQ(got, c.parts) << c.path;
    for (int i = 0; i < count; ++i) free(parts[i]);
    free(parts);
  }
  int count;
  EXPECT_EQ(split_path_components("", &count), nullptr);
}

TEST(RelocateDir, Table) {
  struct Case {
    const char *program, *bin, *target, *expected;
  } cases[] = {
      {"/opt/kit/bin/yew-ar", "/usr/bin/", "/usr/lib/yew/", "/opt/kit/bin/../lib/yew/"},
      {"/usr/bin/yew-ar", "/usr/bin/", "/usr/lib/yew/", "(null)"},
      {"/a/b/c/yew-ar", "/usr/bin/", "/usr/lib/yew/", "/a/b/c/../lib/yew/"},
      {"/opt/kit/bin/yew-ar", "/usr/bin/", "/opt/lib/", "/opt/kit/bin/../../opt/lib/"},
      {"/opt/kit/bin/yew-ar", "usr/bin/", "/usr/lib/", "(null)"},
      {"/usr/bin/yew-ar", "/usr//bin/", "/usr//lib/", "/usr/bin/../lib/"},
      {"/x/./bin/../y/yew-ar", "/usr/bin/", "/usr/lib/", "/x/./bin/../y/../lib/"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(show(install_relative_dir_unresolved(c.program, c.bin, c.target)), c.expected)
        << c.program;
  EXPECT_EQ(show(relocate_dir(nullptr, "/usr/bin/", "/usr/lib/", true)), "(null)");
}

TEST(RelocateDir, BareNameFoundOnPathOrNot) {
  ScratchDir scratch;
  SavedEnv saved_path("PATH");
  const std::string dir = scratch.path;
  mkdir((dir + "/bin").c_str(), 0755);
  const std::string tool = dir + "/bin/yew-test-tool";
  FILE* f = fopen(tool.c_str(), "w");
  fclose(f);
  chmod(tool.c_str(), 0755);
  setenv("PATH", ("/nonexistent::" + dir + "/bin").c_str(), 1);
  EXPECT_EQ(show(install_relative_dir("yew-test-tool", "/usr/bin/", "/usr/lib/yew/")),
            dir + "/bin/../lib/yew/");
  EXPECT_EQ(show(install_relative_dir("not-anywhere", "/usr/bin/", "/usr/lib/yew/")),
            "../lib/yew/");
  // An empty PATH element stands for the current directory.
  char* here = getcwd(nullptr, 0);
  const std::string cwd = here;
  free(here);
  ASSERT_EQ(chdir((dir + "/bin").c_str()), 0);
  setenv("PATH", "/nonexistent:", 1);
  EXPECT_EQ(show(install_relative_dir_unresolved("yew-test-tool", "/usr/bin/", "/usr/lib/yew/")),
            "./../lib/yew/");
  ASSERT_EQ(chdir(cwd.c_str()), 0);
}

TEST(RelocateDir, SymbolicLinksResolveOnlyWhenAsked) {
  ScratchDir scratch;
  const std::string dir = scratch.path;
  mkdir((dir + "/real").c_str(), 0755);
  mkdir((dir + "/real/bin").c_str(), 0755);
  mkdir((dir + "/link").c_str(), 0755);
  FILE* f = fopen((dir + "/real/bin/yew-ar").c_str(), "w");
  fclose(f);
  ASSERT_EQ(symlink((dir + "/real/bin/yew-ar").c_str(), (dir + "/link/yew-ar").c_str()), 0);
  char* real_dir = realpath(dir.c_str(), nullptr);
  EXPECT_EQ(
      show(install_relative_dir((dir + "/link/yew-ar").c_str(), "/usr/bin/", "/usr/lib/yew/")),
      std::string(real_dir) + "/real/bin/../lib/yew/");
  EXPECT_EQ(show(install_relative_dir_unresolved((dir + "/link/yew-ar").c_str(), "/usr/bin/",
                                                 "/usr/lib/yew/")),
            dir + "/link/../lib/yew/");
  free(real_dir);
}

}  // namespace
