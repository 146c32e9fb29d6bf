#include "service/ScmServiceManager.h"

#include "service/Parallel.h"

#include "service/ScmSupport.h"
#include "service/WineServiceManager.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace kestrane {

using namespace scm;

namespace {

// Service names are compared without regard to case, as the service database does.
bool SameName(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// The description of an open service; null when it has none or an empty one, as the management class
// shows it. False with the Win32 error in `error` when it cannot be read.
bool QueryDescription(SC_HANDLE service, Text& description, DWORD& error) {
    Buffer buffer(kConfigBufferBytes);
    DWORD needed = 0;
    while (!QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, buffer.Bytes(), buffer.Size(), &needed)) {
        error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.Size()) return false;
        buffer.Resize(needed);
    }
    const wchar_t* text = buffer.As<SERVICE_DESCRIPTIONW>()->lpDescription;
    description = text && *text ? Text(text) : std::nullopt;
    return true;
}

// Whether an automatic start of an open service is delayed: "True", "False", or null where the service
// database does not answer this level (Windows before Vista, Wine).
Text QueryDelayedAutoStart(SC_HANDLE service) {
    SERVICE_DELAYED_AUTO_START_INFO info{};
    DWORD needed = 0;
    if (!QueryServiceConfig2W(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, reinterpret_cast<BYTE*>(&info),
                              sizeof(info), &needed))
        return std::nullopt;
    return std::wstring(info.fDelayedAutostart ? L"True" : L"False");
}

// Whether an open service starts on a trigger: "True" when it has at least one (QueryServiceConfig2W,
// SERVICE_CONFIG_TRIGGER_INFO, whose cTriggers counts them), "False" when none, null where the service
// database does not answer this level (Windows before 7, Wine).
Text QueryTriggerStart(SC_HANDLE service) {
    constexpr DWORD kTriggerInfoLevel = 8;  // SERVICE_CONFIG_TRIGGER_INFO
    Buffer buffer(256);
    DWORD needed = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (QueryServiceConfig2W(service, kTriggerInfoLevel, buffer.Bytes(), static_cast<DWORD>(buffer.Size()), &needed)) {
            DWORD count = *reinterpret_cast<const DWORD*>(buffer.Bytes());  // SERVICE_TRIGGER_INFO::cTriggers
            return std::wstring(count ? L"True" : L"False");
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.Size()) return std::nullopt;
        buffer.Resize(needed);
    }
    return std::nullopt;
}

Text NonEmpty(const wchar_t* text) {
    if (!text || !*text) return std::nullopt;
    return std::wstring(text);
}

Text ServiceTypeText(DWORD type) {
    // The interactive bit is combined with the own/share bit; the management class names the service
    // after the interactive one.
    if (type & SERVICE_INTERACTIVE_PROCESS) return std::wstring(L"Interactive Process");
    if (type & SERVICE_WIN32_OWN_PROCESS) return std::wstring(L"Own Process");
    if (type & SERVICE_WIN32_SHARE_PROCESS) return std::wstring(L"Share Process");
    if (type & SERVICE_KERNEL_DRIVER) return std::wstring(L"Kernel Driver");
    if (type & SERVICE_FILE_SYSTEM_DRIVER) return std::wstring(L"File System Driver");
    if (type & SERVICE_ADAPTER) return std::wstring(L"Adapter");
    if (type & SERVICE_RECOGNIZER_DRIVER) return std::wstring(L"Recognizer Driver");
    return std::wstring(L"Unknown");
}

Text ErrorControlText(DWORD errorControl) {
    switch (errorControl) {
    case SERVICE_ERROR_IGNORE: return std::wstring(L"Ignore");
    case SERVICE_ERROR_NORMAL: return std::wstring(L"Normal");
    case SERVICE_ERROR_SEVERE: return std::wstring(L"Severe");
    case SERVICE_ERROR_CRITICAL: return std::wstring(L"Critical");
    default: return std::wstring(L"Unknown");
    }
}

Text Flag(bool value) { return std::wstring(value ? L"True" : L"False"); }
Text Number(DWORD value) { return std::to_wstring(value); }

Text ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &length)) return std::nullopt;
    return std::wstring(name, length);
}

// One service as the enumeration lists it.
struct Listed {
    std::wstring name;
    std::wstring displayName;
    DWORD state;
    DWORD type;
};

