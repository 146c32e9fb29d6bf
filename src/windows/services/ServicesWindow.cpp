#include "windows/services/ServicesWindow.h"

#include "base/Texts.h"
#include "profile/ConfigFiles.h"
#include "profile/MachineLock.h"
#include "profile/Origin.h"
#include "windows/main/Fen1.h"
#include "service/Programme.h"

#include <windowsx.h>

#include <algorithm>
#include <map>

namespace kestrane {

namespace {

constexpr int kSearch = 7001, kState = 7002, kMode = 7003, kCount = 7004, kList = 7005;
constexpr int kFirstButton = 7010;  // the buttons, in the order of kButtons
constexpr int kMenuShowInMain = 7030;
constexpr UINT_PTR kReadTimer = 1;
// Posted to read on at once when the user has nothing waiting (the timer waits at least ten milliseconds).
constexpr UINT kReadMessage = WM_APP + 1;
constexpr int kWidth = 780, kHeight = 540;
// Below this the window scrolls rather than squeeze the table.
constexpr int kMinimumWidth = 570, kMinimumTable = 110;
constexpr size_t kChunk = 128;  // services read at once, on four threads: some tens of milliseconds under Wine

struct ColumnSpec {
    TableColumn column;
    const wchar_t* title;
    int width96;
};
constexpr ColumnSpec kColumns[kTableColumns] = {
    {TableColumn::DisplayName, L"Nom affiché", 230}, {TableColumn::Name, L"Nom", 130},
    {TableColumn::State, L"État", 70},              {TableColumn::StartMode, L"Mode de démarrage", 150},
    {TableColumn::Verdict, L"Liste des interdits", 110}, {TableColumn::Kind, L"Type", 120},
    {TableColumn::Choice, L"Choix (création)", 0},
};

const wchar_t* const kButtons[] = {texts::kTableStart, texts::kTableStop,     texts::kTableAuto,
                                   texts::kTableAutoDelayed, texts::kTableManual, texts::kTableDisabled,
                                   texts::kTableSave,  texts::kTableAdd,      texts::kTableRefresh};
constexpr size_t kActionButtons = 6;

}  // namespace

ServicesWindow::ServicesWindow(AppContext& app, Fen1& main) : app_(app), main_(main) {
    buttons_ = {&BtStart, &BtStop, &BtAuto, &BtAutoDelayed, &BtManual, &BtDisabled, &BtSave, &BtAdd, &BtRefresh};
}

ServicesWindow::~ServicesWindow() {
    if (Handle()) DestroyWindow(Handle());
    if (font_) DeleteObject(font_);
}

void ServicesWindow::Open() {
    if (!Handle()) {
        if (!CreateTopLevel(L"KestraneServices", texts::kTableTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, kWidth, kHeight,
                            nullptr, nullptr))
            return;
        // A new window starts with an empty search and no filter, as its fields show.
        table_ = ServicesTable();
        KeepInsideWorkArea();
        Load();
    } else {
        Refresh();
    }
    ShowWindow(Handle(), IsIconic(Handle()) ? SW_RESTORE : SW_SHOWNORMAL);
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(Handle());
    SetFocus(EdSearch.Handle());
}

void ServicesWindow::Close() {
    if (Handle()) DestroyWindow(Handle());
}

void ServicesWindow::Refresh() {
    if (!Handle()) return;
    Load();
}

void ServicesWindow::Load() {
    std::set<std::wstring> selected = SelectedSet();
    int top = list_ ? ListView_GetTopIndex(list_) : 0;
    std::vector<ServiceEntry> services;
    std::vector<ForbiddenEntry> forbidden;
    try {
        WaitCursor busy;
        // One enumeration: names, display names and states. The start modes follow, read while the window answers.
        services = app_.services->Inventory(false);
        forbidden = ReadForbiddenList(app_.var.CheminAppli).value_or(std::vector<ForbiddenEntry>{});
    } catch (const ServiceError& e) {
        const wchar_t* why = ControlMessage(e.Code());
        app_.dialogs->Message(Handle(), texts::kTableUnreadable + std::wstring(why ? why : L""), texts::kTableTitle,
                              BoxStyle::ErrorOk);
    }
    // What was read already stays shown while it is read again.
    std::map<std::wstring, ServiceRow> before;
    for (ServiceRow& row : table_.Rows()) before.emplace(row.name, std::move(row));
    table_.SetRows(services, forbidden);
    for (ServiceRow& row : table_.Rows()) {
        auto it = before.find(row.name);
        if (it == before.end()) continue;
        row.startMode = it->second.startMode;
        row.delayed = it->second.delayed;
        row.trigger = it->second.trigger;
        row.chosenState = it->second.chosenState;
        row.chosenMode = it->second.chosenMode;
    }
    table_.Update();
    nextMode_ = nextDetail_ = 0;
    reading_ = !table_.Rows().empty();
    if (reading_) SetTimer(Handle(), kReadTimer, 1, nullptr);
    // The values that decide the order or the rows shown are read at once: the rows do not move under the user.
    if (table_.ModeFilter() != kFilterAll || table_.SortColumn() == TableColumn::StartMode) ReadAllNow();
    ShowRows(selected, top);
}

void ServicesWindow::ShowRows(const std::set<std::wstring>& selected, int topRow) {
    if (!list_) return;
    const std::vector<size_t>& shown = table_.Shown();
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    // Counted once at the end, not at each row selected again.
    quietCount_ = true;
    ListView_SetItemCountEx(list_, static_cast<int>(shown.size()), LVSICF_NOSCROLL);
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    bool focused = false;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (!selected.count(table_.Rows()[shown[i]].name)) continue;
        UINT state = LVIS_SELECTED | (focused ? 0 : LVIS_FOCUSED);
        ListView_SetItemState(list_, static_cast<int>(i), state, state);
        focused = true;
    }
    // The header's arrow on the sorted column.
    HWND header = ListView_GetHeader(list_);
    for (int c = 0; c < kTableColumns; ++c) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, c, &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (kColumns[c].column == table_.SortColumn()) item.fmt |= table_.Descending() ? HDF_SORTDOWN : HDF_SORTUP;
        Header_SetItem(header, c, &item);
    }
    // The rows that were at the top stay there.
    if (topRow > 0 && !shown.empty()) {
        int last = static_cast<int>(shown.size()) - 1;
        ListView_EnsureVisible(list_, last, FALSE);
        ListView_EnsureVisible(list_, std::min(topRow, last), FALSE);
    }
    quietCount_ = false;
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    UpdateCount();
}

