#include "profile/ConfigList.h"

#include "profile/ConfigFiles.h"
#include "profile/ConfigFormat.h"
#include "base/Handles.h"

namespace kestrane {

std::vector<std::wstring> ConfigFileNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    FindHandle search(FindFirstFileW((folder + L"*").c_str(), &found));
    if (!search) return names;
    constexpr DWORD kNotListed = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L".." || (found.dwFileAttributes & kNotListed)) continue;
        if (IsConfigFileName(name) && !IsPartialFileName(name)) names.push_back(std::move(name));
    } while (FindNextFileW(search.Get(), &found));
    return names;
}

}  // namespace kestrane
