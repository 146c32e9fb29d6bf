#include "profile/Plan.h"

#include "profile/Records.h"
#include "service/OrderReach.h"
#include "service/Parallel.h"
#include "service/Programme.h"
#include "service/Responsive.h"
#include "base/FailureText.h"
#include "base/Texts.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace kestrane {

namespace {

// The machine as the plan sees it while it runs through the application. One enumeration gives every
// service and its state; a start mode is read only for the services the plan looks at (a query each,
// which the whole machine's would multiply by its every service).
struct Model {
    struct Service {
        std::wstring state, mode, displayName;
        // As the machine had them when the model was made: what an undo brings back.
        std::wstring initialState, initialMode;
        bool modeRead = false;
        bool listed = true;  // false for one no inventory lists (a driver), opened by name
    };
    std::map<std::wstring, Service, ServiceNameLess> services;
    std::vector<ServiceEntry> inventory;

    explicit Model(ServiceManager& machine) : inventory(machine.Inventory(false)), machine_(machine) {
        for (const ServiceEntry& entry : inventory) {
            std::wstring state = entry.State.value_or(L"");
            services[entry.Name] = {state, L"", entry.DisplayName, state, L"", false};
        }
    }
    Service* Get(const std::wstring& name) {
        auto found = services.find(name);
        return found == services.end() ? nullptr : &found->second;
    }
    // A service of the machine, those no inventory lists (drivers) included: opened by name the first
    // time. Nothing when there is no such service; a state left empty when it cannot be read.
    Service* Reach(const std::wstring& name) {
        if (Service* known = Get(name)) return known;
        if (outside_.count(name)) return nullptr;
        std::optional<ServiceInfo> info;
        try {
            info = machine_.Find(name);
        } catch (const ServiceError&) {
            info = ServiceInfo{};
        }
        if (!info) {
            outside_.insert(name);
            return nullptr;
        }
        std::wstring state = info->State.value_or(L"");
        std::wstring mode = info->StartMode.value_or(L"");
        Service& added = services[name] = {state, mode, info->DisplayName.value_or(L""), state, mode, true};
        added.listed = false;
        return &added;
    }
    // Reads together the start modes of those of the records' services the machine has.
    void ReadModes(const std::vector<ConfigRecord>& records) {
        std::vector<std::wstring> names;
        std::set<std::wstring, ServiceNameLess> asked;
        for (const ConfigRecord& record : records) {
            Service* service = Get(record.Name);
            if (service && !service->modeRead && asked.insert(record.Name).second) names.push_back(record.Name);
        }
        std::vector<Text> modes = machine_.StartModes(names);
        for (size_t i = 0; i < names.size() && i < modes.size(); ++i) Take(*Get(names[i]), modes[i]);
    }
    // The start mode the plan has for a service of the machine, read the first time it is asked for.
    std::wstring& Mode(Service& service, const std::wstring& name) {
        if (!service.modeRead) Take(service, machine_.StartModes({name}).at(0));
        return service.mode;
    }
    // The dependency lists, read once each.
    const std::vector<std::wstring>& Prerequisites(ServiceManager& machine, const std::wstring& name) {
        auto found = prerequisites.find(name);
        if (found == prerequisites.end()) found = prerequisites.emplace(name, machine.ServicesDependedOn(name)).first;
        return found->second;
    }
    const std::vector<std::wstring>& Dependents(ServiceManager& machine, const std::wstring& name) {
        auto found = dependents.find(name);
        if (found == dependents.end()) found = dependents.emplace(name, machine.DependentServices(name)).first;
        return found->second;
    }

private:
    static void Take(Service& service, const Text& mode) {
        service.mode = service.initialMode = mode.value_or(L"");
        service.modeRead = true;
    }
    ServiceManager& machine_;
    std::map<std::wstring, std::vector<std::wstring>, ServiceNameLess> prerequisites, dependents;
    std::set<std::wstring, ServiceNameLess> outside_;  // looked for by name, not there
};

// The state a service is in once what it is doing ends: an undo file records settled states only.
std::wstring Settled(const std::wstring& state) {
    if (state == L"Start Pending" || state == L"Continue Pending") return L"Running";
    if (state == L"Stop Pending") return L"Stopped";
    if (state == L"Pause Pending") return L"Paused";
    return state;
}

// A service that is not stopped is active: it holds its prerequisites and is stopped by a stop order.
bool Active(const std::wstring& state) { return !state.empty() && state != L"Stopped"; }

std::wstring Arrow(const std::wstring& from, const std::wstring& to) {
    return (from.empty() ? std::wstring(L"?") : from) + L" \u2192 " + to;
}

// The model as the one decision of what an order changes sees it.
class PlanLook : public MachineLook {
public:
    PlanLook(Model& model, ServiceManager& services) : model_(model), services_(services) {}
    std::optional<std::wstring> State(const std::wstring& name) override {
        Model::Service* service = model_.Reach(name);
        if (!service) return std::nullopt;
        return service->state;
    }
    bool Disabled(const std::wstring& name) override {
        Model::Service* service = model_.Reach(name);
        return service && model_.Mode(*service, name) == L"Disabled";
    }
    std::vector<std::wstring> Needs(const std::wstring& name) override { return model_.Prerequisites(services_, name); }
    std::vector<std::wstring> NeededBy(const std::wstring& name) override { return model_.Dependents(services_, name); }

private:
    Model& model_;
    ServiceManager& services_;
};

// Runs through an application on the model of the machine, pass by pass, as AppliqueConf acts.
class Planner {
public:
    Planner(ServiceManager& services, const std::vector<ConfigRecord>& records,
            const std::vector<ForbiddenEntry>& forbiddenList, ApplyOrder order)
        : services_(services), forbiddenList_(forbiddenList), order_(order), model_(services) {
        PerUserResolution resolved = ResolvePerUser(records, model_.inventory);
        records_ = std::move(resolved.records);
        notes_ = std::move(resolved.notes);
        model_.ReadModes(records_);
        facts_ = LearnFacts(services_, records_, forbiddenList, [&](const std::wstring& name) { return model_.Get(name) != nullptr; });
        AskChangeableTogether();
    }

