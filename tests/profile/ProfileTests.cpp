// The profile layer without a window, on the simulated machine: applying a configuration, working out
// what an application would do, undo files.
#include "Scratch.h"

#include "profile/Apply.h"
#include "profile/Plan.h"
#include "profile/Undo.h"
#include "profile/Export.h"
#include "base/CodePage.h"
#include "base/TextFile.h"

#include <algorithm>
#include <mutex>
#include <set>

namespace kestrane::test {
namespace {

using Op = SimulatedServiceManager::Op;
using Kind = PlanLine::Kind;

class Progress : public ApplyProgress {
public:
    int maximum = -1;
    std::vector<int> values;
    void SetMaximum(int m) override { maximum = m; }
    void SetValue(int v) override { values.push_back(v); }
};

class Applying : public ::testing::Test {
protected:
    void SetUp() override { AddDemoServices(machine); }
    ApplyReport Apply(const std::string& content, const std::string& list = "") {
        folder.Write(L"Config\\essai.cfg", content);
        machine.ClearCounts();
        return AppliqueConf(machine, folder.App() + L"Config\\essai.cfg", ParseForbiddenList(list), progress);
    }
    void Chain() {
        machine.Add({L"A", L"Service A", L"Stopped"});
        machine.Add({L"B", L"Service B", L"Stopped", L"Manual", std::nullopt, L"b.exe", L"LocalSystem", L"Own Process", {L"A"}});
        machine.Add({L"C", L"Service C", L"Stopped", L"Manual", std::nullopt, L"c.exe", L"LocalSystem", L"Own Process", {L"B"}});
    }
    SimulatedServiceManager machine;
    ScratchFolder folder;
    Progress progress;
};

TEST_F(Applying, StartModesFirstThenStatesInDependencyOrder) {
    Chain();
    ApplyReport report = Apply("\"C\",\"Running\",\"Manual\",\"c\"\r\n\"B\",\"Running\",\"Auto\",\"b\"\r\n"
                               "\"A\",\"Running\",\"Manual\",\"a\"\r\n");
    EXPECT_EQ(report.outcome, ApplyReport::Outcome::Done);
    EXPECT_TRUE(report.Clean());
    // Every record's start mode in pass 1, even where it is already so; then A, B, C whatever the file order.
    EXPECT_EQ(machine.MethodLog(), (std::vector<std::wstring>{L"mode Manual:C", L"mode Automatic:B", L"mode Manual:A",
                                                              L"start:A", L"start:B", L"start:C"}));
    EXPECT_EQ(progress.maximum, 4 * 3 + 5);
    std::vector<int> expected(12);
    for (int i = 0; i < 12; ++i) expected[i] = i + 1;
    EXPECT_EQ(progress.values, expected);
    // One inventory to learn and one as each pass that starts or stops begins (Windows may have started or
    // stopped a service meanwhile), one dependency pass, no lookup per record, at most 2R method calls.
    EXPECT_EQ(machine.Calls(Op::Inventory), 4);
    EXPECT_EQ(machine.Calls(Op::Find), 0);
    EXPECT_EQ(machine.Calls(Op::Dependents), 3);
    EXPECT_EQ(machine.Calls(Op::DependedOn), 3);
    EXPECT_LE(machine.MethodLog().size(), 6u);

    // A service the pass finds stopped is sent no stop (C); one that a start earlier in the same pass
    // started (B, for D, which E needs) is sent one all the same.
    machine.Add({L"D", L"Service D", L"Stopped", L"Manual", std::nullopt, L"d.exe", L"LocalSystem", L"Own Process", {L"B"}});
    machine.Add({L"E", L"Service E", L"Stopped", L"Manual", std::nullopt, L"e.exe", L"LocalSystem", L"Own Process", {L"D"}});
    for (const wchar_t* name : {L"A", L"B", L"C"}) machine.Get(name)->State = L"Stopped";
    report = Apply("\"D\",\"Running\",\"Manual\",\"d\"\r\n\"B\",\"Stopped\",\"Manual\",\"b\"\r\n"
                   "\"C\",\"Stopped\",\"Manual\",\"c\"\r\n");
    std::vector<std::wstring> log = machine.MethodLog();
    std::string said;
    for (const std::wstring& call : log) said += ToUtf8(call) + " ";
    EXPECT_EQ(std::count(log.begin(), log.end(), L"stop:B"), 1) << said;
    EXPECT_EQ(std::count(log.begin(), log.end(), L"stop:C"), 0) << said;
}

TEST_F(Applying, OtherValuesChangeNothingAndEmptyNamesAreSkipped) {
    ApplyReport report = Apply("\"Spooler\",\"Paused\",\"Boot\",\"x\"\r\n\"\",\"Running\",\"Auto\",\"vide\"\r\n"
                               "\"Fax\",\"Start Pending\",\"System\",\"y\"\r\n\"Audiosrv\",\"running\",\"auto\",\"z\"\r\n");
    EXPECT_EQ(report.outcome, ApplyReport::Outcome::Done);
    EXPECT_TRUE(machine.MethodLog().empty());
    EXPECT_EQ(progress.maximum, 4 * 3 + 5);
    EXPECT_EQ(progress.values.back(), 12);
    EXPECT_LE(*std::max_element(progress.values.begin(), progress.values.end()), progress.maximum);
}

TEST_F(Applying, RefusalsAbsencesAndTheForbiddenListAreReported) {
    machine.ForceCode(Op::Start, L"Fax", ReturnCode::ServiceDisabled);
    machine.ForceCode(Op::ChangeStartMode, L"Audiosrv", ReturnCode::AccessDenied);
    ApplyReport report = Apply("\"Fax\",\"Running\",\"Manual\",\"f\"\r\n\"Absent\",\"Running\",\"Auto\",\"a\"\r\n"
                               "\"Spooler\",\"Stopped\",\"Disabled\",\"s\"\r\n\"rpcss\",\"Stopped\",\"Manual\",\"r\"\r\n"
                               "\"Audiosrv\",\"Running\",\"Manual\",\"au\"\r\n",
                               "\"RpcSs\",1\r\n\"Spooler\",0\r\n");
    EXPECT_EQ(report.outcome, ApplyReport::Outcome::Done);
    // The forbidden one is untouched (its name in another case does not help); the discouraged one changed.
    for (const std::wstring& call : machine.MethodLog()) EXPECT_EQ(call.find(L"rpcss"), std::wstring::npos);
    EXPECT_NE(std::find(machine.MethodLog().begin(), machine.MethodLog().end(), L"mode Disabled:Spooler"),
              machine.MethodLog().end());
    EXPECT_EQ(report.Lines(), (std::vector<std::wstring>{
                                  // in the order the calls were made: start modes first
                                  L"Audiosrv : accès refusé : service protégé par Windows",
                                  // Spooler, which Fax needs, was just disabled: the start is not sent.
                                  L"Fax : Le service n'a pas pu trouver le service nécessaire à partir d'un service dépendant",
                                  L"service absent de cette machine : Absent",
                                  L"service interdit, non modifié : rpcss",
                                  L"service déconseillé, modifié : Spooler",
                                  // The file wants Spooler stopped and Fax, which needs it, running.
                                  L"Spooler : voulu arrêté, mais nécessaire à Fax, voulu démarré",
                              }));
}

// The simulated machine behind a lock, taking calls from several threads as the service database does:
// an application then changes its start modes together.
class ConcurrentMachine : public ServiceManager {
    template <typename F>
    auto Locked(F f) {
        std::lock_guard<std::mutex> hold(lock_);
        return f();
    }

public:
    explicit ConcurrentMachine(SimulatedServiceManager& machine) : machine_(machine) {}
    bool TakesConcurrentCalls() const override { return true; }
    std::set<DWORD> threads;  // the threads that changed a start mode

