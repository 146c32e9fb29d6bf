// Orders, start-mode changes, the forbidden-list guard and the action commands of the main window.
#include "TestSupport.h"

#include "windows/resource.h"
#include "service/Programme.h"

#include <richedit.h>

#include <algorithm>

namespace kestrane::test {
namespace {

using Op = SimulatedServiceManager::Op;

// A guard box's text: the message, then the line naming the service it is about.
std::wstring About(const wchar_t* message, const std::wstring& service) {
    return std::wstring(message) + L"\nservice : " + service;
}
const wchar_t* const kMissingList = texts::kGuardMissing;
const wchar_t* const kDiscouraged = texts::kGuardDiscouraged;
const wchar_t* const kForbidden = texts::kGuardForbidden;

class Orders : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        AddDemoServices(machine);
        Open();
        machine.ClearCounts();
    }
};

struct CodeCase {
    Op op;
    const wchar_t* order;
    int code;
    const wchar_t* label;
};

class OrderCodes : public Orders, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(OrderCodes, LabelAndTooltipShowTheMessageOfTheCode) {
    const CodeCase& c = GetParam();
    machine.ForceCode(c.op, L"Spooler", c.code);
    fen->CommandeService(L"Spooler", c.order);
    EXPECT_EQ(fen->LabEtat.Text(), c.label);
    EXPECT_EQ(fen->LabEtat.ToolTip(), c.label);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, OrderCodes,
    ::testing::Values(
        CodeCase{Op::Stop, L"okstop", 3,
                 L"Le service ne peut pas être arrêté car d'autres services qui sont en cours d'exécution en dépendent"},
        CodeCase{Op::Start, L"okstart", 10, L"Le service est déjà en cours d'exécution"},
        CodeCase{Op::Pause, L"okpause", 24, L"Le service est pour l'instant suspendu dans le système"},
        CodeCase{Op::Resume, L"okreprise", 0, L"la requête a été acceptée"},
        CodeCase{Op::Start, L"okstart", 25, L"éxécution de la requête en cours"}));

TEST_F(Orders, RealOutcomesOfTheSimulatedMachine) {
    fen->CommandeService(L"Spooler", L"okstop");  // Fax is stopped: nothing running depends on it
    EXPECT_EQ(fen->LabEtat.Text(), L"la requête a été acceptée");
    fen->CommandeService(L"RpcSs", L"okstop");  // Spooler no longer runs either: accepted
    EXPECT_EQ(fen->LabEtat.Text(), L"la requête a été acceptée");
    fen->CommandeService(L"wuauserv", L"okstart");
    EXPECT_EQ(fen->LabEtat.Text(), L"Le service a été désactivé du système");
    fen->CommandeService(L"Fax", L"okpause");
    EXPECT_EQ(fen->LabEtat.Text(), L"Le service n'a pas été démarré");
}

TEST_F(Orders, UnknownNameIsReportedAndNothingIsInvoked) {
    fen->CommandeService(L"NoSuchService", L"okstart");
    EXPECT_EQ(fen->LabEtat.Text(), L"service introuvable : NoSuchService");
    EXPECT_EQ(fen->LabEtat.ToolTip(), L"service introuvable : NoSuchService");
    fen->ModifDemarrage(L"NoSuchService", L"auto");
    EXPECT_EQ(fen->LabEtat.Text(), L"service introuvable : NoSuchService");
    EXPECT_TRUE(machine.MethodLog().empty());
}

TEST_F(Orders, FailuresOfTheServiceDatabaseShowInTheLabel) {
    machine.VanishAfterFind(L"Spooler");
    fen->CommandeService(L"Spooler", L"okstop");
    EXPECT_EQ(fen->LabEtat.Text(), L"Ce service est en cours de suppression du système");
    machine.FailFind(true);
    fen->CommandeService(L"RpcSs", L"okstop");
    EXPECT_EQ(fen->LabEtat.Text(), L"L'utilisateur n'a pas l'accès nécessaire");
    fen->ModifDemarrage(L"RpcSs", L"manu");
    EXPECT_EQ(fen->LabEtat.Text(), L"la demande de modification a généré une erreur et n'est pas effective");
    EXPECT_TRUE(fen->IsOpen());
}

