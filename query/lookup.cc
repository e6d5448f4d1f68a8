#include "query/lookup.h"

#include <glib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "query/descriptor_batch.h"
#include "query/flags.h"
#include "query/listing.h"
#include "query/module_dirs.h"
#include "query/module_file.h"
#include "query/requirements.h"
#include "query/settings.h"
#include "support/paths.h"

namespace {

bool ends_with(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Pieces of a colon-separated list: an empty text has none, empty pieces stay.
template <typename F>
void for_each_piece(const char* text, char separator, F f) {
  if (*text == '\0') return;
  for_each_list_piece(text, separator, [&f](std::string_view piece) { f(std::string(piece)); });
}

// A record met through a requirement cycle may not be verified yet.
Text version_of(const PackageRecord* r) {
  return r->version_text.value_or(Text());
}

PackageRecord* find_in_table(std::string_view key) {
  PackageRecord* const* found = package_table->find(key);
  return found ? *found : nullptr;
}

void store_in_table(PackageRecord* record) {
  // A later file with the same key replaces the earlier record in the
  // table, and shares its key's number.
  const PackageRecord* earlier = package_table->assign(record->module_key, record);
  record->key_number = earlier ? earlier->key_number : ++package_key_count;
}

// The checks below report a failure and return false; each such failure
// ends the run, which the driver does once the loader has returned.

// A requirement must have found a module.
bool require_found(const PackageRecord* record, const VersionRequirement& req,
                   const PackageRecord* dep) {
  if (dep != nullptr) return true;
  verbose_error("Package '%s', required by '%s', not found\n", req.name.c_str(),
                record->module_key.c_str());
  return false;
}

bool verify_fields(const PackageRecord& r) {
  const char* key = r.module_key.c_str();
  const char* missing = !r.display_name   ? "Name"
                        : !r.version_text ? "Version"
                        : !r.summary      ? "Description"
                                          : nullptr;
  if (missing == nullptr) return true;
  verbose_error("Package '%s' has no %s: field\n", key, missing);
  return false;
}

// Tests one requirement entry against the module it resolved to. A module
// found through the uninstalled preference has another key and is not tested.
bool check_entry_version(const PackageRecord& r, const VersionRequirement& req,
                         const PackageRecord* dep) {
  if (dep->module_key != req.name) return true;
  if (version_test(req.comparison, version_of(dep), req.bound)) return true;
  verbose_error("Package '%s' requires '%s %s %s' but version of %s is %s\n", r.module_key.c_str(),
                dep->module_key.c_str(), comparison_to_str(req.comparison),
                req.bound ? req.bound->c_str() : "(null)", dep->module_key.c_str(),
                version_of(dep).c_str());
  if (dep->home_url)
    verbose_error("You may find new versions of %s at %s\n",
                  dep->display_name ? dep->display_name->c_str() : dep->module_key.c_str(),
                  dep->home_url->c_str());
  return false;
}

// Every entry carries its own constraint, so a range written as two entries
// for one name is tested whole: private entries first, then public ones, as
// all_deps holds them.
bool check_version_constraints(const PackageRecord& r) {
  for (size_t i = 0; i < r.private_requirements.size(); ++i)
    if (!check_entry_version(r, r.private_requirements[i], r.all_deps[i])) return false;
  for (size_t i = 0; i < r.public_requirements.size(); ++i)
    if (!check_entry_version(r, r.public_requirements[i], r.public_deps[i])) return false;
  return true;
}

bool check_conflicts(PackageRecord* r) {
  if (r->conflicts_with.empty()) return true;
  VisitedSet visited;
  ModuleSequence chain;
  walk_requirement_chain(r, true, &visited, &chain);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const PackageRecord* m = *it;
    for (const VersionRequirement& c : r->conflicts_with) {
      if (c.name != m->module_key || !version_test(c.comparison, version_of(m), c.bound)) continue;
      verbose_error("Version %s of %s creates a conflict.\n(%s %s %s conflicts with %s %s)\n",
                    version_of(m).c_str(), m->module_key.c_str(), c.name.c_str(),
                    comparison_to_str(c.comparison), c.bound ? c.bound->c_str() : "(any)",
                    r->module_key.c_str(), version_of(r).c_str());
      return false;
    }
  }
  return true;
}

// The system directories and switches, read from the environment once per run.
struct SystemDirs {
  std::vector<std::string> include_dirs, library_dirs;
  bool allow_cflags, allow_libs;
};

const SystemDirs& system_dirs() {
  static const SystemDirs dirs = [] {
    SystemDirs d;
    const char* include = getenv("MOD_QUERY_SYSTEM_INCLUDE_PATH");
    d.include_dirs = split_dir_list({}, include ? include : query_settings.system_include_path);
    for (const char* var : {"CPATH", "C_INCLUDE_PATH", "CPP_INCLUDE_PATH"})
      if (const char* value = getenv(var))
        d.include_dirs = split_dir_list(std::move(d.include_dirs), value);
    const char* library = getenv("MOD_QUERY_SYSTEM_LIBRARY_PATH");
    d.library_dirs = split_dir_list({}, library ? library : query_settings.system_library_path);
    d.allow_cflags = getenv("MOD_QUERY_ALLOW_SYSTEM_CFLAGS") != nullptr;
    d.allow_libs = getenv("MOD_QUERY_ALLOW_SYSTEM_LIBS") != nullptr;
    return d;
  }();
  return dirs;
}

// Drops the flags that name a system directory (unless allowed), keeping the
// order of the others. `directory_of` gives the directory a flag names, or
// nothing for a flag that is not checked; `report` traces each match and
// says whether the flag goes.
template <typename DirectoryOf, typename Report>
void remove_system_flags(std::vector<FlagItem>* flags, const std::vector<std::string>& dirs,
                         DirectoryOf directory_of, Report report) {
  size_t kept = 0;
  for (size_t i = 0; i < flags->size(); ++i) {
    FlagItem& item = (*flags)[i];
    bool remove = false;
    if (const std::optional<std::string_view> dir = directory_of(item)) {
      for (const std::string& system_dir : dirs) {
        if (system_dir != *dir) continue;
        remove = report(item, system_dir);
        if (remove) break;
      }
    }
    if (!remove) {
      if (kept != i) (*flags)[kept] = std::move(item);
      ++kept;
    }
  }
  flags->resize(kept);
}

void remove_system_include_dirs(PackageRecord* r) {
  const SystemDirs& system = system_dirs();
  const char* key = r->module_key.c_str();
  remove_system_flags(
      &r->compile_flags, system.include_dirs,
      [](const FlagItem& item) -> std::optional<std::string_view> {
        if (item.flag_class != CFLAGS_I || item.text.view().substr(0, 2) != "-I") return {};
        return item.text.view().substr(2);
      },
      [&](const FlagItem& item, const std::string&) {
        debug_spew("Package %s has %s in Cflags\n", key, item.text.c_str());
        if (system.allow_cflags) return false;
        debug_spew("Removing %s from cflags for %s\n", item.text.c_str(), key);
        return true;
      });
}

void remove_system_library_dirs(PackageRecord* r) {
  const SystemDirs& system = system_dirs();
  const char* key = r->module_key.c_str();
  remove_system_flags(
      &r->link_flags, system.library_dirs,
      [](const FlagItem& item) -> std::optional<std::string_view> {
        if (item.flag_class != LIBS_L) return {};
        return item.text.view().substr(2);
      },
      [&](const FlagItem&, const std::string& dir) {
        debug_spew("Package %s has -L %s in Libs\n", key, dir.c_str());
        if (system.allow_libs) return false;
        debug_spew("Removing -L %s from libs for %s\n", dir.c_str(), key);
        return true;
      });
}

PackageRecord* make_self_package() {
  auto* self = new PackageRecord;
  self->module_key = "mod-query";
  self->display_name = "mod-query";
  self->version_text = self->texts.keep(kModQueryVersion);
  self->summary = "mod-query is a system for managing compile/link flags for libraries";
  self->home_url = "https://objkit.example.org/mod-query/";
  self->variables.emplace("mq_path", query_settings.builtin_search_dirs);
  return self;
}

}  // namespace

