#include "mainwindow/Fen1.h"

#include "app/resource.h"
#include "config/ConfigFormat.h"
#include "config/TextFile.h"
#include "mainwindow/Startup.h"
#include "service/Programme.h"

#include <commctrl.h>
#include <richedit.h>

#include <exception>
#include <vector>

namespace kestrane {

namespace {

constexpr int kClientWidth = 900;
constexpr int kClientHeight = 660;
constexpr COLORREF kWhite = RGB(255, 255, 255);

// How a child control is made and where it sits; a null class is a caption the window paints itself.
// The whole layout of the main window is this table.
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
constexpr DWORD kValue = kChild | SS_NOTIFY | SS_LEFT | WS_BORDER;
constexpr DWORD kRich = kChild | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;

const ControlLayout kLayout[] = {
    {IDC_CAPTION_FIRST + 0, nullptr, L"Nom  (denomination dans le service manager)", 0, 12, 10, 438, 18},
    {IDC_CBNOMVUETRIER, L"COMBOBOX", L"", kList | CBS_SORT, 12, 30, 438, 400},
    {IDC_CAPTION_FIRST + 1, nullptr, L"Nom dans le systeme", 0, 12, 62, 438, 18},
    {IDC_CBNOMSYS, L"COMBOBOX", L"", kList, 12, 82, 438, 400},
    {IDC_CBNOMVUE, L"COMBOBOX", L"", (kList & ~WS_VISIBLE), 12, 82, 438, 400},
    {IDC_BTDEFILEHAUT, L"BUTTON", L"< Précédent", kButton, 12, 114, 124, 26},
    {IDC_BTDEFILEBAS, L"BUTTON", L"Suivant >", kButton, 144, 114, 124, 26},
    {IDC_BTREFRESHSERV, L"BUTTON", L"Rafraichir l'état", kButton, 276, 114, 174, 26},
    {IDC_CAPTION_FIRST + 2, nullptr, L"Nombre de service trouvée dans le système", 0, 12, 153, 300, 18},
    {IDC_LABNB, L"STATIC", L"", kValue, 316, 150, 134, 20},
    {IDC_CAPTION_FIRST + 3, nullptr, L"Etat système", 0, 12, 181, 90, 18},
    {IDC_LABETAT, L"STATIC", L"", kValue, 104, 178, 346, 36},
    {IDC_CAPTION_FIRST + 4, nullptr, L"Liste des services ayant besoin du service selectionné", 0, 12, 222, 438, 18},
    {IDC_COMBO1, L"COMBOBOX", L"", kList, 12, 242, 438, 300},
    {IDC_CAPTION_FIRST + 5, nullptr, L"Service nécessaire au démarrage du service selectionné", 0, 12, 274, 438, 18},
    {IDC_COMBO2, L"COMBOBOX", L"", kList, 12, 294, 438, 300},
    {IDC_CAPTION_FIRST + 6, nullptr, L"Chemin du service", 0, 12, 330, 438, 18},
    {IDC_TBCHEM, L"EDIT", L"", kField, 12, 348, 438, 22},
    {IDC_LABEL4, nullptr, L"Mode de démarrage", 0, 12, 378, 142, 18},
    {IDC_TBDEMARRE, L"EDIT", L"", kField, 12, 396, 142, 22},
    {IDC_LABEL3, nullptr, L"Etat du service", 0, 160, 378, 142, 18},
    {IDC_TBETAT, L"EDIT", L"", kField, 160, 396, 142, 22},
    {IDC_CAPTION_FIRST + 7, nullptr, L"Type de service", 0, 308, 378, 142, 18},
    {IDC_TBTYPE, L"EDIT", L"", kField, 308, 396, 142, 22},
    {IDC_CAPTION_FIRST + 8, nullptr, L"Nom du compte sous lequel s'éxecute le service", 0, 12, 426, 438, 18},
    {IDC_TBNOMCOMPTE, L"EDIT", L"", kField, 12, 444, 438, 22},
    {IDC_BTSTARTSERV, L"BUTTON", L"Démarrer le service", kButton, 12, 478, 220, 28},
    {IDC_LABSTART, L"STATIC", L"", kChild | WS_BORDER, 235, 478, 12, 28},
    {IDC_BTSTOPSERV, L"BUTTON", L"Arrêter le service", kButton, 252, 478, 183, 28},
    {IDC_LABSTOP, L"STATIC", L"", kChild | WS_BORDER, 438, 478, 12, 28},
    {IDC_BTCONFSERVAUTO, L"BUTTON", L"Démarrage automatique du service", kButton, 12, 512, 220, 28},
    {IDC_LABAUTO, L"STATIC", L"", kChild | WS_BORDER, 235, 512, 12, 28},
    {IDC_BTCONFSERVMANU, L"BUTTON", L"Démarrage manuel du service", kButton, 252, 512, 183, 28},
    {IDC_LABMANU, L"STATIC", L"", kChild | WS_BORDER, 438, 512, 12, 28},
    {IDC_BTCONFSERVSTOP, L"BUTTON", L"Désactivation du service", kButton, 12, 546, 220, 28},
    {IDC_LABDISA, L"STATIC", L"", kChild | WS_BORDER, 235, 546, 12, 28},
    {IDC_LABLISTECONF, nullptr, L"Liste des configurations disponnibles", 0, 12, 588, 438, 18},
    {IDC_CBLISTECONF, L"COMBOBOX", L"", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 12, 608, 250, 300},
    {IDC_COMMAND1, L"BUTTON", L"Configuration automatique", kButton, 270, 606, 180, 28},
    {IDC_CAPTION_FIRST + 9, nullptr, L"Description du service depuis la base de Kestrane", 0, 470, 10, 418, 18},
    {IDC_RICHTEXTBOX1, MSFTEDIT_CLASS, L"", kRich, 470, 30, 418, 300},
    {IDC_CAPTION_FIRST + 10, nullptr, L"Description interne de windows", 0, 470, 340, 418, 18},
    {IDC_RICHTEXTBOX2, MSFTEDIT_CLASS, L"", kRich, 470, 360, 418, 288},
};

// The colour of an unchosen creation-mode marker and of the window outside creation mode.
COLORREF ActiveBorderColour() { return GetSysColor(COLOR_ACTIVEBORDER); }

template <class F>
void Skipping(F&& step) {
    try {
        step();
    } catch (...) {
        // This step's failure is not reported; the next step runs.
    }
}

}  // namespace

Fen1::Fen1(AppContext& application) : app(application), var(application.var) {
    showPopup = [this](HMENU menu, POINT at) {
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, Handle(), nullptr);
    };
}

