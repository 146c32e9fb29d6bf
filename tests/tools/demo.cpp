// Registers demo services on the machine: the test service program (kestrane_testsvc.exe, in the folder
// of this program) under several names, so that Kestrane has something to show and to act on.
//
//   kestrane_demo install     registers the demo services (or brings them back to their demo settings)
//                             and starts those meant to run, and names two of them in the forbidden list
//                             of the installed Kestrane; running it again gives the same result
//   kestrane_demo uninstall   stops and deletes them
//   kestrane_demo bench N     registers N stopped services KstBench0001..N, some depending on others
//   kestrane_demo unbench     stops and deletes every KstBench service
//
// Exit code 0 when everything went as asked, 1 otherwise (each failure is printed).
#include "base/Handles.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

namespace {

using kestrane::ScHandle;

struct DemoService {
    const wchar_t* name;
    const wchar_t* displayName;
    DWORD startType;
    bool running;
    std::vector<std::wstring> dependsOn;
    const wchar_t* description;  // nullptr: the service has no description at all
};

// Listed so that a service always comes after those it depends on: installed and started in this order,
// stopped and deleted in the reverse one.
const std::vector<DemoService>& DemoServices() {
    static const std::vector<DemoService> services = {
        {L"KstDemoAudio", L"Audio de démonstration", SERVICE_AUTO_START, true, {},
         L"Diffuse le son des applications de démonstration."},
        {L"KstDemoReseau", L"Réseau de démonstration", SERVICE_AUTO_START, true, {},
         L"Fournit la connexion réseau simulée aux autres services de démonstration."},
        {L"KstDemoPartage", L"Partage de fichiers (démo)", SERVICE_DEMAND_START, true, {L"KstDemoReseau"},
         L"Partage des dossiers sur le réseau de démonstration."},
        {L"KstDemoImpression", L"Impression, démo", SERVICE_DEMAND_START, false, {L"KstDemoReseau", L"KstDemoPartage"},
         L"Gère la file d'impression de démonstration."},
        {L"KstDemoSauvegarde", L"Sauvegarde planifiée", SERVICE_DISABLED, false, {},
         L"Sauvegarde les documents selon un calendrier."},
        {L"KstDemoMiseAJour", L"Mise à jour automatique", SERVICE_DEMAND_START, false, {}, nullptr},
        {L"KstDemoCritique", L"Service critique (démo)", SERVICE_AUTO_START, true, {},
         L"Service indispensable au système de démonstration : ne pas modifier."},
        {L"KstDemoSensible", L"Service sensible (démo)", SERVICE_DEMAND_START, false, {L"KstDemoAudio"},
         L"Service dont la modification est déconseillée."},
    };
    return services;
}

// The demo services Kestrane's forbidden list names: one always refused (mark 1), one refused unless
// forced (mark 0). The list shipped with Kestrane names none of them.
struct DemoForbidden {
    const wchar_t* name;
    char mark;
    const wchar_t* reason;  // shown with the refusal or the warning
};
constexpr DemoForbidden kDemoForbidden[] = {
    {L"KstDemoCritique", '1', L"Service de d\u00e9monstration : Kestrane refuse de le changer, comme un service vital de Windows."},
    {L"KstDemoSensible", '0', L"Service de d\u00e9monstration : le changer est permis apr\u00e8s confirmation. Pr\u00e9f\u00e9rez \u00ab Manuel \u00bb."},
};

constexpr wchar_t kBenchPrefix[] = L"KstBench";

int g_failures = 0;

void Report(const std::wstring& what, DWORD error) {
    std::fwprintf(stderr, L"%ls: Win32 error %lu\n", what.c_str(), error);
    ++g_failures;
}

std::wstring TestServiceProgram() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"kestrane_testsvc.exe";
}

// A REG_MULTI_SZ-style list: each name ended by a null, the whole ended by one more.
std::wstring MultiString(const std::vector<std::wstring>& names) {
    std::wstring out;
    for (const auto& n : names) out += n + L'\0';
    out += L'\0';
    return out;
}

DWORD QueryState(SC_HANDLE service) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service, &status)) return 0;
    return status.dwCurrentState;
}

// Waits (at most `seconds`) until the service has left its pending states; gives the state it reached.
DWORD WaitWhilePending(SC_HANDLE service, int seconds) {
    DWORD state = QueryState(service);
    for (int i = 0; i < seconds * 10; ++i) {
        if (state != SERVICE_START_PENDING && state != SERVICE_STOP_PENDING && state != SERVICE_CONTINUE_PENDING &&
            state != SERVICE_PAUSE_PENDING)
            break;
        Sleep(100);
        state = QueryState(service);
    }
    return state;
}

struct Registration {
    std::wstring name;
    std::wstring displayName;
    DWORD startType;
    std::vector<std::wstring> dependsOn;
    const wchar_t* description;
};

