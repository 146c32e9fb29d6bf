#include "TestSupport.h"

#include "base/TextFile.h"

#include <commctrl.h>

#include <filesystem>

namespace kestrane::test {

int ScriptedDialogs::Message(HWND, const std::wstring& text, const std::wstring& title, int style) {
    shown.push_back({text, title, style});
    bool yesNo = style == 20 || style == 36 || style == 68;
    if (!yesNo) return IDOK;
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question box: " << std::string(text.begin(), text.end());
        return IDNO;
    }
    int answer = answers.front();
    answers.pop_front();
    return answer;
}

std::wstring ScriptedDialogs::InputBox(HWND, const std::wstring& prompt, const std::wstring& title,
                                       const std::wstring&) {
    prompts.push_back({prompt, title, 0});
    if (inputs.empty()) {
        ADD_FAILURE() << "unexpected input box";
        return {};
    }
    std::wstring text = inputs.front();
    inputs.pop_front();
    return text;
}

std::optional<FileChoice> ScriptedDialogs::NextFile(const FileDialogOptions& options) {
    fileDialogs.push_back(options);
    if (files.empty()) {
        ADD_FAILURE() << "unexpected file dialog";
        return std::nullopt;
    }
    std::optional<FileChoice> choice = files.front();
    files.pop_front();
    return choice;
}

std::optional<FileChoice> ScriptedDialogs::OpenFile(HWND, const FileDialogOptions& options) { return NextFile(options); }

std::optional<FileChoice> ScriptedDialogs::SaveFile(HWND, const FileDialogOptions& options) { return NextFile(options); }

void FailingWriter::Append(const std::wstring& path, std::string_view bytes) {
    if (failAfter >= 0 && writes++ >= failAfter) {
        AppendFileBytes(path, bytes.substr(0, bytes.size() / 2));
        throw FileError("disk full", path, ERROR_DISK_FULL);
    }
    AppendFileBytes(path, bytes);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
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

void MainWindowTest::SetUp() {
    app.services = &machine;
    app.dialogs = &dialogs;
    app.quitOnClose = false;
    app.folders.today = [this] { return date; };
    app.folders.specialFolder = [this](HWND, int id) -> std::wstring {
        return id == 38 ? folder.Root() : folder.Root() + L"\\Documents";
    };
    folder.Write(L"liste\\interdit.txt", "");
}

void MainWindowTest::TearDown() { fen.reset(); }

void MainWindowTest::Open() {
    fen = std::make_unique<Fen1>(app);
    ASSERT_TRUE(fen->Create(false));
}

std::vector<std::wstring> MainWindowTest::Items(const ComboBox& list) const {
    std::vector<std::wstring> items;
    for (int i = 0; i < list.Count(); ++i) items.push_back(list.Item(i));
    return items;
}

}  // namespace kestrane::test

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
