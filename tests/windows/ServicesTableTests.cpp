// The table of every service: sorting, searching and filtering it, changing many services at once through
// an application, saving a selection, and going from a row to the main window; on the simulated machine.
#include "TestSupport.h"

#include "base/TextFile.h"
#include "profile/Undo.h"
#include "windows/preview/PreviewWindow.h"
#include "windows/resource.h"
#include "windows/services/ServicesWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <set>

namespace kestrane::test {
namespace {

class ServicesTableWindow : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ArrangeProfileMachine(machine, folder);
        machine.Add({L"DiagTrack", L"Expériences des utilisateurs connectés et télémétrie", L"Running", L"Auto", std::nullopt});
        folder.Write(L"liste\\interdit.txt",
                     "\"RpcSs\",1,\"Windows en a besoin\"\r\n\"Audiosrv\",0,\"Le son s'arr\xEAte\"\r\n\"Spooler\",1\r\n");
        Open();
        SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_TOUSSERVICES, 0), 0);
        table = app.windows.Find<ServicesWindow>();
        ASSERT_TRUE(table && table->IsOpen());
        table->ReadAllNow();
    }
    std::vector<std::wstring> ShownNames() const {
        std::vector<std::wstring> names;
        for (size_t i : table->Table().Shown()) names.push_back(table->Table().Rows()[i].name);
        return names;
    }
    const ServiceRow& Row(const std::wstring& name) const {
        for (const ServiceRow& row : table->Table().Rows())
            if (row.name == name) return row;
        throw std::runtime_error("no such row");
    }
    void Click(const Control& button) {
        SendMessageW(table->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button.Handle()), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button.Handle()));
    }
    void ClickHeader(int column) {
        NMLISTVIEW click{};
        click.hdr = {table->List(), static_cast<UINT_PTR>(GetDlgCtrlID(table->List())), LVN_COLUMNCLICK};
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageW(table->Handle(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    }
    void ChooseFilter(const Control& box, const std::wstring& value) {
        int index = static_cast<int>(SendMessageW(box.Handle(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                  reinterpret_cast<LPARAM>(value.c_str())));
        SendMessageW(box.Handle(), CB_SETCURSEL, index, 0);
        SendMessageW(table->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box.Handle()), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box.Handle()));
    }
    // Ctrl+A pressed in the table, as the keyboard sends it.
    void SelectAllWithKeys() {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        SetFocus(table->List());
        SendMessageW(table->List(), WM_KEYDOWN, 'A', 1);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
    }
    ServicesWindow* table = nullptr;
};

