#include "Scratch.h"

#include "profile/MachineLock.h"

#include <windows.h>

#include <filesystem>

namespace kestrane::test {

void FailingWriter::Append(const std::wstring& path, std::string_view bytes) {
    if (failAfter >= 0 && writes++ >= failAfter) {
        AppendFileBytes(path, bytes.substr(0, bytes.size() / 2));
        throw FileError("disk full", path, ERROR_DISK_FULL);
    }
    AppendFileBytes(path, bytes);
}

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    root_ = std::wstring(temp) + L"kestrane-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    for (const wchar_t* sub : {L"", L"\\Kestrane", L"\\Kestrane\\Config", L"\\Kestrane\\Tmp", L"\\Kestrane\\liste",
                               L"\\Kestrane\\Image", L"\\Kestrane\\ServTxt", L"\\Kestrane\\ServTxt\\serv",
                               L"\\Kestrane\\ServTxt\\help", L"\\Kestrane\\ServTxt\\info"})
        CreateDirectoryW((root_ + sub).c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(root_), ignored);
}

void ScratchFolder::Write(const std::wstring& relative, const std::string& bytes) const {
    std::wstring path = App() + relative;
    DeleteFileW(path.c_str());
    AppendFileBytes(path, bytes);
}

void ScratchFolder::Remove(const std::wstring& relative) const { DeleteFileW((App() + relative).c_str()); }

bool ScratchFolder::Exists(const std::wstring& relative) const { return FileExists(App() + relative); }

void ScratchFolder::CopyFromData(const std::wstring& relative) const {
    std::string source = KESTRANE_SOURCE_DIR;
    // Under Wine the Linux file system is drive Z:.
    if (!source.empty() && source[0] == '/') source = "Z:" + source;
    std::wstring from(source.begin(), source.end());
    from += L"\\data\\" + relative;
    for (auto& c : from)
        if (c == L'/') c = L'\\';
    ASSERT_TRUE(CopyFileW(from.c_str(), (App() + relative).c_str(), FALSE)) << "cannot copy data file";
}

void AddDemoServices(SimulatedServiceManager& machine) {
    // Inventory order on purpose differs from the alphabetical order of display names.
    machine.Add({L"Spooler", L"Spouleur d'impression", L"Running", L"Auto", std::wstring(L"Gère l'impression."),
                 L"C:\\Windows\\System32\\spoolsv.exe", L"LocalSystem", L"Own Process", {L"RpcSs"}});
    machine.Add({L"RpcSs", L"Appel de procédure distante (RPC)", L"Running", L"Auto",
                 std::wstring(L"Le service RPCSS est le gestionnaire de contrôle de services."),
                 L"C:\\Windows\\system32\\svchost.exe -k rpcss", L"NT AUTHORITY\\NetworkService", L"Share Process"});
    machine.Add({L"Fax", L"Télécopie", L"Stopped", L"Manual", std::nullopt, L"C:\\Windows\\system32\\fxssvc.exe",
                 L"NT AUTHORITY\\NetworkService", L"Own Process", {L"Spooler", L"RpcSs"}});
    machine.Add({L"wuauserv", L"Windows Update", L"Stopped", L"Disabled", std::wstring(L"Mises à jour."),
                 L"C:\\Windows\\system32\\svchost.exe -k netsvcs", L"LocalSystem", L"Share Process"});
    machine.Add({L"Audiosrv", L"Audio Windows", L"Running", L"Auto", std::wstring(L"Gère l'audio."),
                 L"C:\\Windows\\System32\\svchost.exe -k LocalServiceNetworkRestricted", L"NT AUTHORITY\\LocalService",
                 L"Share Process"});
}

