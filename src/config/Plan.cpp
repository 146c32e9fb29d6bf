#include "config/Plan.h"

#include "config/TextFile.h"
#include "service/Programme.h"
#include "win/Texts.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace kestrane {

namespace {

// The machine as the plan sees it while it runs through the application.
struct Model {
    struct Service {
        std::wstring state, mode, displayName;
    };
    std::map<std::wstring, Service, ServiceNameLess> services;

    explicit Model(ServiceManager& machine) {
        for (const ServiceEntry& entry : machine.Inventory(true))
            services[entry.Name] = {entry.State.value_or(L""), entry.StartMode.value_or(L""), entry.DisplayName};
    }
    Service* Get(const std::wstring& name) {
        auto found = services.find(name);
        return found == services.end() ? nullptr : &found->second;
    }
};

bool AppliedStartMode(const std::wstring& mode) { return mode == L"Auto" || mode == L"Manual" || mode == L"Disabled"; }
bool AppliedState(const std::wstring& state) { return state == L"Running" || state == L"Stopped"; }
// A service that is not stopped is active: it holds its prerequisites and is stopped by a stop order.
bool Active(const std::wstring& state) { return !state.empty() && state != L"Stopped"; }

Mark MarkOf(const std::wstring& name, const std::vector<ForbiddenEntry>& forbiddenList) {
    Mark mark = Mark::None;
    for (const ForbiddenEntry& entry : forbiddenList) {
        if (!SameServiceName(entry.Name, name)) continue;
        if (entry.mark == Mark::Forbidden || (entry.mark == Mark::Discouraged && mark == Mark::None)) mark = entry.mark;
    }
    return mark;
}

std::wstring Arrow(const std::wstring& from, const std::wstring& to) {
    return (from.empty() ? std::wstring(L"?") : from) + L" \u2192 " + to;
}

}  // namespace

std::vector<ConfigRecord> RecordsToApply(const std::wstring& path) {
    std::vector<ConfigRecord> records = ReadConfigFile(path);
    records.erase(std::remove_if(records.begin(), records.end(), [](const ConfigRecord& r) { return r.Name.empty(); }),
                  records.end());
    return records;
}

Plan PlanApplication(ServiceManager& services, const std::vector<ConfigRecord>& records,
                     const std::vector<ForbiddenEntry>& forbiddenList) {
    Plan plan;
    Model model(services);
    const Model initial = model;
    std::set<std::wstring, ServiceNameLess> listed;  // services with a forbidden, discouraged or absent line
    std::set<std::wstring, ServiceNameLess> touched;
    auto line = [&](PlanLine::Kind kind, const std::wstring& name, const std::wstring& text) {
        plan.lines.push_back({kind, name, text});
    };
    auto touch = [&](const std::wstring& name, const std::wstring& wantedDisplay) {
        if (!touched.insert(name).second) return;
        const Model::Service& was = initial.services.at(name);
        plan.before.push_back({name, was.state, was.mode, was.displayName.empty() ? wantedDisplay : was.displayName});
    };
    auto warnIfDiscouraged = [&](const std::wstring& name, Mark mark) {
        if (mark == Mark::Discouraged && listed.insert(name).second)
            line(PlanLine::Kind::Discouraged, name, texts::kPreviewDiscouraged + name);
    };

    // The facts the application establishes once, before its passes.
    struct Facts {
        Mark mark = Mark::None;
        bool hasPrerequisite = false, hasDependent = false;
    };
    std::map<std::wstring, Facts, ServiceNameLess> facts;
    std::map<std::wstring, std::vector<std::wstring>, ServiceNameLess> prerequisites, dependents;
    auto prerequisitesOf = [&](const std::wstring& name) -> const std::vector<std::wstring>& {
        auto found = prerequisites.find(name);
        if (found == prerequisites.end()) found = prerequisites.emplace(name, services.ServicesDependedOn(name)).first;
        return found->second;
    };
    auto dependentsOf = [&](const std::wstring& name) -> const std::vector<std::wstring>& {
        auto found = dependents.find(name);
        if (found == dependents.end()) found = dependents.emplace(name, services.DependentServices(name)).first;
        return found->second;
    };
    for (const ConfigRecord& record : records) {
        if (!model.Get(record.Name)) {
            if (listed.insert(record.Name).second) line(PlanLine::Kind::Absent, record.Name, texts::kApplyAbsent + record.Name);
            continue;
        }
        Facts& f = facts[record.Name];
        f.mark = MarkOf(record.Name, forbiddenList);
        f.hasPrerequisite = !prerequisitesOf(record.Name).empty();
        f.hasDependent = !dependentsOf(record.Name).empty();
        if (f.mark == Mark::Forbidden && listed.insert(record.Name).second)
            line(PlanLine::Kind::Forbidden, record.Name, texts::kApplyForbidden + record.Name);
    }

    // Pass 1: start modes.
    for (const ConfigRecord& record : records) {
        Model::Service* service = model.Get(record.Name);
        if (!service || facts[record.Name].mark == Mark::Forbidden || !AppliedStartMode(record.StartMode)) continue;
        if (service->mode == record.StartMode) continue;
        warnIfDiscouraged(record.Name, facts[record.Name].mark);
        line(PlanLine::Kind::StartMode, record.Name,
             record.Name + texts::kPreviewStartMode + Arrow(service->mode, record.StartMode));
        touch(record.Name, record.DisplayName);
        service->mode = record.StartMode;
    }

    // A start starts what the service needs first, deepest first, as the service layer does.
    std::function<void(const std::wstring&, int)> startPrerequisites = [&](const std::wstring& name, int depth) {
        if (depth > 32) return;  // a dependency cycle: the service database refuses it anyway
        for (const std::wstring& needed : prerequisitesOf(name)) {
            Model::Service* service = model.Get(needed);
            if (!service || Active(service->state)) continue;
            startPrerequisites(needed, depth + 1);
            line(PlanLine::Kind::PrerequisiteStarted, needed, needed + texts::kPreviewPrerequisite + name);
            touch(needed, L"");
            service->state = L"Running";
        }
    };

    // Passes 2 to 4: states, services needing none first, those needing others and needed last but one,
    // those only needing others last.
    for (int pass = 2; pass <= 4; ++pass) {
        for (const ConfigRecord& record : records) {
            Model::Service* service = model.Get(record.Name);
            if (!service) continue;
            const Facts& f = facts[record.Name];
            if (f.mark == Mark::Forbidden || !AppliedState(record.State)) continue;
            bool inThisPass = pass == 2   ? !f.hasPrerequisite
                              : pass == 3 ? f.hasPrerequisite && f.hasDependent
                                          : f.hasPrerequisite && !f.hasDependent;
            if (!inThisPass) continue;
            if (record.State == L"Running") {
                if (service->state == L"Running") continue;
                warnIfDiscouraged(record.Name, f.mark);
                if (service->mode == L"Disabled") {
                    line(PlanLine::Kind::State, record.Name,
                         record.Name + texts::kPreviewState + Arrow(service->state, record.State) +
                             texts::kPreviewStartRefused);
                    continue;
                }
                startPrerequisites(record.Name, 0);
                line(PlanLine::Kind::State, record.Name, record.Name + texts::kPreviewState + Arrow(service->state, record.State));
                touch(record.Name, record.DisplayName);
                service->state = L"Running";
            } else {
                if (!Active(service->state)) continue;
                warnIfDiscouraged(record.Name, f.mark);
                line(PlanLine::Kind::State, record.Name, record.Name + texts::kPreviewState + Arrow(service->state, record.State));
                bool held = false;
                for (const std::wstring& dependent : dependentsOf(record.Name)) {
                    Model::Service* other = model.Get(dependent);
                    if (!other || !Active(other->state)) continue;
                    held = true;
                    line(PlanLine::Kind::DependentRunning, dependent,
                         dependent + texts::kPreviewDependentRunning + record.Name + texts::kPreviewStopRefused);
                }
                if (held) continue;  // the stop is refused: nothing changes
                touch(record.Name, record.DisplayName);
                service->state = L"Stopped";
            }
        }
    }
    return plan;
}

