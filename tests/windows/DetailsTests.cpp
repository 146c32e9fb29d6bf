// The details window: every property with its explanation, a snapshot of the service it opened for.
#include "TestSupport.h"

#include "windows/resource.h"
#include "base/TextFile.h"
#include "windows/details/Fen5.h"

#include <commctrl.h>

namespace kestrane::test {
namespace {

class Details : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        AddDemoServices(machine);
        Open();
    }
    Fen5* OpenDetails() {
        SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_DETAILSERV, 0), 0);
        return app.windows.Find<Fen5>();
    }
};

TEST_F(Details, EveryPropertyWithItsExplanationAndItsValueInFull) {
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Spooler"));
    Fen5* details = OpenDetails();
    ASSERT_NE(details, nullptr);
    ASSERT_TRUE(details->IsOpen());
    EXPECT_EQ(WindowText(details->Handle()), L"Informations détaillées");
    const auto& rows = details->Rows();
    ASSERT_EQ(rows.size(), 25u);
    EXPECT_EQ(rows[0].name.Text(), L"Name");
    EXPECT_EQ(rows[0].name.ShownToolTip(), L"Identifie de façon unique le service");
    EXPECT_EQ(rows[0].value.Text(), L"Spooler");
    EXPECT_EQ(rows[1].value.Text(), L"Spouleur d'impression");
    EXPECT_EQ(rows[3].value.Text(), L"C:\\Windows\\System32\\spoolsv.exe");
    EXPECT_EQ(Shown(rows[4].name.Text()), L"Description ");
    EXPECT_EQ(details->RichTextBox1.PlainText(), L"Gère l'impression.");
    EXPECT_EQ(rows[8].value.Text(), L"Running");
    EXPECT_EQ(rows[10].value.Text(), L"Auto");
    EXPECT_EQ(rows[15].value.Text(), L"Win32_ComputerSystem");
    EXPECT_EQ(rows[17].value.Text(), L"");  // InstallDate is null
    EXPECT_EQ(rows[24].name.Text(), L"ServiceSpecificExitCode");
    EXPECT_EQ(rows[24].name.ShownToolTip(),
              L"Code d'erreur spécifique au service pour les erreurs qui se produisent lorsque le service démarre ou "
              L"s'arrête");
    // Each value is also its own tool tip, so that a long one can be read whole.
    for (size_t i = 0; i < rows.size(); ++i)
        if (i != 4) EXPECT_EQ(rows[i].value.ShownToolTip(), rows[i].value.Text()) << i;
    EXPECT_EQ(Shown(WindowText(details->ReyCommand1.Handle())), L"Quitter");
    // Escape quits, as "Quitter" does.
    DialogKey(details->Handle(), details->ReyCommand1.Handle(), VK_ESCAPE);
    EXPECT_FALSE(details->IsOpen());
}

TEST_F(Details, APerUserServiceSaysWhatItIs) {
    AddPerUserServices(machine);
    machine.Get(L"CDPUserSvc_9f21c")->DelayedAutoStart = true;
    fen.reset();
    Open();
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"CDPUserSvc_9f21c"));
    Fen5* details = OpenDetails();
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->Rows()[5].value.Text(), L"Own Process \u2014 Service par utilisateur (modèle : CDPUserSvc)");
    EXPECT_EQ(details->Rows()[10].value.Text(), L"Automatique (début différé)");
    details->OnQuitter();
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"CDPUserSvc"));
    details = OpenDetails();
    EXPECT_EQ(details->Rows()[5].value.Text(), L"Own Process \u2014 Modèle de services par utilisateur");
}

TEST_F(Details, AnAmpersandOfTheMachineIsShownAsItIs) {
    machine.Add({L"Sauve", L"Sauvegarde & restauration", L"Running", L"Auto", std::nullopt});
    fen.reset();
    Open();
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Sauve"));
    Fen5* details = OpenDetails();
    ASSERT_NE(details, nullptr);
    const auto& rows = details->Rows();
    EXPECT_EQ(rows[1].value.Text(), L"Sauvegarde & restauration");
    // Static controls and tool tips that show data take no "&" for a mnemonic.
    EXPECT_TRUE(GetWindowLongW(rows[1].value.Handle(), GWL_STYLE) & SS_NOPREFIX);
    EXPECT_TRUE(GetWindowLongW(fen->LabEtat.Handle(), GWL_STYLE) & SS_NOPREFIX);
    int toolTips = 0;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM count) -> BOOL {
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0) {
            ++*reinterpret_cast<int*>(count);
            EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & TTS_NOPREFIX);
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&toolTips));
    EXPECT_GE(toolTips, 2);
}

