#include "windows/editor/Fen4.h"

#include "profile/ConfigFiles.h"
#include "base/TextFile.h"
#include "win/Dialogs.h"
#include "base/Skipping.h"
#include "base/Texts.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>

namespace kestrane {

namespace {

constexpr int kCbName = 4001;
constexpr int kFirstButton = 4010;

// The five value buttons change the current entry through ModifEntree; they are named by what they write.
void SetAuto(Fen4& w) { w.ModifEntree(L"Auto", L"Mode", w.Current()); }
void SetManual(Fen4& w) { w.ModifEntree(L"Manual", L"Mode", w.Current()); }
void SetDisabled(Fen4& w) { w.ModifEntree(L"Disabled", L"Mode", w.Current()); }
void SetRunning(Fen4& w) { w.ModifEntree(L"Running", L"Etat", w.Current()); }
void SetStopped(Fen4& w) { w.ModifEntree(L"Stopped", L"Etat", w.Current()); }

struct ButtonRow {
    const wchar_t* name;
    const wchar_t* caption;
    const wchar_t* toolTip;
    void (Fen4::*member)();
    void (*value)(Fen4&);
    int x, y, width, height;
};

// The window's buttons in their tab order, with where they stand at 96 DPI.
const ButtonRow kButtons[] = {
    {L"BtPrec", L"Service &précédent", nullptr, &Fen4::OnBtPrec, nullptr, 16, 74, 150, 28},
    {L"BtSuiv", L"Service &suivant", nullptr, &Fen4::OnBtSuiv, nullptr, 174, 74, 150, 28},
    {L"BtAuto", L"A&uto", nullptr, nullptr, &SetAuto, 360, 54, 80, 28},
    {L"BtManu", L"M&anual", nullptr, nullptr, &SetManual, 448, 54, 80, 28},
    {L"BtDisab", L"D&isabled", nullptr, nullptr, &SetDisabled, 536, 54, 80, 28},
    {L"BtRunn", L"&Running", nullptr, nullptr, &SetRunning, 360, 136, 80, 28},
    {L"BtStopp", L"S&topped", nullptr, nullptr, &SetStopped, 448, 136, 80, 28},
    {L"BtComInterne", L"&Commentaire interne", nullptr, &Fen4::OnBtComInterne, nullptr, 16, 232, 150, 28},
    {L"BtComKestrane", L"commentaire &Kestrane", nullptr, &Fen4::OnBtComKestrane, nullptr, 174, 232, 150, 28},
    {L"BtAppli", L"Enre&gistrer", texts::kEditorSaveTip, &Fen4::OnBtAppli, nullptr, 16, 432, 140, 30},
    {L"BtAppliSous", L"&Enregistrer sous", texts::kEditorSaveAsTip, &Fen4::OnBtAppliSous, nullptr, 164, 432, 140, 30},
    {L"BtAppliModif", L"M&odifier", texts::kEditorModifyTip, &Fen4::OnBtAppliModif, nullptr, 312, 432, 140, 30},
    {L"BtQuitte", L"&Quitter le lecteur de configuration", texts::kEditorQuitTip, &Fen4::OnBtQuitte, nullptr, 400, 472,
     232, 30},
};

// The labels painted over the background, and the two groups of value buttons.
struct Label96 {
    const wchar_t* text;
    int x, y, width, height;
};
const Label96 kTexts[] = {
    {L"&Nom du service", 16, 12, 300, 18},
    {L"No&m interne", 16, 116, 300, 18},
    {L"Etat du ser&vice", 16, 160, 150, 18},
    {L"Mo&de de démarrage", 174, 160, 150, 18},
    {L"Configuration du démarrage", 352, 12, 280, 18},
    {L"Configuration de l'état", 352, 94, 280, 18},
};
const RECT kGroups[] = {{344, 30, 632, 90}, {344, 112, 632, 172}};

// Whether two paths name the same file, as the file system compares them (full paths, letter case aside).
bool SameFile(const std::wstring& a, const std::wstring& b) {
    auto full = [](const std::wstring& path) {
        wchar_t buffer[MAX_PATH * 4];
        DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 4, buffer, nullptr);
        return length && length < MAX_PATH * 4 ? std::wstring(buffer, length) : path;
    };
    std::wstring x = full(a), y = full(b);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(), static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

constexpr int kClientWidth = 648;
constexpr int kClientHeight = 514;
constexpr int kCommentBottom = 420;

}  // namespace

Fen4::Fen4(AppContext& app, std::function<void()> saved) : app_(app), saved_(std::move(saved)) {}

Fen4::~Fen4() {
    if (Handle()) DestroyWindow(Handle());
    if (font_) DeleteObject(font_);
}

const Fen4::Button* Fen4::FindButton(const std::wstring& name) const {
    for (const Button& button : buttons_)
        if (name == button.name) return &button;
    return nullptr;
}

bool Fen4::Open(HWND owner, const std::wstring& source, const std::wstring& title, const std::wstring& workingCopy) {
    // What the working copy holds decides first, so that an open editor keeps its file when the new
    // choice is no configuration. An empty file is an empty configuration.
    std::string bytes = ReadFileBytes(workingCopy);
    // A line that is not one whole record would be written back shorter or shifted: the file is refused,
    // its line named.
    ParsedConfig parsed;
    try {
        parsed = ParseConfigText(bytes);
    } catch (const ConfigSyntaxError& error) {
        app_.dialogs->Message(owner, texts::kNotAConfig + title + L"\n" + error.Message(), texts::kWarningTitle,
                              BoxStyle::WarningOk);
        return false;
    }
    std::vector<ConfigRecord> entries = parsed.records;
    if (!Handle() && !CreateTopLevel(L"KestraneFen4", texts::kEditorTitle,
                                     WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, kClientWidth, kClientHeight, nullptr, owner))
        return false;
    // A save always writes the entries read from the file whose names it uses.
    source_ = source;
    title_ = title;
    workingCopy_ = workingCopy;
    sourceRead_ = bytes;  // the working copy is the file as it was read
    parsed_ = std::move(parsed);
    entries_ = std::move(entries);
    modified_ = false;
    Load();
    ShowWindow(Handle(), SW_SHOWNORMAL);
    SetForegroundWindow(Handle());
    return true;
}

void Fen4::Close() {
    if (Handle()) DestroyWindow(Handle());
}

void Fen4::Load() {
    // The names sorted once, as a sorted list compares them (the user's locale, letter case aside), then
    // added in that order with redrawing off: a list that sorts itself compares every insertion.
    std::vector<const std::wstring*> names;
    names.reserve(entries_.size());
    size_t chars = 0;
    for (const ConfigRecord& entry : entries_) {
        names.push_back(&entry.DisplayName);
        chars += entry.DisplayName.size() + 1;
    }
    std::stable_sort(names.begin(), names.end(), [](const std::wstring* a, const std::wstring* b) {
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a->c_str(), static_cast<int>(a->size()), b->c_str(),
                              static_cast<int>(b->size())) == CSTR_LESS_THAN;
    });
    CbName.SetRedraw(false);
    CbName.Clear();
    CbName.Reserve(static_cast<int>(names.size()), chars);
    for (const std::wstring* name : names) CbName.Add(*name);
    CbName.SetRedraw(true);
    Skipping([&] { CbName.FitDropDown(font_, names); });
    current_ = -1;
    TbCbNameInterne.SetText(L"");
    TbCbEta.SetText(L"");
    TbCbDem.SetText(L"");
    RichTextBox1.SetPlainText(L"");
    // The first display name in alphabetical order; with no entry nothing is selected.
    CbName.Select(0);
    Skipping([&] {
        backgroundPath_.clear();
        std::wstring path = app_.var.CheminAppli + L"Image\\Start.Jpg";
        if (background_.Load(path)) backgroundPath_ = path;
        InvalidateRect(Handle(), nullptr, TRUE);
    });
}

