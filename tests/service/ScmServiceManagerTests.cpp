// ScmServiceManager against the machine's real service database, with the test service program
// (kestrane_testsvc.exe, beside this program) registered under temporary names. Every test registers
// its own services and the fixture stops and deletes them afterwards, whatever the outcome.
#include "service/ScmServiceManager.h"
#include "service/WineServiceManager.h"
#include "base/Handles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {
namespace {

// Every service registered here has a name beginning with this, so that one left behind by a run that
// crashed can be recognised and removed by the next run.
constexpr wchar_t kPrefix[] = L"KstScmTest";

// Service starts go through a new process: under Wine that takes from a fraction of a second to several
// seconds on a busy machine, hence the generous bound on every wait.
constexpr int kWaitMilliseconds = 30000;
constexpr int kPollMilliseconds = 50;

std::wstring TestServiceProgram() {
    wchar_t self[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"kestrane_testsvc.exe";
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

DWORD CurrentState(SC_HANDLE service, DWORD* processId = nullptr) {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                              &needed))
        return 0;
    if (processId) *processId = status.dwProcessId;
    return status.dwCurrentState;
}

// Stops the service as well as it can and deletes it. Used for cleaning up, so it reports nothing.
void StopAndDelete(SC_HANDLE manager, const std::wstring& name) {
    ScHandle service(OpenServiceW(manager, name.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return;
    DWORD processId = 0;
    if (CurrentState(service.Get()) != SERVICE_STOPPED) {
        SERVICE_STATUS status{};
        ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
        for (int waited = 0; waited < 10000 && CurrentState(service.Get(), &processId) != SERVICE_STOPPED;
             waited += kPollMilliseconds)
            Sleep(kPollMilliseconds);
        // A service that would not stop (one still starting, say) must not outlive the test.
        if (CurrentState(service.Get(), &processId) != SERVICE_STOPPED && processId != 0) {
            KernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
            if (process) {
                TerminateProcess(process.Get(), 1);
                WaitForSingleObject(process.Get(), 5000);
            }
        }
    }
    DeleteService(service.Get());
}

struct Registration {
    std::wstring role;  // appended to the prefix and the process id to make the service name
    std::wstring displayName;
    DWORD startType = SERVICE_DEMAND_START;
    std::wstring options;                  // extra arguments of the test service program
    std::vector<std::wstring> dependsOn;   // service names, or load-order groups written "+group"
    std::optional<std::wstring> description;
    DWORD serviceType = SERVICE_WIN32_OWN_PROCESS;
    DWORD errorControl = SERVICE_ERROR_NORMAL;
};

class ScmServiceManagerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Services a crashed run left behind.
        ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) return;
        std::unique_ptr<ServiceManager> scm = CreateServiceManager();
        for (const auto& entry : scm->Inventory(false))
            if (entry.Name.rfind(kPrefix, 0) == 0) StopAndDelete(manager.Get(), entry.Name);
    }

