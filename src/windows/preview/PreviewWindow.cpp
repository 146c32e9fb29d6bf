#include "windows/preview/PreviewWindow.h"

#include "win/Dialogs.h"
#include "base/Texts.h"

#include <algorithm>

namespace kestrane {

namespace {
constexpr int kApply = 6001;
constexpr int kClose = 6002;
constexpr int kList = 6003;
constexpr int kCopy = 6004;
constexpr int kWidth = 720;
constexpr int kHeight = 420;
// Below this the list would show too few lines to be read; the window scrolls instead.
constexpr int kMinimumWidth = 320;
constexpr int kMinimumHeight = 200;
}  // namespace

PreviewWindow::PreviewWindow(AppContext& app) : app_(app) {}

PreviewWindow::~PreviewWindow() {
    if (Handle()) DestroyWindow(Handle());
    if (font_) DeleteObject(font_);
}

void PreviewWindow::Show(HWND owner, const std::wstring& title, const std::wstring& heading, const std::vector<std::wstring>& lines,
                std::function<void()> apply) {
    if (!Handle() && !CreateTopLevel(L"KestranePreview", title,
                                     WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, kWidth,
                                     kHeight, nullptr, owner))
        return;
    SetWindowTextW(Handle(), title.c_str());
    apply_ = std::move(apply);
    heading_ = heading;
    // Tens of thousands of lines take a moment: the wait cursor stays until the list is filled.
    WaitCursor busy;
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    int widest = 0;
    HDC dc = GetDC(list_);
    HGDIOBJ old = SelectObject(dc, font_);
    for (const std::wstring& line : lines) {
        SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SIZE size{};
        GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
        widest = std::max<int>(widest, size.cx);
    }
    SelectObject(dc, old);
    ReleaseDC(list_, dc);
    // A line longer than the list is read whole by scrolling sideways.
    SendMessageW(list_, LB_SETHORIZONTALEXTENT, widest + Scale(8), 0);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    BtAppliquer.SetVisible(OffersApply());
    BtCopier.SetVisible(!OffersApply());
    BtFermer.SetText(OffersApply() ? texts::kPreviewCancel : texts::kPreviewClose);
    InvalidateRect(Handle(), nullptr, TRUE);
    ShowWindow(Handle(), SW_SHOWNORMAL);
    SetForegroundWindow(Handle());
    SetFocus(BtFermer.Handle());
}

void PreviewWindow::OnAppliquer() {
    std::function<void()> apply = std::move(apply_);
    apply_ = nullptr;
    Close();
    if (apply) apply();
}

void PreviewWindow::OnCopier() {
    std::wstring text = heading_;
    for (const std::wstring& line : Lines()) text += L"\r\n" + line;
    text += L"\r\n";
    if (!OpenClipboard(Handle())) return;
    EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            memcpy(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            // The clipboard owns the memory once it takes it.
            if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

void PreviewWindow::Close() {
    if (Handle()) DestroyWindow(Handle());
}

std::vector<std::wstring> PreviewWindow::Lines() const {
    return ListBoxItems(list_);
}

void PreviewWindow::CreateControls() {
    font_ = CreateMessageFont(Dpi());
    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
        HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, Handle(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return hwnd;
    };
    list_ = make(L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL | WS_TABSTOP, kList);
    // The default button is the one that changes nothing.
    BtAppliquer.Attach(make(L"BUTTON", texts::kPreviewApply, BS_PUSHBUTTON | WS_TABSTOP, kApply));
    BtFermer.Attach(make(L"BUTTON", texts::kPreviewClose, BS_DEFPUSHBUTTON | WS_TABSTOP, kClose));
    BtCopier.Attach(make(L"BUTTON", texts::kReportCopy, BS_PUSHBUTTON | WS_TABSTOP, kCopy));
    SetMinimumLayout(kMinimumWidth, kMinimumHeight);
    Relayout();
}

void PreviewWindow::Arrange(const RECT& canvas) {
    // The list takes what the window gives; the buttons keep to its lower right corner.
    const int right = canvas.right - Scale(12);
    const int buttonTop = canvas.bottom - Scale(42);
    SetWindowPos(list_, nullptr, canvas.left + Scale(12), canvas.top + Scale(34), right - canvas.left - Scale(12),
                 buttonTop - Scale(14) - canvas.top - Scale(34), SWP_NOZORDER);
    SetWindowPos(BtAppliquer.Handle(), nullptr, right - Scale(260), buttonTop, Scale(124), Scale(30), SWP_NOZORDER);
    SetWindowPos(BtFermer.Handle(), nullptr, right - Scale(124), buttonTop, Scale(124), Scale(30), SWP_NOZORDER);
    SetWindowPos(BtCopier.Handle(), nullptr, right - Scale(260), buttonTop, Scale(124), Scale(30), SWP_NOZORDER);
}

LRESULT PreviewWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wp) == BN_CLICKED) OnButton(LOWORD(wp));
        return 0;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wp);
        RECT client;
        GetClientRect(Handle(), &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        HGDIOBJ old = SelectObject(dc, font_);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        RECT canvas = Canvas();
        RECT area{canvas.left + Scale(12), canvas.top + Scale(10), canvas.right - Scale(12), canvas.top + Scale(32)};
        DrawTextW(dc, heading_.c_str(), -1, &area, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(dc, old);
        return 1;
    }
    case WM_DPICHANGED:
        TakeDpiChange(wp, lp, font_);
        Relayout();
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_NCDESTROY:
        list_ = nullptr;
        if (font_) DeleteObject(font_);
        font_ = nullptr;
        return Default(msg, wp, lp);
    default:
        return Default(msg, wp, lp);
    }
}

void PreviewWindow::OnButton(int id) {
    // Enter (IDOK) and Escape (IDCANCEL) from the dialog manager change nothing: only a click on
    // "Appliquer", or the space bar on it, applies.
    if (id == kApply) OnAppliquer();
    else if (id == kCopy) OnCopier();
    else if (id == kClose || id == IDCANCEL || id == IDOK) Close();
}

void PreviewWindow::ReportUnexpected(const std::wstring& reason) {
    ShowUnexpected(app_, Handle(), reason);
}

}  // namespace kestrane
