#include "windows/details/Fen5.h"

#include "service/PerUserServices.h"
#include "base/Skipping.h"

#include "base/Texts.h"

#include <algorithm>
#include <commctrl.h>
#include <richedit.h>

namespace kestrane {

namespace {

// The type as the management class gives it, and what a per-user service is.
std::wstring TypeShown(const ServiceInfo& info) {
    std::wstring type = info.ServiceType.value_or(L"");
    std::wstring perUser;
    if (info.perUser == PerUser::Template) perUser = texts::kPerUserTemplate;
    if (info.perUser == PerUser::Instance)
        perUser = texts::kPerUserInstance + TemplateNameOf(info.Name.value_or(L"")) + L")";
    return perUser.empty() ? type : type + L" \u2014 " + perUser;
}

constexpr int kQuitterId = 5001;

// The properties, in the order the window fills them: the value, the name label's caption and its
// explanation.
struct Property {
    Text ServiceInfo::*value;
    const wchar_t* caption;
    const wchar_t* explanation;
};

const Property kProperties[] = {
    {&ServiceInfo::Name, L"Name", L"Identifie de façon unique le service"},
    {&ServiceInfo::DisplayName, L"DisplayName",
     L"Nom d'affichage du service. Cette chaîne a une longueur maximale de 256 caractères"},
    {&ServiceInfo::Caption, L"Caption", L"Description courte de l'objet"},
    {&ServiceInfo::PathName, L"PathName",
     L"Chemin totalement défini vers le fichier binaire de service qui implémente le service"},
    {&ServiceInfo::Description, L"&Description ", L"Description complête du service"},
    {&ServiceInfo::ServiceType, L"ServiceType", L"Type de service transmis aux processus appelants"},
    {&ServiceInfo::AcceptPause, L"AcceptPause", L"Indique si le service peut être suspendu"},
    {&ServiceInfo::AcceptStop, L"AcceptStop", L"Indique si le service peut être arrêté"},
    {&ServiceInfo::State, L"State", L"Etat actuel du service"},
    {&ServiceInfo::Status, L"Status", L"Indique le statut actuel du service"},
    {&ServiceInfo::StartMode, L"StartMode", L"Mode de démarrage du service de base Win32"},
    {&ServiceInfo::Started, L"Started", L"Indique si le service a été démarré"},
    {&ServiceInfo::DesktopInteract, L"DesktopInteract",
     L"Indique si le service peut créer ou communiquer avec Windows sur le Bureau"},
    {&ServiceInfo::StartName, L"StartName", L"Nom de compte sous lequel le service s'exécute"},
    {&ServiceInfo::SystemName, L"SystemName", L"Le nom du système qui héberge ce service"},
    {&ServiceInfo::SystemCreationClassName, L"SystemCreationClassName", L"Le nom de type du système qui héberge ce service"},
    {&ServiceInfo::CreationClassName, L"CreationClassName", L"Nom de la classe"},
    {&ServiceInfo::InstallDate, L"InstallDate",
     L"Date et heure à laquelle l'objet a été installé. Si cette valeur est vide, ceci n'indique pas que l'objet "
     L"n'est pas installé"},
    {&ServiceInfo::WaitHint, L"WaitHint",
     L"Spécifie la durée estimée (en millisecondes) nécessaire pour une opération de démarrage, d'arrêt, de mise en "
     L"pause ou de reprise en attente"},
    {&ServiceInfo::ProcessId, L"ProcessId", L"Identificateur de processus du service"},
    {&ServiceInfo::TagId, L"TagId", L"Valeur d'étiquette unique pour ce service dans le groupe"},
    {&ServiceInfo::CheckPoint, L"CheckPoint",
     L"Spécifie une valeur que le service incrémente périodiquement pour rendre compte de son avancement lors d'une "
     L"opération de démarrage, d'arrêt, de mise en pause ou de reprise qui s'avère un peu longue"},
    {&ServiceInfo::ExitCode, L"ExitCode",
     L"Spécifie un code d'erreur Win32 qui définit tout problème rencontré lors du démarrage ou de l'arrêt du service"},
    {&ServiceInfo::ErrorControl, L"ErrorControl",
     L"Identifie la sévérité de l'erreur si le démarrage de ce service échoue lors du démarrage de l'ordinateur"},
    {&ServiceInfo::ServiceSpecificExitCode, L"ServiceSpecificExitCode",
     L"Code d'erreur spécifique au service pour les erreurs qui se produisent lorsque le service démarre ou s'arrête"},
};
constexpr int kDescriptionRow = 4;

// The rows from top to bottom, as indexes into the table: the window's own reading order.
const int kLayoutOrder[] = {1, 0, 2, 5, 23, 22, 4, 17, 3, 24, 8, 9, 10, 6, 7, 21, 12, 19, 13, 20, 18, 14, 15, 16, 11};

constexpr int kRowHeight = 22;
constexpr int kDescriptionHeight = 66;
constexpr int kNameWidth = 190;
constexpr int kValueWidth = 520;
constexpr int kMargin = 12;
// The value column may narrow to this before the window scrolls sideways; a value cut shows whole in
// its tool tip.
constexpr int kNarrowestValue = 300;

// The client height that shows every row, at 96 DPI.
int WholeHeight() {
    return kMargin * 2 + kRowHeight * (static_cast<int>(std::size(kProperties)) - 1) + kDescriptionHeight + 40;
}


}  // namespace

Fen5::Fen5(AppContext& app) : app_(app), rows_(std::size(kProperties)) {}

Fen5::~Fen5() {
    if (Handle()) DestroyWindow(Handle());
    if (font_) DeleteObject(font_);
    if (white_) DeleteObject(white_);
}

void Fen5::Open(HWND owner, const std::wstring& name) {
    if (Handle()) {
        // Already open: brought forward as it is, still showing the service it was opened for.
        ShowWindow(Handle(), SW_SHOWNORMAL);
        SetForegroundWindow(Handle());
        return;
    }
    if (!CreateTopLevel(L"KestraneFen5", texts::kDetailsTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                        kMargin * 3 + kNameWidth + kValueWidth, WholeHeight(), nullptr, owner))
        return;
    Fill(name);
    ShowWindow(Handle(), SW_SHOWNORMAL);
}

void Fen5::OnQuitter() {
    if (Handle()) DestroyWindow(Handle());
}

void Fen5::CreateControls() {
    font_ = CreateMessageFont(Dpi());
    white_ = CreateSolidBrush(RGB(255, 255, 255));
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    SendMessageW(toolTip_, TTM_SETMAXTIPWIDTH, 0, Scale(500));
    HINSTANCE instance = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style) {
        HWND hwnd = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, Handle(), nullptr, instance,
                                    nullptr);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        return hwnd;
    };
    for (int index : kLayoutOrder) {
        Row& row = rows_[static_cast<size_t>(index)];
        row.name.Attach(make(L"STATIC", kProperties[index].caption, SS_NOTIFY | SS_LEFT));
        row.name.AttachToolTip(toolTip_);
        row.name.SetToolTip(kProperties[index].explanation);
        if (index == kDescriptionRow) {
            RichTextBox1.Attach(make(MSFTEDIT_CLASS, L"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY | WS_TABSTOP));
            RichTextBox1.UseDialogKeys();
            continue;
        }
        row.value.Attach(make(L"STATIC", L"", SS_NOTIFY | SS_LEFT | SS_ENDELLIPSIS | SS_NOPREFIX | WS_BORDER));
        row.value.AttachToolTip(toolTip_);
    }
    ReyCommand1.Attach(make(L"BUTTON", texts::kQuit, BS_PUSHBUTTON | WS_TABSTOP));
    SetWindowLongPtrW(ReyCommand1.Handle(), GWLP_ID, kQuitterId);
    SetMinimumLayout(kMargin * 3 + kNameWidth + kNarrowestValue, WholeHeight());
    Relayout();
}

void Fen5::Arrange(const RECT& canvas) {
    // The values take the width the window gives, the description its height.
    const int valueLeft = canvas.left + Scale(kMargin * 2 + kNameWidth);
    const int valueWidth = canvas.right - Scale(kMargin) - valueLeft;
    const int slack = std::max<int>(0, (canvas.bottom - canvas.top) - Scale(WholeHeight()));
    int y = canvas.top + Scale(kMargin);
    for (int index : kLayoutOrder) {
        Row& row = rows_[static_cast<size_t>(index)];
        int height = index == kDescriptionRow ? Scale(kDescriptionHeight) + slack : Scale(kRowHeight - 2);
        SetWindowPos(row.name.Handle(), nullptr, canvas.left + Scale(kMargin), y + Scale(2), Scale(kNameWidth),
                     Scale(kRowHeight - 4), SWP_NOZORDER);
        HWND value = index == kDescriptionRow ? RichTextBox1.Handle() : row.value.Handle();
        SetWindowPos(value, nullptr, valueLeft, y, valueWidth, height, SWP_NOZORDER);
        y += height + Scale(2);
    }
    SetWindowPos(ReyCommand1.Handle(), nullptr, valueLeft + valueWidth - Scale(140), y + Scale(6), Scale(140), Scale(28),
                 SWP_NOZORDER);
}

void Fen5::Fill(const std::wstring& name) {
    // Each step that fails leaves its control as it was; nothing is reported.
    Skipping([&] { rows_[0].value.SetText(name); });
    Skipping([&] {
        std::optional<ServiceInfo> info = app_.services->Find(name);
        if (!info) return;
        for (size_t i = 1; i < rows_.size(); ++i) {
            const Text& value = (*info).*(kProperties[i].value);
            if (static_cast<int>(i) == kDescriptionRow) {
                RichTextBox1.SetPlainText(value.value_or(L""));
                continue;
            }
            bool startMode = kProperties[i].value == &ServiceInfo::StartMode;
            bool type = kProperties[i].value == &ServiceInfo::ServiceType;
            rows_[i].value.SetText(startMode ? StartModeShown(*info) : type ? TypeShown(*info) : value.value_or(L""));
        }
        // A value too long for its label is read whole in its tool tip.
        rows_[0].value.SetToolTip(name);
        for (size_t i = 1; i < rows_.size(); ++i)
            if (static_cast<int>(i) != kDescriptionRow) rows_[i].value.SetToolTip(rows_[i].value.Text());
    });
    Skipping([&] {
        backgroundPath_.clear();
        if (background_.Load(app_.var.CheminAppli + L"Image\\Start.Jpg")) backgroundPath_ = app_.var.CheminAppli + L"Image\\Start.Jpg";
    });
}

LRESULT Fen5::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_COMMAND:
        // Escape (IDCANCEL, from the dialog manager) quits as "Quitter" does.
        if ((LOWORD(wp) == kQuitterId || LOWORD(wp) == IDCANCEL) && HIWORD(wp) == BN_CLICKED) OnQuitter();
        return 0;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wp);
        background_.PaintBackground(Handle(), dc, Dpi());
        return 1;
    }
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(ControlColour(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp)));
    case WM_DPICHANGED: {
        TakeDpiChange(wp, lp, font_);
        Relayout();
        return 0;
    }
    case WM_CLOSE:
        OnQuitter();
        return 0;
    case WM_NCDESTROY:
        for (Row& row : rows_) {
            row.name.Attach(nullptr);
            row.value.Attach(nullptr);
        }
        if (font_) DeleteObject(font_);
        if (white_) DeleteObject(white_);
        font_ = nullptr;
        white_ = nullptr;
        return Default(msg, wp, lp);
    default:
        return Default(msg, wp, lp);
    }
}

HBRUSH Fen5::ControlColour(HDC dc, HWND control) {
    for (const Row& row : rows_) {
        if (row.value.Handle() == control) {
            SetBkColor(dc, RGB(255, 255, 255));
            return white_;
        }
    }
    // The name labels: the window's own colour (a hollow brush is painted black by some systems).
    SetBkColor(dc, GetSysColor(COLOR_ACTIVEBORDER));
    return GetSysColorBrush(COLOR_ACTIVEBORDER);
}

void Fen5::ReportUnexpected(const std::wstring& reason) {
    ShowUnexpected(app_, Handle(), reason);
}

}  // namespace kestrane
