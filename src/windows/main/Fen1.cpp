#include "windows/main/Fen1.h"

#include "windows/resource.h"
#include "profile/ConfigFiles.h"
#include "profile/ConfigFormat.h"
#include "profile/ConfigList.h"
#include "profile/Origin.h"
#include "base/TextFile.h"
#include "windows/details/Fen5.h"
#include "profile/ProgramFolders.h"
#include "service/Programme.h"
#include "base/FailureText.h"
#include "base/Handles.h"
#include "base/Skipping.h"
#include "base/Texts.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <exception>
#include <vector>

namespace kestrane {

namespace {

constexpr int kClientWidth = 900;
constexpr int kClientHeight = 660;
// Narrower than the two columns, the descriptions go below the left column, which is this wide, and each
// is at least this high.
constexpr int kLeftColumnWidth = 462;
constexpr int kRightColumn = 470;
constexpr int kStackedTop = 646;
constexpr int kStackedDescription = 160;
constexpr int kStackedHeight = kStackedTop + 2 * (20 + kStackedDescription) + 10 + 12;
// The least height the user may give the window before it scrolls (where the screen allows it).
constexpr int kShortestClient = 480;
constexpr COLORREF kWhite = RGB(255, 255, 255);
// Posted when a list's drop-down closed: by then any choice made in it has been handled.
constexpr UINT kShowSelectedMessage = WM_APP + 1;
// Posted by the start-up when it has something to tell of the machine's original state.
constexpr UINT kOriginNoticeMessage = WM_APP + 2;

// How a child control is made and where it sits at 96 DPI; a null class is a caption the window paints
// itself. The whole layout of the main window is this table, in reading order (which is the Tab order).
struct ControlLayout {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    int x, y, w, h;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kList = kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD kField = kChild | WS_TABSTOP | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL;
constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
// Fields that show the machine's data: an "&" there is a letter, never a mnemonic.
constexpr DWORD kValue = kChild | SS_NOTIFY | SS_LEFT | SS_NOPREFIX | WS_BORDER;
constexpr DWORD kRich = kChild | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;

const ControlLayout kLayout[] = {
    {IDC_CAPTION_FIRST + 0, nullptr, L"&Nom  (denomination dans le service manager)", 0, 12, 10, 438, 18},
    {IDC_CBNOMVUETRIER, L"COMBOBOX", L"", kList | CBS_SORT, 12, 30, 438, 400},
    {IDC_CAPTION_FIRST + 1, nullptr, L"Nom dans le s&ysteme", 0, 12, 62, 438, 18},
    {IDC_CBNOMSYS, L"COMBOBOX", L"", kList, 12, 82, 438, 400},
    {IDC_CBNOMVUE, L"COMBOBOX", L"", (kList & ~WS_VISIBLE), 12, 82, 438, 400},
    {IDC_BTDEFILEHAUT, L"BUTTON", L"< P&récédent", kButton, 12, 114, 124, 26},
    {IDC_BTDEFILEBAS, L"BUTTON", L"S&uivant >", kButton, 144, 114, 124, 26},
    {IDC_BTREFRESHSERV, L"BUTTON", L"Rafraic&hir l'état", kButton, 276, 114, 174, 26},
    {IDC_CAPTION_FIRST + 2, nullptr, L"Nombre de service trouvée dans le système", 0, 12, 153, 300, 18},
    {IDC_LABNB, L"STATIC", L"", kValue, 316, 150, 134, 20},
    {IDC_CAPTION_FIRST + 3, nullptr, L"Etat système", 0, 12, 181, 90, 18},
    {IDC_LABETAT, L"STATIC", L"", kValue, 104, 178, 346, 36},
    {IDC_CAPTION_FIRST + 4, nullptr, L"Liste des services ayant &besoin du service selectionné", 0, 12, 222, 438, 18},
    {IDC_COMBO1, L"COMBOBOX", L"", kList, 12, 242, 438, 300},
    {IDC_CAPTION_FIRST + 5, nullptr, L"&Service nécessaire au démarrage du service selectionné", 0, 12, 274, 438, 18},
    {IDC_COMBO2, L"COMBOBOX", L"", kList, 12, 294, 438, 300},
    {IDC_CAPTION_FIRST + 6, nullptr, L"&Chemin du service", 0, 12, 330, 438, 18},
    {IDC_TBCHEM, L"EDIT", L"", kField, 12, 348, 438, 22},
    {IDC_LABEL4, nullptr, L"&Mode de démarrage", 0, 12, 378, 142, 18},
    {IDC_TBDEMARRE, L"EDIT", L"", kField, 12, 396, 142, 22},
    {IDC_LABEL3, nullptr, L"&Etat du service", 0, 160, 378, 142, 18},
    {IDC_TBETAT, L"EDIT", L"", kField, 160, 396, 142, 22},
    {IDC_CAPTION_FIRST + 7, nullptr, L"&Type de service", 0, 308, 378, 142, 18},
    {IDC_TBTYPE, L"EDIT", L"", kField, 308, 396, 142, 22},
    {IDC_CAPTION_FIRST + 8, nullptr, L"Nom du compte sous lequel s'é&xecute le service", 0, 12, 426, 438, 18},
    {IDC_TBNOMCOMPTE, L"EDIT", L"", kField, 12, 444, 438, 22},
    {IDC_BTSTARTSERV, L"BUTTON", L"&Démarrer le service", kButton, 12, 478, 220, 28},
    {IDC_LABSTART, L"STATIC", L"", kChild | WS_BORDER, 235, 478, 12, 28},
    {IDC_BTSTOPSERV, L"BUTTON", L"Arrêter &le service", kButton, 252, 478, 183, 28},
    {IDC_LABSTOP, L"STATIC", L"", kChild | WS_BORDER, 438, 478, 12, 28},
    {IDC_BTCONFSERVAUTO, L"BUTTON", L"Démarrage automati&que du service", kButton, 12, 512, 220, 28},
    {IDC_LABAUTO, L"STATIC", L"", kChild | WS_BORDER, 235, 512, 12, 28},
    {IDC_BTCONFSERVMANU, L"BUTTON", L"Démarra&ge manuel du service", kButton, 252, 512, 183, 28},
    {IDC_LABMANU, L"STATIC", L"", kChild | WS_BORDER, 438, 512, 12, 28},
    {IDC_BTCONFSERVSTOP, L"BUTTON", L"Désacti&vation du service", kButton, 12, 546, 220, 28},
    {IDC_LABDISA, L"STATIC", L"", kChild | WS_BORDER, 235, 546, 12, 28},
    {IDC_LABLISTECONF, nullptr, texts::kConfigListCaption, 0, 12, 588, 438, 18},
    {IDC_CBLISTECONF, L"COMBOBOX", L"", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 12, 608, 196, 300},
    {IDC_COMMAND1, L"BUTTON", texts::kCommand1Apply, kButton, 214, 606, 236, 28},
    {IDC_CAPTION_FIRST + 9, nullptr, L"Description du service depuis la base de &Kestrane", 0, 470, 10, 418, 18},
    {IDC_RICHTEXTBOX1, MSFTEDIT_CLASS, L"", kRich, 470, 30, 418, 300},
    {IDC_CAPTION_FIRST + 10, nullptr, L"Description interne de &windows", 0, 470, 340, 418, 18},
    {IDC_RICHTEXTBOX2, MSFTEDIT_CLASS, L"", kRich, 470, 360, 418, 288},
};

// Whether the two columns fit side by side in a client area of this size.
bool Wide(const Window& window, SIZE client) { return client.cx >= window.Scale(kClientWidth); }

// Where an entry of the layout table goes in the canvas. The left column keeps its place; the two
// descriptions take the room the window gives, beside the left column when it is wide enough, below
// it otherwise.
RECT AreaOf(const Window& window, const ControlLayout& entry, const RECT& canvas) {
    auto scale = [&](int length96) { return window.Scale(length96); };
    const int width = canvas.right - canvas.left;
    const int height = canvas.bottom - canvas.top;
    RECT area{scale(entry.x), scale(entry.y), scale(entry.x + entry.w), scale(entry.y + entry.h)};
    if (entry.x < kRightColumn && !Wide(window, SIZE{width, height})) {
        // Alone in its width, the left column stretches to it.
        const int margin = scale(12), base = scale(kLeftColumnWidth - 24), room = width - 2 * margin;
        if (room > base) {
            area.left = margin + MulDiv(area.left - margin, room, base);
            area.right = margin + MulDiv(area.right - margin, room, base);
        }
    }
    if (entry.x >= kRightColumn) {
        const bool second = entry.id == IDC_CAPTION_FIRST + 10 || entry.id == IDC_RICHTEXTBOX2;
        const bool box = entry.id == IDC_RICHTEXTBOX1 || entry.id == IDC_RICHTEXTBOX2;
        const int right = width - scale(12);
        if (Wide(window, SIZE{width, height})) {
            // The first description takes half the added height, the second moves down by it and takes the rest.
            const int slack = std::max(0, height - scale(kClientHeight));
            const int moved = second ? slack / 2 : 0;
            const int grown = box ? (second ? slack - slack / 2 : slack / 2) : 0;
            area = RECT{scale(kRightColumn), area.top + moved, right, area.bottom + moved + grown};
        } else {
            // Caption, its box, a gap, the second caption, its box.
            const int each = scale(kStackedDescription) + std::max(0, height - scale(kStackedHeight)) / 2;
            int top = scale(kStackedTop) + (second ? scale(30) + each : 0) + (box ? scale(20) : 0);
            area = RECT{scale(12), top, right, top + (box ? each : scale(18))};
        }
    }
    OffsetRect(&area, canvas.left, canvas.top);
    return area;
}

// The menu bar, in the order of its menus; '&' marks each caption's underlined letter.
std::vector<MenuEntry> MenuBarTable() {
    using K = MenuKind;
    std::vector<MenuEntry> t = {
        {L"MnuServ", nullptr, K::Popup, L"&Action", 0},
        {L"MnuEtat", L"MnuServ", K::Popup, L"&Etat", 0},
        {L"MnuStart", L"MnuEtat", K::Item, L"&Demarrer", IDM_START},
        {L"MnuSTop", L"MnuEtat", K::Item, L"&Arrêter", IDM_STOP},
        {L"MnuPause", L"MnuEtat", K::Item, L"&Mettre en pause", IDM_PAUSE},
        {L"MnuNoPause", L"MnuEtat", K::Item, L"&Sortir de pause", IDM_NOPAUSE},
        {L"MnuConf", L"MnuServ", K::Popup, L"&Configurer le démarrage", 0},
        {L"MnuAuto", L"MnuConf", K::Item, L"&Automatique", IDM_AUTO},
        {L"MnuAutoDiff", L"MnuConf", K::Item, L"Automatique (début di&fféré)", IDM_AUTODIFF},
        {L"MnuManuel", L"MnuConf", K::Item, L"&Manuel", IDM_MANUEL},
        {L"MnuDesactive", L"MnuConf", K::Item, L"&Desactivation", IDM_DESACTIVE},
        {L"MnuDivers", L"MnuServ", K::Popup, L"D&ivers", 0},
        {L"MnuSupServ", L"MnuDivers", K::Item, L"&Supprimer le service selectionné", IDM_SUPSERV},
        {L"MnuSEpa", L"MnuServ", K::Separator, nullptr, 0},
        {L"MnuDetailServ", L"MnuServ", K::Item, L"I&nformations détaillées du service", IDM_DETAILSERV},
        {L"MnuRefreshServ", L"MnuServ", K::Item, L"&Rafraichir l'etat du service", IDM_REFRESHSERV},
        {L"MnuTiret", L"MnuServ", K::Separator, nullptr, 0},
        {L"MnuQuitter", L"MnuServ", K::Item, L"&Quitter", IDM_QUITTER},

        {L"MnuOptions", nullptr, K::Popup, L"&Outils", 0},
        {L"MnuConfService", L"MnuOptions", K::Popup, L"&Configuration", 0},
        {L"MnuChargeConf", L"MnuConfService", K::Item, L"C&harger une configuration", IDM_CHARGECONF},
        {L"MnuExportConf", L"MnuConfService", K::Item, L"&Exporter une configuration", IDM_EXPORTCONF},
        {L"MnuImportConf", L"MnuConfService", K::Item, L"&Importer une configuration", IDM_IMPORTCONF},
        {L"MnuSauveConf", L"MnuConfService", K::Item, L"&Sauvegarder  la configuration actuelle", IDM_SAUVECONF},
        {L"MnuSupConf", L"MnuConfService", K::Item, L"Su&pprimer une configuration", IDM_SUPCONF},
        {L"MnuConfSep1", L"MnuConfService", K::Separator, nullptr, 0},
        {L"MnuApercu", L"MnuConfService", K::Item, L"&Aperçu des changements", IDM_APERCU},
        {L"MnuApercuAuto", L"MnuConfService", K::Item, L"Aperçu a&vant chaque application", IDM_APERCUAUTO},
        {L"MnuAnnulerAppli", L"MnuConfService", K::Item, L"Annuler la &dernière application", IDM_ANNULERAPPLI},
        {L"MnuComparer", L"MnuConfService", K::Item, L"C&omparer la machine à la configuration", IDM_COMPARER},
        {L"MnuExportAnsible", L"MnuConfService", K::Item, L"Exporter pour A&nsible", IDM_EXPORTANSIBLE},
        {L"MnuExportPowerShell", L"MnuConfService", K::Item, L"Exporter en script Po&werShell", IDM_EXPORTPOWERSHELL},
        {L"MnuExportGpo", L"MnuConfService", K::Item, L"Exporter pour une stratégie de &groupe", IDM_EXPORTGPO},
        {L"MnuConfSep2", L"MnuConfService", K::Separator, nullptr, 0},
        {L"MnuComparerOrigine", L"MnuConfService", K::Item, L"&Comparer la machine à l'état d'origine", IDM_COMPARERORIGINE},
        {L"MnuRevenirOrigine", L"MnuConfService", K::Item, L"&Revenir à l'état d'origine…", IDM_REVENIRORIGINE},
        {L"MnuPrendreOrigine", L"MnuConfService", K::Item, L"Prendre l'é&tat actuel comme état d'origine…", IDM_PRENDREORIGINE},
        {L"MnuAffiTri", L"MnuOptions", K::Popup, L"&Affichage selectif", 0},
        {L"MnuE", L"MnuAffiTri", K::Popup, L"Tri par &état", 0},
        {L"MnuER", L"MnuE", K::Item, L"&Running", IDM_FILTER_FIRST + 0},
        {L"MnuES", L"MnuE", K::Item, L"&Stopped", IDM_FILTER_FIRST + 1},
        {L"MnuM", L"MnuAffiTri", K::Popup, L"Tri par &mode de démarrage", 0},
        {L"MnuMA", L"MnuM", K::Item, L"&Auto", IDM_FILTER_FIRST + 2},
        {L"MnuMM", L"MnuM", K::Item, L"&Manual", IDM_FILTER_FIRST + 3},
        {L"MnuMD", L"MnuM", K::Item, L"&Disabled", IDM_FILTER_FIRST + 4},
        {L"MnuC", L"MnuAffiTri", K::Popup, L"Tri &combiné", 0},
        {L"MnuCAR", L"MnuC", K::Item, L"&Auto && Running", IDM_FILTER_FIRST + 5},
        {L"MnuCAS", L"MnuC", K::Item, L"Auto && &Stopped", IDM_FILTER_FIRST + 6},
        {L"MnuCMR", L"MnuC", K::Item, L"&Manual && Running", IDM_FILTER_FIRST + 7},
        {L"MnuCMS", L"MnuC", K::Item, L"Manual && S&topped", IDM_FILTER_FIRST + 8},
        {L"MnuCDR", L"MnuC", K::Item, L"&Disabled && Running", IDM_FILTER_FIRST + 9},
        {L"MnuCDS", L"MnuC", K::Item, L"Disabled && St&opped", IDM_FILTER_FIRST + 10},
        {L"MnuRefresh", L"MnuOptions", K::Item, L"&Recharger la liste des services", IDM_REFRESH},
        {L"MnuOptionsSep1", L"MnuOptions", K::Separator, nullptr, 0},
        {L"MnuCreerConf", L"MnuOptions", K::Item, L"&Mode de création d'une configuration", IDM_CREERCONF},
        {L"MnuExterne", L"MnuOptions", K::Item, L"&Lecteur de configuration externe", IDM_EXTERNE},
        {L"MnuOptionsSep2", L"MnuOptions", K::Separator, nullptr, 0},
        {L"MnuOpAuto", L"MnuOptions", K::Item, L"&Gestion automatique des dépendances", IDM_OPAUTO},
        {L"MnuOptionsSep3", L"MnuOptions", K::Separator, nullptr, 0},
        {L"MnuTousServices", L"MnuOptions", K::Item, L"&Tous les services…\tCtrl+T", IDM_TOUSSERVICES},

        {L"Mnuop", nullptr, K::Popup, L"O&ptions", 0},
        {L"MnuSkin", L"Mnuop", K::Popup, L"&Skins", 0},
        {L"MnuAucun", L"MnuSkin", K::Item, L"&Aucun", IDM_SKIN_FIRST + 0},
        {L"MnuDefaut", L"MnuSkin", K::Item, L"&Defaut", IDM_SKIN_FIRST + 1},
        {L"MnuVista", L"MnuSkin", K::Item, L"&Vista", IDM_SKIN_FIRST + 2},
        {L"MnuGris", L"MnuSkin", K::Item, L"&Gris", IDM_SKIN_FIRST + 3},
        {L"MnuVert", L"MnuSkin", K::Item, L"V&ert", IDM_SKIN_FIRST + 4},
        {L"MnuVioline", L"MnuSkin", K::Item, L"Vio&line", IDM_SKIN_FIRST + 5},
        {L"MnuRouge", L"MnuSkin", K::Item, L"&Rouge", IDM_SKIN_FIRST + 6},
        {L"MnuRose", L"MnuSkin", K::Item, L"Ro&se", IDM_SKIN_FIRST + 7},
        {L"MnuOrange", L"MnuSkin", K::Item, L"&Orange", IDM_SKIN_FIRST + 8},
        {L"MnuBleuVert", L"MnuSkin", K::Item, L"Bleu Ver&t", IDM_SKIN_FIRST + 9},
        {L"MnuBleu", L"MnuSkin", K::Item, L"&Bleu", IDM_SKIN_FIRST + 10},

        {L"MnuInformation", nullptr, K::Popup, L" &?", 0},
        {L"MnuHelp", L"MnuInformation", K::Item, L"&Help", IDM_HELP},
        {L"MnuInfo", L"MnuInformation", K::Item, L"&Infos", IDM_INFO},
        {L"MnuQui", L"MnuInformation", K::Item, L"A &propos", IDM_QUI},
    };
    return t;
}

// The skin folders of the ten skin items, in the order of their command ids after "Aucun".
const wchar_t* const kSkinFolders[] = {L"orig",   L"vista", L"gris",   L"vert",      L"violine",
                                       L"rouge",  L"rose",  L"orange", L"bleu vert", L"bleu"};

// The eleven filters of "Affichage selectif", in the order of their command ids: state, start mode, kind.
struct Filter {
    const wchar_t* state;
    const wchar_t* mode;
    const wchar_t* kind;
};
const Filter kFilters[] = {
    {L"Running", L"0", L"1"},       {L"Stopped", L"0", L"1"},       {L"0", L"Auto", L"2"},
    {L"0", L"Manual", L"2"},        {L"0", L"Disabled", L"2"},      {L"Running", L"Auto", L"3"},
    {L"Stopped", L"Auto", L"3"},    {L"Running", L"Manual", L"3"},  {L"Stopped", L"Manual", L"3"},
    {L"Running", L"Disabled", L"3"}, {L"Stopped", L"Disabled", L"3"},
};

// The colour of an unchosen creation-mode marker and of the window outside creation mode.
COLORREF ActiveBorderColour() { return GetSysColor(COLOR_ACTIVEBORDER); }


// The rich edit library, from the system folder only (never a copy beside the program or in the
// current folder). Loaded once; false when the system has none.
bool LoadRichEdit() {
    static const bool loaded = [] {
        wchar_t system[MAX_PATH];
        UINT length = GetSystemDirectoryW(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return false;
        std::wstring path = std::wstring(system) + L"\\msftedit.dll";
        return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) != nullptr;
    }();
    return loaded;
}

}  // namespace

Fen1::Fen1(AppContext& application) : app(application), var(application.var) {
    showPopup = [this](HMENU menu, POINT at) {
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), nullptr);
    };
}