TEST_F(Orders, FieldsShownAreThoseOfTheSelectedServiceAfterAnOrderToADependency) {
    fen->CbNomSys.Select(0);  // Spooler, which needs RpcSs
    fen->CommandeService(L"Fax", L"okstart");
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Running");
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"Spooler");
    EXPECT_EQ(fen->TbChem.Text(), L"C:\\Windows\\System32\\spoolsv.exe");
    machine.Get(L"Spooler")->State = L"Paused";
    fen->CommandeService(L"Fax", L"okstop");
    EXPECT_EQ(fen->TbEtat.Text(), L"Paused");
}

TEST_F(Orders, StartModeChangesAndDeletion) {
    fen->CbNomSys.Select(0);  // Spooler, running
    fen->CommandeService(L"Spooler", L"okpause");
    std::wstring tip = fen->LabEtat.ToolTip();
    fen->ModifDemarrage(L"Spooler", L"stop");
    EXPECT_EQ(fen->LabEtat.Text(), L"Le service a été modifié avec succès");
    EXPECT_EQ(fen->TbDemarre.Text(), L"Disabled");  // shown without a new selection
    EXPECT_EQ(fen->TbEtat.Text(), L"Paused");       // disabling does not stop it
    EXPECT_EQ(fen->LabEtat.ToolTip(), tip);         // the tooltip keeps the last control order
    fen->ModifDemarrage(L"Spooler", L"auto");
    EXPECT_EQ(fen->TbDemarre.Text(), L"Auto");
    fen->ModifDemarrage(L"Spooler", L"manu");
    EXPECT_EQ(fen->TbDemarre.Text(), L"Manual");
    machine.ForceCode(Op::ChangeStartMode, L"Spooler", 1);
    fen->ModifDemarrage(L"Spooler", L"auto");
    EXPECT_EQ(fen->LabEtat.Text(), L"La modification du type de démarrage du service n'a pas été prise en compte");
    machine.ForceCode(Op::ChangeStartMode, L"Spooler", 2);
    fen->ModifDemarrage(L"Spooler", L"auto");
    EXPECT_EQ(fen->LabEtat.Text(), L"la demande de modification a généré une erreur et n'est pas effective");

    machine.ClearCounts();
    fen->ModifDemarrage(L"Fax", L"suprime");
    EXPECT_EQ(machine.MethodLog(), (std::vector<std::wstring>{L"stop:Fax", L"delete:Fax"}));
    EXPECT_EQ(fen->LabEtat.Text(), L"Le service a été modifié avec succès");
    EXPECT_EQ(machine.Get(L"Fax"), nullptr);
}

// ---- The forbidden-list guard ----

class Guard : public Orders {
protected:
    void List(const std::string& content) { folder.Write(L"liste\\interdit.txt", content); }
};

TEST_F(Guard, ForbiddenServiceIsRefusedWithOneBox) {
    List("\"Spooler\",1\r\n\"RpcSs\",0\r\n");
    fen->VerifInterdit(L"Spooler");
    EXPECT_FALSE(fen->var.ModifAutorisee);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, L"danger");
    EXPECT_EQ(dialogs.shown[0].text, About(kForbidden, L"Spooler"));
    EXPECT_EQ(dialogs.shown[0].style, 16);

    // The list says why: the box says it too, and a list whose reason cannot be read guards nothing.
    List("\"Spooler\",1,\"Sans lui, rien ne s'imprime.\"\r\n");
    dialogs.shown.clear();
    fen->VerifInterdit(L"Spooler");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, About(kForbidden, L"Spooler") + L"\npourquoi : Sans lui, rien ne s'imprime.");
    List("\"Spooler\",1,sans guillemets\r\n");
    dialogs.shown.clear();
    fen->var.ModifAutorisee = true;
    fen->VerifInterdit(L"Audiosrv");
    EXPECT_FALSE(fen->var.ModifAutorisee);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(dialogs.shown[0].text.find(L"liste des services interdits, ligne 1"), std::wstring::npos);
    // The file is there: the box says what is wrong with it, not that it is missing.
    EXPECT_EQ(dialogs.shown[0].text.rfind(texts::kGuardFaulty, 0), 0u);
    EXPECT_EQ(dialogs.shown[0].text.find(L"il manque"), std::wstring::npos);
}