// Creates the service, or brings an existing one back to these settings.
ScHandle Register(SC_HANDLE manager, const Registration& r, const std::wstring& program) {
    std::wstring command = L"\"" + program + L"\" " + r.name;
    std::wstring dependencies = MultiString(r.dependsOn);
    bool created = true;
    ScHandle service(CreateServiceW(manager, r.name.c_str(), r.displayName.c_str(), SERVICE_ALL_ACCESS,
                                    SERVICE_WIN32_OWN_PROCESS, r.startType, SERVICE_ERROR_NORMAL, command.c_str(),
                                    nullptr, nullptr, dependencies.c_str(), nullptr, nullptr));
    if (!service) {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_EXISTS) {
            Report(L"CreateServiceW " + r.name, error);
            return service;
        }
        created = false;
        service.Reset(OpenServiceW(manager, r.name.c_str(), SERVICE_ALL_ACCESS));
        if (!service) {
            Report(L"OpenServiceW " + r.name, GetLastError());
            return service;
        }
        if (!ChangeServiceConfigW(service.Get(), SERVICE_WIN32_OWN_PROCESS, r.startType, SERVICE_ERROR_NORMAL,
                                  command.c_str(), nullptr, nullptr, dependencies.c_str(), nullptr, nullptr,
                                  r.displayName.c_str()))
            Report(L"ChangeServiceConfigW " + r.name, GetLastError());
    }
    // A new service without description is left without one; an existing one loses any description it
    // was given since (an empty text deletes it).
    if (r.description || !created) {
        std::wstring text = r.description ? r.description : L"";
        SERVICE_DESCRIPTIONW description{text.data()};
        if (!ChangeServiceConfig2W(service.Get(), SERVICE_CONFIG_DESCRIPTION, &description))
            Report(L"ChangeServiceConfig2W " + r.name, GetLastError());
    }
    std::wprintf(L"%ls %ls\n", created ? L"registered" : L"updated", r.name.c_str());
    return service;
}

// Stops the service (if it runs) and deletes it; a service that does not exist is no failure.
void Remove(SC_HANDLE manager, const std::wstring& name) {
    ScHandle service(OpenServiceW(manager, name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service) {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_DOES_NOT_EXIST) Report(L"OpenServiceW " + name, error);
        return;
    }
    if (QueryState(service.Get()) != SERVICE_STOPPED) {
        SERVICE_STATUS status{};
        if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
            DWORD error = GetLastError();
            if (error != ERROR_SERVICE_NOT_ACTIVE) Report(L"ControlService(stop) " + name, error);
        }
        if (WaitWhilePending(service.Get(), 10) != SERVICE_STOPPED)
            std::fwprintf(stderr, L"%ls has not stopped yet; it goes once it stops\n", name.c_str());
    }
    if (!DeleteService(service.Get())) {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_MARKED_FOR_DELETE) Report(L"DeleteService " + name, error);
        return;
    }
    std::wprintf(L"deleted %ls\n", name.c_str());
}

struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { CloseHandle(handle); }
};
using FileHandle = kestrane::UniqueHandle<FileHandleTraits>;

// The forbidden list where Kestrane reads it: Kestrane\liste\interdit.txt in the program-files folder.
std::wstring InstalledForbiddenList() {
    wchar_t folder[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, folder) != S_OK) return {};
    std::wstring path = folder;
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path + L"\\Kestrane\\liste\\interdit.txt";
}

std::string Ansi(const std::wstring& text) {
    int length = static_cast<int>(text.size());
    int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size : 0, '\0');
    if (size > 0) WideCharToMultiByte(CP_ACP, 0, text.c_str(), length, out.data(), size, nullptr, nullptr);
    return out;
}

// True when a line of the list begins with this field (the quoted name and its comma).
bool BeginsALine(const std::string& content, const std::string& field) {
    for (size_t at = content.find(field); at != std::string::npos; at = content.find(field, at + 1))
        if (at == 0 || content[at - 1] == '\n') return true;
    return false;
}

// Appends to the installed forbidden list, in its own format ("Name",mark,"reason" ended by CR LF, ANSI code page),
// the record of each demo service it does not name yet.
void AddToForbiddenList() {
    std::wstring path = InstalledForbiddenList();
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || path.empty())
            std::fwprintf(stderr, L"warning: no forbidden list at %ls (is Kestrane installed?); the demo services are "
                                  L"not added to it\n", path.c_str());
        else
            Report(L"CreateFileW " + path, error);
        return;
    }
    std::string content;
    for (;;) {
        char buffer[4096];
        DWORD read = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
            Report(L"ReadFile " + path, GetLastError());
            return;
        }
        if (read == 0) break;
        content.append(buffer, read);
    }
    std::string records;
    for (const auto& f : kDemoForbidden) {
        std::string field(1, '"');
        field += Ansi(f.name);
        field += "\",";
        if (BeginsALine(content, field)) continue;
        records += field + f.mark + ",\"" + Ansi(f.reason) + "\"\r\n";
        std::wprintf(L"forbidden list: added %ls\n", f.name);
    }
    if (records.empty()) return;
    if (!content.empty() && content.back() != '\n') records.insert(0, "\r\n");
    DWORD written = 0;
    if (!WriteFile(file.Get(), records.data(), static_cast<DWORD>(records.size()), &written, nullptr) ||
        written != records.size())
        Report(L"WriteFile " + path, GetLastError());
}

