#include "profile/MachineLock.h"

namespace kestrane {

MachineLock::MachineLock() {
    mutex_ = CreateMutexW(nullptr, FALSE, kName);
    // Creating a global object needs SeCreateGlobalPrivilege, which an administrator has; without it the
    // lock still keeps apart the applications of this sign-in session.
    if (!mutex_) mutex_ = CreateMutexW(nullptr, FALSE, L"Local\\Kestrane.ApplicationConfiguration");
}

MachineLock::~MachineLock() {
    Release();
    if (mutex_) CloseHandle(mutex_);
}

bool MachineLock::Take(DWORD milliseconds) {
    if (held_) return true;
    if (!mutex_) return held_ = true;  // no lock can be made: nothing to wait for
    DWORD result = WaitForSingleObject(mutex_, milliseconds);
    // WAIT_ABANDONED: the holder ended without releasing it; the lock is now this one's.
    held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    return held_;
}

void MachineLock::Release() {
    if (held_ && mutex_) ReleaseMutex(mutex_);
    held_ = false;
}

}  // namespace kestrane
