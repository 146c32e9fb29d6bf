#include "profile/Apply.h"

#include "profile/ConfigFormat.h"
#include "base/TextFile.h"
#include "service/Programme.h"
#include "base/Texts.h"

#include <algorithm>
#include <set>

namespace kestrane {

namespace {

void AddOnce(std::vector<std::wstring>& list, const std::wstring& name) {
    if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
}

// One application of a configuration's records: pass 1 sets start modes, passes 2 to 4 states.
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
            LearnFacts();
            for (int pass = 1; pass <= 4; ++pass)
                for (size_t index = 0; index < records_.size(); ++index) Step(pass, index);
        } catch (...) {
            Interrupted();
        }
    }

private:
    void LearnFacts() {
        // One inventory and one dependency pass for the whole application.
        std::set<std::wstring, ServiceNameLess> present;
        for (const ServiceEntry& entry : services_.Inventory(false)) present.insert(entry.Name);
        facts_ = kestrane::LearnFacts(services_, records_, forbiddenList_,
                                      [&](const std::wstring& name) { return present.count(name) > 0; });
        for (const ConfigRecord& record : records_)
            if (!facts_[record.Name].present) AddOnce(report_.absent, record.Name);
    }

    void Step(int pass, size_t index) {
        const ConfigRecord& record = records_[index];
        progress_.SetValue(std::min(counter_++, maximum_));
        const RecordFacts& f = facts_[record.Name];
        if (!f.present || f.mark == Mark::Forbidden) {
            if (f.present) AddOnce(report_.forbidden, record.Name);
            stateSettled_[index] = true;
            return;
        }
        if (pass == 1) SetStartMode(record, f);
        else if (SetsStateIn(pass, f.statePass, order_, record.State)) SetState(index, f);
    }

    void SetStartMode(const ConfigRecord& record, const RecordFacts& f) {
        const wchar_t* argument = StartModeArgument(record.StartMode);
        if (!argument) return;
        int code = services_.ChangeStartMode(record.Name, argument);
        Called(record, f, code, ModifyMessage(code));
    }

    void SetState(size_t index, const RecordFacts& f) {
        const ConfigRecord& record = records_[index];
        int code = ReturnCode::Success;
        if (record.State == L"Running") {
            code = services_.StartService(record.Name);
            // Already running is where the file wants it.
            if (code == ReturnCode::ServiceAlreadyRunning) code = ReturnCode::Success;
        } else if (record.State == L"Stopped") {
            code = services_.StopService(record.Name);
            if (code == ReturnCode::ServiceNotActive) code = ReturnCode::Success;
        }
        // Settled once its call has returned: an interruption during the call leaves it undone.
        stateSettled_[index] = true;
        if (!AppliedState(record.State)) return;
        const wchar_t* message = ControlMessage(code);
        Called(record, f, code, message ? message : texts::kRequestRunning);
    }

    void Called(const ConfigRecord& record, const RecordFacts& f, int code, const wchar_t* message) {
        ++report_.callsMade;
        if (f.mark == Mark::Discouraged) AddOnce(report_.discouraged, record.Name);
        if (code != ReturnCode::Success) report_.refused.push_back(record.Name + L" : " + message);
    }

    void Interrupted() {
        report_.outcome = ApplyReport::Outcome::Interrupted;
        for (size_t i = 0; i < records_.size(); ++i)
            if (!stateSettled_[i]) AddOnce(report_.pending, records_[i].Name);
        const wchar_t* message = ControlMessage(CurrentFailureCode());
        report_.reason = message ? message : texts::kRequestRunning;
    }

    ServiceManager& services_;
    const std::vector<ConfigRecord> records_;
    const std::vector<ForbiddenEntry>& forbiddenList_;
    ApplyProgress& progress_;
    const ApplyOrder order_;
    ApplyReport& report_;
    FactsByName facts_;
    std::vector<bool> stateSettled_;  // whether each record's state was set (or needed no call)
    int maximum_ = 0;
    int counter_ = 1;
};

}  // namespace

std::vector<std::wstring> ApplyReport::Lines() const {
    std::vector<std::wstring> lines = refused;
    for (const auto& name : absent) lines.push_back(texts::kApplyAbsent + name);
    for (const auto& name : forbidden) lines.push_back(texts::kApplyForbidden + name);
    for (const auto& name : discouraged) lines.push_back(texts::kApplyDiscouraged + name);
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
    report.records = static_cast<int>(records.size());
    if (records.empty()) {
        report.outcome = ApplyReport::Outcome::EmptyFile;
        return report;
    }
    Application(services, std::move(records), forbiddenList, progress, order, report).Run();
    return report;
}

}  // namespace kestrane