Fen1::~Fen1() {
    if (font_) DeleteObject(font_);
    if (whiteBrush_) DeleteObject(whiteBrush_);
    for (auto& [colour, brush] : brushes_) DeleteObject(brush);
}

bool Fen1::Create(bool show) {
    static bool richEditLoaded = LoadLibraryW(L"msftedit.dll") != nullptr;
    (void)richEditLoaded;
    CreateMenuBar();
    if (!CreateTopLevel(L"KestraneFen1", L"Kestrane ", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, kClientWidth,
                        kClientHeight, menuBar_))
        return false;
    if (show) {
        ShowWindow(Handle(), SW_SHOWNORMAL);
        UpdateWindow(Handle());
    }
    return true;
}

void Fen1::CreateMenuBar() {
    auto item = [](HMENU menu, UINT id, const wchar_t* text) { AppendMenuW(menu, MF_STRING, id, text); };
    auto sub = [](HMENU menu, HMENU child, const wchar_t* text) {
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(child), text);
    };

    HMENU etat = CreatePopupMenu();
    item(etat, IDM_START, L"Demarrer");
    item(etat, IDM_STOP, L"Arrêter");
    item(etat, IDM_PAUSE, L"Mettre en pause");
    item(etat, IDM_NOPAUSE, L"Sortir de pause");
    HMENU conf = CreatePopupMenu();
    item(conf, IDM_AUTO, L"Automatique");
    item(conf, IDM_MANUEL, L"Manuel");
    item(conf, IDM_DESACTIVE, L"Desactivation");
    HMENU divers = CreatePopupMenu();
    item(divers, IDM_SUPSERV, L"Supprimer le service selectionné");
    MnuServ = CreatePopupMenu();
    sub(MnuServ, etat, L"Etat");
    sub(MnuServ, conf, L"Configurer le démarrage");
    sub(MnuServ, divers, L"Divers");
    AppendMenuW(MnuServ, MF_SEPARATOR, 0, nullptr);
    item(MnuServ, IDM_DETAILSERV, L"Informations détaillées du service");
    item(MnuServ, IDM_REFRESHSERV, L"Rafraichir l'etat du service");
    AppendMenuW(MnuServ, MF_SEPARATOR, 0, nullptr);
    item(MnuServ, IDM_QUITTER, L"Quitter");

    HMENU configuration = CreatePopupMenu();
    item(configuration, IDM_CHARGECONF, L"Charger une configuration");
    item(configuration, IDM_EXPORTCONF, L"Exporter une configuration");
    item(configuration, IDM_IMPORTCONF, L"Importer une configuration");
    item(configuration, IDM_SAUVECONF, L"Sauvegarder  la configuration actuelle");
    item(configuration, IDM_SUPCONF, L"Supprimer une configuration");

    static const wchar_t* const kFilterCaptions[] = {
        L"Running",        L"Stopped",          L"Auto",           L"Manual",
        L"Disabled",       L"Auto & Running",   L"Auto & Stopped", L"Manual & Running",
        L"Manual & Stopped", L"Disabled & Running", L"Disabled & Stopped"};
    HMENU byState = CreatePopupMenu();
    HMENU byMode = CreatePopupMenu();
    HMENU combined = CreatePopupMenu();
    for (int i = 0; i < 11; ++i)
        item(i < 2 ? byState : (i < 5 ? byMode : combined), IDM_FILTER_FIRST + i, kFilterCaptions[i]);
    MnuAffiTri = CreatePopupMenu();
    sub(MnuAffiTri, byState, L"Tri par état");
    sub(MnuAffiTri, byMode, L"Tri par mode de démarrage");
    sub(MnuAffiTri, combined, L"Tri combiné");

    HMENU outils = CreatePopupMenu();
    sub(outils, configuration, L"Configuration");
    sub(outils, MnuAffiTri, L"Affichage selectif");
    item(outils, IDM_REFRESH, L"Recharger la liste des services");
    AppendMenuW(outils, MF_SEPARATOR, 0, nullptr);
    item(outils, IDM_CREERCONF, L"Mode de création d'une configuration");
    item(outils, IDM_EXTERNE, L"Lecteur de configuration externe");
    AppendMenuW(outils, MF_SEPARATOR, 0, nullptr);
    item(outils, IDM_OPAUTO, L"Gestion automatique des dépendances");

    static const wchar_t* const kSkinCaptions[] = {L"Aucun", L"Defaut", L"Vista",  L"Gris",      L"Vert", L"Violine",
                                                   L"Rouge", L"Rose",   L"Orange", L"Bleu Vert", L"Bleu"};
    HMENU skins = CreatePopupMenu();
    for (int i = 0; i < 11; ++i) item(skins, IDM_SKIN_FIRST + i, kSkinCaptions[i]);
    HMENU options = CreatePopupMenu();
    sub(options, skins, L"Skins");

    HMENU information = CreatePopupMenu();
    item(information, IDM_HELP, L"Help");
    item(information, IDM_INFO, L"Infos");
    item(information, IDM_QUI, L"A propos");

    menuBar_ = CreateMenu();
    sub(menuBar_, MnuServ, L"Action");
    sub(menuBar_, outils, L"Outils");
    sub(menuBar_, options, L"Options");
    sub(menuBar_, information, L" ?");

    // Commands that later versions of this window bring; shown, but not yet available.
    for (UINT id : {IDM_DETAILSERV, IDM_CHARGECONF, IDM_EXPORTCONF, IDM_IMPORTCONF, IDM_SAUVECONF, IDM_SUPCONF,
                    IDM_CREERCONF, IDM_EXTERNE})
        EnableMenuItem(menuBar_, id, MF_BYCOMMAND | MF_GRAYED);
    for (int i = 0; i < 11; ++i) {
        EnableMenuItem(menuBar_, IDM_FILTER_FIRST + i, MF_BYCOMMAND | MF_GRAYED);
        EnableMenuItem(menuBar_, IDM_SKIN_FIRST + i, MF_BYCOMMAND | MF_GRAYED);
    }

    commands_ = {
        {IDM_START, [this] { OnMnuStart(); }},
        {IDM_STOP, [this] { OnMnuSTop(); }},
        {IDM_PAUSE, [this] { OnMnuPause(); }},
        {IDM_NOPAUSE, [this] { OnMnuNoPause(); }},
        {IDM_AUTO, [this] { OnMnuAuto(); }},
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
    };
}

