// Seeing an application before it is made, undoing it, comparing a machine with a configuration, the
// unattended command line and the exports for fleet tools, on the simulated machine.
#include "TestSupport.h"

#include "windows/resource.h"
#include "profile/Apply.h"
#include "windows/preview/PreviewWindow.h"
#include "profile/Plan.h"
#include "base/TextFile.h"
#include "profile/Undo.h"
#include "commandline/Unattended.h"

#include <algorithm>
#include <set>

namespace kestrane::test {
namespace {

using Kind = PlanLine::Kind;

// A file with every kind of line a preview shows, on the demo machine with two more services:
// Fax needs Spooler (stopped here) and RpcSs; Client runs and needs Base.
const std::string kEveryKind =
    "\"wuauserv\",\"Stopped\",\"Manual\",\"Windows Update\"\r\n"  // start mode Disabled -> Manual
    "\"Fax\",\"Running\",\"Manual\",\"T\xE9l\xE9" "copie\"\r\n"    // started, Spooler first
    "\"RpcSs\",\"Stopped\",\"Manual\",\"RPC\"\r\n"                   // marked 1: refused
    "\"Audiosrv\",\"Stopped\",\"Auto\",\"Audio\"\r\n"                // marked 0: warned, stopped
    "\"Base\",\"Stopped\",\"Auto\",\"Base\"\r\n"                     // Client holds its stop
    "\"Absent\",\"Running\",\"Auto\",\"Absent\"\r\n";                // not on this machine

class ProfileTools : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        AddDemoServices(machine);
        machine.Get(L"Spooler")->State = L"Stopped";
        machine.Add({L"Base", L"Base", L"Running", L"Auto", std::nullopt});
        machine.Add({L"Client", L"Client", L"Running", L"Auto", std::nullopt, L"C:\\client.exe", L"LocalSystem",
                     L"Own Process", {L"Base"}});
        folder.Write(L"liste\\interdit.txt", "\"RpcSs\",1\r\n\"Audiosrv\",0\r\n");
        folder.Write(L"Config\\profil.cfg", kEveryKind);
        Open();
        ASSERT_TRUE(fen->CbListeConf.SelectText(L"profil.cfg"));
        machine.ClearCounts();
    }
    void Command(UINT id) { SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    std::vector<std::wstring> Controls() const {
        std::vector<std::wstring> calls;
        for (const std::wstring& call : machine.MethodLog())
            if (call.rfind(L"start:", 0) == 0 || call.rfind(L"stop:", 0) == 0 || call.rfind(L"change", 0) == 0)
                calls.push_back(call);
        return calls;
    }
    struct State {
        std::wstring state, mode;
        friend bool operator==(const State&, const State&) = default;
    };
    std::map<std::wstring, State> Snapshot() {
        std::map<std::wstring, State> out;
        for (const ServiceEntry& e : machine.Inventory(true)) out[e.Name] = {*e.State, *e.StartMode};
        return out;
    }
    std::vector<ForbiddenEntry> Forbidden() { return *ReadForbiddenList(folder.App()); }
    std::vector<ConfigRecord> Records() { return RecordsToApply(folder.App() + L"Config\\profil.cfg"); }
};

TEST_F(ProfileTools, ThePreviewShowsEveryKindOfLineInTheOrderOfTheApplicationAndChangesNothing) {
    auto before = Snapshot();
    Plan plan = PlanApplication(machine, Records(), Forbidden());
    std::vector<std::wstring> texts;
    for (const PlanLine& line : plan.lines) texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::wstring>{
                         L"service interdit, non modifié : RpcSs",
                         L"service absent de cette machine : Absent",
                         L"wuauserv : mode de démarrage Disabled → Manual",
                         // States: those needing no other service first, Fax (needing others) last.
                         L"service déconseillé, sera modifié : Audiosrv",
                         L"Audiosrv : état Running → Stopped",
                         L"Base : état Running → Stopped",
                         L"Client : en cours d'exécution et dépendant de Base, dont l'arrêt sera refusé tant qu'il tourne",
                         L"Spooler : démarré d'abord, car nécessaire à Fax",
                         L"Fax : état Stopped → Running",
                     }));
    std::set<Kind> kinds;
    for (const PlanLine& line : plan.lines) kinds.insert(line.kind);
    EXPECT_EQ(kinds.size(), 7u);
    // What an undo would bring back: exactly the services changed, as they are now.
    EXPECT_EQ(plan.before, (std::vector<ConfigRecord>{{L"wuauserv", L"Stopped", L"Disabled", L"Windows Update"},
                                                       {L"Audiosrv", L"Running", L"Auto", L"Audio Windows"},
                                                       {L"Spooler", L"Stopped", L"Auto", L"Spouleur d'impression"},
                                                       {L"Fax", L"Stopped", L"Manual", L"Télécopie"}}));
    EXPECT_TRUE(Controls().empty());
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(ProfileTools, FromThePreviewWindowTheUserAppliesOrCancels) {
    Command(IDM_APERCU);
    PreviewWindow* preview = app.windows.Find<PreviewWindow>();
    ASSERT_TRUE(preview && preview->IsOpen());
    EXPECT_EQ(WindowText(preview->Handle()), L"Aperçu des changements");
    EXPECT_EQ(preview->Lines().size(), 9u);
    EXPECT_TRUE(preview->OffersApply());
    EXPECT_TRUE(Controls().empty());
    SendMessageW(preview->Handle(), WM_COMMAND, MAKEWPARAM(6002, BN_CLICKED), 0);  // Annuler
    EXPECT_FALSE(preview->IsOpen());
    EXPECT_TRUE(Controls().empty());
    EXPECT_TRUE(dialogs.shown.empty());

    // With "Aperçu avant chaque application" checked, applying shows the preview first.
    Command(IDM_APERCUAUTO);
    EXPECT_TRUE(fen->MenuChecked(IDM_APERCUAUTO));
    Command(IDM_CHARGECONF);
    ASSERT_TRUE(preview->IsOpen());
    EXPECT_TRUE(Controls().empty());
    preview->OnAppliquer();
    EXPECT_FALSE(preview->IsOpen());
    EXPECT_FALSE(Controls().empty());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    // The closing message ends with what is not (yet) as wanted: Base, held by Client, and RpcSs, refused.
    const std::wstring& closing = dialogs.shown[0].text;
    EXPECT_EQ(closing.substr(closing.rfind(L'\n') + 1), L"services pas (encore) dans l'état voulu : 2");
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Running");
    EXPECT_EQ(UndoFiles(folder.App()).size(), 1u);
}

