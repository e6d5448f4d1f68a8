#include "hdrpatch/response_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> to_list(ArgVector v) {
  std::vector<std::string> out;
  for (int i = 0; v && v[i]; ++i) out.push_back(v[i]);
  return out;
}

std::vector<std::string> split(const char* text) {
  ArgVector v = split_into_arguments(text);
  std::vector<std::string> out = to_list(v);
  free_argument_vector(v);
  return out;
}

}  // namespace

TEST(SplitIntoArguments, QuotesAndEscapes) {
  using V = std::vector<std::string>;
  struct Case {
    const char* text;
    V expected;
  } cases[] = {
      {"'a b' \"c d\" e\\ f", {"a b", "c d", "e f"}},
      {"it's", {"its"}},
      {"\"it's\"", {"it's"}},
      {"a\"b\"'c'", {"abc"}},
      {"\"\"", {""}},
      {"\\\" x", {"\"", "x"}},
      {"", {""}},
      {" \t\n", {""}},
      {"  a  b  ", {"a", "b"}},
      {"end\\", {"end"}},
      {"'unclosed rest", {"unclosed rest"}},
      {"\"a\\\"b\"", {"a\"b"}},
      {"x\xa0y", {"x\xa0y"}},
  };
  for (const Case& c : cases) EXPECT_EQ(split(c.text), c.expected) << c.text;
  EXPECT_EQ(split_into_arguments(nullptr), nullptr);
}

TEST(ArgumentVectors, CopyCountFree) {
  const char* const original[] = {"a", "b", nullptr};
  EXPECT_EQ(count_arguments(original), 2);
  EXPECT_EQ(count_arguments(nullptr), 0);
  ArgVector copy = copy_argument_vector(original);
  EXPECT_EQ(to_list(copy), (std::vector<std::string>{"a", "b"}));
  EXPECT_NE(copy[0], original[0]);
  free_argument_vector(copy);
  EXPECT_EQ(copy_argument_vector(nullptr), nullptr);
  free_argument_vector(nullptr);
}

TEST(WriteArgumentVector, FormatAndRoundTrip) {
  const char* const args[] = {"a b", "", "x\"y", "tab\there", "back\\slash", "it's", "\n", nullptr};
  char* text = nullptr;
  size_t size = 0;
  FILE* stream = open_memstream(&text, &size);
  ASSERT_EQ(write_argument_vector(args, stream), 0);
  fclose(stream);
  EXPECT_EQ(std::string(text).substr(0, 13), "a\\ b\n\"\"\nx\\\"y\n");
  EXPECT_EQ(split(text), (std::vector<std::string>{"a b", "", "x\"y", "tab\there", "back\\slash",
                                                   "it's", "\n"}));
  free(text);
  EXPECT_EQ(write_argument_vector(args, nullptr), 1);
}
