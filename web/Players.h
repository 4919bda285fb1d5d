#pragma once

#include <string>
#include <vector>

// The parameters locked by names (parameters or groups) separated by
// commas; none for "". Throws UsageError naming one it does not know.
std::vector<int> LockedByNames(const std::string& list);
