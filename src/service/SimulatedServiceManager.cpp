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

void SimulatedServiceManager::Become(SimService& service, const std::wstring& state) {
    if (service.State == state) return;
    events_.push_back({service.Name, L"state", service.State, state, cause_});
    service.State = state;
}

void SimulatedServiceManager::SetMode(SimService& service, const std::wstring& mode) {
    if (service.StartMode == mode) return;
    events_.push_back({service.Name, L"mode", service.StartMode, mode, cause_});
    service.StartMode = mode;
}

// "Service State Transitions" (learn.microsoft.com, win32/services/service-status-transitions): a start
// or a stop leaves the service pending, reporting a wait hint and an advancing check point, until it
// reports its new state. A service whose start fails reports "Stopped" with its own exit code
// (ERROR_SERVICE_SPECIFIC_ERROR and dwServiceSpecificExitCode, "SERVICE_STATUS structure").
void SimulatedServiceManager::Transition(SimService& service, const wchar_t* pending, const wchar_t* target) {
    std::wstring to = target;
    bool starting = std::wstring(pending) == L"Start Pending";
    if (starting && service.FailsToStartWith) to = L"Stopped";
    if (starting) service.Win32ExitCode = service.ServiceExitCode = 0;
    bool immediate = service.PendingSteps <= 0 && !(starting && (service.HangsWhileStarting || service.FailsToStartWith));
    if (immediate) {
        Become(service, to);
        return;
    }
    Become(service, pending);
    service.PendingTarget = to;
    service.PendingLeft = std::max(service.PendingSteps, 1);
    service.CheckPoint = 1;
}

void SimulatedServiceManager::Settle(SimService& service) {
    if (service.PendingTarget.empty()) return;
    const bool failedStart = service.State == L"Start Pending" && service.PendingTarget == L"Stopped";
    if (failedStart) {
        service.Win32ExitCode = 1066;  // ERROR_SERVICE_SPECIFIC_ERROR
        service.ServiceExitCode = service.FailsToStartWith;
    }
    Become(service, service.PendingTarget);
    service.PendingTarget.clear();
    service.CheckPoint = 0;
}

void SimulatedServiceManager::Step(SimService& service) {
    if (service.PendingTarget.empty()) return;
    if (service.HangsWhileStarting && service.State == L"Start Pending") return;
    ++service.CheckPoint;
    if (--service.PendingLeft > 0) return;
    Settle(service);
}

bool SimulatedServiceManager::WaitWhilePending(const std::wstring& name) {
    ++calls_[Op::Wait];
    Track(L"wait:" + name);
    SimService* s = Get(name);
    if (!s) return false;
    if (s->PendingTarget.empty()) return true;
    if (s->HangsWhileStarting && s->State == L"Start Pending") return false;
    Settle(*s);
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
    // EnumServicesStatusExW with SERVICE_WIN32, as the inventory asks: drivers are not listed.
    for (const auto& s : services_)
        if (!s.Driver)
            out.push_back({s.Name, s.DisplayName, s.State,
                           withStartModes && !s.DeniesQuery ? Text(s.StartMode) : std::nullopt, s.perUser});
    return out;
}

std::vector<bool> SimulatedServiceManager::TriggerStarts(const std::vector<std::wstring>& names) {
    std::vector<bool> out;
    for (const std::wstring& name : names) {
        Track(L"triggers:" + name);
        SimService* s = Get(name);
        out.push_back(s && !s->DeniesQuery && s->TriggerStart);
    }
    return out;
}

