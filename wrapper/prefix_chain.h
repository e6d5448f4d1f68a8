// Ordered lists of directory prefixes, and the search for a file on them.
#pragma once

struct PrefixEntry {
  char* prefix;  // used by plain concatenation, so it normally ends in "/"
  PrefixEntry* next;
};

struct PrefixChain {
  PrefixEntry* first = nullptr;
  int longest = 0;  // length of the longest prefix ever added
};

void prefix_chain_insert(PrefixChain* chain, const char* prefix, bool at_front);
void prefix_chain_append(PrefixChain* chain, const char* prefix);
void prefix_chain_prepend(PrefixChain* chain, const char* prefix);
void prefix_chain_add_string(const char* text, PrefixChain* chain);
void prefix_chain_add_env(const char* variable, PrefixChain* chain);
// The full path of the first candidate with the access mode, owned by the caller; or null.
char* locate_on_prefixes(const PrefixChain* chain, const char* name, int mode);
void set_prefix_search_trace(bool on);
