// The machine's services through the Service Control Manager API of advapi32, as Windows provides it.
//
// Each call opens its own handles and closes them before it returns; nothing about services is kept
// between calls, so what a caller sees is always the service database as it is now. Where Wine's
// service database answers differently from Windows, WineServiceManager fills the gap; the program
// chooses it at start-up only when it runs under Wine.
#pragma once

#include "service/ServiceManager.h"
#include "base/Handles.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrane {

class ScmServiceManager : public ServiceManager {
public:
    std::vector<ServiceEntry> Inventory(bool withStartModes) override;
    std::optional<ServiceInfo> Find(const std::wstring& name) override;
    std::vector<Text> StartModes(const std::vector<std::wstring>& names) override;
    bool TakesConcurrentCalls() const override { return true; }
    int StartService(const std::wstring& name) override;
    int StopService(const std::wstring& name) override;
    int PauseService(const std::wstring& name) override;
    int ResumeService(const std::wstring& name) override;
    int ChangeStartMode(const std::wstring& name, const std::wstring& mode) override;
    int SetDelayedAutoStart(const std::wstring& name, bool delayed) override;
    int Delete(const std::wstring& name) override;
    bool WaitWhilePending(const std::wstring& name) override;
    bool MayChange(const std::wstring& name, Change change) override;
    // One opening of each service and one query of its triggers, on several threads: no whole lookup.
    std::vector<bool> TriggerStarts(const std::vector<std::wstring>& names) override;
    std::vector<bool> DelayedAutoStarts(const std::vector<std::wstring>& names) override;

protected:
    // Whether the service starts on a trigger, where the service database does not answer that level:
    // nothing here; the Wine layer reads it from the service key. May run on several threads at once.
    virtual Text TriggerStartElsewhere(const std::wstring&) const { return std::nullopt; }
    // The same for a delayed automatic start.
    virtual Text DelayedStartElsewhere(const std::wstring&) const { return std::nullopt; }

public:
    std::vector<std::wstring> DependentServices(const std::wstring& name) override;
    std::vector<std::wstring> ServicesDependedOn(const std::wstring& name) override;

    // A command holds one connection to the service database for all its calls (opening one costs
    // about 7 ms under Wine); outside a command each call opens its own.
    void BeginCommand() override;
    void EndCommand() override;

protected:
    SC_HANDLE Session() const { return session_.Get(); }
    // The start type of "Automatic", "Manual" or "Disabled"; false for any other text.
    static bool StartTypeOf(const std::wstring& mode, DWORD& startType);

private:
    int PauseOrResume(const std::wstring& name, bool pause);
    // Whether each named service answers "True" to `query` of its configuration (asked with `elsewhere`
    // where the service database does not answer): one opening of each, on several threads; false for one
    // that cannot be opened.
    std::vector<bool> ConfigFlags(const std::vector<std::wstring>& names, Text (*query)(SC_HANDLE),
                                  Text (ScmServiceManager::*elsewhere)(const std::wstring&) const);

    DWORD enumBytes_ = 0;  // buffer size the last enumeration needed
    ScHandle session_;
    int commandDepth_ = 0;
};

// True when the program runs under Wine (its ntdll exports wine_get_version).
bool RunningUnderWine();

// The machine's services: the Wine layer under Wine, the plain Service Control Manager otherwise.
// `prefetchDependencies`: under Wine, start reading who depends on whom at once, on another thread (the
// window needs it for its first selection); the command line reads it only when a verb asks for it.
std::unique_ptr<ServiceManager> CreateServiceManager(bool prefetchDependencies = true);

}  // namespace kestrane