    Plan Run() {
        for (const std::wstring& note : notes_) Line(PlanLine::Kind::PerUser, L"", note);
        for (const ConfigRecord& record : records_) {
            Untouched(record);
            StayResponsive();
        }
        for (const Conflict& conflict : Conflicts(services_, records_, facts_))
            Line(PlanLine::Kind::Conflict, conflict.stopped, conflict.Line());
        for (const ConfigRecord& record : records_) {
            StartMode(record);
            StayResponsive();
        }
        begun_.assign(records_.size(), false);
        for (size_t index = 0; index < records_.size(); ++index)
            if (records_[index].State == L"Stopped") wantedStopped_[records_[index].Name].push_back(index);
        for (int pass = 2; pass <= 4; ++pass)
            for (size_t index = 0; index < records_.size(); ++index) {
                State(pass, index);
                StayResponsive();
            }
        // An undo disables last what had to run first.
        for (const ConfigRecord& record : records_)
            if (DisabledLast(record) && model_.Get(record.Name)) model_.Mode(*model_.Get(record.Name), record.Name) = L"Disabled";
        return std::move(plan_);
    }

private:
    bool Undoing() const { return order_ == ApplyOrder::Undo; }
    bool DisabledLast(const ConfigRecord& record) const {
        return Undoing() && record.StartMode == L"Disabled" && (record.State == L"Running" || record.State == L"Paused");
    }
    void Line(PlanLine::Kind kind, const std::wstring& name, const std::wstring& text) {
        plan_.lines.push_back({kind, name, text});
    }
    // Kept as it was before its first change: what an undo brings back.
    void Touch(const std::wstring& name, const std::wstring& wantedDisplay) {
        if (!touched_.insert(name).second) return;
        Model::Service& was = model_.services.at(name);
        model_.Mode(was, name);  // read before anything changes it, if it was not yet
        plan_.before.push_back({name, Settled(was.initialState), was.initialMode,
                                was.displayName.empty() ? wantedDisplay : was.displayName});
    }
    void WarnIfDiscouraged(const std::wstring& name, Mark mark) {
        if (mark == Mark::Discouraged && listed_.insert(name).second)
            Line(PlanLine::Kind::Discouraged, name, WithReason(texts::kPreviewDiscouraged + name, ReasonOf(name, forbiddenList_)));
    }
    // The records an application leaves alone: services this machine lacks, forbidden ones.
    void Untouched(const ConfigRecord& record) {
        const RecordFacts& f = facts_[record.Name];
        if (f.present && f.unreadable) {
            if (listed_.insert(record.Name).second)
                Line(PlanLine::Kind::Refused, record.Name, RefusedRecordLine(record.Name, f.unreadable));
        } else if (!f.present) {
            if (listed_.insert(record.Name).second) Line(PlanLine::Kind::Absent, record.Name, texts::kApplyAbsent + record.Name);
        } else if (f.mark == Mark::Forbidden && Differs(record) && listed_.insert(record.Name).second) {
            Line(PlanLine::Kind::Forbidden, record.Name,
                 WithReason(texts::kApplyForbidden + record.Name, ReasonOf(record.Name, forbiddenList_)));
        }
    }
    // Whether the machine is not as the record wants it, in what an application sets.
    bool Differs(const ConfigRecord& record) {
        Model::Service* service = model_.Get(record.Name);
        return service && ((AppliedStartMode(record.StartMode) && model_.Mode(*service, record.Name) != record.StartMode) ||
                           (AppliedState(record.State) && service->state != record.State));
    }
    // Whether Windows lets each change the plan is likely to weigh be made (a start-mode change, a start, a
    // stop of a record not yet as it wants), asked together: one opening of the service each, on several
    // threads where the service layer takes them.
    void AskChangeableTogether() {
        std::vector<std::pair<std::wstring, ServiceManager::Change>> keys;
        for (const ConfigRecord& record : records_) {
            Model::Service* service = model_.Get(record.Name);
            if (!service || !facts_[record.Name].Acted()) continue;
            if (AppliedStartMode(record.StartMode) && service->mode != record.StartMode)
                keys.emplace_back(record.Name, ServiceManager::Change::Configuration);
            if (!record.State.empty() && service->state != record.State)
                keys.emplace_back(record.Name, record.State == L"Stopped" ? ServiceManager::Change::Stop : ServiceManager::Change::Start);
        }
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        std::vector<char> answers(keys.size(), 1);
        auto ask = [&](size_t i) { answers[i] = services_.MayChange(keys[i].first, keys[i].second) ? 1 : 0; };
        if (services_.TakesConcurrentCalls()) ForEachIndex(keys.size(), ask);
        else for (size_t i = 0; i < keys.size(); ++i) ask(i);
        for (size_t i = 0; i < keys.size(); ++i) changeable_.emplace(keys[i], answers[i] != 0);
        // The triggers of the services the file disables, which the preview tells: asked together too.
        std::vector<std::wstring> disabling;
        for (const ConfigRecord& record : records_) {
            Model::Service* service = model_.Get(record.Name);
            if (service && record.StartMode == L"Disabled" && service->mode != L"Disabled") disabling.push_back(record.Name);
        }
        std::vector<bool> triggers = services_.TriggerStarts(disabling);
        for (size_t i = 0; i < disabling.size() && i < triggers.size(); ++i) triggered_[disabling[i]] = triggers[i];
    }

