#include "query/view_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ViewTable, FindsWhatWasStoredAcrossGrowth) {
  std::vector<std::string> keys;
  for (int i = 0; i < 1000; ++i) {
    std::string key = "m";
    key += std::to_string(i);
    keys.push_back(key);
  }
  keys.push_back("");  // the empty key is a key like any other
  ViewTable<int> table;
  EXPECT_EQ(table.find("m0"), nullptr);
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_TRUE(table.insert(keys[i], static_cast<int>(i)));
  ASSERT_EQ(table.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    const int* found = table.find(keys[i]);
    ASSERT_NE(found, nullptr) << keys[i];
    EXPECT_EQ(*found, static_cast<int>(i));
    EXPECT_FALSE(table.insert(keys[i], -1));  // kept, not replaced
  }
  EXPECT_EQ(table.find("m1000"), nullptr);
  size_t visited = 0;
  table.for_each([&](std::string_view key, int value) {
    EXPECT_EQ(key, keys[static_cast<size_t>(value)]);
    ++visited;
  });
  EXPECT_EQ(visited, keys.size());
}

TEST(ViewTable, AssignReplacesAndViewsTheNewKey) {
  const std::string first = "zlib", second = "zlib";
  ViewTable<int> table;
  table.assign(first, 1);
  table.assign(second, 2);
  EXPECT_EQ(table.size(), 1u);
  EXPECT_EQ(*table.find("zlib"), 2);
  table.for_each([&](std::string_view key, int) { EXPECT_EQ(key.data(), second.data()); });
}

}  // namespace

namespace {

// Every length up to past the word sizes, with one byte changed at every
// position in turn: only the unchanged copy is the same text.
TEST(SameText, OneChangedByteAnywhere) {
  for (size_t n = 0; n <= 20; ++n) {
    const std::string text(n, 'a');
    EXPECT_TRUE(same_text(text, std::string(n, 'a'))) << n;
    EXPECT_FALSE(same_text(text, std::string(n + 1, 'a'))) << n;
    for (size_t i = 0; i < n; ++i) {
      std::string other = text;
      other[i] = 'b';
      EXPECT_FALSE(same_text(text, other)) << n << " " << i;
    }
  }
}

}  // namespace
