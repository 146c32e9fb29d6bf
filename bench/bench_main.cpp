// Times the program's commands on the machine's real services, each figure beside its floor: a few lines
// of this program's own making doing the program's work with only the calls that work needs (the same data
// read, the same result, the same windows painted, the same files written to disk), run in the same
// process and interleaved with it (program, floor, floor, program, ...) so that a burst of load lands on
// both. A floor reads and writes files with the program's own parsers and formatters (text work only), so
// that its result can be checked equal to the program's. Output, one line each:
//   kestrane_bench rows RUNS             every command of the main window below, each with its floor
//   kestrane_bench startup               process creation to the first service shown
//   kestrane_bench startup-floor         the same for a window that only lists the services and shows one
//   kestrane_bench comparer RUNS         `Kestrane.exe /comparer` of one record, beside its floor process
//   kestrane_bench comparer-floor FILE   that floor: the file read, the machine read once, the lines written
//   kestrane_bench apply-files           writes the changes of the apply row as two batch files of sc commands
//   kestrane_bench apply-parts RUNS      where an application of the apply row's records spends its time
//   kestrane_bench probe RUNS [NAME]     the cost of each call a refresh makes, one by one
//   kestrane_bench startup-parts         where start-up spends its time
// The rows: fill of the service lists, selection of a service, filter by state (Stopped) and by start mode
// (Manual), the details window, a save, the editor on a 3,000-record and on a 40,000-record file, the
// preview, the Ansible and PowerShell exports and the application from the menu (its undo file, progress
// window and closing check included), the last four on the same 300-record configuration whatever the
// machine's size; then the application of 10,000, 20,000 and 40,000 records the machine lacks.
#include "profile/Apply.h"
#include "profile/ConfigFiles.h"
#include "profile/ConfigList.h"
#include "profile/Export.h"
#include "profile/Records.h"
#include "base/TextFile.h"
#include "base/Texts.h"
#include "windows/main/Fen1.h"
#include "service/ForbiddenList.h"
#include "service/Programme.h"
#include "service/ScmServiceManager.h"
#include "win/Dialogs.h"
#include "win/Picture.h"
#include "win/Window.h"
#include "base/Handles.h"
#include "windows/resource.h"
#include "windows/details/Fen5.h"
#include "windows/editor/Fen4.h"
#include "windows/preview/PreviewWindow.h"
#include "profile/ConfigFormat.h"
#include "profile/Plan.h"
#include "windows/progress/Fen2.h"
#include "windows/services/ServicesWindow.h"

#include <commctrl.h>
#include <richedit.h>
#include <shlobj.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <map>
#include <set>
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

unsigned long long Ticks(const FILETIME& t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

// Milliseconds since this process was created, as the system counts it.
double SinceProcessCreation() {
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    return static_cast<double>(Ticks(now) - Ticks(created)) / 10000.0;
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
    std::printf("%-9s %5d services: %8.1f ms   floor %8.1f ms   ratio %5.2f   (medians of %d)\n", what, services, ms,
                floor, floor > 0 ? ms / floor : 0.0, runs);
    std::fflush(stdout);
}

// Whether KESTRANE_BENCH_ONLY (names of rows, comma-separated) lets the row `what` run.
bool Wanted(const char* what) {
    wchar_t only[256] = L"";
    if (GetEnvironmentVariableW(L"KESTRANE_BENCH_ONLY", only, 256) == 0) return true;
    std::wstring list = L"," + std::wstring(only) + L",";
    std::string bare(what);
    return list.find(L"," + std::wstring(bare.begin(), bare.end()) + L",") != std::wstring::npos;
}

// The windows of this thread painted as they ask, the same way after the program's command and after the
// floor's: the bench runs no message loop, and neither may leave its painting to the next one.
void PaintNow() { kestrane::PaintPending(); }

// Program and floor, interleaved: program, floor, floor, program, ... `between` runs after each. Before
// each timed run the window it works in (when given) is brought to the top and what is left to paint is
// painted; the run ends once its windows are painted.
void Row(const char* what, int services, int runs, const std::function<void()>& program,
         const std::function<void()>& floor, const std::function<void()>& between = {}, HWND programWindow = nullptr,
         HWND floorWindow = nullptr) {
    if (!Wanted(what)) return;
    std::vector<double> times, floors, paints[2];
    for (int i = 0; i < runs; ++i)
        for (int k = 0; k < 2; ++k) {
            bool programTurn = (k == 0) == (i % 2 == 0);
            if (HWND front = programTurn ? programWindow : floorWindow)
                SetWindowPos(front, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            PaintNow();
            auto start = Clock::now();
            (programTurn ? program : floor)();
            auto painting = Clock::now();
            PaintNow();
            paints[programTurn ? 0 : 1].push_back(Milliseconds(painting));
            (programTurn ? times : floors).push_back(Milliseconds(start));
            if (between) between();
        }
    Print(what, services, Median(times), Median(floors), runs);
    // KESTRANE_BENCH_PAINT=1: how much of each figure is the painting after the command.
    if (GetEnvironmentVariableW(L"KESTRANE_BENCH_PAINT", nullptr, 0) > 0)
        std::printf("          of which painting: program %.1f ms, floor %.1f ms\n", Median(paints[0]), Median(paints[1]));
}

// Closes every top-level window of that class (and title, when given): what a run left open.
void CloseWindows(const wchar_t* className, const wchar_t* title = nullptr) {
    while (HWND window = FindWindowW(className, title)) DestroyWindow(window);
}

std::string ReadWhole(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
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

// Written as durably as the program writes a file: beside it, flushed to disk, renamed over it.
void WriteDurably(const std::wstring& path, const std::string& bytes) {
    std::wstring partial = path + L".partiel-floor";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
    MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

std::wstring ApplicationFolder() {
    wchar_t folder[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder);
    return std::wstring(folder) + L"\\Kestrane\\";
}

// ---- The floors ----

// One service as the enumeration gives it.
struct Listed {
    std::wstring name, display;
    DWORD state;
};

std::wstring StateName(DWORD state) {
    switch (state) {
    case SERVICE_RUNNING: return L"Running";
    case SERVICE_STOPPED: return L"Stopped";
    case SERVICE_START_PENDING: return L"Start Pending";
    case SERVICE_STOP_PENDING: return L"Stop Pending";
    case SERVICE_PAUSED: return L"Paused";
    default: return L"Other";
    }
}
std::wstring ModeName(DWORD start) {
    return start == SERVICE_AUTO_START ? L"Auto" : start == SERVICE_DEMAND_START ? L"Manual" : start == SERVICE_DISABLED ? L"Disabled" : L"";
}

// What a floor's window paints behind its controls: the picture of the application folder, and its captions.
struct FloorLook {
    kestrane::Picture picture;
    HFONT font = nullptr;
    std::vector<std::pair<RECT, std::wstring>> captions;
};

LRESULT CALLBACK FloorProcedure(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_ERASEBKGND)
        if (auto* look = reinterpret_cast<FloorLook*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
            HDC dc = reinterpret_cast<HDC>(wp);
            RECT client;
            GetClientRect(window, &client);
            FillRect(dc, &client, GetSysColorBrush(COLOR_ACTIVEBORDER));
            look->picture.Draw(dc, client, 96);
            HGDIOBJ old = SelectObject(dc, look->font);
            SetBkMode(dc, TRANSPARENT);
            for (auto& [area, text] : look->captions) DrawTextW(dc, text.c_str(), -1, &area, DT_LEFT | DT_SINGLELINE);
            SelectObject(dc, old);
            return 1;
        }
    return DefWindowProcW(window, message, wp, lp);
}

HWND FloorTopLevel(const wchar_t* title, int width, int height, FloorLook* look, bool visible = true,
                   DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, HWND owner = nullptr) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = FloorProcedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"KestraneBenchFloor";
        RegisterClassW(&wc);
        registered = true;
    }
    HWND window = CreateWindowExW(0, L"KestraneBenchFloor", title, style, 0, 0, width, height, owner, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (look) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(look));
    if (visible) ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, HFONT font) {
    HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}

// A drop-down list made as wide as its widest entry in `font`, as the program fits its lists.
template <class Texts>
void FitDropDown(HWND list, HFONT font, const Texts& texts) {
    HDC dc = GetDC(list);
    HGDIOBJ old = SelectObject(dc, font);
    int widest = 0;
    for (const std::wstring& text : texts) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        widest = std::max<int>(widest, size.cx);
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    RECT field{};
    GetWindowRect(list, &field);
    int wanted = widest + 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + 8;
    SendMessageW(list, CB_SETDROPPEDWIDTH, std::max<int>(wanted, field.right - field.left), 0);
}

// The registry's lists of who needs whom, as the Wine layer reads them.
struct DependencyMaps {
    std::map<std::wstring, std::vector<std::wstring>> dependentsOf, needsOf;
    int withDependencies = 0;  // services that name others in DependOnService
};

DependencyMaps ReadDependencyMaps() {
    DependencyMaps maps;
    HKEY services = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services", 0, KEY_READ, &services)) return maps;
    wchar_t key[257];
    std::vector<wchar_t> value(4096);
    for (DWORD i = 0;; ++i) {
        DWORD length = 257;
        if (RegEnumKeyExW(services, i, key, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DWORD size = static_cast<DWORD>((value.size() - 2) * sizeof(wchar_t));
        if (RegGetValueW(services, key, L"DependOnService", RRF_RT_REG_MULTI_SZ, nullptr, value.data(), &size)) continue;
        if (value[0]) ++maps.withDependencies;
        for (const wchar_t* d = value.data(); *d; d += wcslen(d) + 1) {
            maps.dependentsOf[d].push_back(key);
            maps.needsOf[key].push_back(d);
        }
    }
    RegCloseKey(services);
    return maps;
}

// The dependency list of a service as ChangeServiceConfigW takes it, read from its key as the Wine layer
// reads it (Wine writes back what it is given: without it, the service's DependOnService would go).
std::wstring DependencyArgument(const std::wstring& name) {
    std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + name, out;
    wchar_t value[2048];
    for (const wchar_t* kind : {L"DependOnService", L"DependOnGroup"}) {
        DWORD size = sizeof(value) - 2 * sizeof(wchar_t);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), kind, RRF_RT_REG_MULTI_SZ, nullptr, value, &size)) continue;
        for (const wchar_t* d = value; *d; d += wcslen(d) + 1) out += (kind[9] == L'G' ? L"+" : L"") + std::wstring(d) + L'\0';
    }
    return out + L'\0';
}

