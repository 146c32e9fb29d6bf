#include "win/Dialogs.h"

#include "base/Texts.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace kestrane {

UINT MessageBoxFlags(int style) {
    switch (style) {
    case BoxStyle::ErrorOk: return MB_ICONERROR | MB_OK;
    case BoxStyle::ErrorYesNo: return MB_ICONERROR | MB_YESNO;
    case BoxStyle::QuestionYesNo: return MB_ICONQUESTION | MB_YESNO;
    case BoxStyle::WarningOk: return MB_ICONWARNING | MB_OK;
    case BoxStyle::InformationOk: return MB_ICONINFORMATION | MB_OK;
    case BoxStyle::InformationYesNo: return MB_ICONINFORMATION | MB_YESNO;
    case BoxStyle::WarningYesNo: return MB_ICONWARNING | MB_YESNO | MB_DEFBUTTON2;
    default: return MB_OK;
    }
}

int Win32Dialogs::Message(HWND owner, const std::wstring& text, const std::wstring& title, int style) {
    return MessageBoxW(owner, text.c_str(), title.c_str(), MessageBoxFlags(style));
}

namespace {

// The input box is a dialog template built in memory: its font is "MS Shell Dlg" at 8 points, so the
// dialog manager sizes it in dialog units and it scales with the DPI by itself.
constexpr WORD kPromptId = 100;
constexpr WORD kEditId = 101;

class TemplateWriter {
public:
    void Word(WORD w) { data_.push_back(w); }
    void DWord(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void Text(const wchar_t* s) {
        for (; *s; ++s) Word(static_cast<WORD>(*s));
        Word(0);
    }
    void Align() {
        if (data_.size() % 2) Word(0);
    }
    // One control: style, position and size in dialog units, id, predefined class atom, text.
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom, const wchar_t* text) {
        Align();  // each DLGITEMTEMPLATE starts on a DWORD boundary
        DWord(style | WS_CHILD | WS_VISIBLE);
        DWord(0);  // extended style
        Word(static_cast<WORD>(x));
        Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(id);
        Word(0xFFFF);
        Word(classAtom);
        Text(text);
        Word(0);  // no creation data
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(data_.data()); }

private:
    std::vector<WORD> data_;
};

struct InputState {
    std::wstring prompt;
    std::wstring title;
    std::wstring text;
};

INT_PTR CALLBACK InputProcedure(HWND dialog, UINT msg, WPARAM wp, LPARAM lp) {
    auto* state = reinterpret_cast<InputState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lp);
        state = reinterpret_cast<InputState*>(lp);
        SetWindowTextW(dialog, state->title.c_str());
        SetDlgItemTextW(dialog, kPromptId, state->prompt.c_str());
        SetDlgItemTextW(dialog, kEditId, state->text.c_str());
        SendDlgItemMessageW(dialog, kEditId, EM_SETSEL, 0, -1);
        SetFocus(GetDlgItem(dialog, kEditId));
        return FALSE;  // the focus is set
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            HWND edit = GetDlgItem(dialog, kEditId);
            int length = GetWindowTextLengthW(edit);
            std::wstring text(static_cast<size_t>(length) + 1, L'\0');
            GetWindowTextW(edit, text.data(), length + 1);
            text.resize(static_cast<size_t>(length));
            state->text = text;
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            state->text.clear();
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// Fills an OPENFILENAMEW for the options; `buffer` receives the path chosen.
void Prepare(OPENFILENAMEW& ofn, HWND owner, const FileDialogOptions& options, std::vector<wchar_t>& buffer,
             std::wstring& filter) {
    filter = options.filter;
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    buffer.assign(32768, L'\0');
    options.fileName.copy(buffer.data(), std::min<size_t>(options.fileName.size(), buffer.size() - 1));
    ofn = OPENFILENAMEW{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = options.initialFolder.empty() ? nullptr : options.initialFolder.c_str();
    ofn.lpstrTitle = options.title.empty() ? nullptr : options.title.c_str();
    ofn.lpstrDefExt = options.defaultExtension.empty() ? nullptr : options.defaultExtension.c_str();
}

std::optional<FileChoice> Chosen(const OPENFILENAMEW& ofn) {
    FileChoice choice;
    choice.path = ofn.lpstrFile;
    choice.name = choice.path.substr(ofn.nFileOffset);
    return choice;
}

}  // namespace

std::wstring Win32Dialogs::InputBox(HWND owner, const std::wstring& prompt, const std::wstring& title,
                                    const std::wstring& initial) {
    TemplateWriter t;
    t.DWord(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    t.DWord(0);  // extended style
    t.Word(4);   // controls
    t.Word(0);
    t.Word(0);
    t.Word(260);
    t.Word(86);
    t.Word(0);  // no menu
    t.Word(0);  // standard class
    t.Text(L"");
    t.Word(8);
    t.Text(L"MS Shell Dlg");
    t.Item(SS_LEFT, 7, 7, 190, 48, kPromptId, 0x0082, L"");
    t.Item(WS_TABSTOP | BS_DEFPUSHBUTTON, 203, 7, 50, 14, IDOK, 0x0080, texts::kOk);
    t.Item(WS_TABSTOP | BS_PUSHBUTTON, 203, 25, 50, 14, IDCANCEL, 0x0080, texts::kCancel);
    t.Item(WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 7, 62, 246, 14, kEditId, 0x0081, L"");
    InputState state{prompt, title, initial};
    INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), owner, &InputProcedure,
                                             reinterpret_cast<LPARAM>(&state));
    return result == IDOK ? state.text : std::wstring();
}

std::optional<FileChoice> Win32Dialogs::OpenFile(HWND owner, const FileDialogOptions& options) {
    OPENFILENAMEW ofn;
    std::vector<wchar_t> buffer;
    std::wstring filter;
    Prepare(ofn, owner, options, buffer, filter);
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn)) return std::nullopt;
    return Chosen(ofn);
}

std::optional<FileChoice> Win32Dialogs::SaveFile(HWND owner, const FileDialogOptions& options) {
    OPENFILENAMEW ofn;
    std::vector<wchar_t> buffer;
    std::wstring filter;
    Prepare(ofn, owner, options, buffer, filter);
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetSaveFileNameW(&ofn)) return std::nullopt;
    return Chosen(ofn);
}

}  // namespace kestrane