    void TearDown() override {
        ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) return;
        // Dependents were registered after what they depend on: remove them first.
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) StopAndDelete(manager.Get(), *it);
    }

    // Registers the test service program; gives the service name, or an empty one after reporting a failure.
    std::wstring Register(const Registration& r) {
        std::wstring name = kPrefix + std::to_wstring(GetCurrentProcessId()) + L"_" + r.role;
        std::wstring command = L"\"" + TestServiceProgram() + L"\" " + name + (r.options.empty() ? L"" : L" " + r.options);
        std::wstring dependencies;
        for (const auto& d : r.dependsOn) dependencies += d + L'\0';
        dependencies += L'\0';
        ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) {
            ADD_FAILURE() << "OpenSCManagerW failed: " << GetLastError();
            return L"";
        }
        ScHandle service(CreateServiceW(manager.Get(), name.c_str(), r.displayName.c_str(), SERVICE_ALL_ACCESS,
                                        r.serviceType, r.startType, r.errorControl, command.c_str(), nullptr, nullptr,
                                        dependencies.c_str(), nullptr, nullptr));
        if (!service) {
            ADD_FAILURE() << "CreateServiceW " << Narrow(name) << " failed: " << GetLastError();
            return L"";
        }
        created_.push_back(name);
        if (r.description) SetDescription(service.Get(), *r.description);
        return name;
    }

    static void SetDescription(SC_HANDLE service, std::wstring text) {
        SERVICE_DESCRIPTIONW description{text.data()};
        EXPECT_TRUE(ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description)) << GetLastError();
    }

    static std::wstring CommandOf(const std::wstring& name, const std::wstring& options = L"") {
        return L"\"" + TestServiceProgram() + L"\" " + name + (options.empty() ? L"" : L" " + options);
    }

    // Looks the service up until its state is `wanted` or the time allowed is over; gives the last state seen.
    std::wstring WaitForState(const std::wstring& name, const std::wstring& wanted) {
        std::wstring state;
        for (int waited = 0; waited <= kWaitMilliseconds; waited += kPollMilliseconds) {
            auto info = scm.Find(name);
            state = info && info->State ? *info->State : L"(none)";
            if (state == wanted) break;
            Sleep(kPollMilliseconds);
        }
        return state;
    }

    // The properties of the service; all null when it is not found (which the checks then report).
    ServiceInfo Properties(const std::wstring& name) { return scm.Find(name).value_or(ServiceInfo{}); }

    std::optional<ServiceEntry> Listed(const std::wstring& name) {
        for (auto& entry : scm.Inventory(true))
            if (entry.Name == name) return entry;
        return std::nullopt;
    }

    // The layer the program uses on this system: under Wine, the one that fills Wine's gaps.
    std::unique_ptr<ServiceManager> owned_ = CreateServiceManager();
    ServiceManager& scm = *owned_;

private:
    std::vector<std::wstring> created_;
};

#define EXPECT_TEXT(actual, expected)                                                       \
    do {                                                                                    \
        const Text& value_ = (actual);                                                      \
        ASSERT_TRUE(value_.has_value()) << #actual " is null";                              \
        EXPECT_EQ(*value_, std::wstring(expected)) << #actual " is " << Narrow(*value_);   \
    } while (0)

TEST_F(ScmServiceManagerTest, InventoryListsWin32ServicesInTheManagersOrderWithStateAndStartMode) {
    std::wstring manual = Register({L"InvManual", L"Inventaire manuel é"});
    std::wstring automatic = Register({L"InvAuto", L"Inventaire automatique", SERVICE_AUTO_START});
    std::wstring disabled = Register({L"InvDisabled", L"Inventaire désactivé", SERVICE_DISABLED});
    std::wstring running = Register({L"InvRunning", L"Inventaire en marche"});
    ASSERT_EQ(scm.StartService(running), ReturnCode::Success);
    ASSERT_EQ(WaitForState(running, L"Running"), L"Running");

    std::vector<ServiceEntry> inventory = scm.Inventory(true);
    struct Expected {
        std::wstring name, displayName, state, startMode;
    };
    for (const Expected& e : {Expected{manual, L"Inventaire manuel é", L"Stopped", L"Manual"},
                              Expected{automatic, L"Inventaire automatique", L"Stopped", L"Auto"},
                              Expected{disabled, L"Inventaire désactivé", L"Stopped", L"Disabled"},
                              Expected{running, L"Inventaire en marche", L"Running", L"Manual"}}) {
        SCOPED_TRACE(Narrow(e.name));
        auto it = std::find_if(inventory.begin(), inventory.end(), [&](const ServiceEntry& s) { return s.Name == e.name; });
        ASSERT_NE(it, inventory.end());
        EXPECT_EQ(it->DisplayName, e.displayName);
        EXPECT_TEXT(it->State, e.state);
        EXPECT_TEXT(it->StartMode, e.startMode);
    }

    // The same services, in the same order, as the service database enumerates its Win32 services; no driver.
    ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    ASSERT_TRUE(manager);
    std::vector<BYTE> buffer(1024 * 1024);
    DWORD needed = 0, returned = 0, resume = 0;
    ASSERT_TRUE(EnumServicesStatusExW(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                                      buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &returned, &resume,
                                      nullptr));
    const auto* listed = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    std::vector<std::wstring> expectedNames, actualNames;
    for (DWORD i = 0; i < returned; ++i) expectedNames.emplace_back(listed[i].lpServiceName);
    inventory = scm.Inventory(true);
    for (const auto& entry : inventory) {
        actualNames.push_back(entry.Name);
        EXPECT_TRUE(entry.State.has_value()) << Narrow(entry.Name);
        EXPECT_TRUE(entry.StartMode.has_value()) << Narrow(entry.Name);
        EXPECT_NE(entry.StartMode.value_or(L""), L"Boot") << Narrow(entry.Name);
        EXPECT_NE(entry.StartMode.value_or(L""), L"System") << Narrow(entry.Name);
    }
    EXPECT_EQ(actualNames, expectedNames);
}

