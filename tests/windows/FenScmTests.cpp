// The action commands of the main window against Wine's real Service Control Manager: a user's start,
// pause, resume, stop, start-mode changes and deletion of a test service, with what the window shows.
#include "TestSupport.h"

#include "base/CodePage.h"

#include "service/ScmServiceManager.h"

#include <memory>

namespace kestrane::test {
namespace {

std::wstring TestServiceProgram() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"kestrane_testsvc.exe";
}

class FenOnRealServices : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        app.services = &scm;
        registered.clear();
        name = L"KstFenTest" + std::to_wstring(GetCurrentProcessId());
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager, nullptr);
        std::wstring command = L"\"" + TestServiceProgram() + L"\" " + name;
        // A display name of its own too: one left by an earlier run that was cut short would refuse it (1078).
        std::wstring display = L"Service de test de la fenêtre " + std::to_wstring(GetCurrentProcessId());
        SC_HANDLE service = CreateServiceW(manager, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                           command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(service, nullptr) << "CreateService failed: " << GetLastError();
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        Open();
        ASSERT_TRUE(fen->CbNomSys.SelectText(name));
    }

    void TearDown() override {
        MainWindowTest::TearDown();
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        registered.push_back(name);
        for (const std::wstring& each : registered) {
            SC_HANDLE service = manager ? OpenServiceW(manager, each.c_str(), SERVICE_ALL_ACCESS) : nullptr;
            if (!service) continue;
            SERVICE_STATUS status;
            ControlService(service, SERVICE_CONTROL_STOP, &status);
            for (int i = 0; i < 100 && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED; ++i)
                Sleep(50);
            DeleteService(service);
            CloseServiceHandle(service);
        }
        if (manager) CloseServiceHandle(manager);
    }

    // Refreshes the fields as the user would, until the state shown is `state` or ten seconds passed.
    std::wstring WaitForState(const std::wstring& state) {
        for (int i = 0; i < 100 && fen->TbEtat.Text() != state; ++i) {
            Sleep(100);
            fen->OnMnuRefreshServ();
        }
        return fen->TbEtat.Text();
    }

    // Registers another test service program; stopped and deleted by the fixture.
    std::wstring Register(const std::wstring& role, const std::wstring& options, const std::wstring& dependsOn) {
        std::wstring other = name + role;
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        std::wstring command = L"\"" + TestServiceProgram() + L"\" " + other + L" " + options;
        std::wstring dependencies = dependsOn + L'\0';
        SC_HANDLE service = CreateServiceW(manager, other.c_str(), (L"Service " + role).c_str(), SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                           command.c_str(), nullptr, nullptr, dependencies.c_str(), nullptr, nullptr);
        EXPECT_NE(service, nullptr) << "CreateService failed: " << GetLastError();
        if (service) CloseServiceHandle(service);
        CloseServiceHandle(manager);
        registered.push_back(other);
        return other;
    }

    std::unique_ptr<ServiceManager> owned = CreateServiceManager();
    ServiceManager& scm = *owned;
    std::wstring name;
    std::vector<std::wstring> registered;
};

