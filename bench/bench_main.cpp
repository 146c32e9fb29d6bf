// Times the program's commands on the machine's real services, each figure beside its floor: a few lines
// of this program's own making only the minimal calls for the same result, run in the same process and
// interleaved with it (program, floor, floor, program, ...) so that a burst of load lands on both. Output,
// one line each:
//   kestrane_bench rows RUNS             every command of the main window below, each with its floor
//   kestrane_bench startup               process creation to the first service shown
//   kestrane_bench startup-floor         the same for a window that only lists the services and shows one
//   kestrane_bench apply-files           writes the changes of the apply row as two batch files of sc commands
//   kestrane_bench apply-parts RUNS      where an application of the apply row's records spends its time
//   kestrane_bench probe RUNS [NAME]     the cost of each call a refresh makes, one by one
//   kestrane_bench startup-parts         where start-up spends its time
// The rows: fill of the service lists, selection of a service, filter by state (Stopped) and by start mode
// (Manual), the details window, a save, the editor on a 3,000-record file, the preview, the Ansible and
// PowerShell exports and the application from the menu (its undo file, progress window and closing check
// included), the last four on the same 300-record configuration whatever the machine's size.
#include "profile/Apply.h"
#include "profile/ConfigFiles.h"
#include "base/TextFile.h"
#include "windows/main/Fen1.h"
#include "service/ScmServiceManager.h"
#include "win/Dialogs.h"
#include "base/Handles.h"
#include "windows/resource.h"
#include "windows/details/Fen5.h"
#include "windows/editor/Fen4.h"
#include "windows/preview/PreviewWindow.h"
#include "profile/ConfigFormat.h"
#include "profile/Plan.h"
#include "windows/progress/Fen2.h"

#include <commctrl.h>
#include <shlobj.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
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

// Every box answered at once: questions with No, a name with `name`, a file with `file`.
class SilentDialogs : public kestrane::Win32Dialogs {
public:
    std::wstring name, file;
    int Message(HWND, const std::wstring&, const std::wstring&, int) override { return IDNO; }
    std::wstring InputBox(HWND, const std::wstring&, const std::wstring&, const std::wstring&) override { return name; }
    std::optional<kestrane::FileChoice> OpenFile(HWND, const kestrane::FileDialogOptions&) override {
        return kestrane::FileChoice{file, file.substr(file.find_last_of(L'\\') + 1)};
    }
    std::optional<kestrane::FileChoice> SaveFile(HWND, const kestrane::FileDialogOptions&) override {
        return kestrane::FileChoice{file, file.substr(file.find_last_of(L'\\') + 1)};
    }
};

void Print(const char* what, int services, double ms, double floor, int runs) {
    std::printf("%-8s %5d services: %8.1f ms   floor %8.1f ms   ratio %5.2f   (medians of %d)\n", what, services, ms,
                floor, floor > 0 ? ms / floor : 0.0, runs);
    std::fflush(stdout);
}

// ---- The floors ----

// One service as the enumeration gives it.
struct Listed {
    std::wstring name, display;
    DWORD state;
};

std::wstring StateName(DWORD state) { return state == SERVICE_RUNNING ? L"Running" : state == SERVICE_STOPPED ? L"Stopped" : L"Other"; }
std::wstring ModeName(DWORD start) {
    return start == SERVICE_AUTO_START ? L"Auto" : start == SERVICE_DEMAND_START ? L"Manual" : L"Disabled";
}