TEST_F(Details, ASnapshotUntilItIsClosedAndOpenedAgain) {
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Spooler"));
    Fen5* details = OpenDetails();
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Fax"));
    machine.Get(L"Spooler")->State = L"Stopped";
    EXPECT_EQ(OpenDetails(), details);  // brought forward, not refreshed
    EXPECT_EQ(details->Rows()[0].value.Text(), L"Spooler");
    EXPECT_EQ(details->Rows()[8].value.Text(), L"Running");

    SendMessageW(details->Handle(), WM_COMMAND, MAKEWPARAM(5001, BN_CLICKED),
                 reinterpret_cast<LPARAM>(details->ReyCommand1.Handle()));
    EXPECT_FALSE(details->IsOpen());
    OpenDetails();
    EXPECT_EQ(details->Rows()[0].value.Text(), L"Fax");
    // Fax has no description: the box is empty, every other value is shown.
    EXPECT_EQ(details->RichTextBox1.PlainText(), L"");
    EXPECT_EQ(details->Rows()[1].value.Text(), L"Télécopie");
    // An unknown service: only its name.
    SendMessageW(details->Handle(), WM_CLOSE, 0, 0);
    fen->CbNomSys.SelectQuietly(-1);
    OpenDetails();
    EXPECT_EQ(details->Rows()[0].value.Text(), L"");
    EXPECT_EQ(details->Rows()[1].value.Text(), L"");
    EXPECT_TRUE(details->IsOpen());
    // The main window's shutdown closes it.
    fen.reset();
    EXPECT_EQ(app.windows.Find<Fen5>(), nullptr);
}

}  // namespace
}  // namespace kestrane::test

namespace kestrane::test {
namespace {

class Skins : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        AddDemoServices(machine);
        CreateDirectoryW((folder.App() + L"Image\\skins").c_str(), nullptr);
        for (const wchar_t* skin : {L"orig", L"rouge", L"bleu vert"}) {
            CreateDirectoryW((folder.App() + L"Image\\skins\\" + skin).c_str(), nullptr);
            for (const wchar_t* picture : {L"\\Start.jpg", L"\\Create.jpg"})
                folder.CopyFromData(L"Image\\skins\\" + std::wstring(skin) + picture);
        }
        folder.CopyFromData(L"Image\\Start.Jpg");
        folder.CopyFromData(L"Image\\Create.Jpg");
        Open();
    }
    std::string Bytes(const std::wstring& relative) { return ReadFileBytes(folder.App() + relative); }
    void Skin(int item) { SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_SKIN_FIRST + item, 0), 0); }
};

TEST_F(Skins, ASkinIsCopiedOverThePicturesAndShownAtOnce) {
    EXPECT_EQ(fen->BackgroundPath(), folder.App() + L"Image\\Start.Jpg");
    fen->OnMnuCreerConf();
    Skin(6);  // Rouge, in creation mode: its creation picture at once
    EXPECT_EQ(Bytes(L"Image\\Create.Jpg"), Bytes(L"Image\\skins\\rouge\\Create.jpg"));
    EXPECT_EQ(Bytes(L"Image\\Start.Jpg"), Bytes(L"Image\\skins\\rouge\\Start.jpg"));
    EXPECT_EQ(fen->BackgroundPath(), folder.App() + L"Image\\Create.Jpg");
    fen->OnMnuCreerConf();
    EXPECT_EQ(fen->BackgroundPath(), folder.App() + L"Image\\Start.Jpg");

    Skin(9);  // "Bleu Vert": the folder's name has its blank
    EXPECT_EQ(Bytes(L"Image\\Start.Jpg"), Bytes(L"Image\\skins\\bleu vert\\Start.jpg"));
    Skin(0);  // Aucun
    EXPECT_FALSE(folder.Exists(L"Image\\Start.Jpg"));
    EXPECT_FALSE(folder.Exists(L"Image\\Create.Jpg"));
    EXPECT_EQ(fen->BackgroundPath(), L"");
    Skin(3);  // Gris: no such folder here, nothing on disk changes
    EXPECT_FALSE(folder.Exists(L"Image\\Start.Jpg"));
    Skin(1);  // Defaut: the pictures of "orig" are back and shown
    EXPECT_EQ(Bytes(L"Image\\Start.Jpg"), Bytes(L"Image\\skins\\orig\\Start.jpg"));
    EXPECT_EQ(fen->BackgroundPath(), folder.App() + L"Image\\Start.Jpg");
    // The next start shows the skin chosen last.
    fen.reset();
    Open();
    EXPECT_EQ(fen->BackgroundPath(), folder.App() + L"Image\\Start.Jpg");
    EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
}  // namespace kestrane::test
