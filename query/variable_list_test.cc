#include "query/variable_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string name_of(int i) {
  std::string name = "v";
  name += std::to_string(i);
  return name;
}

// The same answers from a short list searched in order and from a long one
// searched through its index, which is rebuilt as the list grows.
TEST(VariableList, AnswersAlikeShortAndLong) {
  for (int count : {3, 16, 17, 40, 1000}) {
    VariableList list;
    for (int i = 0; i < count; ++i)
      EXPECT_TRUE(list.emplace(name_of(i), std::to_string(i * 7))) << count;
    ASSERT_EQ(list.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      auto it = list.find(name_of(i));
      ASSERT_NE(it, list.end()) << count << " " << i;
      EXPECT_EQ(it->second, std::to_string(i * 7));
      // A second definition is refused and keeps the first value.
      EXPECT_FALSE(list.emplace(name_of(i), "other"));
    }
    EXPECT_EQ(list.count("v"), 0u);
    EXPECT_EQ(list.count(name_of(count)), 0u);
    EXPECT_EQ(list.find("v0")->second, "0");
    // In the order of definition.
    int expected = 0;
    for (const auto& [name, value] : list) EXPECT_EQ(name, name_of(expected++));
  }
}

TEST(VariableList, AssigningAddsAndReplaces) {
  VariableList list{{"prefix", "/usr"}, {"libdir", "${prefix}/lib"}};
  list.assign("prefix", "/opt");
  EXPECT_EQ(list.find("prefix")->second, "/opt");
  list.assign("absent", "");
  EXPECT_EQ(list.find("absent")->second, "");
  EXPECT_EQ(list.size(), 3u);
  EXPECT_EQ(list.count("absent"), 1u);
  // Names differ by a byte only at their end or in length.
  EXPECT_TRUE(list.emplace("prefix2", "x"));
  EXPECT_TRUE(list.emplace("prefi", "y"));
  EXPECT_EQ(list.find("prefix")->second, "/opt");
  EXPECT_EQ(list.find("prefi")->second, "y");
}

}  // namespace
