#include "service/ForbiddenList.h"
#include "service/PerUserServices.h"
#include "service/Programme.h"
#include "base/Texts.h"

namespace kestrane {

bool SameServiceName(const std::wstring& a, const std::wstring& b) {
    // Compared unit by unit once each is in upper case: names of different lengths are never the same, and
    // most names of a list differ in length from the one looked for.
    if (a.size() != b.size()) return false;
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool ServiceNameLess::operator()(const std::wstring& a, const std::wstring& b) const {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
}

// Whether a record of the list names `name`: the service itself, or the per-user template it may be an
// instance of (a template's mark covers every instance).
bool Names(const ForbiddenEntry& entry, const std::wstring& name) {
    if (SameServiceName(entry.Name, name)) return true;
    std::wstring templateName = TemplateNameOf(name);
    return !templateName.empty() && SameServiceName(entry.Name, templateName);
}

Mark MarkOf(const std::wstring& name, const std::vector<ForbiddenEntry>& forbiddenList) {
    Mark mark = Mark::None;
    for (const ForbiddenEntry& entry : forbiddenList) {
        if (!Names(entry, name)) continue;
        if (entry.mark == Mark::Forbidden || (entry.mark == Mark::Discouraged && mark == Mark::None)) mark = entry.mark;
    }
    return mark;
}

std::wstring ReasonOf(const std::wstring& name, const std::vector<ForbiddenEntry>& forbiddenList) {
    for (const ForbiddenEntry& entry : forbiddenList)
        if (!entry.Reason.empty() && Names(entry, name)) return entry.Reason;
    return {};
}

std::vector<GuardStep> GuardSteps(const std::wstring& cheminAppli, const std::wstring& nom) {
    std::wstring about = texts::kGuardServiceLine + nom;
    std::wstring problem;
    std::optional<std::vector<ForbiddenEntry>> list = ReadForbiddenList(cheminAppli, &problem);
    if (!list)
        return {{GuardStep::Kind::ListMissing, problem.empty() ? texts::kGuardMissing + about : GuardListProblem(problem) + about,
                 texts::kGuardMissingTitle}};
    std::vector<GuardStep> steps;
    for (const ForbiddenEntry& entry : *list) {
        // The service database knows no difference of letter case between names; neither does the list.
        if (!Names(entry, nom)) continue;
        std::wstring why = entry.Reason.empty() ? L"" : L"\n" + (texts::kReasonPrefix + entry.Reason);
        if (entry.mark == Mark::Discouraged)
            steps.push_back({GuardStep::Kind::Ask, texts::kGuardDiscouraged + about + why, texts::kGuardTitle});
        else if (entry.mark == Mark::Forbidden)
            steps.push_back({GuardStep::Kind::Refuse, texts::kGuardForbidden + about + why, texts::kGuardTitle});
    }
    return steps;
}

}  // namespace kestrane