std::vector<Text> SimulatedServiceManager::StartModes(const std::vector<std::wstring>& names) {
    if (failInventory_) throw ServiceError("inventory refused", kAccessDenied);
    std::vector<Text> modes;
    for (const std::wstring& name : names) {
        Track(L"mode:" + name);
        auto it = Locate(name);
        modes.push_back(it == services_.end() || it->DeniesQuery ? std::nullopt : Text(it->StartMode));
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
    // OpenService with SERVICE_QUERY_CONFIG refused to a protected service: ERROR_ACCESS_DENIED.
    if (it->DeniesQuery) throw ServiceError("access denied", kAccessDenied);
    Step(*it);
    if (it->MarkedForDeletion && it->State == L"Stopped") {
        services_.erase(it);
        return std::nullopt;
    }
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
    const bool pending = !s.PendingTarget.empty();
    info.WaitHint = std::to_wstring(pending ? s.WaitHintMs : 0);
    info.ProcessId = std::wstring(s.State == L"Stopped" ? L"0" : L"1234");
    info.TagId = std::wstring(L"0");
    info.CheckPoint = std::to_wstring(pending ? s.CheckPoint : 0);
    info.ExitCode = std::to_wstring(s.State == L"Stopped" ? s.Win32ExitCode : 0);
    info.ErrorControl = std::wstring(L"Normal");
    info.ServiceSpecificExitCode = std::to_wstring(s.State == L"Stopped" ? s.ServiceExitCode : 0);
    info.DelayedAutoStart = std::wstring(it->DelayedAutoStart ? L"True" : L"False");
    info.TriggerStart = std::wstring(it->TriggerStart ? L"True" : L"False");
    if (s.Driver) info.ServiceType = std::wstring(L"Kernel Driver");
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
    SimulatedWalk(SimulatedServiceManager& machine, std::function<void(SimService&)> start,
                  std::function<void(SimService&)> settle)
        : machine_(machine), start_(std::move(start)), settle_(std::move(settle)) {}
    std::vector<std::wstring> Needs(const std::wstring& name) override {
        SimService* service = machine_.Get(name);
        return service ? service->DependsOn : std::vector<std::wstring>{};
    }
    int Look(const std::wstring& prerequisite, State& state) override {
        SimService* needed = machine_.Get(prerequisite);
        if (!needed) state = State::Missing;
        else if (needed->State != L"Stopped" && needed->State != L"Stop Pending")
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
        }
        if (needed.State == L"Pause Pending" || needed.State == L"Continue Pending") settle_(needed);
        if (needed.State == L"Start Pending") {
            // The service database waits for it to come up before it starts what needs it.
            if (needed.HangsWhileStarting) return ReturnCode::ServiceRequestTimeout;
            settle_(needed);
        }
        return needed.State == L"Running" || needed.State == L"Paused" ? ReturnCode::Success
                                                                         : ReturnCode::ServiceDependencyFailure;
    }

private:
    SimulatedServiceManager& machine_;
    std::function<void(SimService&)> start_, settle_;
};

bool Pending(const std::wstring& state) { return state.find(L"Pending") != std::wstring::npos; }

}  // namespace

// "StartService function": the service database starts every stopped service the service needs first,
// deepest first, and fails the start (ERROR_SERVICE_DEPENDENCY_FAIL, _DELETED) when one cannot start.
int SimulatedServiceManager::StartWithDependencies(SimService& service) {
    if (service.State != L"Stopped") return ReturnCode::ServiceAlreadyRunning;
    if (service.StartMode == L"Disabled") return ReturnCode::ServiceDisabled;
    const std::wstring cause = cause_;
    SimulatedWalk walk(
        *this,
        [this](SimService& needed) {
            Track(L"prerequisite:" + needed.Name);
            cause_ = L"prerequisite";
            Transition(needed, L"Start Pending", L"Running");
        },
        [this](SimService& needed) {
            cause_ = L"prerequisite";
            Settle(needed);
        });
    std::wstring name = service.Name;
    int code = StartPrerequisites(walk, name);
    cause_ = cause;
    if (code != ReturnCode::Success) return code;
    Transition(*Get(name), L"Start Pending", L"Running");
    return ReturnCode::Success;
}

int SimulatedServiceManager::StartService(const std::wstring& name) {
    Count(Op::Start, name, L"start");
    int code;
    if (Forced(Op::Start, name, code)) return code;
    SimService* s = Get(name);
    if (!s || s->MarkedForDeletion) return ReturnCode::ServiceMarkedForDeletion;
    if (s->DeniesChange || s->DeniesQuery) return ReturnCode::AccessDenied;
    return StartWithDependencies(*s);
}

// "ControlService function": ERROR_SERVICE_CANNOT_ACCEPT_CTRL while the service is starting or stopping,
// ERROR_DEPENDENT_SERVICES_RUNNING for a stop while an active service depends on it.
int SimulatedServiceManager::StopService(const std::wstring& name) {
    Count(Op::Stop, name, L"stop");
    int code;
    if (Forced(Op::Stop, name, code)) return code;
    SimService* s = Get(name);
    if (!s) return ReturnCode::ServiceMarkedForDeletion;
    if (s->DeniesChange || s->DeniesQuery) return ReturnCode::AccessDenied;
    if (s->State == L"Stopped") return ReturnCode::ServiceNotActive;
    if (s->State == L"Start Pending" || s->State == L"Stop Pending") return ReturnCode::ServiceCannotAcceptControl;
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
    if (s->DeniesChange || s->DeniesQuery) return ReturnCode::AccessDenied;
    if (s->State == L"Stopped") return ReturnCode::ServiceNotActive;
    if (Pending(s->State)) return ReturnCode::ServiceCannotAcceptControl;
    if (s->State == L"Paused") return ReturnCode::ServiceAlreadyPaused;
    if (!s->AcceptPause) return ReturnCode::InvalidServiceControl;
    Transition(*s, L"Pause Pending", L"Paused");
    return ReturnCode::Success;
}

int SimulatedServiceManager::ResumeService(const std::wstring& name) {
    Count(Op::Resume, name, L"resume");
    int code;
    if (Forced(Op::Resume, name, code)) return code;
    SimService* s = Get(name);
    if (!s) return ReturnCode::ServiceMarkedForDeletion;
    if (s->DeniesChange || s->DeniesQuery) return ReturnCode::AccessDenied;
    if (s->State == L"Stopped") return ReturnCode::ServiceNotActive;
    if (Pending(s->State)) return ReturnCode::ServiceCannotAcceptControl;
    if (!s->AcceptPause) return ReturnCode::InvalidServiceControl;
    if (s->State == L"Running") return ReturnCode::Success;  // nothing to resume
    Transition(*s, L"Continue Pending", L"Running");
    return ReturnCode::Success;
}

