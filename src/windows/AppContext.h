// What the windows reach of the application: the program-wide variables, the machine's services, the
// dialogs, and the secondary windows. Tests put a simulated machine and scripted dialogs here.
#pragma once

#include "base/TextFile.h"
#include "profile/ProgramFolders.h"
#include "service/ServiceManager.h"
#include "service/Variables.h"
#include "win/Dialogs.h"
#include "win/WindowSet.h"

#include <string>

namespace kestrane {

struct AppContext {
    Variables var;
    ServiceManager* services = nullptr;
    Dialogs* dialogs = nullptr;
    FileWriter* files = &SystemFileWriter();              // what whole files are written with
    FolderSources folders;  // the shell's folders and the system date unless a test injects its own
    bool quitOnClose = true;                               // closing the main window ends the program
    // The secondary windows, each created on first use and closed with the main window.
    WindowSet windows;
};

// What a window's exception barrier tells the user of a failure that a handler let through.
void ShowUnexpected(AppContext& app, HWND owner, const std::wstring& reason);

}  // namespace kestrane
