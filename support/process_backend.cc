#include "support/process_backend.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "support/errtext.h"

extern char** environ;

namespace {

// The calls a child can fail at. The report names one by its index, so it
// means the same on every word size (an address would not fit 32 bits).
const char* const kChildCalls[] = {"dup2", "close", "execv", "execvp"};
enum ChildCall : int32_t { kDup2, kClose, kExecv, kExecvp };

struct ChildReport {
  int32_t call;
  int32_t error;
};
static_assert(sizeof(ChildReport) == 8, "the report is two 32-bit words");

// Every descriptor the layer makes is close-on-exec: a child receives only the
// three it is given as its standard streams (start_child clears the flag on
// those), never another stage's pipe end or file.
int unix_open_for_reading(ProcessPipeline*, const char* name, int) {
  return open(name, O_RDONLY | O_CLOEXEC);
}

int unix_open_for_writing(ProcessPipeline*, const char* name, int, int append) {
  return open(name, O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0666);
}

int unix_close_descriptor(ProcessPipeline*, int fd) {
  return close(fd);
}

int unix_make_pipe(ProcessPipeline*, int* fds, int) {
  return pipe2(fds, O_CLOEXEC);
}

FILE* unix_stream_for_reading(ProcessPipeline*, int fd, int) {
  return fdopen(fd, "r");
}

FILE* unix_stream_for_writing(ProcessPipeline*, int fd, int) {
  if (fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) return nullptr;
  return fdopen(fd, "w");
}

void unix_release_backend(ProcessPipeline*) {}

// Writes all of text to descriptor 2; false when a write fails.
bool child_write(const char* text) {
  size_t length = strlen(text);
  while (length > 0) {
    const ssize_t put = write(2, text, length);
    if (put <= 0) return false;
    text += put;
    length -= static_cast<size_t>(put);
  }
  return true;
}

// Runs in the vfork child: only plain system calls, and it never returns.
[[noreturn]] void run_child(ProcessPipeline* pipeline, int flags, const char* program,
                            char* const* argv, char* const* env, int in, int out, int errdes,
                            int toclose, const int report[2]) {
  int32_t failed = -1;
  if (report[0] >= 0) close(report[0]);
  const int redirect_from[3] = {in, out, errdes};
  for (int target = 0; target < 3 && failed < 0; ++target) {
    const int fd = redirect_from[target];
    if (fd == target) {
      // Already in place, but possibly close-on-exec: keep it for the program.
      if (fcntl(fd, F_SETFD, 0) < 0) failed = kDup2;
      continue;
    }
    if (dup2(fd, target) < 0)
      failed = kDup2;
    else if (close(fd) < 0)
      failed = kClose;
  }
  if (failed < 0 && toclose >= 0 && close(toclose) < 0) failed = kClose;
  if (failed < 0 && (flags & PEX_MERGE_STDERR) && dup2(1, 2) < 0) failed = kDup2;
  if (failed < 0) {
    if (env) environ = const_cast<char**>(env);
    if (flags & PEX_USE_PATH) {
      execvp(program, argv);
      failed = kExecvp;
    } else {
      execv(program, argv);
      failed = kExecv;
    }
  }
  const ChildReport record = {failed, errno};
  if (report[1] >= 0 &&
      write(report[1], &record, sizeof record) == static_cast<ssize_t>(sizeof record))
    _exit(-1);
  const bool written =
      child_write(pipeline->caller_name) && child_write(": error trying to exec '") &&
      child_write(program) && child_write("': ") && child_write(kChildCalls[failed]) &&
      child_write(": ") && child_write(errno_text(record.error)) && child_write("\n");
  _exit(written ? -1 : -2);
}

pid_t unix_start_child(ProcessPipeline* pipeline, int flags, const char* program, char* const* argv,
                       char* const* env, int in, int out, int errdes, int toclose,
                       const char** errmsg, int* err) {
  int report[2] = {-1, -1};
  if (pipe2(report, O_CLOEXEC) < 0) report[0] = report[1] = -1;
  char** const saved_environ = environ;

  pid_t pid = -1;
  for (unsigned sleep_seconds = 1; sleep_seconds <= 8; sleep_seconds *= 2) {
    pid = vfork();
    if (pid >= 0) break;
    sleep(sleep_seconds);
  }
  if (pid < 0) {
    const int vfork_errno = errno;
    if (report[0] >= 0) {
      close(report[0]);
      close(report[1]);
    }
    *errmsg = "vfork";
    *err = vfork_errno;
    return -1;
  }
  if (pid == 0) run_child(pipeline, flags, program, argv, env, in, out, errdes, toclose, report);

  environ = saved_environ;  // the child may have replaced it in the shared memory
  bool child_failed = false;
  ChildReport record = {0, 0};
  if (report[0] >= 0) {
    close(report[1]);
    ssize_t got;
    do {
      got = read(report[0], &record, sizeof record);
    } while (got < 0 && errno == EINTR);
    child_failed =
        got == static_cast<ssize_t>(sizeof record) && record.call >= 0 && record.call <= kExecvp;
    close(report[0]);
  }
  if (child_failed) {
    // The child has exited already; reap it so no zombie is left behind.
    int ignored;
    while (waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
    }
    *errmsg = kChildCalls[record.call];
    *err = record.error;
    return -1;
  }
  const int redirected[3] = {in, out, errdes};
  for (int target = 0; target < 3; ++target) {
    if (redirected[target] != target && close(redirected[target]) < 0) {
      *errmsg = "close";
      *err = errno;
      return -1;
    }
  }
  return pid;
}

int unix_wait_child(ProcessPipeline*, pid_t pid, int* status, UsageTimes* usage, bool terminate,
                    const char** errmsg, int* err) {
  if (terminate) kill(pid, SIGTERM);
  pid_t got;
  if (usage) {
    struct rusage r;
    do {
      got = wait4(pid, status, 0, &r);
    } while (got < 0 && errno == EINTR);
    if (got >= 0) {
      usage->cpu_user_s = static_cast<uint32_t>(r.ru_utime.tv_sec);
      usage->cpu_user_us = static_cast<uint32_t>(r.ru_utime.tv_usec);
      usage->cpu_sys_s = static_cast<uint32_t>(r.ru_stime.tv_sec);
      usage->cpu_sys_us = static_cast<uint32_t>(r.ru_stime.tv_usec);
    }
  } else {
    do {
      got = waitpid(pid, status, 0);
    } while (got < 0 && errno == EINTR);
  }
  if (got < 0) {
    *err = errno;
    *errmsg = "wait";
    return -1;
  }
  return 0;
}

}  // namespace

const PipelineBackend unix_backend = {
    unix_open_for_reading,   unix_open_for_writing,   unix_start_child,
    unix_close_descriptor,   unix_wait_child,         unix_make_pipe,
    unix_stream_for_reading, unix_stream_for_writing, unix_release_backend,
};
