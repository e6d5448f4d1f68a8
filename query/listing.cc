#include "query/listing.h"

#include <dirent.h>
#include <errno.h>
#include <glib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "query/lookup.h"

void scan_search_directory(const std::string& dir) {
  std::string open_name = dir;
  if (open_name.size() > 1 && open_name.back() == '/') open_name.pop_back();
  DIR* d = opendir(open_name.c_str());
  if (d == nullptr) {
    debug_spew("Cannot open directory '%s' in package search path: %s\n", dir.c_str(),
               g_strerror(errno));
    return;
  }
  debug_spew("Scanning directory '%s'\n", dir.c_str());
  while (const dirent* entry = readdir(d)) {
    // Only a ".mq" entry can be a module file. Any other entry would be
    // looked up as a module name, and with an empty or relative search
    // directory that lookup can find the entry's own path (a subdirectory
    // zlib/ beside zlib.mq): such entries are left alone.
    const size_t length = strlen(entry->d_name);
    if (length < 3 || strcmp(entry->d_name + length - 3, ".mq") != 0) continue;
    char* path = g_build_filename(dir.c_str(), entry->d_name, nullptr);
    load_module(path, false);
    g_free(path);
  }
  closedir(d);
}

int compare_module_keys(const PackageRecord* a, const PackageRecord* b) {
  return a->module_key.compare(b->module_key);
}

void print_module_listing() {
  std::vector<const PackageRecord*> records;
  records.reserve(package_table->size());
  size_t width = 0;
  for (const auto& [key, record] : *package_table) {
    records.push_back(record);
    width = std::max(width, key.size());
  }
  std::sort(records.begin(), records.end(), [](const PackageRecord* a, const PackageRecord* b) {
    return compare_module_keys(a, b) < 0;
  });
  std::string line;
  for (const PackageRecord* r : records) {
    line.assign(r->module_key);
    line.append(width + 1 - r->module_key.size(), ' ');
    line.append(r->display_name ? *r->display_name : "(null)").append(" - ");
    line.append(r->summary ? *r->summary : "(null)").push_back('\n');
    fwrite(line.data(), 1, line.size(), stdout);
  }
}
