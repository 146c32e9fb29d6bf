#include "win/Controls.h"

#include "base/CodePage.h"
#include "base/TextFile.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cwctype>
#include <vector>

namespace kestrane {

std::wstring WindowText(HWND hwnd) {
    int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::vector<std::wstring> ListBoxItems(HWND listBox) {
    std::vector<std::wstring> items;
    int count = static_cast<int>(SendMessageW(listBox, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        int length = static_cast<int>(SendMessageW(listBox, LB_GETTEXTLEN, i, 0));
        if (length < 0) continue;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(length));
        items.push_back(text);
    }
    return items;
}

int ComboBox::Add(const std::wstring& text) {
    return static_cast<int>(SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}

void ComboBox::FitDropDown(HFONT font) {
    std::vector<std::wstring> items;
    items.reserve(static_cast<size_t>(std::max(Count(), 0)));
    for (int i = 0, n = Count(); i < n; ++i) items.push_back(Item(i));
    std::vector<const std::wstring*> texts;
    texts.reserve(items.size());
    for (const std::wstring& item : items) texts.push_back(&item);
    FitDropDown(font, texts);
}

void ComboBox::FitDropDown(HFONT font, const std::vector<const std::wstring*>& texts) {
    HDC dc = GetDC(hwnd_);
    if (!dc) return;
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    int widest = 0;
    for (const std::wstring* text : texts) {
        SIZE size{};
        if (GetTextExtentPoint32W(dc, text->c_str(), static_cast<int>(text->size()), &size)) widest = std::max<int>(widest, size.cx);
    }
    if (old) SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    RECT field{};
    GetWindowRect(hwnd_, &field);
    // The entries' margins and a vertical scroll bar.
    int wanted = widest + 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + 8;
    SendMessageW(hwnd_, CB_SETDROPPEDWIDTH, std::max<int>(wanted, field.right - field.left), 0);
}

std::wstring ComboBox::Item(int index) const {
    LRESULT length = SendMessageW(hwnd_, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(hwnd_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data());
}

std::wstring ComboBox::SelectedText() const {
    int index = Selected();
    return index < 0 ? std::wstring() : Item(index);
}

void ComboBox::Select(int index) {
    if (index < 0 || index >= Count()) {
        SelectQuietly(-1);
        return;
    }
    SelectQuietly(index);
    if (onSelect) onSelect();
}

int ComboBox::FindExact(const std::wstring& text) const {
    // CB_FINDSTRINGEXACT ignores letter case; keep looking for an entry that is equal character for character.
    int start = -1;
    int first = -1;
    for (;;) {
        int found = static_cast<int>(
            SendMessageW(hwnd_, CB_FINDSTRINGEXACT, start, reinterpret_cast<LPARAM>(text.c_str())));
        if (found == CB_ERR || found == first) return -1;
        if (first < 0) first = found;
        if (Item(found) == text) return found;
        start = found;
    }
}

bool ComboBox::SelectText(const std::wstring& text) {
    int index = FindExact(text);
    if (index < 0) return false;
    Select(index);
    return true;
}

bool ComboBox::SelectTextQuietly(const std::wstring& text) {
    int index = FindExact(text);
    if (index < 0) return false;
    SelectQuietly(index);
    return true;
}

void Label::AttachToolTip(HWND toolTip) {
    toolTip_ = toolTip;
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(hwnd_);
    info.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    info.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void Label::SetToolTip(const std::wstring& text) {
    tip_ = text;
    if (!toolTip_) return;
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = GetParent(hwnd_);
    info.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    info.lpszText = const_cast<wchar_t*>(tip_.c_str());
    SendMessageW(toolTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

std::wstring Label::ShownToolTip() const {
    if (!toolTip_) return {};
    std::vector<wchar_t> buffer(4096, L'\0');
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = GetParent(hwnd_);
    info.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    info.lpszText = buffer.data();
    SendMessageW(toolTip_, TTM_GETTEXTW, buffer.size(), reinterpret_cast<LPARAM>(&info));
    return buffer.data();
}

wchar_t MnemonicOf(const std::wstring& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        if (caption[i + 1] != L'&') return static_cast<wchar_t>(towlower(caption[i + 1]));
        ++i;
    }
    return 0;
}

std::wstring WithoutMnemonic(const std::wstring& caption) {
    std::wstring shown;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        shown.push_back(caption[i]);
    }
    return shown;
}

void Caption::Place(HWND owner, const RECT& area, const std::wstring& text) {
    owner_ = owner;
    area_ = area;
    text_ = text;
}

void Caption::SetText(const std::wstring& text) {
    text_ = text;
    if (owner_) InvalidateRect(owner_, &area_, TRUE);
}

void Caption::Paint(HDC dc) const {
    RECT area = area_;
    // The captions are the program's own texts: their '&' marks the mnemonic, drawn underlined.
    DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &area, DT_LEFT | DT_TOP | DT_WORDBREAK);
}

namespace {

struct StreamSource {
    const std::string* data;
    size_t offset;
};

DWORD CALLBACK ReadStream(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
    auto* source = reinterpret_cast<StreamSource*>(cookie);
    size_t left = source->data->size() - source->offset;
    size_t n = left < static_cast<size_t>(wanted) ? left : static_cast<size_t>(wanted);
    memcpy(buffer, source->data->data() + source->offset, n);
    source->offset += n;
    *given = static_cast<LONG>(n);
    return 0;
}

}  // namespace

bool LooksLikeRtf(const std::string& bytes, size_t& start) {
    size_t i = 0;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n')) ++i;
    if (bytes.compare(i, 5, "{\\rtf") != 0) return false;
    start = i;
    return true;
}

std::wstring DecodeTextFile(const std::string& bytes) {
    auto utf16 = [&](bool bigEndian) {
        std::wstring out;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            auto a = static_cast<unsigned char>(bytes[i]);
            auto b = static_cast<unsigned char>(bytes[i + 1]);
            out.push_back(static_cast<wchar_t>(bigEndian ? (a << 8) | b : (b << 8) | a));
        }
        return out;
    };
    if (bytes.compare(0, 2, "\xFF\xFE") == 0) return utf16(false);
    if (bytes.compare(0, 2, "\xFE\xFF") == 0) return utf16(true);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        int length = static_cast<int>(bytes.size() - 3);
        int needed = MultiByteToWideChar(CP_UTF8, 0, bytes.data() + 3, length, nullptr, 0);
        std::wstring out(static_cast<size_t>(needed > 0 ? needed : 0), L'\0');
        if (needed > 0) MultiByteToWideChar(CP_UTF8, 0, bytes.data() + 3, length, out.data(), needed);
        return out;
    }
    return FromAnsi(bytes);
}

namespace {

void Stream(HWND box, const std::string& data, WPARAM format) {
    StreamSource source{&data, 0};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = &ReadStream;
    SendMessageW(box, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
}

// Tab and Shift+Tab go to the dialog manager, Escape is swallowed: a multi-line edit control asks for
// every key (DLGC_WANTALLKEYS) and turns Escape into WM_CLOSE of its parent, which would end the program.
LRESULT CALLBACK DialogKeysProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    switch (msg) {
    case WM_GETDLGCODE: {
        LRESULT code = DefSubclassProc(hwnd, msg, wp, lp);
        code &= ~(DLGC_WANTTAB | DLGC_WANTALLKEYS);
        auto* message = reinterpret_cast<MSG*>(lp);
        if (message && (message->message == WM_KEYDOWN || message->message == WM_CHAR) &&
            (message->wParam == VK_TAB || message->wParam == VK_ESCAPE))
            return code & ~DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
    case WM_CHAR:
        if (wp == VK_ESCAPE) return 0;
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

void RichText::LoadFile(const std::wstring& path) {
    std::string bytes = ReadFileBytes(path);
    size_t start = 0;
    if (LooksLikeRtf(bytes, start)) {
        SetPlainText(L"");
        Stream(hwnd_, bytes.substr(start), SF_RTF);
    } else {
        SetPlainText(DecodeTextFile(bytes));
    }
}

void RichText::SetPlainText(const std::wstring& text) {
    // Streamed as Unicode text: WM_SETTEXT would take a text beginning with "{\rtf" for a document.
    // Streaming replaces the content and its formatting, so a former RTF document leaves nothing behind.
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    Stream(hwnd_, bytes, SF_TEXT | SF_UNICODE);
}

void RichText::UseDialogKeys() { SetWindowSubclass(hwnd_, &DialogKeysProcedure, 1, 0); }

}  // namespace kestrane
