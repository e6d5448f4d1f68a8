#include "hdrpatch/archive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string member_path(const char* archive, const char* name) {
  char* path = thin_member_path(archive, name, strlen(name));
  std::string result = path ? path : "(null)";
  free(path);
  return result;
}

}  // namespace

TEST(ThinMemberPath, RelativeToTheArchiveDirectory) {
  EXPECT_EQ(member_path("sub/lib.a", "foo.o"), "sub/foo.o");
  EXPECT_EQ(member_path("sub/lib.a", "/abs/foo.o"), "/abs/foo.o");
  EXPECT_EQ(member_path("lib.a", "foo.o"), "foo.o");
  EXPECT_EQ(member_path("/x/y/lib.a", "z/foo.o"), "/x/y/z/foo.o");
  EXPECT_EQ(member_path("/lib.a", "foo.o"), "/foo.o");
  char* part = thin_member_path("d/lib.a", "foo.o/rest", 5);
  EXPECT_STREQ(part, "d/foo.o");
  free(part);
}

TEST(MemberDisplayName, ThreeForms) {
  ArchiveCursor archive, nested;
  archive.path = const_cast<char*>("lib.a");
  char* name = member_display_name(&archive, &nested, "foo.o");
  EXPECT_STREQ(name, "lib.a(foo.o)");
  free(name);
  archive.thin = true;
  name = member_display_name(&archive, &nested, "foo.o");
  EXPECT_STREQ(name, "lib.a[foo.o]");
  free(name);
  archive.nested_member_offset = 8;
  name = member_display_name(&archive, &nested, "m.o");
  EXPECT_STREQ(name, "lib.a[<corrupt>(m.o)]");
  free(name);
  nested.path = const_cast<char*>("inner.a");
  name = member_display_name(&archive, &nested, "m.o");
  EXPECT_STREQ(name, "lib.a[inner.a(m.o)]");
  free(name);
}
