#include "profile/Apply.h"

#include "profile/ConfigFormat.h"
#include "base/TextFile.h"
#include "service/OrderReach.h"
#include "service/Programme.h"
#include "service/Parallel.h"
#include "base/Texts.h"

#include <algorithm>
#include <map>
#include <set>

namespace kestrane {

namespace {

// Lists of names that hold each name once, in the order first added: a set beside each list keeps the
// check from searching the list (an application of tens of thousands of absent records stays linear).
class OnceLists {
public:
    void Add(std::vector<std::wstring>& list, const std::wstring& name) {
        if (held_[&list].insert(name).second) list.push_back(name);
    }

private:
    std::map<const std::vector<std::wstring>*, std::set<std::wstring>> held_;
};

// The machine as the application expects it by the time it sends an order: the states it read and has
// since set itself; a service no inventory lists (a driver) is opened by name.
class ApplicationLook : public MachineLook {
public:
    using Modes = std::map<std::wstring, std::wstring, ServiceNameLess>;
    ApplicationLook(ServiceManager& services, FactsByName& facts, const std::map<std::wstring, std::wstring, ServiceNameLess>& states,
                    Modes& modes)
        : services_(services), facts_(facts), states_(states), modes_(modes), live_(services) {}
    std::optional<std::wstring> State(const std::wstring& name) override {
        auto found = states_.find(name);
        if (found != states_.end()) return found->second;
        return live_.State(name);
    }
    // The start modes are set before any state: once read (or set by the application), they hold.
    bool Disabled(const std::wstring& name) override {
        auto known = modes_.find(name);
        if (known == modes_.end()) {
            Text mode;
            try {
                mode = services_.StartModes({name}).at(0);
            } catch (const ServiceError&) {
            }
            known = modes_.emplace(name, mode.value_or(L"")).first;
        }
        return known->second == L"Disabled";
    }
    std::vector<std::wstring> Needs(const std::wstring& name) override {
        auto known = facts_.find(name);
        if (known != facts_.end() && known->second.present && !known->second.unreadable) return known->second.prerequisites;
        return services_.ServicesDependedOn(name);  // a protected service refuses again: the walk says so
    }
    std::vector<std::wstring> NeededBy(const std::wstring& name) override { return services_.DependentServices(name); }

private:
    ServiceManager& services_;
    FactsByName& facts_;
    const std::map<std::wstring, std::wstring, ServiceNameLess>& states_;
    Modes& modes_;
    LiveLook live_;
};

// One application of a configuration's records: pass 1 sets start modes, passes 2 to 4 states; an undo
// then sets what it had to keep for last.
class Application {
public:
    Application(ServiceManager& services, std::vector<ConfigRecord> records,
                const std::vector<ForbiddenEntry>& forbiddenList, ApplyProgress& progress, ApplyOrder order,
                ApplyReport& report)
        : services_(services), records_(std::move(records)), forbiddenList_(forbiddenList), progress_(progress),
          order_(order), report_(report), stateSettled_(records_.size(), false) {}

    // Throws nothing: a failure of the service interface ends the application as Interrupted.
    void Run() {
        maximum_ = 4 * (report_.records + 1) + 1;
        progress_.SetMaximum(maximum_);
        try {
            Learn();
            StartModes();
            for (int pass = 2; pass <= 4; ++pass) {
                ReadMachineNow(pass);
                for (size_t index = 0; index < records_.size(); ++index) Step(pass, index);
            }
            for (const ConfigRecord& record : records_) DisableLast(record);
            TellUntouched();
        } catch (...) {
            Interrupted();
        }
        KeepModesSetOfOneRecord();
    }

private:
    void Learn() {
        // One inventory and one dependency pass for the whole application.
        std::vector<ServiceEntry> inventory = services_.Inventory(false);
        for (const ServiceEntry& entry : inventory) states_[entry.Name] = entry.State.value_or(L"");
        PerUserResolution resolved = ResolvePerUser(records_, inventory);
        records_ = std::move(resolved.records);
        stateSettled_.assign(records_.size(), false);
        begun_.assign(records_.size(), false);
        for (size_t index = 0; index < records_.size(); ++index)
            if (records_[index].State == L"Stopped") wantedStopped_[records_[index].Name].push_back(index);
        report_.notes = std::move(resolved.notes);
        facts_ = LearnFacts(services_, records_, forbiddenList_,
                            [&](const std::wstring& name) { return states_.count(name) > 0; });
        for (const ConfigRecord& record : records_) {
            const RecordFacts& f = facts_[record.Name];
            if (!f.present) once_.Add(report_.absent, record.Name);
            else if (f.unreadable) once_.Add(report_.refused, RefusedRecordLine(record.Name, f.unreadable));
        }
        for (const ForbiddenEntry& entry : forbiddenList_)
            if (!entry.Reason.empty()) report_.reasons.try_emplace(entry.Name, entry.Reason);
        for (const ConfigRecord& record : records_)
            if (std::wstring reason = ReasonOf(record.Name, forbiddenList_); !reason.empty())
                report_.reasons.try_emplace(record.Name, reason);
        for (const Conflict& conflict : Conflicts(services_, records_, facts_)) report_.notes.push_back(conflict.Line());
    }

