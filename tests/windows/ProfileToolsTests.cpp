// Seeing an application before it is made, undoing it, comparing a machine with a configuration, the
// unattended command line and the exports for fleet tools, on the simulated machine.
#include "TestSupport.h"

#include "windows/resource.h"
#include "profile/Apply.h"
#include "profile/Origin.h"
#include "windows/preview/PreviewWindow.h"
#include "windows/details/Fen5.h"
#include "windows/editor/Fen4.h"
#include "windows/export/Fen3.h"
#include "windows/progress/Fen2.h"
#include "windows/services/ServicesWindow.h"
#include "profile/Plan.h"
#include "base/TextFile.h"
#include "profile/Undo.h"
#include "commandline/Unattended.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>

namespace kestrane::test {
namespace {

using Kind = PlanLine::Kind;

class ProfileTools : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ArrangeProfileMachine(machine, folder);
        Open();
        ASSERT_TRUE(fen->CbListeConf.SelectText(L"profil.cfg"));
        machine.ClearCounts();
    }
    void Command(UINT id) { SendMessageW(fen->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    std::vector<std::wstring> Controls() const { return ControlCalls(machine); }
    std::map<std::wstring, ServiceState> Snapshot() { return MachineSnapshot(machine); }
    std::vector<ForbiddenEntry> Forbidden() { return *ReadForbiddenList(folder.App()); }
    std::vector<ConfigRecord> Records() { return RecordsToApply(folder.App() + L"Config\\profil.cfg"); }
};

TEST_F(ProfileTools, FromThePreviewWindowTheUserAppliesOrCancels) {
    Command(IDM_APERCU);
    PreviewWindow* preview = app.windows.Find<PreviewWindow>();
    ASSERT_TRUE(preview && preview->IsOpen());
    EXPECT_EQ(WindowText(preview->Handle()), L"Aperçu des changements");
    EXPECT_EQ(preview->Lines().size(), 9u);
    EXPECT_TRUE(preview->OffersApply());
    EXPECT_TRUE(Controls().empty());
    SendMessageW(preview->Handle(), WM_COMMAND, MAKEWPARAM(6002, BN_CLICKED), 0);  // Annuler
    EXPECT_FALSE(preview->IsOpen());
    EXPECT_TRUE(Controls().empty());
    EXPECT_TRUE(dialogs.shown.empty());

    // Enter and Escape change nothing: the default button is "Annuler".
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        Command(IDM_APERCU);
        ASSERT_TRUE(preview->IsOpen());
        EXPECT_EQ(GetWindowLongW(preview->BtFermer.Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON, BS_DEFPUSHBUTTON);
        DialogKey(preview->Handle(), GetFocus() ? GetFocus() : preview->BtFermer.Handle(), key);
        EXPECT_FALSE(preview->IsOpen()) << key;
        EXPECT_TRUE(Controls().empty()) << key;
    }

    // A file changed after its preview opened is not applied unseen.
    Command(IDM_APERCU);
    ASSERT_TRUE(preview->IsOpen());
    folder.Write(L"Config\\profil.cfg", "\"RpcSs\",\"Stopped\",\"Disabled\",\"RPC\"\r\n\"Spooler\",\"Stopped\",\"Disabled\",\"s\"\r\n");
    preview->OnAppliquer();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text.rfind(L"la configuration a changé depuis l'aperçu : rien n'est appliqué", 0), 0u);
    EXPECT_TRUE(Controls().empty());
    dialogs.shown.clear();
    folder.Write(L"Config\\profil.cfg", kEveryKind);

    // With "Aperçu avant chaque application" checked, applying shows the preview first.
    Command(IDM_APERCUAUTO);
    EXPECT_TRUE(fen->MenuChecked(IDM_APERCUAUTO));
    Command(IDM_CHARGECONF);
    ASSERT_TRUE(preview->IsOpen());
    EXPECT_TRUE(Controls().empty());
    // Audiosrv is marked 0: the window asks before it changes it, as for a single service.
    dialogs.answers = {IDYES};
    preview->OnAppliquer();
    EXPECT_FALSE(preview->IsOpen());
    EXPECT_FALSE(Controls().empty());
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].style, 68);
    EXPECT_NE(dialogs.shown[0].text.find(L"service : Audiosrv"), std::wstring::npos);
    // The closing message ends with what is not (yet) as wanted: Base, held by Client, and RpcSs, refused.
    const std::wstring& closing = dialogs.shown[1].text;
    EXPECT_EQ(closing.substr(closing.rfind(L'\n') + 1), L"services pas (encore) dans l'état voulu : 2");
    EXPECT_EQ(machine.Get(L"Fax")->State, L"Running");
    EXPECT_EQ(UndoFiles(folder.App()).size(), 1u);
}

