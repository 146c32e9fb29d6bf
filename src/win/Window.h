// Base of every top-level window: binds the C++ object to its HWND at WM_NCCREATE and unbinds it at
// WM_NCDESTROY, so that each window's message switch only decodes messages and calls named handlers.
// The window procedure is an exception barrier: what a handler lets through is shown to the user and
// the program goes on.
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

    // The DPI the window is shown at (per monitor where the system tells it), and a length given at
    // 96 DPI brought to it.
    UINT Dpi() const;
    int Scale(int length96) const { return MulDiv(length96, static_cast<int>(Dpi()), 96); }

protected:
    // Registers the class once and creates the window with a client area of the given size (at 96 DPI,
    // scaled to the DPI of the monitor it opens on); returns false if creation failed.
    bool CreateTopLevel(const wchar_t* className, const std::wstring& title, DWORD style, int width96, int height96,
                        HMENU menu, HWND owner = nullptr);
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }
    // Tells the user of a failure that a handler let through. The default shows a plain error box.
    virtual void ReportUnexpected(const std::wstring& reason);
    // Overrides the DPI (WM_DPICHANGED gives the new one before the system reports it everywhere).
    void SetDpi(UINT dpi) { dpi_ = dpi; }
    // WM_DPICHANGED: takes the new DPI and the place the system suggests for the window.
    void TakeDpiChange(WPARAM wp, LPARAM lp);
    // The same, and `font` made again at the new DPI (with `weight`) and given to every child control.
    void TakeDpiChange(WPARAM wp, LPARAM lp, HFONT& font, int weight = FW_NORMAL);

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
    UINT dpi_ = 0;
};

// The DPI of a window: GetDpiForWindow where the system has it (Windows 10 1607 and later, Wine),
// the system DPI otherwise.
UINT WindowDpi(HWND hwnd);

// Waits `milliseconds` while the windows of this thread keep painting (and answer what other threads
// send them); what the user types or clicks meanwhile waits in the queue.
void WaitPainting(int milliseconds);

// The system's message font at `dpi`, with the given weight (FW_NORMAL, FW_BOLD); null if there is none.
HFONT CreateMessageFont(UINT dpi, int weight = FW_NORMAL);

}  // namespace kestrane