Fen1::~Fen1() {
    // The window goes first, with the menu bar it owns; then the GDI objects its controls used.
    if (Handle()) DestroyWindow(Handle());
    if (font_) DeleteObject(font_);
    if (accelerators_) DestroyAcceleratorTable(accelerators_);
    if (whiteBrush_) DeleteObject(whiteBrush_);
    for (auto& [colour, brush] : brushes_) DeleteObject(brush);
}

bool Fen1::Create(bool show) {
    if (!LoadRichEdit())
        app.dialogs->Message(nullptr, texts::kRichEditMissing, texts::kProgramTitle, BoxStyle::ErrorOk);
    CreateMenuBar();
    ACCEL shortcuts[] = {{FVIRTKEY | FCONTROL, 'T', IDM_TOUSSERVICES}};
    accelerators_ = CreateAcceleratorTableW(shortcuts, static_cast<int>(std::size(shortcuts)));
    if (!CreateTopLevel(L"KestraneFen1", texts::kMainTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, kClientWidth,
                        kClientHeight, menus.Bar()))
        return false;
    menus.ReleaseBar();
    if (show) {
        ShowWindow(Handle(), SW_SHOWNORMAL);
        UpdateWindow(Handle());
    }
    return true;
}

void Fen1::CreateMenuBar() {
    menus.Build(MenuBarTable());
    MnuServ = menus.Sub(L"MnuServ");
    MnuAffiTri = menus.Sub(L"MnuAffiTri");
    MnuConfService = menus.Sub(L"MnuConfService");

    commands_ = {
        {IDM_START, [this] { OnMnuStart(); }},
        {IDM_STOP, [this] { OnMnuSTop(); }},
        {IDM_PAUSE, [this] { OnMnuPause(); }},
        {IDM_NOPAUSE, [this] { OnMnuNoPause(); }},
        {IDM_AUTO, [this] { OnMnuAuto(); }},
        {IDM_AUTODIFF, [this] { OnMnuAutoDiff(); }},
        {IDM_MANUEL, [this] { OnMnuManuel(); }},
        {IDM_DESACTIVE, [this] { OnMnuDesactive(); }},
        {IDM_SUPSERV, [this] { OnMnuSupServ(); }},
        {IDM_REFRESHSERV, [this] { OnMnuRefreshServ(); }},
        {IDM_QUITTER, [this] { PostMessageW(Handle(), WM_CLOSE, 0, 0); }},
        {IDM_REFRESH, [this] { OnMnuRefresh(); }},
        {IDM_OPAUTO, [this] { OnMnuOpAuto(); }},
        {IDM_HELP, [this] { OnMnuHelp(); }},
        {IDM_INFO, [this] { OnMnuInfo(); }},
        {IDM_QUI, [this] { OnMnuQui(); }},
        {IDC_BTDEFILEBAS, [this] { OnBtDefileBas(); }},
        {IDC_BTDEFILEHAUT, [this] { OnMnuPlus(); }},
        {IDC_BTREFRESHSERV, [this] { OnMnuRefreshServ(); }},
        {IDC_BTSTARTSERV, [this] { OnBtStartServ(); }},
        {IDC_BTSTOPSERV, [this] { OnBtStopServ(); }},
        {IDC_BTCONFSERVAUTO, [this] { OnBtConfServAuto(); }},
        {IDC_BTCONFSERVMANU, [this] { OnBtConfServMAnu(); }},
        {IDC_BTCONFSERVSTOP, [this] { OnBtConfServStop(); }},
        {IDC_COMMAND1, [this] { OnCommand1(); }},
        {IDM_SAUVECONF, [this] { OnMnuSauveConf(); }},
        {IDM_CHARGECONF, [this] { OnMnuChargeConf(); }},
        {IDM_SUPCONF, [this] { OnMnuSupConf(); }},
        {IDM_APERCU, [this] { OnMnuApercu(); }},
        {IDM_APERCUAUTO, [this] { SetMenuChecked(IDM_APERCUAUTO, !MenuChecked(IDM_APERCUAUTO)); }},
        {IDM_ANNULERAPPLI, [this] { OnMnuAnnulerAppli(); }},
        {IDM_COMPARER, [this] { OnMnuComparer(); }},
        {IDM_EXPORTANSIBLE, [this] { OnMnuExportFleet(FleetTool::Ansible); }},
        {IDM_EXPORTPOWERSHELL, [this] { OnMnuExportFleet(FleetTool::PowerShell); }},
        {IDM_EXPORTGPO, [this] { OnMnuExportFleet(FleetTool::GroupPolicy); }},
        {IDM_COMPARERORIGINE, [this] { OnMnuComparerOrigine(); }},
        {IDM_TOUSSERVICES, [this] { OnMnuTousServices(); }},
        {IDM_REVENIRORIGINE, [this] { OnMnuRevenirOrigine(); }},
        {IDM_PRENDREORIGINE, [this] { OnMnuPrendreOrigine(); }},
        {IDM_IMPORTCONF, [this] { OnMnuImportConf(); }},
        {IDM_EXPORTCONF, [this] { OnMnuExportConf(); }},
        {IDM_EXTERNE, [this] { OnMnuExterne(); }},
        {IDM_CREERCONF, [this] { OnMnuCreerConf(); }},
        {IDM_DETAILSERV, [this] { OnMnuDetailServ(); }},
    };
    for (int i = 0; i < 11; ++i) {
        const Filter& f = kFilters[i];
        commands_[IDM_FILTER_FIRST + i] = [this, f] { ChargeServicesTri(f.state, f.mode, f.kind); };
    }
    commands_[IDM_SKIN_FIRST] = [this] { OnMnuAucun(); };
    for (int i = 0; i < 10; ++i) {
        const wchar_t* folder = kSkinFolders[i];
        commands_[IDM_SKIN_FIRST + 1 + i] = [this, folder] { ChargeSkin(folder); };
    }
}