TEST_F(Orders, AnAutomaticStartMayWaitForTheSystemAndThePlainOneDoesNot) {
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Fax"));
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_AUTODIFF, 0), 0);
    EXPECT_EQ(machine.Get(L"Fax")->StartMode, L"Auto");
    EXPECT_TRUE(machine.Get(L"Fax")->DelayedAutoStart);
    EXPECT_EQ(fen->TbDemarre.Text(), L"Automatique (début différé)");
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_AUTO, 0), 0);
    EXPECT_FALSE(machine.Get(L"Fax")->DelayedAutoStart);
    EXPECT_EQ(fen->TbDemarre.Text(), L"Auto");
    // Guarded as the other start modes.
    folder.Write(L"liste\\interdit.txt", "\"Fax\",1\r\n");
    machine.ClearCounts();
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_AUTODIFF, 0), 0);
    EXPECT_TRUE(machine.MethodLog().empty());
    // A service in a load-ordering group takes no delayed start: refused with its reason, the start mode
    // left as it was. One Windows starts on a trigger shows it beside its start mode.
    folder.Write(L"liste\\interdit.txt", "");
    machine.Get(L"Fax")->StartMode = L"Manual";
    machine.Get(L"Fax")->LoadOrderGroup = L"NetworkProvider";
    machine.Get(L"Fax")->TriggerStart = true;
    SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(IDM_AUTODIFF, 0), 0);
    EXPECT_EQ(machine.Get(L"Fax")->StartMode, L"Manual");
    EXPECT_EQ(fen->LabEtat.Text(), texts::kDelayedRefused);
    EXPECT_EQ(fen->TbDemarre.Text(), L"Manuel (déclencheur)");
}

TEST_F(Guard, DiscouragedServiceAsksAndNoRefuses) {
    List("\"RpcSs\",0\r\n");
    dialogs.answers = {IDYES, IDNO};
    fen->VerifInterdit(L"RpcSs");
    EXPECT_TRUE(fen->var.ModifAutorisee);
    fen->VerifInterdit(L"RpcSs");
    EXPECT_FALSE(fen->var.ModifAutorisee);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].text, About(kDiscouraged, L"RpcSs"));
    EXPECT_EQ(dialogs.shown[0].title, L"danger");
    EXPECT_EQ(dialogs.shown[0].style, 68);
    // The guard never sets the flag back: a Yes after a refusal leaves it false.
    dialogs.answers = {IDYES};
    fen->VerifInterdit(L"RpcSs");
    EXPECT_FALSE(fen->var.ModifAutorisee);
}

TEST_F(Guard, EveryRecordNamingTheServiceIsActedOnInFileOrder) {
    List("\"Spooler\",0\r\n\"Fax\",1\r\n\"Spooler\",1\r\n");
    dialogs.answers = {IDYES};
    fen->VerifInterdit(L"Spooler");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].style, 68);
    EXPECT_EQ(dialogs.shown[1].style, 16);
    EXPECT_FALSE(fen->var.ModifAutorisee);
}

TEST_F(Guard, NamesMatchAsTheServiceDatabaseComparesThemAndOtherMarksDoNothing) {
    // A display name never matches; another mark does nothing; a last record without its mark is ignored.
    List("\"Spouleur d'impression\",1\r\n\"RpcSs\",7\r\n\"Fax\"");
    for (const wchar_t* name : {L"Spooler", L"RpcSs", L"Fax", L"Audiosrv"}) fen->VerifInterdit(name);
    EXPECT_TRUE(fen->var.ModifAutorisee);
    EXPECT_TRUE(dialogs.shown.empty());

    // Letter case makes no difference, as for the service database: the list cannot be bypassed by it.
    List("\"AudioSrv\",0\r\n\"SPOOLER\",1\r\n");
    dialogs.answers = {IDYES};
    fen->VerifInterdit(L"Audiosrv");
    EXPECT_TRUE(fen->var.ModifAutorisee);
    fen->VerifInterdit(L"spooler");
    EXPECT_FALSE(fen->var.ModifAutorisee);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].text, About(kDiscouraged, L"Audiosrv"));
    EXPECT_EQ(dialogs.shown[1].text, About(kForbidden, L"spooler"));

    // A per-user template named covers each of its instances, whatever their suffix.
    List("\"CDPUserSvc\",1\r\n");
    dialogs.shown.clear();
    fen->var.ModifAutorisee = true;
    fen->VerifInterdit(L"CDPUserSvc_9f21c");
    EXPECT_FALSE(fen->var.ModifAutorisee);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, About(kForbidden, L"CDPUserSvc_9f21c"));
}

