#include "query/descriptor_batch.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace {

// Enough to close a query's files in a few calls, few enough to leave a
// process with a low descriptor limit room (and it is emptied when opening
// finds none left).
constexpr size_t kHeld = 64;

// Closes first..last, all of them held. One call where the system has it.
void close_run(int first, int last) {
#ifdef SYS_close_range
  if (last > first && syscall(SYS_close_range, first, last, 0) == 0) return;
#endif
  for (int fd = first; fd <= last; ++fd) close(fd);
}

class DescriptorBatch {
 public:
  DescriptorBatch() = default;
  DescriptorBatch(const DescriptorBatch&) = delete;
  DescriptorBatch& operator=(const DescriptorBatch&) = delete;
  ~DescriptorBatch() { flush(); }

  void add(int fd) {
    if (count_ == fds_.size()) flush();
    fds_[count_++] = fd;
  }

  bool flush() {
    if (count_ == 0) return false;
    // A number held is never given out again until it is closed, so the
    // numbers are distinct; a run of consecutive ones is all ours.
    std::sort(fds_.begin(), fds_.begin() + static_cast<ptrdiff_t>(count_));
    for (size_t i = 0; i < count_;) {
      size_t j = i + 1;
      while (j < count_ && fds_[j] == fds_[j - 1] + 1) ++j;
      close_run(fds_[i], fds_[j - 1]);
      i = j;
    }
    count_ = 0;
    return true;
  }

 private:
  std::array<int, kHeld> fds_{};
  size_t count_ = 0;
};

DescriptorBatch held;

}  // namespace

void close_later(int fd) {
  held.add(fd);
}

bool close_held_descriptors() {
  return held.flush();
}

int open_module_file(int dir_fd, const char* path) {
  constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  int fd = openat(dir_fd, path, kFlags);
  if (fd < 0 && errno == EMFILE && close_held_descriptors()) fd = openat(dir_fd, path, kFlags);
  return fd;
}