    std::vector<ServiceEntry> Inventory(bool modes) override { return Locked([&] { return machine_.Inventory(modes); }); }
    std::optional<ServiceInfo> Find(const std::wstring& n) override { return Locked([&] { return machine_.Find(n); }); }
    std::vector<Text> StartModes(const std::vector<std::wstring>& n) override { return Locked([&] { return machine_.StartModes(n); }); }
    int StartService(const std::wstring& n) override { return Locked([&] { return machine_.StartService(n); }); }
    int StopService(const std::wstring& n) override { return Locked([&] { return machine_.StopService(n); }); }
    int PauseService(const std::wstring& n) override { return Locked([&] { return machine_.PauseService(n); }); }
    int ResumeService(const std::wstring& n) override { return Locked([&] { return machine_.ResumeService(n); }); }
    int ChangeStartMode(const std::wstring& n, const std::wstring& m) override {
        Sleep(1);  // long enough for the threads to overlap
        return Locked([&] {
            threads.insert(GetCurrentThreadId());
            return machine_.ChangeStartMode(n, m);
        });
    }
    int Delete(const std::wstring& n) override { return Locked([&] { return machine_.Delete(n); }); }
    int SetDelayedAutoStart(const std::wstring& n, bool d) override { return Locked([&] { return machine_.SetDelayedAutoStart(n, d); }); }
    bool WaitWhilePending(const std::wstring& n) override { return Locked([&] { return machine_.WaitWhilePending(n); }); }
    std::vector<std::wstring> DependentServices(const std::wstring& n) override { return Locked([&] { return machine_.DependentServices(n); }); }
    std::vector<std::wstring> ServicesDependedOn(const std::wstring& n) override { return Locked([&] { return machine_.ServicesDependedOn(n); }); }

private:
    SimulatedServiceManager& machine_;
    std::mutex lock_;
};

TEST_F(Applying, StartModesChangedTogetherReportAsWhenChangedOneByOne) {
    // Enough records for several threads, some refused, one discouraged, one forbidden.
    std::string file;
    for (int i = 0; i < 150; ++i) {
        std::wstring name = L"S" + std::to_wstring(1000 + i);
        machine.Add({name, name, L"Stopped", L"Manual"});
        if (i % 37 == 5) machine.ForceCode(Op::ChangeStartMode, name, ReturnCode::AccessDenied);
        file += "\"" + std::string(name.begin(), name.end()) + "\",\"Stopped\",\"" + (i % 2 ? "Auto" : "Disabled") + "\",\"x\"\r\n";
    }
    const std::string list = "\"S1003\",0\r\n\"S1004\",1\r\n";
    folder.Write(L"Config\\essai.cfg", file);
    std::vector<ConfigRecord> records = RecordsToApply(folder.App() + L"Config\\essai.cfg");
    SimulatedServiceManager serialMachine;
    AddDemoServices(serialMachine);
    for (int i = 0; i < 150; ++i) {
        std::wstring name = L"S" + std::to_wstring(1000 + i);
        serialMachine.Add({name, name, L"Stopped", L"Manual"});
        if (i % 37 == 5) serialMachine.ForceCode(Op::ChangeStartMode, name, ReturnCode::AccessDenied);
    }
    ApplyReport serial = ApplyRecords(serialMachine, records, ParseForbiddenList(list), progress, ApplyOrder::Configuration);
    ConcurrentMachine concurrent(machine);
    Progress together;
    ApplyReport report = ApplyRecords(concurrent, records, ParseForbiddenList(list), together, ApplyOrder::Configuration);
    EXPECT_GT(concurrent.threads.size(), 1u) << "the start modes were not changed together";
    EXPECT_EQ(report.Lines(), serial.Lines());
    EXPECT_EQ(report.callsMade, serial.callsMade);
    EXPECT_EQ(together.values, progress.values);
    EXPECT_EQ(MachineSnapshot(machine), MachineSnapshot(serialMachine));
    EXPECT_FALSE(report.refused.empty());
    // The closing check, trusting the start modes the application set, counts what reading them counts:
    // the refused ones among them.
    int counted = NotInWantedState(machine, records, 0);
    EXPECT_GT(counted, 0);
    machine.ClearCounts();
    EXPECT_EQ(NotInWantedState(machine, records, 0, {}, report.modesSet), counted);
    std::vector<std::wstring> modesRead;
    for (const std::wstring& call : machine.CallLog())
        if (call.rfind(L"mode:", 0) == 0) modesRead.push_back(call);
    EXPECT_EQ(modesRead.size(), records.size() - report.modesSet.size());
    // A service named twice ends with the start mode set last: it is read again.
    std::vector<ConfigRecord> twice = {{L"S1001", L"Stopped", L"Auto", L"x"}, {L"S1001", L"Stopped", L"Disabled", L"x"}};
    ApplyReport again = ApplyRecords(serialMachine, twice, {}, progress, ApplyOrder::Configuration);
    EXPECT_EQ(NotInWantedState(serialMachine, twice, 0), 1);
    EXPECT_EQ(NotInWantedState(serialMachine, twice, 0, {}, again.modesSet), 1);
}

class Planning : public ::testing::Test {
protected:
    void SetUp() override {
        ArrangeProfileMachine(machine, folder);
        machine.ClearCounts();
    }
    std::vector<std::wstring> Controls() const { return ControlCalls(machine); }
    std::map<std::wstring, ServiceState> Snapshot() { return MachineSnapshot(machine); }
    std::vector<ForbiddenEntry> Forbidden() { return *ReadForbiddenList(folder.App()); }
    std::vector<ConfigRecord> Records() { return RecordsToApply(folder.App() + L"Config\\profil.cfg"); }
    SimulatedServiceManager machine;
    ScratchFolder folder;
};

TEST_F(Planning, ThePreviewShowsEveryKindOfLineInTheOrderOfTheApplicationAndChangesNothing) {
    auto before = Snapshot();
    Plan plan = PlanApplication(machine, Records(), Forbidden());
    std::vector<std::wstring> texts;
    for (const PlanLine& line : plan.lines) texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::wstring>{
                         L"service interdit, non modifié : RpcSs",
                         L"service absent de cette machine : Absent",
                         L"wuauserv : mode de démarrage Disabled → Manual",
                         // Starts go from the services needing none to those needing others (Fax, last pass);
                         // stops the other way, so that those needing none (Audiosrv, Base) stop in the last
                         // pass too, each in its record's place.
                         L"Spooler : démarré d'abord, car nécessaire à Fax",
                         L"Fax : état Stopped → Running",
                         L"service déconseillé, sera modifié : Audiosrv",
                         L"Audiosrv : état Running → Stopped",
                         L"Base : état Running → Stopped",
                         L"Client : en cours d'exécution et dépendant de Base, dont l'arrêt sera refusé tant qu'il tourne",
                     }));
    std::set<Kind> kinds;
    for (const PlanLine& line : plan.lines) kinds.insert(line.kind);
    EXPECT_EQ(kinds.size(), 7u);
    // What an undo would bring back: the services changed, as they are now.
    EXPECT_EQ(plan.before, (std::vector<ConfigRecord>{{L"wuauserv", L"Stopped", L"Disabled", L"Windows Update"},
                                                       {L"Spooler", L"Stopped", L"Auto", L"Spouleur d'impression"},
                                                       {L"Fax", L"Stopped", L"Manual", L"Télécopie"},
                                                       {L"Audiosrv", L"Running", L"Auto", L"Audio Windows"},
                                                       // its stop held, kept all the same: Client may stop first
                                                       {L"Base", L"Running", L"Auto", L"Base"}}));
    EXPECT_TRUE(Controls().empty());
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(Planning, TheTenLatestUndoFilesAreKept) {
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

// A service the forbidden list refuses (Coeur, marked 1) or discourages (Delicat, marked 0), needed by
// others: started as a prerequisite it would escape the list.
class Guarded : public Applying {
protected:
    void SetUp() override {
        machine.Add({L"Coeur", L"Coeur", L"Stopped"});
        machine.Add({L"Delicat", L"Delicat", L"Stopped"});
        machine.Add({L"Client", L"Client", L"Stopped", L"Manual", std::nullopt, L"c.exe", L"LocalSystem", L"Own Process", {L"Coeur"}});
        machine.Add({L"Autre", L"Autre", L"Stopped", L"Manual", std::nullopt, L"a.exe", L"LocalSystem", L"Own Process", {L"Delicat"}});
    }
    std::vector<std::wstring> PreviewOf(const std::string& content, const std::string& list) {
        folder.Write(L"Config\\essai.cfg", content);
        std::vector<std::wstring> lines;
        for (const PlanLine& line : PlanApplication(machine, RecordsToApply(folder.App() + L"Config\\essai.cfg"),
                                                    ParseForbiddenList(list)).lines)
            lines.push_back(line.text);
        return lines;
    }
};

TEST_F(Guarded, APrerequisiteTheListRefusesRefusesTheStartInThePreviewAndTheApplication) {
    const std::string file = "\"Client\",\"Running\",\"Manual\",\"c\"\r\n\"Autre\",\"Running\",\"Manual\",\"a\"\r\n";
    const std::string list = "\"Coeur\",1\r\n\"Delicat\",0\r\n";
    EXPECT_EQ(PreviewOf(file, list), (std::vector<std::wstring>{
                                         L"Client : non démarré, car il faudrait démarrer Coeur, service interdit",
                                         L"service déconseillé, sera modifié : Delicat",
                                         L"Delicat : démarré d'abord, car nécessaire à Autre",
                                         L"Autre : état Stopped → Running",
                                     }));
    ApplyReport report = Apply(file, list);
    EXPECT_EQ(machine.Get(L"Coeur")->State, L"Stopped");
    EXPECT_EQ(machine.Get(L"Client")->State, L"Stopped");
    EXPECT_EQ(machine.Get(L"Autre")->State, L"Running");
    EXPECT_FALSE(report.Clean());
    EXPECT_EQ(report.Lines(), (std::vector<std::wstring>{L"Client : non démarré, car il faudrait démarrer Coeur, service interdit",
                                                          L"service déconseillé, modifié : Delicat"}));
    // The list's reason goes with each refusal and warning.
    const std::string reasoned = "\"Coeur\",1,\"Il tient tout.\"\r\n\"Delicat\",0,\"Pr\xE9" "f\xE9rez Manuel.\"\r\n";
    machine.Get(L"Autre")->State = L"Stopped";
    machine.Get(L"Delicat")->State = L"Stopped";
    std::vector<std::wstring> preview = PreviewOf(file, reasoned);
    EXPECT_EQ(preview[0], L"Client : non démarré, car il faudrait démarrer Coeur, service interdit \u2014 Il tient tout.");
    EXPECT_EQ(preview[1], L"service déconseillé, sera modifié : Delicat \u2014 Préférez Manuel.");
    report = Apply(file, reasoned);
    EXPECT_EQ(report.Lines()[1], L"service déconseillé, modifié : Delicat \u2014 Préférez Manuel.");
    // Where the list says nothing of it, the prerequisite is started as before.
    report = Apply(file, "");
    EXPECT_TRUE(report.Clean());
    EXPECT_EQ(machine.Get(L"Coeur")->State, L"Running");
}

TEST_F(Applying, WhatTheFileAsksButNoPassSetsIsToldAndWhatAlreadyMatchesIsNoError) {
    // Spooler wanted paused; Fax's start mode already Manual, the change refused all the same (as Wine's
    // own drivers refuse it); RpcSs forbidden but already as wanted.
    machine.ForceCode(Op::ChangeStartMode, L"Fax", ReturnCode::AccessDenied);
    ApplyReport report = Apply("\"Spooler\",\"Paused\",\"Auto\",\"s\"\r\n\"Fax\",\"Stopped\",\"Manual\",\"f\"\r\n"
                               "\"RpcSs\",\"Running\",\"Auto\",\"r\"\r\n",
                               "\"RpcSs\",1\r\n");
    EXPECT_TRUE(report.Clean());
    EXPECT_EQ(report.Lines(), std::vector<std::wstring>{L"Spooler : état Paused non appliqué"});
    // A paused service that the file wants running is resumed, not taken as running.
    machine.Get(L"Spooler")->State = L"Paused";
    report = Apply("\"Spooler\",\"Running\",\"Auto\",\"s\"\r\n");
    EXPECT_TRUE(report.Clean());
    EXPECT_EQ(machine.Get(L"Spooler")->State, L"Running");
    // The comparison tells a paused service from a stopped one.
    machine.Get(L"Spooler")->State = L"Stopped";
    std::vector<std::wstring> differences;
    for (const PlanLine& line : CompareMachine(machine, {{L"Spooler", L"Paused", L"Auto", L"s"}})) differences.push_back(line.text);
    EXPECT_EQ(differences, std::vector<std::wstring>{L"Spooler : état Stopped, voulu Paused"});
}

TEST_F(Applying, AFileThatContradictsItselfIsToldOnceInThePreviewTheReportAndTheComparison) {
    // Fax needs Spooler: the file wants Spooler stopped and Fax running.
    const std::string file = "\"Spooler\",\"Stopped\",\"Auto\",\"s\"\r\n\"Fax\",\"Running\",\"Manual\",\"f\"\r\n";
    const std::wstring conflict = L"Spooler : voulu arrêté, mais nécessaire à Fax, voulu démarré";
    folder.Write(L"Config\\essai.cfg", file);
    std::vector<ConfigRecord> records = RecordsToApply(folder.App() + L"Config\\essai.cfg");
    Plan plan = PlanApplication(machine, records, {});
    EXPECT_EQ(std::count_if(plan.lines.begin(), plan.lines.end(), [](const PlanLine& l) { return l.kind == Kind::Conflict; }), 1);
    EXPECT_EQ(plan.lines.front().text, conflict);
    std::vector<std::wstring> told = Apply(file).Lines();
    EXPECT_EQ(std::count(told.begin(), told.end(), conflict), 1);
    // The order of the calls is the application's as ever: Spooler stopped, then started again for Fax.
    EXPECT_EQ(machine.Get(L"Spooler")->State, L"Running");
    std::vector<std::wstring> differences;
    for (const PlanLine& line : CompareMachine(machine, records)) differences.push_back(line.text);
    EXPECT_EQ(differences, std::vector<std::wstring>{conflict});
}

TEST_F(Applying, AnAutomaticStartThatWaitsKeepsWaitingWhenTheFileWantsAuto) {
    machine.Get(L"Spooler")->DelayedAutoStart = true;
    folder.Write(L"Config\\essai.cfg", "\"Spooler\",\"Running\",\"Auto\",\"s\"\r\n");
    EXPECT_TRUE(PlanApplication(machine, RecordsToApply(folder.App() + L"Config\\essai.cfg"), {}).lines.empty());
    EXPECT_TRUE(Apply("\"Spooler\",\"Running\",\"Auto\",\"s\"\r\n").Clean());
    EXPECT_TRUE(machine.Get(L"Spooler")->DelayedAutoStart);
}

TEST_F(Applying, AnInterruptionDuringACallLeavesThatServiceAmongThoseNotHandled) {
    machine.FailCall(Op::Start, L"Fax");
    ApplyReport report = Apply("\"Audiosrv\",\"Running\",\"Auto\",\"a\"\r\n\"Fax\",\"Running\",\"Manual\",\"f\"\r\n");
    ASSERT_EQ(report.outcome, ApplyReport::Outcome::Interrupted);
    EXPECT_EQ(report.pending, std::vector<std::wstring>{L"Fax"});
}

TEST_F(Applying, AnUndoRestoresPausedAndDisabledServicesAndEndsItsFileWhateverHappens) {
    // What an undo file holds: Spooler was paused, Audiosrv running although disabled, Fax stopped, and a
    // service since removed from the machine.
    const std::vector<ConfigRecord> before = {{L"Spooler", L"Paused", L"Auto", L"s"},
                                              {L"Audiosrv", L"Running", L"Disabled", L"a"},
                                              {L"Fax", L"Stopped", L"Manual", L"f"}};
    machine.Get(L"Audiosrv")->State = L"Stopped";
    machine.Get(L"Audiosrv")->StartMode = L"Disabled";
    std::wstring file = SaveUndoFor({{}, before}, folder.App()).value();
    // Its preview is the undo's, not an application's: Audiosrv started before it is disabled, Spooler paused.
    std::vector<std::wstring> preview;
    for (const PlanLine& line : PlanApplication(machine, RecordsToApply(file), {}, ApplyOrder::Undo).lines)
        preview.push_back(line.text);
    EXPECT_NE(std::find(preview.begin(), preview.end(), L"Audiosrv : état Stopped \u2192 Running"), preview.end());
    EXPECT_NE(std::find(preview.begin(), preview.end(), L"Spooler : état Running \u2192 Paused"), preview.end());
    ApplyReport report = ApplyRecords(machine, RecordsToApply(file), {}, progress, ApplyOrder::Undo);
    EXPECT_TRUE(report.Clean()) << (report.Lines().empty() ? "" : ToUtf8(report.Lines()[0]));
    EXPECT_EQ(machine.Get(L"Spooler")->State, L"Paused");
    EXPECT_EQ(machine.Get(L"Audiosrv")->State, L"Running");
    EXPECT_EQ(machine.Get(L"Audiosrv")->StartMode, L"Disabled");
    EXPECT_TRUE(FinishUndo(machine, file, RecordsToApply(file)).empty());
    EXPECT_FALSE(FileExists(file));

    // One that names a service the machine lacks, and one the forbidden list refuses: each ends with
    // what was not restored, and its file is retired where no undo takes it again.
    std::wstring absent = SaveUndoFor({{}, {{L"Absent", L"Running", L"Auto", L"x"}}}, folder.App()).value();
    ApplyRecords(machine, RecordsToApply(absent), {}, progress, ApplyOrder::Undo);
    std::vector<std::wstring> lines = FinishUndo(machine, absent, RecordsToApply(absent));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"non restauré : service absent de cette machine : Absent");
    EXPECT_EQ(lines[1].rfind(L"annulation incomplète, mise de côté sous : ", 0), 0u);
    EXPECT_FALSE(FileExists(absent));
    EXPECT_FALSE(LatestUndo(folder.App()));
    machine.Get(L"Fax")->State = L"Running";
    std::wstring refused = SaveUndoFor({{}, {{L"Fax", L"Stopped", L"Manual", L"f"}}}, folder.App()).value();
    ApplyRecords(machine, RecordsToApply(refused), ParseForbiddenList("\"Fax\",1\r\n"), progress, ApplyOrder::Undo);
    lines = FinishUndo(machine, refused, RecordsToApply(refused));
    EXPECT_EQ(lines.front(), L"non restauré : Fax : état Running, voulu Stopped");
    EXPECT_FALSE(LatestUndo(folder.App()));
}

// A per-user template and this sign-in's instance of it; the file was saved at another sign-in.
class PerUserServices : public Applying {
protected:
    void SetUp() override {
        AddPerUserServices(machine);
    }
    const std::string saved = "\"CDPUserSvc_4a3b1\",\"Stopped\",\"Disabled\",\"Plateforme\"\r\n";
};

TEST_F(PerUserServices, ARecordOfAnotherSignInActsOnThisOnesInstanceAndOnItsTemplate) {
    folder.Write(L"Config\\essai.cfg", saved);
    std::vector<ConfigRecord> records = RecordsToApply(folder.App() + L"Config\\essai.cfg");
    Plan plan = PlanApplication(machine, records, {});
    std::vector<std::wstring> lines;
    for (const PlanLine& line : plan.lines) lines.push_back(line.text);
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"CDPUserSvc_4a3b1 \u2192 CDPUserSvc_9f21c, service par utilisateur",
                                                L"CDPUserSvc_9f21c : mode de démarrage Auto \u2192 Disabled",
                                                L"CDPUserSvc : mode de démarrage Auto \u2192 Disabled",
                                                L"CDPUserSvc_9f21c : état Running \u2192 Stopped"}));
    std::wstring undo = SaveUndoFor(plan, folder.App()).value();

    ApplyReport report = Apply(saved);
    EXPECT_TRUE(report.Clean());
    EXPECT_EQ(report.Lines(), std::vector<std::wstring>{L"CDPUserSvc_4a3b1 \u2192 CDPUserSvc_9f21c, service par utilisateur"});
    EXPECT_EQ(machine.Get(L"CDPUserSvc_9f21c")->StartMode, L"Disabled");
    EXPECT_EQ(machine.Get(L"CDPUserSvc_9f21c")->State, L"Stopped");
    EXPECT_EQ(machine.Get(L"CDPUserSvc")->StartMode, L"Disabled");  // what the next sign-in uses
    // The file as saved compares as the machine now is; the undo brings both back.
    for (const PlanLine& line : CompareMachine(machine, records)) EXPECT_EQ(line.kind, Kind::PerUser) << ToUtf8(line.text);
    ApplyRecords(machine, RecordsToApply(undo), {}, progress, ApplyOrder::Undo);
    EXPECT_TRUE(FinishUndo(machine, undo, RecordsToApply(undo)).empty());
    EXPECT_EQ(machine.Get(L"CDPUserSvc")->StartMode, L"Auto");
    EXPECT_EQ(machine.Get(L"CDPUserSvc_9f21c")->StartMode, L"Auto");
    EXPECT_EQ(machine.Get(L"CDPUserSvc_9f21c")->State, L"Running");

    // A fleet export sets the template, the one name every machine has.
    std::string playbook = AnsiblePlaybook(L"essai", ExportEntriesFor(machine, records, {}));
    EXPECT_NE(playbook.find("name: !unsafe 'CDPUserSvc'\n        start_mode: disabled"), std::string::npos) << playbook;
    EXPECT_EQ(playbook.find("_4a3b1'"), std::string::npos);
    EXPECT_EQ(playbook.find("_9f21c'"), std::string::npos);
}

