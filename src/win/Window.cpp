#include "win/Window.h"

#include "base/FailureText.h"
#include "base/Texts.h"

#include <algorithm>
#include <cwctype>
#include <exception>
#include <stdexcept>

namespace kestrane {

namespace {

// The part of the window's monitor that windows may cover (the screen less the task bar).
RECT WorkAreaOf(HWND hwnd) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    HMONITOR monitor = MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoW(monitor, &info)) return info.rcWork;
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// The position that shows [start, start + length) in a view of `page` from `position`: the start first
// when the length exceeds the page.
int PositionShowing(int position, int start, int length, int page) {
    if (start + length > position + page) position = start + length - page;
    if (start < position) position = start;
    return position;
}

}  // namespace

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

void PaintPending() {
    // Sent messages are handled by PeekMessage itself; only paint messages are taken from the queue.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) DispatchMessageW(&msg);
}

void WaitPainting(int milliseconds) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds > 0 ? milliseconds : 0);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_PAINT | QS_SENDMESSAGE);
        PaintPending();
    }
}

int WaitCursor::depth_ = 0;

WaitCursor::WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) { ++depth_; }

WaitCursor::~WaitCursor() {
    if (--depth_ == 0) SetCursor(previous_);
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

void Window::SetMinimumLayout(int width96, int height96) { minimum96_ = SIZE{width96, height96}; }

SIZE Window::LayoutSize(SIZE) const { return SIZE{Scale(minimum96_.cx), Scale(minimum96_.cy)}; }

void Window::Arrange(const RECT&) {}

RECT Window::Canvas() const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    SIZE need = LayoutSize(SIZE{client.right, client.bottom});
    int width = std::max<int>(client.right, need.cx);
    int height = std::max<int>(client.bottom, need.cy);
    return RECT{-scroll_.x, -scroll_.y, width - scroll_.x, height - scroll_.y};
}

void Window::Relayout() {
    if (!hwnd_ || arranging_) return;
    UpdateScrollBars();
    Arrange(Canvas());
    RepaintAll();
}

POINT Window::Reachable(POINT position) const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    SIZE need = LayoutSize(SIZE{client.right, client.bottom});
    return POINT{std::clamp<int>(position.x, 0, std::max<int>(0, need.cx - client.right)),
                 std::clamp<int>(position.y, 0, std::max<int>(0, need.cy - client.bottom))};
}

void Window::UpdateScrollBars() {
    // A page larger than its range hides the bar.
    auto setBar = [&](int bar, int need, int page, int position) {
        SCROLLINFO info{sizeof(info), SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max<int>(0, need - 1),
                        static_cast<UINT>(need > page ? page : need + 1), position, 0};
        SetScrollInfo(hwnd_, bar, &info, TRUE);
    };
    // Showing or hiding a scroll bar changes the client area, which may change what the other needs;
    // the size messages this sends come back here and are left to this loop.
    arranging_ = true;
    for (int pass = 0; pass < 3; ++pass) {
        RECT client{};
        GetClientRect(hwnd_, &client);
        SIZE need = LayoutSize(SIZE{client.right, client.bottom});
        scroll_ = Reachable(scroll_);
        setBar(SB_HORZ, need.cx, client.right, scroll_.x);
        setBar(SB_VERT, need.cy, client.bottom, scroll_.y);
        RECT after{};
        GetClientRect(hwnd_, &after);
        if (EqualRect(&after, &client)) break;
    }
    arranging_ = false;
}

void Window::ScrollTo(int x, int y) {
    POINT position = Reachable(POINT{x, y});
    x = position.x;
    y = position.y;
    if (x == scroll_.x && y == scroll_.y) return;
    scroll_ = POINT{x, y};
    SetScrollPos(hwnd_, SB_HORZ, x, TRUE);
    SetScrollPos(hwnd_, SB_VERT, y, TRUE);
    Arrange(Canvas());
    RepaintAll();
}

void Window::RepaintAll() {
    // The controls moved: what they showed where they were is stale, theirs and the window's alike.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Window::OnScroll(int bar, int request) {
    SCROLLINFO info{sizeof(info), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd_, bar, &info);
    int position = bar == SB_VERT ? scroll_.y : scroll_.x;
    const int line = Scale(20);
    const int page = std::max<int>(line, static_cast<int>(info.nPage) - line);
    switch (request) {
    case SB_LINEUP: position -= line; break;
    case SB_LINEDOWN: position += line; break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position += page; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: position = info.nTrackPos; break;
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = info.nMax; break;
    default: return;
    }
    if (bar == SB_VERT) ScrollTo(scroll_.x, position);
    else ScrollTo(position, scroll_.y);
}