void append_search_dirs(const char* text, char separator) {
  for_each_piece(text, separator, [](std::string piece) {
    debug_spew("Adding directory '%s' from MOD_QUERY_PATH\n", piece.c_str());
    search_path.push_back(std::move(piece));
  });
}

std::vector<std::string> split_dir_list(std::vector<std::string> list, const char* text) {
  for_each_piece(text, ':', [&list](std::string piece) { list.push_back(std::move(piece)); });
  return list;
}

bool init_package_table(bool list_all) {
  if (package_table) return true;
  package_table = new PackageTable;
  if (list_all) {
    for (const std::string& dir : search_path)
      if (!scan_search_directory(dir)) return false;
  } else {
    PackageRecord* self = make_self_package();
    self->key_number = ++package_key_count;
    package_table->insert(self->module_key, self);
    debug_spew("Adding virtual 'mod-query' package to list of known packages\n");
  }
  return true;
}

namespace {

// A module whose file has been read and stored, and whose requirements are
// being resolved. Loading keeps these on a stack of its own: requirement
// chains can be far deeper than the program's stack would allow recursion.
struct LoadFrame {
  PackageRecord* record = nullptr;
  bool reporting = false;
  size_t next_public = 0;
  size_t next_private = 0;
  std::vector<PackageRecord*> private_deps;
  // The name this record is the preferred uninstalled variant of: the
  // preference is traced once the record is complete.
  std::optional<std::string> preferred_for;
};
using LoadStack = std::vector<LoadFrame>;

// One load: its frames, and the reader that reads every file it needs.
struct LoadState {
  LoadStack stack;
  ModuleFileReader* reader;
  // The directory whose listing has just called the first name, a path, a
  // regular file; -1 for any other name.
  int listed_dir = -1;
  // NAME-uninstalled for the name being looked up (never itself such a name).
  std::string uninstalled_name;
  // The file name searched for, NAME.mq, used only while searching.
  std::string file_name;
};

// Finds and reads the module file for `name` and stores its record. Returns
// a finished record (or nothing) directly; a newly read record still has its
// requirements to resolve, so its frame is pushed and `*pending` set instead.
PackageRecord* start_load(Text name, bool reporting, LoadState* state, bool* pending) {
  LoadStack* stack = &state->stack;
  *pending = false;
  debug_spew("Looking for package '%s'\n", name.c_str());
  std::string key, path;
  int rank = 0;
  FoundModuleFile file;  // open when a listing said it is a regular file
  if (name.size() > 3 && ends_with(name, ".mq")) {
    debug_spew("Considering '%s' to be a filename rather than a package name\n", name.c_str());
    path = name;
    const std::string_view base = path_base_name(name);
    if (state->listed_dir >= 0)
      file.fd = open_module_file(state->listed_dir, path.c_str() + path.size() - base.size());
    key.assign(base.substr(0, base.size() - 3));
  } else {
    if (loader_switches.prefer_uninstalled &&
        !(name.size() > 12 && ends_with(name, "-uninstalled"))) {
      std::string& uninstalled = state->uninstalled_name;
      uninstalled.assign(name).append("-uninstalled");
      PackageRecord* found = find_in_table(uninstalled);
      if (found == nullptr) {
        found = start_load(Text::borrow(uninstalled), false, state, pending);
        if (*pending) {
          stack->back().preferred_for = name.str();
          return nullptr;
        }
      }
      if (found) {
        debug_spew("Preferring uninstalled version of package '%s'\n", name.c_str());
        return found;
      }
    }
    std::string& file_name = state->file_name;
    file_name.assign(name).append(".mq");
    for (size_t i = 0; i < search_path.size() && path.empty(); ++i) {
      if (find_module_file(i, file_name, &file)) {
        path = std::move(file.path);
        rank = static_cast<int>(i + 1);
      }
    }
    if (path.empty()) {
      if (reporting)
        verbose_error(
            "Package %s was not found in the mod-query search path.\nPerhaps you should add the "
            "directory "
            "containing `%s.mq'\nto the MOD_QUERY_PATH environment variable\n",
            name.c_str(), name.c_str());
      return nullptr;
    }
    key = name;
  }

  debug_spew("Reading '%s' from file '%s'\n", name.c_str(), path.c_str());
  const LoaderSwitches& s = loader_switches;
  PackageRecord* record =
      file.fd >= 0
          ? state->reader->read_open(file.fd, key, path.c_str(), s.skip_requires,
                                     s.skip_libs_private, s.skip_requires_private, s.skip_flags)
          : state->reader->read(key, path.c_str(), s.skip_requires, s.skip_libs_private,
                                s.skip_requires_private, s.skip_flags);
  if (record == nullptr) {
    debug_spew("Failed to parse '%s'\n", path.c_str());
    return nullptr;
  }
  if (path.find("uninstalled.mq") != std::string::npos) record->from_uninstalled_file = true;
  record->search_rank = rank;
  debug_spew("Path position of '%s' is %d\n", record->module_key.c_str(), rank);
  debug_spew("Adding '%s' to list of known packages\n", record->module_key.c_str());
  store_in_table(record);
  LoadFrame& frame = stack->emplace_back();
  frame.record = record;
  frame.reporting = reporting;
  record->public_deps.reserve(record->public_requirements.size());
  // Ends as all_deps: the private requirements' modules, then the public ones.
  frame.private_deps.reserve(record->private_requirements.size() +
                             record->public_requirements.size());
  *pending = true;
  return nullptr;
}

bool has_public_left(const LoadFrame& f) {
  return f.next_public < f.record->public_requirements.size();
}

const VersionRequirement& current_requirement(const LoadFrame& f) {
  return has_public_left(f) ? f.record->public_requirements[f.next_public]
                            : f.record->private_requirements[f.next_private];
}

// Hands the module found for the frame's current requirement to the frame;
// false when there is none.
bool deliver(LoadFrame* f, PackageRecord* dep) {
  if (!require_found(f->record, current_requirement(*f), dep)) return false;
  if (has_public_left(*f)) {
    f->record->public_deps.push_back(dep);
    ++f->next_public;
  } else {
    f->private_deps.push_back(dep);
    ++f->next_private;
  }
  return true;
}

// Verifies a record whose requirements are all resolved; nothing when a
// check failed.
PackageRecord* finish_load(LoadFrame* f) {
  PackageRecord* record = f->record;
  record->all_deps = std::move(f->private_deps);
  record->all_deps.insert(record->all_deps.end(), record->public_deps.begin(),
                          record->public_deps.end());
  if (!verify_fields(*record) || !check_version_constraints(*record) || !check_conflicts(record))
    return nullptr;
  remove_system_include_dirs(record);
  remove_system_library_dirs(record);
  return record;
}

}  // namespace

