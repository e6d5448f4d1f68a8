// A module's variables. A module defines a handful, so a list searched in
// order costs less than a hash table, in time and in memory; a module with
// many gets an index, so that no file makes definitions cost quadratic time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "query/record_text.h"

class VariableList {
 public:
  // A name and its value, both kept by the list.
  using Entry = std::pair<Text, Text>;
  using const_iterator = std::vector<Entry>::const_iterator;

  VariableList() = default;
  VariableList(std::initializer_list<std::pair<std::string_view, std::string_view>> entries);

  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  size_t size() const { return entries_.size(); }

  const_iterator find(std::string_view name) const {
    const size_t i = position(name);
    return i < entries_.size() ? entries_.begin() + static_cast<ptrdiff_t>(i) : entries_.end();
  }
  size_t count(std::string_view name) const { return position(name) < entries_.size(); }
  // Adds the variable unless it is defined already; true when added.
  bool emplace(std::string_view name, std::string_view value);
  // Adds a variable the caller knows is not defined yet.
  void add_new(std::string_view name, std::string_view value);
  // Gives the variable this value, adding it when it is not defined.
  void assign(std::string_view name, std::string_view value);

 private:
  // Lists up to this long are searched in order.
  static constexpr size_t kUnindexed = 16;
  // The entry's position, or size() when there is none.
  size_t position(std::string_view name) const;
  void add_to_index(size_t i);

  TextStore texts_;
  std::vector<Entry> entries_;
  std::vector<uint32_t> slots_;  // position + 1 of an entry; 0 is empty
};
