// Kestrane: the main window is the program; it runs until it is closed.
#include "app/Application.h"

#include <commctrl.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = 1;
    {
        kestrane::Application application;
        if (application.Start()) code = application.Run();
    }
    CoUninitialize();
    return code;
}
