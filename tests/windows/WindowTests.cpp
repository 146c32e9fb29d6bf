// The main window driven through its own messages, as the system delivers them: commands by their
// menu ids and button notifications, right clicks, the keyboard through the dialog manager, list
// drop-downs, a change of DPI, and what the window shows when a handler fails.
#include "TestSupport.h"

#include "windows/resource.h"
#include "base/CodePage.h"
#include "profile/ConfigFormat.h"
#include "base/TextFile.h"
#include "service/Programme.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace kestrane::test {
namespace {

using Op = SimulatedServiceManager::Op;

class WindowMessages : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        AddDemoServices(machine);
    }
    void OpenSelecting(const wchar_t* name) {
        Open();
        ASSERT_TRUE(fen->CbNomSys.SelectText(name));
        machine.ClearCounts();
        dialogs.shown.clear();
    }
    void Command(UINT id) { SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // Delivers a key to a control as the program's message loop does: the dialog manager first.
    void Key(HWND control, WPARAM key, bool shift = false) {
        for (UINT message : {WM_KEYDOWN, WM_CHAR, WM_KEYUP}) {
            if (message == WM_CHAR && key != VK_ESCAPE && key != VK_TAB) continue;
            BYTE state[256] = {};
            GetKeyboardState(state);
            state[VK_SHIFT] = shift ? 0x80 : 0;
            SetKeyboardState(state);
            MSG msg{control, message, message == WM_CHAR ? (key == VK_TAB ? 9u : 27u) : key, 1, 0, {}};
            if (!IsDialogMessageW(fen->Handle(), &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            PumpMessages();
        }
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    }
};

// ---- Every command through its own id ----

struct CommandCase {
    const char* what;
    UINT id;
    bool button;                      // sent as a button notification of the control with that id
    const wchar_t* selected;          // the service selected first
    std::vector<std::wstring> calls;  // the method calls it makes
};

class CommandIds : public WindowMessages, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandIds, EachCommandIdReachesItsHandler) {
    const CommandCase& c = GetParam();
    OpenSelecting(c.selected);
    dialogs.answers = {IDYES};  // the deletion's confirmation
    if (c.button) {
        HWND control = GetDlgItem(fen->Handle(), static_cast<int>(c.id));
        ASSERT_NE(control, nullptr);
        SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(c.id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    } else {
        Command(c.id);
    }
    EXPECT_EQ(machine.MethodLog(), c.calls) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Orders, CommandIds,
    ::testing::Values(CommandCase{"Demarrer", IDM_START, false, L"Fax", {L"start:Fax"}},
                      CommandCase{"Arrêter", IDM_STOP, false, L"Audiosrv", {L"stop:Audiosrv"}},
                      CommandCase{"Mettre en pause", IDM_PAUSE, false, L"Audiosrv", {L"pause:Audiosrv"}},
                      CommandCase{"Sortir de pause", IDM_NOPAUSE, false, L"Audiosrv", {L"resume:Audiosrv"}},
                      CommandCase{"Automatique", IDM_AUTO, false, L"Fax", {L"undelayed:Fax", L"mode Automatic:Fax"}},
                      CommandCase{"AutomatiqueDiffere", IDM_AUTODIFF, false, L"Fax", {L"delayed:Fax", L"mode Automatic:Fax"}},
                      CommandCase{"Manuel", IDM_MANUEL, false, L"Fax", {L"mode Manual:Fax"}},
                      CommandCase{"Desactivation", IDM_DESACTIVE, false, L"Fax", {L"mode Disabled:Fax"}},
                      CommandCase{"Supprimer", IDM_SUPSERV, false, L"Fax", {L"stop:Fax", L"delete:Fax"}},
                      CommandCase{"BtStartServ", IDC_BTSTARTSERV, true, L"Fax", {L"start:Fax"}},
                      CommandCase{"BtStopServ", IDC_BTSTOPSERV, true, L"Audiosrv", {L"stop:Audiosrv"}},
                      CommandCase{"BtConfServAuto", IDC_BTCONFSERVAUTO, true, L"Fax", {L"undelayed:Fax", L"mode Automatic:Fax"}},
                      CommandCase{"BtConfServMAnu", IDC_BTCONFSERVMANU, true, L"Fax", {L"mode Manual:Fax"}},
                      CommandCase{"BtConfServStop", IDC_BTCONFSERVSTOP, true, L"Fax", {L"mode Disabled:Fax"}}));

TEST_F(WindowMessages, ListAndViewCommandsThroughTheirIds) {
    OpenSelecting(L"Spooler");
    Command(IDM_REFRESHSERV);
    EXPECT_EQ(machine.CallLog(), std::vector<std::wstring>{L"find:Spooler"});
    machine.ClearCounts();
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDC_BTREFRESHSERV, BN_CLICKED),
                 reinterpret_cast<LPARAM>(fen->BtRefreshServ.Handle()));
    EXPECT_EQ(machine.CallLog(), std::vector<std::wstring>{L"find:Spooler"});
    machine.ClearCounts();
    Command(IDM_REFRESH);
    EXPECT_EQ(machine.Calls(Op::Inventory), 1);

    std::wstring shown = fen->CbNomVueTrier.SelectedText();
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDC_BTDEFILEBAS, BN_CLICKED),
                 reinterpret_cast<LPARAM>(fen->BtDefileBas.Handle()));
    EXPECT_NE(fen->CbNomVueTrier.SelectedText(), shown);
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDC_BTDEFILEHAUT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(fen->BtDefileHaut.Handle()));
    EXPECT_EQ(fen->CbNomVueTrier.SelectedText(), shown);

    Command(IDM_OPAUTO);
    EXPECT_TRUE(fen->MenuChecked(IDM_OPAUTO));
    folder.Write(L"ServTxt\\help\\help.txt", "Aide de Kestrane");
    Command(IDM_HELP);
    EXPECT_EQ(fen->RichTextBox1.PlainText(), L"Aide de Kestrane");
    Command(IDM_QUI);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text.rfind(L"version 1.2.6 \n", 0), 0u);

    // A list selection by the user arrives as CBN_SELCHANGE.
    fen->CbNomSys.SelectQuietly(fen->CbNomSys.FindExact(L"wuauserv"));
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDC_CBNOMSYS, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(fen->CbNomSys.Handle()));
    EXPECT_EQ(fen->TbDemarre.Text(), L"Disabled");
    EXPECT_EQ(fen->CbNomVueTrier.SelectedText(), L"Windows Update");

    Command(IDM_QUITTER);
    PumpMessages();
    EXPECT_FALSE(fen->IsOpen());
}