// What the Wine layer reads of a service beside the service database's answers: whether its automatic
// start is delayed, whether it has triggers (the service database answers neither under Wine).
std::pair<bool, bool> DelayedAndTriggered(const std::wstring& name) {
    std::wstring key = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
    DWORD delayed = 0, size = sizeof(delayed), count = 0;
    RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DelayedAutostart", RRF_RT_REG_DWORD, nullptr, &delayed, &size);
    HKEY triggers = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (key + L"\\TriggerInfo").c_str(), 0, KEY_READ, &triggers) == ERROR_SUCCESS) {
        RegQueryInfoKeyW(triggers, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(triggers);
    }
    return {delayed != 0, count != 0};
}

// body(0) ... body(count - 1) on up to four threads, as the program spreads its queries of many services.
template <typename Body>
void OnFourThreads(size_t count, Body body) {
    const size_t stride = std::clamp<size_t>(count / 32, 1, 4);
    std::vector<std::thread> threads;
    for (size_t first = 1; first < stride; ++first)
        threads.emplace_back([&, first] {
            for (size_t i = first; i < count; i += stride) body(i);
        });
    for (size_t i = 0; i < count; i += stride) body(i);
    for (auto& t : threads) t.join();
}

// A window with the lists, fields and text boxes of the main window, filled the cheapest way, on one
// connection to the service database held for its life (as a command of the program holds one).
struct FloorWindow {
    FloorLook look;
    HWND window = nullptr;
    HWND names = nullptr, shown = nullptr, sorted = nullptr, dependents = nullptr, needed = nullptr, count = nullptr,
         configurations = nullptr;
    HWND fields[5] = {};
    HWND ownText = nullptr, description = nullptr;
    std::wstring folder = ApplicationFolder();
    ScHandle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE)};
    // Under Wine the service database lists no dependents (EnumDependentServicesW gives none): they are
    // the services whose DependOnService names the service, read once from the registry on another thread
    // while the window is made, as the program's own map of them (kept while the registry does not change).
    std::future<DependencyMaps> reading;
    DependencyMaps maps;
    // Sized by the enumeration before (an outsized one costs: Wine carries the whole buffer each call).
    std::vector<BYTE> buffer = std::vector<BYTE>(16384);

    explicit FloorWindow(bool visible) {
        reading = std::async(std::launch::async, ReadDependencyMaps);
        look.font = kestrane::CreateMessageFont(96);
        look.picture.Load(folder + L"Image\\Start.Jpg");
        const wchar_t* captions[] = {L"&Nom  (denomination dans le service manager)", L"Nom dans le s&ysteme",
                                     L"Nombre de service trouvée dans le système", L"Etat système",
                                     L"Liste des services ayant &besoin du service selectionné",
                                     L"&Service nécessaire au démarrage du service selectionné", L"&Chemin du service",
                                     L"&Mode de démarrage", L"&Etat du service", L"&Type de service",
                                     L"Nom du compte sous lequel s'é&xecute le service", L"Configurations",
                                     L"Description du service depuis la base de &Kestrane", L"Description interne de &windows"};
        int y = 10, button = 0;
        for (const wchar_t* caption : captions) {
            look.captions.push_back({RECT{12, y, 450, y + 18}, caption});
            y += 44;
        }
        window = FloorTopLevel(L"floor", 916, 720, &look, false);
        HFONT f = look.font;
        sorted = Child(window, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 12, 30, 438, 400, f);
        names = Child(window, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 12, 82, 438, 400, f);
        shown = Child(window, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 12, 82, 438, 400, f);
        ShowWindow(shown, SW_HIDE);
        for (const wchar_t* caption : {L"< P&récédent", L"S&uivant >", L"Rafraic&hir l'état", L"&Démarrer le service",
                                       L"Arrêter &le service", L"Démarrage automati&que du service",
                                       L"Démarra&ge manuel du service", L"Désacti&vation du service", L"Appliquer"}) {
            Child(window, L"BUTTON", caption, BS_PUSHBUTTON, 12 + 150 * (button % 3), 114 + 400 * (button / 3) / 3, 140, 26, f);
            ++button;
        }
        count = Child(window, L"STATIC", L"", SS_LEFT | WS_BORDER, 316, 150, 134, 20, f);
        dependents = Child(window, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 12, 242, 438, 300, f);
        needed = Child(window, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 12, 294, 438, 300, f);
        for (int i = 0; i < 5; ++i)
            fields[i] = Child(window, L"EDIT", L"", WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 12 + (i % 3) * 148, 348 + 48 * (i / 3), 142, 22, f);
        configurations = Child(window, L"COMBOBOX", L"", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL, 12, 608, 196, 300, f);
        ownText = Child(window, MSFTEDIT_CLASS, L"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 470, 30, 418, 300, f);
        description = Child(window, MSFTEDIT_CLASS, L"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 470, 360, 418, 288, f);
        if (visible) ShowWindow(window, SW_SHOWNORMAL);
    }
    ~FloorWindow() {
        DestroyWindow(window);
        if (reading.valid()) reading.wait();
        DeleteObject(look.font);
    }

    const DependencyMaps& Maps() {
        if (reading.valid()) maps = reading.get();
        return maps;
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

    // The three lists filled with the services kept, redrawing off, fitted to their widest entry, counted,
    // the first selected and shown.
    void Fill(const std::vector<Listed>& kept) {
        size_t nameChars = 0, displayChars = 0;
        std::vector<std::wstring> nameTexts, displayTexts;
        nameTexts.reserve(kept.size());
        displayTexts.reserve(kept.size());
        for (const Listed& entry : kept) {
            nameChars += entry.name.size() + 1;
            displayChars += entry.display.size() + 1;
        }
        for (HWND list : {names, shown, sorted}) {
            SendMessageW(list, CB_RESETCONTENT, 0, 0);
            SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        }
        SendMessageW(names, CB_INITSTORAGE, kept.size(), nameChars * sizeof(wchar_t));
        SendMessageW(shown, CB_INITSTORAGE, kept.size(), displayChars * sizeof(wchar_t));
        SendMessageW(sorted, CB_INITSTORAGE, kept.size(), displayChars * sizeof(wchar_t));
        // The sorted list compares each display name as the program's does (it is made with CBS_SORT there).
        std::vector<const std::wstring*> order;
        order.reserve(kept.size());
        for (const Listed& entry : kept) order.push_back(&entry.display);
        std::stable_sort(order.begin(), order.end(), [](const std::wstring* a, const std::wstring* b) {
            return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a->c_str(), -1, b->c_str(), -1) == CSTR_LESS_THAN;
        });
        for (const Listed& entry : kept) {
            SendMessageW(names, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name.c_str()));
            SendMessageW(shown, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.display.c_str()));
        }
        for (const std::wstring* display : order) SendMessageW(sorted, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(display->c_str()));
        for (HWND list : {names, shown, sorted}) {
            SendMessageW(list, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(list, nullptr, TRUE);
        }
        std::vector<std::wstring> nameList, displayList;
        for (const Listed& entry : kept) {
            nameList.push_back(entry.name);
            displayList.push_back(entry.display);
        }
        FitDropDown(names, look.font, nameList);
        FitDropDown(sorted, look.font, displayList);
        SetWindowTextW(count, std::to_wstring(kept.size()).c_str());
        if (kept.empty()) return;
        SendMessageW(names, CB_SETCURSEL, 0, 0);
        SendMessageW(shown, CB_SETCURSEL, 0, 0);
        SendMessageW(sorted, CB_SETCURSEL, SendMessageW(sorted, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                        reinterpret_cast<LPARAM>(kept[0].display.c_str())), 0);
        Select(kept[0].name);
    }

    void Select(const std::wstring& name);
    void ListConfigurations() {
        SendMessageW(configurations, CB_RESETCONTENT, 0, 0);
        std::vector<std::wstring> found = kestrane::ConfigFileNames(folder + L"Config\\");
        for (const std::wstring& name : found) SendMessageW(configurations, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        FitDropDown(configurations, look.font, found);
    }
};

// What a selection must at least ask of one service: its configuration, description and status (and
// under Wine the registry's word on a delayed start and triggers, which the start mode shown tells), and
// show them with the services it needs and those that need it, and the folder's text on it when it has one.
void FloorWindow::Select(const std::wstring& name) {
    ScHandle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    std::vector<BYTE> config(8192), text(8192);
    DWORD bytes = 0;
    QueryServiceConfigW(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                        static_cast<DWORD>(config.size()), &bytes);
    QueryServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, text.data(), static_cast<DWORD>(text.size()), &bytes);
    SERVICE_STATUS_PROCESS status{};
    QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status), &bytes);
    auto [delayed, triggered] = DelayedAndTriggered(name);
    const DependencyMaps& known = Maps();
    SendMessageW(dependents, CB_RESETCONTENT, 0, 0);
    SendMessageW(needed, CB_RESETCONTENT, 0, 0);
    const auto* cfg = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(config.data());
    std::vector<std::wstring> neededNames, dependentNames;
    for (const wchar_t* d = cfg->lpDependencies; d && *d; d += wcslen(d) + 1) neededNames.push_back(d);
    if (auto found = known.dependentsOf.find(name); found != known.dependentsOf.end()) dependentNames = found->second;
    if (neededNames.empty()) neededNames.push_back(kestrane::texts::kNoDependency);
    if (dependentNames.empty()) dependentNames.push_back(kestrane::texts::kNoDependency);
    for (const std::wstring& n : dependentNames) SendMessageW(dependents, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n.c_str()));
    for (const std::wstring& n : neededNames) SendMessageW(needed, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(n.c_str()));
    SendMessageW(dependents, CB_SETCURSEL, 0, 0);
    SendMessageW(needed, CB_SETCURSEL, 0, 0);
    FitDropDown(dependents, look.font, dependentNames);
    FitDropDown(needed, look.font, neededNames);
    std::wstring mode = ModeName(cfg->dwStartType);
    if (triggered && mode == L"Auto") mode = delayed ? L"Automatique (d\u00e9but diff\u00e9r\u00e9, d\u00e9clencheur)" : L"Automatique (d\u00e9clencheur)";
    else if (triggered && mode == L"Manual") mode = L"Manuel (d\u00e9clencheur)";
    else if (mode == L"Auto" && delayed) mode = L"Automatique (d\u00e9but diff\u00e9r\u00e9)";
    SetWindowTextW(fields[0], cfg->lpBinaryPathName);
    SetWindowTextW(fields[1], mode.c_str());
    SetWindowTextW(fields[2], StateName(status.dwCurrentState).c_str());
    SetWindowTextW(fields[3], cfg->lpServiceStartName);
    SetWindowTextW(fields[4], L"Own Process");
    std::wstring own = folder + L"ServTxt\\serv\\" + name + L".txt";
    std::string ownBytes = GetFileAttributesW(own.c_str()) == INVALID_FILE_ATTRIBUTES ? std::string() : ReadWhole(own);
    if (ownBytes.empty()) SetWindowTextW(ownText, kestrane::texts::kNoData);
    else SetWindowTextA(ownText, ownBytes.c_str());
    const auto* described = reinterpret_cast<const SERVICE_DESCRIPTIONW*>(text.data());
    SetWindowTextW(description, described->lpDescription ? described->lpDescription : kestrane::texts::kNoDescription);
}