// A bare window with the three lists and five fields of the main window, filled the cheapest way, on
// one connection to the service database held for its life (as a command of the program holds one).
struct FloorWindow {
    HWND window = nullptr;
    HWND names = nullptr, shown = nullptr, sorted = nullptr, dependents = nullptr, needed = nullptr;
    HWND fields[5] = {};
    HWND description = nullptr;
    ScHandle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE)};
    // Under Wine the service database lists no dependents (EnumDependentServicesW gives none): they are
    // the services whose DependOnService names the service, read once from the registry, as the program's
    // own map of them (built once, kept while the registry does not change).
    std::map<std::wstring, std::vector<std::wstring>> dependentsOf;
    std::map<std::wstring, std::vector<std::wstring>> needsOf;  // DependOnService of each service
    // Sized by the enumeration before (an outsized one costs: Wine carries the whole buffer each call).
    std::vector<BYTE> buffer = std::vector<BYTE>(16384);

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
        ReadDependents();
    }
    ~FloorWindow() { DestroyWindow(window); }

    void ReadDependents() {
        HKEY services = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services", 0, KEY_READ, &services)) return;
        wchar_t key[256];
        std::vector<wchar_t> value(4096);
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            if (RegEnumKeyExW(services, i, key, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
            if (RegGetValueW(services, key, L"DependOnService", RRF_RT_REG_MULTI_SZ, nullptr, value.data(), &size)) continue;
            for (const wchar_t* d = value.data(); *d; d += wcslen(d) + 1) {
                dependentsOf[d].push_back(key);
                needsOf[key].push_back(d);
            }
        }
        RegCloseKey(services);
    }

    // Every Win32 service with its state: one EnumServicesStatusExW.
    std::vector<Listed> Enumerate() {
        DWORD needed = 0, returned = 0, resume = 0;
        while (!EnumServicesStatusExW(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), &needed, &returned, &resume, nullptr) &&
               GetLastError() == ERROR_MORE_DATA) {
            buffer.resize(needed + 4096);
            resume = 0;
        }
        const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
        std::vector<Listed> out;
        out.reserve(returned);
        for (DWORD i = 0; i < returned; ++i)
            out.push_back({entries[i].lpServiceName, entries[i].lpDisplayName, entries[i].ServiceStatusProcess.dwCurrentState});
        return out;
    }

    // The configuration of a service (start type, path, account, prerequisites), one query.
    bool Config(const std::wstring& name, std::vector<BYTE>& config) {
        ScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG));
        DWORD bytes = 0;
        config.resize(8192);
        return service && QueryServiceConfigW(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                                              static_cast<DWORD>(config.size()), &bytes);
    }
    DWORD StartType(const std::wstring& name) {
        std::vector<BYTE> config;
        return Config(name, config) ? reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->dwStartType : 0;
    }

    // The three lists filled with the services kept, redrawing off, the first selected and shown.
    void Fill(const std::vector<Listed>& kept) {
        for (HWND list : {names, shown, sorted}) {
            SendMessageW(list, WM_SETREDRAW, FALSE, 0);
            SendMessageW(list, CB_RESETCONTENT, 0, 0);
        }
        for (const Listed& entry : kept) {
            SendMessageW(names, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name.c_str()));
            SendMessageW(shown, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.display.c_str()));
            SendMessageW(sorted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.display.c_str()));
        }
        for (HWND list : {names, shown, sorted}) SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        SendMessageW(names, CB_SETCURSEL, 0, 0);
        if (!kept.empty()) Select(kept[0].name);
    }

    void Select(const std::wstring& name);
};

// What a selection must at least ask of one service: its configuration, description and status, and
// show them with the services it needs and those that need it.
void FloorWindow::Select(const std::wstring& name) {
    ScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    std::vector<BYTE> config(8192), text(8192);
    DWORD bytes = 0;
    QueryServiceConfigW(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                        static_cast<DWORD>(config.size()), &bytes);
    QueryServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, text.data(), static_cast<DWORD>(text.size()), &bytes);
    SERVICE_STATUS_PROCESS status{};
    QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status), &bytes);
    SendMessageW(dependents, CB_RESETCONTENT, 0, 0);
    SendMessageW(needed, CB_RESETCONTENT, 0, 0);
    const auto* cfg = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(config.data());
    for (const wchar_t* d = cfg->lpDependencies; d && *d; d += wcslen(d) + 1)
        SendMessageW(needed, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d));
    for (const std::wstring& dependent : dependentsOf[name])
        SendMessageW(dependents, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(dependent.c_str()));
    SetWindowTextW(fields[0], cfg->lpBinaryPathName);
    SetWindowTextW(fields[1], ModeName(cfg->dwStartType).c_str());
    SetWindowTextW(fields[2], StateName(status.dwCurrentState).c_str());
    SetWindowTextW(fields[3], cfg->lpServiceStartName);
    SetWindowTextW(fields[4], L"Own Process");
    const auto* described = reinterpret_cast<const SERVICE_DESCRIPTIONW*>(text.data());
    SetWindowTextW(description, described->lpDescription ? described->lpDescription : L"");
}

