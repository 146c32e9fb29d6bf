// Times the main window on the machine's real services and writes the figures to standard output:
//   kestrane_bench fill RUNS      median time of one fill of the three service lists
//   kestrane_bench select RUNS    median time of one selection refresh (both dependency lists included)
//   kestrane_bench startup        time from process creation to the first selected service shown
#include "mainwindow/Fen1.h"
#include "service/ScmServiceManager.h"
#include "win/Dialogs.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Milliseconds since this process was created, as the system counts it.
double SinceProcessCreation() {
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}

class SilentDialogs : public kestrane::Win32Dialogs {
public:
    int Message(HWND, const std::wstring&, const std::wstring&, int) override { return IDNO; }
};

void Print(const char* what, double ms, int runs) {
    std::printf("%s %.1f ms (median of %d)\n", what, ms, runs);
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring mode = argc > 1 ? argv[1] : L"startup";
    int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 7;

    kestrane::ScmServiceManager services;
    SilentDialogs dialogs;
    kestrane::AppContext app;
    app.services = &services;
    app.dialogs = &dialogs;
    app.quitOnClose = false;
    kestrane::Fen1 fen(app);

    if (mode == L"startup") {
        if (!fen.Create(true)) return 1;
        double shown = SinceProcessCreation();
        std::printf("startup %.1f ms from process creation to the first service shown (%d services, selected %ls)\n",
                    shown, fen.CbNomSys.Count(), fen.CbNomSys.SelectedText().c_str());
        return 0;
    }
    if (!fen.Create(false)) return 1;
    std::vector<double> times;
    if (mode == L"fill") {
        for (int i = 0; i < runs; ++i) {
            auto start = Clock::now();
            fen.ChargeServices();
            times.push_back(Milliseconds(start));
        }
        std::printf("services listed: %d\n", fen.CbNomSys.Count());
        Print("fill", Median(times), runs);
    } else if (mode == L"select") {
        // A service in the middle of the list, with services on both sides of its dependencies.
        std::wstring target = argc > 3 ? argv[3] : L"KstBench0150";
        int position = fen.CbNomSys.FindExact(target);
        if (position < 0) position = fen.CbNomSys.Count() / 2;
        for (int i = 0; i < runs; ++i) {
            auto start = Clock::now();
            fen.CbNomSys.Select(position);
            times.push_back(Milliseconds(start));
        }
        std::printf("selected %ls: %d services need it, it needs %d\n", fen.CbNomSys.SelectedText().c_str(),
                    fen.Combo1.Count(), fen.Combo2.Count());
        Print("select", Median(times), runs);
    }
    return 0;
}