TEST_F(PerUserServices, WithoutExactlyOneInstanceTheRecordIsAbsentAndSaysWhy) {
    SimService second{L"CDPUserSvc_77aa0", L"Plateforme_77aa0", L"Running", L"Auto"};
    second.perUser = PerUser::Instance;
    machine.Add(second);
    ApplyReport report = Apply(saved);
    EXPECT_EQ(report.absent, std::vector<std::wstring>{L"CDPUserSvc_4a3b1"});
    EXPECT_EQ(report.notes, std::vector<std::wstring>{L"CDPUserSvc_4a3b1 : absent, plusieurs instances du modèle de services "
                                                      L"par utilisateur CDPUserSvc : CDPUserSvc_9f21c, CDPUserSvc_77aa0"});
    EXPECT_EQ(machine.Get(L"CDPUserSvc")->StartMode, L"Auto");
    machine.Delete(L"CDPUserSvc_9f21c");
    machine.Delete(L"CDPUserSvc_77aa0");
    report = Apply(saved);
    EXPECT_EQ(report.notes, std::vector<std::wstring>{L"CDPUserSvc_4a3b1 : absent, aucune instance du modèle de services "
                                                      L"par utilisateur CDPUserSvc"});
}

TEST_F(PerUserServices, TheForbiddenListNamingTheTemplateCoversEveryInstance) {
    const std::string list = "\"CDPUserSvc\",1,\"Les appareils connect\xE9s en d\xE9pendent.\"\r\n";
    folder.Write(L"Config\\essai.cfg", saved);
    Plan plan = PlanApplication(machine, RecordsToApply(folder.App() + L"Config\\essai.cfg"), ParseForbiddenList(list));
    ASSERT_GE(plan.lines.size(), 2u);
    EXPECT_EQ(plan.lines[1].text, L"service interdit, non modifié : CDPUserSvc_9f21c \u2014 Les appareils connectés en dépendent.");
    ApplyReport report = Apply(saved, list);
    EXPECT_EQ(machine.Get(L"CDPUserSvc_9f21c")->State, L"Running");
    EXPECT_NE(std::find(report.forbidden.begin(), report.forbidden.end(), L"CDPUserSvc_9f21c"), report.forbidden.end());
    EXPECT_TRUE(machine.MethodLog().empty());
}

