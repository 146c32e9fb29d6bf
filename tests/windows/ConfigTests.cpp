// Configurations from the main window, on the simulated machine: saving, applying with the progress
// window, deleting, importing, exporting, selective display and creation mode.
#include "TestSupport.h"

#include "windows/resource.h"
#include "profile/Apply.h"
#include "profile/ConfigFiles.h"
#include "profile/ConfigFormat.h"
#include "commandline/Unattended.h"
#include "windows/progress/Fen2.h"
#include "windows/export/Fen3.h"
#include "windows/preview/PreviewWindow.h"
#include "base/TextFile.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace kestrane::test {
namespace {

using Op = SimulatedServiceManager::Op;

class Configurations : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        AddDemoServices(machine);
        Open();
        machine.ClearCounts();
    }
    void Command(UINT id) { SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    std::string File(const std::wstring& name) { return ReadFileBytes(folder.App() + L"Config\\" + name); }
    bool Has(const std::wstring& name) { return folder.Exists(L"Config\\" + name); }
    std::vector<std::wstring> ConfigFileNamesIn() const {
        std::vector<std::wstring> out;
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW((folder.App() + L"Config\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return out;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return out;
    }
    std::vector<std::wstring> Texts() const {
        std::vector<std::wstring> out;
        for (const auto& box : dialogs.shown) out.push_back(box.text);
        return out;
    }
};

// ---- Saving ----

TEST_F(Configurations, SaveWritesOneRecordPerServiceInInventoryOrderAlsoAfterAFilter) {
    Command(IDM_FILTER_FIRST + 0);  // "Running" only
    ASSERT_EQ(fen->CbNomSys.Count(), 3);
    dialogs.inputs = {L"profil"};
    Command(IDM_SAUVECONF);
    ASSERT_EQ(dialogs.prompts.size(), 1u);
    EXPECT_EQ(dialogs.prompts[0].text, L"Donner un nom a la configuration actuelle");
    EXPECT_EQ(dialogs.prompts[0].title, L"nom de configuration");
    EXPECT_EQ(File(L"profil.cfg"),
              "\"Spooler\",\"Running\",\"Auto\",\"Spouleur d'impression\"\r\n"
              "\"RpcSs\",\"Running\",\"Auto\",\"Appel de proc\xE9" "dure distante (RPC)\"\r\n"
              "\"Fax\",\"Stopped\",\"Manual\",\"T\xE9l\xE9" "copie\"\r\n"
              "\"wuauserv\",\"Stopped\",\"Disabled\",\"Windows Update\"\r\n"
              "\"Audiosrv\",\"Running\",\"Auto\",\"Audio Windows\"\r\n");
    EXPECT_EQ(fen->CbNomSys.Count(), 5);  // the save brought the full list back
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"sauvegarde terminée"});
    EXPECT_NE(fen->CbListeConf.FindExact(L"profil.cfg"), -1);

    // Saved again under the same name: one file, only the new inventory.
    machine.Get(L"Fax")->State = L"Running";
    dialogs.inputs = {L"profil"};
    Command(IDM_SAUVECONF);
    std::string again = File(L"profil.cfg");
    EXPECT_EQ(std::count(again.begin(), again.end(), '\n'), 5);
    EXPECT_NE(again.find("\"Fax\",\"Running\""), std::string::npos);
}

TEST_F(Configurations, SaveNamesCancelAndTheExtensionTyped) {
    dialogs.inputs = {L""};  // Cancel
    Command(IDM_SAUVECONF);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, L"Un nom est obligatoire pour enregistrer un configuration");
    EXPECT_EQ(dialogs.shown[0].style, 48);
    fen->OnMnuRefresh();
    EXPECT_TRUE(fen->CbListeConf.Count() == 0 && !Has(L".cfg"));
    EXPECT_TRUE(ConfigFileNamesIn().empty());

    dialogs.inputs = {L"profil.cfg"};
    Command(IDM_SAUVECONF);
    EXPECT_TRUE(Has(L"profil.cfg.cfg"));
}

