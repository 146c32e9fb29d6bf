#include "service/Programme.h"

#include "config/TextFile.h"
#include "mainwindow/Fen1.h"

namespace kestrane {

namespace {

const wchar_t* const kControlMessages[] = {
    L"la requête a été acceptée",
    L"La requête n'est pas prise en charge",
    L"L'utilisateur n'a pas l'accès nécessaire",
    L"Le service ne peut pas être arrêté car d'autres services qui sont en cours d'exécution en dépendent",
    L"Le code de contrôle requis n'est pas valide ou n'est pas acceptable pour le service",
    L"Le code de contrôle requis ne peut pas être envoyé au service parce que l'état du service "
    L"(Win32_BaseService:State) est égal à 0, 1 ou 2",
    L"Le service n'a pas été démarré",
    L"Le service n'a pas répondu à la demande de démarrage dans les temps impartis",
    L"Échec inconnu lors du démarrage du service",
    L"Le chemin d'accès au répertoire à l'exécutable du service n'a pas été trouvé",
    L"Le service est déjà en cours d'exécution",
    L"La base de données sur laquelle ajouter un nouveau service est bloquée.",
    L"Une dépendance sur laquelle compte ce service a été supprimée du système",
    L"Le service n'a pas pu trouver le service nécessaire à partir d'un service dépendant",
    L"Le service a été désactivé du système",
    L"Le service n'a pas l'authentification correcte pour fonctionner sur le système",
    L"Ce service est en cours de suppression du système",
    L"Il n'y a pas de thread d'exécution pour le service",
    L"Il y a des dépendances circulaires lors du démarrage du service",
    L"Il y a un service en cours de fonctionnement sous le même nom",
    L"Il y a des caractères non valides dans le nom du service",
    L"Des paramètres non valides ont été passés au service",
    L"le compte sous lequel ce service doit fonctionner est soit invalide ou n'a pas les permissions pour faire "
    L"fonctionner le service",
    L"Le service existe dans la base de données des services disponibles à partir du système",
    L"Le service est pour l'instant suspendu dans le système",
};

const wchar_t* ModifyMessage(int code) {
    if (code == 0) return L"Le service a été modifié avec succès";
    if (code == 1) return L"La modification du type de démarrage du service n'a pas été prise en compte";
    return L"la demande de modification a généré une erreur et n'est pas effective";
}

std::wstring NotFoundMessage(const std::wstring& name) { return L"service introuvable : " + name; }

void FillList(ComboBox& list, const std::vector<std::wstring>& names) {
    for (const auto& n : names) list.Add(n);
    if (names.empty()) list.Add(kNoDependency);
    list.SelectQuietly(0);
}

void RefreshFields(Fen1& fen) {
    try {
        AfficheServ(fen);
    } catch (...) {
        // The fields keep what they showed; the outcome of the order is already in the label.
    }
}

}  // namespace

const wchar_t* ControlMessage(int code) {
    if (code < 0 || code >= static_cast<int>(sizeof(kControlMessages) / sizeof(kControlMessages[0]))) return nullptr;
    return kControlMessages[code];
}

void ChargeDependances(Fen1& fen, const std::wstring& name) {
    FillList(fen.Combo1, fen.app.services->DependentServices(name));
    FillList(fen.Combo2, fen.app.services->ServicesDependedOn(name));
}

void AfficheServ(Fen1& fen) {
    std::optional<ServiceInfo> info = fen.app.services->Find(fen.CbNomSys.SelectedText());
    auto show = [](Control& field, const Text& value) { field.SetText(value.value_or(L"")); };
    if (!info) info.emplace();
    show(fen.TbChem, info->PathName);
    show(fen.TbDemarre, info->StartMode);
    show(fen.TbEtat, info->State);
    show(fen.TbNomCompte, info->StartName);
    show(fen.TbType, info->ServiceType);
}

void AfficheTexte(Fen1& fen, const std::wstring& relativePath) {
    std::wstring file = fen.var.CheminAppli + relativePath + L".txt";
    try {
        if (!FileExists(file)) {
            fen.RichTextBox1.SetPlainText(kNoData);
        } else {
            try {
                fen.RichTextBox1.LoadFile(file);
            } catch (...) {
                // An unreadable text must not leave the previous service's text on show.
                fen.RichTextBox1.SetPlainText(kNoData);
            }
        }
    } catch (...) {
    }
    try {
        std::optional<ServiceInfo> info = fen.app.services->Find(fen.CbNomSys.SelectedText());
        if (!info) fen.RichTextBox2.SetPlainText(L"");
        else if (!info->Description) fen.RichTextBox2.SetPlainText(kNoDescription);
        else fen.RichTextBox2.SetPlainText(*info->Description);
    } catch (...) {
    }
}

void CommandeService(Fen1& fen, const std::wstring& nom, const std::wstring& ordre) {
    ServiceManager& services = *fen.app.services;
    fen.LabEtat.SetText(kRequestRunning);
    std::wstring caption = kRequestRunning;
    try {
        if (!services.Find(nom)) {
            // Nothing to send the order to: say so instead of reporting an accepted request.
            caption = NotFoundMessage(nom);
        } else {
            int result = 0;
            if (ordre == L"okstart") result = services.StartService(nom);
            else if (ordre == L"okstop") result = services.StopService(nom);
            else if (ordre == L"okpause") result = services.PauseService(nom);
            else if (ordre == L"okreprise") result = services.ResumeService(nom);
            if (const wchar_t* message = ControlMessage(result)) caption = message;
        }
    } catch (const ServiceError& e) {
        if (const wchar_t* message = ControlMessage(e.Code())) caption = message;
    }
    fen.LabEtat.SetText(caption);
    fen.LabEtat.SetToolTip(caption);
    fen.Repaint();
    RefreshFields(fen);
}

void ModifDemarrage(Fen1& fen, const std::wstring& nom, const std::wstring& ordre) {
    ServiceManager& services = *fen.app.services;
    std::wstring caption;
    try {
        bool found = services.Find(nom).has_value();
        fen.LabEtat.SetText(kRequestRunning);
        if (!found) {
            caption = NotFoundMessage(nom);
        } else {
            int result = 0;
            if (ordre == L"auto") result = services.ChangeStartMode(nom, L"Automatic");
            else if (ordre == L"stop") result = services.ChangeStartMode(nom, L"Disabled");
            else if (ordre == L"manu") result = services.ChangeStartMode(nom, L"Manual");
            else if (ordre == L"suprime") {
                services.StopService(nom);  // a service that refuses to stop is still asked to go
                result = services.Delete(nom);
            }
            caption = ModifyMessage(result);
        }
    } catch (const ServiceError& e) {
        caption = ModifyMessage(e.Code() == 0 ? 8 : e.Code());
    }
    fen.LabEtat.SetText(caption);
    fen.Repaint();
    RefreshFields(fen);
}

}  // namespace kestrane