TEST_F(ProfileTools, UndoBringsBackEveryServiceTheApplicationChanged) {
    auto before = Snapshot();
    dialogs.answers = {IDYES};  // Audiosrv, marked 0
    Command(IDM_CHARGECONF);
    EXPECT_EQ(machine.Get(L"Spooler")->State, L"Running");  // started for Fax
    EXPECT_EQ(machine.Get(L"wuauserv")->StartMode, L"Manual");
    EXPECT_NE(Snapshot(), before);
    ASSERT_EQ(UndoFiles(folder.App()).size(), 1u);
    // The undo file is no configuration of the list.
    EXPECT_EQ(fen->CbListeConf.Count(), 1);

    // The undo changes services too: it asks first (and refused, changes nothing).
    dialogs.shown.clear();
    machine.ClearCounts();
    dialogs.answers = {IDNO};
    Command(IDM_ANNULERAPPLI);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, L"annuler la dernière application ? les services qu'elle a changés reprennent "
                                     L"leur état et leur mode d'avant");
    EXPECT_TRUE(Controls().empty());
    dialogs.shown.clear();
    dialogs.answers = {IDYES, IDYES};  // the undo, then Audiosrv again
    Command(IDM_ANNULERAPPLI);
    EXPECT_EQ(Snapshot(), before);
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[2].text.substr(0, 19), L"opération éffectuée");
    EXPECT_TRUE(UndoFiles(folder.App()).empty());
    // Nothing left to undo: said so, nothing done.
    dialogs.shown.clear();
    machine.ClearCounts();
    Command(IDM_ANNULERAPPLI);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, L"aucune application à annuler");
    EXPECT_TRUE(Controls().empty());
}

TEST_F(ProfileTools, TheComparisonSaysHowTheMachineDiffers) {
    std::vector<std::wstring> texts;
    for (const PlanLine& line : CompareMachine(machine, Records())) texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::wstring>{
                         // The file wants RpcSs stopped and Fax, which needs it, running: told once, as a
                         // conflict of the file, not as a difference another application would remove.
                         L"RpcSs : voulu arrêté, mais nécessaire à Fax, voulu démarré",
                         L"wuauserv : mode de démarrage Disabled, voulu Manual",
                         L"Fax : état Stopped, voulu Running",
                         L"RpcSs : mode de démarrage Auto, voulu Manual",
                         L"Audiosrv : état Running, voulu Stopped",
                         L"Base : état Running, voulu Stopped",
                         L"service absent de cette machine : Absent",
                     }));
    Command(IDM_COMPARER);
    PreviewWindow* window = app.windows.Find<PreviewWindow>();
    ASSERT_TRUE(window && window->IsOpen());
    EXPECT_FALSE(window->OffersApply());
    EXPECT_EQ(window->Lines(), texts);
    EXPECT_TRUE(Controls().empty());

    // A machine that matches.
    folder.Write(L"Config\\profil.cfg", "\"Audiosrv\",\"Running\",\"Auto\",\"Audio\"\r\n");
    Command(IDM_COMPARER);
    EXPECT_EQ(window->Lines(), std::vector<std::wstring>{L"aucune différence : la machine correspond à la configuration"});
}