TEST_F(Configurations, NamesThatWouldLeaveTheFolderAreRefusedAndNothingIsWritten) {
    for (const wchar_t* name : {L"a\\b", L"a/b", L"c:x", L"a*", L"a?", L"a\"b", L"a<b", L"a>b", L"a|b", L"tab\tname",
                                L".", L"..", L"fin ", L"fin.", L"CON", L"con", L"PRN", L"AUX", L"NUL", L"COM1", L"LPT9",
                                L"nul.txt", L"..\\..\\Windows\\win"}) {
        SCOPED_TRACE(std::string(name, name + wcslen(name)));
        dialogs.shown.clear();
        dialogs.inputs = {name};
        Command(IDM_SAUVECONF);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, std::wstring(L"nom de configuration invalide : ") + name);
        EXPECT_EQ(dialogs.shown[0].title, L"Attention");
        EXPECT_EQ(dialogs.shown[0].style, 48);
    }
    EXPECT_TRUE(ConfigFileNamesIn().empty());
    EXPECT_EQ(machine.Calls(Op::Inventory), 0);
    dialogs.shown.clear();
    std::wstring tooLong(300, L'n');
    dialogs.inputs = {tooLong};
    Command(IDM_SAUVECONF);
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"nom de configuration invalide : " + tooLong});
    EXPECT_TRUE(IsValidConfigName(L"profil d'été 2026"));
    EXPECT_TRUE(IsValidConfigName(L"COM10"));
    EXPECT_TRUE(IsValidConfigName(L"console"));
}

TEST_F(Configurations, ASaveFailingPartWayLeavesTheOldFileAsItWas) {
    const std::string old = "\"Spooler\",\"Stopped\",\"Manual\",\"Ancien\"\r\n";
    folder.Write(L"Config\\profil.cfg", old);
    FailingWriter failing;
    failing.failAfter = 0;
    app.files = &failing;
    dialogs.inputs = {L"profil"};
    Command(IDM_SAUVECONF);
    EXPECT_EQ(File(L"profil.cfg"), old);
    EXPECT_EQ(ConfigFileNamesIn(), std::vector<std::wstring>{L"profil.cfg"}) << "the partial file was left";
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text.rfind(L"la configuration n'a pas pu être enregistrée : ", 0), 0u);
    EXPECT_EQ(dialogs.shown[0].title, L"erreur fichier");
    EXPECT_EQ(dialogs.shown[0].style, 16);
    EXPECT_EQ(fen->CbNomSys.Count(), 5);  // the lists are whole all the same
    EXPECT_FALSE(fen->var.SauveConfig);
}

// ---- Applying ----

class Applying : public Configurations {};

TEST_F(Applying, ADiscouragedServiceChangedIsToldButIsNoError) {
    folder.Write(L"liste\\interdit.txt", "\"Fax\",0\r\n\"Spooler\",0\r\n");
    folder.Write(L"Config\\ok.cfg", "\"Fax\",\"Running\",\"Manual\",\"f\"\r\n\"Spooler\",\"Paused\",\"Boot\",\"s\"\r\n");
    fen->CbListeConf.SetText(L"ok.cfg");
    // The window asks before it changes Fax, as it does for a single service; declined, Fax stays.
    dialogs.answers = {IDNO};
    Command(IDM_CHARGECONF);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].text, std::wstring(texts::kGuardDiscouraged) + texts::kGuardServiceLine + L"Fax");
    EXPECT_EQ(dialogs.shown[0].style, 68);
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Stopped");
    EXPECT_NE(dialogs.shown[1].text.find(L"service interdit, non modifié : Fax"), std::wstring::npos);
    dialogs.shown.clear();
    dialogs.answers = {IDYES};
    Command(IDM_CHARGECONF);
    // Spooler's record asks nothing that can be done: it is not said to have been changed, but its paused
    // state, which no application sets, is told. Nor is it counted as not in the wanted state.
    EXPECT_EQ(Texts(), (std::vector<std::wstring>{std::wstring(texts::kGuardDiscouraged) + texts::kGuardServiceLine + L"Fax",
                                                  L"opération éffectuée\nservice déconseillé, modifié : Fax\n"
                                                  L"Spooler : état Paused non appliqué\n"
                                                  L"services pas (encore) dans l'état voulu : 0"}));
    EXPECT_EQ(dialogs.shown[1].style, 64);
    EXPECT_EQ(dialogs.shown[1].title, L"information");
}