void Fen1::CreateFont() {
    // The message font of the system, at the DPI of this window.
    HFONT old = font_;
    font_ = CreateMessageFont(Dpi());
    for (auto& [id, hwnd] : controls_) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    if (old) DeleteObject(old);
}

void Fen1::CreateControls() {
    whiteBrush_ = CreateSolidBrush(kWhite);
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, Scale(400));

    const std::map<int, Control*> bound = {
        {IDC_CBNOMVUETRIER, &CbNomVueTrier}, {IDC_CBNOMSYS, &CbNomSys},         {IDC_CBNOMVUE, &CbNomVue},
        {IDC_COMBO1, &Combo1},               {IDC_COMBO2, &Combo2},             {IDC_CBLISTECONF, &CbListeConf},
        {IDC_LABNB, &LabNb},                 {IDC_LABETAT, &LabEtat},           {IDC_LABSTART, &LabStart},
        {IDC_LABSTOP, &LabStop},             {IDC_LABAUTO, &LabAuto},           {IDC_LABMANU, &LabManu},
        {IDC_LABDISA, &LabDisa},             {IDC_TBCHEM, &TbChem},             {IDC_TBDEMARRE, &TbDemarre},
        {IDC_TBETAT, &TbEtat},               {IDC_TBNOMCOMPTE, &TbNomCompte},   {IDC_TBTYPE, &TbType},
        {IDC_RICHTEXTBOX1, &RichTextBox1},   {IDC_RICHTEXTBOX2, &RichTextBox2}, {IDC_BTDEFILEBAS, &BtDefileBas},
        {IDC_BTDEFILEHAUT, &BtDefileHaut},   {IDC_BTREFRESHSERV, &BtRefreshServ}, {IDC_BTSTARTSERV, &BtStartServ},
        {IDC_BTSTOPSERV, &BtStopServ},       {IDC_BTCONFSERVAUTO, &BtConfServAuto}, {IDC_BTCONFSERVMANU, &BtConfServMAnu},
        {IDC_BTCONFSERVSTOP, &BtConfServStop}, {IDC_COMMAND1, &Command1},
    };
    for (const ControlLayout& entry : kLayout) {
        if (!entry.className) {
            Caption& caption = CaptionOf(entry.id);
            caption.Place(Handle(), RECT{}, entry.text);
            continue;
        }
        HWND hwnd = CreateWindowExW(0, entry.className, entry.text, entry.style, 0, 0, 0, 0, Handle(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)),
                                    GetModuleHandleW(nullptr), nullptr);
        controls_[entry.id] = hwnd;
        auto it = bound.find(entry.id);
        if (it != bound.end()) it->second->Attach(hwnd);
    }
    CreateFont();
    SetMinimumLayout(kLeftColumnWidth, kShortestClient);
    Relayout();
    LabEtat.AttachToolTip(toolTip_);
    for (Label* marker : {&LabStart, &LabStop, &LabAuto, &LabManu, &LabDisa}) {
        markerColours_[marker->Handle()] = ActiveBorderColour();
        marker->SetVisible(false);
    }
    // Right clicks in the rich text boxes reach the window as EN_MSGFILTER notifications; Tab leaves them.
    for (RichText* box : {&RichTextBox1, &RichTextBox2}) {
        SendMessageW(box->Handle(), EM_SETEVENTMASK, 0, ENM_MOUSEEVENTS);
        SendMessageW(box->Handle(), EM_SETBKGNDCOLOR, 0, kWhite);
        box->UseDialogKeys();
    }
    CbNomVueTrier.onSelect = [this] { OnCbNomVueTrier(); };
    CbNomVue.onSelect = [this] { OnCbNomVue(); };
    CbNomSys.onSelect = [this] { OnCbNomSys(); };
}

