#include "support/pipeline.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/process_backend.h"
#include "tests/common/scratch_dir.h"

namespace {

char* const* args(std::initializer_list<const char*> list) {
  static std::vector<char*> storage;
  storage.clear();
  for (const char* a : list) storage.push_back(const_cast<char*>(a));
  storage.push_back(nullptr);
  return storage.data();
}

std::string read_stream(FILE* f) {
  std::string text;
  char buffer[256];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  return text;
}

// The descriptors this process would hand to any child: the standard streams
// and whatever it inherited itself without close-on-exec.
std::set<std::string> inheritable_descriptors() {
  std::set<std::string> fds;
  DIR* d = opendir("/proc/self/fd");
  while (const dirent* e = readdir(d)) {
    const int fd = atoi(e->d_name);
    if (e->d_name[0] == '.' || fd == dirfd(d)) continue;
    if ((fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0) fds.insert(e->d_name);
  }
  closedir(d);
  return fds;
}

// Every descriptor open in this process, close-on-exec or not.
std::set<int> open_descriptors() {
  std::set<int> fds;
  DIR* d = opendir("/proc/self/fd");
  while (const dirent* e = readdir(d)) {
    const int fd = atoi(e->d_name);
    if (e->d_name[0] != '.' && fd != dirfd(d)) fds.insert(fd);
  }
  closedir(d);
  return fds;
}

// The descriptor list a child wrote with "ls /proc/$$/fd".
std::set<std::string> listed_descriptors(const std::string& path) {
  std::set<std::string> seen;
  std::istringstream lines(read_file(path));
  for (std::string line; std::getline(lines, line);) seen.insert(line);
  return seen;
}

bool exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

class Pipeline : public testing::Test {
 protected:
  ScratchDir scratch;
  const std::string& dir = scratch.path;
};

TEST_F(Pipeline, RunSingleReturnsTheExitStatus) {
  int status = -1, err = -1;
  EXPECT_EQ(pex_run_single(PEX_USE_PATH, "sh", args({"sh", "-c", "exit 2"}), "t", nullptr, nullptr,
                           &status, &err),
            nullptr);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_STREQ(
      pex_run_single(0, "/no/such", args({"/no/such"}), "t", nullptr, nullptr, &status, &err),
      "execv");
  EXPECT_EQ(err, ENOENT);
}

TEST_F(Pipeline, OutputAndErrorFiles) {
  const std::string out = dir + "/out", errf = dir + "/err";
  int status, err;
  ASSERT_EQ(
      pex_run_single(PEX_USE_PATH | PEX_FINAL_STAGE, "sh", args({"sh", "-c", "echo o; echo e >&2"}),
                     "t", out.c_str(), errf.c_str(), &status, &err),
      nullptr);
  ASSERT_EQ(pex_run_single(PEX_USE_PATH | PEX_FINAL_STAGE | PEX_APPEND_OUTPUT, "sh",
                           args({"sh", "-c", "echo o2"}), "t", out.c_str(), nullptr, &status, &err),
            nullptr);
  EXPECT_EQ(read_file(out), "o\no2\n");
  EXPECT_EQ(read_file(errf), "e\n");
}

TEST_F(Pipeline, TwoStagesThroughAnIntermediateFile) {
  const std::string base = dir + "/stage";
  ProcessPipeline* p = pex_create(0, "t", base.c_str());
  int err = 0;
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH, "sh", args({"sh", "-c", "echo hello"}), nullptr,
                            nullptr, &err),
            nullptr);
  const std::string intermediate = p->pending_input_path;
  EXPECT_EQ(intermediate.substr(0, base.size()), base);
  EXPECT_EQ(intermediate.size(), base.size() + 6);
  ASSERT_EQ(
      pex_add_program(p, PEX_USE_PATH, "tr", args({"tr", "a-z", "A-Z"}), nullptr, nullptr, &err),
      nullptr);
  FILE* out = pex_take_output(p, 0);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(read_stream(out), "HELLO\n");
  int statuses[3] = {-1, -1, -1};
  EXPECT_EQ(pex_get_status(p, 3, statuses), 1);
  EXPECT_EQ(statuses[0], 0);
  EXPECT_EQ(statuses[2], 0);
  EXPECT_TRUE(exists(intermediate));
  pex_destroy(p);
  EXPECT_FALSE(exists(intermediate));
}