void Fen1::CreateControls() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        font_ = CreateFontIndirectW(&metrics.lfMessageFont);
    whiteBrush_ = CreateSolidBrush(kWhite);
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, 400);

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
            RECT area{entry.x, entry.y, entry.x + entry.w, entry.y + entry.h};
            Caption& caption = entry.id == IDC_LABEL3         ? Label3
                               : entry.id == IDC_LABEL4       ? Label4
                               : entry.id == IDC_LABLISTECONF ? LabListeConf
                                                             : captions_[entry.id];
            caption.Place(Handle(), area, entry.text);
            continue;
        }
        HWND hwnd = CreateWindowExW(0, entry.className, entry.text, entry.style, entry.x, entry.y, entry.w, entry.h, Handle(),
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)),
                                    GetModuleHandleW(nullptr), nullptr);
        if (font_) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        auto it = bound.find(entry.id);
        if (it != bound.end()) it->second->Attach(hwnd);
    }
    LabEtat.AttachToolTip(toolTip_);
    for (Label* marker : {&LabStart, &LabStop, &LabAuto, &LabManu, &LabDisa}) {
        markerColours_[marker->Handle()] = ActiveBorderColour();
        marker->SetVisible(false);
    }
    // Right clicks in the rich text boxes reach the window as EN_MSGFILTER notifications.
    for (RichText* box : {&RichTextBox1, &RichTextBox2}) {
        SendMessageW(box->Handle(), EM_SETEVENTMASK, 0, ENM_MOUSEEVENTS);
        SendMessageW(box->Handle(), EM_SETBKGNDCOLOR, 0, kWhite);
    }
    CbNomVueTrier.onSelect = [this] { OnCbNomVueTrier(); };
    CbNomVue.onSelect = [this] { OnCbNomVue(); };
    CbNomSys.onSelect = [this] { OnCbNomSys(); };
}

