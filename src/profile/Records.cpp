#include "profile/Records.h"

#include "base/TextFile.h"
#include "base/Texts.h"
#include "service/PerUserServices.h"
#include "service/Responsive.h"

#include <algorithm>
#include <set>

namespace kestrane {

std::vector<ConfigRecord> RecordsToApply(const std::wstring& path, std::vector<std::wstring>* unknown) {
    return RecordsIn(ReadFileBytes(path), unknown);
}

std::vector<ConfigRecord> RecordsIn(std::string_view bytes, std::vector<std::wstring>* unknown) {
    ParsedConfig parsed = ParseConfigText(bytes);
    if (unknown) *unknown = UnknownValues(parsed);
    std::vector<ConfigRecord> records = std::move(parsed.records);
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

bool SetsStateIn(int pass, int statePass, ApplyOrder, const std::wstring& wanted) {
    // Stops go the other way, in an application as in an undo: Windows refuses to stop a service while
    // a service depending on it is active (ERROR_DEPENDENT_SERVICES_RUNNING), so dependents stop first.
    bool reversed = wanted == L"Stopped";
    return (reversed ? 6 - pass : pass) == statePass;
}

FactsByName LearnFacts(ServiceManager& services, const std::vector<ConfigRecord>& records,
                       const std::vector<ForbiddenEntry>& forbiddenList,
                       const std::function<bool(const std::wstring&)>& present) {
    FactsByName facts;
    for (const ConfigRecord& record : records) {
        StayResponsive();
        auto [entry, fresh] = facts.try_emplace(record.Name);
        if (!fresh) continue;
        RecordFacts& f = entry->second;
        f.mark = MarkOf(record.Name, forbiddenList);
        f.present = present(record.Name);
        if (!f.present) continue;
        // A service Windows protects may refuse to be read: that record is refused, the others go on.
        try {
            f.prerequisites = services.ServicesDependedOn(record.Name);
            f.statePass = StatePassOf(!f.prerequisites.empty(), !services.DependentServices(record.Name).empty());
        } catch (const ServiceError& e) {
            // Refused for this service alone; a failure of the service database itself ends the whole.
            if (e.Code() != ReturnCode::AccessDenied && e.Code() != ReturnCode::ServiceMarkedForDeletion) throw;
            f.unreadable = e.Code();
        }
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

std::wstring RefusedRecordLine(const std::wstring& name, int code) {
    if (code == ReturnCode::AccessDenied) return name + texts::kAccessDenied;
    const wchar_t* message = ControlMessage(code);
    return name + L" : " + (message ? message : texts::kRequestRunning);
}

std::wstring UnreadablePrerequisiteLine(const std::wstring& name, const std::wstring& where) {
    return name + texts::kPrerequisiteUnreadable + where;
}

std::wstring Conflict::Line() const { return stopped + texts::kConflictStopped + running + texts::kConflictRunning; }

namespace {

// What a service needs: the lists an application already read, the others read once.
struct DependencyLists {
    ServiceManager& services;
    FactsByName& facts;
    std::map<std::wstring, std::vector<std::wstring>, ServiceNameLess> read;
    const std::vector<std::wstring>& operator()(const std::wstring& name) {
        auto known = facts.find(name);
        if (known != facts.end() && known->second.present) return known->second.prerequisites;
        auto found = read.find(name);
        if (found == read.end()) {
            std::vector<std::wstring> needs;
            try {
                needs = services.ServicesDependedOn(name);
            } catch (const ServiceError&) {
                // A service that cannot be read is taken as needing nothing: its record tells why.
            }
            found = read.emplace(name, std::move(needs)).first;
        }
        return found->second;
    }
};

// Everything `name` needs, through any number of others; a loop ends where it began.
template <class NeedsOf>
std::set<std::wstring, ServiceNameLess> NeededThrough(const std::wstring& name, NeedsOf&& needsOf) {
    std::set<std::wstring, ServiceNameLess> seen;
    std::vector<std::wstring> next = needsOf(name);
    while (!next.empty() && seen.size() <= 4096) {
        std::wstring needed = next.back();
        next.pop_back();
        if (!seen.insert(needed).second) continue;
        for (const std::wstring& further : needsOf(needed)) next.push_back(further);
    }
    return seen;
}

// The instance of the per-user template that `name` (of another sign-in) would be an instance of, when
// this machine has exactly one; otherwise nothing, and the note says why.
std::optional<std::wstring> InstanceHere(const std::wstring& name, const std::vector<ServiceEntry>& inventory,
                                         std::vector<std::wstring>& notes) {
    std::wstring templateName = TemplateNameOf(name);
    auto templ = std::find_if(inventory.begin(), inventory.end(), [&](const ServiceEntry& e) {
        return !templateName.empty() && SameServiceName(e.Name, templateName) && e.perUser != PerUser::Instance;
    });
    if (templ == inventory.end()) return std::nullopt;
    std::vector<std::wstring> instances;
    for (const ServiceEntry& entry : inventory)
        if (SameServiceName(TemplateOfInstance(entry, inventory), templ->Name)) instances.push_back(entry.Name);
    if (instances.size() == 1) {
        notes.push_back(name + L" \u2192 " + instances[0] + texts::kPerUserResolved);
        return instances[0];
    }
    std::wstring which;
    for (const std::wstring& instance : instances) which += (which.empty() ? L"" : L", ") + instance;
    notes.push_back(name + (instances.empty() ? texts::kPerUserNoInstance + templ->Name
                                              : texts::kPerUserSeveral + templ->Name + L" : " + which));
    return std::nullopt;
}

}  // namespace

std::vector<Conflict> Conflicts(ServiceManager& services, const std::vector<ConfigRecord>& records, FactsByName& facts) {
    auto acted = [&](const ConfigRecord& r) {
        const RecordFacts& f = facts[r.Name];
        return f.present && f.mark != Mark::Forbidden;
    };
    std::set<std::wstring, ServiceNameLess> wantedStopped;
    for (const ConfigRecord& r : records)
        if (r.State == L"Stopped" && acted(r)) wantedStopped.insert(r.Name);
    if (wantedStopped.empty()) return {};
    DependencyLists needsOf{services, facts, {}};
    std::map<std::wstring, std::wstring, ServiceNameLess> neededBy;  // a service wanted stopped -> who needs it
    for (const ConfigRecord& r : records)
        if (r.State == L"Running" && acted(r))
            for (const std::wstring& name : NeededThrough(r.Name, needsOf))
                if (wantedStopped.count(name)) neededBy.try_emplace(name, r.Name);
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
        if (!byName.count(record.Name))
            if (std::optional<std::wstring> instance = InstanceHere(record.Name, inventory, out.notes)) record.Name = *instance;
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