void Fen4::MakeCurrent() {
    // The first entry in file order whose display name is the selected one, letter for letter.
    std::wstring selected = CbName.SelectedText();
    current_ = -1;
    if (CbName.Selected() >= 0) {
        for (size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].DisplayName == selected) {
                current_ = static_cast<int>(i);
                break;
            }
        }
    }
    const ConfigRecord* entry = current_ >= 0 ? &entries_[static_cast<size_t>(current_)] : nullptr;
    TbCbNameInterne.SetText(entry ? entry->Name : L"");
    TbCbEta.SetText(entry ? entry->State : L"");
    TbCbDem.SetText(entry ? entry->StartMode : L"");
    RichTextBox1.SetPlainText(L"");
}

void Fen4::Step(int delta) {
    int selected = CbName.Selected();
    int next = selected + delta;
    if (selected < 0 || next < 0 || next >= CbName.Count()) return;
    CbName.Select(next);
}

void Fen4::OnBtPrec() { Step(-1); }
void Fen4::OnBtSuiv() { Step(1); }

void Fen4::ModifEntree(const std::wstring& value, const std::wstring& kind, int index) {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return;
    ConfigRecord& entry = entries_[static_cast<size_t>(index)];
    std::wstring& field = kind == L"Mode" ? entry.StartMode : entry.State;
    if ((kind == L"Mode" || kind == L"Etat") && field != value) modified_ = true;
    if (kind == L"Mode") {
        entry.StartMode = value;
        TbCbDem.SetText(value);
    } else if (kind == L"Etat") {
        entry.State = value;
        TbCbEta.SetText(value);
    }
}

