// The module keys a requirement walk has visited. A walk tests every edge
// of the requirement graph, so the set is flat: keys are views (of records'
// keys, which outlive the walk) in one open-addressing table, and a test
// allocates nothing.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

class KeySet {
 public:
  // Room for `count` keys without growing.
  void reserve(size_t count);
  // Adds the key; false when it was in the set already.
  bool insert(std::string_view key);
  size_t size() const { return size_; }

 private:
  void grow();

  std::vector<std::string_view> slots_;  // an empty view (data null) is a free slot
  size_t size_ = 0;
};
