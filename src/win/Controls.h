// Thin wrappers over the child controls the windows use. They speak std::wstring and int and hold no
// logic of their own, except one rule every list follows: selecting from code runs the same handler as
// a selection by the user (Win32 sends no CBN_SELCHANGE for CB_SETCURSEL).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kestrane {

std::wstring WindowText(HWND hwnd);

// The letter a caption marks with '&' as its mnemonic, in lower case ("&&" is an ampersand, not a
// mark); 0 where it marks none.
wchar_t MnemonicOf(const std::wstring& caption);
// A caption as it shows: without its '&' marks ("&&" shows one '&').
std::wstring WithoutMnemonic(const std::wstring& caption);

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
    // Makes room for `count` entries of `chars` characters in all, before a long fill.
    void Reserve(int count, size_t chars) {
        SendMessageW(hwnd_, CB_INITSTORAGE, static_cast<WPARAM>(count), static_cast<LPARAM>(chars * sizeof(wchar_t)));
    }
    // Makes the drop-down list at least as wide as its longest entry in `font` (never narrower than the
    // field itself), so that every entry can be read whole.
    void FitDropDown(HFONT font);
    // The same, for entries the caller holds (`texts`, the list's entries): none is read back from the list.
    void FitDropDown(HFONT font, const std::vector<const std::wstring*>& texts);
    // Turns redrawing off during a long fill, and back on (with a repaint) after it.
    void SetRedraw(bool redraw) {
        SendMessageW(hwnd_, WM_SETREDRAW, redraw, 0);
        if (redraw) InvalidateRect(hwnd_, nullptr, TRUE);
    }
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
    // The text the tool tip control itself holds for this label.
    std::wstring ShownToolTip() const;

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
    void SetArea(const RECT& area) { area_ = area; }
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
    // Shows a file: an RTF document (a header "{\rtf", perhaps after a byte-order mark and blanks) as
    // rich text; anything else as the characters it holds: UTF-8 or UTF-16 after their byte-order mark,
    // the ANSI code page otherwise. Throws on a read failure.
    void LoadFile(const std::wstring& path);
    // Shows the text as it is, never read as RTF whatever it begins with.
    void SetPlainText(const std::wstring& text);
    std::wstring PlainText() const { return Text(); }
    // Makes the box behave as a field of a form: Tab and Shift+Tab leave it, Escape does nothing in it.
    void UseDialogKeys();
};

// The entries of a list box, in its order.
std::vector<std::wstring> ListBoxItems(HWND listBox);

// Whether file content is an RTF document: "{\rtf" after an optional UTF-8 byte-order mark and blanks.
// `start` receives where the document begins.
bool LooksLikeRtf(const std::string& bytes, size_t& start);

// The text of a plain text file: UTF-8 or UTF-16 (little or big endian) after its byte-order mark, the
// ANSI code page otherwise.
std::wstring DecodeTextFile(const std::string& bytes);

}  // namespace kestrane