void Fen4::OnBtComInterne() {
    std::wstring name = TbCbNameInterne.Text();
    try {
        std::optional<ServiceInfo> info = app_.services->Find(name);
        if (!info) RichTextBox1.SetPlainText(L"");  // no such service on this machine
        else if (!info->Description) RichTextBox1.SetPlainText(texts::kNoDescription);
        else RichTextBox1.SetPlainText(*info->Description);
    } catch (...) {
        RichTextBox1.SetPlainText(texts::kListUnreadable + CurrentExceptionText());
    }
}

void Fen4::OnBtComKestrane() {
    // The name comes from the file read: it names a text of the folder, never a path elsewhere.
    std::wstring name = TbCbNameInterne.Text();
    if (!IsBareFileName(name)) {
        RichTextBox1.SetPlainText(texts::kNoData);
        return;
    }
    std::wstring file = app_.var.CheminAppli + L"ServTxt\\serv\\" + name + L".txt";
    try {
        if (!FileExists(file)) RichTextBox1.SetPlainText(texts::kNoData);
        else RichTextBox1.LoadFile(file);
    } catch (...) {
        RichTextBox1.SetPlainText(texts::kNoData);
    }
}

void Fen4::SauveConfTemp() {
    // Unchanged, the working copy is the file read, byte for byte: it is what gets saved.
    if (!modified_) return;
    // Changed, every line but those of the records changed stays as it was read: encoding, byte-order mark,
    // line ends, blank lines and the way each unchanged record was written.
    WriteFileReplacing(workingCopy_, RewrittenConfig(sourceRead_, parsed_, entries_), *app_.files);
}

bool Fen4::SaveTo(const std::wstring& destination) {
    try {
        SauveConfTemp();
        // Only a complete working copy gets here; the destination is replaced by a complete file too.
        CopyFileReplacing(workingCopy_, destination);
        return true;
    } catch (const std::exception& failure) {
        app_.dialogs->Message(Handle(), texts::kConfigNotSaved + FileFailureReason(failure), texts::kFileErrorTitle,
                              BoxStyle::ErrorOk);
        return false;
    }
}