TEST_F(ScmServiceManagerTest, FindGivesEveryPropertyAsTheManagementClassDoes) {
    std::wstring name = Register({L"Props", L"Propriétés du service", SERVICE_DEMAND_START, L"--no-pause", {},
                                  L"Décrit le service de test."});
    ASSERT_FALSE(name.empty());
    auto info = scm.Find(name);
    ASSERT_TRUE(info.has_value());
    EXPECT_TEXT(info->Name, name);
    EXPECT_TEXT(info->DisplayName, L"Propriétés du service");
    EXPECT_TEXT(info->Caption, L"Propriétés du service");
    EXPECT_TEXT(info->PathName, CommandOf(name, L"--no-pause"));
    EXPECT_TEXT(info->Description, L"Décrit le service de test.");
    EXPECT_TEXT(info->ServiceType, L"Own Process");
    EXPECT_TEXT(info->State, L"Stopped");
    EXPECT_TEXT(info->Status, L"OK");
    EXPECT_TEXT(info->StartMode, L"Manual");
    EXPECT_TEXT(info->Started, L"False");
    EXPECT_TEXT(info->AcceptStop, L"False");
    EXPECT_TEXT(info->AcceptPause, L"False");
    EXPECT_TEXT(info->DesktopInteract, L"False");
    // Registered without an account: the service database runs it as LocalSystem and says so.
    EXPECT_TEXT(info->StartName, L"LocalSystem");
    EXPECT_TEXT(info->ErrorControl, L"Normal");
    EXPECT_TEXT(info->CreationClassName, L"Win32_Service");
    EXPECT_TEXT(info->SystemCreationClassName, L"Win32_ComputerSystem");
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer, &length));
    EXPECT_TEXT(info->SystemName, std::wstring(computer, length));
    EXPECT_FALSE(info->InstallDate.has_value());
    EXPECT_TEXT(info->ProcessId, L"0");
    EXPECT_TEXT(info->ServiceSpecificExitCode, L"0");
    EXPECT_TEXT(info->CheckPoint, L"0");
    EXPECT_TEXT(info->WaitHint, L"0");
    EXPECT_TEXT(info->TagId, L"0");

    // The name as the service database spells it, whatever the case it was asked with.
    std::wstring lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    auto byLowerName = scm.Find(lower);
    ASSERT_TRUE(byLowerName.has_value());
    EXPECT_TEXT(byLowerName->Name, name);

    // Running, it accepts stop but not pause (--no-pause), and a pause order is an invalid control.
    ASSERT_EQ(scm.StartService(name), ReturnCode::Success);
    ASSERT_EQ(WaitForState(name, L"Running"), L"Running");
    info = scm.Find(name);
    ASSERT_TRUE(info.has_value());
    EXPECT_TEXT(info->Started, L"True");
    EXPECT_TEXT(info->AcceptStop, L"True");
    EXPECT_TEXT(info->AcceptPause, L"False");
    ASSERT_TRUE(info->ProcessId.has_value());
    EXPECT_NE(*info->ProcessId, L"0");
    EXPECT_EQ(scm.PauseService(name), ReturnCode::InvalidServiceControl);
}