TEST_F(ServicesTableWindow, SortedByEachColumnBothWaysSearchedWithoutCaseOrAccentsAndFiltered) {
    // Opened: by display name, names, display names and states first.
    EXPECT_EQ(ShownNames(), (std::vector<std::wstring>{L"RpcSs", L"Audiosrv", L"Base", L"Client", L"DiagTrack", L"Spooler",
                                                       L"Fax", L"wuauserv"}));
    EXPECT_EQ(CellText(Row(L"wuauserv"), TableColumn::StartMode), L"Disabled");
    EXPECT_EQ(CellText(Row(L"RpcSs"), TableColumn::Verdict), L"refusé");
    EXPECT_EQ(CellText(Row(L"Audiosrv"), TableColumn::Verdict), L"déconseillé");
    // What the list view shows is the row's: its cells asked for as the control asks, the tool tip too.
    int position = static_cast<int>(*table->Table().PositionOf(L"Audiosrv"));
    wchar_t cell[64] = {};
    for (int column : {0, 1, 4}) {
        ListView_GetItemText(table->List(), position, column, cell, 64);
        EXPECT_EQ(std::wstring(cell), column == 0 ? L"Audio Windows" : column == 1 ? L"Audiosrv" : L"déconseillé");
    }
    NMLVGETINFOTIPW tip{};
    tip.hdr = {table->List(), static_cast<UINT_PTR>(GetDlgCtrlID(table->List())), LVN_GETINFOTIPW};
    tip.dwFlags = LVGIT_UNFOLDED;
    tip.pszText = cell;
    tip.cchTextMax = 64;
    tip.iItem = position;
    cell[0] = 0;
    SendMessageW(table->Handle(), WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip));
    EXPECT_EQ(std::wstring(cell), L"déconseillé : Le son s'arrête");

    // Each column, then the same again: its order one way and the other; equal cells in the display name's order.
    const TableColumn columns[] = {TableColumn::DisplayName, TableColumn::Name, TableColumn::State, TableColumn::StartMode,
                                   TableColumn::Verdict, TableColumn::Kind};
    for (int c = 0; c < 6; ++c)
        for (bool descending : {false, true}) {
            SCOPED_TRACE(std::to_string(c) + (descending ? " descending" : " ascending"));
            if (c == 0 && !descending) ClickHeader(1);  // away from the display name, so that the next click sorts up
            ClickHeader(c);
            EXPECT_EQ(table->Table().SortColumn(), columns[c]);
            EXPECT_EQ(table->Table().Descending(), descending);
            std::vector<std::wstring> names = ShownNames();
            ASSERT_EQ(names.size(), 8u);
            for (size_t i = 1; i < names.size(); ++i) {
                std::wstring a = CellText(Row(names[i - 1]), columns[c]), b = CellText(Row(names[i]), columns[c]);
                if (c < 2) {
                    a = FoldForSearch(a);
                    b = FoldForSearch(b);
                }
                if (a == b) {
                    EXPECT_LE(FoldForSearch(Row(names[i - 1]).displayName), FoldForSearch(Row(names[i]).displayName))
                        << "equal rows in the display name's order";
                } else if (a.empty() || b.empty()) {
                    EXPECT_TRUE(b.empty()) << "empty cells last, either way";
                } else {
                    EXPECT_EQ(a < b, !descending);
                }
            }
            HDITEMW item{};
            item.mask = HDI_FORMAT;
            Header_GetItem(ListView_GetHeader(table->List()), c, &item);
            EXPECT_EQ(item.fmt & (HDF_SORTUP | HDF_SORTDOWN), descending ? HDF_SORTDOWN : HDF_SORTUP);
        }
    ClickHeader(0);  // back to the display name, ascending
    ClickHeader(0);
    ClickHeader(0);
    EXPECT_FALSE(table->Table().Descending());

    // The search box, as the user types.
    SetWindowTextW(table->EdSearch.Handle(), L"telemetrie");
    EXPECT_EQ(ShownNames(), std::vector<std::wstring>{L"DiagTrack"});
    SetWindowTextW(table->EdSearch.Handle(), L"TÉLÉ");
    EXPECT_EQ(ShownNames(), (std::vector<std::wstring>{L"DiagTrack", L"Fax"}));
    SetWindowTextW(table->EdSearch.Handle(), L"s");
    EXPECT_EQ(ShownNames().size(), 6u) << "all but Client and Fax (Télécopie)";
    // Filters combined with the search; the counts always shown.
    ChooseFilter(table->CbState, L"Running");
    EXPECT_EQ(ShownNames(), (std::vector<std::wstring>{L"RpcSs", L"Audiosrv", L"Base", L"DiagTrack"}));
    ChooseFilter(table->CbMode, L"Auto");
    EXPECT_EQ(ShownNames().size(), 4u);
    ChooseFilter(table->CbState, L"tous");
    ChooseFilter(table->CbMode, L"Disabled");
    EXPECT_EQ(ShownNames(), std::vector<std::wstring>{L"wuauserv"});
    table->Select({L"wuauserv"});
    EXPECT_EQ(table->CountText(), L"&Liste : 1 services affichés, 1 sélectionnés");
    // A refresh keeps the search, the filters and the selection.
    SendMessageW(table->List(), WM_KEYDOWN, VK_F5, 1);
    EXPECT_EQ(table->SelectedNames(), std::vector<std::wstring>{L"wuauserv"});
    EXPECT_EQ(table->CountText(), L"&Liste : 1 services affichés, 1 sélectionnés");
    // Tab goes from the search to the filters, the table and the buttons.
    std::vector<HWND> order;
    SetFocus(table->EdSearch.Handle());
    for (int i = 0; i < 6; ++i) {
        order.push_back(GetFocus());
        DialogKey(table->Handle(), GetFocus(), VK_TAB);
    }
    EXPECT_EQ(order, (std::vector<HWND>{table->EdSearch.Handle(), table->CbState.Handle(), table->CbMode.Handle(), table->List(),
                                        table->BtStart.Handle(), table->BtStop.Handle()}));
    // Escape closes it; opened again, it shows every service, as its empty fields say.
    DialogKey(table->Handle(), table->List(), VK_ESCAPE);
    EXPECT_FALSE(table->IsOpen());
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_TOUSSERVICES, 0), 0);
    ASSERT_TRUE(table->IsOpen());
    EXPECT_EQ(ShownNames().size(), 8u);
    EXPECT_EQ(table->EdSearch.Text(), L"");
}

