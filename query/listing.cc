#include "query/listing.h"

#include <dirent.h>
#include <errno.h>
#include <glib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "query/lookup.h"
#include "query/module_dirs.h"
#include "query/module_file.h"

bool scan_search_directory(const std::string& dir) {
  std::string open_name = dir;
  if (open_name.size() > 1 && open_name.back() == '/') open_name.pop_back();
  DIR* d = opendir(open_name.c_str());
  if (d == nullptr) {
    debug_spew("Cannot open directory '%s' in package search path: %s\n", dir.c_str(),
               g_strerror(errno));
    return true;
  }
  debug_spew("Scanning directory '%s'\n", dir.c_str());
  ModuleFileReader reader;
  std::string path;
  while (const dirent* entry = readdir(d)) {
    // Only a ".mq" entry can be a module file. Any other entry would be
    // looked up as a module name, and with an empty or relative search
    // directory that lookup can find the entry's own path (a subdirectory
    // zlib/ beside zlib.mq): such entries are left alone.
    const size_t length = strlen(entry->d_name);
    if (length < 3 || strcmp(entry->d_name + length - 3, ".mq") != 0) continue;
    join_entry_path(dir, std::string_view(entry->d_name, length), &path);
    const bool failed_check =
        load_module(Text::borrow(path), false, &reader, entry->d_type == DT_REG ? dirfd(d) : -1)
            .failed_check;
    if (failed_check) {
      closedir(d);
      return false;
    }
  }
  closedir(d);
  return true;
}

namespace {

// The first eight bytes of a key as a number that orders like the bytes (a
// shorter key is padded with zeros, which sort first; keys hold no NUL).
uint64_t key_prefix(std::string_view key) {
  uint64_t prefix = 0;
  for (size_t i = 0; i < 8; ++i)
    prefix = prefix << 8 | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0);
  return prefix;
}

struct ListedModule {
  uint64_t prefix;
  std::string_view key;
  const PackageRecord* record;
};

}  // namespace

void print_module_listing() {
  // Sorted by key, byte-wise; most keys differ in their first eight bytes,
  // which are compared as one number.
  std::vector<ListedModule> records;
  records.reserve(package_table->size());
  size_t width = 0;
  package_table->for_each([&](std::string_view key, const PackageRecord* record) {
    records.push_back({key_prefix(record->module_key), record->module_key, record});
    width = std::max(width, key.size());
  });
  std::sort(records.begin(), records.end(), [](const ListedModule& a, const ListedModule& b) {
    return a.prefix != b.prefix ? a.prefix < b.prefix : a.key < b.key;
  });
  // Written in blocks of many lines: one library call per line would cost
  // more than building the line.
  std::string block;
  for (const auto& [prefix, key, r] : records) {
    block.append(r->module_key);
    block.append(width + 1 - r->module_key.size(), ' ');
    block.append(r->display_name ? *r->display_name : "(null)").append(" - ");
    block.append(r->summary ? *r->summary : "(null)").push_back('\n');
    if (block.size() >= 65536) {
      fwrite(block.data(), 1, block.size(), stdout);
      block.clear();
    }
  }
  fwrite(block.data(), 1, block.size(), stdout);
}
