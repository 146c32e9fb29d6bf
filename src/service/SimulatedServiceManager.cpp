#include "service/SimulatedServiceManager.h"

#include "service/Prerequisites.h"

#include <functional>

#include <algorithm>
#include <cwctype>
#include <stdexcept>

namespace kestrane {

namespace {

constexpr unsigned long kAccessDenied = 5;  // ERROR_ACCESS_DENIED

bool SameName(const std::wstring& a, const std::wstring& b) {
    // Service names are case-insensitive for the service database.
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (towlower(a[i]) != towlower(b[i])) return false;
    return true;
}

}  // namespace

void SimulatedServiceManager::Add(SimService service) { services_.push_back(std::move(service)); }

std::vector<SimService>::iterator SimulatedServiceManager::Locate(const std::wstring& name) {
    return std::find_if(services_.begin(), services_.end(),
                        [&](const SimService& s) { return SameName(s.Name, name); });
}

SimService* SimulatedServiceManager::Get(const std::wstring& name) {
    auto it = Locate(name);
    return it == services_.end() ? nullptr : &*it;
}

int SimulatedServiceManager::Calls(Op op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
}

void SimulatedServiceManager::ClearCounts() {
    calls_.clear();
    log_.clear();
    calls_log_.clear();
}

int SimulatedServiceManager::Count(Op op, const std::wstring& name, const wchar_t* logName) {
    ++calls_[op];
    if (logName) {
        log_.push_back(std::wstring(logName) + L":" + name);
        Track(log_.back());
    }
    return calls_[op];
}

void SimulatedServiceManager::Transition(SimService& service, const wchar_t* pending, const wchar_t* target) {
    if (service.PendingSteps <= 0 && !(service.HangsWhileStarting && std::wstring(target) == L"Running")) {
        service.State = target;
        return;
    }
    service.State = pending;
    service.PendingTarget = target;
    service.PendingLeft = service.PendingSteps;
}

void SimulatedServiceManager::Step(SimService& service) {
    if (service.PendingTarget.empty()) return;
    if (service.HangsWhileStarting && service.PendingTarget == L"Running") return;
    if (--service.PendingLeft > 0) return;
    service.State = service.PendingTarget;
    service.PendingTarget.clear();
}

bool SimulatedServiceManager::WaitWhilePending(const std::wstring& name) {
    ++calls_[Op::Wait];
    Track(L"wait:" + name);
    SimService* s = Get(name);
    if (!s) return false;
    if (s->PendingTarget.empty()) return true;
    if (s->HangsWhileStarting && s->PendingTarget == L"Running") return false;
    s->State = s->PendingTarget;
    s->PendingTarget.clear();
    if (s->MarkedForDeletion && s->State == L"Stopped") services_.erase(Locate(name));
    return true;
}

bool SimulatedServiceManager::Forced(Op op, const std::wstring& name, int& code) const {
    // The service database gone in the middle of the call: the caller sees it fail, not refuse.
    if (failing_.count({op, name})) throw ServiceError("the simulated service database failed", RPC_S_SERVER_UNAVAILABLE);
    auto it = forced_.find({op, name});
    if (it == forced_.end()) return false;
    code = it->second;
    return true;
}

std::vector<ServiceEntry> SimulatedServiceManager::Inventory(bool withStartModes) {
    Count(Op::Inventory, L"", nullptr);
    Track(withStartModes ? L"inventory+modes" : L"inventory");
    if (failInventory_) throw ServiceError("inventory refused", kAccessDenied);
    std::vector<ServiceEntry> out;
    out.reserve(services_.size());
    for (const auto& s : services_)
        out.push_back({s.Name, s.DisplayName, s.State, withStartModes ? Text(s.StartMode) : std::nullopt, s.perUser});
    return out;
}

std::vector<Text> SimulatedServiceManager::StartModes(const std::vector<std::wstring>& names) {
    if (failInventory_) throw ServiceError("inventory refused", kAccessDenied);
    std::vector<Text> modes;
    for (const std::wstring& name : names) {
        Track(L"mode:" + name);
        auto it = Locate(name);
        modes.push_back(it == services_.end() ? std::nullopt : Text(it->StartMode));
    }
    return modes;
}

std::optional<ServiceInfo> SimulatedServiceManager::Find(const std::wstring& name) {
    Count(Op::Find, name, nullptr);
    Track(L"find:" + name);
    if (failFind_ && failFindOther_) throw std::runtime_error("lookup failed");
    if (failFind_) throw ServiceError("lookup refused", failFindError_);
    auto it = Locate(name);
    if (it == services_.end()) return std::nullopt;
    Step(*it);
    const SimService& s = *it;
    ServiceInfo info;
    info.Name = s.Name;
    info.DisplayName = s.DisplayName;
    info.Caption = s.DisplayName;
    info.PathName = s.PathName;
    info.Description = s.Description;
    info.ServiceType = s.ServiceType;
    info.AcceptPause = std::wstring(s.AcceptPause && s.State == L"Running" ? L"True" : L"False");
    info.AcceptStop = std::wstring(s.State == L"Stopped" ? L"False" : L"True");
    info.State = s.State;
    info.Status = std::wstring(L"OK");
    info.StartMode = s.StartMode;
    info.Started = std::wstring(s.State == L"Stopped" ? L"False" : L"True");
    info.DesktopInteract = std::wstring(L"False");
    info.StartName = s.StartName;
    info.SystemName = std::wstring(L"SIMULE");
    info.SystemCreationClassName = std::wstring(L"Win32_ComputerSystem");
    info.CreationClassName = std::wstring(L"Win32_Service");
    info.WaitHint = std::wstring(L"0");
    info.ProcessId = std::wstring(s.State == L"Stopped" ? L"0" : L"1234");
    info.TagId = std::wstring(L"0");
    info.CheckPoint = std::wstring(L"0");
    info.ExitCode = std::wstring(L"0");
    info.ErrorControl = std::wstring(L"Normal");
    info.ServiceSpecificExitCode = std::wstring(L"0");
    info.DelayedAutoStart = std::wstring(it->DelayedAutoStart ? L"True" : L"False");
    info.perUser = it->perUser;
    if (!vanishAfterFind_.empty() && SameName(vanishAfterFind_, name)) {
        services_.erase(it);
        vanishAfterFind_.clear();
    }
    return info;
}

namespace {

// The simulated machine's side of a start's prerequisites. Its lists are read directly: a start makes no
// lookup calls of its own, as the service database would not.
class SimulatedWalk : public PrerequisiteWalk {
public:
    SimulatedWalk(SimulatedServiceManager& machine, std::function<void(SimService&)> start)
        : machine_(machine), start_(std::move(start)) {}
    std::vector<std::wstring> Needs(const std::wstring& name) override {
        SimService* service = machine_.Get(name);
        return service ? service->DependsOn : std::vector<std::wstring>{};
    }
    int Look(const std::wstring& prerequisite, State& state) override {
        SimService* needed = machine_.Get(prerequisite);
        if (!needed) state = State::Missing;
        else if (needed->State == L"Running" || needed->State == L"Paused" || needed->State == L"Start Pending")
            state = State::Active;
        else if (needed->StartMode == L"Disabled") state = State::Disabled;
        else state = State::Stopped;
        return ReturnCode::Success;
    }
    int Reach(const std::wstring& prerequisite, const std::wstring&, bool stopped) override {
        SimService& needed = *machine_.Get(prerequisite);
        if (stopped) {
            if (needed.State != L"Stopped") return ReturnCode::ServiceAlreadyRunning;  // still stopping
            start_(needed);
            return ReturnCode::Success;
        }
        if (needed.State == L"Start Pending") {
            // The service database waits for it to come up.
            if (needed.HangsWhileStarting) return ReturnCode::ServiceDependencyFailure;
            needed.State = L"Running";
            needed.PendingTarget.clear();
        }
        return ReturnCode::Success;
    }

private:
    SimulatedServiceManager& machine_;
    std::function<void(SimService&)> start_;
};

}  // namespace

int SimulatedServiceManager::StartWithDependencies(SimService& service) {
    if (service.State != L"Stopped") return ReturnCode::ServiceAlreadyRunning;
    if (service.StartMode == L"Disabled") return ReturnCode::ServiceDisabled;
    // The service database starts what a service needs before the service itself.
    SimulatedWalk walk(*this, [this](SimService& needed) {
        Track(L"prerequisite:" + needed.Name);
        Transition(needed, L"Start Pending", L"Running");
    });
    std::wstring name = service.Name;
    if (int code = StartPrerequisites(walk, name); code != ReturnCode::Success) return code;
    Transition(*Get(name), L"Start Pending", L"Running");
    return ReturnCode::Success;
}

int SimulatedServiceManager::StartService(const std::wstring& name) {
    Count(Op::Start, name, L"start");
    int code;
    if (Forced(Op::Start, name, code)) return code;
    SimService* s = Get(name);
    if (!s || s->MarkedForDeletion) return ReturnCode::ServiceMarkedForDeletion;
    return StartWithDependencies(*s);
}

int SimulatedServiceManager::StopService(const std::wstring& name) {
    Count(Op::Stop, name, L"stop");
    int code;
    if (Forced(Op::Stop, name, code)) return code;
    SimService* s = Get(name);
    if (!s) return ReturnCode::ServiceMarkedForDeletion;
    if (s->State == L"Stopped") return ReturnCode::ServiceNotActive;
    for (const auto& other : services_) {
        if (other.State == L"Stopped") continue;  // a service still stopping is still active
        for (const auto& dep : other.DependsOn)
            if (SameName(dep, s->Name)) return ReturnCode::DependentServicesRunning;
    }
    Transition(*s, L"Stop Pending", L"Stopped");
    if (s->MarkedForDeletion && s->State == L"Stopped") services_.erase(Locate(name));
    return ReturnCode::Success;
}

int SimulatedServiceManager::PauseService(const std::wstring& name) {
    Count(Op::Pause, name, L"pause");
    int code;
    if (Forced(Op::Pause, name, code)) return code;
    SimService* s = Get(name);
    if (!s || s->MarkedForDeletion) return ReturnCode::ServiceMarkedForDeletion;
    if (s->State == L"Stopped") return ReturnCode::ServiceNotActive;
    if (s->State == L"Paused") return ReturnCode::ServiceAlreadyPaused;
    if (!s->AcceptPause) return ReturnCode::InvalidServiceControl;
    s->State = L"Paused";
    return ReturnCode::Success;
}

int SimulatedServiceManager::ResumeService(const std::wstring& name) {
    Count(Op::Resume, name, L"resume");
    int code;
    if (Forced(Op::Resume, name, code)) return code;
    SimService* s = Get(name);
    if (!s) return ReturnCode::ServiceMarkedForDeletion;
    if (s->State == L"Stopped") return ReturnCode::ServiceNotActive;
    if (!s->AcceptPause) return ReturnCode::InvalidServiceControl;
    s->State = L"Running";
    return ReturnCode::Success;
}

int SimulatedServiceManager::ChangeStartMode(const std::wstring& name, const std::wstring& mode) {
    Count(Op::ChangeStartMode, name, (L"mode " + mode).c_str());
    int code;
    if (Forced(Op::ChangeStartMode, name, code)) return code;
    SimService* s = Get(name);
    if (!s || s->MarkedForDeletion) return ReturnCode::ServiceMarkedForDeletion;
    if (mode == L"Automatic") s->StartMode = L"Auto";
    else if (mode == L"Manual") s->StartMode = L"Manual";
    else if (mode == L"Disabled") s->StartMode = L"Disabled";
    else return ReturnCode::StatusInvalidParameter;
    return ReturnCode::Success;
}

int SimulatedServiceManager::Delete(const std::wstring& name) {
    Count(Op::Delete, name, L"delete");
    int code;
    if (Forced(Op::Delete, name, code)) return code;
    auto it = Locate(name);
    if (it == services_.end() || it->MarkedForDeletion) return ReturnCode::ServiceMarkedForDeletion;
    // The service database removes a service once nothing holds it any more: a running one stays, marked.
    if (it->StaysMarkedForDeletion && it->State != L"Stopped") {
        it->MarkedForDeletion = true;
        return ReturnCode::Success;
    }
    services_.erase(it);
    return ReturnCode::Success;
}

std::vector<std::wstring> SimulatedServiceManager::DependentServices(const std::wstring& name) {
    Count(Op::Dependents, name, nullptr);
    Track(L"dependents:" + name);
    if (failDependencies_) throw ServiceError("dependencies refused", kAccessDenied);
    std::vector<std::wstring> out;
    for (const auto& s : services_)
        for (const auto& dep : s.DependsOn)
            if (SameName(dep, name)) {
                out.push_back(s.Name);
                break;
            }
    return out;
}

std::vector<std::wstring> SimulatedServiceManager::ServicesDependedOn(const std::wstring& name) {
    Count(Op::DependedOn, name, nullptr);
    Track(L"dependedon:" + name);
    if (failDependencies_) throw ServiceError("dependencies refused", kAccessDenied);
    SimService* s = Get(name);
    if (!s) return {};
    std::vector<std::wstring> out;
    for (const auto& dep : s->DependsOn)
        if (!dep.empty() && dep[0] != L'+') out.push_back(dep);
    return out;
}

int SimulatedServiceManager::SetDelayedAutoStart(const std::wstring& name, bool delayed) {
    Count(Op::Delayed, name, delayed ? L"delayed" : L"undelayed");
    int code;
    if (Forced(Op::Delayed, name, code)) return code;
    SimService* s = Get(name);
    if (!s || s->MarkedForDeletion) return ReturnCode::ServiceMarkedForDeletion;
    s->DelayedAutoStart = delayed;
    return ReturnCode::Success;
}

}  // namespace kestrane
