// Win32 error codes of the service database, translated to the return codes the Win32_Service methods
// publish for them.
#include "service/ServiceManager.h"

namespace kestrane {

namespace {

struct Translation {
    unsigned long win32Error;
    int code;
};

constexpr Translation kTranslations[] = {
    {ERROR_SUCCESS, ReturnCode::Success},
    {ERROR_ACCESS_DENIED, ReturnCode::AccessDenied},
    {ERROR_DEPENDENT_SERVICES_RUNNING, ReturnCode::DependentServicesRunning},
    {ERROR_INVALID_SERVICE_CONTROL, ReturnCode::InvalidServiceControl},
    {ERROR_SERVICE_CANNOT_ACCEPT_CTRL, ReturnCode::ServiceCannotAcceptControl},
    {ERROR_SERVICE_NOT_ACTIVE, ReturnCode::ServiceNotActive},
    {ERROR_SERVICE_REQUEST_TIMEOUT, ReturnCode::ServiceRequestTimeout},
    {ERROR_PATH_NOT_FOUND, ReturnCode::PathNotFound},
    {ERROR_FILE_NOT_FOUND, ReturnCode::PathNotFound},
    {ERROR_BAD_EXE_FORMAT, ReturnCode::PathNotFound},
    {ERROR_SERVICE_ALREADY_RUNNING, ReturnCode::ServiceAlreadyRunning},
    {ERROR_SERVICE_DATABASE_LOCKED, ReturnCode::ServiceDatabaseLocked},
    {ERROR_SERVICE_DEPENDENCY_DELETED, ReturnCode::ServiceDependencyDeleted},
    {ERROR_SERVICE_DEPENDENCY_FAIL, ReturnCode::ServiceDependencyFailure},
    {ERROR_SERVICE_DISABLED, ReturnCode::ServiceDisabled},
    {ERROR_SERVICE_LOGON_FAILED, ReturnCode::ServiceLogonFailed},
    {ERROR_SERVICE_MARKED_FOR_DELETE, ReturnCode::ServiceMarkedForDeletion},
    // A service deleted between the moment the caller looked it up and the method call.
    {ERROR_SERVICE_DOES_NOT_EXIST, ReturnCode::ServiceMarkedForDeletion},
    {ERROR_SERVICE_NO_THREAD, ReturnCode::ServiceNoThread},
    {ERROR_CIRCULAR_DEPENDENCY, ReturnCode::StatusCircularDependency},
    {ERROR_DUPLICATE_SERVICE_NAME, ReturnCode::StatusDuplicateName},
    {ERROR_INVALID_NAME, ReturnCode::StatusInvalidName},
    {ERROR_INVALID_PARAMETER, ReturnCode::StatusInvalidParameter},
    {ERROR_INVALID_SERVICE_ACCOUNT, ReturnCode::StatusInvalidServiceAccount},
    {ERROR_SERVICE_EXISTS, ReturnCode::StatusServiceExists},
};

}  // namespace

int ReturnCodeFromWin32(unsigned long win32Error) {
    for (const Translation& t : kTranslations)
        if (t.win32Error == win32Error) return t.code;
    return ReturnCode::UnknownFailure;
}

int FailureCode(unsigned long win32Error) {
    return win32Error == ERROR_SUCCESS ? ReturnCode::UnknownFailure : ReturnCodeFromWin32(win32Error);
}

std::wstring StartModeShown(const ServiceInfo& info) {
    std::wstring mode = info.StartMode.value_or(L"");
    const bool delayed = info.DelayedAutoStart == std::optional<std::wstring>(L"True");
    // A disabled service answers no trigger: its triggers are not told.
    if (info.TriggerStart == std::optional<std::wstring>(L"True")) {
        if (mode == L"Auto") return delayed ? L"Automatique (d\u00e9but diff\u00e9r\u00e9, d\u00e9clencheur)" : L"Automatique (d\u00e9clencheur)";
        if (mode == L"Manual") return L"Manuel (d\u00e9clencheur)";
    }
    if (mode == L"Auto" && delayed) return L"Automatique (d\u00e9but diff\u00e9r\u00e9)";
    return mode;
}

std::vector<bool> ServiceManager::TriggerStarts(const std::vector<std::wstring>& names) {
    std::vector<bool> out;
    out.reserve(names.size());
    for (const std::wstring& name : names) {
        bool trigger = false;
        try {
            std::optional<ServiceInfo> info = Find(name);
            trigger = info && info->TriggerStart == std::optional<std::wstring>(L"True");
        } catch (const ServiceError&) {
        }
        out.push_back(trigger);
    }
    return out;
}

std::vector<bool> ServiceManager::DelayedAutoStarts(const std::vector<std::wstring>& names) {
    std::vector<bool> out;
    out.reserve(names.size());
    for (const std::wstring& name : names) {
        bool delayed = false;
        try {
            std::optional<ServiceInfo> info = Find(name);
            delayed = info && info->DelayedAutoStart == std::optional<std::wstring>(L"True");
        } catch (const ServiceError&) {
        }
        out.push_back(delayed);
    }
    return out;
}

std::vector<Text> ServiceManager::StartModes(const std::vector<std::wstring>& names) {
    std::vector<Text> modes;
    modes.reserve(names.size());
    for (const std::wstring& name : names) {
        std::optional<ServiceInfo> info = Find(name);
        modes.push_back(info ? info->StartMode : std::nullopt);
    }
    return modes;
}

}  // namespace kestrane