TEST_F(Pipeline, TwoStagesThroughAPipe) {
  ProcessPipeline* p = pex_create(PEX_PIPE_STAGES, "t", nullptr);
  int err = 0;
  FILE* in = pex_prepare_input_pipe(p, 0);
  ASSERT_NE(in, nullptr);
  // The first stage must not hold the read end of its own output pipe, or
  // the second would never see end of file: "cat" would then hang.
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH, "cat", args({"cat"}), nullptr, nullptr, &err),
            nullptr);
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH, "wc", args({"wc", "-c"}), nullptr, nullptr, &err),
            nullptr);
  fputs("12345", in);
  fclose(in);
  FILE* out = pex_take_output(p, 0);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(atoi(read_stream(out).c_str()), 5);
  int statuses[2];
  EXPECT_EQ(pex_get_status(p, 2, statuses), 1);
  EXPECT_EQ(statuses[0], 0);
  EXPECT_EQ(statuses[1], 0);
  pex_destroy(p);
}

TEST_F(Pipeline, ErrorsThroughAPipeAndUsage) {
  ProcessPipeline* p = pex_create(PEX_TRACK_USAGE, "t", nullptr);
  int err = 0;
  ASSERT_EQ(
      pex_add_program(p, PEX_USE_PATH | PEX_FINAL_STAGE | PEX_STDERR_TO_PIPE, "sh",
                      args({"sh", "-c", "echo oops >&2"}), (dir + "/o").c_str(), nullptr, &err),
      nullptr);
  FILE* errors = pex_take_errors(p, 0);
  ASSERT_NE(errors, nullptr);
  EXPECT_EQ(read_stream(errors), "oops\n");
  UsageTimes usage[2];
  EXPECT_EQ(pex_get_usage(p, 2, usage), 1);
  EXPECT_EQ(usage[1].cpu_user_s, 0u);
  EXPECT_EQ(pex_take_output(p, 0), nullptr);
  pex_destroy(p);

  p = pex_create(0, "t", nullptr);
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH | PEX_FINAL_STAGE, "true", args({"true"}), nullptr,
                            nullptr, &err),
            nullptr);
  UsageTimes none[1];
  EXPECT_EQ(pex_get_usage(p, 1, none), 0);
  pex_destroy(p);
}

TEST_F(Pipeline, PreparedInputFileFeedsTheFirstProgram) {
  ProcessPipeline* p = pex_create(0, "t", nullptr);
  const std::string input = dir + "/input";  // the pipeline keeps the caller's name
  FILE* in = pex_prepare_input_file(p, 0, input.c_str());
  ASSERT_NE(in, nullptr);
  fputs("abc", in);
  int err;
  const std::string out = dir + "/out";
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH | PEX_FINAL_STAGE, "cat", args({"cat"}), out.c_str(),
                            nullptr, &err),
            nullptr);
  int status;
  EXPECT_EQ(pex_get_status(p, 1, &status), 1);
  pex_destroy(p);
  EXPECT_EQ(read_file(out), "abc");
}

TEST_F(Pipeline, DestroyTerminatesARunningProgram) {
  ProcessPipeline* p = pex_create(0, "t", nullptr);
  int err;
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH | PEX_FINAL_STAGE, "sleep", args({"sleep", "1000"}),
                            nullptr, nullptr, &err),
            nullptr);
  const pid_t pid = p->pids[0];
  pex_destroy(p);
  EXPECT_EQ(kill(pid, 0), -1);  // reaped: no such process any more
  EXPECT_EQ(errno, ESRCH);
}

