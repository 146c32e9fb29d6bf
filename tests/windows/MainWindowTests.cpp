// The main window's start-up, lists, selection refresh and shutdown, on the simulated machine.
#include "TestSupport.h"

#include "profile/ConfigFormat.h"
#include "base/TextFile.h"
#include "service/Programme.h"

#include <algorithm>

namespace kestrane::test {
namespace {

class Fen1Lists : public MainWindowTest {};

TEST_F(Fen1Lists, FillKeepsTheThreeListsOnTheSameServices) {
    AddDemoServices(machine);
    Open();
    std::vector<std::wstring> names = Items(fen->CbNomSys);
    std::vector<std::wstring> shown = Items(fen->CbNomVue);
    std::vector<std::wstring> sorted = Items(fen->CbNomVueTrier);
    ASSERT_EQ(names.size(), 5u);
    ASSERT_EQ(shown.size(), 5u);
    ASSERT_EQ(sorted.size(), 5u);
    std::vector<ServiceEntry> inventory = machine.Inventory(true);
    for (size_t i = 0; i < inventory.size(); ++i) {
        EXPECT_EQ(names[i], inventory[i].Name);
        EXPECT_EQ(shown[i], inventory[i].DisplayName);
    }
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
    }));
    EXPECT_EQ(fen->LabNb.Text(), L"5");
    EXPECT_EQ(fen->var.NbServices, 5);
}

TEST_F(Fen1Lists, StartUpSelectsTheFirstDisplayNameWithEverythingShown) {
    AddDemoServices(machine);
    folder.Write(L"ServTxt\\serv\\RpcSs.txt", "{\\rtf1\\ansi {\\b Appel de proc\\'e9dure} distante}");
    Open();
    // "Appel de procédure distante (RPC)" comes first alphabetically, though the inventory starts with Spooler.
    EXPECT_EQ(fen->CbNomVueTrier.SelectedText(), L"Appel de procédure distante (RPC)");
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"RpcSs");
    EXPECT_EQ(fen->CbNomVue.Selected(), fen->CbNomSys.Selected());
    EXPECT_EQ(fen->TbChem.Text(), L"C:\\Windows\\system32\\svchost.exe -k rpcss");
    EXPECT_EQ(fen->TbDemarre.Text(), L"Auto");
    EXPECT_EQ(fen->TbEtat.Text(), L"Running");
    EXPECT_EQ(fen->TbNomCompte.Text(), L"NT AUTHORITY\\NetworkService");
    EXPECT_EQ(fen->TbType.Text(), L"Share Process");
    EXPECT_EQ(Items(fen->Combo1), (std::vector<std::wstring>{L"Spooler", L"Fax"}));
    EXPECT_EQ(fen->Combo1.Selected(), 0);
    EXPECT_EQ(Items(fen->Combo2), (std::vector<std::wstring>{texts::kNoDependency}));
    EXPECT_EQ(fen->Combo2.Selected(), 0);
    EXPECT_NE(fen->RichTextBox1.PlainText().find(L"Appel de procédure distante"), std::wstring::npos);
    EXPECT_EQ(fen->RichTextBox2.PlainText(), L"Le service RPCSS est le gestionnaire de contrôle de services.");
    EXPECT_TRUE(fen->var.ModifAutorisee);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Fen1Lists, SelectingInAnyListRefreshesTheSameService) {
    AddDemoServices(machine);
    Open();
    // Through the sorted list: "Télécopie" is Fax, without description or text, depending on two services.
    ASSERT_TRUE(fen->CbNomVueTrier.SelectText(L"Télécopie"));
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"Fax");
    EXPECT_EQ(fen->CbNomVue.SelectedText(), L"Télécopie");
    EXPECT_EQ(Items(fen->Combo1), (std::vector<std::wstring>{texts::kNoDependency}));
    EXPECT_EQ(Items(fen->Combo2), (std::vector<std::wstring>{L"Spooler", L"RpcSs"}));
    EXPECT_EQ(fen->RichTextBox1.PlainText(), texts::kNoData);
    EXPECT_EQ(fen->RichTextBox2.PlainText(), texts::kNoDescription);
    EXPECT_EQ(fen->TbEtat.Text(), L"Stopped");
    // Through the system names: the sorted list follows.
    fen->CbNomSys.Select(3);
    EXPECT_EQ(fen->CbNomVueTrier.SelectedText(), L"Windows Update");
    EXPECT_EQ(fen->TbDemarre.Text(), L"Disabled");
    EXPECT_EQ(fen->RichTextBox2.PlainText(), L"Mises à jour.");
}

