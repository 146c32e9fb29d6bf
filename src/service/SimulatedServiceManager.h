// An in-memory machine with the same service semantics as the real service database: states,
// start modes, dependencies and method return codes. Tests drive the windows with it; it can be told
// to fail (a forced return code, a failing inventory or lookup) and counts the calls made to it.
//
// It follows the rules Windows' service database follows, each where it is modelled:
// - starts and stops take time: a service stays "Start Pending" / "Stop Pending" (with a wait hint and an
//   advancing check point) for a number of lookups, or until it is waited for; it can hang while starting, or
//   fail to start and stop again with a service-specific exit code;
// - controls are refused in the states Windows refuses them, a stop while an active service depends on it;
// - a start starts every stopped prerequisite first, at any depth, drivers included;
// - drivers are in the dependency graph but in no inventory (which lists Win32 services only);
// - trigger-start services are started and stopped by Windows itself (FireTrigger, GoIdle);
// - protected services refuse to be changed, or read, with access denied;
// - a delayed automatic start is refused to a service in a load-ordering group.
// Every change of a state or start mode, whoever makes it, goes into an event log tests read.
#pragma once

#include "service/ServiceManager.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace kestrane {

struct SimService {
    std::wstring Name;
    std::wstring DisplayName;
    std::wstring State = L"Stopped";
    std::wstring StartMode = L"Manual";
    Text Description;
    std::wstring PathName = L"C:\\Windows\\system32\\svchost.exe";
    std::wstring StartName = L"LocalSystem";
    std::wstring ServiceType = L"Own Process";
    std::vector<std::wstring> DependsOn;  // system names, in order
    bool AcceptPause = true;
    bool DelayedAutoStart = false;
    PerUser perUser = PerUser::None;  // a per-user template, or an instance of one
    // A start or stop leaves the service "Start Pending" / "Stop Pending" for this many lookups of it,
    // unless a wait on it comes first.
    int PendingSteps = 0;
    bool HangsWhileStarting = false;  // a start never gets past "Start Pending"
    bool StaysMarkedForDeletion = false;  // deleted while running, it stays listed until it stops
    bool Driver = false;          // a kernel driver: a service to open by name, listed by no inventory
    bool TriggerStart = false;    // Windows starts it when a trigger fires and stops it when idle
    bool DeniesChange = false;    // protected: every control and configuration change is access denied
    bool DeniesQuery = false;     // protected: its configuration cannot even be read (access denied)
    std::wstring LoadOrderGroup;  // a member of a load-ordering group: no delayed automatic start
    // A start that the service accepts, then gives up: it stops again with this service-specific exit code.
    unsigned long FailsToStartWith = 0;
    unsigned long WaitHintMs = 2000;  // what a pending service promises
    // Internal: where a pending service is going, how many lookups are left, whether it is deleted.
    std::wstring PendingTarget;
    int PendingLeft = 0;
    int CheckPoint = 0;
    bool MarkedForDeletion = false;
    // The exit codes of its last stop ("SERVICE_STATUS structure"): ERROR_SERVICE_NEVER_STARTED until a
    // first start; after a failed start ERROR_SERVICE_SPECIFIC_ERROR and the service's own code.
    unsigned long Win32ExitCode = 1077;
    unsigned long ServiceExitCode = 0;
};

// One change of a service, as the event log records it.
struct SimEvent {
    std::wstring service;
    std::wstring property;  // "state" or "mode"
    std::wstring from, to;
    std::wstring cause;     // "order" (a method call), "prerequisite" (Windows starting it), "trigger", "idle"
};

class SimulatedServiceManager : public ServiceManager {
public:
    enum class Op { Inventory, Find, Start, Stop, Pause, Resume, ChangeStartMode, Delete, Dependents, DependedOn, Wait, Delayed };

    // Services are listed by the inventory in the order they were added.
    void Add(SimService service);
    SimService* Get(const std::wstring& name);