    // The machine as this pass begins, from one enumeration, for a pass that starts or stops something:
    // the services it stops that are stopped already are not sent a stop (one call less for each, where a
    // machine's services are mostly stopped), and the states the application did not set itself are read
    // again (Windows may have started or stopped a service since: a trigger, a failed start), so that the
    // guard decides on the machine as it is. When the enumeration fails, every stop is sent, as the database
    // answers it, and the states stay as known.
    void ReadMachineNow(int pass) {
        stoppedNow_.clear();
        bool acts = false;
        for (const ConfigRecord& record : records_)
            if ((record.State == L"Stopped" || record.State == L"Running") &&
                SetsStateIn(pass, facts_[record.Name].statePass, order_, record.State))
                acts = true;
        if (!acts) return;
        try {
            for (const ServiceEntry& entry : services_.Inventory(false)) {
                if (entry.State && *entry.State == L"Stopped") stoppedNow_.insert(entry.Name);
                if (entry.State && !setByApplication_.count(entry.Name)) states_[entry.Name] = *entry.State;
            }
        } catch (const ServiceError&) {
            stoppedNow_.clear();
        }
    }

    // The start mode of a service as it is now, read only for the few records that need it.
    std::wstring ModeNow(const std::wstring& name) {
        try {
            std::optional<ServiceInfo> info = services_.Find(name);
            return info && info->StartMode ? *info->StartMode : L"";
        } catch (const ServiceError&) {
            return L"";  // a service Windows protects from being read
        }
    }

    // A record of an undo that brings back a running service whose start mode was Disabled: started
    // first (with the start mode Manual meanwhile), disabled once it runs.
    bool DisabledLast(const ConfigRecord& record) const {
        return order_ == ApplyOrder::Undo && record.StartMode == L"Disabled" &&
               (record.State == L"Running" || record.State == L"Paused");
    }

    void Step(int pass, size_t index) {
        const ConfigRecord& record = records_[index];
        progress_.SetValue(std::min(counter_++, maximum_));
        const RecordFacts& f = facts_[record.Name];
        if (!f.Acted()) {
            stateSettled_[index] = true;
            return;
        }
        if (SetsStateIn(pass, f.statePass, order_, record.State) && !begun_[index]) SetState(index, f);
    }

    // Before a stop, the records that want stopped a service depending on it, at any depth, are done first
    // (whatever their pass and place in the file): Windows refuses a stop while a dependent still runs.
    void StopDependentRecordsFirst(const std::wstring& name) {
        ApplicationLook look(services_, facts_, states_, modes_);
        for (const std::wstring& dependent : WhatOrderChanges(look, name, OrderKind::Stop).Others()) {
            auto wanting = wantedStopped_.find(dependent);
            if (wanting == wantedStopped_.end()) continue;
            for (size_t index : wanting->second)
                if (!begun_[index] && facts_[records_[index].Name].Acted()) SetState(index, facts_[records_[index].Name]);
        }
    }

