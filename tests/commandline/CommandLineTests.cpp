// The program run without a window: each verb on the simulated machine, with its report and exit code.
#include "Scratch.h"

#include "base/CodePage.h"
#include "base/Texts.h"
#include "commandline/Unattended.h"
#include "profile/Undo.h"
#include "base/TextFile.h"
#include "profile/ConfigFiles.h"
#include "profile/ConfigFormat.h"
#include "profile/Origin.h"

#include <shellapi.h>

#include <algorithm>

namespace kestrane::test {
namespace {

// The files of a folder (ending with a backslash).
size_t CountFiles(const std::wstring& folder) {
    size_t count = 0;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

// The items of the Recycle Bins of every drive.
size_t RecycledCount() {
    SHQUERYRBINFO bin{};
    bin.cbSize = sizeof(bin);
    return SUCCEEDED(SHQueryRecycleBinW(nullptr, &bin)) ? static_cast<size_t>(bin.i64NumItems) : 0;
}

class Unattended : public ::testing::Test {
protected:
    void SetUp() override {
        ArrangeProfileMachine(machine, folder);
        var.CheminAppli = folder.App();
        var.CheminDocuments = folder.Root() + L"\\Documents";
        // A machine Kestrane has met before: its original state is there.
        TakeOriginIfMissing(machine, folder.App());
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

    // The machine's own profile names the services the list protects: as they are, they are no error,
    // and not told as refused.
    EXPECT_EQ(Run({L"/appliquer", L"machine"}), 0);
    EXPECT_FALSE(Reported(L"service interdit, non modifié : RpcSs"));
    EXPECT_TRUE(Reported(L"opération éffectuée"));
    EXPECT_TRUE(Reported(L"services pas (encore) dans l'état voulu : 0"));
    EXPECT_EQ(Run({L"/sauvegarder", L"CON"}), 2);
    EXPECT_EQ(Run({L"/sauvegarder", L"a*b"}), 2);
    EXPECT_EQ(Run({L"/sauvegarder", L"machine.v2"}), 0);
    EXPECT_TRUE(FileExists(folder.App() + L"Config\\machine.v2.cfg"));
    // One rule for a bare name, whatever the verb: what /sauvegarder wrote, /comparer finds.
    EXPECT_EQ(Run({L"/comparer", L"machine.v2"}), 0);
    // A file that cannot be written is as one that cannot be read.
    EXPECT_EQ(Run({L"/sauvegarder", folder.Root() + L"\\absent\\x.cfg"}), 2);
    // A file dropped on the program is no command.
    EXPECT_FALSE(IsUnattended({folder.App() + L"Config\\machine.cfg"}));
    EXPECT_TRUE(IsUnattended({L"/comparer", L"machine.cfg"}));

    EXPECT_EQ(Run({L"/annuler"}), 0);
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Stopped");
    EXPECT_EQ(machine.Get(L"Fax")->StartMode, L"Manual");
    EXPECT_EQ(Run({L"/annuler"}), 0);
    EXPECT_TRUE(Reported(L"aucune application à annuler"));
}

TEST_F(Unattended, TheOriginalStateIsTakenOnceBeforeAnyChangeAndIsTheWayHome) {
    const std::wstring origin = OriginFile(folder.App());
    DeleteFileW(origin.c_str());
    RemoveDirectoryW(OriginFolder(folder.App()).c_str());
    const auto first = MachineSnapshot(machine);
    // The first run, whatever its command, takes it as a save writes the machine.
    EXPECT_EQ(Run({L"/comparer", L"profil.cfg"}), 1);
    EXPECT_EQ(report.front(), texts::kOriginTaken + origin);
    EXPECT_EQ(Run({L"/sauvegarder", L"machine"}), 0);
    EXPECT_FALSE(Reported(texts::kOriginTaken + origin));
    const std::string taken = ReadFileBytes(origin);
    EXPECT_EQ(taken, ReadFileBytes(folder.App() + L"Config\\machine.cfg"));
    EXPECT_EQ(Run({L"/comparer", L"/origine"}), 0);

    // Three applications and an undo leave it as it was.
    folder.Write(L"Config\\a.cfg", "\"Fax\",\"Running\",\"Auto\",\"\"\r\n\"wuauserv\",\"Stopped\",\"Manual\",\"\"\r\n");
    folder.Write(L"Config\\b.cfg", "\"Client\",\"Stopped\",\"Disabled\",\"\"\r\n\"Base\",\"Stopped\",\"Manual\",\"\"\r\n");
    folder.Write(L"Config\\c.cfg", "\"Audiosrv\",\"Stopped\",\"Disabled\",\"\"\r\n\"Fax\",\"Stopped\",\"Disabled\",\"\"\r\n");
    for (const wchar_t* file : {L"a.cfg", L"b.cfg", L"c.cfg", L"a.cfg"}) EXPECT_EQ(Run({L"/appliquer", file, L"/forcer"}), 0) << file;
    EXPECT_EQ(Run({L"/annuler"}), 0);
    const auto changed = MachineSnapshot(machine);
    EXPECT_NE(changed, first);
    EXPECT_EQ(ReadFileBytes(origin), taken);
    EXPECT_EQ(Run({L"/comparer", L"/origine"}), 1);
    EXPECT_EQ(report.front(), texts::kOriginCompareHeading + origin);

    // Going back brings every service back, guarded as any application (Audiosrv, marked 0, needs /forcer),
    // and can itself be undone.
    EXPECT_EQ(Run({L"/origine"}), 1);
    EXPECT_TRUE(Reported(L"service interdit, non modifié : Audiosrv"));
    EXPECT_EQ(Run({L"/annuler"}), 0);
    EXPECT_EQ(MachineSnapshot(machine), changed);
    EXPECT_EQ(Run({L"/origine", L"/forcer"}), 0);
    EXPECT_EQ(report.front(), texts::kUnattendedUndoSaved + *LatestUndo(folder.App()));
    EXPECT_EQ(MachineSnapshot(machine), first);
    EXPECT_EQ(Run({L"/comparer", L"/origine"}), 0);
    EXPECT_EQ(Run({L"/annuler", L"/forcer"}), 0);
    EXPECT_EQ(MachineSnapshot(machine), changed);
    EXPECT_EQ(ReadFileBytes(origin), taken);

    // Gone with its folder left: taken again, and said so.
    DeleteFileW(origin.c_str());
    EXPECT_EQ(Run({L"/comparer", L"/origine"}), 0);
    EXPECT_EQ(report.front(), texts::kOriginTakenAgain + origin);
    // A first run that changes services takes it before the change.
    EXPECT_EQ(Run({L"/sauvegarder", L"avant"}), 0);
    DeleteFileW(origin.c_str());
    EXPECT_EQ(Run({L"/appliquer", L"b.cfg", L"/forcer"}), 0);
    EXPECT_EQ(report.front(), texts::kOriginTakenAgain + origin);
    EXPECT_EQ(ReadFileBytes(origin), ReadFileBytes(folder.App() + L"Config\\avant.cfg"));
    // Where it cannot be written, nothing is changed.
    DeleteFileW(origin.c_str());
    RemoveDirectoryW(OriginFolder(folder.App()).c_str());
    folder.Write(L"Config\\Origine", "un fichier, pas un dossier");
    machine.ClearCounts();
    EXPECT_EQ(Run({L"/appliquer", L"a.cfg", L"/forcer"}), 2);
    EXPECT_EQ(Run({L"/origine", L"/forcer"}), 2);
    EXPECT_EQ(report.front().rfind(texts::kOriginNotTaken, 0), 0u);
    EXPECT_TRUE(Controls().empty());
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
    // The undo of the forced change of Audiosrv is refused without /forcer: it says what it could not
    // restore, and the file is retired, not replayed by the next undo, which goes further back.
    undoFiles = UndoFiles(folder.App()).size();
    ASSERT_GE(undoFiles, 2u);
    std::wstring latest = *LatestUndo(folder.App());
    EXPECT_EQ(Run({L"/annuler"}), 1);
    EXPECT_TRUE(Reported(L"service interdit, non modifié : Audiosrv"));
    EXPECT_TRUE(Reported(L"non restauré : Audiosrv : mode de démarrage Auto, voulu Manual"));
    EXPECT_EQ(UndoFiles(folder.App()).size(), undoFiles - 1);
    std::wstring retired = UndoFolder(folder.App()) + L"echec-" + latest.substr(latest.find_last_of(L'\\') + 1);
    EXPECT_TRUE(FileExists(retired));
    EXPECT_TRUE(Reported(L"annulation incomplète, mise de côté sous : " + retired));
    EXPECT_NE(LatestUndo(folder.App()), latest);
}

TEST_F(Unattended, APrerequisiteIsGuardedAsTheRecordItselfAndNothingChangesWithoutAnUndoFile) {
    folder.Write(L"Config\\fax.cfg", "\"Fax\",\"Running\",\"Manual\",\"T\xE9l\xE9" "copie\"\r\n");
    // Fax needs Spooler, stopped here. Marked 1, Spooler refuses Fax's start, forced or not.
    folder.Write(L"liste\\interdit.txt", "\"Spooler\",1\r\n");
    EXPECT_EQ(Run({L"/appliquer", L"fax", L"/forcer"}), 1);
    EXPECT_TRUE(Reported(L"Fax : non démarré, car il faudrait démarrer Spooler, service interdit"));
    EXPECT_EQ(machine.Get(L"Spooler")->State, L"Stopped");
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Stopped");
    // Marked 0, it is refused unless forced.
    folder.Write(L"liste\\interdit.txt", "\"Spooler\",0\r\n");
    EXPECT_EQ(Run({L"/appliquer", L"fax"}), 1);
    EXPECT_EQ(machine.Get(L"Spooler")->State, L"Stopped");
    EXPECT_EQ(Run({L"/appliquer", L"fax", L"/forcer"}), 0);
    EXPECT_TRUE(Reported(L"service déconseillé, modifié : Spooler"));
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Running");

    // What the application would change cannot be read: no undo file could be written, so nothing is
    // done unless forced.
    machine.Get(L"Fax")->State = L"Stopped";
    machine.FailDependencies(true);
    machine.ClearCounts();
    EXPECT_EQ(Run({L"/appliquer", L"fax"}), 1);
    EXPECT_TRUE(Reported(L"ce que l'application va changer n'a pas pu être lu : aucune annulation ne sera possible "
                         L"(rien n'est changé ; /forcer pour appliquer quand même)"));
    EXPECT_TRUE(Controls().empty());
}

TEST_F(Unattended, ADisplayNameWithQuotesIsSavedAndReadBackWithoutShiftingTheOthers) {
    machine.Add({L"Vrai", L"Le \"vrai\" service, oui", L"Running", L"Auto", std::nullopt});
    machine.Add({L"Apres", L"Après", L"Stopped", L"Manual", std::nullopt});
    EXPECT_EQ(Run({L"/sauvegarder", L"guillemets"}), 0);
    std::vector<ConfigRecord> saved = ReadConfigFile(folder.App() + L"Config\\guillemets.cfg");
    ASSERT_EQ(saved.size(), 9u);
    EXPECT_EQ(saved[7].DisplayName, L"Le \"vrai\" service, oui");
    EXPECT_EQ(saved[8].Name, L"Apres");
    EXPECT_EQ(Run({L"/comparer", L"guillemets"}), 0);
    // A display name no reader could take back as it is never blocks a save: written with its quotes next to
    // a comma replaced, and said so. Only a service *name* that cannot be written refuses its own record; the
    // rest is saved, the exit code says something was refused.
    machine.Add({L"Pire", L"a\",\"b", L"Running", L"Auto", std::nullopt});
    EXPECT_EQ(Run({L"/sauvegarder", L"pire"}), 0);
    EXPECT_TRUE(Reported(texts::kSaveAdjusted + std::wstring(L"Pire")));
    EXPECT_EQ(ReadConfigFile(folder.App() + L"Config\\pire.cfg").back().DisplayName, L"a','b");
    // Nor does it block an application: the undo file keeps the service, its display name adjusted.
    machine.Get(L"Pire")->State = L"Stopped";
    EXPECT_EQ(Run({L"/appliquer", L"pire"}), 0);
    EXPECT_EQ(machine.Get(L"Pire")->State, L"Running");
    EXPECT_EQ(ReadConfigFile(*LatestUndo(folder.App())).front().Name, L"Pire");
    machine.Add({L"Mal\x01nom", L"Mal", L"Running", L"Auto", std::nullopt});
    const size_t keptBefore = CountFiles(ReplacedFolder(folder.App())) + RecycledCount();
    EXPECT_EQ(Run({L"/sauvegarder", L"pire"}), 1);
    EXPECT_TRUE(Reported(texts::kSaveRefused + std::wstring(L"Mal<U+0001>nom")));
    EXPECT_EQ(ReadConfigFile(folder.App() + L"Config\\pire.cfg").size(), 10u);
    // The file it replaced is kept where it can be found again.
    EXPECT_EQ(CountFiles(ReplacedFolder(folder.App())) + RecycledCount(), keptBefore + 1);
}

TEST_F(Unattended, AForbiddenTemplateRefusesItsInstanceAndTheReportSaysWhy) {
    AddPerUserServices(machine);
    folder.Write(L"liste\\interdit.txt", "\"CDPUserSvc\",1,\"Les appareils connect\xE9s en d\xE9pendent.\"\r\n");
    folder.Write(L"Config\\session.cfg", "\"CDPUserSvc_4a3b1\",\"Stopped\",\"Disabled\",\"Plateforme\"\r\n");
    EXPECT_EQ(Run({L"/appliquer", L"session", L"/forcer"}), 1);
    EXPECT_TRUE(Reported(L"CDPUserSvc_4a3b1 \u2192 CDPUserSvc_9f21c, service par utilisateur"));
    EXPECT_TRUE(Reported(L"service interdit, non modifié : CDPUserSvc_9f21c \u2014 Les appareils connectés en dépendent."));
    EXPECT_EQ(machine.Get(L"CDPUserSvc_9f21c")->State, L"Running");
    EXPECT_EQ(machine.Get(L"CDPUserSvc")->StartMode, L"Auto");
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

// Windows as it is: a service marked 1 behind a driver, three levels below the one started, is refused by
// /appliquer and /annuler alike; a trigger-start service Windows starts again is no difference; a second
// application waits for the first, or gives up after /attente: seconds.
TEST_F(Unattended, GuardBehindADriverTriggersAndOneApplicationAtATime) {
    AddServicesBehindADriver(machine);
    folder.Write(L"liste\\interdit.txt", "\"EventLog\",1\r\n");
    folder.Write(L"Config\\top.cfg", "\"Top\",\"Running\",\"Manual\",\"Haut\"\r\n");
    const std::wstring refusal = L"Top : non démarré, car il faudrait démarrer EventLog, service interdit";
    for (bool force : {false, true}) {
        EXPECT_EQ(Run(force ? std::vector<std::wstring>{L"/appliquer", L"top", L"/forcer"} : std::vector<std::wstring>{L"/appliquer", L"top"}), 1);
        EXPECT_TRUE(Reported(refusal));
    }
    SaveUndo(folder.App(), {{L"Top", L"Running", L"Manual", L"Haut"}}, SYSTEMTIME{2030, 1, 0, 1, 0, 0, 0, 0});
    EXPECT_EQ(Run({L"/annuler", L"/forcer"}), 1);
    EXPECT_TRUE(Reported(refusal));
    EXPECT_TRUE(machine.Events().empty());

    // Windows starts the trigger-start service again after it was stopped: told, not counted.
    machine.Add({L"Usb", L"Peripheriques", L"Running", L"Manual"});
    machine.Get(L"Usb")->TriggerStart = true;
    folder.Write(L"Config\\usb.cfg", "\"Usb\",\"Stopped\",\"Manual\",\"u\"\r\n");
    EXPECT_EQ(Run({L"/appliquer", L"usb"}), 0);
    ASSERT_TRUE(machine.FireTrigger(L"Usb"));
    EXPECT_EQ(Run({L"/comparer", L"usb"}), 0);
    EXPECT_TRUE(Reported(L"Usb : démarre et s'arrête à la demande de Windows (service à déclencheur), état Running"));

    // Another application holds the machine (another session, a scheduled task): this one gives up after its
    // wait, changing nothing, or goes on once the other has ended.
    OtherApplication other;
    machine.ClearCounts();
    EXPECT_EQ(Run({L"/appliquer", L"usb", L"/attente:0"}), 2);
    EXPECT_TRUE(Reported(texts::kLockTimeout));
    EXPECT_TRUE(Controls().empty());
    EXPECT_EQ(Run({L"/sauvegarder", L"pendant", L"/attente:0"}), 2);
    EXPECT_FALSE(folder.Exists(L"Config\\pendant.cfg"));
    other.EndAfter(300);
    ULONGLONG before = GetTickCount64();
    EXPECT_EQ(Run({L"/appliquer", L"usb", L"/attente:30"}), 0);  // waits for the other to end
    EXPECT_GE(GetTickCount64() - before, 200u);
    EXPECT_EQ(Run({L"/appliquer", L"usb", L"/attente:x"}), 2);
}

// Files that keep every character: a machine whose names the code page lacks is saved and compared equal,
// and an undo restores them; a line that is no whole record, a value that means nothing and a binary file
// get the same answer from every verb, naming the line.
TEST_F(Unattended, EveryCharacterIsKeptAndEveryLineIsOneRecord) {
    machine.Add({L"Usługa_ł", L"Служба печати", L"Running", L"Manual", std::nullopt});
    EXPECT_EQ(Run({L"/sauvegarder", L"unicode"}), 0);
    EXPECT_EQ(ReadFileBytes(folder.App() + L"Config\\unicode.cfg").substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(Run({L"/comparer", L"unicode"}), 0);
    // UTF-8 without a mark, as most editors write it: the service is found, stopped, and the undo restores it.
    folder.Write(L"Config\\stop.cfg", "\"Us\xC5\x82uga_\xC5\x82\",\"Stopped\",\"Manual\",\"x\"\n");
    EXPECT_EQ(Run({L"/appliquer", L"stop"}), 0);
    EXPECT_EQ(machine.Get(L"Usługa_ł")->State, L"Stopped");
    EXPECT_EQ(Run({L"/annuler"}), 0);
    EXPECT_EQ(machine.Get(L"Usługa_ł")->State, L"Running");

    // Three fields then four: no record is shifted into another; the file is refused, its line named.
    struct Case {
        const char* name;
        std::string bytes;
        const wchar_t* told;
    };
    std::string binary(4096, '\0');
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 7919u) >> 3);
    for (const Case& c : {Case{"three fields", "\"A\",\"Running\",\"Manual\"\r\n\"Fax\",\"Stopped\",\"Manual\",\"x\"\r\n", L"ligne 1"},
                          Case{"binary", binary, L"ligne 1"}}) {
        SCOPED_TRACE(c.name);
        folder.Write(L"Config\\mauvais.cfg", c.bytes);
        for (std::vector<std::wstring> verb : {std::vector<std::wstring>{L"/appliquer", L"mauvais"}, {L"/comparer", L"mauvais"},
                                               {L"/exporter:ansible", L"mauvais", folder.App() + L"sortie.yml"}}) {
            machine.ClearCounts();
            EXPECT_EQ(Run(verb), 2) << ToUtf8(verb[0]);
            EXPECT_NE(report.back().find(c.told), std::wstring::npos) << ToUtf8(report.back());
            EXPECT_TRUE(Controls().empty());
        }
        EXPECT_FALSE(folder.Exists(L"sortie.yml"));
    }
    // Values that mean nothing are applied as the format says (no effect), but told with their line, and
    // the answer is no longer "done".
    folder.Write(L"Config\\fautes.cfg", "\"Fax\",\"Running\",\"Manual\",\"x\"\r\n\"Spooler\",\"Stoped\",\"Disable\",\"y\"\r\n");
    for (const wchar_t* verb : {L"/appliquer", L"/comparer"}) {
        EXPECT_EQ(Run({verb, L"fautes"}), 1) << ToUtf8(verb);
        EXPECT_TRUE(Reported(L"Spooler : état « Stoped » inconnu, ligne 2"));
        EXPECT_TRUE(Reported(L"Spooler : mode de démarrage « Disable » inconnu, ligne 2"));
    }
}

}  // namespace
}  // namespace kestrane::test