TEST_F(ProfileTools, UndoBringsBackEveryServiceTheApplicationChanged) {
    auto before = Snapshot();
    Command(IDM_CHARGECONF);
    EXPECT_EQ(machine.Get(L"Spooler")->State, L"Running");  // started for Fax
    EXPECT_EQ(machine.Get(L"wuauserv")->StartMode, L"Manual");
    EXPECT_NE(Snapshot(), before);
    ASSERT_EQ(UndoFiles(folder.App()).size(), 1u);
    // The undo file is no configuration of the list.
    EXPECT_EQ(fen->CbListeConf.Count(), 1);

    dialogs.shown.clear();
    Command(IDM_ANNULERAPPLI);
    EXPECT_EQ(Snapshot(), before);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text.substr(0, 19), L"opération éffectuée");
    EXPECT_TRUE(UndoFiles(folder.App()).empty());
    // Nothing left to undo: said so, nothing done.
    dialogs.shown.clear();
    machine.ClearCounts();
    Command(IDM_ANNULERAPPLI);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, L"aucune application à annuler");
    EXPECT_TRUE(Controls().empty());
}

TEST_F(ProfileTools, TheTenLatestUndoFilesAreKept) {
    SYSTEMTIME stamp{};
    stamp.wYear = 2026;
    stamp.wMonth = 12;
    stamp.wDay = 8;
    std::vector<std::wstring> written;
    for (WORD minute = 0; minute < 11; ++minute) {
        stamp.wMinute = minute;
        written.push_back(SaveUndo(folder.App(), {{L"Fax", L"Stopped", L"Manual", L"Télécopie"}}, stamp));
    }
    std::vector<std::wstring> kept = UndoFiles(folder.App());
    ASSERT_EQ(kept.size(), 10u);
    EXPECT_EQ(kept.front(), written[1]);
    EXPECT_EQ(kept.back(), written[10]);
    EXPECT_EQ(LatestUndo(folder.App()), written[10]);
    EXPECT_FALSE(FileExists(written[0]));
}