TEST_F(Applying, FromTheWindowTheClosingMessageTellsWhatHappened) {
    folder.Write(L"Config\\ok.cfg", "\"Fax\",\"Running\",\"Manual\",\"f\"\r\n");
    fen->CbListeConf.SetText(L"ok.cfg");
    Command(IDM_CHARGECONF);
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"opération éffectuée\nservices pas (encore) dans l'état voulu : 0"});
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Running");
    Fen2* progress = app.windows.Find<Fen2>();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(IsWindowVisible(progress->Handle())) << "the progress window stays open";
    EXPECT_EQ(progress->Maximum(), 9);
    EXPECT_TRUE(IsWindowEnabled(fen->Handle()));

    dialogs.shown.clear();
    machine.ForceCode(Op::Stop, L"Spooler", ReturnCode::DependentServicesRunning);
    folder.Write(L"Config\\ko.cfg", "\"Spooler\",\"Stopped\",\"Auto\",\"s\"\r\n");
    fen->CbListeConf.SetText(L"ko.cfg");
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDC_COMMAND1, BN_CLICKED),
                 reinterpret_cast<LPARAM>(fen->Command1.Handle()));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text,
              L"opération éffectuée avec des erreurs\nSpooler : Le service ne peut pas être arrêté car d'autres "
              L"services qui sont en cours d'exécution en dépendent\nservices pas (encore) dans l'état voulu : 1");

    // A missing file and an empty one: their own box only, never "opération éffectuée".
    for (auto [name, text] : {std::pair<const wchar_t*, const wchar_t*>{L"ok", L"le fichier de configuration demandé est introuvable!"},
                              {L"vide.cfg", L"le fichier de conf est vide!"}}) {
        if (std::wstring(name) == L"vide.cfg") folder.Write(L"Config\\vide.cfg", "\r\n");
        dialogs.shown.clear();
        fen->CbListeConf.SetText(name);
        Command(IDM_CHARGECONF);
        EXPECT_EQ(Texts(), std::vector<std::wstring>{text});
        EXPECT_EQ(dialogs.shown[0].style, 16);
    }
}

TEST_F(Applying, WithoutTheForbiddenListNothingIsApplied) {
    folder.Remove(L"liste\\interdit.txt");
    folder.Write(L"Config\\ok.cfg", "\"Fax\",\"Running\",\"Manual\",\"f\"\r\n");
    fen->CbListeConf.SetText(L"ok.cfg");
    Command(IDM_CHARGECONF);
    EXPECT_EQ(Texts(), std::vector<std::wstring>{texts::kGuardMissing});
    EXPECT_TRUE(machine.MethodLog().empty());
    EXPECT_EQ(app.windows.Find<Fen2>(), nullptr);
}