Caption& Fen1::CaptionOf(int id) {
    return id == IDC_LABEL3 ? Label3 : id == IDC_LABEL4 ? Label4 : id == IDC_LABLISTECONF ? LabListeConf : captions_[id];
}

bool Fen1::FocusMnemonic(wchar_t letter) {
    // A caption labels the first control after it in the layout that takes the focus and is shown.
    const size_t count = std::size(kLayout);
    for (size_t i = 0; i < count; ++i) {
        if (kLayout[i].className || MnemonicOf(CaptionOf(kLayout[i].id).Text()) != letter) continue;
        for (size_t j = i + 1; j < count; ++j) {
            if (!kLayout[j].className || !(kLayout[j].style & WS_TABSTOP)) continue;
            HWND target = controls_[kLayout[j].id];
            if (!(GetWindowLongPtrW(target, GWL_STYLE) & WS_VISIBLE) || !IsWindowEnabled(target)) continue;
            SetFocus(target);
            return true;
        }
    }
    return false;
}

SIZE Fen1::LayoutSize(SIZE client) const {
    if (Wide(*this, client)) return SIZE{Scale(kClientWidth), Scale(kClientHeight)};
    return SIZE{Scale(kLeftColumnWidth), Scale(kStackedHeight)};
}

void Fen1::Arrange(const RECT& canvas) {
    for (const ControlLayout& entry : kLayout) {
        RECT area = AreaOf(*this, entry, canvas);
        if (!entry.className) {
            Caption& caption = CaptionOf(entry.id);
            caption.SetArea(area);
            continue;
        }
        SetWindowPos(controls_[entry.id], nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Fen1::OnDpiChanged(WPARAM wp, LPARAM lp) {
    SetDpi(HIWORD(wp));
    CreateFont();
    Relayout();
    // The entries are as long as they were, in a larger font.
    for (ComboBox* list : {&CbNomSys, &CbNomVueTrier, &Combo1, &Combo2, &CbListeConf}) list->FitDropDown(font_);
    SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, Scale(400));
    TakeDpiChange(wp, lp);
}

std::vector<const Caption*> Fen1::Captions() const {
    std::vector<const Caption*> out;
    for (const auto& [id, caption] : captions_) out.push_back(&caption);
    for (const Caption* caption : {&Label3, &Label4, &LabListeConf}) out.push_back(caption);
    return out;
}

LRESULT Fen1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ACTIVATE:
        OnActivate(LOWORD(wp) != WA_INACTIVE);
        return Default(msg, wp, lp);
    case WM_CREATE:
        CreateControls();
        Form_Load();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
        return 0;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lp));
    case WM_RBUTTONDOWN:
        OnRightButton(POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
        return 0;
    case WM_ERASEBKGND:
        OnPaintBackground(reinterpret_cast<HDC>(wp));
        return 1;
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(OnControlColour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)));
    case WM_DPICHANGED:
        OnDpiChanged(wp, lp);
        return 0;
    case kShowSelectedMessage:
        ShowSelectedInLists();
        return 0;
    case kOriginNoticeMessage:
        if (!originNotice_.empty()) {
            std::wstring notice = std::move(originNotice_);
            originNotice_.clear();
            app.dialogs->Message(Handle(), notice, texts::kOriginTitle, originNoticeStyle_);
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(Handle());
        return 0;
    case WM_DESTROY:
        // Closed by the user or destroyed by its owner: the same closing steps.
        Form_Unload();
        if (app.quitOnClose) PostQuitMessage(0);
        return 0;
    default:
        return Default(msg, wp, lp);
    }
}

