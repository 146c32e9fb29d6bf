#include "service/ScmSupport.h"

#include "service/Responsive.h"

#include <algorithm>
#include <cwchar>

namespace kestrane::scm {

void Fail(const char* what, DWORD error) {
    throw ServiceError(std::string(what) + " failed, Win32 error " + std::to_string(error), error);
}

ScHandle OpenManager(DWORD access) { return ScHandle(OpenSCManagerW(nullptr, nullptr, access)); }

bool QueryConfig(SC_HANDLE service, Buffer& buffer, DWORD& error) {
    DWORD needed = 0;
    while (!QueryServiceConfigW(service, buffer.As<QUERY_SERVICE_CONFIGW>(), buffer.Size(), &needed)) {
        error = GetLastError();
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.Size()) return false;
        buffer.Resize(needed);
    }
    return true;
}

bool QueryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status, DWORD& error) {
    DWORD needed = 0;
    if (QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                             &needed))
        return true;
    error = GetLastError();
    return false;
}

ControlTarget OpenForControl(SC_HANDLE session, const std::wstring& name, DWORD access) {
    ControlTarget target(session);
    if (!target.manager) {
        target.code = FailureCode(GetLastError());
        return target;
    }
    target.service.Reset(OpenServiceW(target.manager.Get(), name.c_str(), access));
    if (!target.service) target.code = FailureCode(GetLastError());
    return target;
}

int SendControl(SC_HANDLE service, DWORD control) {
    SERVICE_STATUS status{};
    if (!ControlService(service, control, &status)) return FailureCode(GetLastError());
    return ReturnCode::Success;
}

bool IsPending(DWORD state) {
    return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING || state == SERVICE_PAUSE_PENDING ||
           state == SERVICE_CONTINUE_PENDING;
}

bool WaitWhilePending(SC_HANDLE service, SERVICE_STATUS_PROCESS& status) {
    // The pattern of the Service Control Manager documentation ("Starting a Service"): a pending service
    // promises its next step within its wait hint and shows each step by advancing its check point.
    // Waiting is bounded by that promise, not by a fixed time. A service that reports no wait hint (or
    // whose status the manager set itself, before the service reported) gets a few seconds.
    constexpr ULONGLONG kMarginMilliseconds = 1000;
    constexpr ULONGLONG kNoHintMilliseconds = 3000;
    constexpr ULONGLONG kLongestWaitMilliseconds = 2 * 60 * 1000;
    DWORD error = 0;
    if (!QueryStatus(service, status, error)) return false;
    const ULONGLONG start = GetTickCount64();
    ULONGLONG lastProgress = start;
    DWORD checkPoint = status.dwCheckPoint;
    while (IsPending(status.dwCurrentState)) {
        ULONGLONG now = GetTickCount64();
        ULONGLONG allowed = (status.dwWaitHint ? status.dwWaitHint : kNoHintMilliseconds) + kMarginMilliseconds;
        if (now - lastProgress > allowed || now - start > kLongestWaitMilliseconds) return false;
        // A tenth of the wait hint, as the documentation advises, but never so long that a quick service
        // keeps the window waiting: starts and stops under Wine take 0.1 to 0.3 s.
        DWORD pause = std::clamp<DWORD>(status.dwWaitHint / 10, 20, 250);
        PauseResponsive(pause);  // on the windows' thread, they keep painting meanwhile
        if (!QueryStatus(service, status, error)) return false;
        if (status.dwCheckPoint != checkPoint) {
            checkPoint = status.dwCheckPoint;
            lastProgress = GetTickCount64();
        }
    }
    return true;
}

std::vector<std::wstring> ServiceNamesOf(const wchar_t* list) {
    std::vector<std::wstring> out;
    if (!list) return out;
    for (const wchar_t* entry = list; *entry; entry += wcslen(entry) + 1)
        if (*entry != SC_GROUP_IDENTIFIERW) out.emplace_back(entry);
    return out;
}

Text StateText(DWORD state) {
    switch (state) {
    case SERVICE_STOPPED: return std::wstring(L"Stopped");
    case SERVICE_START_PENDING: return std::wstring(L"Start Pending");
    case SERVICE_STOP_PENDING: return std::wstring(L"Stop Pending");
    case SERVICE_RUNNING: return std::wstring(L"Running");
    case SERVICE_CONTINUE_PENDING: return std::wstring(L"Continue Pending");
    case SERVICE_PAUSE_PENDING: return std::wstring(L"Pause Pending");
    case SERVICE_PAUSED: return std::wstring(L"Paused");
    default: return std::wstring(L"Unknown");
    }
}

Text StartModeText(DWORD startType) {
    switch (startType) {
    case SERVICE_BOOT_START: return std::wstring(L"Boot");
    case SERVICE_SYSTEM_START: return std::wstring(L"System");
    case SERVICE_AUTO_START: return std::wstring(L"Auto");
    case SERVICE_DEMAND_START: return std::wstring(L"Manual");
    case SERVICE_DISABLED: return std::wstring(L"Disabled");
    default: return std::wstring(L"Unknown");
    }
}

}  // namespace kestrane::scm