TEST_F(ScmServiceManagerTest, FindGivesNullForAMissingOrEmptyDescriptionAndNamesOtherKinds) {
    std::wstring none = Register({L"NoDesc", L"Sans description"});
    std::wstring emptied = Register({L"EmptiedDesc", L"Description effacée", SERVICE_DEMAND_START, L"", {},
                                     L"Une description bientôt effacée."});
    std::wstring interactive = Register({L"Interactive", L"Interactif", SERVICE_DEMAND_START, L"", {}, std::nullopt,
                                         SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_ERROR_IGNORE});
    ASSERT_FALSE(interactive.empty());
    {
        ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        ScHandle service(OpenServiceW(manager.Get(), emptied.c_str(), SERVICE_CHANGE_CONFIG));
        ASSERT_TRUE(service);
        SetDescription(service.Get(), L"");
    }

    auto info = scm.Find(none);
    ASSERT_TRUE(info.has_value());
    EXPECT_FALSE(info->Description.has_value()) << Narrow(info->Description.value_or(L""));
    info = scm.Find(emptied);
    ASSERT_TRUE(info.has_value());
    EXPECT_FALSE(info->Description.has_value()) << Narrow(info->Description.value_or(L""));

    info = scm.Find(interactive);
    ASSERT_TRUE(info.has_value());
    EXPECT_TEXT(info->ServiceType, L"Interactive Process");
    EXPECT_TEXT(info->DesktopInteract, L"True");
    EXPECT_TEXT(info->ErrorControl, L"Ignore");
}

TEST_F(ScmServiceManagerTest, DependenciesAreListedInBothDirections) {
    std::wstring base = Register({L"DepBase", L"Base"});
    std::wstring middle = Register({L"DepMiddle", L"Milieu", SERVICE_DEMAND_START, L"", {base}});
    // Names its dependency in other letters' case, and a load-order group, which is no service.
    std::wstring lowerBase = base;
    std::transform(lowerBase.begin(), lowerBase.end(), lowerBase.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(towlower(c)); });
    std::wstring top = Register({L"DepTop", L"Sommet", SERVICE_DEMAND_START, L"", {lowerBase, middle, L"+KstScmGroup"}});
    // A driver that needs the base service: not a Win32 service, so not one of its dependents here.
    std::wstring driver = Register({L"DepDriver", L"Pilote", SERVICE_DEMAND_START, L"", {base}, std::nullopt,
                                    SERVICE_KERNEL_DRIVER});
    ASSERT_FALSE(top.empty());
    ASSERT_FALSE(driver.empty());

    std::vector<std::wstring> dependents = scm.DependentServices(base);
    std::sort(dependents.begin(), dependents.end());
    EXPECT_EQ(dependents, (std::vector<std::wstring>{middle, top}));
    EXPECT_EQ(scm.DependentServices(middle), std::vector<std::wstring>{top});
    EXPECT_TRUE(scm.DependentServices(top).empty());

    EXPECT_EQ(scm.ServicesDependedOn(top), (std::vector<std::wstring>{lowerBase, middle}));
    EXPECT_EQ(scm.ServicesDependedOn(middle), std::vector<std::wstring>{base});
    EXPECT_TRUE(scm.ServicesDependedOn(base).empty());

    // Service names ignore case: asked in lower case, the same services.
    EXPECT_EQ(scm.DependentServices(lowerBase).size(), 2u);
}

TEST_F(ScmServiceManagerTest, StartPauseResumeStopFollowTheServiceStates) {
    std::wstring name = Register({L"Cycle", L"Cycle de vie"});
    ASSERT_FALSE(name.empty());

    EXPECT_EQ(scm.PauseService(name), ReturnCode::ServiceNotActive);
    EXPECT_EQ(scm.ResumeService(name), ReturnCode::ServiceNotActive);
    EXPECT_EQ(scm.StopService(name), ReturnCode::ServiceNotActive);

    ASSERT_EQ(scm.StartService(name), ReturnCode::Success);
    ASSERT_EQ(WaitForState(name, L"Running"), L"Running");
    EXPECT_EQ(scm.StartService(name), ReturnCode::ServiceAlreadyRunning);
    auto info = scm.Find(name);
    ASSERT_TRUE(info.has_value());
    EXPECT_TEXT(info->AcceptPause, L"True");

    EXPECT_EQ(scm.PauseService(name), ReturnCode::Success);
    EXPECT_EQ(WaitForState(name, L"Paused"), L"Paused");
    EXPECT_EQ(scm.PauseService(name), ReturnCode::ServiceAlreadyPaused);
    EXPECT_EQ(scm.StartService(name), ReturnCode::ServiceAlreadyRunning);

    EXPECT_EQ(scm.ResumeService(name), ReturnCode::Success);
    EXPECT_EQ(WaitForState(name, L"Running"), L"Running");

    EXPECT_EQ(scm.StopService(name), ReturnCode::Success);
    EXPECT_EQ(WaitForState(name, L"Stopped"), L"Stopped");
    EXPECT_EQ(scm.StopService(name), ReturnCode::ServiceNotActive);
}