    bool Triggered(const std::wstring& name) {
        auto known = triggered_.find(name);
        if (known == triggered_.end()) known = triggered_.emplace(name, services_.TriggerStarts({name}).at(0)).first;
        return known->second;
    }

    // Whether the record's service takes the orders an application sends it: one Windows protects refuses
    // them all (told once, and planned as left as it is).
    bool Changeable(const ConfigRecord& record, ServiceManager::Change change) {
        auto key = std::make_pair(record.Name, change);
        auto known = changeable_.find(key);
        if (known == changeable_.end()) known = changeable_.emplace(key, services_.MayChange(record.Name, change)).first;
        if (!known->second && listed_.insert(record.Name).second)
            Line(PlanLine::Kind::Refused, record.Name, RefusedRecordLine(record.Name, ReturnCode::AccessDenied));
        return known->second;
    }
    // Passes 2 to 4.
    void State(int pass, size_t index) {
        const ConfigRecord& record = records_[index];
        const RecordFacts& f = facts_[record.Name];
        if (!f.Acted() || !SetsStateIn(pass, f.statePass, order_, record.State) || begun_[index]) return;
        Act(index);
    }
    void Act(size_t index) {
        begun_[index] = true;
        const ConfigRecord& record = records_[index];
        const RecordFacts& f = facts_[record.Name];
        if (record.State == L"Running" || (Undoing() && record.State == L"Paused")) Start(record, f);
        else if (record.State == L"Stopped") Stop(record, f);
        else NotApplied(record);
    }
    // As the application does: the records wanting stopped a service depending on this one go first.
    void StopDependentRecordsFirst(const std::wstring& name) {
        PlanLook look(model_, services_);
        for (const std::wstring& dependent : WhatOrderChanges(look, name, OrderKind::Stop).Others()) {
            auto wanting = wantedStopped_.find(dependent);
            if (wanting == wantedStopped_.end()) continue;
            for (size_t index : wanting->second)
                if (!begun_[index] && facts_[records_[index].Name].Acted()) Act(index);
        }
    }
    void NotApplied(const ConfigRecord& record) {
        Model::Service* service = model_.Get(record.Name);
        if (!record.State.empty() && service->state != record.State)
            Line(PlanLine::Kind::StateNotApplied, record.Name, StateNotAppliedLine(record));
    }
    // Pass 1. An undo that must start a service it disables again gives it Manual meanwhile (the line
    // shows where it ends).
    void StartMode(const ConfigRecord& record) {
        Model::Service* service = model_.Get(record.Name);
        const RecordFacts& f = facts_[record.Name];
        if (!service || !f.Acted() || !AppliedStartMode(record.StartMode)) return;
        std::wstring& mode = model_.Mode(*service, record.Name);
        if (mode != record.StartMode) {
            if (!Changeable(record, ServiceManager::Change::Configuration)) return;
            WarnIfDiscouraged(record.Name, f.mark);
            Line(PlanLine::Kind::StartMode, record.Name, record.Name + texts::kPreviewStartMode + Arrow(mode, record.StartMode));
            if (record.StartMode == L"Disabled" && Triggered(record.Name))
                Line(PlanLine::Kind::Trigger, record.Name, record.Name + texts::kTriggerDisabled);
            Touch(record.Name, record.DisplayName);
        }
        mode = DisabledLast(record) ? std::wstring(L"Manual") : record.StartMode;
    }
    void Start(const ConfigRecord& record, const RecordFacts& f) {
        Model::Service* service = model_.Get(record.Name);
        if (service->state == record.State || !Changeable(record, ServiceManager::Change::Start)) return;
        WarnIfDiscouraged(record.Name, f.mark);
        std::wstring change = record.Name + texts::kPreviewState + Arrow(service->state, record.State);
        // A paused service is resumed, whatever its start mode; a stopped one must be allowed to start.
        if (!Active(service->state) && model_.Mode(*service, record.Name) == L"Disabled") {
            Line(PlanLine::Kind::State, record.Name, change + texts::kPreviewStartRefused);
            return;
        }
        PlanLook look(model_, services_);
        OrderReach reach = WhatOrderChanges(look, record.Name, OrderKind::Start);
        std::vector<std::wstring> toStart = reach.Others();
        // The guard first: a prerequisite it refuses refuses the start, whatever else would happen.
        if (std::optional<std::wstring> refused = RefusedPrerequisite(toStart, forbiddenList_)) {
            Line(PlanLine::Kind::PrerequisiteRefused, record.Name,
                 WithReason(RefusedPrerequisiteLine(record.Name, *refused), ReasonOf(*refused, forbiddenList_)));
            return;
        }
        if (!reach.unreadable.empty()) {
            Line(PlanLine::Kind::PrerequisiteRefused, record.Name, UnreadablePrerequisiteLine(record.Name, reach.unreadable.front()));
            return;
        }
        if (reach.code != ReturnCode::Success) {
            Line(PlanLine::Kind::State, record.Name, change + texts::kPreviewStartRefused);
            return;
        }
        for (size_t i = 0; i < reach.services.size(); ++i) {
            const std::wstring& needed = reach.services[i];
            if (reach.cause[i].empty()) continue;
            WarnIfDiscouraged(needed, MarkOf(needed, forbiddenList_));
            Line(PlanLine::Kind::PrerequisiteStarted, needed, needed + texts::kPreviewPrerequisite + reach.cause[i]);
            // A driver is no service a configuration names (no inventory lists it): the undo file, a
            // configuration like any other, leaves it out, and the undo leaves it running.
            if (model_.Get(needed)->listed) Touch(needed, L"");
            model_.Get(needed)->state = L"Running";
        }
        Line(PlanLine::Kind::State, record.Name, change);
        Touch(record.Name, record.DisplayName);
        service->state = record.State;
    }
    void Stop(const ConfigRecord& record, const RecordFacts& f) {
        Model::Service* service = model_.Get(record.Name);
        if (!Active(service->state)) return;
        StopDependentRecordsFirst(record.Name);
        if (!Changeable(record, ServiceManager::Change::Stop)) return;
        WarnIfDiscouraged(record.Name, f.mark);
        Line(PlanLine::Kind::State, record.Name, record.Name + texts::kPreviewState + Arrow(service->state, record.State));
        // Every active service depending on it, at any depth, holds the stop: the application stops
        // dependents first, so those still active here are those the file does not stop.
        PlanLook look(model_, services_);
        std::vector<std::wstring> held = WhatOrderChanges(look, record.Name, OrderKind::Stop).Others();
        for (const std::wstring& dependent : held)
            Line(PlanLine::Kind::DependentRunning, dependent,
                 dependent + texts::kPreviewDependentRunning + record.Name + texts::kPreviewStopRefused);
        // The stop is refused while they run; but one of them may yet stop by itself before the stop is sent
        // (a start that fails), and then it goes through: the undo file keeps the service all the same.
        Touch(record.Name, record.DisplayName);
        if (!held.empty()) return;
        service->state = L"Stopped";
    }

