#include "support/concat.h"

#include <gtest/gtest.h>

#include <cstdlib>

// The empty list (a null first entry) is valid, though the sentinel check
// cannot know it: GCC reports it under -Wformat, clang under -Wsentinel.
#pragma GCC diagnostic ignored "-Wformat"
#ifdef __clang__
#pragma clang diagnostic ignored "-Wsentinel"
#endif

TEST(Concat, JoinsListsIncludingTheEmptyOne) {
  EXPECT_EQ(joined_length("/usr/", "lib", nullptr), 8u);
  EXPECT_EQ(joined_length(nullptr), 0u);
  char* s = join_strings("/usr/", "lib", nullptr);
  EXPECT_STREQ(s, "/usr/lib");
  free(s);
  char* e = join_strings(nullptr);
  EXPECT_STREQ(e, "");
  free(e);
}

TEST(Concat, JoinIntoWritesTerminatorAndReturnsDestination) {
  char buf[16];
  EXPECT_EQ(join_into(buf, "ab", "", "cd", nullptr), buf);
  EXPECT_STREQ(buf, "abcd");
  join_target = buf;
  EXPECT_EQ(join_into_shared("x", "yz", nullptr), buf);
  EXPECT_STREQ(buf, "xyz");
  join_target = nullptr;
}

TEST(Concat, RejoinMayListTheOldStringItself) {
  char* old = join_strings("abc", nullptr);
  char* s = rejoin_strings(old, old, "/def", nullptr);
  EXPECT_STREQ(s, "abc/def");
  free(s);
  char* t = rejoin_strings(nullptr, "x", nullptr);
  EXPECT_STREQ(t, "x");
  free(t);
}
