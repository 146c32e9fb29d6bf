#include "service/WineServiceManager.h"

#include "service/Prerequisites.h"
#include "service/ScmSupport.h"

#include <cwchar>
#include <system_error>
#include <iterator>
#include <utility>

namespace kestrane {

using namespace scm;

namespace {

// Reads the REG_MULTI_SZ value `valueName` of `root`\`subkey` (of `root` itself when `subkey` is null) into
// `data`, ended by two nulls whatever was stored. Gives the registry's status.
LSTATUS ReadMultiString(HKEY root, const wchar_t* subkey, const wchar_t* valueName, std::vector<wchar_t>& data) {
    for (;;) {
        DWORD bytes = static_cast<DWORD>((data.size() - 2) * sizeof(wchar_t));
        LSTATUS status = RegGetValueW(root, subkey, valueName, RRF_RT_REG_MULTI_SZ, nullptr, data.data(), &bytes);
        if (status == ERROR_MORE_DATA) {
            data.resize(bytes / sizeof(wchar_t) + 4);
            continue;
        }
        if (status != ERROR_SUCCESS) return status;
        size_t count = bytes / sizeof(wchar_t);
        data[count] = L'\0';
        data[count + 1] = L'\0';
        return status;
    }
}

// The registry path of a service's key, or empty for a name that cannot be one (a service name holds
// no backslash; one would reach another key than a service's).
std::wstring ServiceKeyPath(const std::wstring& name) {
    if (name.empty() || name.find(L'\\') != std::wstring::npos) return {};
    return std::wstring(kServicesKey) + L"\\" + name;
}

// The raw dependency value `valueName` of a service ("DependOnService" or "DependOnGroup"); empty list
// when it has none. Throws ServiceError when the value cannot be read.
std::vector<std::wstring> ReadList(const std::wstring& name, const wchar_t* valueName) {
    std::vector<std::wstring> out;
    std::wstring path = ServiceKeyPath(name);
    if (path.empty()) return out;
    std::vector<wchar_t> data(512);
    LSTATUS status = ReadMultiString(HKEY_LOCAL_MACHINE, path.c_str(), valueName, data);
    if (status == ERROR_FILE_NOT_FOUND) return out;  // no such service, or nothing of that kind needed
    if (status != ERROR_SUCCESS) Fail("RegGetValueW(DependOnService)", static_cast<DWORD>(status));
    for (const wchar_t* entry = data.data(); *entry; entry += wcslen(entry) + 1) out.emplace_back(entry);
    return out;
}

bool Started(DWORD state) {
    return state == SERVICE_RUNNING || state == SERVICE_PAUSED || state == SERVICE_PAUSE_PENDING ||
           state == SERVICE_CONTINUE_PENDING;
}

// One service key as a scan finds it: its name and when it was last written, from the enumeration of
// the services key; what it needs, read only when `previous` has it older or not at all.
struct ServiceKey {
    std::wstring name;
    FILETIME written{};
    std::vector<std::wstring> needs;
};

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// The key at `index` of the services key, read for what it needs unless `previous` read it as it is
// now. Throws ServiceError.
template <class KeysRead>
ServiceKey ReadServiceKey(HKEY services, DWORD index, const KeysRead& previous) {
    // Key names of services are at most 256 characters; a longer key cannot be a service.
    wchar_t keyName[257];
    DWORD length = static_cast<DWORD>(std::size(keyName));
    ServiceKey key;
    LSTATUS enumStatus =
        RegEnumKeyExW(services, index, keyName, &length, nullptr, nullptr, nullptr, &key.written);
    // Keys deleted during the scan shorten the list; a name too long is no service.
    if (enumStatus == ERROR_NO_MORE_ITEMS || enumStatus == ERROR_MORE_DATA) return {};
    if (enumStatus != ERROR_SUCCESS) Fail("RegEnumKeyExW(Services)", static_cast<DWORD>(enumStatus));
    key.name.assign(keyName, length);
    auto known = previous.find(key.name);
    if (known != previous.end() && SameTime(known->second.written, key.written)) {
        key.needs = known->second.needs;
        return key;
    }
    // A key that could not be read is read again by the next scan, whether it was written or not.
    auto unread = [&](LSTATUS status) {
        if (status != ERROR_FILE_NOT_FOUND) key.written = {};
        return key;
    };
    // One call for the value (each registry call is a round trip to the wineserver); the key is opened
    // for its type only when the service needs others.
    std::vector<wchar_t> data(256);
    if (LSTATUS status = ReadMultiString(services, keyName, L"DependOnService", data); status != ERROR_SUCCESS)
        return unread(status);
    if (!data[0]) return key;
    DWORD type = 0;
    DWORD size = sizeof(type);
    if (LSTATUS status = RegGetValueW(services, keyName, L"Type", RRF_RT_REG_DWORD, nullptr, &type, &size);
        status != ERROR_SUCCESS)
        return unread(status);
    if (!(type & SERVICE_WIN32)) return key;  // only Win32 services count, as in the inventory
    for (const wchar_t* entry = data.data(); *entry; entry += wcslen(entry) + 1)
        if (*entry != SC_GROUP_IDENTIFIERW) key.needs.emplace_back(entry);
    return key;
}

}  // namespace

WineServiceManager::WineServiceManager(bool prefetch) {
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ | KEY_NOTIFY, servicesKey_.Receive()) !=
        ERROR_SUCCESS)
        servicesKey_.Reset();
    changed_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // The first map is built while the program creates its window, which needs it only for the first
    // selection. The notification is asked for here, on the thread that will check it.
    if (!prefetch) return;  // built at its first use
    prefetchNotified_ = ArmNotification();
    try {
        prefetch_ = std::async(std::launch::async, [this] { return ScanDependents({}); });
    } catch (const std::system_error&) {
        // No thread to be had: the map is built at its first use.
    }
}

