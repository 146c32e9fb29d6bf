#include "profile/MachineLock.h"

#include <sddl.h>

#include <atomic>

namespace kestrane {

namespace {

// Whether this process holds the lock already. A mutex belongs to a thread and takes its owner again at
// once: an application started from a window while another of the same window runs (a modal box lets
// messages through) must wait like any other.
std::atomic<bool> heldHere{false};

// Full access for SYSTEM and the administrators, whichever of them creates it first: a scheduled task
// running as SYSTEM and an administrator's window exclude each other (the default security of the first
// would refuse the other, which could then not wait on it).
HANDLE CreateShared(const wchar_t* name) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        descriptor = nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    HANDLE mutex = CreateMutexW(descriptor ? &attributes : nullptr, FALSE, name);
    if (descriptor) LocalFree(descriptor);
    // Created by another account with rights that let this one only wait on it: open it for that.
    if (!mutex && GetLastError() == ERROR_ACCESS_DENIED) mutex = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
    return mutex;
}

}  // namespace

MachineLock::MachineLock() {
    mutex_ = CreateShared(kName);
    // Creating a global object needs SeCreateGlobalPrivilege, which an administrator has; a program without
    // it still keeps apart the applications of its own sign-in session.
    if (!mutex_ && GetLastError() != ERROR_ACCESS_DENIED) mutex_ = CreateShared(L"Local\\Kestrane.ApplicationConfiguration");
}

MachineLock::~MachineLock() {
    Release();
    if (mutex_) CloseHandle(mutex_);
}

bool MachineLock::Take(DWORD milliseconds) {
    if (held_) return true;
    // No lock that can be waited on: nothing is changed rather than run beside another application.
    if (!mutex_) return false;
    if (heldHere.exchange(true)) {
        // Held by this process: waited for in steps, so that the holder can end meanwhile.
        const ULONGLONG end = GetTickCount64() + milliseconds;
        do {
            if (milliseconds == 0 || GetTickCount64() >= end) return false;
            Sleep(50);
        } while (heldHere.exchange(true));
    }
    DWORD result = WaitForSingleObject(mutex_, milliseconds);
    // WAIT_ABANDONED: the holder ended without releasing it; the lock is now this one's.
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    if (!held_) heldHere = false;
    return held_;
}

void MachineLock::Release() {
    if (held_ && mutex_) ReleaseMutex(mutex_);
    if (held_) heldHere = false;
    held_ = false;
}

}  // namespace kestrane