void ServicesWindow::UpdateCount() {
    if (!LabCount.Handle() || quietCount_) return;
    std::wstring text = texts::kTableCount + std::to_wstring(table_.Shown().size()) + texts::kTableShown +
                        std::to_wstring(ListView_GetSelectedCount(list_)) + texts::kTableSelected;
    if (reading_) text += texts::kTableReading;
    if (text != LabCount.Text()) LabCount.SetText(text);
}

void ServicesWindow::ReadSome(DWORD budgetMs) {
    std::vector<ServiceRow>& rows = table_.Rows();
    const DWORD started = GetTickCount();
    try {
        while (reading_) {
            std::vector<size_t> chunk;
            // First every start mode, then what the start mode shows beside it (a delay, triggers).
            bool modes = nextMode_ < rows.size();
            size_t& next = modes ? nextMode_ : nextDetail_;
            // Every row is read again (a refresh shows the values read before until then).
            for (; next < rows.size() && chunk.size() < kChunk; ++next) chunk.push_back(next);
            if (chunk.empty() && next >= rows.size()) {
                if (!modes) reading_ = false;
                continue;
            }
            std::vector<std::wstring> names;
            for (size_t i : chunk) names.push_back(rows[i].name);
            if (modes) {
                std::vector<Text> read = app_.services->StartModes(names);
                for (size_t k = 0; k < chunk.size() && k < read.size(); ++k)
                    rows[chunk[k]].startMode = read[k] ? read[k] : std::optional<std::wstring>(L"");
                // Every start mode read: shown at once, before the delays and triggers.
                if (nextMode_ >= rows.size() && budgetMs != INFINITE) break;
            } else {
                std::vector<bool> triggers = app_.services->TriggerStarts(names);
                std::vector<std::wstring> automatic;
                std::vector<size_t> automaticRows;
                for (size_t k = 0; k < chunk.size(); ++k) {
                    rows[chunk[k]].trigger = k < triggers.size() && triggers[k];
                    rows[chunk[k]].detailsRead = true;
                    if (rows[chunk[k]].startMode == std::optional<std::wstring>(L"Auto")) {
                        automatic.push_back(rows[chunk[k]].name);
                        automaticRows.push_back(chunk[k]);
                    }
                }
                std::vector<bool> delays = automatic.empty() ? std::vector<bool>{} : app_.services->DelayedAutoStarts(automatic);
                for (size_t k = 0; k < automaticRows.size() && k < delays.size(); ++k) rows[automaticRows[k]].delayed = delays[k];
            }
            // The user's keys and clicks go first.
            if (budgetMs != INFINITE && (GetTickCount() - started >= budgetMs || HIWORD(GetQueueStatus(QS_INPUT)) != 0)) break;
        }
    } catch (const ServiceError&) {
        reading_ = false;  // what could not be read stays empty
    }
    if (!reading_ && Handle()) KillTimer(Handle(), kReadTimer);
    if (list_) InvalidateRect(list_, nullptr, FALSE);
    UpdateCount();
    if (reading_ && budgetMs != INFINITE && Handle()) {
        // What was read is painted now; the next step follows at once unless the user has acted (then the
        // timer brings it after the user's messages).
        PaintPending();
        if (HIWORD(GetQueueStatus(QS_INPUT)) == 0) PostMessageW(Handle(), kReadMessage, 0, 0);
    }
}

