// Times the main window on the machine's real services, each figure beside its floor: a few lines of
// this program's own making only the minimal calls for the same result. Output, one line each:
//   kestrane_bench fill RUNS             one fill of the three service lists, and its floor
//   kestrane_bench select RUNS [NAME]    one selection refresh (both dependency lists included), and its floor
//   kestrane_bench startup               process creation to the first service shown
//   kestrane_bench startup-floor         the same for a window that only lists the services and shows one
//   kestrane_bench apply RUNS            applying a configuration of the KstBench services, and its floor
//   kestrane_bench apply-files           writes the same changes as two batch files of sc commands
//   kestrane_bench probe RUNS [NAME]     the cost of each call a refresh makes, one by one
//   kestrane_bench startup-parts         where start-up spends its time
#include "profile/Apply.h"
#include "profile/ConfigFiles.h"
#include "base/TextFile.h"
#include "windows/main/Fen1.h"
#include "service/ScmServiceManager.h"
#include "win/Dialogs.h"
#include "base/Handles.h"

#include <commctrl.h>
#include <shlobj.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using kestrane::ScHandle;

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

void Print(const char* what, int services, double ms, double floor, int runs) {
    std::printf("%-8s %5d services: %8.1f ms   floor %8.1f ms   ratio %5.2f   (medians of %d)\n", what, services, ms,
                floor, floor > 0 ? ms / floor : 0.0, runs);
    std::fflush(stdout);
}

// ---- The floors ----

// A bare window with the three lists and five fields of the main window, filled the cheapest way.
struct FloorWindow {
    HWND window = nullptr;
    HWND names = nullptr, shown = nullptr, sorted = nullptr, dependents = nullptr, needed = nullptr;
    HWND fields[5] = {};
    HWND description = nullptr;

    explicit FloorWindow(bool visible) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KestraneBenchFloor";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"floor", WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 0, 0,
                                 900, 700, nullptr, nullptr, wc.hInstance, nullptr);
        auto make = [&](const wchar_t* cls, DWORD style, int y) {
            return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 10, y, 400, 300, window, nullptr,
                                   wc.hInstance, nullptr);
        };
        names = make(L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 10);
        shown = make(L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 40);
        sorted = make(L"COMBOBOX", CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL, 70);
        dependents = make(L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 100);
        needed = make(L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, 130);
        for (int i = 0; i < 5; ++i) fields[i] = make(L"EDIT", ES_READONLY, 160 + 30 * i);
        description = make(L"EDIT", ES_MULTILINE | ES_READONLY, 320);
    }
    ~FloorWindow() { DestroyWindow(window); }

    // One EnumServicesStatusExW with a buffer of the right size, the inserts with redrawing off.
    void Fill(std::vector<BYTE>& buffer) {
        ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
        DWORD needed = 0, returned = 0, resume = 0;
        EnumServicesStatusExW(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, buffer.data(),
                              static_cast<DWORD>(buffer.size()), &needed, &returned, &resume, nullptr);
        const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
        for (HWND list : {names, shown, sorted}) {
            SendMessageW(list, WM_SETREDRAW, FALSE, 0);
            SendMessageW(list, CB_RESETCONTENT, 0, 0);
        }
        for (DWORD i = 0; i < returned; ++i) {
            SendMessageW(names, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries[i].lpServiceName));
            SendMessageW(shown, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries[i].lpDisplayName));
            SendMessageW(sorted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries[i].lpDisplayName));
        }
        for (HWND list : {names, shown, sorted}) SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        // The fill ends with the first service selected and shown, as the window's does.
        SendMessageW(names, CB_SETCURSEL, 0, 0);
        if (returned > 0) Select(entries[0].lpServiceName);
    }

    // The size one enumeration needs (asked before timing: the floor's buffer is already right).
    static std::vector<BYTE> EnumerationBuffer() {
        ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
        DWORD needed = 0, returned = 0, resume = 0;
        EnumServicesStatusExW(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed,
                              &returned, &resume, nullptr);
        return std::vector<BYTE>(needed + 4096);
    }

    void Select(const std::wstring& name);
};

