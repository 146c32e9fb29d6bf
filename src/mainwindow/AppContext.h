// What the windows reach of the application: the program-wide variables, the machine's services, the
// dialogs, and the secondary windows. Tests put a simulated machine and scripted dialogs here.
#pragma once

#include "service/ServiceManager.h"
#include "service/Variables.h"
#include "win/Dialogs.h"
#include "win/WindowSet.h"

#include <functional>
#include <string>

namespace kestrane {

struct AppContext {
    Variables var;
    ServiceManager* services = nullptr;
    Dialogs* dialogs = nullptr;
    std::function<Date()> today;                           // the system date unless a test injects one
    std::function<std::wstring(HWND, int)> specialFolder;  // DossierSpecial unless a test injects one
    bool quitOnClose = true;                               // closing the main window ends the program
    // The secondary windows, each created on first use and closed with the main window.
    WindowSet windows;
};

}  // namespace kestrane