LRESULT Fen1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        Form_Load();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lp);
        if (header->code == EN_MSGFILTER) {
            auto* filter = reinterpret_cast<MSGFILTER*>(lp);
            if (filter->msg == WM_RBUTTONDOWN) {
                POINT at{};
                GetCursorPos(&at);
                OnRightButton(at);
                return 1;  // the rich text box does not see the click
            }
        }
        return 0;
    }
    case WM_RBUTTONDOWN: {
        POINT at{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        ClientToScreen(Handle(), &at);
        OnRightButton(at);
        return 0;
    }
    case WM_ERASEBKGND:
        OnPaintBackground(reinterpret_cast<HDC>(wp));
        return 1;
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(OnControlColour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)));
    case WM_CLOSE:
        Form_Unload();
        DestroyWindow(Handle());
        return 0;
    case WM_DESTROY:
        if (app.quitOnClose) PostQuitMessage(0);
        return 0;
    default:
        return Default(msg, wp, lp);
    }
}

void Fen1::OnCommand(UINT id, UINT code, HWND control) {
    if (control && (id == IDC_CBNOMSYS || id == IDC_CBNOMVUE || id == IDC_CBNOMVUETRIER)) {
        if (code != CBN_SELCHANGE) return;
        if (id == IDC_CBNOMSYS) CbNomSys.onSelect();
        else if (id == IDC_CBNOMVUE) CbNomVue.onSelect();
        else CbNomVueTrier.onSelect();
        return;
    }
    if (control && code != BN_CLICKED) return;
    auto it = commands_.find(id);
    if (it != commands_.end()) it->second();
}

void Fen1::OnPaintBackground(HDC dc) {
    RECT client;
    GetClientRect(Handle(), &client);
    bool creationMode = MenuChecked(IDM_CREERCONF);
    HBRUSH brush = GetSysColorBrush(creationMode ? COLOR_HIGHLIGHT : COLOR_ACTIVEBORDER);
    FillRect(dc, &client, brush);
    // The picture is shown at its own size from the top left corner, like a form's picture.
    background_.Draw(dc, client);
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    for (const auto& [id, caption] : captions_) caption.Paint(dc);
    for (const Caption* caption : {&Label3, &Label4, &LabListeConf}) caption->Paint(dc);
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
    markerColours_[marker.Handle()] = colour;
    InvalidateRect(marker.Handle(), nullptr, TRUE);
}