// A save that could not write its destination says so and leaves the editor open with its edits.
void Fen4::OnBtAppli() {
    std::wstring destination = app_.var.CheminAppli + L"Config\\" + title_;
    // A configuration of that name is kept where the user finds it again before it is replaced.
    try {
        if (!SameFile(destination, source_)) KeepReplaced(destination, app_.var.CheminAppli);
    } catch (const std::exception& failure) {
        app_.dialogs->Message(Handle(), texts::kConfigNotSaved + FileFailureReason(failure), texts::kFileErrorTitle,
                              BoxStyle::ErrorOk);
        return;
    }
    if (!SaveTo(destination)) return;
    Skipping([&] {
        if (saved_) saved_();
    });
    Close();
}

void Fen4::OnBtAppliSous() {
    FileDialogOptions options;
    options.title = texts::kEditorSaveAsTitle;
    options.initialFolder = app_.var.CheminDocuments;
    options.fileName = source_;
    options.filter = texts::kConfigFilter;
    options.defaultExtension = L"cfg";
    try {
        SauveConfTemp();
    } catch (const std::exception& failure) {
        app_.dialogs->Message(Handle(), texts::kConfigNotSaved + FileFailureReason(failure), texts::kFileErrorTitle,
                              BoxStyle::ErrorOk);
        return;
    }
    std::optional<FileChoice> chosen;
    try {
        chosen = app_.dialogs->SaveFile(Handle(), options);
    } catch (...) {
        return;
    }
    if (!chosen || chosen->path.empty()) return;  // cancelled: the editor stays open
    if (!SaveTo(chosen->path)) return;
    Skipping([&] {
        if (saved_) saved_();
    });
    Close();
}

bool Fen4::MayReplaceSource() {
    std::optional<std::string> now;
    try {
        now = ReadFileBytes(source_);
    } catch (...) {
        // Gone or unreadable: there is nothing of someone else's to lose.
    }
    if (!now || *now == sourceRead_) return true;
    // Another window, another program or a synchronisation wrote it since: its content would be lost.
    return app_.dialogs->Message(Handle(), texts::kEditorSourceChanged + source_ + texts::kEditorSourceChangedEnd,
                                 texts::kWarningTitle, BoxStyle::QuestionYesNo) == IDYES;
}

void Fen4::OnBtAppliModif() {
    if (!MayReplaceSource()) return;  // the editor stays open: "Enregistrer sous" writes elsewhere
    if (!SaveTo(source_)) return;
    Close();
}

void Fen4::OnBtQuitte() { Close(); }

