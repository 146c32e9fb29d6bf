// The configuration folder's list of configurations.
#pragma once

#include <string>
#include <vector>

namespace kestrane {

// The names of the configuration files directly in `folder` (which ends with a backslash), in the order
// the file system lists them; sub-folders, hidden and system files are not listed.
std::vector<std::wstring> ConfigFileNames(const std::wstring& folder);

}  // namespace kestrane