TEST_F(ScmServiceManagerTest, StopIsRefusedWhileADependentServiceRuns) {
    std::wstring base = Register({L"StopBase", L"Base à arrêter"});
    std::wstring dependent = Register({L"StopDependent", L"Dépendant", SERVICE_DEMAND_START, L"", {base}});
    ASSERT_FALSE(dependent.empty());
    ASSERT_EQ(scm.StartService(base), ReturnCode::Success);
    ASSERT_EQ(WaitForState(base, L"Running"), L"Running");
    ASSERT_EQ(scm.StartService(dependent), ReturnCode::Success);
    ASSERT_EQ(WaitForState(dependent, L"Running"), L"Running");

    EXPECT_EQ(scm.StopService(base), ReturnCode::DependentServicesRunning);
    EXPECT_TEXT(Properties(base).State, L"Running");

    // A paused dependent still holds it.
    ASSERT_EQ(scm.PauseService(dependent), ReturnCode::Success);
    ASSERT_EQ(WaitForState(dependent, L"Paused"), L"Paused");
    EXPECT_EQ(scm.StopService(base), ReturnCode::DependentServicesRunning);

    ASSERT_EQ(scm.StopService(dependent), ReturnCode::Success);
    ASSERT_EQ(WaitForState(dependent, L"Stopped"), L"Stopped");
    EXPECT_EQ(scm.StopService(base), ReturnCode::Success);
    EXPECT_EQ(WaitForState(base, L"Stopped"), L"Stopped");
}

TEST_F(ScmServiceManagerTest, StartingAServiceStartsTheServicesItNeedsFirst) {
    std::wstring base = Register({L"NeedBase", L"Base nécessaire"});
    std::wstring middle = Register({L"NeedMiddle", L"Intermédiaire", SERVICE_DEMAND_START, L"", {base}});
    std::wstring top = Register({L"NeedTop", L"Sommet", SERVICE_DEMAND_START, L"", {middle}});
    std::wstring disabled = Register({L"NeedDisabled", L"Base désactivée", SERVICE_DISABLED});
    std::wstring needsDisabled = Register({L"NeedsDisabled", L"A besoin d'un désactivé", SERVICE_DEMAND_START, L"", {disabled}});
    std::wstring needsMissing = Register({L"NeedsMissing", L"A besoin d'un absent", SERVICE_DEMAND_START, L"",
                                          {L"KstScmTestNoSuchDependency"}});
    ASSERT_FALSE(needsMissing.empty());

    EXPECT_EQ(scm.StartService(top), ReturnCode::Success);
    EXPECT_EQ(WaitForState(top, L"Running"), L"Running");
    EXPECT_TEXT(Properties(middle).State, L"Running");
    EXPECT_TEXT(Properties(base).State, L"Running");

    EXPECT_EQ(scm.StartService(needsDisabled), ReturnCode::ServiceDependencyFailure);
    EXPECT_TEXT(Properties(needsDisabled).State, L"Stopped");
    EXPECT_EQ(scm.StartService(needsMissing), ReturnCode::ServiceDependencyDeleted);
    EXPECT_TEXT(Properties(needsMissing).State, L"Stopped");
}