void ServicesWindow::ReadAllNow() {
    if (!reading_) return;
    WaitCursor busy;
    ReadSome(INFINITE);
    table_.Update();
}

std::vector<std::wstring> ServicesWindow::SelectedNames() const {
    std::vector<std::wstring> names;
    if (!list_) return names;
    const std::vector<size_t>& shown = table_.Shown();
    for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
        if (static_cast<size_t>(i) < shown.size()) names.push_back(table_.Rows()[shown[static_cast<size_t>(i)]].name);
    return names;
}

std::set<std::wstring> ServicesWindow::SelectedSet() const {
    std::vector<std::wstring> names = SelectedNames();
    return std::set<std::wstring>(names.begin(), names.end());
}

void ServicesWindow::Select(const std::vector<std::wstring>& names) {
    ShowRows(std::set<std::wstring>(names.begin(), names.end()), ListView_GetTopIndex(list_));
}

std::wstring ServicesWindow::ToolTipOf(int position) const {
    const std::vector<size_t>& shown = table_.Shown();
    if (position < 0 || static_cast<size_t>(position) >= shown.size()) return L"";
    const ServiceRow& row = table_.Rows()[shown[static_cast<size_t>(position)]];
    if (row.mark == Mark::None) return L"";
    std::wstring verdict = CellText(row, TableColumn::Verdict);
    return row.reason.empty() ? verdict : verdict + L" : " + row.reason;
}

void ServicesWindow::SetSearch(const std::wstring& text) {
    std::set<std::wstring> selected = SelectedSet();
    table_.SetSearch(text);
    ShowRows(selected, 0);
}

void ServicesWindow::SetStateFilter(const std::wstring& value) {
    std::set<std::wstring> selected = SelectedSet();
    table_.SetStateFilter(value);
    ShowRows(selected, 0);
}

void ServicesWindow::SetModeFilter(const std::wstring& value) {
    std::set<std::wstring> selected = SelectedSet();
    if (value != kFilterAll) ReadAllNow();
    table_.SetModeFilter(value);
    ShowRows(selected, 0);
}

void ServicesWindow::OnColumnClick(TableColumn column) {
    std::set<std::wstring> selected = SelectedSet();
    if (column == TableColumn::StartMode) ReadAllNow();
    table_.SortBy(column);
    ShowRows(selected, 0);
    // The selection stays in view.
    int focused = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
    if (focused >= 0) ListView_EnsureVisible(list_, focused, FALSE);
}