// A file with every kind of line a preview shows, on the demo machine with two more services:
// Fax needs Spooler (stopped here) and RpcSs; Client runs and needs Base.
const std::string kEveryKind =
    "\"wuauserv\",\"Stopped\",\"Manual\",\"Windows Update\"\r\n"  // start mode Disabled -> Manual
    "\"Fax\",\"Running\",\"Manual\",\"T\xE9l\xE9" "copie\"\r\n"    // started, Spooler first
    "\"RpcSs\",\"Stopped\",\"Manual\",\"RPC\"\r\n"                   // marked 1: refused
    "\"Audiosrv\",\"Stopped\",\"Auto\",\"Audio\"\r\n"                // marked 0: warned, stopped
    "\"Base\",\"Stopped\",\"Auto\",\"Base\"\r\n"                     // Client holds its stop
    "\"Absent\",\"Running\",\"Auto\",\"Absent\"\r\n";                // not on this machine

void AddPerUserServices(SimulatedServiceManager& machine) {
    SimService templ{L"CDPUserSvc", L"Plateforme", L"Stopped", L"Auto"};
    templ.perUser = PerUser::Template;
    machine.Add(templ);
    SimService instance{L"CDPUserSvc_9f21c", L"Plateforme_9f21c", L"Running", L"Auto"};
    instance.perUser = PerUser::Instance;
    machine.Add(instance);
}

void AddServicesBehindADriver(SimulatedServiceManager& machine) {
    SimService tcpip{L"Tcpip", L"Pilote TCP/IP", L"Running", L"System"};
    tcpip.Driver = true;
    machine.Add(tcpip);
    machine.Add({L"EventLog", L"Journal", L"Stopped", L"Manual"});
    machine.Add({L"Nla", L"Réseau", L"Stopped", L"Manual", std::nullopt, L"n.exe", L"LocalSystem", L"Own Process", {L"Tcpip", L"EventLog"}});
    machine.Add({L"Relay", L"Relais", L"Stopped", L"Manual", std::nullopt, L"r.exe", L"LocalSystem", L"Own Process", {L"Nla"}});
    machine.Add({L"Top", L"Haut", L"Stopped", L"Manual", std::nullopt, L"t.exe", L"LocalSystem", L"Own Process", {L"Relay"}});
}

OtherApplication::OtherApplication()
    : taken_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), end_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this] {
        MachineLock lock;
        lock.Take(INFINITE);
        SetEvent(taken_);
        WaitForSingleObject(end_, INFINITE);
        Sleep(delay_);
    });
    WaitForSingleObject(taken_, INFINITE);
}

OtherApplication::~OtherApplication() {
    SetEvent(end_);
    thread_.join();
    CloseHandle(taken_);
    CloseHandle(end_);
}

void OtherApplication::EndAfter(unsigned long milliseconds) {
    delay_ = milliseconds;
    SetEvent(end_);
}

void ArrangeProfileMachine(SimulatedServiceManager& machine, const ScratchFolder& folder) {
    AddDemoServices(machine);
    machine.Get(L"Spooler")->State = L"Stopped";
    machine.Add({L"Base", L"Base", L"Running", L"Auto", std::nullopt});
    machine.Add({L"Client", L"Client", L"Running", L"Auto", std::nullopt, L"C:\\client.exe", L"LocalSystem",
                 L"Own Process", {L"Base"}});
    folder.Write(L"liste\\interdit.txt", "\"RpcSs\",1\r\n\"Audiosrv\",0\r\n");
    folder.Write(L"Config\\profil.cfg", kEveryKind);
}

std::vector<std::wstring> ControlCalls(const SimulatedServiceManager& machine) {
    std::vector<std::wstring> calls;
    for (const std::wstring& call : machine.MethodLog())
        if (call.rfind(L"start:", 0) == 0 || call.rfind(L"stop:", 0) == 0 || call.rfind(L"change", 0) == 0)
            calls.push_back(call);
    return calls;
}

std::map<std::wstring, ServiceState> MachineSnapshot(SimulatedServiceManager& machine) {
    std::map<std::wstring, ServiceState> out;
    for (const ServiceEntry& e : machine.Inventory(true)) out[e.Name] = {*e.State, *e.StartMode};
    return out;
}

}  // namespace kestrane::test
