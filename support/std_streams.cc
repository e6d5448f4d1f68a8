#include "support/std_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* exit_program_name = nullptr;

void finish_at_exit() {
  if (!finish_standard_output(exit_program_name)) _exit(1);
}

}  // namespace

bool ensure_standard_fds() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    const int opened = open("/dev/null", (fd == 0 ? O_WRONLY : O_RDONLY) | O_NOCTTY);
    if (opened < 0) return false;
    // The lowest free descriptor is this one; anything else means a race we
    // cannot repair.
    if (opened != fd) {
      close(opened);
      return false;
    }
  }
  return true;
}

bool finish_standard_output(const char* program) {
  // A write that failed earlier left its errno behind; the flush, when it
  // fails, gives a fresher one.
  int error = errno;
  if (fflush(stdout) != 0)
    error = errno;
  else if (!ferror(stdout))
    return true;
  if (error != 0)
    fprintf(stderr, "%s: write error: %s\n", program, strerror(error));
  else
    fprintf(stderr, "%s: write error\n", program);
  fflush(stderr);
  return false;
}

void check_standard_output_at_exit(const char* program) {
  exit_program_name = program;
  atexit(finish_at_exit);
}
