#include "service/PerUserServices.h"

#include "service/Programme.h"

#include <cwctype>

namespace kestrane {

std::wstring TemplateNameOf(const std::wstring& name) {
    size_t underscore = name.rfind(L'_');
    if (underscore == std::wstring::npos || underscore == 0 || underscore + 1 == name.size()) return {};
    for (size_t i = underscore + 1; i < name.size(); ++i)
        if (!std::iswxdigit(name[i])) return {};
    return name.substr(0, underscore);
}

std::wstring TemplateOfInstance(const ServiceEntry& entry, const std::vector<ServiceEntry>& inventory) {
    std::wstring candidate = TemplateNameOf(entry.Name);
    if (candidate.empty()) return {};
    for (const ServiceEntry& other : inventory) {
        if (!SameServiceName(other.Name, candidate)) continue;
        bool instance = entry.perUser == PerUser::Instance ||
                        (entry.perUser == PerUser::None && other.perUser == PerUser::Template);
        return instance ? other.Name : std::wstring();
    }
    return {};
}

}  // namespace kestrane
