#include "wrapper/prefix_chain.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/alloc.h"
#include "support/paths.h"

namespace {

bool trace = false;

}  // namespace

void set_prefix_search_trace(bool on) {
  trace = on;
}

void prefix_chain_insert(PrefixChain* chain, const char* prefix, bool at_front) {
  auto* entry = static_cast<PrefixEntry*>(checked_alloc(sizeof(PrefixEntry)));
  entry->prefix = checked_strdup(prefix);
  entry->next = nullptr;
  const int length = static_cast<int>(strlen(prefix));
  if (length > chain->longest) chain->longest = length;
  if (at_front || chain->first == nullptr) {
    entry->next = chain->first;
    chain->first = entry;
    return;
  }
  PrefixEntry* last = chain->first;
  while (last->next) last = last->next;
  last->next = entry;
}

void prefix_chain_append(PrefixChain* chain, const char* prefix) {
  prefix_chain_insert(chain, prefix, false);
}

void prefix_chain_prepend(PrefixChain* chain, const char* prefix) {
  prefix_chain_insert(chain, prefix, true);
}

void prefix_chain_add_string(const char* text, PrefixChain* chain) {
  char* scratch = static_cast<char*>(checked_alloc(strlen(text) + 3));
  if (trace) fprintf(stderr, "Convert string '%s' into prefixes, separator = '%c'\n", text, ':');
  for_each_list_piece(text, ':', [&](std::string_view piece) {
    scratch[write_directory_prefix(piece, scratch)] = '\0';
    if (trace) fprintf(stderr, "  - add prefix: %s\n", scratch);
    prefix_chain_append(chain, scratch);
  });
  free(scratch);
}

void prefix_chain_add_env(const char* variable, PrefixChain* chain) {
  if (const char* value = getenv(variable)) prefix_chain_add_string(value, chain);
}

char* locate_on_prefixes(const PrefixChain* chain, const char* name, int mode) {
  if (trace) fprintf(stderr, "Looking for '%s'\n", name);
  const size_t name_length = strlen(name);
  char* path =
      static_cast<char*>(checked_alloc(static_cast<size_t>(chain->longest) + 1 + name_length));
  if (name[0] == '/') {
    if (access(name, mode) == 0) {
      memcpy(path, name, name_length + 1);
      if (trace) fputs("  - found: absolute path\n", stderr);
      return path;
    }
    if (trace) fputs("  - failed to locate using absolute path\n", stderr);
    if (trace && chain->first == nullptr) fputs("  - failed: no entries in prefix list\n", stderr);
    free(path);
    return nullptr;
  }
  if (chain->first == nullptr) {
    if (trace) fputs("  - failed: no entries in prefix list\n", stderr);
    free(path);
    return nullptr;
  }
  for (const PrefixEntry* entry = chain->first; entry; entry = entry->next) {
    const size_t prefix_length = strlen(entry->prefix);
    memcpy(path, entry->prefix, prefix_length);
    memcpy(path + prefix_length, name, name_length + 1);
    struct stat st;
    if (stat(path, &st) == 0 && !S_ISDIR(st.st_mode) && access(path, mode) == 0) return path;
  }
  free(path);
  return nullptr;
}