TEST_F(WindowMessages, TheStatusTooltipControlHoldsTheLastControlOrder) {
    OpenSelecting(L"Audiosrv");
    Command(IDM_PAUSE);
    EXPECT_EQ(fen->LabEtat.ShownToolTip(), L"la requête a été acceptée");
    Command(IDM_PAUSE);
    EXPECT_EQ(fen->LabEtat.ShownToolTip(), L"Le service est pour l'instant suspendu dans le système");
    Command(IDM_MANUEL);  // a start-mode change leaves the tooltip alone
    EXPECT_EQ(fen->LabEtat.ShownToolTip(), L"Le service est pour l'instant suspendu dans le système");
}

TEST_F(WindowMessages, MenusCarryTheirUnderlinedLettersAndTheirCaptionsUnchanged) {
    Open();
    EXPECT_EQ(fen->menus.Caption(L"MnuInformation"), L" ?");
    EXPECT_EQ(fen->menus.Caption(L"MnuSauveConf"), L"Sauvegarder  la configuration actuelle");
    EXPECT_EQ(fen->menus.Caption(L"MnuCAR"), L"Auto & Running");
    EXPECT_EQ(fen->menus.Caption(L"MnuOptions"), L"Outils");
    // Every caption has its underlined letter...
    for (const std::wstring& name : fen->menus.Names()) {
        std::wstring raw = fen->menus.RawCaption(name);
        if (raw.empty()) continue;  // a separator
        bool marked = false;
        for (size_t i = 0; i + 1 < raw.size() && !marked; ++i) {
            if (raw[i] == L'&' && raw[i + 1] == L'&') ++i;
            else if (raw[i] == L'&') marked = true;
        }
        EXPECT_TRUE(marked) << "no underlined letter in a caption of " << std::string(name.begin(), name.end());
    }
    // ...and no two captions of one menu share it (read back from the menus themselves).
    std::vector<HMENU> menus = {GetMenu(fen->Handle())};
    for (const std::wstring& name : fen->menus.Names())
        if (fen->menus.Sub(name)) menus.push_back(fen->menus.Sub(name));
    for (HMENU menu : menus) {
        std::vector<wchar_t> seen;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[256] = {};
            if (GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION) <= 0) continue;
            std::wstring caption = text;
            for (size_t k = 0; k + 1 < caption.size(); ++k) {
                if (caption[k] != L'&') continue;
                if (caption[k + 1] == L'&') {
                    ++k;
                    continue;
                }
                wchar_t letter = static_cast<wchar_t>(towlower(caption[k + 1]));
                EXPECT_EQ(std::count(seen.begin(), seen.end(), letter), 0) << "two captions of one menu share a letter";
                seen.push_back(letter);
                break;
            }
        }
    }
}