void Fen1::OnActivate(bool active) {
    // Configurations another program (or the command line) wrote meanwhile appear when the user comes
    // back; the one chosen, or the name being typed, stays.
    if (active) Skipping([&] { ChargeListeConf(); });
}

LRESULT Fen1::OnNotify(NMHDR* header) {
    if (header->code != EN_MSGFILTER) return 0;
    auto* filter = reinterpret_cast<MSGFILTER*>(header);
    if (filter->msg != WM_RBUTTONDOWN) return 0;
    OnRichTextRightButton();
    return 1;  // the rich text box does not see the click
}

void Fen1::ReportUnexpected(const std::wstring& reason) {
    ShowUnexpected(app, Handle(), reason);
}

void Fen1::OnCommand(UINT id, UINT code, HWND control) {
    if (control && (id == IDC_CBNOMSYS || id == IDC_CBNOMVUE || id == IDC_CBNOMVUETRIER)) {
        if (code == CBN_SELCHANGE) {
            if (id == IDC_CBNOMSYS) CbNomSys.onSelect();
            else if (id == IDC_CBNOMVUE) CbNomVue.onSelect();
            else CbNomVueTrier.onSelect();
        } else if (code == CBN_CLOSEUP || code == CBN_SELENDCANCEL) {
            // Closed without a choice, the list may still show the entry the mouse last passed over.
            PostMessageW(Handle(), kShowSelectedMessage, 0, 0);
        }
        return;
    }
    if (control && code != BN_CLICKED) return;
    // IDOK and IDCANCEL (Enter and Escape through the dialog manager) are no commands of this window.
    auto it = commands_.find(id);
    if (it != commands_.end()) it->second();
}

