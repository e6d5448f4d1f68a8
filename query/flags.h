// Merged, ordered, de-duplicated flags of modules and their requirements.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "query/query.h"

// The keys a requirement walk has entered. Walks test every edge of the
// graph, so keys are told by their numbers, not by hashing their names.
class VisitedSet {
 public:
  // True when `record`'s key had not been entered; it is entered now.
  bool enter(PackageRecord* record) {
    if (record->key_number == 0 || (size_ + 1) * 2 > slots_.size()) prepare(record);
    const uint32_t number = record->key_number;
    const size_t mask = slots_.size() - 1;
    size_t i = first_slot(number, mask);
    for (; slots_[i] != 0; i = (i + 1) & mask)
      if (slots_[i] == number) return false;
    slots_[i] = number;
    ++size_;
    return true;
  }
  // Room for `count` keys without growing.
  void reserve(size_t count);

 private:
  // Multiplied by the golden ratio, any pattern in the numbers a walk
  // enters is spread over the slots.
  static size_t first_slot(uint32_t number, size_t mask) {
    return static_cast<size_t>((uint64_t{number} * 0x9E3779B97F4A7C15ull) >> 32) & mask;
  }
  // Numbers the record and makes room for one more key.
  void prepare(PackageRecord* record);

  std::vector<uint32_t> slots_;  // key numbers, a power of two, at most half full; 0 is free
  size_t size_ = 0;
};
// Modules in the order a walk finished them: the walk order reversed.
using ModuleSequence = std::vector<PackageRecord*>;

// The walks one query has made, by whether private requirements were followed.
struct WalkCache {
  std::optional<std::vector<PackageRecord*>> walks[2];
};

std::string assemble_flags(const std::vector<PackageRecord*>& modules, uint8_t mask);
std::string collect_class_flags(const std::vector<PackageRecord*>& modules, uint8_t mask, bool sort,
                                bool follow_private, WalkCache* cache = nullptr);
void walk_requirement_chain(PackageRecord* record, bool follow_private, VisitedSet* visited,
                            ModuleSequence* sequence);
std::string flag_list_to_string(const std::vector<const FlagItem*>& flags);
std::string join_variable_values(const std::vector<PackageRecord*>& modules,
                                 const std::string& name);
