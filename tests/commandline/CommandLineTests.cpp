// The program run without a window: each verb on the simulated machine, with its report and exit code.
#include "Scratch.h"

#include "commandline/Unattended.h"
#include "profile/Undo.h"

#include <algorithm>

namespace kestrane::test {
namespace {

class Unattended : public ::testing::Test {
protected:
    void SetUp() override {
        ArrangeProfileMachine(machine, folder);
        var.CheminAppli = folder.App();
        var.CheminDocuments = folder.Root() + L"\\Documents";
        machine.ClearCounts();
    }
    int Run(std::vector<std::wstring> arguments) {
        report.clear();
        return RunUnattended(var, machine, arguments, [this](const std::wstring& line) { report.push_back(line); });
    }
    bool Reported(const std::wstring& line) const {
        return std::find(report.begin(), report.end(), line) != report.end();
    }
    std::vector<std::wstring> Controls() const { return ControlCalls(machine); }
    SimulatedServiceManager machine;
    ScratchFolder folder;
    Variables var;
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

}  // namespace
}  // namespace kestrane::test