TEST_F(Pipeline, NoDescriptorLeaksIntoTheParent) {
  const std::set<int> before = open_descriptors();
  int status, err;
  pex_run_single(PEX_USE_PATH | PEX_FINAL_STAGE, "true", args({"true"}), "t", (dir + "/o").c_str(),
                 (dir + "/e").c_str(), &status, &err);
  pex_run_single(0, "/no/such", args({"/no/such"}), "t", nullptr, nullptr, &status, &err);

  // Three stages through pipes: the parent closes each stage's input once the
  // stage has started, and nothing is left open when the pipeline is gone.
  ProcessPipeline* p = pex_create(PEX_PIPE_STAGES, "t", nullptr);
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH, "echo", args({"echo", "x"}), nullptr, nullptr, &err),
            nullptr);
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH, "cat", args({"cat"}), nullptr, nullptr, &err),
            nullptr);
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH | PEX_FINAL_STAGE, "cat", args({"cat"}),
                            (dir + "/o").c_str(), nullptr, &err),
            nullptr);
  EXPECT_EQ(pex_get_status(p, 3, std::vector<int>(3).data()), 1);
  pex_destroy(p);

  // An output pipe that was never read is closed by pex_destroy.
  p = pex_create(PEX_PIPE_STAGES, "t", nullptr);
  ASSERT_EQ(
      pex_add_program(p, PEX_USE_PATH, "echo", args({"echo", "unread"}), nullptr, nullptr, &err),
      nullptr);
  ASSERT_NE(pex_take_output(p, 0), nullptr);
  pex_destroy(p);

  EXPECT_EQ(open_descriptors(), before);
}

TEST_F(Pipeline, FailedStartsLeaveNoChildBehind) {
  int status, err;
  for (int i = 0; i < 3; ++i)
    EXPECT_STREQ(
        pex_run_single(0, "/no/such", args({"/no/such"}), "t", nullptr, nullptr, &status, &err),
        "execv");
  // Every child was waited for: there is none left, not even a zombie.
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(Pipeline, SystemTimeIsMeasuredOnItsOwn) {
  // dd with one-byte blocks spends its time in system calls, not in itself.
  ProcessPipeline* p = pex_create(PEX_TRACK_USAGE, "t", nullptr);
  int err;
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH | PEX_FINAL_STAGE, "dd",
                            args({"dd", "if=/dev/zero", "of=/dev/null", "bs=1", "count=400000"}),
                            nullptr, (dir + "/e").c_str(), &err),
            nullptr);
  UsageTimes usage[1];
  ASSERT_EQ(pex_get_usage(p, 1, usage), 1);
  const uint64_t user = uint64_t{usage[0].cpu_user_s} * 1000000 + usage[0].cpu_user_us;
  const uint64_t sys = uint64_t{usage[0].cpu_sys_s} * 1000000 + usage[0].cpu_sys_us;
  EXPECT_GT(sys, 0u);
  EXPECT_NE(sys, user);
  pex_destroy(p);
}

TEST_F(Pipeline, NoDescriptorLeaksIntoTheChild) {
  // The child sees its three standard streams and nothing else: not the
  // report pipe, not the pipeline's own descriptors.
  const std::string out = dir + "/fds";
  int status, err;
  ASSERT_EQ(
      pex_run_single(PEX_USE_PATH | PEX_FINAL_STAGE, "sh", args({"sh", "-c", "ls /proc/$$/fd"}),
                     "t", out.c_str(), (dir + "/e").c_str(), &status, &err),
      nullptr);
  EXPECT_EQ(listed_descriptors(out), inheritable_descriptors());

  // Nor the read end of its own error pipe, nor any stage's pipe ends.
  ProcessPipeline* p = pex_create(0, "t", nullptr);
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH | PEX_FINAL_STAGE | PEX_STDERR_TO_PIPE, "sh",
                            args({"sh", "-c", "ls /proc/$$/fd"}), (dir + "/piped").c_str(), nullptr,
                            &err),
            nullptr);
  int statuses[2];
  EXPECT_EQ(pex_get_status(p, 1, statuses), 1);
  pex_destroy(p);
  EXPECT_EQ(listed_descriptors(dir + "/piped"), inheritable_descriptors());

  p = pex_create(PEX_PIPE_STAGES, "t", nullptr);
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH, "sh", args({"sh", "-c", "ls /proc/$$/fd"}), nullptr,
                            nullptr, &err),
            nullptr);
  // The second stage saves what the first listed, then lists its own.
  ASSERT_EQ(
      pex_add_program(p, PEX_USE_PATH | PEX_FINAL_STAGE, "sh",
                      args({"sh", "-c", "cat > \"$0\"; ls /proc/$$/fd", (dir + "/first").c_str()}),
                      (dir + "/second").c_str(), nullptr, &err),
      nullptr);
  EXPECT_EQ(pex_get_status(p, 2, statuses), 1);
  pex_destroy(p);
  EXPECT_EQ(listed_descriptors(dir + "/first"), inheritable_descriptors());
  EXPECT_EQ(listed_descriptors(dir + "/second"), inheritable_descriptors());
}

}  // namespace

