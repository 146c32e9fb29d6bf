#include "service/Responsive.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

namespace kestrane {

namespace {
std::atomic<void (*)()> hook{nullptr};
std::atomic<DWORD> hookThread{0};
ULONGLONG lastCall = 0;  // read and written on the hook's thread only
constexpr ULONGLONG kEveryMs = 40;
}  // namespace

void SetResponsiveHook(void (*repaint)()) {
    hookThread = GetCurrentThreadId();
    hook = repaint;
}

void StayResponsive() {
    void (*repaint)() = hook;
    if (!repaint || GetCurrentThreadId() != hookThread) return;
    ULONGLONG now = GetTickCount64();
    if (now - lastCall < kEveryMs) return;
    lastCall = now;
    repaint();
}

void PauseResponsive(unsigned long milliseconds) {
    if (!hook || GetCurrentThreadId() != hookThread) {
        Sleep(milliseconds);
        return;
    }
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(end - now, 20)));
        StayResponsive();
    }
}

}  // namespace kestrane
