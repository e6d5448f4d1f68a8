// Printing the one answer a query asked for.
#pragma once
#include <vector>

#include "query/query.h"

int answer_query(const std::vector<PackageRecord*>& resolved);
bool tree_has_uninstalled(const PackageRecord* record);
