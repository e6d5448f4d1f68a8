#include "support/tempfiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

// Each test runs in its own process (CTest), so the directory is chosen anew.

TEST(TempDirectory, SkipsUnusableCandidatesAndAlwaysAddsASlash) {
  char dir[] = "/tmp/tempdir-testXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string file = std::string(dir) + "/plain-file";
  FILE* f = fopen(file.c_str(), "w");
  fclose(f);
  setenv("TMPDIR", file.c_str(), 1);                          // a regular file: skipped
  setenv("TMP", (std::string(dir) + "/missing").c_str(), 1);  // missing: skipped
  setenv("TEMP", (std::string(dir) + "/").c_str(), 1);
  EXPECT_EQ(std::string(temp_directory()), std::string(dir) + "//");
  setenv("TEMP", "/elsewhere", 1);  // chosen once per process
  EXPECT_EQ(std::string(temp_directory()), std::string(dir) + "//");

  char* name = temp_file_create_suffixed(".o");
  const std::string n = name;
  EXPECT_EQ(n.substr(0, strlen(dir) + 4), std::string(dir) + "//cc");
  EXPECT_EQ(n.size(), strlen(dir) + 4 + 6 + 2);
  EXPECT_EQ(n.substr(n.size() - 2), ".o");
  struct stat st;
  ASSERT_EQ(stat(name, &st), 0);
  EXPECT_EQ(st.st_size, 0);
  char* other = temp_file_create("pre", nullptr);
  EXPECT_NE(std::string(other).find("//pre"), std::string::npos);
  unlink(name);
  unlink(other);
  free(name);
  free(other);
  unlink(file.c_str());
  rmdir(dir);
}

TEST(TempDirectory, DefaultsToTmp) {
  unsetenv("TMPDIR");
  unsetenv("TMP");
  unsetenv("TEMP");
  EXPECT_STREQ(temp_directory(), "/tmp/");
}

TEST(TempFileDeathTest, UnwritableDirectoryAborts) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
  char dir[] = "/tmp/tempdir-testXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  setenv("TMPDIR", dir, 1);
  const std::string chosen = temp_directory();
  chmod(dir, 0500);
  EXPECT_DEATH(temp_file_create(nullptr, nullptr),
               "Cannot create temporary file in " + chosen + ": Permission denied");
  chmod(dir, 0700);
  rmdir(dir);
}