    // Pass 1. The start modes are independent of one another: where the service layer takes calls from
    // several threads, they are changed together; the report is written in the records' order either way.
    void StartModes() {
        std::vector<StartModeChange> changes(records_.size());
        auto change = [&](size_t index) {
            const RecordFacts& f = facts_.at(records_[index].Name);  // read only: other threads read it too
            if (f.Acted()) changes[index] = ChangeStartMode(records_[index], f);
        };
        if (services_.TakesConcurrentCalls()) {
            ForEachIndex(records_.size(), change);
        } else {
            for (size_t index = 0; index < records_.size(); ++index) change(index);
        }
        for (size_t index = 0; index < records_.size(); ++index) {
            progress_.SetValue(std::min(counter_++, maximum_));
            const RecordFacts& f = facts_.at(records_[index].Name);
            if (!f.Acted()) stateSettled_[index] = true;
            else Report(records_[index], changes[index]);
        }
    }

    struct StartModeChange {
        bool asked = false;
        int code = ReturnCode::Success;
        bool discouragedChanged = false;
    };

    // Touches nothing of the application but what it returns: it may run on another thread.
    StartModeChange ChangeStartMode(const ConfigRecord& record, const RecordFacts& f) {
        StartModeChange out;
        const std::wstring asked = DisabledLast(record) ? std::wstring(L"Manual") : record.StartMode;
        const wchar_t* argument = StartModeArgument(asked);
        if (!argument) return out;
        out.asked = true;
        bool discouraged = f.mark == Mark::Discouraged;
        std::wstring before = discouraged ? ModeNow(record.Name) : L"";
        out.code = services_.ChangeStartMode(record.Name, argument);
        // A start mode refused where the service already has it is where the application wants it.
        if (out.code != ReturnCode::Success && ModeNow(record.Name) == asked) out.code = ReturnCode::Success;
        out.discouragedChanged = discouraged && out.code == ReturnCode::Success && before != asked;
        return out;
    }

    void Report(const ConfigRecord& record, const StartModeChange& change) {
        if (!change.asked) return;
        ++report_.callsMade;
        if (change.discouragedChanged) once_.Add(report_.discouraged, record.Name);
        if (change.code == ReturnCode::AccessDenied || change.code == ReturnCode::ServiceMarkedForDeletion)
            report_.refused.push_back(RefusedRecordLine(record.Name, change.code));
        else if (change.code != ReturnCode::Success) report_.refused.push_back(record.Name + L" : " + ModifyMessage(change.code));
        else if (!DisabledLast(record)) {
            report_.modesSet.insert(record.Name);
            modes_[record.Name] = record.StartMode;
        }
    }

    void SetState(size_t index, const RecordFacts& f) {
        begun_[index] = true;
        const ConfigRecord& record = records_[index];
        setByApplication_.insert(record.Name);
        std::wstring& now = states_[record.Name];
        const std::wstring was = now;
        std::optional<int> code;  // nothing when no call was made
        if (record.State == L"Running" || (order_ == ApplyOrder::Undo && record.State == L"Paused")) code = Bring(record, now);
        else if (record.State == L"Stopped") code = StopNow(record, now);
        else if (!record.State.empty() && record.State != now) report_.notes.push_back(StateNotAppliedLine(record));
        // Settled once its call has returned: an interruption during the call leaves it undone.
        stateSettled_[index] = true;
        if (!code) return;
        if (f.mark == Mark::Discouraged && *code == ReturnCode::Success && now != was) once_.Add(report_.discouraged, record.Name);
        if (*code != ReturnCode::Success) report_.refused.push_back(RefusedRecordLine(record.Name, *code));
    }

    // Starts the service (an undo then pauses it again where it was paused). Nothing when the start was
    // refused before any call (a forbidden prerequisite).
    std::optional<int> Bring(const ConfigRecord& record, std::wstring& now) {
        if (now == L"Stopped" && !StartAllowed(record)) return std::nullopt;
        int code = Start(record.Name, now);
        // A paused service answers a start with "already running": wanted running, it is resumed.
        if (code == ReturnCode::Success && now == L"Paused" && record.State == L"Running") {
            code = services_.ResumeService(record.Name);
            ++report_.callsMade;
            if (code == ReturnCode::Success) now = L"Running";
        }
        if (code != ReturnCode::Success || record.State != L"Paused" || now == L"Paused") return code;
        // A service still starting accepts no pause (ERROR_SERVICE_CANNOT_ACCEPT_CTRL): its start first.
        Settle(record.Name);
        code = services_.PauseService(record.Name);
        ++report_.callsMade;
        if (code == ReturnCode::ServiceAlreadyPaused) code = ReturnCode::Success;
        if (code == ReturnCode::Success) now = L"Paused";
        return code;
    }