WineServiceManager::~WineServiceManager() {
    if (prefetch_.valid()) prefetch_.wait();
}

std::vector<std::wstring> WineServiceManager::ServicesDependedOn(const std::wstring& name) {
    // The scan that lists who needs whom has read what each service needs: no registry call of its own.
    const DependentsMap& needs = MapsKnowing(name).needs;
    auto it = needs.find(name);
    return it == needs.end() ? std::vector<std::wstring>{} : it->second;
}

std::vector<std::wstring> WineServiceManager::DependentServices(const std::wstring& name) { return DependentsOf(name); }

const std::vector<std::wstring>& WineServiceManager::DependentsOf(const std::wstring& name) {
    static const std::vector<std::wstring> kNone;
    const DependentsMap& dependents = MapsKnowing(name).dependents;
    auto it = dependents.find(name);
    return it == dependents.end() ? kNone : it->second;
}

const WineServiceManager::DependencyMaps& WineServiceManager::CurrentMaps() {
    if (prefetch_.valid()) {
        ++rebuilds_;
        try {
            maps_ = prefetch_.get();
            dependentsValid_ = prefetchNotified_;
        } catch (...) {
            dependentsValid_ = false;  // built again below, where its failure reaches the caller
        }
    }
    // Without the notification the map cannot be known to be current: it is built for every call.
    bool current = dependentsValid_ && changed_ && WaitForSingleObject(changed_.Get(), 0) == WAIT_TIMEOUT;
    if (!current) RebuildDependents();
    return maps_;
}

const WineServiceManager::DependencyMaps& WineServiceManager::MapsKnowing(const std::wstring& name) {
    const DependencyMaps& maps = CurrentMaps();
    if (maps.keys.count(name) || rereadForUnknown_) return maps;
    rereadForUnknown_ = true;
    RebuildDependents();
    return maps_;
}

bool WineServiceManager::ArmNotification() {
    // Asked for before a scan, so that a change made during it is seen at the next use.
    if (!servicesKey_ || !changed_) return false;
    ResetEvent(changed_.Get());
    return RegNotifyChangeKeyValue(servicesKey_.Get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                   changed_.Get(), TRUE) == ERROR_SUCCESS;
}

void WineServiceManager::RebuildDependents() {
    ++rebuilds_;
    dependentsValid_ = false;
    DependencyMaps previous = std::move(maps_);
    maps_ = DependencyMaps{};
    bool notified = ArmNotification();
    maps_ = ScanDependents(previous.keys);
    dependentsValid_ = notified;
}

WineServiceManager::DependencyMaps WineServiceManager::ScanDependents(const KeysRead& previous) const {
    DependencyMaps maps;
    DependentsMap& map = maps.dependents;
    RegKey scanKey;
    // Its own handle: the scan may run on another thread than the one that watches the key.
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ, scanKey.Receive());
    if (status != ERROR_SUCCESS) Fail("RegOpenKeyExW(Services)", static_cast<DWORD>(status));
    HKEY services = scanKey.Get();
    DWORD keyCount = 0;
    status = RegQueryInfoKeyW(services, nullptr, nullptr, nullptr, &keyCount, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) Fail("RegQueryInfoKeyW(Services)", static_cast<DWORD>(status));

    std::vector<ServiceKey> keys(keyCount);
    ForEachIndex(keyCount, [&](size_t index) { keys[index] = ReadServiceKey(services, static_cast<DWORD>(index), previous); });
    // In the order of the service keys, as a scan for one service would list them.
    for (ServiceKey& key : keys) {
        if (key.name.empty()) continue;
        maps.keys[key.name] = {key.written, key.needs};
        if (!key.needs.empty()) maps.needs[key.name] = key.needs;
        for (const std::wstring& needed : key.needs) {
            std::vector<std::wstring>& list = map[needed];
            bool listed = false;
            for (const std::wstring& already : list)
                if (SameServiceName(already, key.name)) listed = true;
            if (!listed) list.push_back(key.name);
        }
    }
    return maps;
}


