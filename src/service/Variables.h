// The program-wide variables, one instance owned by the application and reached by every window and
// procedure that needs them.
#pragma once

#include <string>

namespace kestrane {

struct Date {
    int day = 1;
    int month = 1;
    int year = 2000;
};

struct Variables {
    std::wstring CheminAppli;      // application folder, always ends with a backslash
    std::wstring CheminDocuments;  // user's documents folder, no trailing backslash
    int Jour = 0, Mois = 0, Annee = 0;  // start-up date, not refreshed while running
    int NbServices = 0;            // entries loaded by the last fill of the service lists
    bool SauveConfig = false;      // the next fill of the lists also writes NomConfig
    std::wstring NomConfig;        // file name of the configuration being saved
    bool ModifAutorisee = true;    // verdict of the forbidden-list guard
    std::wstring EtatChoisi;       // creation mode: state chosen for the selected service
    std::wstring ModeChoisi;       // creation mode: start mode chosen
    bool NouvelleConf = false;     // creation mode: the next addition starts a fresh file
    std::wstring FichierExterne;   // external editor: path of the configuration read
    std::wstring TitreExterne;     // external editor: its file name
};

}  // namespace kestrane