TEST_F(ScmServiceManagerTest, StartModeChangesShowInFindAndInventory) {
    std::wstring name = Register({L"Modes", L"Modes de démarrage"});
    ASSERT_FALSE(name.empty());
    struct Case {
        const wchar_t* mode;
        const wchar_t* shown;
    };
    for (const Case& c : {Case{L"Automatic", L"Auto"}, Case{L"Disabled", L"Disabled"}, Case{L"Manual", L"Manual"},
                          Case{L"Disabled", L"Disabled"}}) {
        SCOPED_TRACE(Narrow(c.mode));
        EXPECT_EQ(scm.ChangeStartMode(name, c.mode), ReturnCode::Success);
        EXPECT_TEXT(Properties(name).StartMode, c.shown);
        auto entry = Listed(name);
        ASSERT_TRUE(entry.has_value());
        EXPECT_TEXT(entry->StartMode, c.shown);
    }
    // Only the three words of the management class are understood.
    for (const wchar_t* wrong : {L"Auto", L"manual", L"Boot", L""})
        EXPECT_EQ(scm.ChangeStartMode(name, wrong), ReturnCode::StatusInvalidParameter) << Narrow(wrong);
    EXPECT_TEXT(Properties(name).StartMode, L"Disabled");

    EXPECT_EQ(scm.StartService(name), ReturnCode::ServiceDisabled);
    EXPECT_TEXT(Properties(name).State, L"Stopped");

    // A delayed automatic start is set, shown and cleared; a start-mode change leaves it as it is.
    EXPECT_TEXT(Properties(name).DelayedAutoStart, L"False");
    ASSERT_EQ(scm.ChangeStartMode(name, L"Automatic"), ReturnCode::Success);
    EXPECT_EQ(scm.SetDelayedAutoStart(name, true), ReturnCode::Success);
    EXPECT_TEXT(Properties(name).DelayedAutoStart, L"True");
    EXPECT_EQ(StartModeShown(Properties(name)), L"Automatique (début différé)");
    ASSERT_EQ(scm.ChangeStartMode(name, L"Automatic"), ReturnCode::Success);
    EXPECT_TEXT(Properties(name).DelayedAutoStart, L"True");
    EXPECT_EQ(scm.SetDelayedAutoStart(name, false), ReturnCode::Success);
    EXPECT_TEXT(Properties(name).DelayedAutoStart, L"False");
    EXPECT_EQ(StartModeShown(Properties(name)), L"Auto");

    // A service Windows starts on a trigger keeps it under its key's TriggerInfo: shown beside the start
    // mode, and not for a disabled service, which answers no trigger.
    EXPECT_TEXT(Properties(name).TriggerStart, L"False");
    HKEY trigger = nullptr;
    std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + name + L"\\TriggerInfo\\0";
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &trigger, nullptr), ERROR_SUCCESS);
    RegCloseKey(trigger);
    EXPECT_TEXT(Properties(name).TriggerStart, L"True");
    EXPECT_EQ(StartModeShown(Properties(name)), L"Automatique (déclencheur)");
    ASSERT_EQ(scm.ChangeStartMode(name, L"Manual"), ReturnCode::Success);
    EXPECT_EQ(StartModeShown(Properties(name)), L"Manuel (déclencheur)");
    EXPECT_EQ(scm.TriggerStarts({name, L"KstNoSuchService"}), (std::vector<bool>{true, false}));
}

TEST_F(ScmServiceManagerTest, ServicesThatFailOrHangWhileStartingShowIt) {
    std::wstring failing = Register({L"FailStart", L"Échoue au démarrage", SERVICE_DEMAND_START, L"--fail-start"});
    std::wstring hanging = Register({L"HangStart", L"Démarrage sans fin", SERVICE_DEMAND_START, L"--hang-start"});
    ASSERT_FALSE(hanging.empty());

    // The request itself is accepted: the service gives up only once its process runs.
    EXPECT_EQ(scm.StartService(failing), ReturnCode::Success);
    EXPECT_EQ(WaitForState(failing, L"Stopped"), L"Stopped");
    auto info = scm.Find(failing);
    ASSERT_TRUE(info.has_value());
    EXPECT_TEXT(info->ExitCode, L"1066");  // ERROR_SERVICE_SPECIFIC_ERROR
    EXPECT_TEXT(info->ServiceSpecificExitCode, L"42");

    EXPECT_EQ(scm.StartService(hanging), ReturnCode::Success);
    EXPECT_EQ(WaitForState(hanging, L"Start Pending"), L"Start Pending");
    info = scm.Find(hanging);
    ASSERT_TRUE(info.has_value());
    EXPECT_TEXT(info->Started, L"True");
    EXPECT_TEXT(info->WaitHint, L"3000");
    EXPECT_NE(info->CheckPoint.value_or(L"0"), L"0");
    EXPECT_EQ(scm.PauseService(hanging), ReturnCode::ServiceCannotAcceptControl);
}

