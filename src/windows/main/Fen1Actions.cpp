// The commands of the "Action" menu, its pop-up and the command buttons: the forbidden-list guard decides
// on every service a command would change before any order is sent, and the service is selected again
// afterwards so that everything shown for it is reloaded.
#include "windows/resource.h"
#include "windows/main/Fen1.h"
#include "service/OrderReach.h"
#include "service/Programme.h"
#include "base/Texts.h"

namespace kestrane {

void Fen1::CommandeService(const std::wstring& nom, const std::wstring& ordre) {
    LabEtat.SetText(texts::kRequestRunning);
    OrderOutcome outcome = EnvoieOrdre(*app.services, nom, ordre);
    LabEtat.SetText(outcome.message);
    LabEtat.SetToolTip(outcome.message);
    Repaint();
    try {
        AfficheServ();
    } catch (...) {
        // The fields keep what they showed; the outcome of the order is already in the label.
    }
}

void Fen1::ModifDemarrage(const std::wstring& nom, const std::wstring& ordre) {
    LabEtat.SetText(texts::kRequestRunning);
    OrderOutcome outcome = EnvoieModif(*app.services, nom, ordre);
    // Unlike a control order, the tooltip keeps the message of the last control order.
    LabEtat.SetText(outcome.message);
    Repaint();
    try {
        AfficheServ();
    } catch (...) {
    }
}

void Fen1::VerifInterdit(const std::wstring& nom) {
    // Sets ModifAutorisee to false on a refusal, never back to true.
    for (const GuardStep& step : GuardSteps(var.CheminAppli, nom)) {
        if (step.kind == GuardStep::Kind::Ask) {
            if (app.dialogs->Message(Handle(), step.text, step.title, BoxStyle::InformationYesNo) == IDNO)
                var.ModifAutorisee = false;
        } else {
            app.dialogs->Message(Handle(), step.text, step.title, BoxStyle::ErrorOk);
            var.ModifAutorisee = false;
        }
    }
}

void Fen1::Reselect(int position) {
    // The selection refresh also brings CbNomVue and CbNomVueTrier to this position.
    CbNomSys.Select(position);
}

void Fen1::SingleServiceCommand(const wchar_t* order, bool startModeOrder) {
    if (!OriginBeforeChange(false)) return;
    var.ModifAutorisee = true;
    CommandScope command(*app.services);
    int position = CbNomSys.Selected();
    std::wstring name = CbNomSys.SelectedText();
    VerifInterdit(name);
    if (!var.ModifAutorisee) return;
    if (startModeOrder) ModifDemarrage(name, order);
    else CommandeService(name, order);
    Reselect(position);
}

bool Fen1::WithDependencies(const std::vector<std::wstring>& entries, bool start) {
    if (entries.empty() || entries.front() == texts::kNoDependency) return false;
    if (!MenuChecked(IDM_OPAUTO)) return true;
    const wchar_t* question = start ? texts::kStartDependencies : texts::kStopDependencies;
    return app.dialogs->Message(Handle(), question, texts::kDependencyTitle, BoxStyle::QuestionYesNo) != IDNO;
}

void Fen1::CommandWithDependencies(bool start) {
    if (!OriginBeforeChange(false)) return;
    var.ModifAutorisee = true;
    CommandScope command(*app.services);
    int position = CbNomSys.Selected();
    std::wstring name = CbNomSys.SelectedText();
    const wchar_t* order = start ? L"okstart" : L"okstop";
    ComboBox& dependencies = start ? Combo2 : Combo1;

    // Read the list before any order: the orders refresh the fields, never these lists.
    std::vector<std::wstring> entries;
    for (int i = 0; i < dependencies.Count(); ++i) entries.push_back(dependencies.Item(i));
    bool withDependencies = WithDependencies(entries, start);

    // The guard decides on every service the order changes, at any depth and drivers included, whatever
    // the answer about dependencies: without Kestrane starting them, Windows starts the prerequisites itself.
    OrderReach reach;
    {
        WaitCursor busy;
        reach = WhatOrderChanges(*app.services, name, start ? OrderKind::Start : OrderKind::Stop);
    }
    std::vector<std::wstring> others = reach.Others();
    for (const std::wstring& other : others) VerifInterdit(other);
    VerifInterdit(name);
    if (!var.ModifAutorisee) return;
    // What Windows would start with it cannot be read beyond a protected service: nobody can tell
    // whether the guard would let it.
    // A start Windows would refuse half-way (a prerequisite missing or disabled) would leave started what
    // comes before it: not sent, as an application does not send it. (A disabled service is refused
    // before anything starts: its start is sent, and answered.)
    if (start && reach.code != ReturnCode::Success && reach.code != ReturnCode::ServiceDisabled) {
        const wchar_t* why = ControlMessage(reach.code);
        LabEtat.SetText(why ? why : texts::kRequestRunning);
        return;
    }
    if (start && !reach.unreadable.empty()) {
        app.dialogs->Message(Handle(), texts::kGuardServiceLine + name + texts::kPrerequisiteUnreadable + reach.unreadable.front(),
                             texts::kGuardTitle, BoxStyle::ErrorOk);
        return;
    }

    if (withDependencies) {
        WaitCursor busy;
        // In the order they change: the deepest prerequisite first, or the dependents of others first. A
        // dependent still stopping holds what it depends on: each stop is waited for (as long as it makes
        // progress), the window painting meanwhile.
        for (const std::wstring& other : others) {
            CommandeService(other, order);
            if (!start) app.services->WaitWhilePending(other);
        }
    }
    CommandeService(name, order);
    Reselect(position);
}

void Fen1::OnMnuStart() { CommandWithDependencies(true); }
void Fen1::OnMnuSTop() { CommandWithDependencies(false); }
void Fen1::OnMnuPause() { SingleServiceCommand(L"okpause", false); }
void Fen1::OnMnuNoPause() { SingleServiceCommand(L"okreprise", false); }
void Fen1::OnMnuAuto() { SingleServiceCommand(L"auto", true); }
void Fen1::OnMnuAutoDiff() { SingleServiceCommand(L"autodiff", true); }
void Fen1::OnMnuManuel() { SingleServiceCommand(L"manu", true); }
void Fen1::OnMnuDesactive() { SingleServiceCommand(L"stop", true); }

void Fen1::OnMnuSupServ() {
    int answer = app.dialogs->Message(Handle(), texts::kDeleteQuestion, texts::kDeleteTitle, BoxStyle::ErrorYesNo);
    if (answer == IDNO) return;
    SingleServiceCommand(L"suprime", true);
}

void Fen1::OnMnuOpAuto() { SetMenuChecked(IDM_OPAUTO, !MenuChecked(IDM_OPAUTO)); }

// In creation mode the buttons record a choice instead of acting on the service: the marker of the
// choice turns light green, the others of its kind go back to the colour of an unmade choice.
namespace {
constexpr COLORREF kChosen = RGB(0x80, 0xFF, 0x80);
}

void Fen1::OnBtStartServ() {
    if (!CreationMode()) return OnMnuStart();
    var.EtatChoisi = L"Running";
    SetMarkerColour(LabStart, kChosen);
    SetMarkerColour(LabStop, GetSysColor(COLOR_ACTIVEBORDER));
}
void Fen1::OnBtStopServ() {
    if (!CreationMode()) return OnMnuSTop();
    var.EtatChoisi = L"Stopped";
    SetMarkerColour(LabStop, kChosen);
    SetMarkerColour(LabStart, GetSysColor(COLOR_ACTIVEBORDER));
}
void Fen1::OnBtConfServAuto() {
    if (!CreationMode()) return OnMnuAuto();
    var.ModeChoisi = L"Auto";
    SetMarkerColour(LabAuto, kChosen);
    SetMarkerColour(LabManu, GetSysColor(COLOR_ACTIVEBORDER));
    SetMarkerColour(LabDisa, GetSysColor(COLOR_ACTIVEBORDER));
}
void Fen1::OnBtConfServMAnu() {
    if (!CreationMode()) return OnMnuManuel();
    var.ModeChoisi = L"Manual";
    SetMarkerColour(LabManu, kChosen);
    SetMarkerColour(LabAuto, GetSysColor(COLOR_ACTIVEBORDER));
    SetMarkerColour(LabDisa, GetSysColor(COLOR_ACTIVEBORDER));
}
void Fen1::OnBtConfServStop() {
    if (!CreationMode()) return OnMnuDesactive();
    var.ModeChoisi = L"Disabled";
    SetMarkerColour(LabDisa, kChosen);
    SetMarkerColour(LabAuto, GetSysColor(COLOR_ACTIVEBORDER));
    SetMarkerColour(LabManu, GetSysColor(COLOR_ACTIVEBORDER));
}

void Fen1::OnRightButton(POINT client) {
    // Each caption that has a menu opens it; any other caption opens nothing; the background opens "Action".
    HMENU menu = MnuServ;
    if (Label3.Contains(client) || Label4.Contains(client)) {
        // Creation mode disables these menus: their pop-ups do not open meanwhile either.
        if (CreationMode()) return;
        menu = MnuAffiTri;
    } else if (LabListeConf.Contains(client)) {
        if (CreationMode()) return;
        menu = MnuConfService;
    } else {
        for (const Caption* caption : Captions())
            if (caption->Contains(client)) return;
    }
    POINT screen = client;
    ClientToScreen(Handle(), &screen);
    if (showPopup) showPopup(menu, screen);
}

void Fen1::OnRichTextRightButton() {
    POINT at{};
    GetCursorPos(&at);
    if (showPopup) showPopup(MnuServ, at);
}

}  // namespace kestrane