void Fen4::CreateControls() {
    font_ = CreateMessageFont(Dpi());
    HINSTANCE instance = GetModuleHandleW(nullptr);
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr, instance, nullptr);
    SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, Scale(400));
    auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
        HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, Handle(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return hwnd;
    };
    CbName.Attach(make(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kCbName));  // sorted by Load
    CbName.onSelect = [this] { MakeCurrent(); };
    TbCbNameInterne.Attach(make(L"EDIT", L"", WS_BORDER | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, 0));
    TbCbEta.Attach(make(L"EDIT", L"", WS_BORDER | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, 0));
    TbCbDem.Attach(make(L"EDIT", L"", WS_BORDER | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, 0));
    buttons_.clear();
    int id = kFirstButton;
    for (const ButtonRow& row : kButtons) {
        Button button{row.name, id, {}, row.toolTip ? row.toolTip : L""};
        button.control.Attach(make(L"BUTTON", row.caption, BS_PUSHBUTTON | WS_TABSTOP, id));
        if (row.toolTip) {
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = Handle();
            tool.uId = reinterpret_cast<UINT_PTR>(button.control.Handle());
            tool.lpszText = const_cast<wchar_t*>(row.toolTip);
            SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
        buttons_.push_back(std::move(button));
        ++id;
    }
    RichTextBox1.Attach(make(MSFTEDIT_CLASS, L"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | WS_TABSTOP, 0));
    RichTextBox1.UseDialogKeys();
    SetMinimumLayout(kClientWidth, kClientHeight);
    Relayout();
}

void Fen4::Arrange(const RECT& canvas) {
    // The comment box takes the room the window gives; the buttons under it follow its lower edge, the
    // last one its right edge too.
    const int dx = (canvas.right - canvas.left) - Scale(kClientWidth);
    const int dy = (canvas.bottom - canvas.top) - Scale(kClientHeight);
    auto place = [&](HWND hwnd, int x, int y, int width, int height, int moveX = 0, int moveY = 0, int growX = 0,
                     int growY = 0) {
        SetWindowPos(hwnd, nullptr, canvas.left + Scale(x) + moveX, canvas.top + Scale(y) + moveY, Scale(width) + growX,
                     Scale(height) + growY, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    // The height of a drop-down list includes its open list.
    place(CbName.Handle(), 16, 32, 308, 300);
    place(TbCbNameInterne.Handle(), 16, 134, 308, 22);
    place(TbCbEta.Handle(), 16, 178, 150, 22);
    place(TbCbDem.Handle(), 174, 178, 150, 22);
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const ButtonRow& row = kButtons[i];
        bool below = row.y > kCommentBottom;
        bool last = i + 1 == buttons_.size();
        place(buttons_[i].control.Handle(), row.x, row.y, row.width, row.height, last ? dx : 0, below ? dy : 0);
    }
    place(RichTextBox1.Handle(), 16, 270, 616, kCommentBottom - 270, 0, 0, dx, dy);
}

bool Fen4::FocusMnemonic(wchar_t letter) {
    // The first four painted captions label the four fields, in order; the others name groups of buttons.
    const Control* fields[] = {&CbName, &TbCbNameInterne, &TbCbEta, &TbCbDem};
    for (size_t i = 0; i < std::size(fields); ++i) {
        if (MnemonicOf(kTexts[i].text) != letter) continue;
        SetFocus(fields[i]->Handle());
        return true;
    }
    return false;
}

void Fen4::OnCommand(int id, int code) {
    // Escape quits the editor as "Quitter le lecteur" does: the file read is left as it is.
    if (id == IDCANCEL && code == BN_CLICKED) {
        OnBtQuitte();
        return;
    }
    if (id == kCbName) {
        if (code == CBN_SELCHANGE) MakeCurrent();
        return;
    }
    int index = id - kFirstButton;
    if (code == BN_CLICKED && index >= 0 && index < static_cast<int>(std::size(kButtons))) {
        const ButtonRow& row = kButtons[index];
        if (row.member) (this->*row.member)();
        else row.value(*this);
    }
}

void Fen4::PaintBackground(HDC dc) {
    background_.PaintBackground(Handle(), dc, Dpi());
    const RECT canvas = Canvas();
    for (const RECT& group : kGroups) {
        RECT frame{Scale(group.left), Scale(group.top), Scale(group.right), Scale(group.bottom)};
        OffsetRect(&frame, canvas.left, canvas.top);
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    }
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (const Label96& text : kTexts) {
        RECT area{Scale(text.x), Scale(text.y), Scale(text.x + text.width), Scale(text.y + text.height)};
        OffsetRect(&area, canvas.left, canvas.top);
        DrawTextW(dc, text.text, -1, &area, DT_LEFT | DT_TOP | DT_SINGLELINE);
    }
    if (oldFont) SelectObject(dc, oldFont);
}

LRESULT Fen4::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_ERASEBKGND:
        PaintBackground(reinterpret_cast<HDC>(wp));
        return 1;
    case WM_DPICHANGED:
        TakeDpiChange(wp, lp, font_);
        Relayout();
        // The names are as long as they were, in a larger font.
        Skipping([&] { CbName.FitDropDown(font_); });
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_NCDESTROY:
        buttons_.clear();
        CbName.Attach(nullptr);
        if (font_) DeleteObject(font_);
        font_ = nullptr;
        return Default(msg, wp, lp);
    default:
        return Default(msg, wp, lp);
    }
}

void Fen4::ReportUnexpected(const std::wstring& reason) {
    ShowUnexpected(app_, Handle(), reason);
}

}  // namespace kestrane