// Two applications at once, the window's and another (the command line, another session): the window says
// so and waits, painting, until the other has ended, or gives up; the undo then restores the machine.
TEST_F(Applying, ASecondApplicationWaitsForTheFirstAndTheUndoRestores) {
    folder.Write(L"Config\\ok.cfg", "\"Fax\",\"Running\",\"Manual\",\"f\"\r\n");
    std::map<std::wstring, ServiceState> before = MachineSnapshot(machine);
    OtherApplication other;
    fen->CbListeConf.SetText(L"ok.cfg");
    dialogs.answers = {IDNO};  // not waiting: nothing is done
    Command(IDM_CHARGECONF);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, texts::kLockWaiting);
    EXPECT_TRUE(machine.MethodLog().empty());
    dialogs.shown.clear();
    dialogs.answers = {IDYES};  // waiting: the other ends a moment later
    other.EndAfter(300);
    Command(IDM_CHARGECONF);
    ASSERT_GE(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].text, texts::kLockWaiting);
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Running");
    Variables var;
    var.CheminAppli = folder.App();
    EXPECT_EQ(RunUnattended(var, machine, {L"/annuler"}, [](const std::wstring&) {}), 0);
    EXPECT_EQ(MachineSnapshot(machine), before);
}

TEST_F(Applying, AFailureOfTheServiceInterfaceEndsTheApplicationInOrder) {
    folder.Write(L"Config\\ok.cfg", "\"Fax\",\"Running\",\"Manual\",\"f\"\r\n");
    machine.FailDependencies(true);
    fen->CbListeConf.SetText(L"ok.cfg");
    // What the application would change cannot be worked out: no undo file can be written, and the user
    // is asked before anything changes.
    dialogs.answers = {IDNO};
    Command(IDM_CHARGECONF);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text.rfind(L"ce que l'application va changer n'a pas pu être lu", 0), 0u);
    EXPECT_EQ(app.windows.Find<Fen2>(), nullptr);
    dialogs.shown.clear();
    dialogs.answers = {IDYES};
    Command(IDM_CHARGECONF);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].text.rfind(L"l'application de la configuration a été interrompue : ", 0), 0u);
    ASSERT_NE(app.windows.Find<Fen2>(), nullptr);
    EXPECT_FALSE(IsWindowVisible(app.windows.Find<Fen2>()->Handle()));
    EXPECT_TRUE(IsWindowEnabled(fen->Handle()));
    EXPECT_TRUE(machine.MethodLog().empty());
}

TEST_F(Applying, TheWindowKeepsAnsweringWhileItWaitsForAServiceStillStarting) {
    folder.Write(L"Config\\ok.cfg", "\"Fax\",\"Running\",\"Manual\",\"f\"\r\n");
    machine.Get(L"Fax")->HangsWhileStarting = true;
    fen->CbListeConf.SetText(L"ok.cfg");
    // While the closing count gives Fax time to start, another thread sends the window a message.
    LRESULT answered = 0;
    HWND window = fen->Handle();
    std::thread other([&] {
        Sleep(1500);
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result);
    });
    Command(IDM_CHARGECONF);
    other.join();
    EXPECT_NE(answered, 0) << "the window did not answer while it waited";
    EXPECT_NE(Texts().back().find(L"services pas (encore) dans l'état voulu : 1"), std::wstring::npos);
}

TEST_F(Applying, ALongReportGetsAWindowOfItsOwnThatCopiesWhole) {
    // 300 records, most of them naming services this machine lacks: far too many lines for a box.
    std::string file = "\"Fax\",\"Running\",\"Manual\",\"f\"\r\n";
    for (int i = 0; i < 299; ++i) file += "\"Absent" + std::to_string(i) + "\",\"Running\",\"Auto\",\"x\"\r\n";
    folder.Write(L"Config\\long.cfg", file);
    fen->CbListeConf.SetText(L"long.cfg");
    Command(IDM_CHARGECONF);
    EXPECT_TRUE(dialogs.shown.empty());
    PreviewWindow* report = app.windows.Find<PreviewWindow>();
    ASSERT_TRUE(report && report->IsOpen());
    EXPECT_EQ(WindowText(report->Handle()), L"Compte rendu de l'application");
    EXPECT_EQ(report->Heading(), L"opération éffectuée avec des erreurs \u2014 2 appels, 0 refusés, 299 absents, "
                                 L"0 interdits laissés tels quels, 0 pas (encore) dans l'état voulu");
    ASSERT_EQ(report->Lines().size(), 300u);
    EXPECT_EQ(report->Lines().front(), L"service absent de cette machine : Absent0");
    EXPECT_FALSE(report->OffersApply());
    report->OnCopier();
    ASSERT_TRUE(OpenClipboard(report->Handle()));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::wstring copied = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
    if (data) GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(copied.rfind(report->Heading() + L"\r\nservice absent de cette machine : Absent0\r\n", 0), 0u);
    EXPECT_NE(copied.find(L"Absent298\r\nservices pas (encore) dans l'état voulu : 0\r\n"), std::wstring::npos);
}