    std::optional<int> StopNow(const ConfigRecord& record, std::wstring& now) {
        const std::wstring& name = record.Name;
        if (stoppedNow_.count(name)) {
            now = L"Stopped";
            return std::nullopt;
        }
        StopDependentRecordsFirst(name);
        if (!StopAllowed(record)) return std::nullopt;
        // Its own start, if the application sent one, first: a starting service accepts no stop.
        Settle(name);
        int code = services_.StopService(name);
        ++report_.callsMade;
        if (code == ReturnCode::ServiceNotActive) code = ReturnCode::Success;
        if (code == ReturnCode::Success) {
            now = L"Stopped";
            inFlight_.insert(name);
        }
        return code;
    }

    // Whether the start may be sent: the guard decides on every service it would change (what it needs
    // that is stopped, at any depth, drivers included). One the forbidden list refuses refuses the start.
    bool StartAllowed(const ConfigRecord& record) {
        ApplicationLook look(services_, facts_, states_, modes_);
        OrderReach reach = WhatOrderChanges(look, record.Name, OrderKind::Start);
        std::vector<std::wstring> others = reach.Others();
        if (std::optional<std::wstring> refused = RefusedPrerequisite(others, forbiddenList_)) {
            report_.refused.push_back(
                WithReason(RefusedPrerequisiteLine(record.Name, *refused), ReasonOf(*refused, forbiddenList_)));
            return false;
        }
        if (!reach.unreadable.empty()) {
            report_.refused.push_back(UnreadablePrerequisiteLine(record.Name, reach.unreadable.front()));
            return false;
        }
        // A prerequisite that cannot start fails the start half-way, after Windows started those before it:
        // not sent. (A disabled service is refused before anything starts: its start is sent, and answered.)
        if (reach.code != ReturnCode::Success && reach.code != ReturnCode::ServiceDisabled) {
            report_.refused.push_back(RefusedRecordLine(record.Name, reach.code));
            return false;
        }
        toStart_ = others;
        return true;
    }

    // Whether the stop may be sent: every active service depending on it, at any depth, must stop first.
    // One the forbidden list refuses keeps it running: the stop is refused before it is sent (Windows would
    // refuse it too, the dependent still running).
    bool StopAllowed(const ConfigRecord& record) {
        ApplicationLook look(services_, facts_, states_, modes_);
        std::vector<std::wstring> dependents = WhatOrderChanges(look, record.Name, OrderKind::Stop).Others();
        if (std::optional<std::wstring> refused = RefusedPrerequisite(dependents, forbiddenList_)) {
            report_.refused.push_back(
                WithReason(record.Name + texts::kStopHeldBy + *refused, ReasonOf(*refused, forbiddenList_)));
            return false;
        }
        // A dependent the application started or stopped, at any depth, may still be pending: Windows
        // refuses the stop until it has settled (ERROR_DEPENDENT_SERVICES_RUNNING).
        if (!inFlight_.empty()) {
            std::vector<std::wstring> all;
            try {
                all = AllDependents(record.Name);
            } catch (const ServiceError&) {
                all.assign(inFlight_.begin(), inFlight_.end());
            }
            for (const std::wstring& dependent : all) Settle(dependent);
        }
        return true;
    }

    std::vector<std::wstring> AllDependents(const std::wstring& name) {
        std::vector<std::wstring> out, todo{name};
        std::set<std::wstring, ServiceNameLess> seen{name};
        while (!todo.empty()) {
            std::wstring next = std::move(todo.back());
            todo.pop_back();
            for (const std::wstring& dependent : services_.DependentServices(next))
                if (seen.insert(dependent).second) {
                    out.push_back(dependent);
                    todo.push_back(dependent);
                }
        }
        return out;
    }

