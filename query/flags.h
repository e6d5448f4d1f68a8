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
  bool enter(PackageRecord* record);
  // Room for `count` keys without growing.
  void reserve(size_t count);

 private:
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
