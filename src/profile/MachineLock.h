// One application at a time on a machine: applications, undos and saves, from any window or the command
// line, of any sign-in session, hold one named mutex while they read and change the services. A second one
// waits for the first to end, so that neither acts on (nor records in an undo file) a machine the other is
// half-way through changing.
#pragma once

#include <windows.h>

namespace kestrane {

class MachineLock {
public:
    // The mutex's name: in the global namespace, visible to every sign-in session of Windows.
    static constexpr const wchar_t* kName = L"Global\\Kestrane.ApplicationConfiguration";

    MachineLock();
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

    // Takes the lock, waiting up to `milliseconds` for the one holding it. True once held (also when
    // its holder ended without releasing it), false when the time ran out. Taken already, true.
    bool Take(DWORD milliseconds);
    bool Held() const { return held_; }
    void Release();

private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

}  // namespace kestrane