// Every Win32 service the database lists, in its order.
std::vector<Listed> EnumerateWin32Services(SC_HANDLE manager, DWORD& sizeHint) {
    std::vector<Listed> out;
    // The size the last enumeration needed, so that one call is usually enough.
    Buffer buffer(std::max<DWORD>(sizeHint, 64 * 1024));
    DWORD resume = 0;
    for (;;) {
        DWORD needed = 0;
        DWORD returned = 0;
        BOOL done = EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL,
                                          buffer.Bytes(), buffer.Size(), &needed, &returned, &resume, nullptr);
        DWORD error = done ? ERROR_SUCCESS : GetLastError();
        if (!done && error != ERROR_MORE_DATA) Fail("EnumServicesStatusExW", error);
        const auto* entries = buffer.As<ENUM_SERVICE_STATUS_PROCESSW>();
        for (DWORD i = 0; i < returned; ++i)
            out.push_back({entries[i].lpServiceName, entries[i].lpDisplayName ? entries[i].lpDisplayName : L"",
                           entries[i].ServiceStatusProcess.dwCurrentState, entries[i].ServiceStatusProcess.dwServiceType});
        if (done) {
            sizeHint = std::max(sizeHint, needed ? needed : buffer.Size());
            return out;
        }
        // ERROR_MORE_DATA: the rest follows from the resume point; make room for it. (Wine returns no
        // entry at all when the buffer cannot hold them all, and the size of the whole list in `needed`.)
        if (returned == 0 && needed <= buffer.Size()) Fail("EnumServicesStatusExW", error);
        if (needed > buffer.Size()) {
            sizeHint = needed + 4096;
            buffer.Resize(sizeHint);
        }
    }
}

bool StartTypeFromManager(SC_HANDLE manager, const wchar_t* name, DWORD& startType) {
    ScHandle service(OpenServiceW(manager, name, SERVICE_QUERY_CONFIG));
    if (!service) return false;
    Buffer buffer(kConfigBufferBytes);
    DWORD error = 0;
    if (!QueryConfig(service.Get(), buffer, error)) return false;
    startType = buffer.As<QUERY_SERVICE_CONFIGW>()->dwStartType;
    return true;
}

// The direct prerequisites of an open service, from the configuration the service database gives.
std::vector<std::wstring> DependenciesOf(SC_HANDLE service) {
    Buffer buffer(kConfigBufferBytes);
    DWORD error = 0;
    if (!QueryConfig(service, buffer, error)) Fail("QueryServiceConfigW", error);
    return ServiceNamesOf(buffer.As<QUERY_SERVICE_CONFIGW>()->lpDependencies);
}

}  // namespace

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::unique_ptr<ServiceManager> CreateServiceManager(bool prefetchDependencies) {
    if (RunningUnderWine()) return std::make_unique<WineServiceManager>(prefetchDependencies);
    return std::make_unique<ScmServiceManager>();
}

void ScmServiceManager::BeginCommand() {
    if (commandDepth_++ == 0) session_.Reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
}

void ScmServiceManager::EndCommand() {
    if (commandDepth_ > 0 && --commandDepth_ == 0) session_.Reset();
}