    ServiceManager& services_;
    std::vector<ConfigRecord> records_;
    std::vector<std::wstring> notes_;
    const std::vector<ForbiddenEntry>& forbiddenList_;
    ApplyOrder order_;
    Model model_;
    FactsByName facts_;
    Plan plan_;
    std::set<std::wstring, ServiceNameLess> listed_;  // services with a forbidden, discouraged or absent line
    std::set<std::wstring, ServiceNameLess> touched_;
    std::map<std::pair<std::wstring, ServiceManager::Change>, bool> changeable_;
    std::map<std::wstring, bool, ServiceNameLess> triggered_;  // whether each service starts on a trigger
    std::vector<bool> begun_;  // whether each record's state step has begun (done once, in any pass)
    std::map<std::wstring, std::vector<size_t>, ServiceNameLess> wantedStopped_;
};

}  // namespace

Plan PlanApplication(ServiceManager& services, const std::vector<ConfigRecord>& records,
                     const std::vector<ForbiddenEntry>& forbiddenList, ApplyOrder order) {
    return Planner(services, records, forbiddenList, order).Run();
}

std::vector<PlanLine> CompareMachine(ServiceManager& services, const std::vector<ConfigRecord>& asSaved) {
    std::vector<PlanLine> lines;
    Model model(services);
    PerUserResolution resolved = ResolvePerUser(asSaved, model.inventory);
    const std::vector<ConfigRecord>& records = resolved.records;
    model.ReadModes(records);
    for (const std::wstring& note : resolved.notes) lines.push_back({PlanLine::Kind::PerUser, L"", note});
    // A service the file itself keeps from its wanted state is a conflict of the file, not a difference
    // that another application would remove.
    std::set<std::wstring, ServiceNameLess> conflicting;
    auto wants = [&](const wchar_t* state) {
        return std::any_of(records.begin(), records.end(), [&](const ConfigRecord& r) { return r.State == state; });
    };
    if (wants(L"Stopped") && wants(L"Running")) {
        FactsByName facts = LearnFacts(services, records, {}, [&](const std::wstring& name) { return model.Get(name) != nullptr; });
        for (const Conflict& conflict : Conflicts(services, records, facts)) {
            conflicting.insert(conflict.stopped);
            lines.push_back({PlanLine::Kind::Conflict, conflict.stopped, conflict.Line()});
        }
    }
    std::set<std::wstring, ServiceNameLess> seen;
    for (const ConfigRecord& record : records) {
        StayResponsive();
        if (!seen.insert(record.Name).second) continue;
        Model::Service* service = model.Get(record.Name);
        if (!service) {
            lines.push_back({PlanLine::Kind::Absent, record.Name, texts::kApplyAbsent + record.Name});
            continue;
        }
        const std::wstring& mode = model.Mode(*service, record.Name);
        if (AppliedStartMode(record.StartMode) && mode.empty())
            // Listed, but its configuration refused to be read (a service Windows protects).
            lines.push_back({PlanLine::Kind::Refused, record.Name, RefusedRecordLine(record.Name, ReturnCode::AccessDenied)});
        else if (AppliedStartMode(record.StartMode) && mode != record.StartMode)
            lines.push_back({PlanLine::Kind::StartMode, record.Name,
                             record.Name + texts::kCompareStartMode + service->mode + texts::kCompareWanted + record.StartMode});
        // A paused service is not a stopped one, nor a running one.
        bool compared = AppliedState(record.State) || record.State == L"Paused";
        if (compared && service->state != record.State && !conflicting.count(record.Name)) {
            // Windows starts and stops a trigger-start service itself: its state is no difference.
            bool trigger = mode != L"Disabled" && services.TriggerStarts({record.Name}).at(0);
            lines.push_back({trigger ? PlanLine::Kind::Trigger : PlanLine::Kind::State, record.Name,
                             trigger ? record.Name + texts::kTriggerNote + service->state
                                     : record.Name + texts::kCompareState + service->state + texts::kCompareWanted + record.State});
        }
    }
    return lines;
}