TEST_F(ProfileTools, TheOriginalStateIsTakenAtTheFirstStartAndLeadsBackHome) {
    const std::wstring origin = OriginFile(folder.App());
    const auto first = Snapshot();
    // The first start takes it before anything can change, and says so once the window shows.
    fen.reset();
    DeleteFileW(origin.c_str());
    RemoveDirectoryW(OriginFolder(folder.App()).c_str());
    firstStart = true;
    Open();
    ASSERT_TRUE(FileExists(origin));
    EXPECT_TRUE(dialogs.shown.empty());
    PumpMessages();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, texts::kOriginTitle);
    EXPECT_EQ(dialogs.shown[0].text.rfind(texts::kOriginTaken + origin, 0), 0u);
    const std::string taken = ReadFileBytes(origin);
    fen.reset();
    Open();
    PumpMessages();
    EXPECT_EQ(dialogs.shown.size(), 1u) << "told once";
    ASSERT_TRUE(fen->CbListeConf.SelectText(L"profil.cfg"));

    dialogs.shown.clear();
    dialogs.answers = {IDYES};  // Audiosrv, marked 0
    Command(IDM_CHARGECONF);
    const auto changed = Snapshot();
    EXPECT_NE(changed, first);
    EXPECT_EQ(ReadFileBytes(origin), taken);
    Command(IDM_COMPARERORIGINE);
    PreviewWindow* window = app.windows.Find<PreviewWindow>();
    ASSERT_TRUE(window && window->IsOpen());
    EXPECT_FALSE(window->OffersApply());
    const std::vector<std::wstring> since = window->Lines();
    EXPECT_NE(std::find(since.begin(), since.end(), L"Fax : état Running, voulu Stopped"), since.end());

    // Going back is always previewed; applied, it has an undo file of its own, which brings the machine back
    // to where it was.
    size_t undoFiles = UndoFiles(folder.App()).size();
    machine.ClearCounts();
    Command(IDM_REVENIRORIGINE);
    ASSERT_TRUE(window->IsOpen());
    EXPECT_TRUE(window->OffersApply());
    EXPECT_TRUE(Controls().empty());
    dialogs.answers = {IDYES};  // Audiosrv again
    window->OnAppliquer();
    EXPECT_EQ(Snapshot(), first);
    EXPECT_EQ(UndoFiles(folder.App()).size(), undoFiles + 1);
    EXPECT_EQ(ReadFileBytes(origin), taken);
    dialogs.answers = {IDYES, IDYES};
    Command(IDM_ANNULERAPPLI);
    EXPECT_EQ(Snapshot(), changed);

    // Replacing it is asked twice; "Non" the second time keeps it byte for byte.
    dialogs.shown.clear();
    dialogs.answers = {IDYES, IDNO};
    Command(IDM_PRENDREORIGINE);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].style, BoxStyle::WarningYesNo);
    EXPECT_EQ(ReadFileBytes(origin), taken);
    dialogs.answers = {IDYES, IDYES};
    Command(IDM_PRENDREORIGINE);
    EXPECT_NE(ReadFileBytes(origin), taken);
    const std::wstring& replaced = dialogs.shown.back().text;
    EXPECT_EQ(replaced.rfind(texts::kOriginReplaced + origin, 0), 0u);
    // The one replaced is kept where replaced configurations go.
    EXPECT_TRUE(replaced.find(texts::kReplacedInBin) != std::wstring::npos || replaced.find(texts::kReplacedKept) != std::wstring::npos);
    Command(IDM_COMPARERORIGINE);
    EXPECT_EQ(window->Lines(), std::vector<std::wstring>{L"aucune différence : la machine correspond à la configuration"});
}

// What a command reads of the machine grows with what it is asked about, not with the machine: the
// start modes of services no record names are never read, and a filter on the state reads none.
TEST_F(ProfileTools, CommandsReadTheStartModesOfTheRecordsServicesOnly) {
    for (int i = 0; i < 20; ++i) machine.Add({L"Autre" + std::to_wstring(i), L"Autre " + std::to_wstring(i), L"Running", L"Auto"});
    auto modesRead = [&] {
        std::vector<std::wstring> read;
        for (const std::wstring& call : machine.CallLog())
            if (call == L"inventory+modes" || call.rfind(L"mode:Autre", 0) == 0) read.push_back(call);
        machine.ClearCounts();
        return read;
    };
    modesRead();
    Command(IDM_FILTER_FIRST + 1);  // Stopped
    EXPECT_EQ(modesRead(), std::vector<std::wstring>{});
    Command(IDM_FILTER_FIRST + 2);  // Auto: every start mode is what it asks
    EXPECT_EQ(modesRead(), std::vector<std::wstring>{L"inventory+modes"});
    Command(IDM_REFRESH);
    ASSERT_TRUE(fen->CbListeConf.SelectText(L"profil.cfg"));
    modesRead();
    Command(IDM_APERCU);
    EXPECT_EQ(modesRead(), std::vector<std::wstring>{});
    Command(IDM_COMPARER);
    EXPECT_EQ(modesRead(), std::vector<std::wstring>{});
    std::wstring documents = folder.Root() + L"\\Documents";
    CreateDirectoryW(documents.c_str(), nullptr);
    dialogs.files.push_back(FileChoice{documents + L"\\profil.ps1", L"profil.ps1"});
    Command(IDM_EXPORTPOWERSHELL);
    EXPECT_EQ(modesRead(), std::vector<std::wstring>{});
    dialogs.answers = {IDYES};  // Audiosrv, marked 0
    Command(IDM_CHARGECONF);
    EXPECT_EQ(modesRead(), std::vector<std::wstring>{});
    EXPECT_EQ(UndoFiles(folder.App()).size(), 1u);
}

