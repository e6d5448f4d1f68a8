#include "support/alloc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

// Let the sanitizer build return null for an impossible request, as the C
// library does, so the out-of-memory report itself can be tested.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}

TEST(CheckedAlloc, ZeroSizesGiveOneUsableByte) {
  char* p = static_cast<char*>(checked_alloc(0));
  p[0] = 'x';
  free(p);
  char* z = static_cast<char*>(checked_alloc_zeroed(0, 8));
  EXPECT_EQ(z[0], 0);
  free(z);
}

TEST(CheckedAlloc, ResizeOfNullAllocatesAndResizeKeepsContents) {
  char* p = static_cast<char*>(checked_resize(nullptr, 10));
  memcpy(p, "123456789", 10);
  p = static_cast<char*>(checked_resize(p, 4000));
  EXPECT_STREQ(p, "123456789");
  free(p);
  char* d = checked_strdup("abc");
  EXPECT_STREQ(d, "abc");
  free(d);
}

TEST(CheckedAllocDeathTest, OutOfMemoryReportsAndExitsWithOne) {
  // Under memcheck an impossible request is itself reported as an error.
  if (getenv("KIT_MEMCHECK")) GTEST_SKIP() << "asks for impossible sizes on purpose";
  const size_t huge = SIZE_MAX - 4096;  // cannot succeed on any word size
  EXPECT_EXIT(checked_alloc(huge), testing::ExitedWithCode(1),
              "(^|\n)\nout of memory allocating " + std::to_string(huge) +
                  " bytes after a total of [0-9]+ bytes\n$");
  EXPECT_EXIT(checked_alloc_zeroed(SIZE_MAX / 4, 3), testing::ExitedWithCode(1),
              "out of memory allocating " + std::to_string(SIZE_MAX / 4 * 3) + " bytes");
}

#if defined(__SANITIZE_ADDRESS__)
#define KIT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIT_ASAN 1
#endif
#endif

TEST(CheckedAllocDeathTest, FailedNewTakesTheSameReport) {
  if (getenv("KIT_MEMCHECK")) GTEST_SKIP() << "asks for impossible sizes on purpose";
#ifdef KIT_ASAN
  GTEST_SKIP() << "the sanitizer's operator new ends the process itself";
#endif
  auto allocate_too_much = [] {
    route_new_failures_to_report();
    // More than any address space holds, on every word size.
    volatile size_t huge = SIZE_MAX - 4096;
    void* volatile block = ::operator new(huge);
    ::operator delete(block);
  };
  EXPECT_EXIT(allocate_too_much(), testing::ExitedWithCode(1),
              "\nout of memory allocating 0 bytes");
}

TEST(CheckedAllocDeathTest, ExitProcessRunsCleanupHookFirst) {
  EXPECT_EXIT(
      {
        exit_cleanup_hook = [] { fputs("cleanup ran", stderr); };
        exit_process(3);
      },
      testing::ExitedWithCode(3), "cleanup ran");
}