// ---- Right clicks ----

TEST_F(WindowMessages, TheRightButtonOpensTheMenuOfWhereItWasPressed) {
    Open();
    std::vector<HMENU> opened;
    fen->showPopup = [&](HMENU menu, POINT) { opened.push_back(menu); };
    auto pressAt = [&](const RECT& r) {
        SendMessageW(fen->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(r.left + 3, r.top + 3));
    };
    pressAt(fen->Label3.Area());
    pressAt(fen->Label4.Area());
    pressAt(fen->LabListeConf.Area());
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0], fen->MnuAffiTri);
    EXPECT_EQ(opened[1], fen->MnuAffiTri);
    EXPECT_EQ(opened[2], fen->MnuConfService);
    // The filters are there, enabled.
    EXPECT_TRUE(fen->menus.Enabled(L"MnuER"));
    // Any other caption opens nothing.
    opened.clear();
    for (const Caption* caption : fen->Captions())
        if (caption != &fen->Label3 && caption != &fen->Label4 && caption != &fen->LabListeConf) pressAt(caption->Area());
    EXPECT_TRUE(opened.empty());
    // The background and both rich text boxes open "Action"; a left click nothing.
    SendMessageW(fen->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fen->Scale(460), fen->Scale(655)));
    EXPECT_TRUE(opened.empty());
    SendMessageW(fen->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(fen->Scale(460), fen->Scale(655)));
    for (RichText* box : {&fen->RichTextBox1, &fen->RichTextBox2})
        SendMessageW(box->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    ASSERT_EQ(opened.size(), 3u);
    for (HMENU menu : opened) EXPECT_EQ(menu, fen->MnuServ);
}

// ---- Keyboard ----

