// A table keyed by text views that outlive it (records' keys): one flat
// open-addressing array, no node per entry. A query looks a module up once
// per requirement naming it and once for its "-uninstalled" form, and a
// requirement walk tests every edge, so these lookups are many.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "query/text_hash.h"

template <typename T>
class ViewTable {
 public:
  // The value stored under `key`, or null.
  const T* find(std::string_view key) const {
    if (slots_.empty()) return nullptr;
    const Slot& slot = slots_[position(key)];
    return slot.used ? &slot.value : nullptr;
  }
  // Stores `value` under `key` unless a value is stored there; true when stored.
  bool insert(std::string_view key, T value) {
    reserve(size_ + 1);
    Slot& slot = slots_[position(key)];
    if (slot.used) return false;
    slot = {key, std::move(value), true};
    ++size_;
    return true;
  }
  // Stores `value` under `key`, in place of what was stored there, which it
  // returns (T{} when nothing was); the key is viewed through `key` from now on.
  T assign(std::string_view key, T value) {
    reserve(size_ + 1);
    Slot& slot = slots_[position(key)];
    if (!slot.used) ++size_;
    T previous = std::exchange(slot.value, std::move(value));
    slot.key = key;
    slot.used = true;
    return previous;
  }
  size_t size() const { return size_; }
  // Room for `count` entries without growing.
  void reserve(size_t count) {
    if (count * 2 <= slots_.size()) return;
    size_t capacity = slots_.empty() ? 64 : slots_.size();
    while (capacity < count * 2) capacity *= 2;
    std::vector<Slot> old(capacity);
    old.swap(slots_);
    for (Slot& slot : old)
      if (slot.used) slots_[position(slot.key)] = std::move(slot);
  }
  // Calls f(key, value) for every entry, in no particular order.
  template <typename F>
  void for_each(F f) const {
    for (const Slot& slot : slots_)
      if (slot.used) f(slot.key, slot.value);
  }

 private:
  struct Slot {
    std::string_view key;
    T value{};
    bool used = false;
  };
  // The slot holding `key`, or the free slot where it would go.
  size_t position(std::string_view key) const {
    const size_t mask = slots_.size() - 1;
    size_t i = TextHash{}(key)&mask;
    while (slots_[i].used && !same_text(slots_[i].key, key)) i = (i + 1) & mask;
    return i;
  }

  std::vector<Slot> slots_;  // a power of two, at most half full
  size_t size_ = 0;
};