std::vector<PlanLine> CompareMachine(ServiceManager& services, const std::vector<ConfigRecord>& records) {
    std::vector<PlanLine> lines;
    Model model(services);
    std::set<std::wstring, ServiceNameLess> seen;
    for (const ConfigRecord& record : records) {
        if (!seen.insert(record.Name).second) continue;
        Model::Service* service = model.Get(record.Name);
        if (!service) {
            lines.push_back({PlanLine::Kind::Absent, record.Name, texts::kApplyAbsent + record.Name});
            continue;
        }
        if (AppliedStartMode(record.StartMode) && service->mode != record.StartMode)
            lines.push_back({PlanLine::Kind::StartMode, record.Name,
                             record.Name + texts::kCompareStartMode + service->mode + texts::kCompareWanted + record.StartMode});
        if (AppliedState(record.State) && service->state != record.State)
            lines.push_back({PlanLine::Kind::State, record.Name,
                             record.Name + texts::kCompareState + service->state + texts::kCompareWanted + record.State});
    }
    return lines;
}

int NotInWantedState(ServiceManager& services, const std::vector<ConfigRecord>& records, int patienceMs) {
    const int step = 250;
    for (int waited = 0;; waited += step) {
        Model model(services);
        int differing = 0;
        bool pending = false;
        std::set<std::wstring, ServiceNameLess> seen;
        for (const ConfigRecord& record : records) {
            Model::Service* service = model.Get(record.Name);
            if (!service || !seen.insert(record.Name).second) continue;
            bool modeDiffers = AppliedStartMode(record.StartMode) && service->mode != record.StartMode;
            bool stateDiffers = AppliedState(record.State) && service->state != record.State;
            if (modeDiffers || stateDiffers) ++differing;
            if (stateDiffers && service->state.find(L"Pending") != std::wstring::npos) pending = true;
        }
        if (!pending || waited >= patienceMs) return differing;
        Sleep(step);
    }
}

std::vector<ExportEntry> ExportEntriesFor(ServiceManager& services, const std::vector<ConfigRecord>& records,
                                          const std::vector<ForbiddenEntry>& forbiddenList) {
    Model model(services);
    std::vector<ExportEntry> entries;
    for (const ConfigRecord& record : records) {
        ExportEntry entry{record, 2, MarkOf(record.Name, forbiddenList)};
        if (model.Get(record.Name)) {
            bool needsOthers = !services.ServicesDependedOn(record.Name).empty();
            bool needed = !services.DependentServices(record.Name).empty();
            entry.statePass = !needsOthers ? 2 : needed ? 3 : 4;
        }
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace kestrane
