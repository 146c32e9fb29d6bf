// An in-memory machine with the same service semantics as the real service database: states,
// start modes, dependencies and method return codes. Tests drive the windows with it; it can be told
// to fail (a forced return code, a failing inventory or lookup) and counts the calls made to it.
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
    // Internal: where a pending service is going, how many lookups are left, whether it is deleted.
    std::wstring PendingTarget;
    int PendingLeft = 0;
    bool MarkedForDeletion = false;
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
    void FailDependencies(bool fail) { failDependencies_ = fail; }
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
    std::vector<std::wstring> DependentServices(const std::wstring& name) override;
    std::vector<std::wstring> ServicesDependedOn(const std::wstring& name) override;

private:
    void Track(const std::wstring& entry) { calls_log_.push_back(entry); }
    void Transition(SimService& service, const wchar_t* pending, const wchar_t* target);
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
};

}  // namespace kestrane