// A window of one list box filled with lines as the program's report and preview fill theirs (redrawing
// off, each line measured for the sideways scroll), under a heading.
HWND ShowLines(const std::vector<std::wstring>& lines, HFONT font, const wchar_t* title = L"lines") {
    HWND window = FloorTopLevel(title, 720, 420, nullptr, false);
    HWND list = Child(window, L"LISTBOX", L"", WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, 12, 34,
                      690, 300, font);
    HWND close = Child(window, L"BUTTON", L"Fermer", BS_DEFPUSHBUTTON, 580, 350, 124, 30, font);
    Child(window, L"BUTTON", L"Appliquer", BS_PUSHBUTTON, 450, 350, 124, 30, font);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    HDC dc = GetDC(list);
    HGDIOBJ old = SelectObject(dc, font);
    int widest = 0;
    for (const std::wstring& line : lines) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SIZE size{};
        GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
        widest = std::max<int>(widest, size.cx);
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    SendMessageW(list, LB_SETHORIZONTALEXTENT, widest + 8, 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetFocus(close);
    return window;
}

// The details window's floor: one query of each kind (and the registry's word on a delayed start and
// triggers), 25 names and values shown, each with its tool tip, over the folder's picture decoded again.
void DetailsFloor(FloorWindow& floor, const std::wstring& name, FloorLook& look) {
    ScHandle service(OpenServiceW(floor.manager.Get(), name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    std::vector<BYTE> config(8192), text(8192);
    DWORD bytes = 0;
    QueryServiceConfigW(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()), 8192, &bytes);
    QueryServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, text.data(), 8192, &bytes);
    SERVICE_STATUS_PROCESS status{};
    QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status), &bytes);
    DelayedAndTriggered(name);
    look.font = floor.look.font;
    HWND window = FloorTopLevel(L"details", 760, 700, &look, false);
    HWND tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, GetModuleHandleW(nullptr), nullptr);
    const auto* cfg = reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(config.data());
    for (int row = 0; row < 25; ++row) {
        const wchar_t* value = row == 3 ? cfg->lpBinaryPathName : name.c_str();
        for (HWND label : {Child(window, L"STATIC", L"Name", SS_NOTIFY, 10, 10 + 22 * row, 190, 18, floor.look.font),
                           Child(window, L"STATIC", value, SS_NOTIFY | SS_ENDELLIPSIS | SS_NOPREFIX | WS_BORDER, 210,
                                 10 + 22 * row, 520, 20, floor.look.font)}) {
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = window;
            tool.uId = reinterpret_cast<UINT_PTR>(label);
            tool.lpszText = const_cast<wchar_t*>(value);
            SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    look.picture.Load(floor.folder + L"Image\\Start.Jpg");
    ShowWindow(window, SW_SHOWNORMAL);
}

// The editor's floor: the file copied to its working copy and read, parsed and checked record by record
// (the program's parser), its display names sorted as a sorted list compares them and listed with redrawing
// off, the list fitted to its widest name, the first shown, in a window of the editor's controls over the
// folder's picture.
struct EditorFloorLook {
    FloorLook look;
    std::vector<kestrane::ConfigRecord> records;
};
void EditorFloor(const std::wstring& file, const std::wstring& workingCopy, const std::wstring& folder, EditorFloorLook& kept) {
    CopyFileW(file.c_str(), workingCopy.c_str(), FALSE);
    std::string bytes = ReadWhole(workingCopy);
    kept.records = kestrane::ParseConfigText(bytes).records;
    const std::vector<kestrane::ConfigRecord>& records = kept.records;
    std::vector<const kestrane::ConfigRecord*> order;
    order.reserve(records.size());
    size_t chars = 0;
    for (const auto& r : records) {
        order.push_back(&r);
        chars += r.DisplayName.size() + 1;
    }
    std::stable_sort(order.begin(), order.end(), [](const kestrane::ConfigRecord* a, const kestrane::ConfigRecord* b) {
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a->DisplayName.c_str(), static_cast<int>(a->DisplayName.size()),
                              b->DisplayName.c_str(), static_cast<int>(b->DisplayName.size())) == CSTR_LESS_THAN;
    });
    FloorLook& look = kept.look;
    if (!look.font) {
        look.font = kestrane::CreateMessageFont(96);
        for (const wchar_t* caption : {L"&Nom du service", L"No&m interne", L"Etat du ser&vice", L"Mo&de de démarrage",
                                       L"Configuration du démarrage", L"Configuration de l'état"})
            look.captions.push_back({RECT{16, 12 + 40 * static_cast<int>(look.captions.size()), 316, 30 + 40 * static_cast<int>(look.captions.size())}, caption});
    }
    HWND window = FloorTopLevel(L"editor", 664, 552, &look, false);
    HFONT f = look.font;
    HWND list = Child(window, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 16, 32, 308, 300, f);
    HWND fields[3] = {Child(window, L"EDIT", L"", WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 16, 134, 308, 22, f),
                      Child(window, L"EDIT", L"", WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 16, 178, 150, 22, f),
                      Child(window, L"EDIT", L"", WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 174, 178, 150, 22, f)};
    const wchar_t* buttons[] = {L"Service &précédent", L"Service &suivant", L"A&uto", L"M&anual", L"D&isabled", L"&Running",
                                L"S&topped", L"&Commentaire interne", L"commentaire &Kestrane", L"Enre&gistrer",
                                L"&Enregistrer sous", L"M&odifier", L"&Quitter le lecteur de configuration"};
    int b = 0;
    for (const wchar_t* caption : buttons) {
        Child(window, L"BUTTON", caption, BS_PUSHBUTTON, 16 + 150 * (b % 4), 74 + 90 * (b / 4), 140, 28, f);
        ++b;
    }
    HWND comment = Child(window, MSFTEDIT_CLASS, L"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 16, 270, 616, 150, f);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, CB_INITSTORAGE, order.size(), chars * sizeof(wchar_t));
    std::vector<std::wstring> shown;
    shown.reserve(order.size());
    for (const kestrane::ConfigRecord* r : order) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(r->DisplayName.c_str()));
        shown.push_back(r->DisplayName);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    FitDropDown(list, f, shown);
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    if (!order.empty()) {
        SetWindowTextW(fields[0], order[0]->Name.c_str());
        SetWindowTextW(fields[1], order[0]->State.c_str());
        SetWindowTextW(fields[2], order[0]->StartMode.c_str());
    }
    SetWindowTextW(comment, L"");
    look.picture.Load(folder + L"Image\\Start.Jpg");
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
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
    const DependencyMaps& maps = floor.Maps();
    std::vector<RecordFloor> out(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        RecordFloor& f = out[i];
        f.name = records[i].Name;
        auto found = states.find(f.name);
        f.present = found != states.end();
        if (!f.present) continue;
        f.state = found->second;
        f.needsOthers = maps.needsOf.count(f.name) > 0;
        f.neededByOthers = maps.dependentsOf.count(f.name) > 0;
    }
    if (withModes)
        OnFourThreads(records.size(), [&](size_t i) {
            if (out[i].present) out[i].start = floor.StartType(out[i].name);
        });
    return out;
}