bool IsDifference(const PlanLine& line) { return line.kind != PlanLine::Kind::Trigger; }

namespace {

// Why a service is not in the state wanted once the check ends: still pending, or stopped by its own
// failure (the system's sentence, and the service's own exit code when it gives one).
std::wstring WhyNotInState(ServiceManager& services, const std::wstring& name, const std::wstring& state) {
    if (state.find(L"Pending") != std::wstring::npos) return name + texts::kStillPending + state + texts::kStillPendingEnd;
    if (state != L"Stopped") return {};
    std::optional<ServiceInfo> info;
    try {
        info = services.Find(name);
    } catch (const ServiceError&) {
        return {};
    }
    unsigned long exit = info && info->ExitCode ? std::wcstoul(info->ExitCode->c_str(), nullptr, 10) : 0;
    constexpr unsigned long kNeverStarted = 1077;  // ERROR_SERVICE_NEVER_STARTED: no failure of its own
    if (!exit || exit == kNeverStarted) return {};
    std::wstring line = name + texts::kStartFailed;
    std::wstring system = SystemMessage(exit);
    if (!system.empty()) line += L" : " + system;
    constexpr unsigned long kServiceSpecificError = 1066;  // ERROR_SERVICE_SPECIFIC_ERROR
    if (exit == kServiceSpecificError && info->ServiceSpecificExitCode) line += texts::kServiceExitCode + *info->ServiceSpecificExitCode;
    return line;
}

}  // namespace