TEST_F(ProfileTools, TheComparisonSaysHowTheMachineDiffers) {
    std::vector<std::wstring> texts;
    for (const PlanLine& line : CompareMachine(machine, Records())) texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::wstring>{
                         L"wuauserv : mode de démarrage Disabled, voulu Manual",
                         L"Fax : état Stopped, voulu Running",
                         L"RpcSs : mode de démarrage Auto, voulu Manual",
                         L"RpcSs : état Running, voulu Stopped",
                         L"Audiosrv : état Running, voulu Stopped",
                         L"Base : état Running, voulu Stopped",
                         L"service absent de cette machine : Absent",
                     }));
    Command(IDM_COMPARER);
    PreviewWindow* window = app.windows.Find<PreviewWindow>();
    ASSERT_TRUE(window && window->IsOpen());
    EXPECT_FALSE(window->OffersApply());
    EXPECT_EQ(window->Lines(), texts);
    EXPECT_TRUE(Controls().empty());

    // A machine that matches.
    folder.Write(L"Config\\profil.cfg", "\"Audiosrv\",\"Running\",\"Auto\",\"Audio\"\r\n");
    Command(IDM_COMPARER);
    EXPECT_EQ(window->Lines(), std::vector<std::wstring>{L"aucune différence : la machine correspond à la configuration"});
}

class Unattended : public ProfileTools {
protected:
    int Run(std::vector<std::wstring> arguments) {
        report.clear();
        return RunUnattended(app.var, *app.services, arguments, [this](const std::wstring& line) { report.push_back(line); });
    }
    bool Reported(const std::wstring& line) const {
        return std::find(report.begin(), report.end(), line) != report.end();
    }
    std::vector<std::wstring> report;
};

TEST_F(Unattended, EachVerbWithItsExitCode) {
    folder.Write(L"Config\\propre.cfg", "\"Fax\",\"Running\",\"Auto\",\"T\xE9l\xE9" "copie\"\r\n");
    EXPECT_EQ(Run({L"/comparer", L"propre.cfg"}), 1);
    EXPECT_TRUE(Reported(L"Fax : état Stopped, voulu Running"));
    EXPECT_EQ(Run({L"/APPLIQUER", L"propre"}), 0);  // the folder's file, ".cfg" added
    EXPECT_TRUE(Reported(L"opération éffectuée"));
    EXPECT_TRUE(Reported(L"services pas (encore) dans l'état voulu : 0"));
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Running");
    EXPECT_EQ(Run({L"/comparer", folder.App() + L"Config\\propre.cfg"}), 0);

    EXPECT_EQ(Run({L"/sauvegarder", L"machine"}), 0);
    std::vector<ConfigRecord> saved = ReadConfigFile(folder.App() + L"Config\\machine.cfg");
    EXPECT_EQ(saved.size(), 7u);
    EXPECT_EQ(Run({L"/comparer", L"machine.cfg"}), 0);

    // The machine's own profile names the services the list protects: as they are, they are no error.
    EXPECT_EQ(Run({L"/appliquer", L"machine"}), 0);
    EXPECT_TRUE(Reported(L"service interdit, non modifié : RpcSs"));
    EXPECT_TRUE(Reported(L"services pas (encore) dans l'état voulu : 0"));
    EXPECT_EQ(Run({L"/sauvegarder", L"CON"}), 2);
    EXPECT_EQ(Run({L"/sauvegarder", L"a*b"}), 2);
    EXPECT_EQ(Run({L"/sauvegarder", L"machine.v2"}), 0);
    EXPECT_TRUE(FileExists(folder.App() + L"Config\\machine.v2.cfg"));
    // A file dropped on the program is no command.
    EXPECT_FALSE(IsUnattended({folder.App() + L"Config\\machine.cfg"}));
    EXPECT_TRUE(IsUnattended({L"/comparer", L"machine.cfg"}));

    EXPECT_EQ(Run({L"/annuler"}), 0);
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Stopped");
    EXPECT_EQ(machine.Get(L"Fax")->StartMode, L"Manual");
    EXPECT_EQ(Run({L"/annuler"}), 0);
    EXPECT_TRUE(Reported(L"aucune application à annuler"));
}

