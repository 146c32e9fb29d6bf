#include "win/Controls.h"

#include "config/CodePage.h"
#include "config/TextFile.h"

#include <commctrl.h>
#include <richedit.h>

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

int ComboBox::Add(const std::wstring& text) {
    return static_cast<int>(SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
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
    DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &area, DT_LEFT | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
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

void RichText::LoadFile(const std::wstring& path) {
    std::string bytes = ReadFileBytes(path);
    if (bytes.rfind("{\\rtf", 0) == 0) {
        StreamSource source{&bytes, 0};
        EDITSTREAM stream{};
        stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
        stream.pfnCallback = &ReadStream;
        SendMessageW(hwnd_, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    } else {
        SetPlainText(FromAnsi(bytes));
    }
}

void RichText::SetPlainText(const std::wstring& text) {
    // Reset to plain formatting first, so a former RTF document leaves no bold or colour behind.
    SETTEXTEX settings{ST_DEFAULT, 1200};
    SendMessageW(hwnd_, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&settings), reinterpret_cast<LPARAM>(L""));
    SendMessageW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace kestrane