void ServicesWindow::OnAction(Action action) {
    std::vector<std::wstring> names = SelectedNames();
    if (names.empty()) {
        app_.dialogs->Message(Handle(), texts::kTableNoSelection, texts::kTableTitle, BoxStyle::InformationOk);
        return;
    }
    const wchar_t* state = action == Action::Start ? L"Running" : action == Action::Stop ? L"Stopped" : L"";
    const wchar_t* mode = action == Action::Automatic || action == Action::AutomaticDelayed ? L"Auto"
                          : action == Action::Manual                                  ? L"Manual"
                          : action == Action::Disabled                                ? L"Disabled"
                                                                                      : L"";
    std::map<std::wstring, const ServiceRow*> byName;
    for (const ServiceRow& row : table_.Rows()) byName.emplace(row.name, &row);
    if (main_.CreationMode()) {
        // In creation mode nothing is changed: the value is chosen for each selected service, to be added.
        for (ServiceRow& row : table_.Rows()) {
            if (std::find(names.begin(), names.end(), row.name) == names.end()) continue;
            if (*state) row.chosenState = state;
            if (*mode) row.chosenMode = mode;
        }
        InvalidateRect(list_, nullptr, FALSE);
        return;
    }
    std::vector<ConfigRecord> records;
    for (const std::wstring& name : names) records.push_back({name, state, mode, byName[name]->displayName});
    // "Automatique" is an automatic start without delay, as the main window's command makes it.
    std::optional<bool> delayed;
    if (action == Action::AutomaticDelayed) delayed = true;
    if (action == Action::Automatic) delayed = false;
    main_.ApplyFromTable(records, WithoutMnemonic(kButtons[static_cast<size_t>(action)]), delayed);
}

void ServicesWindow::OnSaveSelection() {
    std::vector<std::wstring> names = SelectedNames();
    if (names.empty()) {
        app_.dialogs->Message(Handle(), texts::kTableNoSelection, texts::kTableTitle, BoxStyle::InformationOk);
        return;
    }
    std::wstring name = app_.dialogs->InputBox(Handle(), texts::kSavePrompt, texts::kSaveTitle, DefaultConfigName(app_.var));
    if (name.empty()) {
        app_.dialogs->Message(Handle(), texts::kNameRequired, texts::kWarningTitle, BoxStyle::WarningOk);
        return;
    }
    if (!main_.CheckConfigName(name)) return;
    std::wstring path = app_.var.CheminAppli + L"Config\\" + name + L".cfg";
    MachineLock lock;
    if (!main_.TakeMachineLock(lock)) return;
    std::optional<std::wstring> kept;
    WrittenConfig written;
    try {
        WaitCursor busy;
        // The services as they are now, in the machine's order, as a save of the whole machine writes them.
        std::set<std::wstring, ServiceNameLess> wanted(names.begin(), names.end());
        std::vector<ServiceEntry> chosen;
        {
            CommandScope scope(*app_.services);
            for (ServiceEntry& s : app_.services->Inventory(false))
                if (wanted.count(s.Name)) chosen.push_back(std::move(s));
            std::vector<std::wstring> chosenNames;
            for (const ServiceEntry& s : chosen) chosenNames.push_back(s.Name);
            std::vector<Text> modes = app_.services->StartModes(chosenNames);
            for (size_t i = 0; i < chosen.size() && i < modes.size(); ++i) chosen[i].StartMode = modes[i];
        }
        kept = KeepReplaced(path, app_.var.CheminAppli);
        written = WriteConfigFile(path, SavedRecords(chosen), *app_.files);
    } catch (const std::exception& failure) {
        app_.dialogs->Message(Handle(), texts::kConfigNotSaved + FileFailureReason(failure), texts::kFileErrorTitle,
                              BoxStyle::ErrorOk);
        return;
    }
    lock.Release();
    main_.ChargeListeConf();
    std::wstring done = texts::kSaveDone + std::wstring(L" : ") + path;
    if (kept) done += L"\n" + KeptLine(*kept);
    for (const std::wstring& line : WrittenLines(written)) done += L"\n" + line;
    app_.dialogs->Message(Handle(), done, texts::kInformationTitle, BoxStyle::InformationOk);
}

void ServicesWindow::OnAddToConfiguration() {
    std::vector<std::wstring> names = SelectedNames();
    if (names.empty()) {
        app_.dialogs->Message(Handle(), texts::kTableNoSelection, texts::kTableTitle, BoxStyle::InformationOk);
        return;
    }
    std::vector<ConfigRecord> records;
    std::wstring missing;
    for (const std::wstring& name : names)
        for (ServiceRow& row : table_.Rows()) {
            if (row.name != name) continue;
            if (row.chosenState.empty() || row.chosenMode.empty()) missing += (missing.empty() ? L"" : L", ") + name;
            else records.push_back({row.name, row.chosenState, row.chosenMode, row.displayName});
        }
    if (!missing.empty()) {
        app_.dialogs->Message(Handle(), texts::kTableNoChoice + missing, texts::kWarningTitle, BoxStyle::WarningOk);
        return;
    }
    if (!main_.AddRecordsToConfiguration(records)) return;
    for (ServiceRow& row : table_.Rows())
        if (std::find(names.begin(), names.end(), row.name) != names.end()) row.chosenState.clear(), row.chosenMode.clear();
    InvalidateRect(list_, nullptr, FALSE);
}

