#include "win/Window.h"

#include "base/FailureText.h"
#include "base/Texts.h"

#include <exception>
#include <stdexcept>

namespace kestrane {

UINT WindowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (hwnd && getDpiForWindow) {
        UINT dpi = getDpiForWindow(hwnd);
        if (dpi) return dpi;
    }
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

void WaitPainting(int milliseconds) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds > 0 ? milliseconds : 0);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_PAINT | QS_SENDMESSAGE);
        // Sent messages are handled by PeekMessage itself; only paint messages are taken from the queue.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) DispatchMessageW(&msg);
    }
}

HFONT CreateMessageFont(UINT dpi, int weight) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
    LOGFONTW font = metrics.lfMessageFont;
    // The metrics are given at the system DPI.
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(WindowDpi(nullptr)));
    font.lfWeight = weight;
    return CreateFontIndirectW(&font);
}

Window::~Window() {
    if (hwnd_) {
        // The object goes away first: unbind so no message reaches it during destruction.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
}

UINT Window::Dpi() const { return dpi_ ? dpi_ : WindowDpi(hwnd_); }

void Window::TakeDpiChange(WPARAM wp, LPARAM lp) {
    SetDpi(HIWORD(wp));
    if (const auto* r = reinterpret_cast<const RECT*>(lp))
        SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Window::CreateTopLevel(const wchar_t* className, const std::wstring& title, DWORD style, int width96,
                            int height96, HMENU menu, HWND owner) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(instance, className, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &Window::Procedure;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        wc.hbrBackground = nullptr;  // each window paints its own background
        wc.lpszClassName = className;
        if (!RegisterClassExW(&wc)) return false;
    }
    HWND created = CreateWindowExW(0, className, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, width96, height96,
                                   owner, menu, instance, this);
    if (!created) return false;
    // Now that the window exists it knows its monitor's DPI: give it the client area it asked for there.
    RECT r{0, 0, Scale(width96), Scale(height96)};
    AdjustWindowRectEx(&r, style, menu != nullptr, 0);
    SetWindowPos(created, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void Window::TakeDpiChange(WPARAM wp, LPARAM lp, HFONT& font, int weight) {
    TakeDpiChange(wp, lp);
    HFONT old = font;
    font = CreateMessageFont(Dpi(), weight);
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (old) DeleteObject(old);
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }

void Window::ReportUnexpected(const std::wstring& reason) {
    MessageBoxW(hwnd_, (texts::kUnexpectedError + reason).c_str(), texts::kProgramTitle, MB_ICONERROR | MB_OK);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
    LRESULT result = 0;
    try {
        result = self->HandleMessage(msg, wp, lp);
    } catch (...) {
        // Nothing may cross back into the system's code: tell the user and go on.
        std::wstring reason = CurrentExceptionText();
        try {
            self->ReportUnexpected(reason);
        } catch (...) {
        }
        result = 0;
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

}  // namespace kestrane
