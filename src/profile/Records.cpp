#include "profile/Records.h"

#include <algorithm>

namespace kestrane {

std::vector<ConfigRecord> RecordsToApply(const std::wstring& path) {
    std::vector<ConfigRecord> records = ReadConfigFile(path);
    // Records without a name are skipped by every pass.
    records.erase(std::remove_if(records.begin(), records.end(), [](const ConfigRecord& r) { return r.Name.empty(); }),
                  records.end());
    return records;
}

bool AppliedStartMode(const std::wstring& mode) { return StartModeArgument(mode) != nullptr; }

bool AppliedState(const std::wstring& state) { return state == L"Running" || state == L"Stopped"; }

const wchar_t* StartModeArgument(const std::wstring& startMode) {
    if (startMode == L"Auto") return L"Automatic";
    if (startMode == L"Manual") return L"Manual";
    if (startMode == L"Disabled") return L"Disabled";
    return nullptr;
}

int StatePassOf(bool needsOthers, bool needed) { return !needsOthers ? 2 : needed ? 3 : 4; }

bool SetsStateIn(int pass, int statePass, ApplyOrder order, const std::wstring& wanted) {
    bool reversed = order == ApplyOrder::Undo && wanted == L"Stopped";
    return (reversed ? 6 - pass : pass) == statePass;
}

FactsByName LearnFacts(ServiceManager& services, const std::vector<ConfigRecord>& records,
                       const std::vector<ForbiddenEntry>& forbiddenList,
                       const std::function<bool(const std::wstring&)>& present) {
    FactsByName facts;
    for (const ConfigRecord& record : records) {
        auto [entry, fresh] = facts.try_emplace(record.Name);
        if (!fresh) continue;
        RecordFacts& f = entry->second;
        f.mark = MarkOf(record.Name, forbiddenList);
        f.present = present(record.Name);
        if (!f.present) continue;
        f.statePass = StatePassOf(!services.ServicesDependedOn(record.Name).empty(),
                                  !services.DependentServices(record.Name).empty());
    }
    return facts;
}

}  // namespace kestrane