TEST_F(Applying, ANameTypedByHandIsCheckedBeforeAnythingIsRead) {
    fen->CbListeConf.SetText(L"..\\..\\liste\\interdit.txt");
    Command(IDM_CHARGECONF);
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"nom de configuration invalide : ..\\..\\liste\\interdit.txt"});
}

// ---- Deleting, importing, exporting ----

TEST_F(Configurations, WhatAnInterruptedSaveLeftIsNeitherListedNorApplicableAndGoesAtStartUp) {
    folder.Write(L"Config\\profil.cfg", "\"Fax\",\"Running\",\"Manual\",\"f\"\r\n");
    folder.Write(L"Config\\profil.cfg.partiel-1234", "\"Fax\",\"Running\",\"Man");
    fen->ChargeListeConf();
    EXPECT_EQ(Items(fen->CbListeConf), std::vector<std::wstring>{L"profil.cfg"});
    fen->CbListeConf.SetText(L"profil.cfg.partiel-1234");
    Command(IDM_CHARGECONF);
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"le fichier de configuration demandé est introuvable!"});
    EXPECT_TRUE(machine.MethodLog().empty());
    fen.reset();
    Open();
    EXPECT_FALSE(Has(L"profil.cfg.partiel-1234"));
    EXPECT_TRUE(Has(L"profil.cfg"));

    // A configuration another program writes meanwhile is listed when the user comes back to the window,
    // the one chosen kept.
    ASSERT_TRUE(fen->CbListeConf.SelectText(L"profil.cfg"));
    folder.Write(L"Config\\flotte.cfg", "\"Fax\",\"Stopped\",\"Manual\",\"f\"\r\n");
    SendMessageW(fen->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_NE(fen->CbListeConf.FindExact(L"flotte.cfg"), -1);
    EXPECT_EQ(fen->CbListeConf.Text(), L"profil.cfg");
}

TEST_F(Configurations, DeletingAsksAndDeletesOnlyAFileThatExists) {
    folder.Write(L"Config\\profil.cfg", "\"Fax\",\"Running\",\"Manual\",\"f\"\r\n");
    fen->ChargeListeConf();
    fen->CbListeConf.SetText(L"");
    Command(IDM_SUPCONF);
    EXPECT_TRUE(dialogs.shown.empty());

    ASSERT_TRUE(fen->CbListeConf.SelectText(L"profil.cfg"));
    dialogs.answers = {IDNO};
    Command(IDM_SUPCONF);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, L"êtes vous sur de vouloir supprimer la configuration choisie?");
    EXPECT_EQ(dialogs.shown[0].title, L"confirmation");
    EXPECT_EQ(dialogs.shown[0].style, 36);
    EXPECT_TRUE(Has(L"profil.cfg"));

    dialogs.answers = {IDYES};
    Command(IDM_SUPCONF);
    EXPECT_FALSE(Has(L"profil.cfg"));
    EXPECT_EQ(fen->CbListeConf.Count(), 0);

    dialogs.shown.clear();
    fen->CbListeConf.SetText(L"absent.cfg");
    Command(IDM_SUPCONF);
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"configuration introuvable"});
    folder.Write(L"liste\\garde.txt", "x");
    dialogs.shown.clear();
    fen->CbListeConf.SetText(L"..\\liste\\garde.txt");
    Command(IDM_SUPCONF);
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"nom de configuration invalide : ..\\liste\\garde.txt"});
    EXPECT_TRUE(folder.Exists(L"liste\\garde.txt"));
}

