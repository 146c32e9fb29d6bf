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

    // The rectangle the controls are laid out in, in client coordinates: the client area, at least the
    // size the layout needs, moved by the scroll position.
    RECT Canvas() const;
    // Scrolls so that `child` (a control of this window, or a control inside one) is in view: its top
    // and left edges first where it is larger than the client area.
    void ScrollIntoView(HWND child);
    // Brings the control with the keyboard focus into view in whichever of the program's windows holds it.
    static void FollowFocus();
    // Alt and a letter that a window paints beside a field (where no control of its own carries the
    // caption) moves the focus to that field. True if the key was taken; the dialog manager handles
    // the mnemonics of the controls themselves.
    static bool TakeMnemonic(const MSG& msg);

protected:
    // Registers the class once and creates the window with a client area of the given size (at 96 DPI,
    // scaled to the DPI of the monitor it opens on); returns false if creation failed.
    bool CreateTopLevel(const wchar_t* className, const std::wstring& title, DWORD style, int width96, int height96,
                        HMENU menu, HWND owner = nullptr);
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    // A window that lays itself out names the client size (at 96 DPI) below which its layout no longer
    // shrinks: a smaller window scrolls instead, and the user cannot make it smaller than its work area
    // allows. The window is then told of every change of its canvas through Arrange().
    void SetMinimumLayout(int width96, int height96);
    // The size, in pixels, the layout needs when the client area has the given size; by default the
    // minimum. A window whose layout changes with its width answers here.
    virtual SIZE LayoutSize(SIZE client) const;
    // Places the controls in the canvas. Called on every size, scroll and DPI change.
    virtual void Arrange(const RECT& canvas);
    // Moves the focus to the field whose painted caption has this mnemonic (lower case); false if none has.
    virtual bool FocusMnemonic(wchar_t letter);
    // Lays the window out again (after its DPI or what it shows changed).
    void Relayout();
    // Moves the window (and makes it smaller where it must) so that it lies wholly in its monitor's work area.
    void KeepInsideWorkArea();
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
    // The messages every window answers alike: size (the layout), scroll, wheel and minimum size (where
    // the window named a minimum layout), the wait cursor. True if handled.
    bool HandleLayoutMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // The program's own top-level window that holds `inside` (or is it); null for any other.
    static Window* OwnTopLevel(HWND inside);
    // The scroll position nearest to `position` that the layout allows.
    POINT Reachable(POINT position) const;
    void UpdateScrollBars();
    void ScrollTo(int x, int y);
    void OnScroll(int bar, int request);
    void RepaintAll();
    HWND hwnd_ = nullptr;
    UINT dpi_ = 0;
    SIZE minimum96_{0, 0};
    POINT scroll_{0, 0};
    bool arranging_ = false;
};

// The DPI of a window: GetDpiForWindow where the system has it (Windows 10 1607 and later, Wine),
// the system DPI otherwise.
UINT WindowDpi(HWND hwnd);

// While one lives, the program's windows show the wait cursor: a command that takes long is under way.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    static bool Shown() { return depth_ > 0; }

private:
    HCURSOR previous_;
    static int depth_;
};

// Repaints the windows of this thread that need it (and answers what other threads send them), once.
void PaintPending();

// Waits `milliseconds` while the windows of this thread keep painting (and answer what other threads
// send them); what the user types or clicks meanwhile waits in the queue.
void WaitPainting(int milliseconds);

// The system's message font at `dpi`, with the given weight (FW_NORMAL, FW_BOLD); null if there is none.
HFONT CreateMessageFont(UINT dpi, int weight = FW_NORMAL);

}  // namespace kestrane
