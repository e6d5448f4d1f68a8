#include "query/module_dirs.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <string>

namespace {

std::string glib_text(char* text) {
  std::string copy(text);
  g_free(text);
  return copy;
}

// The listing's paths and a module file's folder and key are what GLib's
// path functions give, for every form a search directory or path may take.
TEST(ModulePaths, AsGLibComputesThem) {
  const char* dirs[] = {"", "/", "//", "a", "a/", "a//", "/a", "//a//", "./", ".", "a//b/", "/a/b"};
  for (const char* dir : dirs) {
    std::string joined;
    join_entry_path(dir, "x.mq", &joined);
    EXPECT_EQ(joined, glib_text(g_build_filename(dir, "x.mq", nullptr))) << dir;
    EXPECT_EQ(path_dir_name(joined), glib_text(g_path_get_dirname(joined.c_str()))) << joined;
    EXPECT_EQ(path_base_name(joined), glib_text(g_path_get_basename(joined.c_str()))) << joined;
  }
  for (const char* path : {"x.mq", "/x.mq", "//x.mq", "a//x.mq", "a/b/modquery/x.mq", "a/b"}) {
    EXPECT_EQ(path_dir_name(path), glib_text(g_path_get_dirname(path))) << path;
    EXPECT_EQ(path_base_name(path), glib_text(g_path_get_basename(path))) << path;
  }
}

}  // namespace