void ServicesWindow::OnActivate() {
    int focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
    if (focused < 0) focused = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
    const std::vector<size_t>& shown = table_.Shown();
    if (focused < 0 || static_cast<size_t>(focused) >= shown.size()) return;
    main_.SelectService(table_.Rows()[shown[static_cast<size_t>(focused)]].name);
}

void ServicesWindow::CreateControls() {
    font_ = CreateMessageFont(Dpi());
    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id, DWORD exStyle = 0) {
        HWND hwnd = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, Handle(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return hwnd;
    };
    // In reading order, which is the order of Tab: the search, the filters, the table, the buttons. Each
    // caption comes just before its field, so that its Alt letter reaches the field.
    captions_.push_back(make(L"STATIC", texts::kTableSearch, SS_LEFT | SS_CENTERIMAGE, 0));
    EdSearch.Attach(make(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, kSearch, WS_EX_CLIENTEDGE));
    captions_.push_back(make(L"STATIC", texts::kTableState, SS_LEFT | SS_CENTERIMAGE, 0));
    CbState.Attach(make(L"COMBOBOX", L"", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, kState));
    captions_.push_back(make(L"STATIC", texts::kTableMode, SS_LEFT | SS_CENTERIMAGE, 0));
    CbMode.Attach(make(L"COMBOBOX", L"", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, kMode));
    LabCount.Attach(make(L"STATIC", L"", SS_LEFT | SS_ENDELLIPSIS, kCount));
    list_ = make(WC_LISTVIEWW, L"", WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, kList, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER | LVS_EX_HEADERDRAGDROP);
    for (int c = 0; c < kTableColumns; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(kColumns[c].title);
        column.cx = Scale(kColumns[c].width96);
        column.iSubItem = c;
        ListView_InsertColumn(list_, c, &column);
    }
    for (size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->Attach(make(L"BUTTON", kButtons[i], WS_TABSTOP | BS_PUSHBUTTON, kFirstButton + static_cast<int>(i)));
    auto fill = [](HWND box, const std::vector<std::wstring>& values) {
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kFilterAll));
        for (const std::wstring& value : values) SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value.c_str()));
        SendMessageW(box, CB_SETCURSEL, 0, 0);
    };
    fill(CbState.Handle(), kStateFilterValues);
    fill(CbMode.Handle(), kModeFilterValues);
    // The window lays itself out once it has its size (CreateTopLevel), not at the size it is made with.
    SetMinimumLayout(kMinimumWidth, 64 + kMinimumTable + 90);
}

std::vector<RECT> ServicesWindow::ButtonPlaces(int width, int& height) const {
    std::vector<RECT> places;
    HDC dc = GetDC(Handle());
    HGDIOBJ old = SelectObject(dc, font_);
    const int gap = Scale(6), rowHeight = Scale(28), left = Scale(12), right = width - Scale(12);
    int x = left, y = 0;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        std::wstring text = WithoutMnemonic(kButtons[i]);
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        int w = size.cx + Scale(24);
        // The changes first, then the files and the refresh on a row of their own.
        bool newRow = (x > left && x + w > right) || i == kActionButtons;
        if (newRow) {
            x = left;
            y += rowHeight + gap;
        }
        places.push_back({x, y, x + w, y + rowHeight});
        x += w + gap;
    }
    SelectObject(dc, old);
    ReleaseDC(Handle(), dc);
    height = y + rowHeight;
    return places;
}

SIZE ServicesWindow::LayoutSize(SIZE client) const {
    int width = std::max<LONG>(client.cx, Scale(kMinimumWidth));
    int buttons = 0;
    ButtonPlaces(width, buttons);
    int height = Scale(64 + kMinimumTable + 20) + buttons;
    return {width, std::max<LONG>(client.cy, height)};
}