    // Waits, while the windows keep painting, for a service the application sent an order to and that
    // may still be starting or stopping; one that does not settle within what it promised is named.
    void Settle(const std::wstring& name) {
        auto found = inFlight_.find(name);
        if (found == inFlight_.end()) return;
        inFlight_.erase(found);
        if (!services_.WaitWhilePending(name)) once_.Add(report_.stillPending, name);
    }

    int Start(const std::wstring& name, std::wstring& now) {
        // A service the application stopped and still stopping cannot be started yet, nor can one it needs.
        Settle(name);
        for (const std::wstring& needed : toStart_) Settle(needed);
        int code = services_.StartService(name);
        ++report_.callsMade;
        if (code == ReturnCode::Success) {
            inFlight_.insert(name);
            for (const std::wstring& started : toStart_) inFlight_.insert(started);
        }
        // Already running is where the file wants it.
        if (code == ReturnCode::ServiceAlreadyRunning) code = ReturnCode::Success;
        ForgetStoppedThrough(name);
        if (code == ReturnCode::Success && now == L"Stopped") {
            now = L"Running";
            for (const std::wstring& started : toStart_) {
                states_[started] = L"Running";
                setByApplication_.insert(started);
                if (MarkOf(started, forbiddenList_) == Mark::Discouraged) once_.Add(report_.discouraged, started);
            }
        }
        toStart_.clear();
        return code;
    }

    // A start starts the service and whatever it needs that is stopped then, whatever the application
    // knew of them: none of them may keep the stopped state the pass found.
    void ForgetStoppedThrough(const std::wstring& name) {
        std::vector<std::wstring> todo{name};
        std::set<std::wstring, ServiceNameLess> seen;
        try {
            while (!todo.empty() && !stoppedNow_.empty()) {
                std::wstring next = std::move(todo.back());
                todo.pop_back();
                if (!seen.insert(next).second) continue;
                stoppedNow_.erase(next);
                auto known = facts_.find(next);
                std::vector<std::wstring> needs = known != facts_.end() && known->second.present && !known->second.unreadable
                                                      ? known->second.prerequisites
                                                      : services_.ServicesDependedOn(next);
                todo.insert(todo.end(), needs.begin(), needs.end());
            }
        } catch (const ServiceError&) {
            stoppedNow_.clear();  // what it needs is unknown: every later stop is sent
        }
    }

    // A service named by several records with a start mode ends with whichever was set last: the
    // closing check reads its start mode again.
    void KeepModesSetOfOneRecord() {
        std::map<std::wstring, int, ServiceNameLess> asked;
        for (const ConfigRecord& record : records_)
            if (StartModeArgument(record.StartMode)) ++asked[record.Name];
        for (const auto& [name, count] : asked)
            if (count > 1) report_.modesSet.erase(name);
    }

    void DisableLast(const ConfigRecord& record) {
        const RecordFacts& f = facts_[record.Name];
        if (!DisabledLast(record) || !f.Acted()) return;
        int code = services_.ChangeStartMode(record.Name, L"Disabled");
        ++report_.callsMade;
        if (code != ReturnCode::Success) report_.refused.push_back(record.Name + L" : " + ModifyMessage(code));
        else report_.modesSet.insert(record.Name);
    }

    // A service the forbidden list keeps from being changed is told only where the machine is not as
    // the file wants it.
    void TellUntouched() {
        for (const ConfigRecord& record : records_) {
            const RecordFacts& f = facts_[record.Name];
            if (!f.present || f.mark != Mark::Forbidden) continue;
            bool modeDiffers = AppliedStartMode(record.StartMode) && ModeNow(record.Name) != record.StartMode;
            // A paused state no application sets is told too, as the comparison tells it.
            bool stateDiffers = (AppliedState(record.State) || record.State == L"Paused") && states_[record.Name] != record.State;
            if (modeDiffers || stateDiffers) once_.Add(report_.forbidden, record.Name);
        }
    }

