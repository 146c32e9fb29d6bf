// The program run without a window, by a startup script, a scheduled task or a fleet tool:
//   Kestrane.exe /appliquer FICHIER.cfg | /comparer FICHIER.cfg | /comparer /origine | /origine
//                | /sauvegarder FICHIER.cfg | /annuler | /exporter:ansible FICHIER.cfg SORTIE.yml
//                | /exporter:powershell FICHIER.cfg SORTIE.ps1 | /exporter:gpo FICHIER.cfg SORTIE.inf
//                [/forcer] [/journal:FICHIER] [/attente:SECONDES]
// The report goes to the console the program was started from (and to the journal when named). The
// forbidden list guards as in the window, stricter: a service marked 0 is refused too unless /forcer.
// On the first run on a machine, whatever the command, the machine's original state is taken before
// anything changes (Config\Origine\); /origine goes back to it as an undo goes back.
// Applications, undos and saves wait for another application of the machine to end, up to /attente:
// seconds (600 by default).
// Exit codes: 0 everything done or matching, 1 something refused, failed or differing, 2 bad arguments,
// a file that cannot be read or written, or another application still running after the wait.
#pragma once

#include "service/ServiceManager.h"
#include "service/Variables.h"

#include <functional>
#include <string>
#include <vector>

namespace kestrane {

namespace ExitCode {
constexpr int Done = 0;
constexpr int Refused = 1;
constexpr int BadUse = 2;
}  // namespace ExitCode

// Whether the arguments (the program's name left out) ask for unattended use.
bool IsUnattended(const std::vector<std::wstring>& arguments);

// Runs the command of `arguments` on the machine `services` and in the folders of `var` (CheminAppli
// set), each line of the report given to `report`. Gives the exit code.
int RunUnattended(Variables& var, ServiceManager& services, const std::vector<std::wstring>& arguments,
                  const std::function<void(const std::wstring&)>& report);

// The whole of unattended use for the real program: folders, machine, console and journal.
int RunUnattendedProgram(const std::vector<std::wstring>& arguments);

}  // namespace kestrane