TEST_F(ServicesTableWindow, ManyServicesChangedAsOneApplicationGuardedUndoneAsOne) {
    const auto before = MachineSnapshot(machine);
    ChooseFilter(table->CbState, L"Running");
    SelectAllWithKeys();
    EXPECT_EQ(table->SelectedNames().size(), 5u);
    size_t undoFiles = UndoFiles(folder.App()).size();
    machine.ClearCounts();
    Click(table->BtManual);
    // More than one service: the preview, listing exactly the filtered services that change; nothing changed yet.
    PreviewWindow* preview = app.windows.Find<PreviewWindow>();
    ASSERT_TRUE(preview && preview->IsOpen());
    EXPECT_TRUE(ControlCalls(machine).empty());
    std::vector<std::wstring> lines = preview->Lines();
    for (const wchar_t* name : {L"Audiosrv", L"Base", L"Client", L"DiagTrack"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), std::wstring(name) + L" : mode de démarrage Auto \u2192 Manual"), lines.end())
            << name;
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [](const std::wstring& l) { return l.find(L"RpcSs") != std::wstring::npos && l.find(L"Windows en a besoin") != std::wstring::npos; }),
              lines.end()) << "the refused service and why";
    for (const std::wstring& line : lines) {
        bool filtered = false;
        for (const wchar_t* name : {L"RpcSs", L"Audiosrv", L"Base", L"Client", L"DiagTrack"})
            filtered = filtered || line.rfind(std::wstring(name) + L" : ", 0) == 0 || line.find(L" : " + std::wstring(name)) != std::wstring::npos;
        EXPECT_TRUE(filtered) << "a line of a service not shown: " << line.size();
        for (const wchar_t* other : {L"Spooler", L"Fax", L"wuauserv"}) EXPECT_EQ(line.find(other), std::wstring::npos) << line.size();
    }
    // Applied: Audiosrv, marked 0, asked first; one undo file; the rows show what the application left.
    dialogs.answers = {IDYES};
    preview->OnAppliquer();
    EXPECT_EQ(UndoFiles(folder.App()).size(), undoFiles + 1);
    EXPECT_EQ(machine.Get(L"DiagTrack")->StartMode, L"Manual");
    EXPECT_EQ(machine.Get(L"RpcSs")->StartMode, L"Auto");
    table->ReadAllNow();
    EXPECT_EQ(CellText(Row(L"Base"), TableColumn::StartMode), L"Manual");
    EXPECT_EQ(table->SelectedNames().size(), 5u) << "the refused row stays selected";

    // A start that would start a forbidden prerequisite is refused, and said why.
    ChooseFilter(table->CbState, L"tous");
    table->Select({L"Fax"});
    dialogs.shown.clear();
    Click(table->BtStart);
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Stopped");
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_NE(dialogs.shown.back().text.find(L"Fax : non démarré, car il faudrait démarrer Spooler"), std::wstring::npos)
        << dialogs.shown.back().text.size();

    // One undo brings every service of the table's application back.
    dialogs.answers = {IDYES, IDYES};
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_ANNULERAPPLI, 0), 0);
    EXPECT_EQ(MachineSnapshot(machine), before);

    // The delay, which no configuration holds: set after the start mode, and shown first in the preview.
    table->Select({L"Base", L"Client"});
    Click(table->BtAutoDelayed);
    ASSERT_TRUE(preview->IsOpen());
    lines = preview->Lines();
    EXPECT_NE(std::find_if(lines.begin(), lines.end(), [](const std::wstring& l) { return l.rfind(L"Client : début différé, ", 0) == 0; }),
              lines.end());
    preview->OnAppliquer();
    EXPECT_EQ(machine.Get(L"Base")->DelayedAutoStart, true);
    EXPECT_EQ(machine.Get(L"Client")->DelayedAutoStart, true);
    table->Select({L"Client"});
    Click(table->BtAuto);  // one service: applied at once; "Automatique" starts without delay
    EXPECT_EQ(machine.Get(L"Client")->DelayedAutoStart, false);
    EXPECT_EQ(machine.Get(L"Base")->DelayedAutoStart, true);
}