TEST_F(ScmServiceManagerTest, DeletedAndUnknownServicesReadAsAbsent) {
    std::wstring name = Register({L"Doomed", L"Service à supprimer", SERVICE_DEMAND_START, L"", {},
                                  L"Sera supprimé."});
    ASSERT_FALSE(name.empty());
    ASSERT_TRUE(scm.Find(name).has_value());
    EXPECT_EQ(scm.Delete(name), ReturnCode::Success);
    EXPECT_FALSE(scm.Find(name).has_value());
    EXPECT_FALSE(Listed(name).has_value());

    for (const std::wstring& absent : {name, std::wstring(L"KstScmTestNoSuchService")}) {
        SCOPED_TRACE(Narrow(absent));
        EXPECT_FALSE(scm.Find(absent).has_value());
        EXPECT_EQ(scm.StartService(absent), ReturnCode::ServiceMarkedForDeletion);
        EXPECT_EQ(scm.StopService(absent), ReturnCode::ServiceMarkedForDeletion);
        EXPECT_EQ(scm.PauseService(absent), ReturnCode::ServiceMarkedForDeletion);
        EXPECT_EQ(scm.ResumeService(absent), ReturnCode::ServiceMarkedForDeletion);
        EXPECT_EQ(scm.ChangeStartMode(absent, L"Manual"), ReturnCode::ServiceMarkedForDeletion);
        EXPECT_EQ(scm.Delete(absent), ReturnCode::ServiceMarkedForDeletion);
        EXPECT_TRUE(scm.ServicesDependedOn(absent).empty());
        EXPECT_TRUE(scm.DependentServices(absent).empty());
    }
}

TEST_F(ScmServiceManagerTest, ARunningServiceDeletedGoesOnceStopped) {
    std::wstring name = Register({L"DoomedRunning", L"Supprimé en marche"});
    ASSERT_FALSE(name.empty());
    ASSERT_EQ(scm.StartService(name), ReturnCode::Success);
    ASSERT_EQ(WaitForState(name, L"Running"), L"Running");
    EXPECT_EQ(scm.Delete(name), ReturnCode::Success);
    EXPECT_EQ(scm.StopService(name), ReturnCode::Success);
    bool gone = false;
    for (int waited = 0; waited <= kWaitMilliseconds && !gone; waited += kPollMilliseconds) {
        gone = !scm.Find(name).has_value();
        if (!gone) Sleep(kPollMilliseconds);
    }
    EXPECT_TRUE(gone);
}

// ---- What Wine's service database does differently, and waiting on pending services ----

TEST_F(ScmServiceManagerTest, AStartModeChangeKeepsBothDependencyLists) {
    std::wstring base = Register({L"KeepBase", L"Base gardée"});
    std::wstring dependent = Register({L"KeepDependent", L"Dépendant gardé", SERVICE_DEMAND_START, L"", {base, L"+KstScmGroup"}});
    ASSERT_FALSE(dependent.empty());
    for (const wchar_t* mode : {L"Automatic", L"Disabled", L"Manual"}) {
        SCOPED_TRACE(Narrow(mode));
        ASSERT_EQ(scm.ChangeStartMode(dependent, mode), ReturnCode::Success);
        EXPECT_EQ(scm.ServicesDependedOn(dependent), std::vector<std::wstring>{base});
        EXPECT_EQ(scm.DependentServices(base), std::vector<std::wstring>{dependent});
    }
    // The load-order group is kept too: it is still in the service's own record.
    wchar_t groups[256] = {};
    DWORD bytes = sizeof(groups);
    std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + dependent;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DependOnGroup", RRF_RT_REG_MULTI_SZ, nullptr, groups, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(groups), L"KstScmGroup");
}