void ServicesWindow::Arrange(const RECT& canvas) {
    if (!list_) return;
    // Each move of a control costs a round trip under Wine: a layout that would not move one is skipped.
    const bool creation = main_.CreationMode();
    if (EqualRect(&canvas, &arranged_) && arrangedDpi_ == Dpi() && arrangedCreation_ == creation) return;
    arranged_ = canvas;
    arrangedDpi_ = Dpi();
    arrangedCreation_ = creation;
    const int left = canvas.left + Scale(12), top = canvas.top + Scale(10), h = Scale(24);
    const int width = static_cast<int>(canvas.right - canvas.left);
    // The first line: the search takes what the filters leave.
    int x = left;
    auto place = [&](HWND hwnd, int w, int height = 0) {
        SetWindowPos(hwnd, nullptr, x, top, w, height ? height : h, SWP_NOZORDER | SWP_NOACTIVATE);
        x += w + Scale(6);
    };
    const int filters = Scale(40 + 110 + 48 + 110 + 24);
    const int search = std::max<int>(Scale(120), canvas.right - Scale(12) - left - Scale(84) - filters);
    place(captions_[0], Scale(78));
    place(EdSearch.Handle(), search);
    place(captions_[1], Scale(40));
    place(CbState.Handle(), Scale(110), Scale(200));
    place(captions_[2], Scale(48));
    place(CbMode.Handle(), Scale(110), Scale(200));
    SetWindowPos(LabCount.Handle(), nullptr, left, top + Scale(30), width - Scale(24), Scale(20), SWP_NOZORDER | SWP_NOACTIVATE);
    int buttonsHeight = 0;
    std::vector<RECT> places = ButtonPlaces(width, buttonsHeight);
    const int buttonsTop = canvas.bottom - Scale(10) - buttonsHeight;
    const int tableTop = top + Scale(54);
    SetWindowPos(list_, nullptr, left, tableTop, width - Scale(24), std::max(Scale(40), buttonsTop - Scale(8) - tableTop),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    for (size_t i = 0; i < buttons_.size(); ++i)
        SetWindowPos(buttons_[i]->Handle(), nullptr, canvas.left + places[i].left, buttonsTop + places[i].top,
                     places[i].right - places[i].left, places[i].bottom - places[i].top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The creation-mode column shows only in creation mode.
    int choiceWidth = main_.CreationMode() ? Scale(150) : 0;
    if (ListView_GetColumnWidth(list_, kTableColumns - 1) != choiceWidth) ListView_SetColumnWidth(list_, kTableColumns - 1, choiceWidth);
    BtAdd.SetEnabled(main_.CreationMode());
}

void ServicesWindow::OnCommand(int id, int code) {
    if (id == kSearch && code == EN_CHANGE) {
        SetSearch(EdSearch.Text());
    } else if ((id == kState || id == kMode) && code == CBN_SELCHANGE) {
        HWND box = id == kState ? CbState.Handle() : CbMode.Handle();
        int index = static_cast<int>(SendMessageW(box, CB_GETCURSEL, 0, 0));
        const std::vector<std::wstring>& values = id == kState ? kStateFilterValues : kModeFilterValues;
        std::wstring value = index <= 0 || static_cast<size_t>(index) > values.size() ? kFilterAll : values[static_cast<size_t>(index) - 1];
        if (id == kState) SetStateFilter(value);
        else SetModeFilter(value);
    } else if (id >= kFirstButton && id < kFirstButton + static_cast<int>(buttons_.size()) && code == BN_CLICKED) {
        size_t i = static_cast<size_t>(id - kFirstButton);
        if (i < kActionButtons) OnAction(static_cast<Action>(i));
        else if (buttons_[i] == &BtSave) OnSaveSelection();
        else if (buttons_[i] == &BtAdd) OnAddToConfiguration();
        else Refresh();
    } else if (id == kMenuShowInMain) {
        OnActivate();
    } else if (id == IDOK) {
        // Enter: on the table, the focused row goes to the main window.
        if (GetFocus() == list_) OnActivate();
    } else if (id == IDCANCEL) {
        Close();
    }
}

LRESULT ServicesWindow::OnNotify(NMHDR* header) {
    if (header->hwndFrom != list_) return 0;
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
        const std::vector<size_t>& shown = table_.Shown();
        if (!(info->item.mask & LVIF_TEXT) || info->item.iItem < 0 || static_cast<size_t>(info->item.iItem) >= shown.size())
            return 0;
        int column = info->item.iSubItem;
        if (column < 0 || column >= kTableColumns) return 0;
        cell_ = CellText(table_.Rows()[shown[static_cast<size_t>(info->item.iItem)]], kColumns[column].column);
        lstrcpynW(info->item.pszText, cell_.c_str(), info->item.cchTextMax);
        return 0;
    }
    case LVN_GETINFOTIPW: {
        auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(header);
        std::wstring text = ToolTipOf(tip->iItem);
        if (text.empty() || !tip->pszText || tip->cchTextMax <= 0) return 0;
        // A cell too narrow for its text comes with that text: the reason follows it.
        if (!(tip->dwFlags & LVGIT_UNFOLDED) && tip->pszText[0]) text = std::wstring(tip->pszText) + L"\n" + text;
        lstrcpynW(tip->pszText, text.c_str(), tip->cchTextMax);
        return 0;
    }
    case LVN_ODFINDITEMW: {
        // Typing in the table goes to the next row whose display name begins with what was typed.
        auto* find = reinterpret_cast<NMLVFINDITEMW*>(header);
        if (!(find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find->lvfi.psz) return -1;
        const std::vector<size_t>& shown = table_.Shown();
        const std::wstring typed = FoldForSearch(find->lvfi.psz);
        for (size_t k = 0; k < shown.size(); ++k) {
            size_t i = (static_cast<size_t>(std::max(find->iStart, 0)) + k) % shown.size();
            if (FoldForSearch(table_.Rows()[shown[i]].displayName).rfind(typed, 0) == 0) return static_cast<LRESULT>(i);
        }
        return -1;
    }
    case LVN_COLUMNCLICK: {
        int column = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
        if (column >= 0 && column < kTableColumns) OnColumnClick(kColumns[column].column);
        return 0;
    }
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
        UpdateCount();
        return 0;
    case LVN_ITEMACTIVATE:
        OnActivate();
        return 0;
    case LVN_KEYDOWN: {
        auto* key = reinterpret_cast<NMLVKEYDOWN*>(header);
        if (key->wVKey == 'A' && (GetKeyState(VK_CONTROL) & 0x8000)) {
            ListView_SetItemState(list_, -1, LVIS_SELECTED, LVIS_SELECTED);
            UpdateCount();
        } else if (key->wVKey == VK_F5) {
            Refresh();
        }
        return 0;
    }
    default:
        return 0;
    }
}

void ServicesWindow::OnContextMenu(LPARAM lp) {
    POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    if (at.x == -1 && at.y == -1) {
        // Shift+F10 or the menu key: at the focused row.
        int focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
        RECT row{};
        if (focused < 0 || !ListView_GetItemRect(list_, focused, &row, LVIR_LABEL)) GetClientRect(list_, &row);
        RECT client{};
        GetClientRect(list_, &client);
        // A focused row scrolled out of view: the menu stays on the list.
        at = {std::clamp<LONG>(row.left + Scale(8), client.left, client.right), std::clamp<LONG>(row.bottom, client.top, client.bottom)};
        ClientToScreen(list_, &at);
    }
    HMENU menu = CreatePopupMenu();
    for (size_t i = 0; i < kActionButtons; ++i) AppendMenuW(menu, MF_STRING, kFirstButton + i, kButtons[i]);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kFirstButton + 6, texts::kTableSave);
    AppendMenuW(menu, MF_STRING | (main_.CreationMode() ? 0 : MF_GRAYED), kFirstButton + 7, texts::kTableAdd);
    AppendMenuW(menu, MF_STRING, kMenuShowInMain, texts::kTableShowInMain);
    int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), nullptr);
    DestroyMenu(menu);
    if (chosen) OnCommand(chosen, BN_CLICKED);
}

LRESULT ServicesWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lp));
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wp) == list_) {
            OnContextMenu(lp);
            return 0;
        }
        return Default(msg, wp, lp);
    case WM_TIMER:
        if (wp == kReadTimer) ReadSome(40);
        return 0;
    case kReadMessage:
        ReadSome(40);
        return 0;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(Handle(), &client);
        FillRect(reinterpret_cast<HDC>(wp), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_DPICHANGED:
        TakeDpiChange(wp, lp, font_);
        for (int c = 0; c < kTableColumns - 1; ++c) ListView_SetColumnWidth(list_, c, Scale(kColumns[c].width96));
        Relayout();
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_NCDESTROY:
        list_ = nullptr;
        reading_ = false;
        arranged_ = RECT{};
        captions_.clear();
        if (font_) DeleteObject(font_);
        font_ = nullptr;
        return Default(msg, wp, lp);
    default:
        return Default(msg, wp, lp);
    }
}

void ServicesWindow::ReportUnexpected(const std::wstring& reason) { ShowUnexpected(app_, Handle(), reason); }

}  // namespace kestrane