// A window of one list box, filled with lines: what the preview shows.
void ShowLines(const std::vector<std::wstring>& lines) {
    HWND window = CreateWindowExW(0, L"KestraneBenchFloor", L"lines", WS_OVERLAPPEDWINDOW, 0, 0, 720, 420, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 10, 10, 700, 360, window, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    for (const std::wstring& line : lines) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
}

// The details window's floor: one query of each kind, 25 names and values shown.
void DetailsFloor(FloorWindow& floor, const std::wstring& name) {
    ScHandle service(OpenServiceW(floor.manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    std::vector<BYTE> config(8192), text(8192);
    DWORD bytes = 0;
    QueryServiceConfigW(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()), 8192, &bytes);
    QueryServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, text.data(), 8192, &bytes);
    SERVICE_STATUS_PROCESS status{};
    QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status), &bytes);
    HWND window = CreateWindowExW(0, L"KestraneBenchFloor", L"details", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 760, 700,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    const auto* cfg = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(config.data());
    for (int row = 0; row < 25; ++row) {
        CreateWindowExW(0, L"STATIC", L"Name", WS_CHILD | WS_VISIBLE, 10, 10 + 22 * row, 190, 18, window, nullptr, nullptr, nullptr);
        CreateWindowExW(0, L"STATIC", row == 3 ? cfg->lpBinaryPathName : name.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER, 210,
                        10 + 22 * row, 520, 20, window, nullptr, nullptr, nullptr);
    }
    UpdateWindow(window);
}

// The lines of a configuration file: each record's first quoted field, the rest kept as text.
std::vector<std::wstring> FirstFields(const std::string& bytes) {
    std::vector<std::wstring> names;
    for (size_t at = 0; (at = bytes.find('"', at)) != std::string::npos;) {
        size_t end = bytes.find('"', at + 1);
        if (end == std::string::npos) break;
        names.emplace_back(bytes.begin() + static_cast<long>(at) + 1, bytes.begin() + static_cast<long>(end));
        size_t line = bytes.find('\n', end);
        if (line == std::string::npos) break;
        at = line + 1;
    }
    return names;
}

