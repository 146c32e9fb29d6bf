// Kestrane: the main window is the program; it runs until it is closed.
#include "mainwindow/Fen1.h"
#include "mainwindow/Startup.h"
#include "service/ScmServiceManager.h"
#include "win/Dialogs.h"

#include <commctrl.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    kestrane::ScmServiceManager services;
    kestrane::Win32Dialogs dialogs;
    kestrane::AppContext app;
    app.services = &services;
    app.dialogs = &dialogs;

    kestrane::Fen1 fen1(app);
    if (!fen1.Create(true)) return 1;

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(fen1.Handle(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    CoUninitialize();
    return 0;
}