// The guard's list and a configuration, read and parsed as the program reads them.
std::vector<kestrane::ForbiddenEntry> ReadGuard(const std::wstring& folder) {
    return kestrane::ParseForbiddenList(ReadWhole(folder + L"liste\\interdit.txt"));
}
std::vector<kestrane::ConfigRecord> ReadConfiguration(const std::wstring& path) {
    return kestrane::RecordsIn(ReadWhole(path));
}

std::vector<std::wstring> PreviewLinesFloor(FloorWindow& floor, const std::wstring& path) {
    ReadGuard(floor.folder);
    std::vector<kestrane::ConfigRecord> records = ReadConfiguration(path);
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

// The exports' floor: the guard's list and the configuration read, the machine's services listed once,
// each record's pass from the lists of who needs whom, the program's text for them (the playbook or the
// script, byte for byte), written durably where the program writes it.
void ExportFloor(FloorWindow& floor, const std::wstring& path, bool ansible, const std::wstring& output) {
    std::vector<kestrane::ForbiddenEntry> guard = ReadGuard(floor.folder);
    std::vector<kestrane::ConfigRecord> records = ReadConfiguration(path);
    std::vector<RecordFloor> read = ReadRecords(floor, records, false);
    std::vector<kestrane::ExportEntry> entries;
    std::set<std::wstring> written;
    for (size_t i = 0; i < records.size(); ++i) {
        if (!written.insert(records[i].Name).second) continue;
        int pass = read[i].present ? kestrane::StatePassOf(read[i].needsOthers, read[i].neededByOthers) : 2;
        entries.push_back({records[i], pass, kestrane::MarkOf(records[i].Name, guard), kestrane::ReasonOf(records[i].Name, guard), L""});
    }
    std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    name = name.substr(0, name.rfind(L'.'));
    WriteDurably(output, ansible ? kestrane::AnsiblePlaybook(name, entries) : kestrane::PowerShellScript(name, entries));
}

// A progress window as the application shows one: a framed panel over its owner, shown without taking
// the focus, a caption and a bar moved a few times a second.
struct ProgressFloor {
    HWND window, bar;
    int maximum;
    ULONGLONG painted = 0;
    ProgressFloor(HWND owner, HFONT font, int steps) : maximum(steps) {
        window = FloorTopLevel(L"progress", 366, 82, nullptr, false, WS_POPUP | WS_DLGFRAME, owner);
        Child(window, L"STATIC", kestrane::texts::kProgressLabel, SS_CENTER, 10, 10, 340, 20, font);
        bar = Child(window, PROGRESS_CLASSW, nullptr, PBS_SMOOTH, 10, 38, 340, 24, font);
        SendMessageW(bar, PBM_SETRANGE32, 0, steps);
        SetWindowPos(window, HWND_TOP, 270, 300, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        UpdateWindow(window);
    }
    void Step(int value) {
        ULONGLONG now = GetTickCount64();
        if (now - painted < 40 && value < maximum) return;
        painted = now;
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(value), 0);
        PaintNow();
    }
    ~ProgressFloor() { DestroyWindow(window); }
};

DWORD WantedState(const std::wstring& state) { return state == L"Running" ? SERVICE_RUNNING : SERVICE_STOPPED; }

// Waits, painting, until each service reaches its state (as the program waits for what it started or stopped).
void WaitFor(FloorWindow& floor, std::vector<std::pair<std::wstring, DWORD>>& moving) {
    for (auto& [name, wanted] : moving) {
        ScHandle service(OpenServiceW(floor.manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
        for (int i = 0; i < 200; ++i) {
            SERVICE_STATUS status{};
            if (!QueryServiceStatus(service.Get(), &status) || status.dwCurrentState == wanted) break;
            kestrane::WaitPainting(20);
        }
    }
}

int floorDiffering = 0;  // what the last whole application's floor left not in its wanted state

// The calls of an application themselves: the machine's states read once, each record's start mode set
// (with the service's own dependency list, as the Wine layer passes it: Wine writes back what it is given),
// each service not yet in its wanted state stopped (dependents first) or started, and waited for.
// With `whole`, everything else the program must do for the same result: the guard's list and the file read,
// the start modes of the records read (the undo file keeps them), the undo file written to disk, the progress
// window, only the start modes that differ set, the machine read again once it is done (and the services
// still pending waited for) and the closing report shown when it is too long for a message box.
void ApplyFloor(FloorWindow& floor, const std::wstring& path, bool whole) {
    std::vector<kestrane::ConfigRecord> records = ReadConfiguration(path);
    if (whole) ReadGuard(floor.folder);
    std::map<std::wstring, Listed> listed;
    for (Listed& entry : floor.Enumerate()) listed.emplace(entry.name, std::move(entry));
    const DependencyMaps& maps = floor.Maps();
    std::vector<const kestrane::ConfigRecord*> present;
    std::vector<std::wstring> report{kestrane::texts::kApplyDone};
    for (const auto& r : records)
        if (listed.count(r.Name)) present.push_back(&r);
        else if (whole) report.push_back(kestrane::texts::kApplyAbsent + r.Name);
    std::vector<DWORD> modes(present.size(), 0);
    if (whole) {
        OnFourThreads(present.size(), [&](size_t i) { modes[i] = floor.StartType(present[i]->Name); });
        std::vector<kestrane::ConfigRecord> before;
        for (size_t i = 0; i < present.size(); ++i) {
            const Listed& now = listed[present[i]->Name];
            if (ModeName(modes[i]) != present[i]->StartMode || StateName(now.state) != present[i]->State)
                before.push_back({now.name, StateName(now.state), ModeName(modes[i]), now.display});
        }
        if (!before.empty()) {
            std::wstring folder = floor.folder + L"Config\\Annulation\\";
            SYSTEMTIME stamp{};
            GetSystemTime(&stamp);
            wchar_t name[64];
            swprintf(name, 64, L"annulation-%04u%02u%02u-%02u%02u%02u-%03u", stamp.wYear, stamp.wMonth, stamp.wDay, stamp.wHour,
                     stamp.wMinute, stamp.wSecond, stamp.wMilliseconds);
            WriteDurably(folder + name + L"-floor.cfg", kestrane::FormatConfig(before, kestrane::EncodingFor(before)));
            std::vector<std::wstring> files;
            WIN32_FIND_DATAW found{};
            HANDLE search = FindFirstFileW((folder + L"annulation-*.cfg").c_str(), &found);
            if (search != INVALID_HANDLE_VALUE) {
                do files.push_back(folder + found.cFileName);
                while (FindNextFileW(search, &found));
                FindClose(search);
            }
            std::sort(files.begin(), files.end());
            for (size_t i = 0; i + 10 < files.size(); ++i) DeleteFileW(files[i].c_str());
        }
    }
    std::unique_ptr<ProgressFloor> progress;
    int step = 0;
    if (whole) progress = std::make_unique<ProgressFloor>(floor.window, floor.look.font, static_cast<int>(2 * records.size() + 1));
    std::vector<size_t> changing;
    for (size_t i = 0; i < present.size(); ++i)
        if (!whole || ModeName(modes[i]) != present[i]->StartMode) changing.push_back(i);
    OnFourThreads(changing.size(), [&](size_t k) {
        const kestrane::ConfigRecord& r = *present[changing[k]];
        std::wstring dependencies = DependencyArgument(r.Name);
        ScHandle service(OpenServiceW(floor.manager.Get(), r.Name.c_str(), SERVICE_CHANGE_CONFIG));
        DWORD start = r.StartMode == L"Auto" ? SERVICE_AUTO_START : r.StartMode == L"Disabled" ? SERVICE_DISABLED : SERVICE_DEMAND_START;
        ChangeServiceConfigW(service.Get(), SERVICE_NO_CHANGE, start, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                             dependencies.c_str(), nullptr, nullptr, nullptr);
    });
    if (progress)
        for (size_t i = 0; i < records.size(); ++i) progress->Step(++step);
    // Stops first, those no service needs before those others need; then starts.
    std::vector<const kestrane::ConfigRecord*> stops, starts;
    for (const auto* r : present) {
        DWORD now = listed[r->Name].state;
        if (r->State == L"Stopped" && now != SERVICE_STOPPED) stops.push_back(r);
        if (r->State == L"Running" && now != SERVICE_RUNNING) starts.push_back(r);
    }
    std::stable_partition(stops.begin(), stops.end(), [&](const kestrane::ConfigRecord* r) { return !maps.dependentsOf.count(r->Name); });
    std::vector<std::pair<std::wstring, DWORD>> moving;
    for (const auto* r : stops) {
        ScHandle service(OpenServiceW(floor.manager.Get(), r->Name.c_str(), SERVICE_STOP));
        SERVICE_STATUS status{};
        if (ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) moving.emplace_back(r->Name, SERVICE_STOPPED);
    }
    WaitFor(floor, moving);
    moving.clear();
    for (const auto* r : starts) {
        ScHandle service(OpenServiceW(floor.manager.Get(), r->Name.c_str(), SERVICE_START));
        if (StartServiceW(service.Get(), 0, nullptr)) moving.emplace_back(r->Name, SERVICE_RUNNING);
    }
    WaitFor(floor, moving);
    if (progress)
        for (size_t i = 0; i < records.size(); ++i) progress->Step(++step);
    if (!whole) return;
    progress.reset();
    // The closing check: the machine read again, services still pending read again until they settle, and
    // the registry's word on triggers for those whose state differs.
    int differing = 0;
    for (int waited = 0;; waited += 50) {
        std::map<std::wstring, DWORD> states;
        for (const Listed& entry : floor.Enumerate()) states[entry.name] = entry.state;
        differing = 0;
        bool pending = false;
        for (const auto* r : present) {
            DWORD now = states[r->Name];
            if (now == WantedState(r->State)) continue;
            if (DelayedAndTriggered(r->Name).second) continue;
            ++differing;
            pending = pending || now == SERVICE_START_PENDING || now == SERVICE_STOP_PENDING;
        }
        if (!pending || waited >= 3000) break;
        kestrane::WaitPainting(50);
    }
    floorDiffering = differing;
    report.push_back(kestrane::texts::kNotYetInWantedState + std::to_wstring(differing));
    if (report.size() > 12) ShowLines(report, floor.look.font, L"report");
}

// The command line's comparison of a configuration's records with the machine, as a process of its own:
// the file read and parsed, the services listed once, the start mode of each record's service read, the
// differences written out.
int ComparerFloor(const std::wstring& path) {
    std::vector<kestrane::ConfigRecord> records = ReadConfiguration(path);
    ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
    std::vector<BYTE> buffer(64 * 1024);
    DWORD needed = 0, returned = 0, resume = 0;
    while (!EnumServicesStatusExW(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, buffer.data(),
                                  static_cast<DWORD>(buffer.size()), &needed, &returned, &resume, nullptr) &&
           GetLastError() == ERROR_MORE_DATA) {
        buffer.resize(needed + 4096);
        resume = 0;
    }
    std::map<std::wstring, DWORD> states;
    const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) states[entries[i].lpServiceName] = entries[i].ServiceStatusProcess.dwCurrentState;
    std::wstring text = kestrane::texts::kCompareHeading + path + L"\r\n";
    bool same = true;
    for (const auto& r : records) {
        auto found = states.find(r.Name);
        if (found == states.end()) {
            text += kestrane::texts::kApplyAbsent + r.Name + L"\r\n";
            same = false;
            continue;
        }
        ScHandle service(OpenServiceW(manager.Get(), r.Name.c_str(), SERVICE_QUERY_CONFIG));
        std::vector<BYTE> config(8192);
        DWORD bytes = 0;
        QueryServiceConfigW(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()), 8192, &bytes);
        std::wstring mode = ModeName(reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->dwStartType);
        if (mode != r.StartMode) {
            text += r.Name + kestrane::texts::kCompareStartMode + mode + kestrane::texts::kCompareWanted + r.StartMode + L"\r\n";
            same = false;
        }
        if (StateName(found->second) != r.State) {
            DelayedAndTriggered(r.Name);
            text += r.Name + kestrane::texts::kCompareState + StateName(found->second) + kestrane::texts::kCompareWanted + r.State + L"\r\n";
            same = false;
        }
    }
    if (same) text += std::wstring(kestrane::texts::kCompareNothing) + L"\r\n";
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    return same ? 0 : 1;
}

// Runs a command line to its end with its output to NUL; gives its life, creation to exit, as the system
// counts it (GetProcessTimes), in milliseconds.
double ProcessLife(const std::wstring& commandLine) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(nul);
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process.hProcess, &created, &exited, &kernel, &user);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(nul);
    return static_cast<double>(Ticks(exited) - Ticks(created)) / 10000.0;
}

