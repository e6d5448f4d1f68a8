#include "query/flags.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "query/settings.h"
#include "query/variables.h"

namespace {

const std::vector<PackageRecord*>& deps_of(const PackageRecord* r, bool follow_private) {
  return follow_private ? r->all_deps : r->public_deps;
}

template <typename Seq>
void trace_sequence(const char* label, const Seq& sequence) {
  if (!diagnostic_switches.debug_enabled) return;
  debug_spew(" %s:", label);
  for (const PackageRecord* r : sequence) debug_spew(" %s", r->module_key.c_str());
  debug_spew("\n");
}

}  // namespace

void VisitedSet::prepare(PackageRecord* record) {
  // A record that never reached the table gets a number of its own.
  if (record->key_number == 0) record->key_number = ++package_key_count;
  reserve(size_ + 1);
}

void VisitedSet::reserve(size_t count) {
  if (count * 2 <= slots_.size()) return;
  size_t capacity = slots_.empty() ? 64 : slots_.size();
  while (capacity < count * 2) capacity *= 2;
  std::vector<uint32_t> old(capacity);
  old.swap(slots_);
  size_ = 0;
  const size_t mask = slots_.size() - 1;
  for (uint32_t number : old) {
    if (number == 0) continue;
    size_t i = first_slot(number, mask);
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = number;
    ++size_;
  }
}

void walk_requirement_chain(PackageRecord* record, bool follow_private, VisitedSet* visited,
                            ModuleSequence* sequence) {
  auto enter = [visited](PackageRecord* r) {
    if (visited->enter(r)) return true;
    debug_spew("Package %s already in requires chain, skipping\n", r->module_key.c_str());
    return false;
  };
  if (!enter(record)) return;
  // An explicit stack: requirement chains may be thousands of modules deep.
  struct Frame {
    PackageRecord* record;
    size_t remaining;  // requirements still to walk, taken from the last
  };
  std::vector<Frame> stack{{record, deps_of(record, follow_private).size()}};
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.remaining == 0) {
      sequence->push_back(top.record);
      stack.pop_back();
      continue;
    }
    PackageRecord* child = deps_of(top.record, follow_private)[--top.remaining];
    if (enter(child)) stack.push_back({child, deps_of(child, follow_private).size()});
  }
}

std::string flag_list_to_string(const std::vector<const FlagItem*>& flags) {
  const std::optional<std::string>& sysroot = query_settings.sysroot_dir;
  size_t length = 0;
  for (const FlagItem* item : flags) length += item->text.size() + 1;
  std::string out;
  if (!sysroot) {
    // Each flag as it stands and a space: the line is sized once and filled.
    out.resize(length);
    char* to = out.data();
    for (const FlagItem* item : flags) {
      memcpy(to, item->text.data(), item->text.size());
      to += item->text.size();
      *to++ = ' ';
    }
    return out;
  }
  out.reserve(length + flags.size() * sysroot->size());
  for (const FlagItem* item : flags) {
    const std::string_view t = item->text;
    if (sysroot && item->flag_class == LIBS_L) {
      out.append("-").append(t.substr(1, 1)).append(*sysroot);
      out.append(t.substr(std::min<size_t>(2, t.size())));
    } else if (sysroot && item->flag_class == CFLAGS_I && t.substr(0, 2) == "-I") {
      out.append("-").append(t.substr(1, 1)).append(*sysroot).append(t.substr(2));
    } else if (sysroot && item->flag_class == CFLAGS_I) {
      // An option-and-directory pair; with an empty directory there is nothing
      // to relocate, and prefixing would invent one, so it stays as written.
      const size_t space = t.find(' ');
      if (space == std::string_view::npos || space + 1 == t.size())
        out.append(t);
      else
        out.append(t.substr(0, space + 1)).append(*sysroot).append(t.substr(space + 1));
    } else {
      out.append(t);
    }
    out.push_back(' ');
  }
  return out;
}

