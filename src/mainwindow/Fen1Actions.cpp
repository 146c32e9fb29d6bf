// The commands of the "Action" menu, its pop-up and the command buttons: each passes the guard before
// every order and selects the service again so that everything shown for it is reloaded.
#include "app/resource.h"
#include "mainwindow/Fen1.h"
#include "service/Programme.h"

namespace kestrane {

void Fen1::Reselect(int position) {
    // The selection refresh also brings CbNomVue and CbNomVueTrier to this position.
    CbNomSys.Select(position);
}

void Fen1::SingleServiceCommand(const wchar_t* order, bool startModeOrder) {
    var.ModifAutorisee = true;
    int position = CbNomSys.Selected();
    std::wstring name = CbNomSys.SelectedText();
    VerifInterdit(*this, name);
    if (!var.ModifAutorisee) return;
    if (startModeOrder) ModifDemarrage(*this, name, order);
    else CommandeService(*this, name, order);
    Reselect(position);
}

void Fen1::CommandWithDependencies(bool start) {
    var.ModifAutorisee = true;
    int position = CbNomSys.Selected();
    std::wstring name = CbNomSys.SelectedText();
    const wchar_t* order = start ? L"okstart" : L"okstop";
    ComboBox& dependencies = start ? Combo2 : Combo1;

    // Read the list before any order: the orders refresh the fields, never these lists.
    std::vector<std::wstring> entries;
    for (int i = 0; i < dependencies.Count(); ++i) entries.push_back(dependencies.Item(i));
    bool withDependencies = !entries.empty() && entries.front() != kNoDependency;
    if (withDependencies && MenuChecked(IDM_OPAUTO)) {
        const wchar_t* question = start ? L"voulez vous lancer un ordre de démarrage pour tous les services il depend?"
                                        : L"voulez vous lancer un ordre d'arrêt pour tous les services dependant?";
        if (app.dialogs->Message(Handle(), question, L"pratique", BoxStyle::QuestionYesNo) == IDNO)
            withDependencies = false;
    }
    if (withDependencies) {
        for (const std::wstring& dependency : entries) {
            VerifInterdit(*this, dependency);
            if (var.ModifAutorisee) CommandeService(*this, dependency, order);
        }
    }
    VerifInterdit(*this, name);
    if (!var.ModifAutorisee) return;
    CommandeService(*this, name, order);
    Reselect(position);
}

void Fen1::OnMnuStart() { CommandWithDependencies(true); }
void Fen1::OnMnuSTop() { CommandWithDependencies(false); }
void Fen1::OnMnuPause() { SingleServiceCommand(L"okpause", false); }
void Fen1::OnMnuNoPause() { SingleServiceCommand(L"okreprise", false); }
void Fen1::OnMnuAuto() { SingleServiceCommand(L"auto", true); }
void Fen1::OnMnuManuel() { SingleServiceCommand(L"manu", true); }
void Fen1::OnMnuDesactive() { SingleServiceCommand(L"stop", true); }

void Fen1::OnMnuSupServ() {
    int answer = app.dialogs->Message(
        Handle(), L"êtes vous sur de vouloir suprimmer ce service ?\nsi oui, la supression sera irréversible",
        L"ATTENTION", BoxStyle::ErrorYesNo);
    if (answer == IDNO) return;
    SingleServiceCommand(L"suprime", true);
}

void Fen1::OnMnuOpAuto() { SetMenuChecked(IDM_OPAUTO, !MenuChecked(IDM_OPAUTO)); }

// In creation mode the buttons record a choice instead of acting on the service.
void Fen1::OnBtStartServ() {
    if (!MenuChecked(IDM_CREERCONF)) OnMnuStart();
}
void Fen1::OnBtStopServ() {
    if (!MenuChecked(IDM_CREERCONF)) OnMnuSTop();
}
void Fen1::OnBtConfServAuto() {
    if (!MenuChecked(IDM_CREERCONF)) OnMnuAuto();
}
void Fen1::OnBtConfServMAnu() {
    if (!MenuChecked(IDM_CREERCONF)) OnMnuManuel();
}
void Fen1::OnBtConfServStop() {
    if (!MenuChecked(IDM_CREERCONF)) OnMnuDesactive();
}

void Fen1::OnRightButton(POINT screen) {
    if (showPopup) showPopup(MnuServ, screen);
}

}  // namespace kestrane