std::vector<ServiceEntry> ScmServiceManager::Inventory(bool withStartModes) {
    ManagerHandle manager(Session(), SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
    if (!manager) Fail("OpenSCManagerW", GetLastError());

    std::vector<Listed> listed = EnumerateWin32Services(manager.Get(), enumBytes_);

    // The enumeration gives no start mode: it takes the service's configuration, as the field of the
    // selected service shows it (the registry value "Start" is only what the manager reads at boot).
    // Under Wine that is about 2 ms a service, spread over a few threads.
    constexpr DWORD kUnread = 0xFFFFFFFF;
    std::vector<DWORD> startTypes(listed.size(), kUnread);
    if (withStartModes) {
        ForEachIndex(listed.size(), [&](size_t i) {
            DWORD startType = 0;
            if (StartTypeFromManager(manager.Get(), listed[i].name.c_str(), startType)) startTypes[i] = startType;
        });
    }

    std::vector<ServiceEntry> out;
    out.reserve(listed.size());
    for (size_t i = 0; i < listed.size(); ++i) {
        ServiceEntry entry;
        if (startTypes[i] != kUnread) entry.StartMode = StartModeText(startTypes[i]);
        entry.Name = std::move(listed[i].name);
        entry.DisplayName = std::move(listed[i].displayName);
        entry.State = StateText(listed[i].state);
        entry.perUser = PerUserOfType(listed[i].type);
        out.push_back(std::move(entry));
    }
    return out;
}

namespace {

// OpenServiceW matches the name without regard to case; the management class gives the name as the
// service database spells it, which the display name (unique in the database) leads back to.
std::wstring ExactName(SC_HANDLE manager, const std::wstring& name, const QUERY_SERVICE_CONFIGW& config) {
    if (!config.lpDisplayName || !*config.lpDisplayName) return name;
    wchar_t keyName[257];
    DWORD length = static_cast<DWORD>(std::size(keyName));
    if (GetServiceKeyNameW(manager, config.lpDisplayName, keyName, &length) && SameName(keyName, name.c_str()))
        return keyName;
    return name;
}

// Every property of a service, as the management class gives them.
ServiceInfo Describe(const std::wstring& exactName, const QUERY_SERVICE_CONFIGW& config,
                     const SERVICE_STATUS_PROCESS& status, const Text& description) {
    ServiceInfo info;
    info.Name = exactName;
    info.DisplayName = std::wstring(config.lpDisplayName ? config.lpDisplayName : L"");
    info.Caption = info.DisplayName;
    info.PathName = NonEmpty(config.lpBinaryPathName);
    info.Description = description;
    info.ServiceType = ServiceTypeText(config.dwServiceType);
    info.AcceptPause = Flag((status.dwControlsAccepted & SERVICE_ACCEPT_PAUSE_CONTINUE) != 0);
    info.AcceptStop = Flag((status.dwControlsAccepted & SERVICE_ACCEPT_STOP) != 0);
    info.State = StateText(status.dwCurrentState);
    info.Status = std::wstring(L"OK");
    info.StartMode = StartModeText(config.dwStartType);
    info.Started = Flag(status.dwCurrentState != SERVICE_STOPPED);
    info.DesktopInteract = Flag((config.dwServiceType & SERVICE_INTERACTIVE_PROCESS) != 0);
    info.StartName = NonEmpty(config.lpServiceStartName);
    info.SystemName = ComputerName();
    info.SystemCreationClassName = std::wstring(L"Win32_ComputerSystem");
    info.CreationClassName = std::wstring(L"Win32_Service");
    info.InstallDate = std::nullopt;
    info.WaitHint = Number(status.dwWaitHint);
    info.ProcessId = Number(status.dwProcessId);
    info.TagId = Number(config.dwTagId);
    info.CheckPoint = Number(status.dwCheckPoint);
    info.ExitCode = Number(status.dwWin32ExitCode);
    info.ErrorControl = ErrorControlText(config.dwErrorControl);
    info.ServiceSpecificExitCode = Number(status.dwServiceSpecificExitCode);
    return info;
}

}  // namespace

std::vector<Text> ScmServiceManager::StartModes(const std::vector<std::wstring>& names) {
    ManagerHandle manager(Session(), SC_MANAGER_CONNECT);
    if (!manager) Fail("OpenSCManagerW", GetLastError());
    std::vector<Text> modes(names.size());
    ForEachIndex(names.size(), [&](size_t i) {
        DWORD startType = 0;
        if (StartTypeFromManager(manager.Get(), names[i].c_str(), startType)) modes[i] = StartModeText(startType);
    });
    return modes;
}

std::optional<ServiceInfo> ScmServiceManager::Find(const std::wstring& name) {
    ManagerHandle manager(Session(), SC_MANAGER_CONNECT);
    if (!manager) Fail("OpenSCManagerW", GetLastError());
    ScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    if (!service) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST || error == ERROR_INVALID_NAME) return std::nullopt;
        Fail("OpenServiceW", error);
    }

    Buffer configBuffer(kConfigBufferBytes);
    DWORD error = 0;
    if (!QueryConfig(service.Get(), configBuffer, error)) Fail("QueryServiceConfigW", error);
    const auto& config = *configBuffer.As<QUERY_SERVICE_CONFIGW>();

    // A description that cannot be read is shown as none: the other properties are still worth showing.
    Text description;
    if (!QueryDescription(service.Get(), description, error)) description = std::nullopt;

    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof(status), &needed))
        Fail("QueryServiceStatusEx", GetLastError());

    ServiceInfo info = Describe(ExactName(manager.Get(), name, config), config, status, description);
    info.DelayedAutoStart = QueryDelayedAutoStart(service.Get());
    info.TriggerStart = QueryTriggerStart(service.Get());
    info.perUser = PerUserOfType(config.dwServiceType);
    return info;
}