TEST_F(Guard, EmptyListAllowsEverything) {
    List("");
    fen->VerifInterdit(L"Spooler");
    EXPECT_TRUE(fen->var.ModifAutorisee);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Guard, MissingOrUnreadableListRefusesUntilRestored) {
    folder.Remove(L"liste\\interdit.txt");
    fen->VerifInterdit(L"Audiosrv");
    EXPECT_FALSE(fen->var.ModifAutorisee);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, L"erreur sérieuse");
    EXPECT_EQ(dialogs.shown[0].text, About(kMissingList, L"Audiosrv"));
    EXPECT_EQ(dialogs.shown[0].style, 16);

    // A list held open without sharing cannot be read: the same refusal, no change let through.
    List("\"Spooler\",0\r\n");
    HANDLE locked = CreateFileW((folder.App() + L"liste\\interdit.txt").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    fen->OnMnuPause();
    CloseHandle(locked);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].title, L"erreur sérieuse");
    EXPECT_TRUE(machine.MethodLog().empty());

    // Restored: the next command on the same selection is checked normally.
    dialogs.answers = {IDYES};
    fen->CbNomSys.Select(0);
    fen->OnMnuPause();
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[2].style, 68);
    EXPECT_EQ(machine.MethodLog(), (std::vector<std::wstring>{L"pause:Spooler"}));
}

// ---- Action commands ----

class Commands : public Orders {
protected:
    void SelectFax() {
        ASSERT_TRUE(fen->CbNomVueTrier.SelectText(L"Télécopie"));  // Fax needs Spooler then RpcSs
        machine.ClearCounts();
    }
};

TEST_F(Commands, StartSendsTheDependenciesFirstWithoutAsking) {
    machine.Get(L"Spooler")->State = L"Stopped";
    SelectFax();
    fen->OnMnuStart();
    EXPECT_TRUE(dialogs.shown.empty());
    // RpcSs already runs: it is neither checked nor sent an order.
    EXPECT_EQ(machine.MethodLog(), (std::vector<std::wstring>{L"start:Spooler", L"start:Fax"}));
    // The last order's outcome stays in the label; the refresh shows the service running.
    EXPECT_EQ(fen->LabEtat.Text(), L"la requête a été acceptée");
    EXPECT_EQ(fen->TbEtat.Text(), L"Running");
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"Fax");
}

TEST_F(Commands, AutomaticHandlingAsksFirst) {
    fen->OnMnuOpAuto();
    EXPECT_TRUE(fen->MenuChecked(IDM_OPAUTO));
    SelectFax();
    dialogs.answers = {IDNO};
    fen->OnMnuStart();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, L"pratique");
    EXPECT_EQ(dialogs.shown[0].style, 36);
    EXPECT_EQ(dialogs.shown[0].text, L"voulez vous lancer un ordre de démarrage pour tous les services il depend?");
    EXPECT_EQ(machine.MethodLog(), (std::vector<std::wstring>{L"start:Fax"}));

    // Stopping RpcSs, answered Yes: every active service that needs it, at any depth, is stopped first,
    // those needing others first (Fax needs Spooler, which needs RpcSs): Windows refuses a stop while a
    // dependent still runs.
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"RpcSs"));
    machine.ClearCounts();
    dialogs.answers = {IDYES};
    fen->OnMnuSTop();
    EXPECT_EQ(dialogs.shown.back().text, L"voulez vous lancer un ordre d'arrêt pour tous les services dependant?");
    EXPECT_EQ(machine.MethodLog(), (std::vector<std::wstring>{L"stop:Fax", L"stop:Spooler", L"stop:RpcSs"}));
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Stopped");
    EXPECT_EQ(machine.Get(L"Spooler")->State, L"Stopped");
    EXPECT_EQ(fen->LabEtat.Text(), L"la requête a été acceptée");
    EXPECT_EQ(fen->TbEtat.Text(), L"Stopped");
}

TEST_F(Commands, NoDependencyMeansNoQuestionAndOnlyTheService) {
    fen->OnMnuOpAuto();
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Audiosrv"));
    machine.ClearCounts();
    fen->OnBtStopServ();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(machine.MethodLog(), (std::vector<std::wstring>{L"stop:Audiosrv"}));
}

