#include "support/tempfiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/common/scratch_dir.h"

namespace {

void set_or_unset(const char* name, const char* value) {
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

// The directory a fresh process chooses with these variables (null: unset).
// The choice is made once per process, so each case runs in a child; with
// `as_nobody`, a child started as root first becomes an unprivileged user.
std::string chosen_in_child(const char* tmpdir, const char* tmp, const char* temp,
                            bool as_nobody = false) {
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    if (as_nobody && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(1);
    set_or_unset("TMPDIR", tmpdir);
    set_or_unset("TMP", tmp);
    set_or_unset("TEMP", temp);
    const char* dir = temp_directory();
    const bool written = write(fds[1], dir, strlen(dir)) == static_cast<ssize_t>(strlen(dir));
    _exit(written ? 0 : 1);
  }
  close(fds[1]);
  std::string text;
  char buffer[256];
  ssize_t got;
  while ((got = read(fds[0], buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(got));
  close(fds[0]);
  int status;
  waitpid(pid, &status, 0);
  return text;
}

}  // namespace

TEST(TempDirectory, CandidatesInOrder) {
  ScratchDir a, b;
  const std::string a_dir = a.path, b_dir = b.path;
  // TMPDIR before TMP when both are usable; TMP when TMPDIR is not.
  EXPECT_EQ(chosen_in_child(a_dir.c_str(), b_dir.c_str(), nullptr), a_dir + "/");
  EXPECT_EQ(chosen_in_child("/no/such/dir", b_dir.c_str(), nullptr), b_dir + "/");
  EXPECT_EQ(chosen_in_child(nullptr, nullptr, nullptr), "/tmp/");
}

TEST(TempDirectory, SkipsAFolderItCannotWrite) {
  // Run as an unprivileged user (root may write anywhere): the read-only
  // folder named first is passed over for the writable one.
  ScratchDir base;
  chmod(base.path.c_str(), 0755);
  const std::string read_only = base.path + "/ro", writable = base.path + "/rw";
  ASSERT_EQ(mkdir(read_only.c_str(), 0555), 0);
  ASSERT_EQ(mkdir(writable.c_str(), 0777), 0);
  chmod(writable.c_str(), 0777);
  if (geteuid() != 0 && access(read_only.c_str(), W_OK) == 0)
    GTEST_SKIP() << "cannot make it unwritable";
  EXPECT_EQ(chosen_in_child(read_only.c_str(), writable.c_str(), nullptr, true), writable + "/");
}

TEST(TempDirectory, SkipsUnusableCandidatesAndAlwaysAddsASlash) {
  ScratchDir scratch;
  const char* dir = scratch.path.c_str();
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
}

TEST(TempFileDeathTest, UnwritableDirectoryAborts) {
  // In the dying child, as an unprivileged owner of the folder (root may
  // write anywhere): choose it while writable, then take write access away.
  ScratchDir dir;
  if (geteuid() == 0) {
    ASSERT_EQ(chown(dir.path.c_str(), 65534, 65534), 0);
  }
  const std::string path = dir.path;
  auto create_after_losing_access = [&path] {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) abort();
    setenv("TMPDIR", path.c_str(), 1);
    temp_directory();
    chmod(path.c_str(), 0500);
    temp_file_create(nullptr, nullptr);
  };
  EXPECT_DEATH(create_after_losing_access(),
               "Cannot create temporary file in " + path + "/: Permission denied");
}