TEST_F(Configurations, ImportCopiesAConfigurationAsItIsAndRefusesAnythingElse) {
    std::wstring outside = folder.Root() + L"\\ailleurs";
    CreateDirectoryW(outside.c_str(), nullptr);
    auto write = [&](const std::wstring& name, const std::string& bytes) {
        std::wstring path = outside + L"\\" + name;
        DeleteFileW(path.c_str());
        AppendFileBytes(path, bytes);
        return FileChoice{path, name};
    };
    const std::string config = "\"Fax\",\"Running\",\"Manual\",\"T\xE9l\xE9" "copie\"\r\n";
    folder.Write(L"Config\\profil.cfg", "ancien");
    dialogs.files = {write(L"profil.cfg", config), write(L"image.cfg", "\x89PNG\r\n"), std::nullopt,
                     write(L"notes.txt", config)};
    Command(IDM_IMPORTCONF);
    EXPECT_EQ(File(L"profil.cfg"), config);  // replaced without a question
    EXPECT_EQ(dialogs.fileDialogs[0].title, L"Configuration a importer");
    EXPECT_EQ(dialogs.fileDialogs[0].initialFolder, folder.Root() + L"\\Documents");
    EXPECT_EQ(dialogs.fileDialogs[0].filter, L"Fichiers configurations (*.cfg)|*.cfg");
    Command(IDM_IMPORTCONF);
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"le fichier choisi n'est pas une configuration : image.cfg"});
    EXPECT_FALSE(Has(L"image.cfg"));
    Command(IDM_IMPORTCONF);  // cancelled: nothing
    EXPECT_EQ(dialogs.shown.size(), 1u);
    Command(IDM_IMPORTCONF);  // another extension: copied, not listed
    EXPECT_TRUE(Has(L"notes.txt"));
    EXPECT_EQ(fen->CbListeConf.FindExact(L"notes.txt"), -1);
}

TEST_F(Configurations, ExportProposesTheDocumentsFolderAndCopiesTheFileChosen) {
    folder.Write(L"Config\\profil.cfg", "\"Fax\",\"Running\",\"Manual\",\"f\"\r\n");
    folder.Write(L"Config\\old.cfg.bak", "x");
    Command(IDM_EXPORTCONF);
    Fen3* window = app.windows.Find<Fen3>();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window->Handle()));
    EXPECT_EQ(window->Files(), std::vector<std::wstring>{L"profil.cfg"});
    ASSERT_TRUE(window->SelectFile(L"profil.cfg"));
    std::wstring destination = folder.Root() + L"\\exporte.cfg";
    dialogs.files = {FileChoice{destination, L"exporte.cfg"}};
    SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(3001, BN_CLICKED), reinterpret_cast<LPARAM>(window->BtExportConf()));
    EXPECT_EQ(dialogs.fileDialogs[0].fileName, folder.Root() + L"\\Documents\\profil.cfg");
    EXPECT_EQ(dialogs.fileDialogs[0].title, L"Configuration a exporter");
    EXPECT_EQ(ReadFileBytes(destination), File(L"profil.cfg"));
    EXPECT_FALSE(IsWindowVisible(window->Handle()));
}

// ---- Selective display ----