TEST_F(Commands, ForbiddenDependencyStopsEveryOrderOfTheCommand) {
    folder.Write(L"liste\\interdit.txt", "\"Spooler\",1\r\n");
    machine.Get(L"Spooler")->State = L"Stopped";
    SelectFax();
    fen->OnMnuStart();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, About(kForbidden, L"Spooler"));
    EXPECT_TRUE(machine.MethodLog().empty());
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"Fax");
    // Checked again from the start the next time: once allowed, the orders go.
    folder.Write(L"liste\\interdit.txt", "\"Spooler\",0\r\n");
    dialogs.answers = {IDYES};
    fen->OnBtStartServ();
    EXPECT_EQ(machine.MethodLog(), (std::vector<std::wstring>{L"start:Spooler", L"start:Fax"}));
}

// A service marked 1 three levels below the one started, behind a driver that no inventory lists: refused,
// whether the user lets Kestrane start the prerequisites ("Oui") or leaves them to Windows ("Non").
class BehindADriver : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        AddServicesBehindADriver(machine);
        Open();
        folder.Write(L"liste\\interdit.txt", "\"EventLog\",1\r\n");
        fen->OnMnuOpAuto();
        ASSERT_TRUE(fen->CbNomSys.SelectText(L"Top"));
        machine.ClearCounts();
    }
};

TEST_F(BehindADriver, TheMainWindowRefusesWithYesAndWithNo) {
    for (int answer : {IDYES, IDNO}) {
        dialogs.shown.clear();
        dialogs.answers = {answer};
        fen->OnMnuStart();
        ASSERT_EQ(dialogs.shown.size(), 2u);  // the question, then the refusal naming the service
        EXPECT_EQ(dialogs.shown[1].text.find(About(kForbidden, L"EventLog")), 0u);
        EXPECT_TRUE(machine.MethodLog().empty());
        EXPECT_TRUE(machine.Events().empty());
    }
}

TEST_F(Commands, TheGuardDecidesOnEveryServiceBeforeAnyOrder) {
    // The second prerequisite is forbidden and stopped: the first, allowed, is not started either.
    folder.Write(L"liste\\interdit.txt", "\"RpcSs\",1\r\n");
    machine.Get(L"Spooler")->State = L"Stopped";
    machine.Get(L"RpcSs")->State = L"Stopped";
    SelectFax();
    fen->OnMnuStart();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, About(kForbidden, L"RpcSs"));
    EXPECT_TRUE(machine.MethodLog().empty());

    // Stopping a forbidden service whose dependents run stops none of them.
    machine.Get(L"RpcSs")->State = L"Running";
    machine.Get(L"Spooler")->State = L"Running";
    machine.Get(L"Fax")->State = L"Running";
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"RpcSs"));
    machine.ClearCounts();
    dialogs.shown.clear();
    fen->OnMnuSTop();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, About(kForbidden, L"RpcSs"));
    EXPECT_TRUE(machine.MethodLog().empty());
    EXPECT_EQ(machine.Get(L"Spooler")->State, L"Running");
}

TEST_F(Commands, ARunningForbiddenPrerequisiteDoesNotHoldTheStart) {
    folder.Write(L"liste\\interdit.txt", "\"RpcSs\",1\r\n");
    machine.Get(L"Spooler")->State = L"Stopped";
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Spooler"));  // needs RpcSs, which runs
    machine.ClearCounts();
    fen->OnMnuStart();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(machine.MethodLog(), std::vector<std::wstring>{L"start:Spooler"});
    EXPECT_EQ(fen->TbEtat.Text(), L"Running");
}

TEST_F(Commands, MissingListShowsItsBoxOncePerCheck) {
    folder.Remove(L"liste\\interdit.txt");
    machine.Get(L"Spooler")->State = L"Stopped";
    machine.Get(L"RpcSs")->State = L"Stopped";
    SelectFax();
    fen->OnMnuStart();
    ASSERT_EQ(dialogs.shown.size(), 3u);
    // Each box names the service it is about, in the order of the checks: the order the start would
    // start them, the deepest prerequisite first.
    EXPECT_EQ(dialogs.shown[0].text, About(kMissingList, L"RpcSs"));
    EXPECT_EQ(dialogs.shown[1].text, About(kMissingList, L"Spooler"));
    EXPECT_EQ(dialogs.shown[2].text, About(kMissingList, L"Fax"));
    EXPECT_TRUE(machine.MethodLog().empty());
}

