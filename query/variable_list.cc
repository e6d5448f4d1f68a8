#include "query/variable_list.h"

#include "query/query.h"
#include "query/text_hash.h"

VariableList::VariableList(
    std::initializer_list<std::pair<std::string_view, std::string_view>> entries) {
  for (const auto& [name, value] : entries) emplace(name, value);
}

size_t VariableList::position(std::string_view name) const {
  if (slots_.empty()) {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (same_text(entries_[i].first, name)) return i;
    return entries_.size();
  }
  const size_t mask = slots_.size() - 1;
  for (size_t s = TextHash{}(name)&mask; slots_[s] != 0; s = (s + 1) & mask)
    if (same_text(entries_[slots_[s] - 1].first, name)) return slots_[s] - 1;
  return entries_.size();
}

void VariableList::add_to_index(size_t i) {
  if (slots_.size() < entries_.size() * 2) {
    // Grown (or first built) with room to spare: every entry placed again.
    slots_.assign(slots_.empty() ? 64 : slots_.size() * 2, 0);
    for (size_t j = 0; j < i; ++j) add_to_index(j);
  }
  const size_t mask = slots_.size() - 1;
  size_t s = TextHash{}(entries_[i].first) & mask;
  while (slots_[s] != 0) s = (s + 1) & mask;
  slots_[s] = static_cast<uint32_t>(i + 1);
}

bool VariableList::emplace(std::string_view name, std::string_view value) {
  if (position(name) < entries_.size()) return false;
  add_new(name, value);
  return true;
}

void VariableList::add_new(std::string_view name, std::string_view value) {
  if (entries_.empty()) entries_.reserve(4);
  const Text kept_name = texts_.keep(name);
  entries_.emplace_back(kept_name, texts_.keep(value));
  if (entries_.size() > kUnindexed) add_to_index(entries_.size() - 1);
}

void VariableList::assign(std::string_view name, std::string_view value) {
  const size_t i = position(name);
  if (i < entries_.size())
    entries_[i].second = texts_.keep(value);
  else
    add_new(name, value);
}
