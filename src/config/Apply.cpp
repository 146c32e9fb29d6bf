#include "config/Apply.h"

#include "config/ConfigFormat.h"
#include "config/TextFile.h"
#include "service/Programme.h"
#include "win/Texts.h"

#include <algorithm>
#include <map>

namespace kestrane {

namespace {

// What an application needs to know of a record's service, established once per application.
struct Facts {
    bool present = false;
    bool hasPrerequisite = false;
    bool hasDependent = false;
    Mark mark = Mark::None;
};

void AddOnce(std::vector<std::wstring>& list, const std::wstring& name) {
    if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
}

const wchar_t* StartModeArgument(const std::wstring& startMode) {
    if (startMode == L"Auto") return L"Automatic";
    if (startMode == L"Manual") return L"Manual";
    if (startMode == L"Disabled") return L"Disabled";
    return nullptr;
}

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

std::optional<std::vector<ForbiddenEntry>> ReadForbiddenList(const std::wstring& cheminAppli) {
    std::wstring path = cheminAppli + L"liste\\interdit.txt";
    try {
        if (!FileExists(path)) return std::nullopt;
        return ParseForbiddenList(ReadFileBytes(path));
    } catch (...) {
        return std::nullopt;
    }
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
        records = ReadConfigFile(path);
    } catch (...) {
        report.outcome = ApplyReport::Outcome::MissingFile;
        return report;
    }
    // Records without a name are skipped by every pass.
    records.erase(std::remove_if(records.begin(), records.end(), [](const ConfigRecord& r) { return r.Name.empty(); }),
                  records.end());
    report.records = static_cast<int>(records.size());
    if (records.empty()) {
        report.outcome = ApplyReport::Outcome::EmptyFile;
        return report;
    }
    const int maximum = 4 * (report.records + 1) + 1;
    // Whether each record's state was set (or needed no call): what an interruption leaves undone.
    std::vector<bool> stateSettled(records.size(), false);
    progress.SetMaximum(maximum);
    int counter = 1;

    try {
        // One inventory and one dependency pass for the whole application.
        std::map<std::wstring, Facts, ServiceNameLess> facts;
        for (const ServiceEntry& entry : services.Inventory(false)) facts[entry.Name].present = true;
        for (const ConfigRecord& record : records) {
            Facts& f = facts[record.Name];
            if (!f.present) {
                AddOnce(report.absent, record.Name);
                continue;
            }
            for (const ForbiddenEntry& entry : forbiddenList) {
                if (!SameServiceName(entry.Name, record.Name)) continue;
                // Forbidden wins over discouraged when the list names the service both ways.
                if (entry.mark == Mark::Forbidden || (entry.mark == Mark::Discouraged && f.mark == Mark::None))
                    f.mark = entry.mark;
            }
            f.hasPrerequisite = !services.ServicesDependedOn(record.Name).empty();
            f.hasDependent = !services.DependentServices(record.Name).empty();
        }

        auto refused = [&](const ConfigRecord& record, const wchar_t* message) {
            report.refused.push_back(record.Name + L" : " + message);
        };
        for (int pass = 1; pass <= 4; ++pass) {
            for (size_t index = 0; index < records.size(); ++index) {
                const ConfigRecord& record = records[index];
                progress.SetValue(std::min(counter, maximum));
                ++counter;
                const Facts& f = facts[record.Name];
                if (!f.present) {
                    stateSettled[index] = true;
                    continue;
                }
                if (f.mark == Mark::Forbidden) {
                    stateSettled[index] = true;
                    AddOnce(report.forbidden, record.Name);
                    continue;
                }
                if (pass == 1) {
                    if (const wchar_t* argument = StartModeArgument(record.StartMode)) {
                        int code = services.ChangeStartMode(record.Name, argument);
                        ++report.callsMade;
                        if (f.mark == Mark::Discouraged) AddOnce(report.discouraged, record.Name);
                        if (code != ReturnCode::Success) refused(record, ModifyMessage(code));
                    }
                    continue;
                }
                int statePass = order == ApplyOrder::Undo && record.State == L"Stopped" ? 6 - pass : pass;
                bool inThisPass = statePass == 2   ? !f.hasPrerequisite
                                  : statePass == 3 ? f.hasPrerequisite && f.hasDependent
                                                   : f.hasPrerequisite && !f.hasDependent;
                if (!inThisPass) continue;
                stateSettled[index] = true;
                int code = ReturnCode::Success;
                if (record.State == L"Running") {
                    code = services.StartService(record.Name);
                    // Already running is where the file wants it.
                    if (code == ReturnCode::ServiceAlreadyRunning) code = ReturnCode::Success;
                } else if (record.State == L"Stopped") {
                    code = services.StopService(record.Name);
                    if (code == ReturnCode::ServiceNotActive) code = ReturnCode::Success;
                } else {
                    continue;
                }
                ++report.callsMade;
                if (f.mark == Mark::Discouraged) AddOnce(report.discouraged, record.Name);
                if (code != ReturnCode::Success) {
                    const wchar_t* message = ControlMessage(code);
                    refused(record, message ? message : texts::kRequestRunning);
                }
            }
        }
    } catch (...) {
        report.outcome = ApplyReport::Outcome::Interrupted;
        for (size_t i = 0; i < records.size(); ++i)
            if (!stateSettled[i]) AddOnce(report.pending, records[i].Name);
        int code = CurrentFailureCode();
        const wchar_t* message = ControlMessage(code);
        report.reason = message ? message : texts::kRequestRunning;
    }
    return report;
}

}  // namespace kestrane