namespace {

// A back end in memory: descriptors are numbers handed out in order, a child
// is a record, names listed as missing fail to open with ENOENT. The
// pipeline's own bookkeeping is tested here without starting a process.
struct FakeWorld {
  std::set<std::string> missing{""};
  bool fail_start = false;
  int next_fd = 10;
  pid_t next_pid = 100;
  std::set<int> open;
  std::vector<std::string> started;
  int closes = 0;
};
FakeWorld* world = nullptr;

int fake_open(const char* name) {
  if (world->missing.count(name)) {
    errno = ENOENT;
    return -1;
  }
  world->open.insert(world->next_fd);
  return world->next_fd++;
}
int fake_close(ProcessPipeline*, int fd) {
  EXPECT_EQ(world->open.erase(fd), 1u) << "closing " << fd << ", not open";
  ++world->closes;
  return 0;
}
const PipelineBackend fake_backend = {
    [](ProcessPipeline*, const char* name, int) { return fake_open(name); },
    [](ProcessPipeline*, const char* name, int, int) { return fake_open(name); },
    [](ProcessPipeline* p, int, const char* program, char* const*, char* const*, int in, int out,
       int err_fd, int, const char** errmsg, int* err) -> pid_t {
      if (world->fail_start) {
        *errmsg = "execvp";
        *err = ENOENT;
        return -1;
      }
      // As the real one, the parent's copies of the child's streams are closed.
      for (int fd : {in, out, err_fd})
        if (fd > 2) fake_close(p, fd);
      world->started.push_back(std::string(program) + " " + std::to_string(in) + " " +
                               std::to_string(out) + " " + std::to_string(err_fd));
      return world->next_pid++;
    },
    fake_close,
    [](ProcessPipeline*, pid_t pid, int* status, UsageTimes*, bool, const char**, int*) {
      *status = 0;
      return static_cast<int>(pid);
    },
    [](ProcessPipeline*, int* fds, int) {
      fds[0] = fake_open("pipe");
      fds[1] = fake_open("pipe");
      return 0;
    },
    [](ProcessPipeline*, int, int) -> FILE* { return nullptr; },
    [](ProcessPipeline*, int, int) -> FILE* { return nullptr; },
    [](ProcessPipeline*) {},
};

class FakePipeline : public testing::Test {
 protected:
  FakeWorld fake;
  ScratchDir scratch;
  const std::string& dir = scratch.path;
  void SetUp() override { world = &fake; }
  void TearDown() override { world = nullptr; }
  ProcessPipeline* create(int flags) {
    ProcessPipeline* p = pex_create(flags, "t", nullptr);
    p->backend->release_backend(p);
    p->backend = &fake_backend;
    return p;
  }
};

TEST_F(FakePipeline, ErrorTexts) {
  int err = -1;
  ProcessPipeline* p = create(0);
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH | PEX_FINAL_STAGE, "true", args({"true"}), nullptr,
                            nullptr, &err),
            nullptr);
  EXPECT_STREQ(pex_add_program(p, PEX_USE_PATH, "true", args({"true"}), nullptr, nullptr, &err),
               "pipeline already complete");
  EXPECT_EQ(err, 0);
  errno = 0;
  EXPECT_EQ(pex_prepare_input_file(p, 0, nullptr), nullptr);
  EXPECT_EQ(errno, EINVAL);
  pex_destroy(p);

  p = pex_create(0, "t", nullptr);
  EXPECT_EQ(pex_prepare_input_pipe(p, 0), nullptr);
  EXPECT_EQ(errno, EINVAL);
  pex_destroy(p);

  // A final program that fails to start still completes the pipeline, so
  // each case below gets a pipeline of its own.
  fake.missing.insert("/no/such/dir/e");
  struct Case {
    int flags;
    const char *outname, *errname, *text;
    int err;
  } cases[] = {
      {PEX_FINAL_STAGE | PEX_STDERR_TO_PIPE, nullptr, "e",
       "both ERRNAME and PEX_STDERR_TO_PIPE specified.", 0},
      {PEX_FINAL_STAGE | PEX_NAME_IS_SUFFIX, ".out", nullptr, "open temporary output file", ENOENT},
      {PEX_FINAL_STAGE, nullptr, "/no/such/dir/e", "open error file", ENOENT},
  };
  for (const Case& c : cases) {
    p = create(0);
    EXPECT_STREQ(pex_add_program(p, c.flags, "true", args({"true"}), c.outname, c.errname, &err),
                 c.text);
    EXPECT_EQ(err, c.err) << c.text;
    EXPECT_STREQ(
        pex_add_program(p, PEX_FINAL_STAGE, "true", args({"true"}), nullptr, nullptr, &err),
        "pipeline already complete");
    pex_destroy(p);
  }

  p = create(PEX_PIPE_STAGES);
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH | PEX_STDERR_TO_PIPE, "true", args({"true"}), nullptr,
                            nullptr, &err),
            nullptr);
  EXPECT_STREQ(pex_add_program(p, PEX_USE_PATH | PEX_FINAL_STAGE, "true", args({"true"}), nullptr,
                               nullptr, &err),
               "PEX_STDERR_TO_PIPE used in the middle of pipeline");
  pex_destroy(p);
  EXPECT_EQ(fake.open, std::set<int>{});
}