TEST_F(Fen1Lists, NextAndPreviousStopAtTheEnds) {
    AddDemoServices(machine);
    Open();
    std::vector<std::wstring> sorted = Items(fen->CbNomVueTrier);
    for (size_t i = 1; i < sorted.size(); ++i) {
        fen->OnBtDefileBas();
        EXPECT_EQ(fen->CbNomVueTrier.SelectedText(), sorted[i]);
        EXPECT_EQ(fen->CbNomVue.SelectedText(), sorted[i]);
    }
    machine.ClearCounts();
    fen->OnBtDefileBas();  // on the last entry: nothing happens, nothing is queried
    EXPECT_EQ(fen->CbNomVueTrier.Selected(), static_cast<int>(sorted.size()) - 1);
    EXPECT_EQ(machine.Calls(SimulatedServiceManager::Op::Find), 0);
    for (size_t i = sorted.size() - 1; i > 0; --i) fen->OnMnuPlus();
    EXPECT_EQ(fen->CbNomVueTrier.Selected(), 0);
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"RpcSs");
    fen->OnMnuPlus();  // on the first entry
    EXPECT_EQ(fen->CbNomVueTrier.Selected(), 0);
}

TEST_F(Fen1Lists, NextAndPreviousOnAnEmptyListDoNothing) {
    Open();
    fen->OnBtDefileBas();
    fen->OnMnuPlus();
    EXPECT_EQ(fen->CbNomVueTrier.Selected(), -1);
    EXPECT_EQ(fen->CbNomSys.Selected(), -1);
    EXPECT_EQ(fen->LabNb.Text(), L"0");
}

TEST_F(Fen1Lists, RefreshKeepsThePositionNotTheService) {
    AddDemoServices(machine);
    Open();
    fen->CbNomSys.Select(3);
    machine.Add({L"Zeta", L"Zeta"});
    fen->OnMnuRefresh();
    EXPECT_EQ(fen->CbNomSys.Selected(), 3);
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"wuauserv");
    EXPECT_EQ(fen->LabNb.Text(), L"6");
    EXPECT_EQ(fen->var.NbServices, 6);
    EXPECT_EQ(fen->CbNomVueTrier.Count(), 6);

    // A shorter list than the remembered position: the first entry stays selected.
    fen->CbNomSys.Select(5);
    machine.Delete(L"Zeta");
    machine.Delete(L"Audiosrv");
    fen->OnMnuRefresh();
    EXPECT_EQ(fen->CbNomSys.Selected(), 0);
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"Spooler");
    EXPECT_EQ(fen->TbChem.Text(), L"C:\\Windows\\System32\\spoolsv.exe");
}

TEST_F(Fen1Lists, FillWithASavePendingWritesOneRecordPerServiceInInventoryOrder) {
    AddDemoServices(machine);
    Open();
    fen->var.NomConfig = L"7-12-2026.cfg";
    fen->var.SauveConfig = true;
    fen->ChargeServices();
    EXPECT_FALSE(fen->var.SauveConfig);
    std::vector<ConfigRecord> saved = ReadConfigFile(folder.App() + L"Config\\7-12-2026.cfg");
    ASSERT_EQ(saved.size(), 5u);
    EXPECT_EQ(saved[0], (ConfigRecord{L"Spooler", L"Running", L"Auto", L"Spouleur d'impression"}));
    EXPECT_EQ(saved[4].Name, L"Audiosrv");
    // A fill without a save pending writes nothing more.
    fen->ChargeServices();
    EXPECT_EQ(ReadConfigFile(folder.App() + L"Config\\7-12-2026.cfg").size(), 5u);
}

TEST_F(Fen1Lists, UnwritableConfigurationStillFillsTheListsAndReportsTheFailure) {
    AddDemoServices(machine);
    Open();
    fen->var.NomConfig = L"absent\\profil.cfg";  // a folder that does not exist
    fen->var.SauveConfig = true;
    EXPECT_THROW(fen->ChargeServices(), FileError);
    EXPECT_EQ(fen->CbNomSys.Count(), 5);
    EXPECT_EQ(fen->LabNb.Text(), L"5");
    EXPECT_FALSE(fen->var.SauveConfig);
}