TEST_F(FenOnRealServices, ControlOrdersFromTheMenu) {
    EXPECT_EQ(fen->TbEtat.Text(), L"Stopped");
    EXPECT_EQ(fen->TbDemarre.Text(), L"Manual");
    EXPECT_EQ(fen->TbType.Text(), L"Own Process");
    EXPECT_NE(fen->TbChem.Text().find(L"kestrane_testsvc.exe"), std::wstring::npos);
    EXPECT_EQ(fen->CbNomVueTrier.SelectedText(), L"Service de test de la fenêtre " + std::to_wstring(GetCurrentProcessId()));

    fen->OnMnuStart();
    EXPECT_EQ(fen->LabEtat.Text(), L"la requête a été acceptée");
    EXPECT_EQ(WaitForState(L"Running"), L"Running");
    fen->OnBtStartServ();
    EXPECT_EQ(fen->LabEtat.Text(), L"Le service est déjà en cours d'exécution");

    fen->OnMnuPause();
    EXPECT_EQ(fen->LabEtat.Text(), L"la requête a été acceptée");
    EXPECT_EQ(WaitForState(L"Paused"), L"Paused");
    fen->OnMnuNoPause();
    EXPECT_EQ(fen->LabEtat.Text(), L"la requête a été acceptée");
    EXPECT_EQ(WaitForState(L"Running"), L"Running");

    fen->OnMnuSTop();
    EXPECT_EQ(fen->LabEtat.Text(), L"la requête a été acceptée");
    EXPECT_EQ(WaitForState(L"Stopped"), L"Stopped");
    EXPECT_EQ(fen->LabEtat.ToolTip(), L"la requête a été acceptée");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(FenOnRealServices, StartModesAndDeletionFromTheButtonsAndMenu) {
    fen->OnBtConfServAuto();
    EXPECT_EQ(fen->LabEtat.Text(), L"Le service a été modifié avec succès");
    EXPECT_EQ(fen->TbDemarre.Text(), L"Auto");
    fen->OnBtConfServStop();
    EXPECT_EQ(fen->TbDemarre.Text(), L"Disabled");
    fen->OnMnuStart();
    EXPECT_EQ(fen->LabEtat.Text(), L"Le service a été désactivé du système");
    fen->OnMnuManuel();
    EXPECT_EQ(fen->TbDemarre.Text(), L"Manual");

    dialogs.answers = {IDYES};
    fen->OnMnuSupServ();
    EXPECT_EQ(fen->LabEtat.Text(), L"Le service a été modifié avec succès");
    EXPECT_FALSE(scm.Find(name).has_value());
    EXPECT_EQ(fen->TbEtat.Text(), L"");
    // The lists still hold it until they are reloaded; then it is gone.
    EXPECT_EQ(fen->CbNomSys.SelectedText(), name);
    fen->OnMnuRefresh();
    EXPECT_EQ(fen->CbNomSys.FindExact(name), -1);
}

TEST_F(FenOnRealServices, ForbiddenServiceIsNotTouched) {
    folder.Write(L"liste\\interdit.txt", "\"" + std::string(name.begin(), name.end()) + "\",1\r\n");
    fen->OnMnuStart();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, L"danger");
    Sleep(300);
    fen->OnMnuRefreshServ();
    EXPECT_EQ(fen->TbEtat.Text(), L"Stopped");
}

TEST_F(FenOnRealServices, AStopWaitsForADependentThatTakesTimeToStop) {
    std::wstring slow = Register(L"Lent", L"--slow-stop", name);
    ASSERT_EQ(scm.StartService(slow), ReturnCode::Success);  // starts the selected service first
    for (int i = 0; i < 100 && scm.Find(slow)->State != std::wstring(L"Running"); ++i) Sleep(50);
    ASSERT_TRUE(fen->CbNomSys.SelectText(name));
    ASSERT_EQ(fen->Combo1.SelectedText(), slow);
    fen->OnMnuSTop();
    EXPECT_EQ(fen->LabEtat.Text(), L"la requête a été acceptée");
    EXPECT_EQ(WaitForState(L"Stopped"), L"Stopped");
    EXPECT_EQ(scm.Find(slow)->State, std::wstring(L"Stopped"));
}

TEST_F(FenOnRealServices, AStartModeChangeFromTheWindowKeepsTheDependencies) {
    std::wstring dependent = Register(L"Dependant", L"", name);
    fen->OnMnuRefresh();
    ASSERT_TRUE(fen->CbNomSys.SelectText(dependent));
    fen->OnBtConfServAuto();
    EXPECT_EQ(fen->TbDemarre.Text(), L"Auto");
    EXPECT_EQ(Items(fen->Combo2), std::vector<std::wstring>{name});
    ASSERT_TRUE(fen->CbNomSys.SelectText(name));
    EXPECT_EQ(Items(fen->Combo1), std::vector<std::wstring>{dependent});
}

