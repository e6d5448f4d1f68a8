#include "query/descriptor_batch.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

bool is_open(int fd) {
  return fcntl(fd, F_GETFD) != -1;
}

int count_open_descriptors() {
  int count = 0;
  DIR* dir = opendir("/proc/self/fd");
  while (readdir(dir)) ++count;
  closedir(dir);
  return count;
}

// Descriptors handed over stay open until the batch is closed, and then are
// all closed; one among them that was not handed over stays open.
TEST(DescriptorBatch, ClosesWhatItHoldsAndNothingElse) {
  close_held_descriptors();
  std::vector<int> handed;
  int kept = -1;
  for (int i = 0; i < 10; ++i) {
    const int fd = open_module_file("/dev/null");
    ASSERT_GE(fd, 0);
    if (i == 4) {
      kept = fd;
      continue;
    }
    handed.push_back(fd);
    close_later(fd);
  }
  for (int fd : handed) EXPECT_TRUE(is_open(fd)) << fd;
  EXPECT_TRUE(close_held_descriptors());
  for (int fd : handed) EXPECT_FALSE(is_open(fd)) << fd;
  EXPECT_TRUE(is_open(kept));
  close(kept);
  EXPECT_FALSE(close_held_descriptors());
}

// A long run of files never holds more than a batch at once.
TEST(DescriptorBatch, HoldsABatchAtMost) {
  close_held_descriptors();
  const int before = count_open_descriptors();
  for (int i = 0; i < 1000; ++i) {
    const int fd = open_module_file("/dev/null");
    ASSERT_GE(fd, 0) << i;
    close_later(fd);
  }
  EXPECT_LE(count_open_descriptors(), before + 64);
  close_held_descriptors();
  EXPECT_EQ(count_open_descriptors(), before);
}

// Under a descriptor limit lower than a batch, opening still succeeds: the
// held descriptors are closed when none is left.
TEST(DescriptorBatch, OpensUnderALowLimit) {
  close_held_descriptors();
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = static_cast<rlim_t>(count_open_descriptors() + 8);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  for (int i = 0; i < 200; ++i) {
    const int fd = open_module_file("/dev/null");
    ASSERT_GE(fd, 0) << i;
    close_later(fd);
  }
  close_held_descriptors();
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
}

// A relative name is taken from the directory given, the working one by default.
TEST(DescriptorBatch, OpensRelativeToADirectory) {
  char dir[] = "/tmp/descriptor-batch-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string file = std::string(dir) + "/only-here.mq";
  close(open(file.c_str(), O_WRONLY | O_CREAT, 0644));
  const int dir_fd = open(dir, O_RDONLY | O_DIRECTORY);
  ASSERT_GE(dir_fd, 0);
  const int fd = open_module_file(dir_fd, "only-here.mq");
  EXPECT_GE(fd, 0);
  EXPECT_LT(open_module_file("only-here.mq"), 0);
  close(fd);
  close(dir_fd);
  unlink(file.c_str());
  rmdir(dir);
}

}  // namespace