void Fen1::Repaint() {
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool Fen1::MenuChecked(UINT id) const {
    return (GetMenuState(menuBar_, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

void Fen1::SetMenuChecked(UINT id, bool checked) {
    CheckMenuItem(menuBar_, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool Fen1::MenuEnabled(UINT id) const {
    return (GetMenuState(menuBar_, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
}

// ---- Start-up and shutdown ----

void Fen1::Form_Load() {
    InitialiseFolders(app, Handle());
    // From here on a step that fails is skipped and the next one runs.
    Skipping([&] {
        LoadBackground(var.CheminAppli + (IsChristmasTime(var.Jour, var.Mois) ? L"Image\\Noel.Jpg" : L"Image\\Start.Jpg"));
    });
    Skipping([&] { ChargeServices(); });
    Skipping([&] { ChargeListeConf(*this); });
    // The fill has selected the first system name already, with its fields shown.
    Skipping([&] {
        if (CbNomSys.Selected() != 0) CbNomSys.Select(0);
    });
    var.ModifAutorisee = true;
    // The service first in alphabetical order of display name becomes the selected one.
    Skipping([&] { CbNomVueTrier.Select(0); });
}

void Fen1::Form_Unload() {
    // Secondary windows are owned by this one and close with it. Then the working copies go.
    Skipping([&] {
        std::wstring folder = var.CheminAppli + L"Tmp\\";
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW((folder + L"*.*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;  // sub-folders are left alone
            DeleteFileW((folder + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    });
}

// ---- Lists and selection ----

void Fen1::ChargeServices() {
    CbNomVueTrier.Clear();
    CbNomSys.Clear();
    CbNomVue.Clear();
    std::vector<ServiceEntry> services = app.services->Inventory();
    int count = 0;
    std::wstring saveFile = var.CheminAppli + L"Config\\" + var.NomConfig;
    bool saving = var.SauveConfig;
    // A configuration that cannot be written must not cut the lists short: the fill goes on and the
    // failure reaches the caller at the end.
    std::exception_ptr saveFailure;
    for (const ServiceEntry& s : services) {
        CbNomSys.Add(s.Name);
        CbNomVue.Add(s.DisplayName);
        CbNomVueTrier.Add(s.DisplayName);
        ++count;
        if (saving && !saveFailure) {
            try {
                AppendConfigRecord(saveFile, {s.Name, s.State.value_or(L""), s.StartMode.value_or(L""), s.DisplayName});
            } catch (...) {
                saveFailure = std::current_exception();
            }
        }
    }
    LabNb.SetText(std::to_wstring(count));
    var.NbServices = count;
    var.SauveConfig = false;
    Skipping([&] { CbNomSys.Select(0); });
    if (saveFailure) std::rethrow_exception(saveFailure);
}

void Fen1::OnCbNomVueTrier() { CbNomVue.SelectText(CbNomVueTrier.SelectedText()); }

void Fen1::OnCbNomVue() { CbNomSys.Select(CbNomVue.Selected()); }

void Fen1::OnCbNomSys() {
    Combo1.Clear();
    Combo2.Clear();
    std::wstring name = CbNomSys.SelectedText();
    // Bring the other two lists to the same service without running their handlers again: they
    // would only come back here with the same position.
    Skipping([&] {
        CbNomVue.SelectQuietly(CbNomSys.Selected());
        CbNomVueTrier.SelectTextQuietly(CbNomVue.SelectedText());
    });
    Skipping([&] { ChargeDependances(*this, name); });
    Skipping([&] { AfficheServ(*this); });
    Skipping([&] { AfficheTexte(*this, L"ServTxt\\serv\\" + name); });
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
        ChargeServices();
    } catch (const ServiceError& e) {
        // The lists stay empty; say why rather than leave an empty window unexplained.
        const wchar_t* message = ControlMessage(e.Code());
        LabEtat.SetText(std::wstring(L"liste des services illisible : ") + (message ? message : L""));
        return;
    } catch (...) {
    }
    if (position > 0 && position < CbNomSys.Count()) CbNomSys.Select(position);
}

void Fen1::OnMnuRefreshServ() {
    Skipping([&] { AfficheServ(*this); });
}

// ---- Help and information ----

void Fen1::OnMnuHelp() { AfficheTexte(*this, L"ServTxt\\help\\help"); }

void Fen1::OnMnuInfo() { AfficheTexte(*this, L"ServTxt\\info\\info"); }

void Fen1::OnMnuQui() {
    app.dialogs->Message(Handle(),
                         L"version 1.2.6 \n\nKestrane, gestionnaire des services de Windows\n"
                         L"et des configurations de services.\nConçu pour les utilisateurs et administrateurs.\n\n"
                         L"Interface Win32 native, sans dépendance.\nMerci d'utiliser Kestrane.",
                         L"information", BoxStyle::InformationOk);
}

}  // namespace kestrane