void Window::ScrollIntoView(HWND child) {
    HWND direct = child;
    while (direct && GetParent(direct) != hwnd_) direct = GetParent(direct);
    if (!direct || !hwnd_) return;
    RECT r{};
    GetWindowRect(direct, &r);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    RECT client{};
    GetClientRect(hwnd_, &client);
    // In the canvas's own coordinates, where the scroll position is measured.
    int x = PositionShowing(scroll_.x, r.left + scroll_.x, r.right - r.left, client.right);
    int y = PositionShowing(scroll_.y, r.top + scroll_.y, r.bottom - r.top, client.bottom);
    ScrollTo(x, y);
}

Window* Window::OwnTopLevel(HWND inside) {
    HWND root = inside ? GetAncestor(inside, GA_ROOT) : nullptr;
    // Only the program's own windows: their procedure is this class's.
    if (!root || GetWindowLongPtrW(root, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&Window::Procedure)) return nullptr;
    return reinterpret_cast<Window*>(GetWindowLongPtrW(root, GWLP_USERDATA));
}

void Window::FollowFocus() {
    HWND focus = GetFocus();
    Window* self = OwnTopLevel(focus);
    if (self && self->hwnd_ != focus && self->minimum96_.cx) self->ScrollIntoView(focus);
}

bool Window::FocusMnemonic(wchar_t) { return false; }

bool Window::TakeMnemonic(const MSG& msg) {
    if (msg.message != WM_SYSCHAR) return false;
    Window* self = OwnTopLevel(msg.hwnd);
    if (!self || !self->FocusMnemonic(static_cast<wchar_t>(towlower(static_cast<wint_t>(msg.wParam))))) return false;
    self->ScrollIntoView(GetFocus());
    return true;
}

void Window::KeepInsideWorkArea() {
    RECT work = WorkAreaOf(hwnd_);
    RECT r{};
    GetWindowRect(hwnd_, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    // A window cut in one direction scrolls in it: room is made for that scroll bar where the screen has it.
    if (height > work.bottom - work.top) width += GetSystemMetrics(SM_CXVSCROLL);
    if (width > work.right - work.left) height += GetSystemMetrics(SM_CYHSCROLL);
    width = std::min<int>(width, work.right - work.left);
    height = std::min<int>(height, work.bottom - work.top);
    int x = std::clamp<int>(r.left, work.left, work.right - width);
    int y = std::clamp<int>(r.top, work.top, work.bottom - height);
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Window::HandleLayoutMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    result = 0;
    switch (msg) {
    case WM_SETCURSOR:
        // The windows still paint during a long command: the mouse over them says it is under way.
        if (!WaitCursor::Shown() || LOWORD(lp) != HTCLIENT) return false;
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        result = TRUE;
        return true;
    case WM_SIZE:
        if (wp != SIZE_MINIMIZED) Relayout();
        return true;
    case WM_GETMINMAXINFO: {
        if (!minimum96_.cx) return false;
        // Never larger than most of the work area: below the layout's own minimum the window scrolls.
        RECT work = WorkAreaOf(hwnd_);
        RECT r{0, 0, Scale(minimum96_.cx), Scale(minimum96_.cy)};
        AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), GetMenu(hwnd_) != nullptr, 0);
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMinTrackSize.x = std::min<int>(r.right - r.left, (work.right - work.left) * 3 / 5);
        info->ptMinTrackSize.y = std::min<int>(r.bottom - r.top, (work.bottom - work.top) * 3 / 5);
        return true;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
        if (lp) return false;  // a scroll bar control of the window's own
        OnScroll(msg == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wp));
        return true;
    case WM_MOUSEWHEEL: {
        RECT client{};
        GetClientRect(hwnd_, &client);
        if (!minimum96_.cx || LayoutSize(SIZE{client.right, client.bottom}).cy <= client.bottom) return false;
        ScrollTo(scroll_.x, scroll_.y - GET_WHEEL_DELTA_WPARAM(wp) * Scale(60) / WHEEL_DELTA);
        return true;
    }
    default:
        return false;
    }
}

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
    // No layout until the window has its size, and no scroll bar left from the size it was created with.
    arranging_ = true;
    ShowScrollBar(created, SB_BOTH, FALSE);
    SetWindowPos(created, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The frame may differ from what the style promised (a menu bar on two lines, a scroll bar shown):
    // the difference is made up once.
    RECT client{};
    GetClientRect(created, &client);
    int missingX = Scale(width96) - client.right;
    int missingY = Scale(height96) - client.bottom;
    if (missingX || missingY)
        SetWindowPos(created, nullptr, 0, 0, r.right - r.left + missingX, r.bottom - r.top + missingY,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    arranging_ = false;
    KeepInsideWorkArea();
    Relayout();
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
        if (!self->HandleLayoutMessage(msg, wp, lp, result)) result = self->HandleMessage(msg, wp, lp);
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