TEST_F(WindowMessages, EscapeNeverClosesTheWindowAndTabLeavesTheRichTextBoxes) {
    fen = std::make_unique<Fen1>(app);
    ASSERT_TRUE(fen->Create(true));
    for (RichText* box : {&fen->RichTextBox1, &fen->RichTextBox2}) {
        SetFocus(box->Handle());
        Key(box->Handle(), VK_ESCAPE);
        ASSERT_TRUE(fen->IsOpen()) << "Escape in a description box closed the program";
    }
    Key(fen->CbNomVueTrier.Handle(), VK_ESCAPE);
    EXPECT_TRUE(fen->IsOpen());

    SetFocus(fen->RichTextBox1.Handle());
    Key(fen->RichTextBox1.Handle(), VK_TAB);
    EXPECT_EQ(GetFocus(), fen->RichTextBox2.Handle());
    Key(fen->RichTextBox2.Handle(), VK_TAB);
    EXPECT_NE(GetFocus(), fen->RichTextBox2.Handle());
    EXPECT_EQ(GetFocus(), fen->CbNomVueTrier.Handle()) << "Tab goes round to the first control";
    Key(fen->CbNomVueTrier.Handle(), VK_TAB, true);
    EXPECT_EQ(GetFocus(), fen->RichTextBox2.Handle()) << "Shift+Tab goes back";
    // Every list, field, box and button can be reached, in reading order.
    std::vector<HWND> order;
    SetFocus(fen->CbNomVueTrier.Handle());
    for (int i = 0; i < 40; ++i) {
        HWND focus = GetFocus();
        // An editable list has the focus in its own edit field.
        HWND control = GetParent(focus) == fen->Handle() ? focus : GetParent(focus);
        if (!order.empty() && control == order.front()) break;
        order.push_back(control);
        Key(focus, VK_TAB);
    }
    for (const Control* control : std::initializer_list<const Control*>{
             &fen->CbNomSys, &fen->BtDefileHaut, &fen->BtDefileBas, &fen->BtRefreshServ, &fen->Combo1, &fen->Combo2,
             &fen->TbChem, &fen->TbDemarre, &fen->TbEtat, &fen->TbType, &fen->TbNomCompte, &fen->BtStartServ,
             &fen->BtConfServStop, &fen->CbListeConf, &fen->Command1, &fen->RichTextBox1})
        EXPECT_NE(std::find(order.begin(), order.end(), control->Handle()), order.end())
            << "not reached by Tab: control " << GetDlgCtrlID(control->Handle()) << " of " << order.size();
    auto at = [&](const Control& c) { return std::find(order.begin(), order.end(), c.Handle()) - order.begin(); };
    EXPECT_LT(at(fen->CbNomSys), at(fen->Combo1));
    EXPECT_LT(at(fen->TbChem), at(fen->BtStartServ));
    EXPECT_LT(at(fen->Command1), at(fen->RichTextBox1));
}

TEST_F(WindowMessages, ADropDownClosedWithoutAChoiceShowsTheSelectedServiceAgain) {
    fen = std::make_unique<Fen1>(app);
    ASSERT_TRUE(fen->Create(true));
    ASSERT_TRUE(fen->CbNomVueTrier.SelectText(L"Télécopie"));
    machine.ClearCounts();
    HWND list = fen->CbNomVueTrier.Handle();
    SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
    // The mouse passes over another entry: the field shows it.
    SendMessageW(list, CB_SETCURSEL, fen->CbNomVueTrier.FindExact(L"Windows Update"), 0);
    SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDC_CBNOMVUETRIER, CBN_SELENDCANCEL), reinterpret_cast<LPARAM>(list));
    PumpMessages();
    EXPECT_EQ(fen->CbNomVueTrier.SelectedText(), L"Télécopie");
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"Fax");
    // What is shown is what a command acts on.
    Command(IDM_START);
    EXPECT_EQ(machine.MethodLog(), std::vector<std::wstring>{L"start:Fax"});
}