int ScmServiceManager::StartService(const std::wstring& name) {
    // The service database starts what the service needs first, and answers 1068
    // (ERROR_SERVICE_DEPENDENCY_FAIL) when one of them does not start.
    ControlTarget target = OpenForControl(Session(), name, SERVICE_START);
    if (target.code != ReturnCode::Success) return target.code;
    if (!::StartServiceW(target.service.Get(), 0, nullptr)) return FailureCode(GetLastError());
    return ReturnCode::Success;
}

int ScmServiceManager::StopService(const std::wstring& name) {
    ControlTarget target = OpenForControl(Session(), name, SERVICE_STOP);
    if (target.code != ReturnCode::Success) return target.code;
    return SendControl(target.service.Get(), SERVICE_CONTROL_STOP);
}

int ScmServiceManager::PauseOrResume(const std::wstring& name, bool pause) {
    ControlTarget target = OpenForControl(Session(), name, SERVICE_PAUSE_CONTINUE | SERVICE_QUERY_STATUS);
    if (target.code != ReturnCode::Success) return target.code;
    SERVICE_STATUS_PROCESS status{};
    DWORD error = 0;
    if (!QueryStatus(target.service.Get(), status, error)) return FailureCode(error);
    if (status.dwCurrentState == SERVICE_STOPPED) return ReturnCode::ServiceNotActive;
    // The service database would send the order again; the management class answers "already paused".
    if (pause && status.dwCurrentState == SERVICE_PAUSED) return ReturnCode::ServiceAlreadyPaused;
    return SendControl(target.service.Get(), pause ? SERVICE_CONTROL_PAUSE : SERVICE_CONTROL_CONTINUE);
}

int ScmServiceManager::PauseService(const std::wstring& name) { return PauseOrResume(name, true); }

int ScmServiceManager::ResumeService(const std::wstring& name) { return PauseOrResume(name, false); }

bool ScmServiceManager::StartTypeOf(const std::wstring& mode, DWORD& startType) {
    if (mode == L"Automatic") startType = SERVICE_AUTO_START;
    else if (mode == L"Manual") startType = SERVICE_DEMAND_START;
    else if (mode == L"Disabled") startType = SERVICE_DISABLED;
    else return false;
    return true;
}

int ScmServiceManager::ChangeStartMode(const std::wstring& name, const std::wstring& mode) {
    DWORD startType = 0;
    if (!StartTypeOf(mode, startType)) return ReturnCode::StatusInvalidParameter;
    ControlTarget target = OpenForControl(Session(), name, SERVICE_CHANGE_CONFIG);
    if (target.code != ReturnCode::Success) return target.code;
    if (!ChangeServiceConfigW(target.service.Get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr))
        return FailureCode(GetLastError());
    return ReturnCode::Success;
}

int ScmServiceManager::SetDelayedAutoStart(const std::wstring& name, bool delayed) {
    ControlTarget target = OpenForControl(Session(), name, SERVICE_CHANGE_CONFIG);
    if (target.code != ReturnCode::Success) return target.code;
    SERVICE_DELAYED_AUTO_START_INFO info{delayed ? TRUE : FALSE};
    if (!ChangeServiceConfig2W(target.service.Get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info))
        return FailureCode(GetLastError());
    return ReturnCode::Success;
}

int ScmServiceManager::Delete(const std::wstring& name) {
    ControlTarget target = OpenForControl(Session(), name, DELETE);
    if (target.code != ReturnCode::Success) return target.code;
    if (!DeleteService(target.service.Get())) return FailureCode(GetLastError());
    return ReturnCode::Success;
}

