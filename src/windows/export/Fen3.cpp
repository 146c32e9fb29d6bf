#include "windows/export/Fen3.h"

#include "profile/ConfigList.h"
#include "win/Controls.h"
#include "base/Texts.h"

#include <vector>

namespace kestrane {

namespace {
constexpr int kBtExportConf = 3001;
constexpr int kFile1 = 3002;
}  // namespace

Fen3::Fen3(AppContext& app, std::function<void()> exported) : app_(app), exported_(std::move(exported)) {}

Fen3::~Fen3() {
    if (Handle()) DestroyWindow(Handle());
    if (font_) DeleteObject(font_);
}

void Fen3::Open(HWND owner) {
    if (!Handle() && !CreateTopLevel(L"KestraneFen3", texts::kExportWindowTitle,
                                     WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 420,
                                     360, nullptr, owner))
        return;
    backgroundPath_.clear();
    if (background_.Load(app_.var.CheminAppli + L"Image\\Start.Jpg")) backgroundPath_ = app_.var.CheminAppli + L"Image\\Start.Jpg";
    Fill();
    ShowWindow(Handle(), SW_SHOWNORMAL);
    SetForegroundWindow(Handle());
}

void Fen3::Close() {
    if (Handle()) ShowWindow(Handle(), SW_HIDE);
}

void Fen3::Fill() {
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    // The files that match "*.cfg", as a file list box shows them.
    for (const std::wstring& name : ConfigFileNames(app_.var.CheminAppli + L"Config\\")) {
        size_t dot = name.rfind(L'.');
        if (dot == std::wstring::npos || CompareStringOrdinal(name.c_str() + dot, -1, L".cfg", -1, TRUE) != CSTR_EQUAL)
            continue;
        SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
}

std::vector<std::wstring> Fen3::Files() const {
    return ListBoxItems(list_);
}

bool Fen3::SelectFile(const std::wstring& name) {
    LRESULT index = SendMessageW(list_, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    if (index == LB_ERR) return false;
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    return true;
}

void Fen3::OnBtExportConf() {
    std::wstring selected;
    LRESULT index = SendMessageW(list_, LB_GETCURSEL, 0, 0);
    if (index != LB_ERR) {
        std::vector<std::wstring> files = Files();
        selected = files[static_cast<size_t>(index)];
    }
    FileDialogOptions options;
    options.title = texts::kExportTitle;
    options.initialFolder = app_.var.CheminDocuments;
    options.fileName = app_.var.CheminDocuments + L"\\" + selected;
    options.filter = texts::kConfigFilter;
    // From here on any failure closes the window, silently.
    try {
        std::optional<FileChoice> destination = app_.dialogs->SaveFile(Handle(), options);
        if (destination && !selected.empty() &&
            CopyFileW((app_.var.CheminAppli + L"Config\\" + selected).c_str(), destination->path.c_str(), FALSE)) {
            if (exported_) exported_();
        }
    } catch (...) {
    }
    Close();
}

bool Fen3::FocusMnemonic(wchar_t letter) {
    if (MnemonicOf(texts::kConfigListCaption) != letter) return false;
    SetFocus(list_);
    return true;
}

void Fen3::Arrange(const RECT& canvas) {
    int margin = Scale(12);
    labelArea_ = {canvas.left + margin, canvas.top + margin, canvas.right - margin, canvas.top + margin + Scale(18)};
    int buttonHeight = Scale(28);
    int width = canvas.right - canvas.left - 2 * margin;
    SetWindowPos(list_, nullptr, canvas.left + margin, labelArea_.bottom + Scale(4), width,
                 canvas.bottom - labelArea_.bottom - buttonHeight - Scale(24), SWP_NOZORDER);
    SetWindowPos(button_, nullptr, canvas.left + margin, canvas.bottom - margin - buttonHeight, width, buttonHeight,
                 SWP_NOZORDER);
}

LRESULT Fen3::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE: {
        font_ = CreateMessageFont(Dpi());
        list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_SORT, 0, 0, 0, 0,
                                Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFile1)),
                                GetModuleHandleW(nullptr), nullptr);
        button_ = CreateWindowExW(0, L"BUTTON", texts::kExportButton, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                  0, 0, 0, 0, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBtExportConf)),
                                  GetModuleHandleW(nullptr), nullptr);
        for (HWND child : {list_, button_}) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        // Below this the list shows too few files to choose from; the window scrolls instead.
        SetMinimumLayout(260, 180);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == kBtExportConf && HIWORD(wp) == BN_CLICKED) OnBtExportConf();
        if (LOWORD(wp) == IDCANCEL && HIWORD(wp) == BN_CLICKED) Close();  // Escape
        return 0;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wp);
        background_.PaintBackground(Handle(), dc, Dpi());
        HGDIOBJ old = font_ ? SelectObject(dc, font_) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        RECT area = labelArea_;
        DrawTextW(dc, texts::kConfigListCaption, -1, &area, DT_LEFT | DT_TOP | DT_SINGLELINE);
        if (old) SelectObject(dc, old);
        return 1;
    }
    case WM_DPICHANGED: {
        TakeDpiChange(wp, lp, font_);
        Relayout();
        return 0;
    }
    case WM_CLOSE:
        Close();
        return 0;
    default:
        return Default(msg, wp, lp);
    }
}

void Fen3::ReportUnexpected(const std::wstring& reason) {
    ShowUnexpected(app_, Handle(), reason);
}

}  // namespace kestrane