TEST_F(Commands, AStopWaitsForDependentsStillStoppingBeforeStoppingTheService) {
    machine.Get(L"Fax")->State = L"Running";
    machine.Get(L"Fax")->PendingSteps = 3;  // takes a while to stop
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Spooler"));  // Fax needs it
    machine.ClearCounts();
    fen->OnMnuSTop();
    EXPECT_EQ(machine.MethodLog(), (std::vector<std::wstring>{L"stop:Fax", L"stop:Spooler"}));
    const auto& calls = machine.CallLog();
    auto wait = std::find(calls.begin(), calls.end(), L"wait:Fax");
    auto stop = std::find(calls.begin(), calls.end(), L"stop:Spooler");
    EXPECT_LT(wait, stop) << "the service was stopped before its dependent had stopped";
    EXPECT_EQ(fen->LabEtat.Text(), L"la requête a été acceptée");
    EXPECT_EQ(machine.Get(L"Spooler")->State, L"Stopped");
}

TEST_F(Commands, SingleServiceCommandsAndTheirButtons) {
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Spooler"));
    machine.ClearCounts();
    fen->OnMnuPause();
    EXPECT_EQ(fen->TbEtat.Text(), L"Paused");
    fen->OnMnuNoPause();
    EXPECT_EQ(fen->TbEtat.Text(), L"Running");
    fen->OnBtConfServStop();
    EXPECT_EQ(fen->TbDemarre.Text(), L"Disabled");
    fen->OnBtConfServMAnu();
    EXPECT_EQ(fen->TbDemarre.Text(), L"Manual");
    fen->OnBtConfServAuto();
    EXPECT_EQ(fen->TbDemarre.Text(), L"Auto");
    EXPECT_EQ(machine.MethodLog(),
              (std::vector<std::wstring>{L"pause:Spooler", L"resume:Spooler", L"mode Disabled:Spooler",
                                         L"mode Manual:Spooler", L"undelayed:Spooler", L"mode Automatic:Spooler"}));
    EXPECT_EQ(fen->CbNomVueTrier.SelectedText(), L"Spouleur d'impression");
}

TEST_F(Commands, DeletionAskedFirstAndNoEndsIt) {
    ASSERT_TRUE(fen->CbNomSys.SelectText(L"Fax"));
    machine.ClearCounts();
    dialogs.answers = {IDNO};
    fen->OnMnuSupServ();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, L"ATTENTION");
    EXPECT_EQ(dialogs.shown[0].style, 20);
    EXPECT_EQ(dialogs.shown[0].text, L"êtes vous sur de vouloir suprimmer ce service ?\nsi oui, la supression sera irréversible");
    EXPECT_TRUE(machine.MethodLog().empty());

    dialogs.answers = {IDYES};
    fen->OnMnuSupServ();
    EXPECT_EQ(machine.MethodLog(), (std::vector<std::wstring>{L"stop:Fax", L"delete:Fax"}));
    EXPECT_EQ(fen->LabEtat.Text(), L"Le service a été modifié avec succès");
    // The lists keep the deleted service until they are reloaded.
    EXPECT_EQ(fen->CbNomSys.SelectedText(), L"Fax");
    EXPECT_EQ(fen->TbEtat.Text(), L"");
}

TEST_F(Commands, RightClickOpensTheActionMenuAndLeftClickDoesNot) {
    std::vector<HMENU> opened;
    fen->showPopup = [&](HMENU menu, POINT) { opened.push_back(menu); };
    SendMessageW(fen->Handle(), WM_LBUTTONDOWN, 0, MAKELPARAM(700, 20));
    SendMessageW(fen->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(700, 20));
    EXPECT_TRUE(opened.empty());
    SendMessageW(fen->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(440, 640));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], fen->MnuServ);
    // The rich text boxes pass their right clicks on to the window.
    for (RichText* box : {&fen->RichTextBox1, &fen->RichTextBox2}) {
        SendMessageW(box->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(box->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        SendMessageW(box->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    }
    EXPECT_EQ(opened.size(), 3u);
    // The pop-up is the menu bar's "Action" menu itself.
    EXPECT_EQ(GetSubMenu(GetMenu(fen->Handle()), 0), fen->MnuServ);
}

}  // namespace
}  // namespace kestrane::test