    // Fault injection.
    void ForceCode(Op op, const std::wstring& name, int code) { forced_[{op, name}] = code; }
    // The method call fails as the service database itself does (ServiceError), during the call.
    void FailCall(Op op, const std::wstring& name) { failing_.insert({op, name}); }
    void FailInventory(bool fail) { failInventory_ = fail; }
    // A failing lookup: of the service database with that Win32 error (0: one that says nothing of
    // why), or, with `otherKind`, a failure that is no service database error at all.
    void FailFind(bool fail, unsigned long win32Error = 5, bool otherKind = false) {
        failFind_ = fail;
        failFindError_ = win32Error;
        failFindOther_ = otherKind;
    }
    // The dependency lists cannot be read: the service database fails (not a protected service).
    void FailDependencies(bool fail) { failDependencies_ = fail; }

    // Windows acting by itself on a trigger-start service: its trigger fires (it starts, with what it
    // needs) or it has nothing left to do (it stops). False when Windows would not do it.
    bool FireTrigger(const std::wstring& name);
    bool GoIdle(const std::wstring& name);
    // Every change of a state or a start mode, in order.
    const std::vector<SimEvent>& Events() const { return events_; }
    // The service disappears just after it has been looked up, before the next method call.
    void VanishAfterFind(const std::wstring& name) { vanishAfterFind_ = name; }

    // Call counting: how many calls of one kind; every method call as "op:name" in order; and every call,
    // lookups included ("inventory", "inventory+modes", "find:X", "dependents:X", "dependedon:X", "wait:X"), and
    // each prerequisite a start starts ("prerequisite:X").
    int Calls(Op op) const;
    const std::vector<std::wstring>& MethodLog() const { return log_; }
    const std::vector<std::wstring>& CallLog() const { return calls_log_; }
    void ClearCounts();

    std::vector<ServiceEntry> Inventory(bool withStartModes) override;
    std::vector<bool> TriggerStarts(const std::vector<std::wstring>& names) override;
    std::optional<ServiceInfo> Find(const std::wstring& name) override;
    std::vector<Text> StartModes(const std::vector<std::wstring>& names) override;
    int StartService(const std::wstring& name) override;
    int StopService(const std::wstring& name) override;
    int PauseService(const std::wstring& name) override;
    int ResumeService(const std::wstring& name) override;
    int ChangeStartMode(const std::wstring& name, const std::wstring& mode) override;
    int Delete(const std::wstring& name) override;
    int SetDelayedAutoStart(const std::wstring& name, bool delayed) override;
    bool WaitWhilePending(const std::wstring& name) override;
    bool MayChange(const std::wstring& name, Change change) override;
    std::vector<std::wstring> DependentServices(const std::wstring& name) override;
    std::vector<std::wstring> ServicesDependedOn(const std::wstring& name) override;

private:
    void Track(const std::wstring& entry) { calls_log_.push_back(entry); }
    void Transition(SimService& service, const wchar_t* pending, const wchar_t* target);
    void Become(SimService& service, const std::wstring& state);
    void SetMode(SimService& service, const std::wstring& mode);
    void Settle(SimService& service);
    void Step(SimService& service);
    int Count(Op op, const std::wstring& name, const wchar_t* logName);
    bool Forced(Op op, const std::wstring& name, int& code) const;
    int StartWithDependencies(SimService& service);
    std::vector<SimService>::iterator Locate(const std::wstring& name);

    std::vector<SimService> services_;
    std::map<std::pair<Op, std::wstring>, int> forced_;
    std::set<std::pair<Op, std::wstring>> failing_;
    std::map<Op, int> calls_;
    std::vector<std::wstring> log_;
    std::vector<std::wstring> calls_log_;
    std::wstring vanishAfterFind_;
    bool failInventory_ = false;
    bool failFind_ = false;
    unsigned long failFindError_ = 5;
    bool failFindOther_ = false;
    bool failDependencies_ = false;
    std::vector<SimEvent> events_;
    std::wstring cause_ = L"order";
};

}  // namespace kestrane