std::string ReadWhole(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

void WriteWhole(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// Program and floor, interleaved: program, floor, floor, program, ... `between` runs after each.
void Row(const char* what, int services, int runs, const std::function<void()>& program,
         const std::function<void()>& floor, const std::function<void()>& between = {}) {
    // KESTRANE_BENCH_ONLY=apply,save times only the rows it names.
    wchar_t only[256] = L"";
    if (GetEnvironmentVariableW(L"KESTRANE_BENCH_ONLY", only, 256) > 0) {
        std::wstring list = L"," + std::wstring(only) + L",";
        std::string bare(what);
        if (list.find(L"," + std::wstring(bare.begin(), bare.end()) + L",") == std::wstring::npos) return;
    }
    std::vector<double> times, floors;
    for (int i = 0; i < runs; ++i)
        for (int k = 0; k < 2; ++k) {
            bool programTurn = (k == 0) == (i % 2 == 0);
            auto start = Clock::now();
            (programTurn ? program : floor)();
            (programTurn ? times : floors).push_back(Milliseconds(start));
            if (between) between();
        }
    Print(what, services, Median(times), Median(floors), runs);
}


std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }  // the bench's names are ASCII

// Closes every top-level window of that class (and title, when given): what a run left open.
void CloseWindows(const wchar_t* className, const wchar_t* title = nullptr) {
    while (HWND window = FindWindowW(className, title)) DestroyWindow(window);
}

// The editor's floor: the file copied to its working copy, read, its names listed sorted, the first shown.
void EditorFloor(const std::wstring& file, const std::wstring& workingCopy) {
    CopyFileW(file.c_str(), workingCopy.c_str(), FALSE);
    std::vector<std::wstring> names = FirstFields(ReadWhole(workingCopy));
    HWND window = CreateWindowExW(0, L"KestraneBenchFloor", L"editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 660, 540,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND list = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL, 16, 32,
                                308, 300, window, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (const std::wstring& name : names) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    for (int i = 0; i < 3; ++i)
        CreateWindowExW(0, L"EDIT", names.empty() ? L"" : names[0].c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER, 16, 134 + 44 * i,
                        308, 22, window, nullptr, GetModuleHandleW(nullptr), nullptr);
    UpdateWindow(window);
}

// body(0) ... body(count - 1) on four threads, as the program spreads its queries of many services.
template <typename Body>
void OnFourThreads(size_t count, Body body) {
    std::vector<std::thread> threads;
    for (size_t first = 0; first < 4; ++first)
        threads.emplace_back([&, first] {
            for (size_t i = first; i < count; i += 4) body(i);
        });
    for (auto& t : threads) t.join();
}

// What the preview and the exports need of each record at least: whether the machine has it, its state,
// its configuration (start mode, prerequisites) and whether others need it.
struct RecordFloor {
    std::wstring name;
    bool present = false;
    DWORD state = 0, start = 0;
    bool needsOthers = false, neededByOthers = false;
};

// The start modes only where `withModes` (the exports need none); the prerequisites and dependents from
// the registry's lists, read once.
std::vector<RecordFloor> ReadRecords(FloorWindow& floor, const std::vector<kestrane::ConfigRecord>& records, bool withModes) {
    std::map<std::wstring, DWORD> states;
    for (const Listed& entry : floor.Enumerate()) states[entry.name] = entry.state;
    std::vector<RecordFloor> out(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        RecordFloor& f = out[i];
        f.name = records[i].Name;
        auto found = states.find(f.name);
        f.present = found != states.end();
        if (!f.present) continue;
        f.state = found->second;
        f.needsOthers = !floor.needsOf[f.name].empty();
        f.neededByOthers = !floor.dependentsOf[f.name].empty();
    }
    if (withModes)
        OnFourThreads(records.size(), [&](size_t i) {
            if (out[i].present) out[i].start = floor.StartType(out[i].name);
        });
    return out;
}

std::vector<std::wstring> PreviewLinesFloor(FloorWindow& floor, const std::vector<kestrane::ConfigRecord>& records) {
    std::vector<std::wstring> lines;
    std::vector<RecordFloor> read = ReadRecords(floor, records, true);
    for (size_t i = 0; i < records.size(); ++i) {
        if (!read[i].present) continue;
        if (ModeName(read[i].start) != records[i].StartMode)
            lines.push_back(records[i].Name + L" : mode de démarrage " + ModeName(read[i].start) + L" \u2192 " + records[i].StartMode);
        if (StateName(read[i].state) != records[i].State)
            lines.push_back(records[i].Name + L" : état " + StateName(read[i].state) + L" \u2192 " + records[i].State);
    }
    return lines;
}

std::string ExportFloor(FloorWindow& floor, const std::vector<kestrane::ConfigRecord>& records) {
    std::string text = "---\n";
    std::vector<RecordFloor> read = ReadRecords(floor, records, false);
    for (int pass = 1; pass <= 3; ++pass)
        for (size_t i = 0; i < records.size(); ++i) {
            int recordPass = read[i].needsOthers ? 3 : read[i].neededByOthers ? 2 : 1;
            if (!read[i].present || recordPass != pass) continue;
            text += "- name: !unsafe '" + Narrow(records[i].Name) + "'\n  start_mode: " + Narrow(records[i].StartMode) +
                    "\n  state: " + Narrow(records[i].State) + "\n";
        }
    return text;
}

// The bare calls of an application: each start mode set, then each service started or stopped. With
// `onlyMoving`, one enumeration first tells which services are in their wanted state already, and they
// are sent nothing: the fewest calls for the same result.
void ApplyFloor(FloorWindow& floor, const std::vector<kestrane::ConfigRecord>& records, bool onlyMoving) {
    std::map<std::wstring, DWORD> states;
    if (onlyMoving)
        for (const Listed& entry : floor.Enumerate()) states[entry.name] = entry.state;
    for (const auto& r : records) {
        ScHandle service(OpenServiceW(floor.manager.Get(), r.Name.c_str(), SERVICE_CHANGE_CONFIG));
        ChangeServiceConfigW(service.Get(), SERVICE_NO_CHANGE, r.StartMode == L"Auto" ? SERVICE_AUTO_START : SERVICE_DEMAND_START,
                             SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    // The same result as the program's: the services started or stopped have got there (the program
    // waits for them, and a service left stopping would be waited for by the next run).
    std::vector<std::pair<ScHandle, DWORD>> moving;
    for (const auto& r : records) {
        if (onlyMoving && states[r.Name] == (r.State == L"Running" ? SERVICE_RUNNING : SERVICE_STOPPED)) continue;
        ScHandle service(OpenServiceW(floor.manager.Get(), r.Name.c_str(), SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS));
        SERVICE_STATUS status{};
        bool sent = r.State == L"Running" ? StartServiceW(service.Get(), 0, nullptr) != FALSE
                                           : ControlService(service.Get(), SERVICE_CONTROL_STOP, &status) != FALSE;
        if (sent) moving.emplace_back(std::move(service), r.State == L"Running" ? SERVICE_RUNNING : SERVICE_STOPPED);
    }
    for (auto& [service, wanted] : moving)
        for (int i = 0; i < 200; ++i) {
            SERVICE_STATUS status{};
            if (!QueryServiceStatus(service.Get(), &status) || status.dwCurrentState == wanted) break;
            Sleep(20);
        }
}

int Rows(kestrane::Fen1& fen, kestrane::AppContext& app, SilentDialogs& dialogs, const std::vector<std::wstring>& names,
         const std::vector<kestrane::ConfigRecord>& a, const std::vector<kestrane::ConfigRecord>& b, int runs) {
    if (!fen.Create(true)) return 1;
    const std::wstring folder = app.var.CheminAppli;
    for (const wchar_t* sub : {L"", L"Config", L"liste", L"Tmp"}) CreateDirectoryW((folder + sub).c_str(), nullptr);
    if (GetFileAttributesW((folder + L"liste\\interdit.txt").c_str()) == INVALID_FILE_ATTRIBUTES)
        WriteWhole(folder + L"liste\\interdit.txt", "");
    kestrane::WriteConfigFile(folder + L"Config\\kst-bench-a.cfg", a);
    kestrane::WriteConfigFile(folder + L"Config\\kst-bench-b.cfg", b);
    fen.ChargeListeConf();
    const int count = fen.CbNomSys.Count();
    FloorWindow floor(true);
    auto command = [&](UINT id) { SendMessageW(fen.Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0); };

    Row("fill", count, runs, [&] { fen.ChargeServices(); }, [&] { floor.Fill(floor.Enumerate()); });

    // A service in the middle of the list, with services on both sides of its dependencies.
    int position = fen.CbNomSys.FindExact(L"KstBench0150");
    if (position < 0) position = count / 2;
    const std::wstring name = fen.CbNomSys.Item(position);
    Row("select", count, runs, [&] { fen.CbNomSys.Select(position); }, [&] { floor.Select(name); });

    Row("state", count, runs, [&] { command(IDM_FILTER_FIRST + 1); }, [&] {
        std::vector<Listed> kept;
        for (const Listed& entry : floor.Enumerate())
            if (entry.state == SERVICE_STOPPED) kept.push_back(entry);
        floor.Fill(kept);
    });
    Row("mode", count, runs, [&] { command(IDM_FILTER_FIRST + 3); }, [&] {
        std::vector<Listed> listed = floor.Enumerate(), kept;
        std::vector<DWORD> starts(listed.size());
        OnFourThreads(listed.size(), [&](size_t i) { starts[i] = floor.StartType(listed[i].name); });
        for (size_t i = 0; i < listed.size(); ++i)
            if (starts[i] == SERVICE_DEMAND_START) kept.push_back(listed[i]);
        floor.Fill(kept);
    });
    fen.ChargeServices();

    fen.CbNomSys.SelectText(name);
    Row("details", count, runs, [&] { command(IDM_DETAILSERV); }, [&] { DetailsFloor(floor, name); }, [&] {
        CloseWindows(L"KestraneFen5");
        CloseWindows(L"KestraneBenchFloor", L"details");
    });

    dialogs.name = L"kst-bench-save";
    Row("save", count, runs, [&] { command(IDM_SAUVECONF); }, [&] {
        std::vector<Listed> listed = floor.Enumerate();
        std::vector<DWORD> starts(listed.size());
        OnFourThreads(listed.size(), [&](size_t i) { starts[i] = floor.StartType(listed[i].name); });
        std::string text;
        for (size_t i = 0; i < listed.size(); ++i)
            text += "\"" + Narrow(listed[i].name) + "\",\"" + Narrow(StateName(listed[i].state)) + "\",\"" +
                    Narrow(ModeName(starts[i])) + "\",\"" + Narrow(listed[i].display) + "\"\r\n";
        WriteWhole(folder + L"Config\\kst-bench-floor.cfg", text);
        floor.Fill(listed);
    });
    DeleteFileW((folder + L"Config\\kst-bench-floor.cfg").c_str());
    DeleteFileW((folder + L"Config\\kst-bench-save.cfg").c_str());

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::vector<kestrane::ConfigRecord> thousands;
    for (int i = 1; i <= 3000; ++i) {
        wchar_t bench[16];
        swprintf(bench, 16, L"KstBench%04d", i);
        thousands.push_back({bench, L"Stopped", L"Manual", std::wstring(L"Service de mesure ") + (bench + 8)});
    }
    dialogs.file = std::wstring(temp) + L"kst-bench-3000.cfg";
    kestrane::WriteConfigFile(dialogs.file, thousands);
    Row("editor", count, runs, [&] { command(IDM_EXTERNE); }, [&] { EditorFloor(dialogs.file, folder + L"Tmp\\kst-floor.cfg"); },
        [&] {
            CloseWindows(L"KestraneFen4");
            CloseWindows(L"KestraneBenchFloor", L"editor");
        });

    // The same 300 records, whatever the machine's size.
    fen.CbListeConf.SelectText(L"kst-bench-a.cfg");
    Row("preview", count, runs, [&] { command(IDM_APERCU); }, [&] { ShowLines(PreviewLinesFloor(floor, a)); }, [&] {
        CloseWindows(L"KestranePreview");
        CloseWindows(L"KestraneBenchFloor", L"lines");
    });
    for (bool ansible : {true, false}) {
        dialogs.file = std::wstring(temp) + (ansible ? L"kst-bench.yml" : L"kst-bench.ps1");
        Row(ansible ? "ansible" : "pwsh", count, runs, [&] { command(ansible ? IDM_EXPORTANSIBLE : IDM_EXPORTPOWERSHELL); },
            [&] { WriteWhole(dialogs.file, ExportFloor(floor, a)); });
    }

    // Each run, program's or floor's, brings the machine from one configuration to the other.
    // "apply": beside each record's calls; "apply-min": beside the fewest calls for the same result.
    int turn = 0;
    for (bool onlyMoving : {false, true})
        Row(onlyMoving ? "apply-min" : "apply", count, runs, [&] {
                fen.CbListeConf.SelectText(turn++ % 2 == 0 ? L"kst-bench-a.cfg" : L"kst-bench-b.cfg");
                command(IDM_CHARGECONF);
            },
            [&] { ApplyFloor(floor, turn++ % 2 == 0 ? a : b, onlyMoving); },
            [&] {
                CloseWindows(L"KestranePreview");  // a long closing report
                Sleep(1500);  // the services started or stopped settle before the next turn
            });
    (void)names;
    return 0;
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
        FloorWindow floor(false);
        time("EnumServicesStatusExW (all)", [&] { floor.Enumerate(); });
        std::unique_ptr<kestrane::ServiceManager> layer = kestrane::CreateServiceManager();
        time("layer Find", [&] { layer->Find(name); });
        time("layer DependentServices", [&] { layer->DependentServices(name); });
        time("layer ServicesDependedOn", [&] { layer->ServicesDependedOn(name); });
        time("layer Inventory(false)", [&] { layer->Inventory(false); });
        time("floor Select", [&] { floor.Select(name); });
        time("layer ChangeStartMode", [&] { layer->ChangeStartMode(name, L"Manual"); });
        time("ChangeServiceConfigW", [&] {
            ScHandle s(OpenServiceW(manager.Get(), name.c_str(), SERVICE_CHANGE_CONFIG));
            ChangeServiceConfigW(s.Get(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr);
        });
        time("layer StopService (stopped)", [&] { layer->StopService(name); });
        time("layer Find", [&] { layer->Find(name); });
        return 0;
    }

    if (mode == L"startup-floor") {
        // One enumeration, the lists filled, the first service shown once.
        FloorWindow floor(true);
        floor.Fill(floor.Enumerate());
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
    // The bench services, and two configurations of the first 300 of them applied in turn: every start
    // mode changes (automatic, then manual) and the first five are started, then stopped again.
    std::vector<std::wstring> names;
    for (const auto& entry : services->Inventory(false))
        if (entry.Name.rfind(L"KstBench", 0) == 0) names.push_back(entry.Name);
    std::sort(names.begin(), names.end());
    std::vector<kestrane::ConfigRecord> a, b;
    for (size_t i = 0; i < names.size() && i < 300; ++i) {
        a.push_back({names[i], i < 5 ? L"Running" : L"Stopped", L"Auto", names[i]});
        b.push_back({names[i], L"Stopped", L"Manual", names[i]});
    }
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
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
    if (mode == L"apply-parts") {
        // Where the application from the menu spends its time, for the same turn as the apply row.
        struct NoProgress : kestrane::ApplyProgress {
            void SetMaximum(int) override {}
            void SetValue(int) override {}
        } none;
        for (int i = 0; i < 2 * runs; ++i) {
            const auto& records = i % 2 == 0 ? a : b;
            kestrane::CommandScope command(*services);
            auto t0 = Clock::now();
            services->DependentServices(records.front().Name);  // the dependencies read again, where they changed
            double dependencies = Milliseconds(t0);
            t0 = Clock::now();
            services->Inventory(false);
            double inventory = Milliseconds(t0);
            std::vector<std::wstring> recordNames;
            for (const auto& r : records) recordNames.push_back(r.Name);
            t0 = Clock::now();
            services->StartModes(recordNames);
            std::printf("inventory %.1f, start modes %.1f ms\n", inventory, Milliseconds(t0));
            t0 = Clock::now();
            kestrane::Plan plan = kestrane::PlanApplication(*services, records, {}, kestrane::ApplyOrder::Configuration);
            double planned = Milliseconds(t0);
            t0 = Clock::now();
            kestrane::ApplyRecords(*services, records, {}, none, kestrane::ApplyOrder::Configuration);
            double applied = Milliseconds(t0);
            Sleep(1500);
            kestrane::Fen2 progress;
            progress.Open(nullptr);
            t0 = Clock::now();
            kestrane::ApplyRecords(*services, i % 2 == 0 ? b : a, {}, progress, kestrane::ApplyOrder::Configuration);
            double withWindow = Milliseconds(t0);
            progress.Close();
            Sleep(1500);
            kestrane::ApplyReport report = kestrane::ApplyRecords(*services, records, {}, none, kestrane::ApplyOrder::Configuration);
            std::printf("with the progress window %.1f ms\n", withWindow);
            t0 = Clock::now();
            int notYet = kestrane::NotInWantedState(*services, records, 3000, nullptr, report.modesSet);
            double checked = Milliseconds(t0);
            std::printf("dependencies %.1f, plan %.1f, apply %.1f, check %.1f ms (%d not yet)\n", dependencies, planned, applied,
                        checked, notYet);
            Sleep(1500);
        }
        return 0;
    }
    if (mode == L"rows") return Rows(fen, app, dialogs, names, a, b, runs);
    return 0;
}