TEST_F(FenOnRealServices, ASavedConfigurationAppliedBringsTheServicesBack) {
    // Three services: the selected one running automatic, one that needs it stopped, one disabled.
    std::wstring needing = Register(L"Besoin", L"", name);
    std::wstring other = Register(L"Autre", L"", L"");
    ASSERT_EQ(scm.ChangeStartMode(name, L"Automatic"), ReturnCode::Success);
    ASSERT_EQ(scm.StartService(name), ReturnCode::Success);
    ASSERT_EQ(scm.ChangeStartMode(other, L"Disabled"), ReturnCode::Success);
    fen->OnMnuRefresh();
    ASSERT_TRUE(fen->CbNomSys.SelectText(name));
    EXPECT_EQ(WaitForState(L"Running"), L"Running");

    std::wstring profile = L"kst-" + std::to_wstring(GetCurrentProcessId());
    dialogs.inputs = {profile};
    fen->OnMnuSauveConf();
    ASSERT_EQ(dialogs.shown.back().text, L"sauvegarde terminée");

    // The user changes them: the first stopped and manual, the one needing it started, the disabled one manual.
    ASSERT_EQ(scm.ChangeStartMode(name, L"Manual"), ReturnCode::Success);
    ASSERT_EQ(scm.ChangeStartMode(other, L"Manual"), ReturnCode::Success);
    ASSERT_EQ(scm.StartService(needing), ReturnCode::Success);
    for (int i = 0; i < 100 && scm.Find(needing)->State != std::wstring(L"Running"); ++i) Sleep(50);
    ASSERT_EQ(scm.StopService(needing), ReturnCode::Success);  // back to stopped, but the selected one ...
    for (int i = 0; i < 100 && scm.Find(needing)->State != std::wstring(L"Stopped"); ++i) Sleep(50);
    ASSERT_EQ(scm.StopService(name), ReturnCode::Success);      // ... stopped too
    for (int i = 0; i < 100 && scm.Find(name)->State != std::wstring(L"Stopped"); ++i) Sleep(50);

    ASSERT_TRUE(fen->CbListeConf.SelectText(profile + L".cfg"));
    dialogs.shown.clear();
    fen->OnMnuChargeConf();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    // Wine's own services are in the file too. Some of them (its driver hosts) are marked for deletion and
    // refuse every change: they may be listed, ours must not be.
    const std::wstring& report = dialogs.shown[0].text;
    EXPECT_EQ(report.rfind(L"opération éffectuée", 0), 0u);
    for (const std::wstring& ours : {name, needing, other})
        EXPECT_EQ(report.find(L"\n" + ours + L" :"), std::wstring::npos) << "a change of ours was refused";
    for (int i = 0; i < 100 && scm.Find(name)->State != std::wstring(L"Running"); ++i) Sleep(50);
    EXPECT_EQ(scm.Find(name)->State, std::wstring(L"Running"));
    EXPECT_EQ(scm.Find(name)->StartMode, std::wstring(L"Auto"));
    EXPECT_EQ(scm.Find(needing)->State, std::wstring(L"Stopped"));
    EXPECT_EQ(scm.Find(needing)->StartMode, std::wstring(L"Manual"));
    EXPECT_EQ(scm.Find(other)->StartMode, std::wstring(L"Disabled"));
    // The dependency survived every start-mode change of the application.
    EXPECT_EQ(scm.ServicesDependedOn(needing), std::vector<std::wstring>{name});
    DeleteFileW((folder.App() + L"Config\\" + profile + L".cfg").c_str());
}

TEST_F(FenOnRealServices, AnApplicationUndoneLeavesEveryServiceAsItWas) {
    // The one needing the selected service is started (the selected one first, as its prerequisite),
    // the other disabled; the undo brings all three back, stopping the prerequisite too.
    std::wstring needing = Register(L"Besoin", L"", name);
    std::wstring other = Register(L"Autre", L"", L"");
    std::wstring profile = L"kst-undo-" + std::to_wstring(GetCurrentProcessId()) + L".cfg";
    folder.Write(L"Config\\" + profile, ToAnsi(L"\"" + needing + L"\",\"Running\",\"Auto\",\"Besoin\"\r\n\"" + other +
                                                L"\",\"Stopped\",\"Disabled\",\"Autre\"\r\n"));
    auto snapshot = [&] {
        std::vector<std::wstring> out;
        for (const std::wstring& each : {name, needing, other}) {
            std::optional<ServiceInfo> info = scm.Find(each);
            out.push_back(each + L" " + info->State.value_or(L"") + L" " + info->StartMode.value_or(L""));
        }
        return out;
    };
    std::vector<std::wstring> before = snapshot();
    fen->ChargeListeConf();
    ASSERT_TRUE(fen->CbListeConf.SelectText(profile));
    fen->OnMnuChargeConf();
    for (int i = 0; i < 100 && scm.Find(needing)->State != std::wstring(L"Running"); ++i) Sleep(50);
    EXPECT_EQ(scm.Find(needing)->State, std::wstring(L"Running"));
    EXPECT_EQ(scm.Find(name)->State, std::wstring(L"Running"));
    EXPECT_EQ(scm.Find(other)->StartMode, std::wstring(L"Disabled"));

    dialogs.shown.clear();
    dialogs.answers = {IDYES};  // the undo asks first
    fen->OnMnuAnnulerAppli();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].text.rfind(L"opération éffectuée\n", 0), 0u) << dialogs.shown[1].text;
    for (int i = 0; i < 100 && snapshot() != before; ++i) Sleep(50);
    EXPECT_EQ(snapshot(), before);
    DeleteFileW((folder.App() + L"Config\\" + profile).c_str());
}

}  // namespace
}  // namespace kestrane::test