TEST_F(WindowMessages, DropDownListsOpenWideEnoughForTheirLongestEntry) {
    const std::wstring longName = L"Service de démonstration dont le nom d'affichage est bien plus long que la liste";
    machine.Add({L"Long", longName, L"Stopped"});
    Open();
    HDC dc = GetDC(fen->Handle());
    HGDIOBJ old = SelectObject(dc, fen->Font());
    SIZE size{};
    GetTextExtentPoint32W(dc, longName.c_str(), static_cast<int>(longName.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(fen->Handle(), dc);
    RECT field{};
    GetWindowRect(fen->CbNomVueTrier.Handle(), &field);
    ASSERT_GT(size.cx, field.right - field.left) << "the name must be longer than the field for this test";
    EXPECT_GE(SendMessageW(fen->CbNomVueTrier.Handle(), CB_GETDROPPEDWIDTH, 0, 0), size.cx);
}

// ---- Failures ----

TEST_F(WindowMessages, AFailureAHandlerLetsThroughIsShownAndTheProgramGoesOn) {
    Open();
    fen->showPopup = [](HMENU, POINT) { throw std::runtime_error("menu introuvable"); };
    SendMessageW(fen->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(fen->Scale(460), fen->Scale(655)));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, L"erreur inattendue : menu introuvable");
    EXPECT_EQ(dialogs.shown[0].title, L"Kestrane");
    EXPECT_EQ(dialogs.shown[0].style, 16);
    EXPECT_TRUE(fen->IsOpen());
    Command(IDM_REFRESHSERV);
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(WindowMessages, NoFailureOfAnOrderReadsAsSuccess) {
    OpenSelecting(L"Spooler");
    machine.FailFind(true, 0);  // failed, and said nothing of why
    fen->CommandeService(L"Spooler", L"okstop");
    EXPECT_EQ(fen->LabEtat.Text(), texts::kControlMessages[8]);
    fen->ModifDemarrage(L"Spooler", L"manu");
    EXPECT_EQ(fen->LabEtat.Text(), texts::kModifyFailed);
    machine.FailFind(true, 5, true);  // not a failure of the service database at all
    fen->CommandeService(L"Spooler", L"okstop");
    EXPECT_EQ(fen->LabEtat.Text(), texts::kControlMessages[8]);
    fen->ModifDemarrage(L"Spooler", L"auto");
    EXPECT_EQ(fen->LabEtat.Text(), texts::kModifyFailed);
    EXPECT_TRUE(machine.MethodLog().empty());
    EXPECT_EQ(ServiceError("x", 0).Code(), ReturnCode::UnknownFailure);
}

// ---- What a refresh costs ----

TEST_F(WindowMessages, StartUpRefreshesOnceAndNoPlainFillReadsStartModes) {
    Open();
    const auto& calls = machine.CallLog();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"inventory"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), L"inventory+modes"), 0);
    auto dependents = std::count_if(calls.begin(), calls.end(),
                                    [](const std::wstring& c) { return c.rfind(L"dependents:", 0) == 0; });
    EXPECT_EQ(dependents, 1);
    // A selection looks the service up once for its fields and its description.
    machine.ClearCounts();
    fen->CbNomSys.Select(0);
    EXPECT_EQ(machine.CallLog(), (std::vector<std::wstring>{L"dependents:Spooler", L"dependedon:Spooler", L"find:Spooler"}));
    // A fill that saves a configuration reads them.
    app.var.SauveConfig = true;
    app.var.NomConfig = L"profil.cfg";
    fen->ChargeServices();
    EXPECT_EQ(machine.CallLog()[3], L"inventory+modes");
    EXPECT_NE(ReadFileBytes(folder.App() + L"Config\\profil.cfg").find("\"Spooler\",\"Running\",\"Auto\""),
              std::string::npos);
}

TEST_F(WindowMessages, ClosingTheWindowFromItsOwnerEmptiesTheWorkingCopies) {
    Open();
    folder.Write(L"Tmp\\copie.cfg", "x");
    fen.reset();  // destroyed by its owner, not closed by the user
    EXPECT_FALSE(folder.Exists(L"Tmp\\copie.cfg"));
}

// ---- Texts ----

TEST_F(WindowMessages, PlainTextStaysPlainAndRichTextStaysRich) {
    machine.Get(L"Spooler")->Description = std::wstring(L"{\\rtf1 {\\b faux} document}");
    folder.Write(L"ServTxt\\serv\\Spooler.txt", "Texte {\\rtf1 {\\b pas} un document}");
    folder.Write(L"ServTxt\\serv\\RpcSs.txt", "\xEF\xBB\xBF \r\n{\\rtf1\\ansi {\\b Appel} distant}");
    folder.Write(L"ServTxt\\serv\\Fax.txt", "\xEF\xBB\xBF" "T\xC3\xA9l\xC3\xA9" "copie");
    folder.Write(L"ServTxt\\serv\\Audiosrv.txt", "Audio \xE9" "crit en Windows-1252");
    OpenSelecting(L"Spooler");
    EXPECT_EQ(fen->RichTextBox1.PlainText(), L"Texte {\\rtf1 {\\b pas} un document}");
    EXPECT_EQ(fen->RichTextBox2.PlainText(), L"{\\rtf1 {\\b faux} document}");
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"RpcSs"));
    EXPECT_EQ(fen->RichTextBox1.PlainText().find(L"rtf"), std::wstring::npos);
    EXPECT_NE(fen->RichTextBox1.PlainText().find(L"Appel distant"), std::wstring::npos);
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Fax"));
    EXPECT_EQ(fen->RichTextBox1.PlainText(), L"Télécopie");
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Audiosrv"));
    EXPECT_EQ(fen->RichTextBox1.PlainText(), L"Audio écrit en Windows-1252");
}

