// --list-all: every module file of every search directory.
#pragma once
#include <string>

#include "query/query.h"

// Loads every module file of the directory; false when one failed a check
// that ends the run.
bool scan_search_directory(const std::string& dir);
void print_module_listing();