int NotInWantedState(ServiceManager& services, const std::vector<ConfigRecord>& records, int patienceMs,
                     const std::function<void(int)>& wait, const std::set<std::wstring, ServiceNameLess>& modesSet,
                     std::vector<std::wstring>* why) {
    // The machine is read once; then, while some services are still starting or stopping, only those
    // are read again.
    Model model(services);
    std::vector<ConfigRecord> wanted, modesToRead;
    std::set<std::wstring, ServiceNameLess> seen;
    for (const ConfigRecord& record : ResolvePerUser(records, model.inventory).records)
        if (model.Get(record.Name) && seen.insert(record.Name).second) {
            wanted.push_back(record);
            if (!modesSet.count(record.Name)) modesToRead.push_back(record);
        }
    model.ReadModes(modesToRead);
    // Windows starts and stops a trigger-start service itself: its state is not counted. Asked only of
    // the services whose state differs.
    std::map<std::wstring, bool, ServiceNameLess> trigger;
    auto triggered = [&](const std::wstring& name) {
        auto found = trigger.find(name);
        if (found == trigger.end()) found = trigger.emplace(name, services.TriggerStarts({name}).at(0)).first;
        return found->second;
    };
    // Short steps: a service settles in a few tens of milliseconds as a rule, and only those still
    // pending are read again.
    const int step = 50;
    for (int waited = 0;; waited += step) {
        int differing = 0;
        std::vector<std::wstring> pending, differs;
        for (const ConfigRecord& record : wanted) {
            Model::Service& service = *model.Get(record.Name);
            bool modeDiffers = AppliedStartMode(record.StartMode) && !modesSet.count(record.Name) &&
                               model.Mode(service, record.Name) != record.StartMode;
            bool stateDiffers = AppliedState(record.State) && service.state != record.State;
            // As the comparison: by the start mode the service has (one set by the application is the record's).
            if (stateDiffers) {
                const std::wstring& modeNow = modesSet.count(record.Name) ? record.StartMode : model.Mode(service, record.Name);
                if (modeNow != L"Disabled" && triggered(record.Name)) stateDiffers = false;
            }
            if (modeDiffers || stateDiffers) {
                ++differing;
                if (stateDiffers) differs.push_back(record.Name);
            }
            if (stateDiffers && service.state.find(L"Pending") != std::wstring::npos) pending.push_back(record.Name);
        }
        if (pending.empty() || waited >= patienceMs) {
            if (why)
                for (const std::wstring& name : differs)
                    if (std::wstring line = WhyNotInState(services, name, model.Get(name)->state); !line.empty())
                        why->push_back(line);
            return differing;
        }
        if (wait) wait(step);
        else Sleep(step);
        for (const std::wstring& name : pending) {
            std::optional<ServiceInfo> info;
            try {
                info = services.Find(name);
            } catch (const ServiceError&) {
            }
            model.Get(name)->state = info && info->State ? *info->State : L"";
        }
    }
}