    void Interrupted() {
        report_.outcome = ApplyReport::Outcome::Interrupted;
        for (size_t i = 0; i < records_.size(); ++i)
            if (!stateSettled_[i]) once_.Add(report_.pending, records_[i].Name);
        const wchar_t* message = ControlMessage(CurrentFailureCode());
        report_.reason = message ? message : texts::kRequestRunning;
    }

    ServiceManager& services_;
    std::vector<ConfigRecord> records_;
    const std::vector<ForbiddenEntry>& forbiddenList_;
    ApplyProgress& progress_;
    const ApplyOrder order_;
    ApplyReport& report_;
    FactsByName facts_;
    std::map<std::wstring, std::wstring, ServiceNameLess> states_;  // the machine's states as the application left them
    std::vector<std::wstring> toStart_;                              // what the next start starts first
    std::set<std::wstring, ServiceNameLess> stoppedNow_;             // stopped as the current pass began
    OnceLists once_;
    std::set<std::wstring, ServiceNameLess> setByApplication_;  // states the application set, not read again
    ApplicationLook::Modes modes_;  // start modes known once the start modes are set
    std::set<std::wstring, ServiceNameLess> inFlight_;  // sent a start or a stop, maybe not yet settled
    std::vector<bool> stateSettled_;  // whether each record's state was set (or needed no call)
    std::vector<bool> begun_;         // whether each record's state step has begun (done once, in any pass)
    std::map<std::wstring, std::vector<size_t>, ServiceNameLess> wantedStopped_;  // the records wanting each stopped
    int maximum_ = 0;
    int counter_ = 1;
};

}  // namespace

std::vector<std::wstring> ApplyReport::Lines() const {
    std::vector<std::wstring> lines = refused;
    for (const auto& name : absent) lines.push_back(texts::kApplyAbsent + name);
    auto reason = [&](const std::wstring& name) {
        auto found = reasons.find(name);
        return found == reasons.end() ? std::wstring() : found->second;
    };
    for (const auto& name : forbidden) lines.push_back(WithReason(texts::kApplyForbidden + name, reason(name)));
    for (const auto& name : discouraged) lines.push_back(WithReason(texts::kApplyDiscouraged + name, reason(name)));
    for (const auto& name : stillPending) lines.push_back(name + texts::kNotSettled);
    for (const auto& note : notes) lines.push_back(note);
    return lines;
}

std::vector<std::wstring> ApplyReport::ClosingLines() const {
    std::vector<std::wstring> lines;
    if (outcome == Outcome::Interrupted) {
        lines.push_back(texts::kApplyInterrupted + reason);
        lines.push_back(texts::kApplyProgressDone + std::to_wstring(callsMade));
    } else {
        lines.push_back(Clean() ? texts::kApplyDone : texts::kApplyDoneWithErrors);
    }
    for (const std::wstring& line : Lines()) lines.push_back(line);
    if (outcome == Outcome::Interrupted && !pending.empty()) {
        lines.push_back(texts::kApplyNotReached);
        for (const std::wstring& name : pending) lines.push_back(name);
    }
    return lines;
}

ApplyReport AppliqueConf(ServiceManager& services, const std::wstring& path,
                         const std::vector<ForbiddenEntry>& forbiddenList, ApplyProgress& progress,
                         ApplyOrder order) {
    ApplyReport report;
    std::vector<ConfigRecord> records;
    try {
        if (!FileExists(path)) {
            report.outcome = ApplyReport::Outcome::MissingFile;
            return report;
        }
        records = RecordsToApply(path);
    } catch (...) {
        report.outcome = ApplyReport::Outcome::MissingFile;
        return report;
    }
    return ApplyRecords(services, std::move(records), forbiddenList, progress, order);
}

ApplyReport ApplyRecords(ServiceManager& services, std::vector<ConfigRecord> records,
                         const std::vector<ForbiddenEntry>& forbiddenList, ApplyProgress& progress, ApplyOrder order) {
    ApplyReport report;
    report.records = static_cast<int>(records.size());
    if (records.empty()) {
        report.outcome = ApplyReport::Outcome::EmptyFile;
        return report;
    }
    Application(services, std::move(records), forbiddenList, progress, order, report).Run();
    return report;
}

}  // namespace kestrane
