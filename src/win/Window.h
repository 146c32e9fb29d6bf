// Base of every top-level window: binds the C++ object to its HWND at WM_NCCREATE and unbinds it at
// WM_NCDESTROY, so that each window's message switch only decodes messages and calls named handlers.
#pragma once

#include <windows.h>

#include <string>

namespace kestrane {

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return hwnd_; }
    bool IsOpen() const { return hwnd_ != nullptr; }

protected:
    // Registers the class once and creates the window; returns false if creation failed.
    bool CreateTopLevel(const wchar_t* className, const std::wstring& title, DWORD style, int width, int height,
                        HMENU menu, HWND owner = nullptr);
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
};

}  // namespace kestrane