TEST_F(ScmServiceManagerTest, TheInventoryShowsTheStartModeOfTheServiceDatabaseNotOfTheRegistry) {
    std::wstring name = Register({L"RegStart", L"Démarrage du registre"});
    ASSERT_FALSE(name.empty());
    // The registry value is what the manager reads at the next boot; until then it is not the start mode.
    std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
    DWORD disabled = SERVICE_DISABLED;
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Start", REG_DWORD, &disabled, sizeof(disabled)),
              ERROR_SUCCESS);
    auto entry = Listed(name);
    ASSERT_TRUE(entry.has_value());
    ASSERT_TRUE(entry->StartMode.has_value());
    EXPECT_TEXT(Properties(name).StartMode, *entry->StartMode);
    // A plain inventory reads no start mode at all.
    for (const auto& plain : scm.Inventory(false)) {
        if (plain.Name == name) {
            EXPECT_FALSE(plain.StartMode.has_value());
        }
    }
}

TEST_F(ScmServiceManagerTest, AStartWhosePrerequisiteHangsEndsWithinItsWaitHint) {
    std::wstring hanging = Register({L"HangBase", L"Base bloquée", SERVICE_DEMAND_START, L"--hang-start"});
    std::wstring middle = Register({L"HangMiddle", L"Milieu", SERVICE_DEMAND_START, L"", {hanging}});
    std::wstring top = Register({L"HangTop", L"Sommet", SERVICE_DEMAND_START, L"", {middle, hanging}});
    ASSERT_FALSE(top.empty());
    CommandScope command(scm);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(scm.StartService(top), ReturnCode::ServiceRequestTimeout);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The hanging service promised its next step within 3 s: one wait of that much and a margin, not one
    // per service that needs it (the chain names it twice), and never 30 s per step.
    EXPECT_LT(seconds, 3.0 + 4.0);
    EXPECT_TEXT(Properties(top).State, L"Stopped");
    EXPECT_TEXT(Properties(middle).State, L"Stopped");
    // Within the same command, the failed prerequisite is not waited for again.
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(scm.StartService(middle), ReturnCode::ServiceRequestTimeout);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
}

TEST_F(ScmServiceManagerTest, WaitingFollowsAServiceThatKeepsReportingProgress) {
    std::wstring slow = Register({L"SlowStop", L"Arrêt lent", SERVICE_DEMAND_START, L"--slow-stop"});
    ASSERT_FALSE(slow.empty());
    ASSERT_EQ(scm.StartService(slow), ReturnCode::Success);
    ASSERT_EQ(WaitForState(slow, L"Running"), L"Running");
    ASSERT_EQ(scm.StopService(slow), ReturnCode::Success);
    // Two seconds of stopping, each half second announced with a wait hint of one: the wait lasts them all.
    EXPECT_TRUE(scm.WaitWhilePending(slow));
    EXPECT_TEXT(Properties(slow).State, L"Stopped");
}

TEST_F(ScmServiceManagerTest, DependentsAddedOrRemovedByAnotherProgramShowAtTheNextLookup) {
    auto* wine = dynamic_cast<WineServiceManager*>(&scm);
    if (!wine) GTEST_SKIP() << "the map of dependents is kept only under Wine";
    std::wstring base = Register({L"MapBase", L"Base"});
    std::wstring first = Register({L"MapFirst", L"Premier", SERVICE_DEMAND_START, L"", {base}});
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(scm.DependentServices(base), std::vector<std::wstring>{first});
    int rebuilds = wine->DependentsRebuilds();
    EXPECT_EQ(scm.DependentServices(base), std::vector<std::wstring>{first});
    EXPECT_EQ(wine->DependentsRebuilds(), rebuilds) << "rebuilt although nothing changed";

    std::wstring second = Register({L"MapSecond", L"Second", SERVICE_DEMAND_START, L"", {base}});
    std::vector<std::wstring> dependents = scm.DependentServices(base);
    std::sort(dependents.begin(), dependents.end());
    EXPECT_EQ(dependents, (std::vector<std::wstring>{first, second}));

    // Another program takes the dependency away.
    ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ScHandle service(OpenServiceW(manager.Get(), first.c_str(), SERVICE_CHANGE_CONFIG));
    ASSERT_TRUE(ChangeServiceConfigW(service.Get(), SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr,
                                     nullptr, nullptr, L"\0", nullptr, nullptr, nullptr));
    EXPECT_EQ(scm.DependentServices(base), std::vector<std::wstring>{second});
}

}  // namespace
}  // namespace kestrane