void Fen1::ShowSelectedInLists() {
    int position = CbNomSys.Selected();
    if (position < 0) return;
    if (CbNomVue.Selected() != position) CbNomVue.SelectQuietly(position);
    if (CbNomVueTrier.SelectedText() != CbNomVue.SelectedText()) CbNomVueTrier.SelectTextQuietly(CbNomVue.SelectedText());
}

void Fen1::OnPaintBackground(HDC dc) {
    RECT client;
    GetClientRect(Handle(), &client);
    bool creationMode = MenuChecked(IDM_CREERCONF);
    HBRUSH brush = GetSysColorBrush(creationMode ? COLOR_HIGHLIGHT : COLOR_ACTIVEBORDER);
    FillRect(dc, &client, brush);
    // The picture is shown at its own size from the top left corner, like a form's picture.
    background_.Draw(dc, client, Dpi());
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (const Caption* caption : Captions()) caption->Paint(dc);
    if (oldFont) SelectObject(dc, oldFont);
}

HBRUSH Fen1::OnControlColour(HDC dc, HWND control) {
    auto marker = markerColours_.find(control);
    if (marker != markerColours_.end()) {
        HBRUSH& brush = brushes_[marker->second];
        if (!brush) brush = CreateSolidBrush(marker->second);
        SetBkColor(dc, marker->second);
        return brush;
    }
    // Value labels and the read-only fields are white.
    SetBkColor(dc, kWhite);
    return whiteBrush_;
}