TEST_F(Configurations, FiltersShowOnlyWhatMatchesAndComeBackWhenNothingDoes) {
    Command(IDM_FILTER_FIRST + 9);  // Disabled & Running
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"Il n'y pas de service a afficher correspondant a votre selection."});
    EXPECT_EQ(dialogs.shown[0].title, L"Information");
    EXPECT_EQ(fen->LabNb.Text(), L"5");
    EXPECT_EQ(fen->CbNomSys.Count(), 5);

    machine.Get(L"Audiosrv")->State = L"Paused";
    Command(IDM_FILTER_FIRST + 0);  // Running: not the paused one
    EXPECT_EQ(Items(fen->CbNomSys), (std::vector<std::wstring>{L"Spooler", L"RpcSs"}));
    EXPECT_EQ(fen->LabNb.Text(), L"2");
    EXPECT_EQ(fen->var.NbServices, 2);
    EXPECT_EQ(fen->CbNomVueTrier.Count(), 2);
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"Spooler");
    Command(IDM_FILTER_FIRST + 10);  // Disabled & Stopped
    EXPECT_EQ(Items(fen->CbNomSys), std::vector<std::wstring>{L"wuauserv"});
    Command(IDM_FILTER_FIRST + 3);  // Manual
    EXPECT_EQ(Items(fen->CbNomSys), std::vector<std::wstring>{L"Fax"});
    Command(IDM_REFRESH);
    EXPECT_EQ(fen->CbNomSys.Count(), 5);
}

// ---- Creation mode ----

