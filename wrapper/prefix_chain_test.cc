#include "wrapper/prefix_chain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/common/scratch_dir.h"

// Prefix chains live for the whole process and are never freed.
extern "C" const char* __asan_default_options() {
  return "detect_leaks=0";
}

namespace {

std::vector<std::string> entries(const PrefixChain& chain) {
  std::vector<std::string> out;
  for (const PrefixEntry* e = chain.first; e; e = e->next) out.push_back(e->prefix);
  return out;
}

using V = std::vector<std::string>;

TEST(PrefixChain, AddStringSplitsAtColons) {
  struct Case {
    const char* text;
    V expected;
  } cases[] = {
      {"a::b:", {"a/", "./", "b/", "./"}}, {"", {"./"}}, {"/", {"/"}}, {"/x/:y", {"/x/", "y/"}}};
  for (const Case& c : cases) {
    PrefixChain chain;
    prefix_chain_add_string(c.text, &chain);
    EXPECT_EQ(entries(chain), c.expected) << c.text;
  }
}

TEST(PrefixChain, FrontBackAndLongest) {
  PrefixChain a, b;
  prefix_chain_prepend(&a, "one/");
  prefix_chain_append(&b, "one/");
  EXPECT_EQ(entries(a), entries(b));
  prefix_chain_append(&a, "three/");
  prefix_chain_prepend(&a, "zero-zero/");
  EXPECT_EQ(entries(a), (V{"zero-zero/", "one/", "three/"}));
  EXPECT_EQ(a.longest, 10);
}

TEST(PrefixChain, AddEnvDistinguishesUnsetFromEmpty) {
  PrefixChain chain;
  unsetenv("PREFIX_TEST_VAR");
  prefix_chain_add_env("PREFIX_TEST_VAR", &chain);
  EXPECT_EQ(entries(chain), V{});
  setenv("PREFIX_TEST_VAR", "", 1);
  prefix_chain_add_env("PREFIX_TEST_VAR", &chain);
  EXPECT_EQ(entries(chain), V{"./"});
}

class Locate : public testing::Test {
 protected:
  ScratchDir scratch;
  const std::string& dir = scratch.path;
  void SetUp() override {
    mkdir((dir + "/a").c_str(), 0755);
    mkdir((dir + "/a/tool").c_str(), 0755);  // a directory named like the tool
    mkdir((dir + "/b").c_str(), 0755);
    for (const char* f : {"/b/tool", "/xtool"}) {
      FILE* file = fopen((dir + f).c_str(), "w");
      fclose(file);
      chmod((dir + f).c_str(), 0755);
    }
  }
  std::string locate(const PrefixChain& chain, const std::string& name, int mode) {
    char* found = locate_on_prefixes(&chain, name.c_str(), mode);
    std::string result = found ? found : "(null)";
    free(found);
    return result;
  }
};

TEST_F(Locate, SkipsDirectoriesAndConcatenatesPlainly) {
  PrefixChain chain;
  prefix_chain_append(&chain, (dir + "/a/").c_str());
  prefix_chain_append(&chain, (dir + "/b/").c_str());
  EXPECT_EQ(locate(chain, "tool", X_OK), dir + "/b/tool");
  EXPECT_EQ(locate(chain, "missing", R_OK), "(null)");
  PrefixChain bare;
  prefix_chain_append(&bare, (dir + "/x").c_str());
  EXPECT_EQ(locate(bare, "tool", X_OK), dir + "/xtool");
}

TEST_F(Locate, AbsoluteNamesBypassTheChain) {
  PrefixChain empty;
  EXPECT_EQ(locate(empty, dir + "/a/tool", R_OK), dir + "/a/tool");  // even a directory
  EXPECT_EQ(locate(empty, "tool", R_OK), "(null)");
}

TEST(LocateTrace, MessagesForAnEmptyChain) {
  set_prefix_search_trace(true);
  PrefixChain empty;
  testing::internal::CaptureStderr();
  EXPECT_EQ(locate_on_prefixes(&empty, "ar", X_OK), nullptr);
  EXPECT_EQ(locate_on_prefixes(&empty, "/no/such/ar", X_OK), nullptr);
  prefix_chain_add_string("p:", &empty);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Looking for 'ar'\n"
            "  - failed: no entries in prefix list\n"
            "Looking for '/no/such/ar'\n"
            "  - failed to locate using absolute path\n"
            "  - failed: no entries in prefix list\n"
            "Convert string 'p:' into prefixes, separator = ':'\n"
            "  - add prefix: p/\n"
            "  - add prefix: ./\n");
  set_prefix_search_trace(false);
}

}  // namespace