TEST(Prerequisites, ThePreviewStartsWhatTheServiceLayerStartsInTheSameOrder) {
    // A chain Haut needs Milieu needs Bas. With the middle one running, a start of Haut starts nothing
    // else (what Milieu needs is left alone); with it stopped, Bas first, then Milieu.
    for (const wchar_t* middle : {L"Running", L"Stopped"}) {
        SCOPED_TRACE(middle);
        SimulatedServiceManager chain;
        chain.Add({L"Bas", L"Bas", L"Stopped"});
        chain.Add({L"Milieu", L"Milieu", middle, L"Manual", std::nullopt, L"m.exe", L"LocalSystem", L"Own Process", {L"Bas"}});
        chain.Add({L"Haut", L"Haut", L"Stopped", L"Manual", std::nullopt, L"h.exe", L"LocalSystem", L"Own Process", {L"Milieu"}});
        Plan plan = PlanApplication(chain, {{L"Haut", L"Running", L"Manual", L"Haut"}}, {});
        std::vector<std::wstring> predicted;
        for (const PlanLine& line : plan.lines)
            if (line.kind == Kind::PrerequisiteStarted) predicted.push_back(line.name);

        chain.ClearCounts();
        ASSERT_EQ(chain.StartService(L"Haut"), ReturnCode::Success);
        std::vector<std::wstring> started;
        for (const std::wstring& call : chain.CallLog())
            if (call.rfind(L"prerequisite:", 0) == 0) started.push_back(call.substr(13));
        EXPECT_EQ(predicted, started);
        std::vector<std::wstring> expected;
        if (std::wstring(middle) == L"Stopped") expected = {L"Bas", L"Milieu"};
        EXPECT_EQ(started, expected);
    }
}

}  // namespace
}  // namespace kestrane::test