TEST_F(Configurations, CreationModeComposesAFileOneServiceAtATime) {
    folder.Write(L"Config\\7-12-2026.cfg", "\"Ancien\",\"Running\",\"Auto\",\"x\"\r\n");
    // An item already greyed when the mode begins (by whatever greyed it) stays so when it ends.
    fen->menus.Enable(L"MnuExterne", false);
    Command(IDM_CREERCONF);
    EXPECT_TRUE(fen->CreationMode());
    EXPECT_EQ(fen->CbListeConf.Text(), L"7-12-2026");
    EXPECT_EQ(Shown(fen->Command1.Text()), L"Ajouter au fichier de configuration");
    EXPECT_EQ(Shown(fen->LabListeConf.Text()), L"Configuration en cours de création");
    EXPECT_EQ(fen->BackgroundPath(), L"");  // no picture in this folder, and no failure either
    for (const std::wstring& name : Fen1::CreationModeDisabled()) EXPECT_FALSE(fen->menus.Enabled(name)) << name.size();
    EXPECT_FALSE(fen->BtRefreshServ.Enabled());
    EXPECT_TRUE(IsWindowVisible(fen->LabStart.Handle()) || !IsWindowVisible(fen->Handle()));

    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Fax"));
    machine.ClearCounts();
    // A start-mode choice alone is not enough.
    fen->OnBtConfServAuto();
    fen->OnCommand1();
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"un élément n'a pas été selectionné ou le fichier de configuration n'est défini."});
    EXPECT_TRUE(machine.MethodLog().empty());
    fen->OnBtStartServ();
    fen->OnBtConfServMAnu();  // replaces "Auto"
    EXPECT_EQ(fen->MarkerColour(fen->LabManu), RGB(0x80, 0xFF, 0x80));
    EXPECT_EQ(fen->MarkerColour(fen->LabAuto), GetSysColor(COLOR_ACTIVEBORDER));
    fen->OnCommand1();
    // The first addition replaced the old file; the service left the two lists, the next one is shown.
    EXPECT_EQ(File(L"7-12-2026.cfg"), "\"Fax\",\"Running\",\"Manual\",\"T\xE9l\xE9" "copie\"\r\n");
    EXPECT_TRUE(machine.MethodLog().empty());
    EXPECT_EQ(fen->CbNomSys.FindExact(L"Fax"), -1);
    EXPECT_EQ(fen->CbNomVue.FindExact(L"Télécopie"), -1);
    EXPECT_NE(fen->CbNomVueTrier.FindExact(L"Télécopie"), -1);
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"wuauserv");
    EXPECT_TRUE(fen->var.EtatChoisi.empty() && fen->var.ModeChoisi.empty());

    // The second appends.
    fen->OnBtStopServ();
    fen->OnBtConfServStop();
    fen->OnCommand1();
    std::string two = File(L"7-12-2026.cfg");
    EXPECT_EQ(std::count(two.begin(), two.end(), '\n'), 2);

    // Another name after the first addition: later additions append to it, keeping its records. A list
    // of configurations refreshed meanwhile (another window saved) keeps the name typed.
    folder.Write(L"Config\\autre.cfg", "\"Garde\",\"Running\",\"Auto\",\"g\"\r\n");
    fen->CbListeConf.SetText(L"autre");
    fen->ChargeListeConf();
    EXPECT_EQ(fen->CbListeConf.Text(), L"autre");
    ASSERT_EQ(fen->CbNomSys.SelectedText(), L"Audiosrv");  // the last entry
    fen->OnBtStartServ();
    fen->OnBtConfServAuto();
    fen->OnCommand1();
    EXPECT_EQ(File(L"autre.cfg"), "\"Garde\",\"Running\",\"Auto\",\"g\"\r\n\"Audiosrv\",\"Running\",\"Auto\",\"Audio Windows\"\r\n");
    EXPECT_EQ(fen->CbNomSys.Selected(), -1) << "after the last service nothing is selected";

    // The sorted list still holds the services added: choosing one there selects nothing else, and the
    // list shows again the service the buttons act on.
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"RpcSs"));
    fen->CbNomVueTrier.Select(fen->CbNomVueTrier.FindExact(L"Télécopie"));
    EXPECT_EQ(fen->CbNomVueTrier.SelectedText(), L"Appel de procédure distante (RPC)");
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"RpcSs");
    // The menus creation mode disables do not open as pop-ups either.
    std::vector<HMENU> opened;
    fen->showPopup = [&](HMENU menu, POINT) { opened.push_back(menu); };
    for (const Caption* caption : {&fen->Label3, &fen->Label4, &fen->LabListeConf})
        SendMessageW(fen->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(caption->Area().left + 2, caption->Area().top + 2));
    EXPECT_TRUE(opened.empty());

    // The buttons sent nothing to any service; leaving brings everything back.
    EXPECT_TRUE(machine.MethodLog().empty());
    Command(IDM_CREERCONF);
    EXPECT_FALSE(fen->CreationMode());
    for (const std::wstring& name : Fen1::CreationModeDisabled())
        if (name != L"MnuExterne") EXPECT_TRUE(fen->menus.Enabled(name));
    // The item greyed before the mode is not made available by leaving it.
    EXPECT_FALSE(fen->menus.Enabled(L"MnuExterne"));
    EXPECT_TRUE(fen->BtRefreshServ.Enabled());
    EXPECT_EQ(Shown(fen->Command1.Text()), L"Configuration automatique");
    EXPECT_EQ(Shown(fen->LabListeConf.Text()), L"Liste des configurations disponnibles");
    EXPECT_NE(fen->CbListeConf.FindExact(L"autre.cfg"), -1);

    // Re-entering with the same name starts that file afresh.
    Command(IDM_CREERCONF);
    fen->CbListeConf.SetText(L"autre");
    fen->CbNomSys.Select(0);
    fen->OnBtStopServ();
    fen->OnBtConfServStop();
    fen->OnCommand1();
    EXPECT_EQ(File(L"autre.cfg"), "\"Spooler\",\"Stopped\",\"Disabled\",\"Spouleur d'impression\"\r\n");
    fen->CbListeConf.SetText(L"CON");
    fen->OnBtStopServ();
    fen->OnBtConfServStop();
    dialogs.shown.clear();
    fen->OnCommand1();
    EXPECT_EQ(Texts(), std::vector<std::wstring>{L"nom de configuration invalide : CON"});
}

}  // namespace
}  // namespace kestrane::test
