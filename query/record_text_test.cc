#include "query/record_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// Kept texts never move: many small ones, one larger than any chunk, and
// an empty one, all still readable (and NUL-terminated) at the end, also
// after the store itself has moved.
TEST(TextStore, KeptTextsStayPut) {
  TextStore store;
  store.reserve(10);
  std::vector<std::string> originals;
  std::vector<Text> kept;
  for (int i = 0; i < 2000; ++i) {
    std::string text = "text ";
    text += std::to_string(i);
    if (i == 1000) text.assign(200000, 'x');
    if (i == 1500) text.clear();
    originals.push_back(text);
    kept.push_back(store.keep(text));
  }
  TextStore moved = std::move(store);
  for (size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(kept[i].view(), originals[i]);
    EXPECT_EQ(kept[i].c_str()[kept[i].size()], '\0');
  }
}

// A text written in place: room for the longest it may be, finished at the
// length written.
TEST(TextStore, TextWrittenInPlace) {
  TextStore store;
  char* room = store.room(8);
  memcpy(room, "abc", 3);
  const Text written = store.finish(room, 3);
  const Text next = store.keep("d");
  EXPECT_EQ(written, "abc");
  EXPECT_EQ(next, "d");
  EXPECT_STREQ(written.c_str(), "abc");
}

}  // namespace
