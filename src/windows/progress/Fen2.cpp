#include "windows/progress/Fen2.h"

#include "base/Texts.h"

#include <commctrl.h>

namespace kestrane {

void Fen2::Open(HWND owner) {
    if (!Handle()) {
        // A framed panel without caption over the main window: nothing on it is for the user to act on (it
        // cannot be moved or closed while the application runs), and the window manager need not handle it.
        if (!CreateTopLevel(L"KestraneFen2", texts::kProgressTitle, WS_POPUP | WS_DLGFRAME, 360, 76, nullptr, owner))
            return;
    }
    maximum_ = value_ = 0;
    RECT ownerArea{};
    if (owner && GetWindowRect(owner, &ownerArea)) {
        RECT mine{};
        GetWindowRect(Handle(), &mine);
        int x = ownerArea.left + ((ownerArea.right - ownerArea.left) - (mine.right - mine.left)) / 2;
        int y = ownerArea.top + ((ownerArea.bottom - ownerArea.top) - (mine.bottom - mine.top)) / 2;
        SetWindowPos(Handle(), HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        KeepInsideWorkArea();
    }
    ShowWindow(Handle(), SW_SHOWNOACTIVATE);
    UpdateWindow(Handle());
}

void Fen2::Close() {
    if (Handle()) DestroyWindow(Handle());
}

void Fen2::SetMaximum(int maximum) {
    maximum_ = maximum;
    SendMessageW(bar_, PBM_SETRANGE32, 0, maximum);
}

void Fen2::SetValue(int value) {
    value_ = value;
    // Only paint messages are handled while an application runs: the bar moves and the windows stay
    // drawn (and are not shown as not responding), but nothing the user does is acted on meanwhile.
    // Moving and painting the bar at every step would cost more than the steps themselves: a few times a
    // second is enough, and the last step always shows.
    ULONGLONG now = GetTickCount64();
    if (now - lastPainted_ < 40 && value < maximum_) return;
    lastPainted_ = now;
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
    PaintPending();
}

void Fen2::Arrange(const RECT& canvas) {
    int margin = Scale(10);
    int width = canvas.right - canvas.left - 2 * margin;
    SetWindowPos(label_, nullptr, canvas.left + margin, canvas.top + margin, width, Scale(20), SWP_NOZORDER);
    SetWindowPos(bar_, nullptr, canvas.left + margin, canvas.top + Scale(38), width, Scale(24), SWP_NOZORDER);
}

LRESULT Fen2::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE: {
        font_ = CreateMessageFont(Dpi(), FW_BOLD);
        label_ = CreateWindowExW(0, L"STATIC", texts::kProgressLabel, WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 0, 0, 0,
                                 Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
        bar_ = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 0, 0, 0, 0, Handle(),
                               nullptr, GetModuleHandleW(nullptr), nullptr);
        if (font_) SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return 0;
    }
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(Handle(), &client);
        FillRect(reinterpret_cast<HDC>(wp), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_DPICHANGED: {
        TakeDpiChange(wp, lp, font_, FW_BOLD);
        Relayout();
        return 0;
    }
    case WM_CLOSE:
        return 0;  // closed by the application when it ends, never by the user meanwhile
    case WM_DESTROY:
        if (font_) DeleteObject(font_);
        font_ = nullptr;
        return 0;
    default:
        return Default(msg, wp, lp);
    }
}

}  // namespace kestrane
