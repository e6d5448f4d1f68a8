#include "support/process_backend.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/pipeline.h"
#include "tests/common/scratch_dir.h"

extern char** environ;

namespace {

class Backend : public testing::Test {
 protected:
  ProcessPipeline* p = nullptr;
  ScratchDir scratch;
  const std::string& dir = scratch.path;
  void SetUp() override { p = pex_create(0, "tester", nullptr); }
  void TearDown() override { pex_destroy(p); }
  int run(int flags, char* const* argv, char* const* env, int in, int out, int err_fd,
          const char** msg, int* err) {
    const pid_t pid =
        unix_backend.start_child(p, flags, argv[0], argv, env, in, out, err_fd, -1, msg, err);
    if (pid < 0) return -1;
    int status = 0;
    EXPECT_EQ(unix_backend.wait_child(p, pid, &status, nullptr, false, msg, err), 0);
    return status;
  }
};

TEST_F(Backend, ExecFailuresAreReportedByCallNameOnly) {
  char* argv[] = {const_cast<char*>("/nonexistent/program"), nullptr};
  const char* msg = nullptr;
  int err = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(run(0, argv, nullptr, 0, 1, 2, &msg, &err), -1);
  EXPECT_STREQ(msg, "execv");
  EXPECT_EQ(err, ENOENT);
  // A PATH of the test's own: a folder the user may not enter would turn the
  // search's ENOENT into EACCES.
  SavedEnv saved_path("PATH");
  setenv("PATH", (dir + "/a:" + dir + "/b").c_str(), 1);
  char* argv2[] = {const_cast<char*>("no-such-program-anywhere"), nullptr};
  EXPECT_EQ(run(PEX_USE_PATH, argv2, nullptr, 0, 1, 2, &msg, &err), -1);
  EXPECT_STREQ(msg, "execvp");
  EXPECT_EQ(err, ENOENT);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(Backend, RedirectionsMergeAndEnvironment) {
  const std::string out_path = dir + "/out";
  const int out = unix_backend.open_for_writing(p, out_path.c_str(), 0, 0);
  ASSERT_GE(out, 0);
  char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>("-c"),
                  const_cast<char*>("echo to-out; echo to-err >&2; echo \"$ONLY_CHILD\""), nullptr};
  char* env[] = {const_cast<char*>("ONLY_CHILD=seen"), nullptr};
  char** const before = environ;
  const char* msg = nullptr;
  int err = 0;
  const int status = run(PEX_MERGE_STDERR, argv, env, 0, out, 2, &msg, &err);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(environ, before);
  EXPECT_EQ(getenv("ONLY_CHILD"), nullptr);
  EXPECT_EQ(read_file(out_path), "to-out\nto-err\nseen\n");
  // The parent's copy of the redirected descriptor was closed.
  EXPECT_EQ(fcntl(out, F_GETFD), -1);
}

TEST_F(Backend, OpenForWritingTruncatesOrAppends) {
  const std::string path = dir + "/f";
  FILE* f = fopen(path.c_str(), "w");
  fputs("old", f);
  fclose(f);
  int fd = unix_backend.open_for_writing(p, path.c_str(), 0, 1);
  ASSERT_EQ(write(fd, "+new", 4), 4);
  close(fd);
  EXPECT_EQ(read_file(path), "old+new");
  fd = unix_backend.open_for_writing(p, path.c_str(), 0, 0);
  close(fd);
  EXPECT_EQ(read_file(path), "");
}

TEST_F(Backend, WaitWithTerminateStopsAProgram) {
  char* argv[] = {const_cast<char*>("/bin/sleep"), const_cast<char*>("1000"), nullptr};
  const char* msg = nullptr;
  int err = 0;
  const pid_t pid = unix_backend.start_child(p, 0, argv[0], argv, nullptr, 0, 1, 2, -1, &msg, &err);
  ASSERT_GT(pid, 0);
  int status = 0;
  UsageTimes usage{};
  EXPECT_EQ(unix_backend.wait_child(p, pid, &status, &usage, true, &msg, &err), 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_EQ(unix_backend.wait_child(p, pid, &status, nullptr, false, &msg, &err), -1);
  EXPECT_STREQ(msg, "wait");
  EXPECT_EQ(err, ECHILD);
}

TEST_F(Backend, WithoutReportPipeTheChildWritesTheFailure) {
  // Use up every descriptor so the report pipe cannot be made.
  const std::string err_path = dir + "/err";
  const int err_fd = unix_backend.open_for_writing(p, err_path.c_str(), 0, 0);
  ASSERT_GE(err_fd, 0);
  struct rlimit saved, few;
  getrlimit(RLIMIT_NOFILE, &saved);
  few = saved;
  few.rlim_cur = 64;
  setrlimit(RLIMIT_NOFILE, &few);
  std::vector<int> hogs;
  for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;) hogs.push_back(fd);
  char* argv[] = {const_cast<char*>("/nonexistent/tool"), nullptr};
  const char* msg = nullptr;
  int err = 0;
  const pid_t pid = unix_backend.start_child(p, PEX_USE_PATH, argv[0], argv, nullptr, 0, 1, err_fd,
                                             -1, &msg, &err);
  for (int fd : hogs) close(fd);
  setrlimit(RLIMIT_NOFILE, &saved);
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(unix_backend.wait_child(p, pid, &status, nullptr, false, &msg, &err), 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 255);
  EXPECT_EQ(
      read_file(err_path),
      "tester: error trying to exec '/nonexistent/tool': execvp: No such file or directory\n");
}

}  // namespace