// "ChangeServiceConfigW function": SERVICE_CHANGE_CONFIG is refused to a protected service
// (ERROR_ACCESS_DENIED), and a service marked for deletion takes no change (ERROR_SERVICE_MARKED_FOR_DELETE).
int SimulatedServiceManager::ChangeStartMode(const std::wstring& name, const std::wstring& mode) {
    Count(Op::ChangeStartMode, name, (L"mode " + mode).c_str());
    int code;
    if (Forced(Op::ChangeStartMode, name, code)) return code;
    SimService* s = Get(name);
    if (!s || s->MarkedForDeletion) return ReturnCode::ServiceMarkedForDeletion;
    if (s->DeniesChange || s->DeniesQuery) return ReturnCode::AccessDenied;
    if (mode == L"Automatic") SetMode(*s, L"Auto");
    else if (mode == L"Manual") SetMode(*s, L"Manual");
    else if (mode == L"Disabled") SetMode(*s, L"Disabled");
    else return ReturnCode::StatusInvalidParameter;
    return ReturnCode::Success;
}

int SimulatedServiceManager::Delete(const std::wstring& name) {
    Count(Op::Delete, name, L"delete");
    int code;
    if (Forced(Op::Delete, name, code)) return code;
    auto it = Locate(name);
    if (it == services_.end() || it->MarkedForDeletion) return ReturnCode::ServiceMarkedForDeletion;
    if (it->DeniesChange || it->DeniesQuery) return ReturnCode::AccessDenied;
    // The service database removes a service once nothing holds it any more: a running one stays, marked.
    if (it->StaysMarkedForDeletion && it->State != L"Stopped") {
        it->MarkedForDeletion = true;
        return ReturnCode::Success;
    }
    events_.push_back({it->Name, L"deleted", it->State, L"", cause_});
    services_.erase(it);
    return ReturnCode::Success;
}

// "Service Trigger Events" (learn.microsoft.com, win32/services/service-trigger-events): Windows starts a
// trigger-start service when its trigger fires, as any start (with what it needs), unless it is disabled,
// and the service stops itself when it has nothing left to do.
bool SimulatedServiceManager::MayChange(const std::wstring& name, Change) {
    Track(L"maychange:" + name);
    SimService* s = Get(name);
    return !s || !(s->DeniesChange || s->DeniesQuery);
}

bool SimulatedServiceManager::FireTrigger(const std::wstring& name) {
    SimService* s = Get(name);
    if (!s || !s->TriggerStart || s->StartMode == L"Disabled" || s->State != L"Stopped") return false;
    cause_ = L"trigger";
    int code = StartWithDependencies(*s);
    cause_ = L"order";
    return code == ReturnCode::Success;
}

bool SimulatedServiceManager::GoIdle(const std::wstring& name) {
    SimService* s = Get(name);
    if (!s || !s->TriggerStart || s->State != L"Running") return false;
    for (const auto& other : services_)
        if (other.State != L"Stopped")
            for (const auto& dep : other.DependsOn)
                if (SameName(dep, s->Name)) return false;  // still needed
    cause_ = L"idle";
    Become(*s, L"Stopped");
    cause_ = L"order";
    return true;
}

std::vector<std::wstring> SimulatedServiceManager::DependentServices(const std::wstring& name) {
    Count(Op::Dependents, name, nullptr);
    Track(L"dependents:" + name);
    if (failDependencies_) throw ServiceError("the simulated service database failed", RPC_S_SERVER_UNAVAILABLE);
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
    if (failDependencies_) throw ServiceError("the simulated service database failed", RPC_S_SERVER_UNAVAILABLE);
    SimService* s = Get(name);
    if (!s) return {};
    // QueryServiceConfigW needs SERVICE_QUERY_CONFIG.
    if (s->DeniesQuery) throw ServiceError("access denied", kAccessDenied);
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
    if (s->DeniesChange || s->DeniesQuery) return ReturnCode::AccessDenied;
    // "SERVICE_DELAYED_AUTO_START_INFO structure": a delayed auto-start service cannot be a member of a
    // load-ordering group; ChangeServiceConfig2W refuses it (ERROR_INVALID_PARAMETER).
    if (delayed && !s->LoadOrderGroup.empty()) return ReturnCode::StatusInvalidParameter;
    if (s->DelayedAutoStart != delayed)
        events_.push_back({s->Name, L"delayed", delayed ? L"False" : L"True", delayed ? L"True" : L"False", cause_});
    s->DelayedAutoStart = delayed;
    return ReturnCode::Success;
}

}  // namespace kestrane
