#include "service/ForbiddenList.h"
#include "service/Programme.h"
#include "base/Texts.h"

namespace kestrane {

bool SameServiceName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool ServiceNameLess::operator()(const std::wstring& a, const std::wstring& b) const {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
}

Mark MarkOf(const std::wstring& name, const std::vector<ForbiddenEntry>& forbiddenList) {
    Mark mark = Mark::None;
    for (const ForbiddenEntry& entry : forbiddenList) {
        if (!SameServiceName(entry.Name, name)) continue;
        if (entry.mark == Mark::Forbidden || (entry.mark == Mark::Discouraged && mark == Mark::None)) mark = entry.mark;
    }
    return mark;
}

std::vector<GuardStep> GuardSteps(const std::wstring& cheminAppli, const std::wstring& nom) {
    std::wstring about = texts::kGuardServiceLine + nom;
    std::wstring problem;
    std::optional<std::vector<ForbiddenEntry>> list = ReadForbiddenList(cheminAppli, &problem);
    if (!list)
        return {{GuardStep::Kind::ListMissing, texts::kGuardMissing + about + (problem.empty() ? L"" : L"\n" + problem),
                 texts::kGuardMissingTitle}};
    std::vector<GuardStep> steps;
    for (const ForbiddenEntry& entry : *list) {
        // The service database knows no difference of letter case between names; neither does the list.
        if (!SameServiceName(entry.Name, nom)) continue;
        std::wstring why = entry.Reason.empty() ? L"" : L"\n" + (texts::kReasonPrefix + entry.Reason);
        if (entry.mark == Mark::Discouraged)
            steps.push_back({GuardStep::Kind::Ask, texts::kGuardDiscouraged + about + why, texts::kGuardTitle});
        else if (entry.mark == Mark::Forbidden)
            steps.push_back({GuardStep::Kind::Refuse, texts::kGuardForbidden + about + why, texts::kGuardTitle});
    }
    return steps;
}

}  // namespace kestrane