TEST_F(ProfileTools, ExportsWriteTheChosenConfigurationWhereTheUserSays) {
    std::wstring documents = folder.Root() + L"\\Documents";
    CreateDirectoryW(documents.c_str(), nullptr);
    dialogs.files.push_back(FileChoice{documents + L"\\profil.yml", L"profil.yml"});
    Command(IDM_EXPORTANSIBLE);
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].fileName, documents + L"\\profil.yml");
    std::string playbook = ReadFileBytes(documents + L"\\profil.yml");
    EXPECT_EQ(playbook.rfind("---\n", 0), 0u);
    EXPECT_NE(playbook.find("# RpcSs : interdit"), std::string::npos);
    // As an application: Fax (started, needing others) in the last pass; Base (stopped, needing none) in the
    // last pass of the stops, after it in the file's order.
    EXPECT_LT(playbook.find("name: !unsafe 'Fax'"), playbook.find("name: !unsafe 'Base'"));

    dialogs.files.push_back(FileChoice{documents + L"\\profil.ps1", L"profil.ps1"});
    Command(IDM_EXPORTPOWERSHELL);
    std::string script = ReadFileBytes(documents + L"\\profil.ps1");
    EXPECT_EQ(script.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_NE(script.find("Where-Object Name -eq 'wuauserv') { $service | Set-Service -StartupType Manual }"),
              std::string::npos);
    EXPECT_EQ(script.find("-eq 'RpcSs'"), std::string::npos);
    EXPECT_TRUE(Controls().empty());

    // Unattended, the same files, byte for byte; an output that cannot be written gives 2.
    std::vector<std::wstring> report;
    auto run = [&](std::vector<std::wstring> arguments) {
        return RunUnattended(app.var, *app.services, arguments, [&](const std::wstring& line) { report.push_back(line); });
    };
    EXPECT_EQ(run({L"/exporter:ansible", L"profil", documents + L"\\sans-fenetre.yml"}), 0);
    EXPECT_EQ(ReadFileBytes(documents + L"\\sans-fenetre.yml"), playbook);
    EXPECT_EQ(run({L"/EXPORTER:PowerShell", L"profil.cfg", documents + L"\\sans-fenetre.ps1"}), 0);
    EXPECT_EQ(ReadFileBytes(documents + L"\\sans-fenetre.ps1"), script);
    // A Group Policy template holds no comment: what it cannot carry is told, in the window and on the console.
    dialogs.files.push_back(FileChoice{documents + L"\\profil.inf", L"profil.inf"});
    Command(IDM_EXPORTGPO);
    ASSERT_EQ(dialogs.fileDialogs.back().defaultExtension, L"inf");
    std::string inf = ReadFileBytes(documents + L"\\profil.inf");
    EXPECT_EQ(inf.rfind("\xFF\xFE[\0U\0", 0), 0u);
    PreviewWindow* told = app.windows.Find<PreviewWindow>();
    ASSERT_TRUE(told && told->IsOpen());
    const std::wstring refused = L"RpcSs : interdit par la liste des services protégés, laissé tel quel";
    const std::vector<std::wstring> toldLines = told->Lines();
    EXPECT_NE(std::find(toldLines.begin(), toldLines.end(), refused), toldLines.end());
    report.clear();
    EXPECT_EQ(run({L"/exporter:gpo", L"profil", documents + L"\\sans-fenetre.inf"}), 0);
    EXPECT_EQ(ReadFileBytes(documents + L"\\sans-fenetre.inf"), inf);
    EXPECT_NE(std::find(report.begin(), report.end(), L"  " + refused), report.end());
    EXPECT_EQ(run({L"/exporter:ansible", L"profil", documents + L"\\absent\\x.yml"}), 2);
    EXPECT_EQ(run({L"/exporter:ansible", L"profil"}), 2);
}

// ---- Every window ----

struct ScreenAsked {
    UINT dpi = 0;
    int width = 0, height = 0;
};

std::optional<ScreenAsked> AskedScreen() {
    const char* asked = std::getenv("KESTRANE_SCREEN");
    ScreenAsked screen;
    if (!asked || std::sscanf(asked, "%u %d %d", &screen.dpi, &screen.width, &screen.height) != 3) return std::nullopt;
    return screen;
}

RECT WorkArea(HWND hwnd) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

