#include "config/TextFile.h"
#include "mainwindow/Fen1.h"
#include "service/ForbiddenList.h"
#include "service/Programme.h"

namespace kestrane {

void VerifInterdit(Fen1& fen, const std::wstring& nom) {
    std::wstring path = fen.var.CheminAppli + L"liste\\interdit.txt";
    std::string content;
    bool readable = false;
    try {
        if (FileExists(path)) {
            content = ReadFileBytes(path);
            readable = true;
        }
    } catch (...) {
        // A list that cannot be read protects nothing: treat it as missing.
    }
    if (!readable) {
        fen.app.dialogs->Message(fen.Handle(),
                                 L"il manque le fichier des interdits dans la configuration\n"
                                 L"vous ne pourrez pas faire de modification tant que cette erreur n'est corrigée!",
                                 L"erreur sérieuse", BoxStyle::ErrorOk);
        fen.var.ModifAutorisee = false;
        return;
    }
    for (const ForbiddenEntry& entry : ParseForbiddenList(content)) {
        if (entry.Name != nom) continue;
        if (entry.mark == Mark::Discouraged) {
            int answer = fen.app.dialogs->Message(
                fen.Handle(), L"attention!\nla modification de ce service est déconseillée\nvoulez vous continuer?",
                L"danger", BoxStyle::InformationYesNo);
            if (answer == IDNO) fen.var.ModifAutorisee = false;
        } else if (entry.mark == Mark::Forbidden) {
            fen.app.dialogs->Message(fen.Handle(),
                                     L"modification de service interdite!\ncette manoeuvre est interdite afin de "
                                     L"préserver la stabilité de votre système",
                                     L"danger", BoxStyle::ErrorOk);
            fen.var.ModifAutorisee = false;
        }
    }
}

}  // namespace kestrane
