// Kestrane: the main window is the program; it runs until it is closed. Started with arguments it
// works unattended instead.
#include "app/Application.h"
#include "commandline/Unattended.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // With arguments the program works unattended: no window, its report on the console.
    std::vector<std::wstring> arguments;
    int count = 0;
    if (wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) arguments.push_back(argv[i]);
        LocalFree(argv);
    }
    if (kestrane::IsUnattended(arguments)) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        int code = kestrane::RunUnattendedProgram(arguments);
        CoUninitialize();
        return code;
    }
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