// Wine's side of a start's prerequisites: each one opened and asked for its state, started, and waited
// for while it makes progress, as Windows does before it starts the service that needs it.
class WineServiceManager::Walk : public PrerequisiteWalk {
public:
    Walk(WineServiceManager& owner, SC_HANDLE manager) : owner_(owner), manager_(manager) {}
    std::vector<std::wstring> Needs(const std::wstring& name) override { return owner_.ServicesDependedOn(name); }
    int Look(const std::wstring& prerequisite, State& state) override {
        auto known = owner_.failed_.find(prerequisite);
        if (known != owner_.failed_.end()) return known->second;
        ScHandle service(OpenServiceW(manager_, prerequisite.c_str(), SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
        if (!service) {
            if (GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) return ReturnCode::ServiceDependencyFailure;
            state = State::Missing;
            return ReturnCode::Success;
        }
        DWORD error = 0;
        SERVICE_STATUS_PROCESS status{};
        if (!QueryStatus(service.Get(), status, error)) return ReturnCode::ServiceDependencyFailure;
        state = status.dwCurrentState == SERVICE_STOPPED ? State::Stopped : State::Active;
        if (state == State::Stopped) {
            Buffer config(kConfigBufferBytes);
            if (QueryConfig(service.Get(), config, error) &&
                config.As<QUERY_SERVICE_CONFIGW>()->dwStartType == SERVICE_DISABLED)
                state = State::Disabled;
        }
        return ReturnCode::Success;
    }
    int Reach(const std::wstring& prerequisite, const std::wstring&, bool stopped) override {
        ScHandle service(OpenServiceW(manager_, prerequisite.c_str(), SERVICE_START | SERVICE_QUERY_STATUS));
        if (!service) return ReturnCode::ServiceDependencyFailure;
        if (stopped && !::StartServiceW(service.Get(), 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
            return ReturnCode::ServiceDependencyFailure;
        // As Windows does, the service is started only once what it needs runs.
        SERVICE_STATUS_PROCESS status{};
        if (!scm::WaitWhilePending(service.Get(), status))
            return IsPending(status.dwCurrentState) ? ReturnCode::ServiceRequestTimeout : ReturnCode::ServiceDependencyFailure;
        return Started(status.dwCurrentState) ? ReturnCode::Success : ReturnCode::ServiceDependencyFailure;
    }
    // Remembers why the prerequisite failed for the rest of the command: a second service needing it gets
    // the answer without waiting for it again.
    void Failed(const std::wstring& prerequisite, int code) override { owner_.failed_[prerequisite] = code; }

private:
    WineServiceManager& owner_;
    SC_HANDLE manager_;
};

int WineServiceManager::StartService(const std::wstring& name) {
    ControlTarget target = OpenForControl(Session(), name, SERVICE_START | SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    if (target.code != ReturnCode::Success) return target.code;
    // What it needs is started only for a service that is about to start: one running already (10) or
    // disabled (14) gets its answer from the service database without anything else being touched.
    SERVICE_STATUS_PROCESS status{};
    DWORD error = 0;
    if (!QueryStatus(target.service.Get(), status, error)) return FailureCode(error);
    Buffer config(kConfigBufferBytes);
    if (!QueryConfig(target.service.Get(), config, error)) return FailureCode(error);
    if (status.dwCurrentState == SERVICE_STOPPED &&
        config.As<QUERY_SERVICE_CONFIGW>()->dwStartType != SERVICE_DISABLED) {
        Walk walk(*this, target.manager.Get());
        int code = StartPrerequisites(walk, name);
        if (code != ReturnCode::Success) return code;
    }
    if (!::StartServiceW(target.service.Get(), 0, nullptr)) return FailureCode(GetLastError());
    return ReturnCode::Success;
}

int WineServiceManager::StopService(const std::wstring& name) {
    ControlTarget target = OpenForControl(Session(), name, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (target.code != ReturnCode::Success) return target.code;
    SERVICE_STATUS_PROCESS status{};
    DWORD error = 0;
    if (!QueryStatus(target.service.Get(), status, error)) return FailureCode(error);
    if (status.dwCurrentState == SERVICE_STOPPED) return ReturnCode::ServiceNotActive;

    // Windows refuses to stop a service while a service that depends on it is active (ControlService:
    // ERROR_DEPENDENT_SERVICES_RUNNING); Wine's services.exe stops it all the same.
    std::vector<std::wstring> dependents;
    try {
        dependents = DependentsOf(name);
    } catch (const ServiceError& e) {
        return e.Code();
    }
    for (const auto& dependent : dependents) {
        ScHandle other(OpenServiceW(target.manager.Get(), dependent.c_str(), SERVICE_QUERY_STATUS));
        if (!other) continue;  // gone meanwhile, or not ours to see: it cannot hold the stop
        SERVICE_STATUS_PROCESS otherStatus{};
        DWORD otherError = 0;
        if (QueryStatus(other.Get(), otherStatus, otherError) && otherStatus.dwCurrentState != SERVICE_STOPPED)
            return ReturnCode::DependentServicesRunning;
    }
    return SendControl(target.service.Get(), SERVICE_CONTROL_STOP);
}

int WineServiceManager::ChangeStartMode(const std::wstring& name, const std::wstring& mode) {
    DWORD startType = 0;
    if (!StartTypeOf(mode, startType)) return ReturnCode::StatusInvalidParameter;
    // The dependency list as it stands, services first and then load-order groups ("+" and the group), as
    // lpDependencies of ChangeServiceConfigW takes it.
    std::wstring dependencies;
    try {
        for (const std::wstring& service : ReadList(name, L"DependOnService")) dependencies += service + L'\0';
        for (const std::wstring& group : ReadList(name, L"DependOnGroup"))
            dependencies += std::wstring(1, SC_GROUP_IDENTIFIERW) + group + L'\0';
    } catch (const ServiceError& e) {
        return e.Code();
    }
    dependencies += L'\0';
    ControlTarget target = OpenForControl(Session(), name, SERVICE_CHANGE_CONFIG);
    if (target.code != ReturnCode::Success) return target.code;
    if (!ChangeServiceConfigW(target.service.Get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr,
                              nullptr, dependencies.c_str(), nullptr, nullptr, nullptr))
        return FailureCode(GetLastError());
    return ReturnCode::Success;
}

std::optional<ServiceInfo> WineServiceManager::Find(const std::wstring& name) {
    std::optional<ServiceInfo> info = ScmServiceManager::Find(name);
    if (!info || (info->DelayedAutoStart && info->TriggerStart)) return info;
    if (!info->DelayedAutoStart) info->DelayedAutoStart = DelayedStartElsewhere(info->Name.value_or(name));
    if (!info->TriggerStart) info->TriggerStart = TriggerStartElsewhere(info->Name.value_or(name));
    return info;
}

Text WineServiceManager::DelayedStartElsewhere(const std::wstring& name) const {
    std::wstring key = ServiceKeyPath(name);
    DWORD value = 0;
    DWORD size = sizeof(value);
    bool read = !key.empty() && RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DelayedAutostart", RRF_RT_REG_DWORD,
                                             nullptr, &value, &size) == ERROR_SUCCESS;
    return std::wstring(read && value ? L"True" : L"False");
}

Text WineServiceManager::TriggerStartElsewhere(const std::wstring& name) const {
    std::wstring key = ServiceKeyPath(name);
    RegKey triggers;
    DWORD count = 0;
    bool read = !key.empty() &&
                RegOpenKeyExW(HKEY_LOCAL_MACHINE, (key + L"\\TriggerInfo").c_str(), 0, KEY_READ, triggers.Receive()) ==
                    ERROR_SUCCESS &&
                RegQueryInfoKeyW(triggers.Get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr) == ERROR_SUCCESS;
    return std::wstring(read && count ? L"True" : L"False");
}

int WineServiceManager::SetDelayedAutoStart(const std::wstring& name, bool delayed) {
    int code = ScmServiceManager::SetDelayedAutoStart(name, delayed);
    if (code == ReturnCode::Success) return code;
    std::optional<ServiceInfo> info = ScmServiceManager::Find(name);
    if (!info) return ReturnCode::ServiceMarkedForDeletion;
    std::wstring key = ServiceKeyPath(info->Name.value_or(name));
    DWORD value = delayed ? 1 : 0;
    if (key.empty()) return ReturnCode::StatusInvalidName;
    LSTATUS status = RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DelayedAutostart", REG_DWORD, &value, sizeof(value));
    return status == ERROR_SUCCESS ? ReturnCode::Success : FailureCode(static_cast<DWORD>(status));
}

}  // namespace kestrane