TEST_F(Unattended, TheForbiddenListRefusesMarkedZeroUnlessForced) {
    folder.Write(L"Config\\audio.cfg", "\"Audiosrv\",\"Stopped\",\"Manual\",\"Audio\"\r\n");
    EXPECT_EQ(Run({L"/appliquer", L"audio.cfg"}), 1);
    EXPECT_TRUE(Reported(L"service interdit, non modifié : Audiosrv"));
    EXPECT_EQ(machine.Get(L"Audiosrv")->State, L"Running");
    EXPECT_EQ(Run({L"/appliquer", L"audio.cfg", L"/forcer"}), 0);
    EXPECT_TRUE(Reported(L"service déconseillé, modifié : Audiosrv"));
    EXPECT_EQ(machine.Get(L"Audiosrv")->State, L"Stopped");
    // Applied again, it changes nothing and leaves nothing to undo.
    size_t undoFiles = UndoFiles(folder.App()).size();
    EXPECT_EQ(Run({L"/appliquer", L"audio.cfg", L"/forcer"}), 0);
    EXPECT_EQ(UndoFiles(folder.App()).size(), undoFiles);
    // Marked 1 stays refused, forced or not.
    EXPECT_EQ(Run({L"/appliquer", L"profil.cfg", L"/forcer"}), 1);
    EXPECT_TRUE(Reported(L"service interdit, non modifié : RpcSs"));
    EXPECT_EQ(machine.Get(L"RpcSs")->State, L"Running");
    // The undo of a forced change of Audiosrv is refused without /forcer, and kept for a second try.
    undoFiles = UndoFiles(folder.App()).size();
    EXPECT_EQ(Run({L"/annuler"}), 1);
    EXPECT_TRUE(Reported(L"service interdit, non modifié : Audiosrv"));
    EXPECT_EQ(UndoFiles(folder.App()).size(), undoFiles);
    EXPECT_EQ(Run({L"/annuler", L"/forcer"}), 0);
    EXPECT_EQ(UndoFiles(folder.App()).size(), undoFiles - 1);
}

TEST_F(Unattended, BadArgumentsAndFilesThatCannotBeReadGiveTwo) {
    for (const std::vector<std::wstring>& arguments :
         std::vector<std::vector<std::wstring>>{{L"/appliquer"}, {L"/inconnu"}, {L"/forcer"}, {L"/comparer", L"/forcer"},
                                                {L"/annuler", L"/comparer", L"a.cfg"}, {L"/annuler", L"/journal:"}}) {
        EXPECT_EQ(Run(arguments), 2) << arguments[0];
        ASSERT_EQ(report.size(), 2u);
        EXPECT_EQ(report[0].rfind(L"arguments invalides : ", 0), 0u);
    }
    EXPECT_EQ(Run({L"/appliquer", L"absent.cfg"}), 2);
    EXPECT_EQ(report[0], L"fichier de configuration introuvable : " + folder.App() + L"Config\\absent.cfg");
    folder.Write(L"Config\\texte.cfg", "bonjour");
    EXPECT_EQ(Run({L"/comparer", L"texte.cfg"}), 2);
    folder.Remove(L"liste\\interdit.txt");
    EXPECT_EQ(Run({L"/appliquer", L"profil.cfg"}), 2);
    EXPECT_TRUE(Controls().empty());
}

TEST_F(ProfileTools, ExportsWriteTheChosenConfigurationWhereTheUserSays) {
    std::wstring documents = folder.Root() + L"\\Documents";
    CreateDirectoryW(documents.c_str(), nullptr);
    dialogs.files.push_back(FileChoice{documents + L"\\profil.yml", L"profil.yml"});
    Command(IDM_EXPORTANSIBLE);
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].fileName, documents + L"\\profil.yml");
    std::string playbook = ReadFileBytes(documents + L"\\profil.yml");
    EXPECT_EQ(playbook.rfind("---\n", 0), 0u);
    EXPECT_NE(playbook.find("# RpcSs : interdit"), std::string::npos);
    // Client runs on Base: Base is set in the second pass, Fax (needing others) after it.
    EXPECT_LT(playbook.find("name: 'Base'"), playbook.find("name: 'Fax'"));

    dialogs.files.push_back(FileChoice{documents + L"\\profil.ps1", L"profil.ps1"});
    Command(IDM_EXPORTPOWERSHELL);
    std::string script = ReadFileBytes(documents + L"\\profil.ps1");
    EXPECT_EQ(script.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_NE(script.find("Set-Service -Name 'wuauserv' -StartupType Manual\r\n"), std::string::npos);
    EXPECT_EQ(script.find("-Name 'RpcSs'"), std::string::npos);
    EXPECT_TRUE(Controls().empty());
}

}  // namespace
}  // namespace kestrane::test