LoadResult load_module(Text name, bool reporting, ModuleFileReader* reader, int listed_dir) {
  ModuleFileReader own_reader;
  LoadState state{{}, reader ? reader : &own_reader, listed_dir, {}, {}};
  LoadStack& stack = state.stack;
  bool pending;
  PackageRecord* found = start_load(name, reporting, &state, &pending);
  state.listed_dir = -1;
  if (!pending) return {found, false};
  constexpr LoadResult kFailedCheck = {nullptr, true};
  for (;;) {
    LoadFrame& f = stack.back();
    const PackageRecord* record = f.record;
    if (has_public_left(f) || f.next_private < record->private_requirements.size()) {
      const VersionRequirement& req = current_requirement(f);
      if (has_public_left(f))
        debug_spew("Searching for '%s' requirement '%s'\n", record->module_key.c_str(),
                   req.name.c_str());
      else
        debug_spew("Searching for '%s' private requirement '%s'\n", record->module_key.c_str(),
                   req.name.c_str());
      PackageRecord* dep = find_in_table(req.name);
      if (dep == nullptr) {
        // May push a frame for the requirement, which then comes first.
        dep = start_load(req.name, f.reporting, &state, &pending);
        if (pending) continue;
      }
      if (!deliver(&stack.back(), dep)) return kFailedCheck;
      continue;
    }
    PackageRecord* done = finish_load(&f);
    if (done == nullptr) return kFailedCheck;
    const std::optional<std::string> preferred_for = std::move(f.preferred_for);
    stack.pop_back();
    if (preferred_for)
      debug_spew("Preferring uninstalled version of package '%s'\n", preferred_for->c_str());
    if (stack.empty()) return {done, false};
    if (!deliver(&stack.back(), done)) return kFailedCheck;
  }
}

LoadResult lookup_module(Text name) {
  if (PackageRecord* found = find_in_table(name)) return {found, false};
  return load_module(name, true);
}

LoadResult lookup_module_quiet(Text name) {
  if (PackageRecord* found = find_in_table(name)) return {found, false};
  return load_module(name, false);
}