// ---- DPI ----

class Dpi : public WindowMessages, public ::testing::WithParamInterface<UINT> {};

TEST_P(Dpi, EveryTextIsWholeAndNothingOverlaps) {
    Open();
    UINT dpi = GetParam();
    RECT suggested{0, 0, MulDiv(900, static_cast<int>(dpi), 96), MulDiv(700, static_cast<int>(dpi), 96)};
    SendMessageW(fen->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    ASSERT_EQ(fen->Dpi(), dpi);
    HDC dc = GetDC(fen->Handle());
    HGDIOBJ old = SelectObject(dc, fen->Font());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    // The font grew with the DPI: about 8 or 9 points.
    EXPECT_GE(metrics.tmHeight, MulDiv(12, static_cast<int>(dpi), 96));
    auto width = [&](const std::wstring& text) {
        RECT r{0, 0, 0, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        return r.right - r.left;
    };
    for (const Caption* caption : fen->Captions()) {
        const RECT& room = caption->Area();
        EXPECT_LE(width(caption->Text()), room.right - room.left) << "caption cut: " << caption->Text().size();
        EXPECT_GE(room.bottom - room.top, metrics.tmHeight) << "caption too low";
    }
    // Buttons: the text and the button's own margins, with each caption a button takes.
    RECT command1{};
    GetClientRect(fen->Command1.Handle(), &command1);
    for (const wchar_t* caption : {texts::kCommand1Apply, texts::kCommand1Add})
        EXPECT_LE(width(caption) + 2 * GetSystemMetrics(SM_CXEDGE) + fen->Scale(8), command1.right) << "Command1 cut";
    std::vector<RECT> placed;
    for (HWND child = GetWindow(fen->Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child) && child != fen->CbNomVue.Handle()) continue;
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, fen->Handle(), reinterpret_cast<POINT*>(&r), 2);
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        if (std::wstring(className) == L"Button")
            EXPECT_LE(width(WindowText(child)) + 2 * GetSystemMetrics(SM_CXEDGE) + fen->Scale(8), r.right - r.left)
                << "button text cut";
        if (child == fen->CbNomVue.Handle() || !IsWindowVisible(child)) continue;  // hidden twin of CbNomSys
        placed.push_back(r);
    }
    for (const Caption* caption : fen->Captions()) placed.push_back(caption->Area());
    for (size_t i = 0; i < placed.size(); ++i)
        for (size_t j = i + 1; j < placed.size(); ++j) {
            RECT overlap;
            EXPECT_FALSE(IntersectRect(&overlap, &placed[i], &placed[j]))
                << "overlap of (" << placed[i].left << "," << placed[i].top << ") and (" << placed[j].left << ","
                << placed[j].top << ")";
        }
    SelectObject(dc, old);
    ReleaseDC(fen->Handle(), dc);
}

INSTANTIATE_TEST_SUITE_P(Scales, Dpi, ::testing::Values(96u, 120u, 144u));

}  // namespace
}  // namespace kestrane::test

namespace kestrane::test {
namespace {

// The real input box, answered by another thread as a user would type into it.
std::wstring AnswerInputBox(const wchar_t* title, const wchar_t* typed, bool ok) {
    std::thread user([&] {
        for (int i = 0; i < 200; ++i) {
            HWND box = FindWindowW(L"#32770", title);
            if (box) {
                SetDlgItemTextW(box, 101, typed);
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(ok ? IDOK : IDCANCEL, BN_CLICKED), 0);
                return;
            }
            Sleep(25);
        }
    });
    Win32Dialogs dialogs;
    std::wstring text = dialogs.InputBox(nullptr, L"Nom de la configuration ?", title, L"8-12-2026");
    user.join();
    return text;
}

TEST(InputBox, OkGivesTheTextTypedAndCancelTheEmptyText) {
    EXPECT_EQ(AnswerInputBox(L"Saisie de test", L"profil été", true), L"profil été");
    EXPECT_EQ(AnswerInputBox(L"Saisie annulée", L"ignoré", false), L"");
}

}  // namespace
}  // namespace kestrane::test