void Fen1::LoadBackground(const std::wstring& path) {
    backgroundPath_.clear();
    if (background_.Load(path)) backgroundPath_ = path;
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

COLORREF Fen1::MarkerColour(const Label& marker) const {
    auto it = markerColours_.find(marker.Handle());
    return it == markerColours_.end() ? CLR_INVALID : it->second;
}

void Fen1::SetMarkerColour(Label& marker, COLORREF colour) {
    auto it = markerColours_.find(marker.Handle());
    if (it != markerColours_.end() && it->second == colour) return;
    markerColours_[marker.Handle()] = colour;
    InvalidateRect(marker.Handle(), nullptr, TRUE);
}

void Fen1::Repaint() {
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool Fen1::MenuChecked(UINT id) const {
    return (GetMenuState(menus.Bar(), id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void Fen1::SetMenuChecked(UINT id, bool checked) {
    CheckMenuItem(menus.Bar(), id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool Fen1::MenuEnabled(UINT id) const {
    return (GetMenuState(menus.Bar(), id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
}

// ---- Start-up and shutdown ----

void Fen1::Form_Load() {
    InitialiseFolders(var, Handle(), app.folders);
    // From here on a step that fails is skipped and the next one runs.
    Skipping([&] {
        LoadBackground(var.CheminAppli + (IsChristmasTime(var.Jour, var.Mois) ? L"Image\\Noel.Jpg" : L"Image\\Start.Jpg"));
    });
    // The fill and the first entry of CbNomSys select quietly: the selection of the first display name
    // below refreshes everything shown, once, for the service that is then selected.
    startingUp_ = true;
    Skipping([&] { ChargeServices(); });
    startingUp_ = false;
    // What an interrupted save left beside a configuration is no configuration: the file it was to
    // replace is whole.
    Skipping([&] { RemovePartialFiles(var.CheminAppli + L"Config\\"); });
    Skipping([&] { ChargeListeConf(); });
    // Before anything can change, the machine's original state, once for good; the user is told once the
    // window shows. While another application changes the machine it is taken before the first change.
    Skipping([&] {
        if (HasOrigin(var.CheminAppli)) return;
        MachineLock lock;
        if (!lock.Take(0)) return;
        std::vector<std::wstring> lines;
        try {
            WaitCursor busy;
            if (std::optional<OriginTaken> taken = TakeOriginIfMissing(*app.services, var.CheminAppli, *app.files))
                lines = OriginTakenLines(*taken);
        } catch (const std::exception& failure) {
            lines = {texts::kOriginNotTaken + FileFailureReason(failure)};
            originNoticeStyle_ = BoxStyle::WarningOk;
        }
        for (const std::wstring& line : lines) originNotice_ += (originNotice_.empty() ? L"" : L"\n") + line;
        if (!originNotice_.empty()) PostMessageW(Handle(), kOriginNoticeMessage, 0, 0);
    });
    Skipping([&] {
        if (CbNomSys.Selected() != 0) CbNomSys.SelectQuietly(0);
    });
    var.ModifAutorisee = true;
    // The service first in alphabetical order of display name becomes the selected one.
    Skipping([&] { CbNomVueTrier.Select(0); });
}

void Fen1::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    // The secondary windows close with this one. Then the working copies go.
    Skipping([&] { app.windows.CloseAll(); });
    Skipping([&] {
        std::wstring folder = var.CheminAppli + L"Tmp\\";
        WIN32_FIND_DATAW found{};
        FindHandle search(FindFirstFileW((folder + L"*.*").c_str(), &found));
        if (!search) return;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;  // sub-folders are left alone
            DeleteFileW((folder + found.cFileName).c_str());
        } while (FindNextFileW(search.Get(), &found));
    });
}

// ---- Lists and selection ----

int Fen1::FillLists(const std::vector<ServiceEntry>& services, const std::function<bool(const ServiceEntry&)>& keep) {
    CbNomVueTrier.Clear();
    CbNomSys.Clear();
    CbNomVue.Clear();
    size_t nameChars = 0, displayChars = 0;
    for (const ServiceEntry& s : services) {
        nameChars += s.Name.size() + 1;
        displayChars += s.DisplayName.size() + 1;
    }
    for (ComboBox* list : {&CbNomSys, &CbNomVue, &CbNomVueTrier}) list->SetRedraw(false);
    CbNomSys.Reserve(static_cast<int>(services.size()), nameChars);
    CbNomVue.Reserve(static_cast<int>(services.size()), displayChars);
    CbNomVueTrier.Reserve(static_cast<int>(services.size()), displayChars);
    int count = 0;
    for (const ServiceEntry& s : services) {
        // The count is 16-bit: at most 32,767 services are loaded.
        if (count == 32767) break;
        if (keep && !keep(s)) continue;
        CbNomSys.Add(s.Name);
        CbNomVue.Add(s.DisplayName);
        CbNomVueTrier.Add(s.DisplayName);
        ++count;
    }
    for (ComboBox* list : {&CbNomSys, &CbNomVue, &CbNomVueTrier}) list->SetRedraw(true);
    CbNomSys.FitDropDown(font_);
    CbNomVueTrier.FitDropDown(font_);
    LabNb.SetText(std::to_wstring(count));
    var.NbServices = count;
    var.SauveConfig = false;
    return count;
}

void Fen1::ChargeServices() {
    CbNomVueTrier.Clear();
    CbNomSys.Clear();
    CbNomVue.Clear();
    bool saving = var.SauveConfig;
    // Start modes cost a query per service: only a save writes them.
    std::vector<ServiceEntry> services = app.services->Inventory(saving);
    FillLists(services, nullptr);
    Skipping([&] {
        if (startingUp_) CbNomSys.SelectQuietly(0);
        else CbNomSys.Select(0);
    });
    if (saving) {
        // One record per service, in inventory order; the file replaces an older one only once complete.
        lastSave_ = WriteConfigFile(var.CheminAppli + L"Config\\" + var.NomConfig, SavedRecords(services), *app.files);
    }
}

void Fen1::ChargeListeConf() {
    // The name being typed in creation mode, or the configuration chosen, stays: another window that
    // saves refreshes the list under the user's hands.
    std::wstring kept = CbListeConf.Text();
    CbListeConf.Clear();
    for (const std::wstring& name : ConfigFileNames(var.CheminAppli + L"Config\\")) CbListeConf.Add(name);
    CbListeConf.FitDropDown(font_);
    if (kept.empty()) return;
    if (CreationMode()) CbListeConf.SetText(kept);
    else CbListeConf.SelectTextQuietly(kept);
}

void Fen1::OnCbNomVueTrier() {
    // An entry that is no longer in the other lists (a service added in creation mode) cannot be selected:
    // the list shows the selected service again rather than one no command would act on.
    if (!CbNomVue.SelectText(CbNomVueTrier.SelectedText())) ShowSelectedInLists();
}

void Fen1::OnCbNomVue() { CbNomSys.Select(CbNomVue.Selected()); }

void Fen1::OnCbNomSys() {
    Combo1.Clear();
    Combo2.Clear();
    std::wstring name = CbNomSys.SelectedText();
    // Bring the other two lists to the same service without running their handlers again: they
    // would only come back here with the same position.
    Skipping([&] { ShowSelectedInLists(); });
    Skipping([&] { ChargeDependances(name); });
    // One lookup serves the fields and the description.
    std::optional<ServiceInfo> info;
    bool found = ReadService(name, info, true);
    if (found) Skipping([&] { ShowFields(info); });
    // A service's name from the machine names a text of the folder only when it can be a file name there.
    Skipping([&] { ShowTexts(IsBareFileName(name) ? L"ServTxt\\serv\\" + name : L"ServTxt\\serv\\", found ? &info : nullptr); });
    var.ModifAutorisee = true;
    for (Label* marker : {&LabStart, &LabStop, &LabDisa, &LabAuto, &LabManu}) SetMarkerColour(*marker, ActiveBorderColour());
    var.EtatChoisi.clear();
    var.ModeChoisi.clear();
}

void Fen1::OnBtDefileBas() {
    int position = CbNomVueTrier.Selected();
    if (position != var.NbServices - 1 && position + 1 < CbNomVueTrier.Count()) CbNomVueTrier.Select(position + 1);
}

void Fen1::OnMnuPlus() {
    int position = CbNomVueTrier.Selected();
    if (position > 0) CbNomVueTrier.Select(position - 1);
}

void Fen1::OnMnuRefresh() {
    int position = CbNomSys.Selected();
    try {
        WaitCursor busy;
        ChargeServices();
    } catch (const ServiceError& e) {
        // The lists stay empty; say why rather than leave an empty window unexplained.
        const wchar_t* message = ControlMessage(e.Code());
        LabEtat.SetText(std::wstring(texts::kListUnreadable) + (message ? message : L""));
        return;
    } catch (...) {
    }
    if (position > 0 && position < CbNomSys.Count()) CbNomSys.Select(position);
}

void Fen1::OnMnuRefreshServ() {
    Skipping([&] { AfficheServ(); });
}

// ---- What is shown for the selected service ----

void Fen1::ChargeDependances(const std::wstring& name) {
    auto fill = [](ComboBox& list, const std::vector<std::wstring>& names) {
        for (const auto& n : names) list.Add(n);
        if (names.empty()) list.Add(texts::kNoDependency);
        list.SelectQuietly(0);
    };
    fill(Combo1, app.services->DependentServices(name));
    fill(Combo2, app.services->ServicesDependedOn(name));
    Combo1.FitDropDown(font_);
    Combo2.FitDropDown(font_);
}

void Fen1::AfficheServ() {
    std::optional<ServiceInfo> info;
    // After an order the state line keeps what became of it.
    if (ReadService(CbNomSys.SelectedText(), info, false)) ShowFields(info);
}

bool Fen1::ReadService(const std::wstring& name, std::optional<ServiceInfo>& info, bool tellWhy) {
    try {
        info = app.services->Find(name);
        return true;
    } catch (...) {
        // Never the previous service's values under this one's name: each field says it could not be
        // read, the state line why.
        std::wstring reason = CurrentExceptionText();
        for (Control* field : {&TbChem, &TbDemarre, &TbEtat, &TbNomCompte, &TbType}) field->SetText(texts::kFieldUnreadable);
        if (tellWhy) LabEtat.SetText(texts::kServiceUnreadable + reason);
        return false;
    }
}

void Fen1::ShowFields(const std::optional<ServiceInfo>& found) {
    ServiceInfo none;
    const ServiceInfo& info = found ? *found : none;
    // A service no longer there empties the fields; one the database gives no value for says so.
    auto shown = [&](const std::wstring& value) { return value.empty() && found ? std::wstring(texts::kNotGiven) : value; };
    auto show = [&](Control& field, const Text& value) { field.SetText(shown(value.value_or(L""))); };
    show(TbChem, info.PathName);
    TbDemarre.SetText(shown(StartModeShown(info)));
    show(TbEtat, info.State);
    show(TbNomCompte, info.StartName);
    show(TbType, info.ServiceType);
}

void Fen1::AfficheTexte(const std::wstring& relativePath) { ShowTexts(relativePath, nullptr); }

void Fen1::ShowTexts(const std::wstring& relativePath, const std::optional<ServiceInfo>* known) {
    std::wstring file = var.CheminAppli + relativePath + L".txt";
    Skipping([&] {
        if (!FileExists(file)) {
            RichTextBox1.SetPlainText(texts::kNoData);
            return;
        }
        try {
            RichTextBox1.LoadFile(file);
        } catch (...) {
            // An unreadable text must not leave the previous service's text on show.
            RichTextBox1.SetPlainText(texts::kNoData);
        }
    });
    Skipping([&] {
        std::optional<ServiceInfo> looked;
        if (!known) looked = app.services->Find(CbNomSys.SelectedText());
        const std::optional<ServiceInfo>& info = known ? *known : looked;
        if (!info) RichTextBox2.SetPlainText(L"");
        else if (!info->Description) RichTextBox2.SetPlainText(texts::kNoDescription);
        else RichTextBox2.SetPlainText(*info->Description);
    });
}

// ---- Help and information ----

// ---- Skins ----

void Fen1::ChargeSkin(const std::wstring& skin) {
    // Each step's failure is skipped: a picture missing from the skin leaves the current one as it was.
    std::wstring images = var.CheminAppli + L"Image\\";
    std::wstring folder = images + L"skins\\" + skin + L"\\";
    Skipping([&] { CopyFileW((folder + L"Create.jpg").c_str(), (images + L"Create.jpg").c_str(), FALSE); });
    Skipping([&] { CopyFileW((folder + L"Start.jpg").c_str(), (images + L"Start.jpg").c_str(), FALSE); });
    Skipping([&] { LoadBackground(images + (CreationMode() ? L"Create.Jpg" : L"Start.Jpg")); });
}

void Fen1::OnMnuAucun() {
    std::wstring images = var.CheminAppli + L"Image\\";
    Skipping([&] { DeleteFileW((images + L"Start.jpg").c_str()); });
    Skipping([&] { DeleteFileW((images + L"Create.jpg").c_str()); });
    Skipping([&] { LoadBackground(L""); });
}

void Fen1::OnMnuDetailServ() { app.windows.Get<Fen5>(app).Open(Handle(), CbNomSys.SelectedText()); }

void Fen1::OnMnuHelp() { AfficheTexte(L"ServTxt\\help\\help"); }

void Fen1::OnMnuInfo() { AfficheTexte(L"ServTxt\\info\\info"); }

void Fen1::OnMnuQui() { app.dialogs->Message(Handle(), texts::kAbout, texts::kAboutTitle, BoxStyle::InformationOk); }

}  // namespace kestrane
