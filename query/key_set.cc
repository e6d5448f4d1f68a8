#include "query/key_set.h"

#include "query/query.h"

void KeySet::reserve(size_t count) {
  while (slots_.size() < count * 2) grow();
}

void KeySet::grow() {
  std::vector<std::string_view> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, std::string_view());
  size_ = 0;
  for (std::string_view key : old)
    if (key.data() != nullptr) insert(key);
}

bool KeySet::insert(std::string_view key) {
  if ((size_ + 1) * 2 > slots_.size()) grow();
  // An empty key is a key too: a free slot is told by its null data.
  if (key.data() == nullptr) key = std::string_view("", 0);
  const size_t mask = slots_.size() - 1;
  size_t i = TextHash{}(key)&mask;
  for (; slots_[i].data() != nullptr; i = (i + 1) & mask)
    if (slots_[i] == key) return false;
  slots_[i] = key;
  ++size_;
  return true;
}