// The screen as the user sees it, saved as a 24-bit bitmap.
void SaveScreen(const std::wstring& path) {
    HDC screen = GetDC(nullptr);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + stride * height),
                          0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
    bytes.append(static_cast<const char*>(bits), stride * static_cast<DWORD>(height));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    AppendFileBytes(path, bytes);
}

// Opens each window of the program in turn, on the demo machine with a configuration chosen.
class EveryWindow : public ProfileTools {
protected:
    // Calls `check` with each window and its name while it is open: main, details, preview, editor, export, services, progress.
    void ForEachWindow(const std::function<void(Window&, const char*)>& check) {
        check(*fen, "main");
        EXPECT_TRUE(fen->CbNomSys.SelectText(L"Spooler"));
        Command(IDM_DETAILSERV);
        ASSERT_NE(app.windows.Find<Fen5>(), nullptr);
        check(*app.windows.Find<Fen5>(), "details");
        Command(IDM_APERCU);
        ASSERT_NE(app.windows.Find<PreviewWindow>(), nullptr);
        check(*app.windows.Find<PreviewWindow>(), "preview");
        std::wstring path = folder.Root() + L"\\profil-externe.cfg";
        AppendFileBytes(path, kEveryKind);
        dialogs.files.push_back(FileChoice{path, L"profil-externe.cfg"});
        Command(IDM_EXTERNE);
        ASSERT_NE(app.windows.Find<Fen4>(), nullptr);
        check(*app.windows.Find<Fen4>(), "editor");
        Command(IDM_EXPORTCONF);
        ASSERT_NE(app.windows.Find<Fen3>(), nullptr);
        check(*app.windows.Find<Fen3>(), "export");
        Command(IDM_TOUSSERVICES);
        ASSERT_NE(app.windows.Find<ServicesWindow>(), nullptr);
        app.windows.Find<ServicesWindow>()->ReadAllNow();
        check(*app.windows.Find<ServicesWindow>(), "services");
        Fen2 progress;
        progress.Open(fen->Handle());
        check(progress, "progress");
    }
};

// ---- Mnemonics ----

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// Every button and captioned field of a window has a letter of its own, none of them the menu bar's;
// Alt and the letter of a caption the window paints reaches the field it labels.
TEST_F(EveryWindow, EachButtonAndCaptionedFieldHasAMnemonicOfItsOwn) {
    ForEachWindow([&](Window& window, const char* name) {
        SCOPED_TRACE(name);
        HWND hwnd = window.Handle();
        std::vector<std::pair<wchar_t, std::string>> letters;
        std::set<HWND> reached;
        // The captions the window paints, found as the user finds them: Alt and each letter in turn.
        for (wchar_t letter = L'a'; letter <= L'z'; ++letter) {
            SetFocus(hwnd);
            MSG msg{hwnd, WM_SYSCHAR, letter, 0x20000001, 0, {}};
            if (!Window::TakeMnemonic(msg)) continue;
            letters.push_back({letter, "painted caption"});
            HWND focus = GetFocus();
            EXPECT_NE(focus, hwnd) << "Alt+" << static_cast<char>(letter) << " reached nothing";
            while (focus && GetParent(focus) != hwnd) focus = GetParent(focus);  // a combo box's edit field
            reached.insert(focus);
        }
        std::vector<HWND> fields;
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
            if (!(style & WS_VISIBLE)) continue;
            wchar_t className[32] = {};
            GetClassNameW(child, className, 32);
            std::wstring kind = className, text = WindowText(child);
            if (kind == L"Button") {
                EXPECT_NE(MnemonicOf(text), 0) << "button without a mnemonic: " << Narrow(text);
                letters.push_back({MnemonicOf(text), "button " + Narrow(text)});
            } else if (kind == L"Static" && !(style & SS_NOPREFIX) && MnemonicOf(text)) {
                // The dialog manager gives the focus to the control after the label.
                letters.push_back({MnemonicOf(text), "label " + Narrow(text)});
                reached.insert(GetWindow(child, GW_HWNDNEXT));
            } else if (style & WS_TABSTOP) {
                fields.push_back(child);
            }
        }
        if (HMENU bar = GetMenu(hwnd))
            for (int i = 0; i < GetMenuItemCount(bar); ++i) {
                wchar_t caption[64] = {};
                GetMenuStringW(bar, static_cast<UINT>(i), caption, 64, MF_BYPOSITION);
                letters.push_back({MnemonicOf(caption), "menu " + Narrow(caption)});
            }
        std::map<wchar_t, std::string> owner;
        for (const auto& [letter, what] : letters) {
            auto [it, added] = owner.insert({letter, what});
            EXPECT_TRUE(added) << "Alt+" << static_cast<char>(letter) << ": " << what << " and " << it->second;
        }
        // Every field has a caption with a letter, but the preview's list (its heading is the file's name)
        // and the editor's comment box (the buttons above it say what it shows).
        for (HWND field : fields) {
            wchar_t className[32] = {};
            GetClassNameW(field, className, 32);
            bool uncaptioned = (std::string(name) == "preview" && std::wstring(className) == L"ListBox") ||
                               (std::string(name) == "editor" && std::wstring(className) != L"ComboBox" &&
                                std::wstring(className) != L"Edit");
            if (!uncaptioned) EXPECT_EQ(reached.count(field), 1u) << "a field no Alt key reaches: " << Narrow(className);
        }
    });
}

