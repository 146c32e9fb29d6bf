// What the Service Control Manager implementations share: buffers, handles opened for a call, status
// queries and the wait on pending states.
#pragma once

#include "service/Parallel.h"
#include "service/ServiceManager.h"
#include "base/Handles.h"

#include <algorithm>
#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace kestrane::scm {

// Where the service database keeps one key per service, on Windows and under Wine.
inline constexpr wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services";

// QueryServiceConfigW and QueryServiceConfig2W rarely need more than 8 KB: one call with a buffer of that
// size saves the usual "ask the size, then ask again" round trip to the service database.
inline constexpr DWORD kConfigBufferBytes = 8 * 1024;

[[noreturn]] void Fail(const char* what, DWORD error);

// A byte buffer aligned for the structures the service API writes at its start.
class Buffer {
public:
    explicit Buffer(DWORD bytes) { Resize(bytes); }
    void Resize(DWORD bytes) { storage_.assign((bytes + sizeof(Unit) - 1) / sizeof(Unit), Unit{}); }
    BYTE* Bytes() { return reinterpret_cast<BYTE*>(storage_.data()); }
    DWORD Size() const { return static_cast<DWORD>(storage_.size() * sizeof(Unit)); }
    template <typename T>
    T* As() { return reinterpret_cast<T*>(storage_.data()); }

private:
    using Unit = unsigned long long;
    std::vector<Unit> storage_;
};

ScHandle OpenManager(DWORD access);

// The configuration of an open service, or false with the Win32 error in `error`.
bool QueryConfig(SC_HANDLE service, Buffer& buffer, DWORD& error);

// The status of an open service, or false with the Win32 error in `error`.
bool QueryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status, DWORD& error);

// A connection to the service database: the one a command holds, or one opened for this call alone.
class ManagerHandle {
public:
    ManagerHandle(SC_HANDLE session, DWORD access) : handle_(session) {
        if (!handle_) {
            owned_.Reset(OpenSCManagerW(nullptr, nullptr, access));
            handle_ = owned_.Get();
        }
    }
    SC_HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    ScHandle owned_;
    SC_HANDLE handle_;
};

// A manager and a service opened for one method, or the method return code of the failure.
struct ControlTarget {
    ControlTarget(SC_HANDLE session) : manager(session, SC_MANAGER_CONNECT) {}
    ManagerHandle manager;
    ScHandle service;
    int code = ReturnCode::Success;
};
ControlTarget OpenForControl(SC_HANDLE session, const std::wstring& name, DWORD access);

// Sends a control code; the method return code of the outcome.
int SendControl(SC_HANDLE service, DWORD control);

bool IsPending(DWORD state);

// Waits while the service (opened with SERVICE_QUERY_STATUS) is pending. Waiting goes on while its check
// point advances; when it has not advanced for its last wait hint plus a margin, waiting ends, as it
// does after two minutes in all. True when the service is no longer pending; `status` holds the last
// status read.
bool WaitWhilePending(SC_HANDLE service, SERVICE_STATUS_PROCESS& status);

// The names of a double-null-terminated list of strings (lpDependencies), load-order groups ("+")
// left out.
std::vector<std::wstring> ServiceNamesOf(const wchar_t* list);

Text StateText(DWORD state);
Text StartModeText(DWORD startType);

}  // namespace kestrane::scm