std::vector<bool> ScmServiceManager::ConfigFlags(const std::vector<std::wstring>& names, Text (*query)(SC_HANDLE),
                                                 Text (ScmServiceManager::*elsewhere)(const std::wstring&) const) {
    std::vector<char> out(names.size(), 0);
    ManagerHandle manager(Session(), SC_MANAGER_CONNECT);
    if (!manager) return std::vector<bool>(names.size(), false);
    ForEachIndex(names.size(), [&](size_t i) {
        ScHandle service(OpenServiceW(manager.Get(), names[i].c_str(), SERVICE_QUERY_CONFIG));
        if (!service) return;
        Text flag = query(service.Get());
        if (!flag) flag = (this->*elsewhere)(names[i]);
        out[i] = flag == std::optional<std::wstring>(L"True");
    });
    return std::vector<bool>(out.begin(), out.end());
}

std::vector<bool> ScmServiceManager::TriggerStarts(const std::vector<std::wstring>& names) {
    return ConfigFlags(names, QueryTriggerStart, &ScmServiceManager::TriggerStartElsewhere);
}

std::vector<bool> ScmServiceManager::DelayedAutoStarts(const std::vector<std::wstring>& names) {
    return ConfigFlags(names, QueryDelayedAutoStart, &ScmServiceManager::DelayedStartElsewhere);
}

bool ScmServiceManager::MayChange(const std::wstring& name, Change change) {
    // Opening the service with the right the change needs changes nothing: Windows answers access denied
    // there for a service it protects.
    ManagerHandle manager(Session(), SC_MANAGER_CONNECT);
    if (!manager) return true;  // the order itself will tell
    DWORD right = change == Change::Configuration ? SERVICE_CHANGE_CONFIG : change == Change::Start ? SERVICE_START : SERVICE_STOP;
    ScHandle service(OpenServiceW(manager.Get(), name.c_str(), right));
    return service || GetLastError() != ERROR_ACCESS_DENIED;
}

bool ScmServiceManager::WaitWhilePending(const std::wstring& name) {
    ManagerHandle manager(Session(), SC_MANAGER_CONNECT);
    if (!manager) return false;
    ScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
    if (!service) return false;
    SERVICE_STATUS_PROCESS status{};
    return scm::WaitWhilePending(service.Get(), status);
}

std::vector<std::wstring> ScmServiceManager::DependentServices(const std::wstring& name) {
    ManagerHandle manager(Session(), SC_MANAGER_CONNECT);
    if (!manager) Fail("OpenSCManagerW", GetLastError());
    ScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_ENUMERATE_DEPENDENTS));
    if (!service) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST || error == ERROR_INVALID_NAME) return {};
        Fail("OpenServiceW", error);
    }
    Buffer buffer(16 * 1024);
    DWORD needed = 0;
    DWORD count = 0;
    while (!EnumDependentServicesW(service.Get(), SERVICE_STATE_ALL, buffer.As<ENUM_SERVICE_STATUSW>(), buffer.Size(),
                                   &needed, &count)) {
        DWORD error = GetLastError();
        if (error != ERROR_MORE_DATA || needed <= buffer.Size()) Fail("EnumDependentServicesW", error);
        buffer.Resize(needed);
    }
    // The list holds every service that needs this one, also through others; the services that name it
    // among their own prerequisites are those that depend on it directly.
    std::vector<std::wstring> out;
    const auto* entries = buffer.As<ENUM_SERVICE_STATUSW>();
    for (DWORD i = 0; i < count; ++i) {
        ScHandle dependent(OpenServiceW(manager.Get(), entries[i].lpServiceName, SERVICE_QUERY_CONFIG));
        if (!dependent) continue;
        for (const std::wstring& prerequisite : DependenciesOf(dependent.Get())) {
            if (SameName(prerequisite.c_str(), name.c_str())) {
                out.emplace_back(entries[i].lpServiceName);
                break;
            }
        }
    }
    return out;
}

std::vector<std::wstring> ScmServiceManager::ServicesDependedOn(const std::wstring& name) {
    ManagerHandle manager(Session(), SC_MANAGER_CONNECT);
    if (!manager) Fail("OpenSCManagerW", GetLastError());
    ScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
    if (!service) {
        DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST || error == ERROR_INVALID_NAME) return {};
        Fail("OpenServiceW", error);
    }
    return DependenciesOf(service.Get());
}

}  // namespace kestrane