TEST_F(Fen1Lists, RefreshOfTheServiceReadsOnlyItsFields) {
    AddDemoServices(machine);
    Open();
    machine.Get(L"RpcSs")->State = L"Paused";
    machine.Get(L"RpcSs")->Description = std::wstring(L"changée");
    machine.ClearCounts();
    fen->OnMnuRefreshServ();
    EXPECT_EQ(fen->TbEtat.Text(), L"Paused");
    EXPECT_EQ(fen->RichTextBox2.PlainText(), L"Le service RPCSS est le gestionnaire de contrôle de services.");
    EXPECT_EQ(machine.Calls(SimulatedServiceManager::Op::Inventory), 0);
    EXPECT_EQ(machine.Calls(SimulatedServiceManager::Op::Dependents), 0);
}

TEST_F(Fen1Lists, FailingInventoryLeavesEmptyListsAndTheWindowWorking) {
    AddDemoServices(machine);
    machine.FailInventory(true);
    Open();
    EXPECT_TRUE(fen->IsOpen());
    EXPECT_EQ(fen->CbNomSys.Count(), 0);
    EXPECT_EQ(fen->CbNomVue.Count(), 0);
    EXPECT_EQ(fen->CbNomVueTrier.Count(), 0);
    EXPECT_EQ(fen->LabNb.Text(), L"");  // the count label is not updated
    EXPECT_TRUE(dialogs.shown.empty());
    // Once the inventory answers again, the refresh brings the services back.
    machine.FailInventory(false);
    fen->OnMnuRefresh();
    EXPECT_EQ(fen->CbNomSys.Count(), 5);
    machine.FailInventory(true);
    fen->OnMnuRefresh();
    EXPECT_EQ(fen->CbNomSys.Count(), 0);
    EXPECT_NE(fen->LabEtat.Text().find(L"L'utilisateur n'a pas l'accès nécessaire"), std::wstring::npos);
}

TEST_F(Fen1Lists, FailuresInsideTheRefreshSkipOnlyTheirStep) {
    AddDemoServices(machine);
    machine.FailDependencies(true);
    Open();
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"RpcSs");
    EXPECT_EQ(fen->Combo1.Count(), 0);
    EXPECT_EQ(fen->TbEtat.Text(), L"Running");  // the fields were still read
    EXPECT_EQ(fen->RichTextBox2.PlainText(), L"Le service RPCSS est le gestionnaire de contrôle de services.");
}

TEST_F(Fen1Lists, UnknownSelectedNameEmptiesTheFieldsAndTheLowerBox) {
    AddDemoServices(machine);
    Open();
    machine.Delete(L"RpcSs");  // gone from the machine, still in the lists
    fen->CbNomSys.Select(fen->CbNomSys.Selected());
    EXPECT_EQ(fen->TbChem.Text(), L"");
    EXPECT_EQ(fen->TbEtat.Text(), L"");
    EXPECT_EQ(fen->RichTextBox2.PlainText(), L"");
}

TEST_F(Fen1Lists, AServiceThatCannotBeReadSaysSoAndAValueTheDatabaseLeavesEmptyIsNamed) {
    AddDemoServices(machine);
    machine.Add({L"Pilote", L"Afd", L"Running", L"Auto", std::nullopt, L"", L"", L"Kernel Driver"});
    Open();
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Pilote"));
    EXPECT_EQ(fen->TbChem.Text(), L"non renseigné");
    EXPECT_EQ(fen->TbNomCompte.Text(), L"non renseigné");
    EXPECT_EQ(fen->TbType.Text(), L"Kernel Driver");
    EXPECT_EQ(fen->TbEtat.Text(), L"Running");
    // A lookup that fails leaves none of the driver's values under the next service's name.
    machine.FailFind(true);
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Spooler"));
    for (const Control* field : {&fen->TbChem, &fen->TbDemarre, &fen->TbEtat, &fen->TbNomCompte, &fen->TbType})
        EXPECT_EQ(field->Text(), L"illisible");
    EXPECT_EQ(fen->LabEtat.Text().rfind(L"propriétés du service illisibles : ", 0), 0u) << fen->LabEtat.Text().size();
}

TEST_F(Fen1Lists, HelpReplacesTheServiceTextButNotItsDescription) {
    AddDemoServices(machine);
    folder.Write(L"ServTxt\\help\\help.txt", "Aide de Kestrane : d\xe9marrer un service\r\n");
    Open();
    fen->OnMnuHelp();
    EXPECT_NE(fen->RichTextBox1.PlainText().find(L"Aide de Kestrane : démarrer"), std::wstring::npos);
    EXPECT_EQ(fen->RichTextBox2.PlainText(), L"Le service RPCSS est le gestionnaire de contrôle de services.");
    fen->OnMnuInfo();  // no info file
    EXPECT_EQ(fen->RichTextBox1.PlainText(), texts::kNoData);
    fen->OnBtDefileBas();
    EXPECT_EQ(fen->RichTextBox1.PlainText(), texts::kNoData);
    EXPECT_EQ(fen->RichTextBox2.PlainText(), L"Gère l'audio.");
}