// What a refresh must at least ask of one service: its configuration, description and status, the
    // services it needs and those that need it (EnumDependentServicesW, the direct call for them), and
    // the fields and lists shown.
void FloorWindow::Select(const std::wstring& name) {
        ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        ScHandle service(OpenServiceW(manager.Get(), name.c_str(),
                                      SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS));
        std::vector<BYTE> config(8192), description(8192), dependents(8192);
        DWORD bytes = 0, count = 0;
        QueryServiceConfigW(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                            static_cast<DWORD>(config.size()), &bytes);
        QueryServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, description.data(),
                             static_cast<DWORD>(description.size()), &bytes);
        SERVICE_STATUS_PROCESS status{};
        QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                             &bytes);
        EnumDependentServicesW(service.Get(), SERVICE_STATE_ALL, reinterpret_cast<ENUM_SERVICE_STATUSW*>(dependents.data()),
                               static_cast<DWORD>(dependents.size()), &bytes, &count);
        SendMessageW(this->dependents, CB_RESETCONTENT, 0, 0);
        SendMessageW(this->needed, CB_RESETCONTENT, 0, 0);
        const auto* cfg = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(config.data());
        for (const wchar_t* d = cfg->lpDependencies; d && *d; d += wcslen(d) + 1)
            SendMessageW(this->needed, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d));
        const auto* deps = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(dependents.data());
        for (DWORD i = 0; i < count; ++i)
            SendMessageW(this->dependents, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(deps[i].lpServiceName));
        SetWindowTextW(fields[0], cfg->lpBinaryPathName);
        SetWindowTextW(fields[1], L"Manual");
        SetWindowTextW(fields[2], L"Stopped");
        SetWindowTextW(fields[3], cfg->lpServiceStartName);
        SetWindowTextW(fields[4], L"Own Process");
        const auto* text = reinterpret_cast<const SERVICE_DESCRIPTIONW*>(description.data());
        SetWindowTextW(this->description, text->lpDescription ? text->lpDescription : L"");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const double entered = SinceProcessCreation();
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring mode = argc > 1 ? argv[1] : L"startup";
    int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 7;

    if (mode == L"probe") {
        // The cost of each call a refresh makes, alone, for looking into a figure.
        std::wstring name = argc > 3 ? argv[3] : L"KstBench0150";
        auto time = [&](const char* what, auto&& call) {
            std::vector<double> t;
            for (int i = 0; i < runs; ++i) {
                auto start = Clock::now();
                call();
                t.push_back(Milliseconds(start));
            }
            std::printf("%-40s %7.2f ms\n", what, Median(t));
        };
        time("OpenSCManagerW", [] { ScHandle m(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)); });
        ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        time("OpenServiceW", [&] { ScHandle s(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG)); });
        ScHandle service(OpenServiceW(manager.Get(), name.c_str(),
                                      SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS));
        std::vector<BYTE> buffer(8192);
        DWORD bytes = 0, count = 0;
        time("QueryServiceConfigW", [&] {
            QueryServiceConfigW(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()), 8192, &bytes);
        });
        time("QueryServiceConfig2W", [&] {
            QueryServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, buffer.data(), 8192, &bytes);
        });
        time("QueryServiceStatusEx", [&] {
            SERVICE_STATUS_PROCESS st{};
            QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&st), sizeof(st), &bytes);
        });
        time("EnumDependentServicesW", [&] {
            EnumDependentServicesW(service.Get(), SERVICE_STATE_ALL, reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data()),
                                   8192, &bytes, &count);
        });
        std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
        time("RegGetValueW DependOnService", [&] {
            DWORD size = 8192;
            RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DependOnService", RRF_RT_REG_MULTI_SZ, nullptr, buffer.data(),
                         &size);
        });
        std::vector<BYTE> all = FloorWindow::EnumerationBuffer();
        time("EnumServicesStatusExW (all)", [&] {
            ScHandle m(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
            DWORD needed = 0, returned = 0, resume = 0;
            EnumServicesStatusExW(m.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, all.data(),
                                  static_cast<DWORD>(all.size()), &needed, &returned, &resume, nullptr);
        });
        std::unique_ptr<kestrane::ServiceManager> layer = kestrane::CreateServiceManager();
        time("layer Find", [&] { layer->Find(name); });
        time("layer DependentServices", [&] { layer->DependentServices(name); });
        time("layer ServicesDependedOn", [&] { layer->ServicesDependedOn(name); });
        time("layer Inventory(false)", [&] { layer->Inventory(false); });
        FloorWindow floor(false);
        time("floor Select", [&] { floor.Select(name); });
        return 0;
    }

    if (mode == L"startup-floor") {
        FloorWindow floor(true);
        std::vector<BYTE> buffer = FloorWindow::EnumerationBuffer();
        floor.Fill(buffer);
        wchar_t first[257] = {};
        SendMessageW(floor.names, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
        floor.Select(first);
        UpdateWindow(floor.window);
        std::printf("startup-floor %.1f ms (the program's own code from %.1f ms)\n", SinceProcessCreation(), entered);
        return 0;
    }

    std::unique_ptr<kestrane::ServiceManager> services = kestrane::CreateServiceManager();
    SilentDialogs dialogs;
    kestrane::AppContext app;
    app.services = services.get();
    app.dialogs = &dialogs;
    app.quitOnClose = false;
    kestrane::Fen1 fen(app);
    std::vector<double> times;

    if (mode == L"apply" || mode == L"apply-files") {
        // Two configurations of the bench services, applied in turn: every start mode changes (automatic,
        // then manual) and the first five services are started, then stopped again.
        std::vector<std::wstring> names;
        for (const auto& entry : services->Inventory(false))
            if (entry.Name.rfind(L"KstBench", 0) == 0) names.push_back(entry.Name);
        std::sort(names.begin(), names.end());
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const std::wstring files[2] = {std::wstring(temp) + L"kst-bench-a.cfg", std::wstring(temp) + L"kst-bench-b.cfg"};
        std::vector<kestrane::ConfigRecord> a, b;
        for (size_t i = 0; i < names.size(); ++i) {
            a.push_back({names[i], i < 5 ? L"Running" : L"Stopped", L"Auto", names[i]});
            b.push_back({names[i], L"Stopped", L"Manual", names[i]});
        }
        kestrane::WriteConfigFile(files[0], a);
        kestrane::WriteConfigFile(files[1], b);
        if (mode == L"apply-files") {
            // The same two as batch files of sc commands, for Wine's cmd.
            for (int k = 0; k < 2; ++k) {
                std::string batch;
                for (const auto& r : k == 0 ? a : b) {
                    std::string n(r.Name.begin(), r.Name.end());
                    batch += "sc config " + n + (r.StartMode == L"Auto" ? " start= auto" : " start= demand") + " >nul\r\n";
                }
                for (const auto& r : k == 0 ? a : b) {
                    std::string n(r.Name.begin(), r.Name.end());
                    batch += (r.State == L"Running" ? "sc start " : "sc stop ") + n + " >nul\r\n";
                }
                std::wstring path = std::wstring(temp) + (k == 0 ? L"kst-bench-a.bat" : L"kst-bench-b.bat");
                DeleteFileW(path.c_str());
                kestrane::AppendFileBytes(path, batch);
                std::printf("%ls\n", path.c_str());
            }
            return 0;
        }
        struct NoProgress : kestrane::ApplyProgress {
            void SetMaximum(int) override {}
            void SetValue(int) override {}
        } none;
        std::vector<double> floorTimes;
        for (int i = 0; i < 2 * runs; ++i) {
            const auto& records = i % 2 == 0 ? a : b;
            auto start = Clock::now();
            if (i % 4 < 2) {
                kestrane::CommandScope command(*services);
                kestrane::AppliqueConf(*services, files[i % 2], {}, none);
                times.push_back(Milliseconds(start));
            } else {
                // The floor: the 2R method calls alone, on one connection.
                ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
                for (const auto& r : records) {
                    ScHandle service(OpenServiceW(manager.Get(), r.Name.c_str(), SERVICE_CHANGE_CONFIG));
                    ChangeServiceConfigW(service.Get(), SERVICE_NO_CHANGE,
                                         r.StartMode == L"Auto" ? SERVICE_AUTO_START : SERVICE_DEMAND_START,
                                         SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
                }
                for (const auto& r : records) {
                    ScHandle service(OpenServiceW(manager.Get(), r.Name.c_str(), SERVICE_START | SERVICE_STOP));
                    SERVICE_STATUS status{};
                    if (r.State == L"Running") StartServiceW(service.Get(), 0, nullptr);
                    else ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
                }
                floorTimes.push_back(Milliseconds(start));
            }
            Sleep(1500);  // the services started or stopped settle before the next turn
        }
        Print("apply", static_cast<int>(names.size()), Median(times), Median(floorTimes), runs);
        return 0;
    }
    if (mode == L"startup-parts") {
        // Where start-up spends its time, piece by piece.
        auto t0 = Clock::now();
        wchar_t folder[MAX_PATH];
        SHGetFolderPathW(nullptr, 38, nullptr, 0, folder);
        SHGetFolderPathW(nullptr, 5, nullptr, 0, folder);
        double shell = Milliseconds(t0);
        t0 = Clock::now();
        wchar_t system[MAX_PATH];
        GetSystemDirectoryW(system, MAX_PATH);
        LoadLibraryW((std::wstring(system) + L"\\msftedit.dll").c_str());
        double richEdit = Milliseconds(t0);
        t0 = Clock::now();
        auto inventory = services->Inventory(false);
        double enumeration = Milliseconds(t0);
        t0 = Clock::now();
        services->DependentServices(L"KstBench0001");
        double dependents = Milliseconds(t0);
        t0 = Clock::now();
        if (!fen.Create(false)) return 1;
        double window = Milliseconds(t0);
        t0 = Clock::now();
        ShowWindow(fen.Handle(), SW_SHOWNORMAL);
        UpdateWindow(fen.Handle());
        double shown = Milliseconds(t0);
        std::printf("shell folders %.1f, ", shell);
        std::printf("entered %.1f, rich edit %.1f, inventory %.1f, map of dependents %.1f, window %.1f, shown %.1f ms\n",
                    entered, richEdit, enumeration, dependents, window, shown);
        return 0;
    }
    if (mode == L"startup") {
        if (!fen.Create(true)) return 1;
        double shown = SinceProcessCreation();
        std::printf("startup %.1f ms (%d services, selected %ls; the program's own code from %.1f ms)\n", shown,
                    fen.CbNomSys.Count(), fen.CbNomSys.SelectedText().c_str(), entered);
        return 0;
    }
    if (!fen.Create(false)) return 1;
    int count = fen.CbNomSys.Count();
    std::vector<double> floors;
    FloorWindow floor(false);
    if (mode == L"fill") {
        std::vector<BYTE> buffer = FloorWindow::EnumerationBuffer();
        for (int i = 0; i < runs; ++i) {
            auto start = Clock::now();
            fen.ChargeServices();
            times.push_back(Milliseconds(start));
            start = Clock::now();
            floor.Fill(buffer);
            floors.push_back(Milliseconds(start));
        }
        Print("fill", count, Median(times), Median(floors), runs);
    } else if (mode == L"select") {
        // A service in the middle of the list, with services on both sides of its dependencies.
        std::wstring target = argc > 3 ? argv[3] : L"KstBench0150";
        int position = fen.CbNomSys.FindExact(target);
        if (position < 0) position = fen.CbNomSys.Count() / 2;
        std::wstring name = fen.CbNomSys.Item(position);
        for (int i = 0; i < runs; ++i) {
            auto start = Clock::now();
            fen.CbNomSys.Select(position);
            times.push_back(Milliseconds(start));
            start = Clock::now();
            floor.Select(name);
            floors.push_back(Milliseconds(start));
        }
        std::printf("selected %ls: %d services need it, it needs %d\n", name.c_str(), fen.Combo1.Count(),
                    fen.Combo2.Count());
        Print("select", count, Median(times), Median(floors), runs);
    }
    return 0;
}