std::vector<ExportEntry> ExportEntriesFor(ServiceManager& services, const std::vector<ConfigRecord>& records,
                                          const std::vector<ForbiddenEntry>& forbiddenList) {
    Model model(services);
    PerUserResolution resolved = ResolvePerUser(records, model.inventory);
    FactsByName facts = LearnFacts(services, resolved.records, forbiddenList,
                                   [&](const std::wstring& name) { return model.Get(name) != nullptr; });
    std::vector<ExportEntry> entries;
    std::set<std::wstring, ServiceNameLess> written;
    for (const ConfigRecord& record : resolved.records) {
        StayResponsive();
        // A per-user instance exists on one machine at one sign-in: a fleet sets its template's start
        // mode, which every user's instance takes; the state wanted stays a comment.
        auto instance = resolved.templateOf.find(record.Name);
        ConfigRecord exported = record;
        std::wstring perUserState;
        if (instance != resolved.templateOf.end()) {
            const Model::Service* templateService = model.Get(instance->second);
            exported = {instance->second, L"", record.StartMode, templateService ? templateService->displayName : L""};
            perUserState = record.State;
        }
        if (!written.insert(exported.Name).second) continue;
        const RecordFacts& f = facts[exported.Name];
        entries.push_back({exported, f.statePass, MarkOf(exported.Name, forbiddenList), ReasonOf(exported.Name, forbiddenList), perUserState});
    }
    return entries;
}

FleetFile FleetExport(ServiceManager& services, const std::vector<ConfigRecord>& records,
                      const std::vector<ForbiddenEntry>& forbiddenList, const std::wstring& fileName, FleetTool tool) {
    std::wstring bare = fileName.substr(fileName.find_last_of(L"\\/") == std::wstring::npos ? 0 : fileName.find_last_of(L"\\/") + 1);
    std::wstring name = bare.substr(0, bare.rfind(L'.'));
    std::vector<ExportEntry> entries = ExportEntriesFor(services, records, forbiddenList);
    if (tool == FleetTool::GroupPolicy) {
        SecurityTemplate inf = GroupPolicyTemplate(entries);
        return {std::move(inf.bytes), std::move(inf.leftOut)};
    }
    return {tool == FleetTool::Ansible ? AnsiblePlaybook(name, entries) : PowerShellScript(name, entries), {}};
}

}  // namespace kestrane