TEST_F(Fen1Lists, AboutBoxStartsWithTheVersion) {
    Open();
    fen->OnMnuQui();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text.substr(0, 15), L"version 1.2.6 \n");
    EXPECT_EQ(dialogs.shown[0].title, L"information");
    EXPECT_EQ(dialogs.shown[0].style, 64);
}

// ---- Start-up folders, background picture, shutdown ----

struct ChristmasCase {
    Date date;
    const wchar_t* picture;
};

class Fen1Background : public MainWindowTest, public ::testing::WithParamInterface<ChristmasCase> {};

TEST_P(Fen1Background, ChristmasPictureFrom24To31December) {
    folder.CopyFromData(L"Image\\Start.Jpg");
    folder.CopyFromData(L"Image\\Noel.Jpg");
    date = GetParam().date;
    Open();
    EXPECT_EQ(fen->BackgroundPath(), folder.App() + GetParam().picture);
    EXPECT_EQ(fen->var.Jour, date.day);
    EXPECT_EQ(fen->var.Mois, date.month);
    EXPECT_EQ(fen->var.Annee, date.year);
}

INSTANTIATE_TEST_SUITE_P(Dates, Fen1Background,
                         ::testing::Values(ChristmasCase{{23, 12, 2026}, L"Image\\Start.Jpg"},
                                           ChristmasCase{{24, 12, 2026}, L"Image\\Noel.Jpg"},
                                           ChristmasCase{{31, 12, 2026}, L"Image\\Noel.Jpg"},
                                           ChristmasCase{{1, 1, 2027}, L"Image\\Start.Jpg"},
                                           ChristmasCase{{24, 11, 2026}, L"Image\\Start.Jpg"}));

TEST_F(MainWindowTest, FoldersComeFromTheShell) {
    Open();
    EXPECT_EQ(fen->var.CheminAppli, folder.Root() + L"\\Kestrane\\");
    EXPECT_EQ(fen->var.CheminDocuments, folder.Root() + L"\\Documents");
    EXPECT_FALSE(fen->var.SauveConfig);
}

TEST_F(MainWindowTest, WithoutProgramFilesTheFolderIsAtTheDriveRoot) {
    app.folders.specialFolder = [](HWND, int) { return std::wstring(); };
    Open();
    EXPECT_EQ(fen->var.CheminAppli, L"\\Kestrane\\");
    EXPECT_EQ(fen->var.CheminDocuments, L"");
}

TEST_F(MainWindowTest, StartsWithoutPicturesAndStillWorks) {
    AddDemoServices(machine);
    Open();
    EXPECT_EQ(fen->BackgroundPath(), L"");
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"RpcSs");
}

TEST_F(MainWindowTest, ShutdownEmptiesTmpButNotItsSubFolders) {
    Open();
    folder.Write(L"Tmp\\copie.cfg", "x");
    folder.Write(L"Tmp\\autre.txt", "y");
    CreateDirectoryW((folder.App() + L"Tmp\\garde").c_str(), nullptr);
    folder.Write(L"Tmp\\garde\\dedans.cfg", "z");
    SendMessageW(fen->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(fen->IsOpen());
    EXPECT_FALSE(folder.Exists(L"Tmp\\copie.cfg"));
    EXPECT_FALSE(folder.Exists(L"Tmp\\autre.txt"));
    EXPECT_TRUE(folder.Exists(L"Tmp\\garde\\dedans.cfg"));
}

TEST_F(MainWindowTest, ConfigurationListShowsFilesContainingCfg) {
    folder.Write(L"Config\\Profil.CFG", "");
    folder.Write(L"Config\\old.cfg.bak", "");
    folder.Write(L"Config\\Profil.txt", "");
    CreateDirectoryW((folder.App() + L"Config\\dossier.cfg").c_str(), nullptr);
    Open();
    std::vector<std::wstring> listed = Items(fen->CbListeConf);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::wstring>{L"Profil.CFG", L"old.cfg.bak"}));
}

TEST_F(MainWindowTest, EmptyConfigurationFolderGivesAnEmptyList) {
    folder.Write(L"Config\\notes.txt", "");
    Open();
    EXPECT_EQ(fen->CbListeConf.Count(), 0);
}

}  // namespace
}  // namespace kestrane::test
