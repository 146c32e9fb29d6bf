// The application object: it owns the program-wide variables, the machine's services, the dialogs and
// every window (the main window at start, the secondary ones on first use), and runs the message loop
// for all of them.
#pragma once

#include "windows/AppContext.h"
#include "windows/main/Fen1.h"

#include <memory>

namespace kestrane {

class Application {
public:
    Application();
    ~Application();

    // Opens the main window; false if it could not be created.
    bool Start();
    // Runs until the main window is closed; the program's exit code.
    int Run();

private:
    std::unique_ptr<ServiceManager> services_;
    Win32Dialogs dialogs_;
    AppContext context_;
    std::unique_ptr<Fen1> fen1_;
};

}  // namespace kestrane
