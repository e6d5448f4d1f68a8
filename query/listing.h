// --list-all: every module file of every search directory.
#pragma once
#include <string>

#include "query/query.h"

void scan_search_directory(const std::string& dir);
void print_module_listing();
