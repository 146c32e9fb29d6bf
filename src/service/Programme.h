// The shared procedures that bring the main window up to date with the machine and send orders to
// services. Each works on the main window's controls and the program-wide variables.
#pragma once

#include <string>

namespace kestrane {

class Fen1;

// Texts shown for a service with nothing to display.
inline const wchar_t* const kNoDependency = L"pas de dependance";
inline const wchar_t* const kNoData = L"pas de donnnées a afficher";
inline const wchar_t* const kNoDescription =
    L"pas d'information disponnible. ce service n'est probablement pas un service natif sous windows.";
inline const wchar_t* const kRequestRunning = L"éxécution de la requête en cours";

// Fills Combo1 (services that depend on `name`) and Combo2 (services it depends on). Only appends: the
// caller clears both first. Failures go to the caller.
void ChargeDependances(Fen1& fen, const std::wstring& name);

// Shows path, start mode, state, account and type of the service selected in CbNomSys. Failures go
// to the caller.
void AfficheServ(Fen1& fen);

// Shows CheminAppli + relativePath + ".txt" in the upper text box, and the platform's description of
// the selected service in the lower one. Failures are absorbed.
void AfficheTexte(Fen1& fen, const std::wstring& relativePath);

// The French sentence for a method return code, or nullptr for a code outside 0..24.
const wchar_t* ControlMessage(int code);

// Sends a control order ("okstart", "okstop", "okpause", "okreprise") and reports it in LabEtat.
void CommandeService(Fen1& fen, const std::wstring& nom, const std::wstring& ordre);

// Changes the start mode ("auto", "manu", "stop") or deletes the service ("suprime"), reported in LabEtat.
void ModifDemarrage(Fen1& fen, const std::wstring& nom, const std::wstring& ordre);

// Checks `nom` against the forbidden list; may set ModifAutorisee to false, never to true.
void VerifInterdit(Fen1& fen, const std::wstring& nom);

// Refills CbListeConf with the configuration files of the configuration folder.
void ChargeListeConf(Fen1& fen);

}  // namespace kestrane