TEST_F(ServicesTableWindow, ASelectionSavedIsWhatASaveWritesOfThoseServicesAndARowLeadsToTheMainWindow) {
    table->Select({L"Fax", L"Client", L"wuauserv"});
    dialogs.inputs = {L"choix"};
    Click(table->BtSave);
    dialogs.inputs = {L"machine"};
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_SAUVECONF, 0), 0);
    std::string whole = ReadFileBytes(folder.App() + L"Config\\machine.cfg"), expected;
    for (size_t start = 0, end; start < whole.size(); start = end) {
        end = whole.find("\r\n", start) + 2;
        std::string line = whole.substr(start, end - start);
        for (const char* name : {"\"Fax\",", "\"Client\",", "\"wuauserv\","})
            if (line.rfind(name, 0) == 0) expected += line;
    }
    EXPECT_EQ(ReadFileBytes(folder.App() + L"Config\\choix.cfg"), expected);
    EXPECT_EQ(fen->CbListeConf.FindExact(L"choix.cfg") >= 0, true);

    // Enter on a row: the main window selects it, even where its selective display hid it.
    fen->ChargeServicesTri(L"Running", L"0", L"1");
    ASSERT_LT(fen->CbNomSys.FindExact(L"Fax"), 0);
    table->Select({L"Fax"});
    SetFocus(table->List());
    DialogKey(table->Handle(), table->List(), VK_RETURN);
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"Fax");
    EXPECT_EQ(fen->TbEtat.Text(), L"Stopped");
}

TEST_F(ServicesTableWindow, InCreationModeTheChoicesOfSeveralServicesAreAddedToTheConfiguration) {
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_CREERCONF, 0), 0);
    fen->CbListeConf.SetText(L"nouvelle");
    EXPECT_TRUE(table->BtAdd.Enabled());
    table->Select({L"Base", L"Client"});
    machine.ClearCounts();
    Click(table->BtStop);
    Click(table->BtDisabled);
    EXPECT_TRUE(ControlCalls(machine).empty()) << "nothing changes in creation mode";
    table->Select({L"Base", L"Client", L"Fax"});
    Click(table->BtAdd);
    ASSERT_EQ(dialogs.shown.size(), 1u) << "Fax has no choice yet";
    EXPECT_NE(dialogs.shown[0].text.find(L"Fax"), std::wstring::npos);
    table->Select({L"Base", L"Client"});
    Click(table->BtAdd);
    EXPECT_EQ(ReadFileBytes(folder.App() + L"Config\\nouvelle.cfg"),
              "\"Base\",\"Stopped\",\"Disabled\",\"Base\"\r\n\"Client\",\"Stopped\",\"Disabled\",\"Client\"\r\n");
}

}  // namespace
}  // namespace kestrane::test