// Warns when a floor's result is not the program's.
void CheckSame(const char* what, bool same) {
    if (!same && Wanted(what)) std::printf("%-9s the floor's result differs from the program's\n", what);
}

// `count` records of services the machine lacks, in a configuration of the application folder.
std::wstring AbsentConfiguration(const std::wstring& folder, int count) {
    std::vector<kestrane::ConfigRecord> records;
    records.reserve(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"KstAbsent%05d", i);
        records.push_back({name, L"Stopped", L"Manual", std::wstring(L"Service absent ") + (name + 9)});
    }
    std::wstring file = L"kst-absent-" + std::to_wstring(count) + L".cfg";
    kestrane::WriteConfigFile(folder + L"Config\\" + file, records);
    return file;
}

// A configuration file of `count` records for the editor, in the temporary folder.
std::wstring EditorFile(int count) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::vector<kestrane::ConfigRecord> records;
    for (int i = 1; i <= count; ++i) {
        wchar_t bench[16];
        swprintf(bench, 16, L"KstBench%05d", i);
        records.push_back({bench, L"Stopped", L"Manual", std::wstring(L"Service de mesure ") + (bench + 8)});
    }
    std::wstring file = std::wstring(temp) + L"kst-bench-" + std::to_wstring(count) + L".cfg";
    kestrane::WriteConfigFile(file, records);
    return file;
}

