// Thin wrappers over the child controls the windows use. They speak std::wstring and int and hold no
// logic of their own, except one rule every list follows: selecting from code runs the same handler as
// a selection by the user (Win32 sends no CBN_SELCHANGE for CB_SETCURSEL).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace kestrane {

std::wstring WindowText(HWND hwnd);

class Control {
public:
    HWND Handle() const { return hwnd_; }
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    void SetEnabled(bool enabled) { EnableWindow(hwnd_, enabled); }
    bool Enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }
    void SetVisible(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE); }
    std::wstring Text() const { return WindowText(hwnd_); }
    void SetText(const std::wstring& text) { SetWindowTextW(hwnd_, text.c_str()); }

protected:
    HWND hwnd_ = nullptr;
};

class ComboBox : public Control {
public:
    std::function<void()> onSelect;  // run for a user's selection and for Select()

    void Clear() { SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0); }
    int Add(const std::wstring& text);
    int Count() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)); }
    int Selected() const { return static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)); }
    std::wstring Item(int index) const;
    void Remove(int index) { SendMessageW(hwnd_, CB_DELETESTRING, index, 0); }
    // The text of the selected entry (empty when none is selected).
    std::wstring SelectedText() const;
    // Selects an entry (out of range: no selection, and no handler) and runs onSelect.
    void Select(int index);
    // Selects without running onSelect.
    void SelectQuietly(int index) { SendMessageW(hwnd_, CB_SETCURSEL, index, 0); }
    // Selects the first entry whose text equals `text` exactly (never a prefix match) and runs onSelect.
    bool SelectText(const std::wstring& text);
    bool SelectTextQuietly(const std::wstring& text);
    int FindExact(const std::wstring& text) const;
};

// A static text with an optional tool tip (the window owns the tool tip control).
class Label : public Control {
public:
    void AttachToolTip(HWND toolTip);
    void SetToolTip(const std::wstring& text);
    const std::wstring& ToolTip() const { return tip_; }

private:
    HWND toolTip_ = nullptr;
    std::wstring tip_;
};

// A caption that its window paints over the background picture: a static control cannot show the
// picture through its own background on every system.
class Caption {
public:
    void Place(HWND owner, const RECT& area, const std::wstring& text);
    const std::wstring& Text() const { return text_; }
    void SetText(const std::wstring& text);
    const RECT& Area() const { return area_; }
    bool Contains(POINT client) const { return PtInRect(&area_, client) != FALSE; }
    void Paint(HDC dc) const;

private:
    HWND owner_ = nullptr;
    RECT area_{};
    std::wstring text_;
};

// A rich text box that shows plain text or an RTF document.
class RichText : public Control {
public:
    // Shows a file: an RTF document as rich text, anything else as text in the ANSI code page.
    // Throws on a read failure.
    void LoadFile(const std::wstring& path);
    void SetPlainText(const std::wstring& text);
    std::wstring PlainText() const { return Text(); }
};

}  // namespace kestrane