void Install(SC_HANDLE manager) {
    std::wstring program = TestServiceProgram();
    if (GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES)
        std::fwprintf(stderr, L"warning: %ls not found; the services will not start\n", program.c_str());
    for (const auto& d : DemoServices()) {
        ScHandle service = Register(manager, {d.name, d.displayName, d.startType, d.dependsOn, d.description}, program);
        if (!service || !d.running) continue;
        if (!StartServiceW(service.Get(), 0, nullptr)) {
            DWORD error = GetLastError();
            if (error != ERROR_SERVICE_ALREADY_RUNNING) Report(L"StartServiceW " + std::wstring(d.name), error);
            continue;
        }
        // Those that come next may need it: let it reach its running state first.
        if (WaitWhilePending(service.Get(), 10) != SERVICE_RUNNING)
            std::fwprintf(stderr, L"%ls did not reach the running state\n", d.name);
        else
            std::wprintf(L"started %ls\n", d.name);
    }
    AddToForbiddenList();
}

void Uninstall(SC_HANDLE manager) {
    const auto& services = DemoServices();
    for (auto it = services.rbegin(); it != services.rend(); ++it) Remove(manager, it->name);
}

std::wstring BenchName(int number) {
    wchar_t digits[16];
    std::swprintf(digits, 16, L"%04d", number);
    return kBenchPrefix + std::wstring(digits);
}

// Services in chains of ten, each needing the one before it in its chain, and every fourth one also the
// one two places back: most services then have services on both sides of their dependencies.
void Bench(SC_HANDLE manager, int count) {
    std::wstring program = TestServiceProgram();
    for (int i = 1; i <= count; ++i) {
        std::vector<std::wstring> dependsOn;
        if (i % 10 != 6 && i > 1) dependsOn.push_back(BenchName(i - 1));
        if (i % 4 == 0 && i % 10 != 6 && i % 10 != 7 && i > 2) dependsOn.push_back(BenchName(i - 2));
        std::wstring description = L"Service de mesure n° " + std::to_wstring(i) + L".";
        Register(manager,
                 {BenchName(i), L"Service de mesure " + BenchName(i).substr(8), SERVICE_DEMAND_START, dependsOn,
                  description.c_str()},
                 program);
    }
}

bool HasBenchPrefix(const wchar_t* name) {
    size_t length = std::wcslen(kBenchPrefix);
    return CompareStringOrdinal(name, static_cast<int>(std::min(std::wcslen(name), length)), kBenchPrefix,
                                static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

void Unbench(SC_HANDLE manager) {
    std::vector<std::wstring> names;
    std::vector<BYTE> buffer(256 * 1024);
    DWORD resume = 0;
    for (;;) {
        DWORD needed = 0;
        DWORD returned = 0;
        BOOL done = EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, buffer.data(),
                                          static_cast<DWORD>(buffer.size()), &needed, &returned, &resume, nullptr);
        DWORD error = done ? ERROR_SUCCESS : GetLastError();
        if (!done && error != ERROR_MORE_DATA) {
            Report(L"EnumServicesStatusExW", error);
            return;
        }
        const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i)
            if (HasBenchPrefix(entries[i].lpServiceName)) names.emplace_back(entries[i].lpServiceName);
        if (done) break;
        if (needed > buffer.size()) buffer.resize(needed + 4096);
    }
    // Dependents first: higher numbers depend on lower ones.
    for (auto it = names.rbegin(); it != names.rend(); ++it) Remove(manager, *it);
}

int Usage() {
    std::fwprintf(stderr, L"usage: kestrane_demo install | uninstall | bench N | unbench\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    std::wstring verb = argv[1];
    ScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        Report(L"OpenSCManagerW", GetLastError());
        return 1;
    }
    if (verb == L"install") Install(manager.Get());
    else if (verb == L"uninstall") Uninstall(manager.Get());
    else if (verb == L"bench" && argc > 2 && _wtoi(argv[2]) > 0) Bench(manager.Get(), _wtoi(argv[2]));
    else if (verb == L"unbench") Unbench(manager.Get());
    else return Usage();
    return g_failures == 0 ? 0 : 1;
}