// The floor of the table of every service: one enumeration, shown in a virtual list view sorted by display
// name, in a window with the same fields and buttons; start modes read on four threads; a search and a sort
// done on the rows held.
struct TableFloor {
    std::vector<Listed> rows;
    std::vector<size_t> shown;
    std::vector<DWORD> starts;
    std::wstring cell;
    HWND window = nullptr, list = nullptr;
    HFONT font = kestrane::CreateMessageFont(96);

    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<TableFloor*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == WM_NOTIFY && self && reinterpret_cast<NMHDR*>(lp)->code == LVN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(lp);
            const Listed& row = self->rows[self->shown[static_cast<size_t>(info->item.iItem)]];
            size_t at = self->shown[static_cast<size_t>(info->item.iItem)];
            switch (info->item.iSubItem) {
            case 0: self->cell = row.display; break;
            case 1: self->cell = row.name; break;
            case 2: self->cell = StateName(row.state); break;
            case 3: self->cell = at < self->starts.size() ? ModeName(self->starts[at]) : L""; break;
            default: self->cell.clear();
            }
            lstrcpynW(info->item.pszText, self->cell.c_str(), info->item.cchTextMax);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wp, lp);
    }
    // A window of its own, as the program's table is.
    void Open(FloorWindow& floor) {
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc{};
            wc.lpfnWndProc = Procedure;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
            wc.lpszClassName = L"KestraneBenchTable";
            RegisterClassW(&wc);
            registered = true;
        }
        rows = floor.Enumerate();
        starts.clear();
        shown.resize(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) shown[i] = i;
        std::sort(shown.begin(), shown.end(), [&](size_t x, size_t y) {
            return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, rows[x].display.c_str(), -1, rows[y].display.c_str(), -1) ==
                   CSTR_LESS_THAN;
        });
        window = CreateWindowExW(0, L"KestraneBenchTable", L"floor table", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 796, 580,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        Child(window, L"STATIC", L"Re&chercher :", SS_LEFT, 12, 10, 78, 24, font);
        Child(window, L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL, 94, 10, 300, 24, font);
        for (int i = 0; i < 2; ++i) {
            Child(window, L"STATIC", L"&Etat :", SS_LEFT, 400 + 170 * i, 10, 48, 24, font);
            HWND box = Child(window, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 450 + 170 * i, 10, 110, 200, font);
            SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"tous"));
            SendMessageW(box, CB_SETCURSEL, 0, 0);
        }
        Child(window, L"STATIC", L"&Liste", SS_LEFT, 12, 40, 700, 20, font);
        list = Child(window, WC_LISTVIEWW, L"", LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 12, 64, 756, 380, font);
        ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
        const wchar_t* titles[] = {L"Nom affiché", L"Nom", L"État", L"Mode de démarrage", L"Liste des interdits", L"Type", L"Choix"};
        for (int c = 0; c < 7; ++c) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.pszText = const_cast<wchar_t*>(titles[c]);
            column.cx = c == 6 ? 0 : 120;
            ListView_InsertColumn(list, c, &column);
        }
        for (int b = 0; b < 9; ++b) Child(window, L"BUTTON", L"&Bouton", BS_PUSHBUTTON, 12 + 84 * b, 460, 80, 28, font);
        ListView_SetItemCountEx(list, static_cast<int>(shown.size()), LVSICF_NOSCROLL);
        ShowWindow(window, SW_SHOWNORMAL);
        SetForegroundWindow(window);
    }
    void ReadModes(FloorWindow& floor) {
        starts.assign(rows.size(), 0);
        OnFourThreads(rows.size(), [&](size_t i) { starts[i] = floor.StartType(rows[i].name); });
        InvalidateRect(list, nullptr, FALSE);
    }
    void Search(const std::wstring& text) {
        shown.clear();
        std::wstring lower = text;
        CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
        for (size_t i = 0; i < rows.size(); ++i) {
            std::wstring name = rows[i].name, display = rows[i].display;
            CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
            CharLowerBuffW(display.data(), static_cast<DWORD>(display.size()));
            if (name.find(lower) != std::wstring::npos || display.find(lower) != std::wstring::npos) shown.push_back(i);
        }
        ListView_SetItemCountEx(list, static_cast<int>(shown.size()), LVSICF_NOSCROLL);
        InvalidateRect(list, nullptr, FALSE);
    }
    void SortByName(bool descending) {
        std::sort(shown.begin(), shown.end(), [&](size_t x, size_t y) {
            int c = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, rows[x].name.c_str(), -1, rows[y].name.c_str(), -1);
            return descending ? c == CSTR_GREATER_THAN : c == CSTR_LESS_THAN;
        });
        InvalidateRect(list, nullptr, FALSE);
    }
    void Close() {
        if (window) DestroyWindow(window);
        window = list = nullptr;
    }
    ~TableFloor() {
        Close();
        DeleteObject(font);
    }
};

