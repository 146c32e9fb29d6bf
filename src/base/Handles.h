// Move-only owners of Win32 handles: each closes its handle once, when it goes out of scope.
//
//   ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
//   if (!manager) { DWORD error = GetLastError(); ... }
//
//   RegKey key;
//   LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.Receive());
//
// Predefined registry roots (HKEY_LOCAL_MACHINE, ...) must never be put into a RegKey: they are not
// owned by the caller.
#pragma once

#include <windows.h>

namespace kestrane {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Type Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }

    // Gives up ownership without closing.
    Type Release() {
        Type handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }

    // Closes the handle held (if any) and takes `handle`.
    void Reset(Type handle = Traits::Invalid()) {
        if (handle_ != Traits::Invalid()) Traits::Close(handle_);
        handle_ = handle;
    }

    // Closes the handle held and returns where an API that fills an out parameter may store the new one.
    Type* Receive() {
        Reset();
        return &handle_;
    }

private:
    Type handle_ = Traits::Invalid();
};

struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type handle) { CloseServiceHandle(handle); }
};

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type handle) { RegCloseKey(handle); }
};

// Kernel object handles for which null means "none" (processes, threads, events). File handles, whose
// "none" is INVALID_HANDLE_VALUE, need traits of their own.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type handle) { CloseHandle(handle); }
};

// A search of FindFirstFileW, whose "none" is INVALID_HANDLE_VALUE.
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { FindClose(handle); }
};

// A service control manager or service handle (OpenSCManagerW, OpenServiceW, CreateServiceW).
using ScHandle = UniqueHandle<ServiceHandleTraits>;
// An opened registry key (RegOpenKeyExW, RegCreateKeyExW).
using RegKey = UniqueHandle<RegistryKeyTraits>;
using KernelHandle = UniqueHandle<KernelHandleTraits>;
// A folder listing (FindFirstFileW ... FindNextFileW).
using FindHandle = UniqueHandle<FindHandleTraits>;

}  // namespace kestrane