std::vector<PackageRecord*> modules_in_walk_order(const std::vector<PackageRecord*>& modules,
                                                  bool follow_private) {
  VisitedSet visited;
  visited.reserve(package_table ? package_table->size() : 0);
  ModuleSequence walked;
  walked.reserve(package_table ? package_table->size() : 0);
  for (auto it = modules.rbegin(); it != modules.rend(); ++it)
    walk_requirement_chain(*it, follow_private, &visited, &walked);
  std::reverse(walked.begin(), walked.end());
  trace_sequence("post-recurse", walked);
  return walked;
}

std::string collect_class_flags(const std::vector<PackageRecord*>& modules, uint8_t mask, bool sort,
                                bool follow_private, WalkCache* cache) {
  // Every class walks the same requirement graph; without tracing, a walk
  // already made for the same kind of requirements gives the same order.
  std::vector<PackageRecord*> sequence;
  std::optional<std::vector<PackageRecord*>>* cached =
      cache && !diagnostic_switches.debug_enabled ? &cache->walks[follow_private] : nullptr;
  if (cached && *cached) {
    sequence = **cached;
  } else {
    sequence = modules_in_walk_order(modules, follow_private);
    if (cached) *cached = sequence;
  }
  if (sort) {
    trace_sequence("original", sequence);
    std::stable_sort(sequence.begin(), sequence.end(),
                     [](const PackageRecord* a, const PackageRecord* b) {
                       return compare_search_rank(a, b) < 0;
                     });
    trace_sequence("  sorted", sequence);
  }
  const bool link = (mask & LIBS_ANY) != 0;
  std::vector<const FlagItem*> flags;
  for (const PackageRecord* r : sequence)
    for (const FlagItem& item : link ? r->link_flags : r->compile_flags)
      if (item.flag_class & mask) flags.push_back(&item);
  // Only neighbours are compared: a run of equal flags shrinks to its first.
  size_t kept = 0;
  for (size_t i = 0; i < flags.size(); ++i) {
    if (kept > 0 && flags[kept - 1]->flag_class == flags[i]->flag_class &&
        flags[kept - 1]->text == flags[i]->text) {
      debug_spew(" removing duplicate \"%s\"\n", flags[i]->text.c_str());
      continue;
    }
    flags[kept++] = flags[i];
  }
  flags.resize(kept);
  return flag_list_to_string(flags);
}

std::string assemble_flags(const std::vector<PackageRecord*>& modules, uint8_t mask) {
  const bool static_linking = query_settings.static_linking;
  WalkCache walks;
  std::string result;
  if (mask & CFLAGS_OTHER) {
    std::string text = collect_class_flags(modules, CFLAGS_OTHER, false, true, &walks);
    debug_spew("adding CFLAGS_OTHER string \"%s\"\n", text.c_str());
    result += text;
  }
  if (mask & CFLAGS_I) {
    std::string text = collect_class_flags(modules, CFLAGS_I, true, true, &walks);
    debug_spew("adding CFLAGS_I string \"%s\"\n", text.c_str());
    result += text;
  }
  if (mask & LIBS_L) {
    std::string text = collect_class_flags(modules, LIBS_L, true, static_linking, &walks);
    debug_spew("adding LIBS_L string \"%s\"\n", text.c_str());
    result += text;
  }
  if (mask & (LIBS_OTHER | LIBS_l)) {
    std::string text =
        collect_class_flags(modules, mask & (LIBS_OTHER | LIBS_l), false, static_linking, &walks);
    debug_spew("adding LIBS_OTHER | LIBS_l string \"%s\"\n", text.c_str());
    result += text;
  }
  if (!result.empty() && result.back() == ' ') result.pop_back();
  debug_spew("returning flags string \"%s\"\n", result.c_str());
  return result;
}

std::string join_variable_values(const std::vector<PackageRecord*>& modules,
                                 const std::string& name) {
  std::string out;
  for (const PackageRecord* r : modules) {
    std::optional<std::string> value = variable_for_output(*r, name);
    if (!value) continue;
    if (!out.empty()) out.push_back(' ');
    out += *value;
  }
  return out;
}
