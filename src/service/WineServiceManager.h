// The Service Control Manager as the program needs it under Wine, where Wine's service database answers
// differently from Windows (measured with Wine 8):
//  - EnumDependentServicesW succeeds and lists nothing, and QueryServiceConfigW always gives an empty
//    lpDependencies: both dependency lists come from the values DependOnService of the service keys,
//    which Wine's services.exe writes on CreateService and ChangeServiceConfig, as Windows does;
//  - StartServiceW starts the service alone, leaving what it needs stopped: the services it needs are
//    started here first, each waited for while it makes progress;
//  - stopping a service that running services depend on succeeds, leaving them without it: the stop is
//    refused here with the answer Windows gives (ERROR_DEPENDENT_SERVICES_RUNNING);
//  - ChangeServiceConfigW without a dependency list deletes the service's dependencies: the current list
//    is passed with every start-mode change.
#pragma once

#include "service/Programme.h"
#include "service/ScmServiceManager.h"
#include "base/Handles.h"

#include <future>
#include <map>
#include <string>
#include <vector>

namespace kestrane {

class WineServiceManager : public ScmServiceManager {
public:
    // `prefetch`: the first map of who depends on whom is built at once on another thread; otherwise at
    // its first use.
    explicit WineServiceManager(bool prefetch = true);
    ~WineServiceManager() override;

    int StartService(const std::wstring& name) override;
    int StopService(const std::wstring& name) override;
    int ChangeStartMode(const std::wstring& name, const std::wstring& mode) override;
    // Wine answers the delayed-start level of QueryServiceConfig2W and ChangeServiceConfig2W with
    // ERROR_INVALID_LEVEL: the flag is kept in the service key's DelayedAutostart value, where Windows
    // itself stores it.
    std::optional<ServiceInfo> Find(const std::wstring& name) override;
    int SetDelayedAutoStart(const std::wstring& name, bool delayed) override;

protected:
    // Windows keeps a service's triggers as numbered subkeys of its key's TriggerInfo; Wine does not answer
    // SERVICE_CONFIG_TRIGGER_INFO, so they are counted there.
    Text TriggerStartElsewhere(const std::wstring& name) const override;
    Text DelayedStartElsewhere(const std::wstring& name) const override;

public:
    void BeginCommand() override {
        ScmServiceManager::BeginCommand();
        failed_.clear();
        rereadForUnknown_ = false;
    }
    std::vector<std::wstring> DependentServices(const std::wstring& name) override;
    std::vector<std::wstring> ServicesDependedOn(const std::wstring& name) override;

    // How many times the map of dependents was built (for tests: it is rebuilt only after a change).
    int DependentsRebuilds() const { return rebuilds_; }

private:
    using DependentsMap = std::map<std::wstring, std::vector<std::wstring>, ServiceNameLess>;
    // What one service key held when it was last read, and when the key was last written then.
    struct KeyRead {
        FILETIME written{};
        std::vector<std::wstring> needs;  // a Win32 service's DependOnService, groups left out
    };
    using KeysRead = std::map<std::wstring, KeyRead, ServiceNameLess>;
    // Both directions of one scan: who needs a service, and whom a service needs; with the keys as read,
    // so that the next scan reads again only the keys written since.
    struct DependencyMaps {
        DependentsMap dependents, needs;
        KeysRead keys;
    };

    class Walk;
    const std::vector<std::wstring>& DependentsOf(const std::wstring& name);
    // The maps, rebuilt first if the service database changed since they were.
    const DependencyMaps& CurrentMaps();
    // The same, read once more (once a command) when they do not know the service: one created an instant
    // ago, whose change the notification has not yet told.
    const DependencyMaps& MapsKnowing(const std::wstring& name);
    void RebuildDependents();
    bool ArmNotification();
    // Who depends on whom, from one scan of the service keys: a key written since `previous` read it is
    // read again, the others are taken from it. Touches nothing of this object but its constants, so
    // that it can run on another thread.
    DependencyMaps ScanDependents(const KeysRead& previous) const;

    // Prerequisites that failed during the current command, with the code they failed with: a second
    // service needing one of them gets the answer without waiting for it again.
    std::map<std::wstring, int, ServiceNameLess> failed_;

    // Who depends on whom, from one scan of the service keys; rebuilt whenever the service database
    // changed since (a notification on the services key, checked when the map is used).
    DependencyMaps maps_;
    RegKey servicesKey_;
    KernelHandle changed_;
    bool dependentsValid_ = false;
    bool rereadForUnknown_ = false;
    int rebuilds_ = 0;
    // The first map, built on another thread from construction until its first use.
    std::future<DependencyMaps> prefetch_;
    bool prefetchNotified_ = false;
};

}  // namespace kestrane