// ---- Small screens ----
// Run on a screen of the size and DPI named in KESTRANE_SCREEN ("144 1024 768") by
// scripts/screen-tests.sh; skipped elsewhere. With KESTRANE_SHOTS set to a folder, each window is also
// saved there as the screen shows it (a bitmap named after the window).
class SmallScreen : public EveryWindow {
protected:
    void SetUp() override {
        screen_ = AskedScreen();
        if (!screen_) GTEST_SKIP() << "needs KESTRANE_SCREEN, given by scripts/screen-tests.sh";
        EveryWindow::SetUp();
    }
    // The window lies in the work area, and each of its controls, brought into view as the keyboard
    // brings it, lies wholly in the client area; every caption it paints lies where scrolling reaches.
    void ExpectWhole(Window& window, const char* name, std::vector<const Caption*> captions = {}) {
        SCOPED_TRACE(name);
        HWND hwnd = window.Handle();
        ASSERT_TRUE(hwnd);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        UpdateWindow(hwnd);
        RECT frame{};
        GetWindowRect(hwnd, &frame);
        EXPECT_TRUE(Inside(frame, WorkArea(hwnd))) << "window " << Describe(frame) << " outside the work area "
                                                   << Describe(WorkArea(hwnd));
        int checked = 0;
        for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (!(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE)) continue;
            window.ScrollIntoView(child);
            RECT client{}, r{};
            GetClientRect(hwnd, &client);
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
            wchar_t className[64] = {};
            GetClassNameW(child, className, 64);
            EXPECT_TRUE(Inside(r, client)) << "control " << std::string(className, className + wcslen(className)) << " \""
                                           << std::string(WindowText(child).begin(), WindowText(child).end()) << "\" at "
                                           << Describe(r) << " outside the client area " << Describe(client);
            ++checked;
        }
        EXPECT_GT(checked, 0);
        RECT canvas = window.Canvas();
        for (const Caption* caption : captions)
            EXPECT_TRUE(Inside(caption->Area(), canvas)) << "caption at " << Describe(caption->Area());
        if (const char* shots = std::getenv("KESTRANE_SHOTS")) {
            const std::wstring folder(shots, shots + strlen(shots));
            const std::wstring file = folder + L"\\" + std::wstring(name, name + strlen(name));
            SendMessageW(hwnd, WM_VSCROLL, SB_TOP, 0);
            SendMessageW(hwnd, WM_HSCROLL, SB_LEFT, 0);
            SetForegroundWindow(hwnd);
            WaitPainting(300);
            SaveScreen(file + L".bmp");
            // A window that scrolls is also shown at its end: together the two show every control.
            if (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VSCROLL) {
                SendMessageW(hwnd, WM_VSCROLL, SB_BOTTOM, 0);
                WaitPainting(300);
                SaveScreen(file + L"-end.bmp");
            }
        }
    }
    std::optional<ScreenAsked> screen_;
};

TEST_F(SmallScreen, EveryWindowFitsTheWorkAreaAndEveryControlCanBeReached) {
    // The screen is the one asked for: a larger one would prove nothing.
    RECT work = WorkArea(fen->Handle());
    ASSERT_EQ(work.right - work.left, screen_->width);
    ASSERT_LE(work.bottom - work.top, screen_->height);
    ASSERT_EQ(fen->Dpi(), screen_->dpi);
    ForEachWindow([&](Window& window, const char* name) {
        ExpectWhole(window, name, &window == fen.get() ? fen->Captions() : std::vector<const Caption*>{});
    });
}

}  // namespace
}  // namespace kestrane::test