// A stage that fails closes exactly what it opened, once: its input pipe
// (which the pipeline then forgets), its output file and its error file.
TEST_F(FakePipeline, AFailedStageReleasesWhatItOpened) {
  int err = -1;
  ProcessPipeline* p = create(PEX_PIPE_STAGES);
  ASSERT_EQ(pex_add_program(p, 0, "first", args({"first"}), nullptr, nullptr, &err), nullptr);
  EXPECT_EQ(fake.started, std::vector<std::string>{"first 0 11 2"});
  EXPECT_EQ(fake.open, std::set<int>{10});  // the next stage's input

  fake.fail_start = true;
  EXPECT_STREQ(
      pex_add_program(p, PEX_FINAL_STAGE, "second", args({"second"}), "out", "errors", &err),
      "execvp");
  EXPECT_EQ(err, ENOENT);
  EXPECT_EQ(fake.open, std::set<int>{});
  const int closes = fake.closes;
  pex_destroy(p);
  EXPECT_EQ(fake.closes, closes);  // nothing closed twice

  // An error file that cannot be opened: the output file already open goes.
  fake.fail_start = false;
  fake.missing.insert("errors");
  p = create(0);
  EXPECT_STREQ(pex_add_program(p, PEX_FINAL_STAGE, "only", args({"only"}), "out", "errors", &err),
               "open error file");
  EXPECT_EQ(err, ENOENT);
  EXPECT_EQ(fake.open, std::set<int>{});
  pex_destroy(p);
}

TEST_F(FakePipeline, KeepTempsAndTemplateBase) {
  const std::string base = dir + "/keepXXXXXX";
  ProcessPipeline* p = pex_create(PEX_KEEP_TEMPS, "t", base.c_str());
  p->backend->release_backend(p);
  p->backend = &fake_backend;
  int err = 0;
  ASSERT_EQ(pex_add_program(p, PEX_USE_PATH, "true", args({"true"}), nullptr, nullptr, &err),
            nullptr);
  const std::string intermediate = p->pending_input_path;
  EXPECT_EQ(intermediate.size(), base.size());
  EXPECT_NE(intermediate, base);
  pex_destroy(p);
  EXPECT_TRUE(exists(intermediate));
}

}  // namespace
