#include "profile/Records.h"

#include "base/TextFile.h"
#include "base/Texts.h"
#include "service/PerUserServices.h"

#include <algorithm>
#include <set>

namespace kestrane {

std::vector<ConfigRecord> RecordsToApply(const std::wstring& path) { return RecordsIn(ReadFileBytes(path)); }

std::vector<ConfigRecord> RecordsIn(std::string_view bytes) {
    std::vector<ConfigRecord> records = ParseConfig(bytes);
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
        f.prerequisites = services.ServicesDependedOn(record.Name);
        f.statePass = StatePassOf(!f.prerequisites.empty(), !services.DependentServices(record.Name).empty());
    }
    return facts;
}

std::optional<std::wstring> RefusedPrerequisite(const std::vector<std::wstring>& toStart,
                                                const std::vector<ForbiddenEntry>& forbiddenList) {
    for (const std::wstring& name : toStart)
        if (MarkOf(name, forbiddenList) == Mark::Forbidden) return name;
    return std::nullopt;
}

std::wstring RefusedPrerequisiteLine(const std::wstring& name, const std::wstring& prerequisite) {
    return name + texts::kPrerequisiteForbidden + prerequisite + texts::kPrerequisiteForbiddenEnd;
}

std::wstring Conflict::Line() const { return stopped + texts::kConflictStopped + running + texts::kConflictRunning; }

std::vector<Conflict> Conflicts(ServiceManager& services, const std::vector<ConfigRecord>& records, FactsByName& facts) {
    auto acted = [&](const ConfigRecord& r) {
        const RecordFacts& f = facts[r.Name];
        return f.present && f.mark != Mark::Forbidden;
    };
    std::set<std::wstring, ServiceNameLess> wantedStopped;
    for (const ConfigRecord& r : records)
        if (r.State == L"Stopped" && acted(r)) wantedStopped.insert(r.Name);
    if (wantedStopped.empty()) return {};
    std::map<std::wstring, std::vector<std::wstring>, ServiceNameLess> needs;
    auto needsOf = [&](const std::wstring& name) -> const std::vector<std::wstring>& {
        auto known = facts.find(name);
        if (known != facts.end() && known->second.present) return known->second.prerequisites;
        auto found = needs.find(name);
        if (found == needs.end()) found = needs.emplace(name, services.ServicesDependedOn(name)).first;
        return found->second;
    };
    std::map<std::wstring, std::wstring, ServiceNameLess> neededBy;  // a service wanted stopped -> who needs it
    for (const ConfigRecord& r : records) {
        if (r.State != L"Running" || !acted(r)) continue;
        // Everything the service needs, through any number of others; a loop ends where it began.
        std::set<std::wstring, ServiceNameLess> seen;
        std::vector<std::wstring> next = needsOf(r.Name);
        while (!next.empty()) {
            std::wstring name = next.back();
            next.pop_back();
            if (!seen.insert(name).second || seen.size() > 4096) continue;
            if (wantedStopped.count(name)) neededBy.try_emplace(name, r.Name);
            for (const std::wstring& further : needsOf(name)) next.push_back(further);
        }
    }
    std::vector<Conflict> conflicts;
    std::set<std::wstring, ServiceNameLess> told;
    for (const ConfigRecord& r : records) {
        auto found = neededBy.find(r.Name);
        if (found != neededBy.end() && told.insert(r.Name).second) conflicts.push_back({r.Name, found->second});
    }
    return conflicts;
}

PerUserResolution ResolvePerUser(const std::vector<ConfigRecord>& records, const std::vector<ServiceEntry>& inventory) {
    PerUserResolution out;
    std::map<std::wstring, const ServiceEntry*, ServiceNameLess> byName;
    for (const ServiceEntry& entry : inventory) byName[entry.Name] = &entry;
    std::set<std::wstring, ServiceNameLess> named;
    for (const ConfigRecord& record : records) named.insert(record.Name);
    std::set<std::wstring, ServiceNameLess> templatesAdded;
    for (ConfigRecord record : records) {
        if (!byName.count(record.Name)) {
            std::wstring templateName = TemplateNameOf(record.Name);
            auto found = templateName.empty() ? byName.end() : byName.find(templateName);
            if (found != byName.end() && found->second->perUser != PerUser::Instance) {
                std::vector<std::wstring> instances;
                for (const ServiceEntry& entry : inventory)
                    if (SameServiceName(TemplateOfInstance(entry, inventory), found->first)) instances.push_back(entry.Name);
                if (instances.size() == 1) {
                    out.notes.push_back(record.Name + L" \u2192 " + instances[0] + texts::kPerUserResolved);
                    record.Name = instances[0];
                } else {
                    std::wstring which;
                    for (const std::wstring& name : instances) which += (which.empty() ? L"" : L", ") + name;
                    out.notes.push_back(record.Name + (instances.empty() ? texts::kPerUserNoInstance + found->first
                                                                         : texts::kPerUserSeveral + found->first + L" : " + which));
                }
            }
        }
        auto present = byName.find(record.Name);
        std::wstring templateName = present == byName.end() ? L"" : TemplateOfInstance(*present->second, inventory);
        out.records.push_back(record);
        if (templateName.empty()) continue;
        out.templateOf[record.Name] = templateName;
        if (AppliedStartMode(record.StartMode) && !named.count(templateName) && templatesAdded.insert(templateName).second)
            out.records.push_back({templateName, L"", record.StartMode, byName[templateName]->DisplayName});
    }
    return out;
}

std::wstring StateNotAppliedLine(const ConfigRecord& record) {
    return record.Name + texts::kPreviewState + record.State + texts::kStateNotApplied;
}

}  // namespace kestrane