// The table of every service: opened to its first rows, to every start mode shown, a keystroke in its search
// box and a sort, each beside its floor.
void TableRows(kestrane::Fen1& fen, kestrane::AppContext& app, FloorWindow& floor, int count, int runs) {
    auto open = [&] { SendMessageW(fen.Handle(), WM_COMMAND, MAKEWPARAM(IDM_TOUSSERVICES, 0), 0); };
    auto table = [&] { return app.windows.Find<kestrane::ServicesWindow>(); };
    auto closeBoth = [&] { CloseWindows(L"KestraneServices"); CloseWindows(L"KestraneBenchTable"); };
    TableFloor bare;
    Row("table", count, runs, open, [&] { bare.Open(floor); }, [&] {
        closeBoth();
        bare.window = bare.list = nullptr;
    });
    Row("tablemodes", count, runs, [&] {
            open();
            // The start modes are read as the window reads them in use: in short steps between the user's messages.
            MSG msg;
            while (!table()->StartModesRead() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        },
        [&] {
            bare.Open(floor);
            bare.ReadModes(floor);
        },
        [&] {
            closeBoth();
            bare.window = bare.list = nullptr;
        });
    open();
    table()->ReadAllNow();
    bare.Open(floor);
    bare.ReadModes(floor);
    CheckSame("table", static_cast<size_t>(ListView_GetItemCount(table()->List())) == bare.shown.size());
    bool typed = false;
    Row("search", count, runs, [&] {
            SetWindowTextW(table()->EdSearch.Handle(), typed ? L"" : L"kstbench01");
            typed = !typed;
        },
        [&] { bare.Search(typed ? L"kstbench01" : L""); });
    SetWindowTextW(table()->EdSearch.Handle(), L"");
    bare.Search(L"");
    bool descending = false;
    Row("sort", count, runs, [&] {
            NMLISTVIEW click{};
            click.hdr = {table()->List(), static_cast<UINT_PTR>(GetDlgCtrlID(table()->List())), LVN_COLUMNCLICK};
            click.iItem = -1;
            click.iSubItem = 1;
            SendMessageW(table()->Handle(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
        },
        [&] {
            bare.SortByName(descending);
            descending = !descending;
        });
    closeBoth();
    bare.window = bare.list = nullptr;
}

int Rows(kestrane::Fen1& fen, kestrane::AppContext& app, SilentDialogs& dialogs, const std::vector<kestrane::ConfigRecord>& a,
         const std::vector<kestrane::ConfigRecord>& b, int runs) {
    if (!fen.Create(true)) return 1;
    const std::wstring folder = app.var.CheminAppli;
    for (const wchar_t* sub : {L"", L"Config", L"Config\\Annulation", L"liste", L"Tmp"}) CreateDirectoryW((folder + sub).c_str(), nullptr);
    if (GetFileAttributesW((folder + L"liste\\interdit.txt").c_str()) == INVALID_FILE_ATTRIBUTES)
        WriteWhole(folder + L"liste\\interdit.txt", "");
    const std::wstring pathA = folder + L"Config\\kst-bench-a.cfg", pathB = folder + L"Config\\kst-bench-b.cfg";
    kestrane::WriteConfigFile(pathA, a);
    kestrane::WriteConfigFile(pathB, b);
    fen.ChargeListeConf();
    const int count = fen.CbNomSys.Count();
    FloorWindow floor(true);
    floor.Maps();
    const int withDependencies = floor.maps.withDependencies;
    HWND main = fen.Handle(), bare = floor.window;
    auto command = [&](UINT id) { SendMessageW(fen.Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0); };

    Row("fill", count, runs, [&] { fen.ChargeServices(); }, [&] { floor.Fill(floor.Enumerate()); }, {}, main, bare);
    CheckSame("fill", SendMessageW(floor.names, CB_GETCOUNT, 0, 0) == fen.CbNomSys.Count());

    // A service in the middle of the list, with services on both sides of its dependencies.
    int position = fen.CbNomSys.FindExact(L"KstBench0150");
    if (position < 0) position = count / 2;
    const std::wstring name = fen.CbNomSys.Item(position);
    Row("select", count, runs, [&] { fen.CbNomSys.Select(position); }, [&] { floor.Select(name); }, {}, main, bare);

    Row("state", count, runs, [&] { command(IDM_FILTER_FIRST + 1); }, [&] {
        std::vector<Listed> kept;
        for (const Listed& entry : floor.Enumerate())
            if (entry.state == SERVICE_STOPPED) kept.push_back(entry);
        floor.Fill(kept);
    }, {}, main, bare);
    CheckSame("state", SendMessageW(floor.names, CB_GETCOUNT, 0, 0) == fen.CbNomSys.Count());
    Row("mode", count, runs, [&] { command(IDM_FILTER_FIRST + 3); }, [&] {
        std::vector<Listed> listed = floor.Enumerate(), kept;
        std::vector<DWORD> starts(listed.size());
        OnFourThreads(listed.size(), [&](size_t i) { starts[i] = floor.StartType(listed[i].name); });
        for (size_t i = 0; i < listed.size(); ++i)
            if (starts[i] == SERVICE_DEMAND_START) kept.push_back(listed[i]);
        floor.Fill(kept);
    }, {}, main, bare);
    CheckSame("mode", SendMessageW(floor.names, CB_GETCOUNT, 0, 0) == fen.CbNomSys.Count());
    fen.ChargeServices();
    TableRows(fen, app, floor, count, runs);

    fen.CbNomSys.SelectText(name);
    FloorLook detailsLook;
    Row("details", count, runs, [&] { command(IDM_DETAILSERV); }, [&] { DetailsFloor(floor, name, detailsLook); }, [&] {
        CloseWindows(L"KestraneFen5");
        CloseWindows(L"KestraneBenchFloor", L"details");
    });

    // Each save is a new file (the name of the day, as a first save of the day is): nothing to keep aside.
    dialogs.name = L"kst-bench-save";
    const std::wstring saved = folder + L"Config\\kst-bench-save.cfg", floorSaved = folder + L"Config\\kst-bench-floor.cfg";
    Row("save", count, runs, [&] { command(IDM_SAUVECONF); }, [&] {
        floor.Select(name);  // the selected service read again first, as the program does
        std::vector<Listed> listed = floor.Enumerate();
        std::vector<DWORD> starts(listed.size());
        OnFourThreads(listed.size(), [&](size_t i) { starts[i] = floor.StartType(listed[i].name); });
        std::vector<kestrane::ConfigRecord> records;
        records.reserve(listed.size());
        for (size_t i = 0; i < listed.size(); ++i)
            records.push_back({listed[i].name, StateName(listed[i].state), ModeName(starts[i]), listed[i].display});
        floor.Fill(listed);
        WriteDurably(floorSaved, kestrane::FormatConfig(records, kestrane::EncodingFor(records)));
        floor.ListConfigurations();
    }, [&] {
        DeleteFileW(saved.c_str());
        DeleteFileW(floorSaved.c_str());
    }, main, bare);
    DeleteFileW(floorSaved.c_str());
    DeleteFileW(saved.c_str());
    fen.ChargeListeConf();

    EditorFloorLook editorLook;
    for (int records : {3000, 40000}) {
        const char* row = records == 3000 ? "editor" : "editor40k";
        if (!Wanted(row)) continue;
        dialogs.file = EditorFile(records);
        Row(row, count, runs, [&] { command(IDM_EXTERNE); },
            [&] { EditorFloor(dialogs.file, folder + L"Tmp\\kst-floor.cfg", folder, editorLook); }, [&] {
                CloseWindows(L"KestraneFen4");
                CloseWindows(L"KestraneBenchFloor", L"editor");
            });
        DeleteFileW(dialogs.file.c_str());
    }

    // The same 300 records, whatever the machine's size.
    fen.CbListeConf.SelectText(L"kst-bench-a.cfg");
    Row("preview", count, runs, [&] { command(IDM_APERCU); }, [&] { ShowLines(PreviewLinesFloor(floor, pathA), floor.look.font); }, [&] {
        CloseWindows(L"KestranePreview");
        CloseWindows(L"KestraneBenchFloor", L"lines");
    });
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    for (bool ansible : {true, false}) {
        const char* row = ansible ? "ansible" : "pwsh";
        dialogs.file = std::wstring(temp) + (ansible ? L"kst-bench.yml" : L"kst-bench.ps1");
        std::wstring floorFile = std::wstring(temp) + (ansible ? L"kst-bench-floor.yml" : L"kst-bench-floor.ps1");
        Row(row, count, runs, [&] { command(ansible ? IDM_EXPORTANSIBLE : IDM_EXPORTPOWERSHELL); },
            [&] { ExportFloor(floor, pathA, ansible, floorFile); });
        if (Wanted(row)) CheckSame(row, ReadWhole(dialogs.file) == ReadWhole(floorFile) && !ReadWhole(floorFile).empty());
    }

    // Each run, program's or floor's, brings the machine from one configuration to the other.
    // "apply": beside the calls of the application alone; "apply-min": beside all the program must do.
    int turn = 0;
    for (bool whole : {false, true})
        Row(whole ? "apply-min" : "apply", count, runs, [&] {
                fen.CbListeConf.SelectText(turn++ % 2 == 0 ? L"kst-bench-a.cfg" : L"kst-bench-b.cfg");
                command(IDM_CHARGECONF);
            },
            [&] { ApplyFloor(floor, turn++ % 2 == 0 ? pathA : pathB, whole); },
            [&] {
                CloseWindows(L"KestranePreview");  // a long closing report
                CloseWindows(L"KestraneBenchFloor", L"report");
                Sleep(1500);  // the services started or stopped settle before the next turn
            });
    CheckSame("apply-min", floorDiffering == 0);

    // Records the machine lacks: the time per record stays the same from 10,000 to 40,000.
    for (int records : {10000, 20000, 40000}) {
        std::string row = "absent" + std::to_string(records / 1000) + "k";
        if (!Wanted(row.c_str())) continue;
        std::wstring file = AbsentConfiguration(folder, records);
        fen.ChargeListeConf();
        Row(row.c_str(), count, std::max(1, runs / 2), [&] {
                fen.CbListeConf.SelectText(file);
                command(IDM_CHARGECONF);
            },
            [&] { ApplyFloor(floor, folder + L"Config\\" + file, true); },
            [&] {
                CloseWindows(L"KestranePreview");
                CloseWindows(L"KestraneBenchFloor", L"report");
            });
        DeleteFileW((folder + L"Config\\" + file).c_str());
    }
    fen.ChargeListeConf();

    // The machine as it was: a floor that loses a dependency list measures another machine next time.
    CheckSame("apply", ReadDependencyMaps().withDependencies == withDependencies);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const double entered = SinceProcessCreation();
    std::wstring mode = argc > 1 ? argv[1] : L"startup";
    if (mode == L"comparer-floor" && argc > 2) return ComparerFloor(argv[2]);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 7;

    if (mode == L"comparer") {
        // The program's comparison of one record, a process of its own, beside the floor's process; each
        // timed from its creation to its exit as the system counts them. The program is the installed one.
        wchar_t temp[MAX_PATH], self[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring file = std::wstring(temp) + L"kst-bench-one.cfg";
        kestrane::WriteConfigFile(file, {{L"KstBench0150", L"Stopped", L"Manual", L"KstBench0150"}});
        std::wstring program = L"\"" + ApplicationFolder() + L"Kestrane.exe\" /comparer \"" + file + L"\"";
        std::wstring floor = L"\"" + std::wstring(self) + L"\" comparer-floor \"" + file + L"\"";
        std::vector<double> times, floors;
        for (int i = 0; i < runs; ++i)
            for (int k = 0; k < 2; ++k) {
                bool programTurn = (k == 0) == (i % 2 == 0);
                (programTurn ? times : floors).push_back(ProcessLife(programTurn ? program : floor));
            }
        ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
        DWORD needed = 0, returned = 0, resume = 0;
        EnumServicesStatusExW(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed, &returned,
                              &resume, nullptr);
        std::vector<BYTE> buffer(needed + 4096);
        resume = 0;
        EnumServicesStatusExW(manager.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, buffer.data(),
                              static_cast<DWORD>(buffer.size()), &needed, &returned, &resume, nullptr);
        Print("comparer", static_cast<int>(returned), Median(times), Median(floors), runs);
        DeleteFileW(file.c_str());
        return 0;
    }
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
        // Whether this Wine keeps a service's dependency list when ChangeServiceConfigW is given none (Windows
        // reads a null lpDependencies as "no change"); the list is put back either way.
        const std::wstring dependencies = DependencyArgument(name);
        {
            ScHandle s(OpenServiceW(manager.Get(), name.c_str(), SERVICE_CHANGE_CONFIG));
            ChangeServiceConfigW(s.Get(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr);
            bool kept = DependencyArgument(name) == dependencies;
            ChangeServiceConfigW(s.Get(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                 dependencies.c_str(), nullptr, nullptr, nullptr);
            std::printf("%-40s %s (%zu characters of dependencies)\n", "ChangeServiceConfigW, no list given",
                        kept ? "list kept" : "list LOST", dependencies.size() - 1);
        }
        time("ChangeServiceConfigW (its own list)", [&] {
            ScHandle s(OpenServiceW(manager.Get(), name.c_str(), SERVICE_CHANGE_CONFIG));
            ChangeServiceConfigW(s.Get(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                 DependencyArgument(name).c_str(), nullptr, nullptr, nullptr);
        });
        time("layer StopService (stopped)", [&] { layer->StopService(name); });
        time("layer Find", [&] { layer->Find(name); });
        return 0;
    }

    if (mode == L"startup-floor") {
        // The window made over the folder's picture while the lists of who needs whom are read on another
        // thread, one enumeration, the lists filled and fitted, the configurations listed, the first service
        // shown once.
        LoadLibraryW(L"msftedit.dll");
        FloorWindow floor(true);
        floor.Fill(floor.Enumerate());
        floor.ListConfigurations();
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
    if (mode == L"rows") return Rows(fen, app, dialogs, a, b, runs);
    return 0;
}
