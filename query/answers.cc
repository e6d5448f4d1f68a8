#include "query/answers.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_set>

#include "query/flags.h"
#include "query/requirements.h"
#include "query/settings.h"

namespace {

// One line of --print-requires(-private): the module required, with the
// entry's own constraint. A module found through the uninstalled preference
// has another key, and is printed without one.
void print_requirement_line(const VersionRequirement& req, const PackageRecord& dep) {
  if (req.name == dep.module_key && req.comparison != VersionOp::Any)
    printf("%s %s %s\n", dep.module_key.c_str(), comparison_to_str(req.comparison),
           req.bound ? req.bound->c_str() : "(null)");
  else
    printf("%s\n", dep.module_key.c_str());
}

}  // namespace

bool tree_has_uninstalled(const PackageRecord* record) {
  // Requirement graphs may have cycles: enter each record once.
  std::unordered_set<const PackageRecord*> seen{record};
  std::vector<const PackageRecord*> pending{record};
  while (!pending.empty()) {
    const PackageRecord* r = pending.back();
    pending.pop_back();
    if (r->from_uninstalled_file) return true;
    for (const PackageRecord* dep : r->public_deps)
      if (seen.insert(dep).second) pending.push_back(dep);
  }
  return false;
}

int answer_query(const std::vector<PackageRecord*>& resolved) {
  const QuerySettings& q = query_settings;
  if (q.exists_query || q.validate_query) return 0;

  if (q.print_variables) {
    bool first = true;
    for (const PackageRecord* r : resolved) {
      if (!first) fputs("\n", stdout);
      first = false;
      std::vector<Text> names;
      names.reserve(r->variables.size());
      for (const auto& [name, value] : r->variables) names.push_back(name);
      std::sort(names.begin(), names.end(),
                [](const Text& a, const Text& b) { return a.view() < b.view(); });
      for (const Text& name : names) printf("%s\n", name.c_str());
    }
  }

  if (q.uninstalled_query) {
    for (const PackageRecord* r : resolved)
      if (tree_has_uninstalled(r)) return 0;
    return 1;
  }

  if (q.modversion_query)
    for (const PackageRecord* r : resolved)
      printf("%s\n", r->version_text ? r->version_text->c_str() : "(null)");

  if (q.print_provides) {
    for (const PackageRecord* r : resolved) {
      const size_t start = r->module_key.find_first_not_of('/');
      if (start == std::string::npos) continue;
      printf("%s = %s\n", r->module_key.c_str() + start,
             r->version_text ? r->version_text->c_str() : "(null)");
    }
  }

  if (q.print_requires)
    for (const PackageRecord* r : resolved)
      for (size_t i = 0; i < r->public_deps.size(); ++i)
        print_requirement_line(r->public_requirements[i], *r->public_deps[i]);

  if (q.print_requires_private) {
    for (const PackageRecord* r : resolved) {
      // all_deps begins with the private requirements' modules, in order.
      for (size_t i = 0; i < r->private_requirements.size() && i < r->all_deps.size(); ++i) {
        const PackageRecord* dep = r->all_deps[i];
        if (std::find(r->public_deps.begin(), r->public_deps.end(), dep) != r->public_deps.end())
          continue;
        print_requirement_line(r->private_requirements[i], *dep);
      }
    }
  }

  if (q.variable_query) {
    printf("%s\n", join_variable_values(resolved, *q.variable_query).c_str());
    return 0;
  }

  if (q.flag_mask) {
    printf("%s\n", assemble_flags(resolved, q.flag_mask).c_str());
    return 0;
  }
  return 0;
}
