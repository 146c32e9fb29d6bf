// The main window's configuration commands: saving, applying with the progress window, deleting,
// importing and exporting, selective display and creation mode.
#include "windows/resource.h"
#include "profile/Apply.h"
#include "profile/ConfigFiles.h"
#include "windows/progress/Fen2.h"
#include "windows/export/Fen3.h"
#include "windows/preview/PreviewWindow.h"
#include "profile/Export.h"
#include "profile/Plan.h"
#include "profile/Undo.h"
#include "base/TextFile.h"
#include "windows/editor/Fen4.h"
#include "windows/main/Fen1.h"
#include "service/Programme.h"
#include "base/Skipping.h"
#include "base/Texts.h"

#include <algorithm>
#include <exception>
#include <set>

namespace kestrane {


bool Fen1::CreationMode() const { return MenuChecked(IDM_CREERCONF); }

const std::vector<std::wstring>& Fen1::CreationModeDisabled() {
    static const std::vector<std::wstring> names = {L"MnuRefresh",     L"MnuOpAuto",  L"MnuDivers",     L"MnuEtat",
                                                    L"MnuConf",        L"MnuConfService", L"MnuExterne", L"MnuDetailServ",
                                                    L"MnuAffiTri",     L"MnuRefreshServ"};
    return names;
}

bool Fen1::CheckConfigName(const std::wstring& name) {
    // The file system refuses a path longer than MAX_PATH, the extension and its terminating null included.
    bool fits = (var.CheminAppli + L"Config\\" + name).size() + 5 <= MAX_PATH;
    if (IsValidConfigName(name) && fits) return true;
    app.dialogs->Message(Handle(), texts::kInvalidConfigName + name, texts::kWarningTitle, BoxStyle::WarningOk);
    return false;
}

void Fen1::ShowFileFailure(const std::exception& failure) {
    app.dialogs->Message(Handle(), texts::kConfigNotSaved + FileFailureReason(failure), texts::kFileErrorTitle,
                         BoxStyle::ErrorOk);
}

// ---- Saving ----

void Fen1::OnMnuSauveConf() {
    std::wstring name = app.dialogs->InputBox(Handle(), texts::kSavePrompt, texts::kSaveTitle, DefaultConfigName(var));
    if (name.empty()) {
        app.dialogs->Message(Handle(), texts::kNameRequired, texts::kWarningTitle, BoxStyle::WarningOk);
        return;
    }
    if (!CheckConfigName(name)) return;
    var.NomConfig = name + L".cfg";
    // The old file of that name is replaced by the new one once it is complete (never deleted first).
    Skipping([&] { AfficheServ(); });
    MachineLock lock;
    if (!TakeMachineLock(lock)) return;
    var.SauveConfig = true;
    try {
        WaitCursor busy;
        ChargeServices();
    } catch (const FileError& e) {
        var.SauveConfig = false;
        ShowFileFailure(e);
        Skipping([&] { ChargeListeConf(); });
        return;
    } catch (...) {
        // Whatever failed, no save stays pending for a later fill.
        var.SauveConfig = false;
        std::wstring reason;
        try {
            throw;
        } catch (const ServiceError& e) {
            const wchar_t* message = ControlMessage(e.Code());
            reason = message ? message : L"";
        } catch (...) {
            reason = CurrentExceptionText();
        }
        app.dialogs->Message(Handle(), texts::kConfigNotSaved + reason, texts::kFileErrorTitle, BoxStyle::ErrorOk);
        return;
    }
    Skipping([&] { ChargeListeConf(); });
    app.dialogs->Message(Handle(), texts::kSaveDone, texts::kInformationTitle, BoxStyle::InformationOk);
}

// ---- Applying ----

void Fen1::OnMnuChargeConf() {
    std::wstring name = CbListeConf.Text();
    if (name.empty()) return;
    if (!CheckConfigName(name)) return;
    ApplyConfiguration(name);
}

void Fen1::OnCommand1() {
    if (CreationMode()) AddToConfiguration();
    else OnMnuChargeConf();
}

void Fen1::ApplyConfiguration(const std::wstring& fileName, bool previewed) {
    if (!previewed && MenuChecked(IDM_APERCUAUTO)) {
        OnMnuApercu();
        return;
    }
    ApplyFile(var.CheminAppli + L"Config\\" + fileName, ApplyOrder::Configuration);
}

std::optional<std::vector<ForbiddenEntry>> Fen1::ForbiddenListOrTell() {
    std::wstring problem;
    std::optional<std::vector<ForbiddenEntry>> forbidden = ReadForbiddenList(var.CheminAppli, &problem);
    if (!forbidden)
        app.dialogs->Message(Handle(), texts::kGuardMissing + (problem.empty() ? L"" : L"\n" + problem),
                             texts::kGuardMissingTitle, BoxStyle::ErrorOk);
    return forbidden;
}

bool Fen1::ApplyFile(const std::wstring& path, ApplyOrder order) {
    // The guard's list is read before anything is changed: without it nothing may be applied.
    std::optional<std::vector<ForbiddenEntry>> forbidden = ForbiddenListOrTell();
    if (!forbidden) return false;
    std::optional<std::vector<ConfigRecord>> records;
    try {
        if (FileExists(path) && !IsPartialFileName(path)) records = RecordsToApply(path);
    } catch (...) {
    }
    if (!records || records->empty()) {
        if (!records) app.dialogs->Message(Handle(), texts::kApplyMissingFile, texts::kFileErrorTitle, BoxStyle::ErrorOk);
        else app.dialogs->Message(Handle(), texts::kApplyEmptyFile, texts::kApplyEmptyTitle, BoxStyle::ErrorOk);
        Skipping([&] { AfficheServ(); });
        return false;
    }
    return ApplyRecordsFromWindow(*records, *forbidden, order, order == ApplyOrder::Undo ? path : L"");
}

void Fen1::ApplyPreviewed(const std::wstring& path, const std::string& bytesShown, const std::vector<ConfigRecord>& records,
                          ApplyOrder order) {
    std::optional<std::string> now;
    try {
        now = ReadFileBytes(path);
    } catch (...) {
    }
    if (!now || *now != bytesShown) {
        app.dialogs->Message(Handle(), texts::kPreviewFileChanged + path, texts::kWarningTitle, BoxStyle::WarningOk);
        return;
    }
    std::optional<std::vector<ForbiddenEntry>> forbidden = ForbiddenListOrTell();
    if (!forbidden) return;
    ApplyRecordsFromWindow(records, *forbidden, order, order == ApplyOrder::Undo ? path : L"");
}

bool Fen1::ApplyRecordsFromWindow(const std::vector<ConfigRecord>& records, std::vector<ForbiddenEntry> guard,
                                  ApplyOrder order, const std::wstring& undoFile) {
    MachineLock lock;
    if (!TakeMachineLock(lock)) return false;
    // Another undo may have ended this file while this one waited.
    if (order == ApplyOrder::Undo && !FileExists(undoFile)) {
        app.dialogs->Message(Handle(), texts::kUndoGone + undoFile, texts::kWarningTitle, BoxStyle::WarningOk);
        return false;
    }
    CommandScope command(*app.services);
    std::optional<Plan> plan;
    try {
        WaitCursor busy;
        plan = PlanApplication(*app.services, records, guard, order);
    } catch (...) {
        // Without the plan no undo file can be written: the user decides before anything changes.
        if (order == ApplyOrder::Configuration &&
            app.dialogs->Message(Handle(), texts::kPlanUnreadable + std::wstring(texts::kApplyAnyway),
                                 texts::kWarningTitle, BoxStyle::QuestionYesNo) != IDYES)
            return false;
    }
    if (!plan) {
        AskDiscouragedRecords(records, guard);
    } else if (AskDiscouraged(*plan, guard)) {
        // What the user declined stays as it is: the undo file keeps only what will change.
        try {
            WaitCursor busy;
            plan = PlanApplication(*app.services, records, guard, order);
        } catch (...) {
            plan.reset();
        }
    }
    if (order == ApplyOrder::Configuration && !SaveUndoFirst(plan)) return false;
    ApplyReport report = ApplyWithProgress(records, guard, order);
    std::vector<std::wstring> more;
    if (order == ApplyOrder::Undo) more = FinishUndo(*app.services, undoFile, records, WaitPainting);
    ShowClosingReport(report, records, more);
    Skipping([&] { AfficheServ(); });
    return report.outcome == ApplyReport::Outcome::Done && report.Clean() && more.empty();
}

bool Fen1::TakeMachineLock(MachineLock& lock) {
    if (lock.Take(0)) return true;
    for (;;) {
        if (app.dialogs->Message(Handle(), texts::kLockWaiting, texts::kLockTitle, BoxStyle::QuestionYesNo) != IDYES)
            return false;
        WaitCursor busy;
        constexpr int kAskAgainMs = 30000, kStepMs = 100;
        for (int waited = 0; waited < kAskAgainMs; waited += kStepMs) {
            if (lock.Take(0)) return true;
            WaitPainting(kStepMs);
        }
    }
}

bool Fen1::AskDiscouraged(const Plan& plan, std::vector<ForbiddenEntry>& guard) {
    // The question the window asks before it changes one service marked 0, for each the application
    // would change (a prerequisite it would start included).
    bool declined = false;
    for (const PlanLine& line : plan.lines) {
        if (line.kind != PlanLine::Kind::Discouraged) continue;
        std::wstring reason = ReasonOf(line.name, guard);
        int answer = app.dialogs->Message(Handle(),
                                          texts::kGuardDiscouraged + (texts::kGuardServiceLine + line.name) +
                                              (reason.empty() ? L"" : L"\n" + (texts::kReasonPrefix + reason)),
                                          texts::kGuardTitle, BoxStyle::InformationYesNo);
        if (answer == IDNO) {
            guard.push_back({line.name, Mark::Forbidden});
            declined = true;
        }
    }
    return declined;
}

void Fen1::AskDiscouragedRecords(const std::vector<ConfigRecord>& records, std::vector<ForbiddenEntry>& guard) {
    // Without a plan nobody knows which prerequisites a start would start: a service marked 0 is changed
    // only where the user said yes for it, as a record.
    Plan asked;
    std::set<std::wstring, ServiceNameLess> named;
    for (const ConfigRecord& record : records)
        if (MarkOf(record.Name, guard) == Mark::Discouraged && named.insert(record.Name).second)
            asked.lines.push_back({PlanLine::Kind::Discouraged, record.Name, L""});
    AskDiscouraged(asked, guard);
    std::vector<ForbiddenEntry> unasked;
    for (const ForbiddenEntry& entry : guard)
        if (entry.mark == Mark::Discouraged && !named.count(entry.Name)) unasked.push_back({entry.Name, Mark::Forbidden});
    guard.insert(guard.end(), unasked.begin(), unasked.end());
}

bool Fen1::SaveUndoFirst(const std::optional<Plan>& plan) {
    if (!plan) return true;  // the user chose to go on without
    // What the application will change is kept first, as it is now, so that it can be undone.
    try {
        SaveUndoFor(*plan, var.CheminAppli);
    } catch (const FileError& failure) {
        return app.dialogs->Message(Handle(), texts::kUndoNotSaved + FileFailureReason(failure) + texts::kApplyAnyway,
                                    texts::kWarningTitle, BoxStyle::QuestionYesNo) == IDYES;
    }
    return true;
}

ApplyReport Fen1::ApplyWithProgress(const std::vector<ConfigRecord>& records, const std::vector<ForbiddenEntry>& guard,
                                    ApplyOrder order) {
    WaitCursor busy;
    Fen2& progress = app.windows.Get<Fen2>();
    progress.Open(Handle());
    ApplyReport report;
    try {
        report = ApplyRecords(*app.services, records, guard, progress, order);
    } catch (...) {
        progress.Close();
        throw;
    }
    progress.Close();
    // Only paint messages were handled meanwhile: what the user typed or clicked during the application
    // is dropped rather than acted on now, on a machine that has changed under it.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
    return report;
}

void Fen1::ShowClosingReport(const ApplyReport& report, const std::vector<ConfigRecord>& records,
                             const std::vector<std::wstring>& more) {
    std::vector<std::wstring> lines = report.ClosingLines();
    for (const std::wstring& line : more) lines.push_back(line);
    // The machine read once more: what is not (yet) as the file wants it. The window keeps painting
    // while services still starting or stopping are given time.
    std::optional<int> notYet;
    try {
        WaitCursor busy;
        std::vector<std::wstring> why;
        notYet = NotInWantedState(*app.services, records, 3000, WaitPainting, report.modesSet, &why);
        lines.push_back(texts::kNotYetInWantedState + std::to_wstring(*notYet));
        lines.insert(lines.end(), why.begin(), why.end());
    } catch (...) {
    }
    bool calm = report.outcome == ApplyReport::Outcome::Done && report.Clean() && more.empty();
    // A report too long for a message box (its OK button would leave the screen) gets a window of its
    // own: the outcome in one line, then every line, scrollable, to be copied whole.
    constexpr size_t kLongestBox = 12;
    if (lines.size() > kLongestBox) {
        std::wstring outcome = lines.front() + L" \u2014 " + std::to_wstring(report.callsMade) + texts::kReportCalls +
                               std::to_wstring(report.refused.size()) + texts::kReportRefused +
                               std::to_wstring(report.absent.size()) + texts::kReportAbsent +
                               std::to_wstring(report.forbidden.size()) + texts::kReportForbidden +
                               (notYet ? std::to_wstring(*notYet) : std::wstring(L"?")) + texts::kReportNotYet;
        lines.erase(lines.begin());
        app.windows.Get<PreviewWindow>(app).Show(Handle(), texts::kReportTitle, outcome, lines, nullptr);
        return;
    }
    std::wstring text;
    for (const std::wstring& line : lines) text += (text.empty() ? L"" : L"\n") + line;
    app.dialogs->Message(Handle(), text, texts::kInformationTitle, calm ? BoxStyle::InformationOk : BoxStyle::WarningOk);
}

// ---- Preview, undo, comparison, export for fleet tools ----

std::optional<std::wstring> Fen1::ChosenConfiguration() {
    std::wstring name = CbListeConf.Text();
    if (name.empty()) {
        app.dialogs->Message(Handle(), texts::kNoConfigChosen, texts::kWarningTitle, BoxStyle::WarningOk);
        return std::nullopt;
    }
    if (!CheckConfigName(name)) return std::nullopt;
    if (!FileExists(var.CheminAppli + L"Config\\" + name) || IsPartialFileName(name)) {
        app.dialogs->Message(Handle(), texts::kApplyMissingFile, texts::kFileErrorTitle, BoxStyle::ErrorOk);
        return std::nullopt;
    }
    return name;
}

void Fen1::ShowPreview(const std::wstring& path, const std::wstring& heading, ApplyOrder order) {
    std::optional<std::vector<ForbiddenEntry>> forbidden = ForbiddenListOrTell();
    if (!forbidden) return;
    // What is shown is what "Appliquer" applies: the records read now, with the bytes they came from.
    std::string bytes = ReadFileBytes(path);
    std::vector<ConfigRecord> records = RecordsIn(bytes);
    Plan plan;
    {
        WaitCursor busy;
        CommandScope command(*app.services);
        plan = PlanApplication(*app.services, records, *forbidden, order);
    }
    std::vector<std::wstring> lines;
    for (const PlanLine& line : plan.lines) lines.push_back(line.text);
    if (lines.empty()) lines.push_back(texts::kPreviewNothing);
    app.windows.Get<PreviewWindow>(app).Show(Handle(), texts::kPreviewTitle, heading, lines,
                                             [this, path, bytes, records, order] { ApplyPreviewed(path, bytes, records, order); });
}

void Fen1::OnMnuApercu() {
    std::optional<std::wstring> name = ChosenConfiguration();
    if (!name) return;
    ShowPreview(var.CheminAppli + L"Config\\" + *name, texts::kPreviewHeading + *name, ApplyOrder::Configuration);
}

void Fen1::OnMnuAnnulerAppli() {
    std::optional<std::wstring> latest = LatestUndo(var.CheminAppli);
    if (!latest) {
        app.dialogs->Message(Handle(), texts::kNoUndo, texts::kInformationTitle, BoxStyle::InformationOk);
        return;
    }
    // An undo changes services as an application does: previewed first when the user asks for it,
    // confirmed otherwise.
    if (MenuChecked(IDM_APERCUAUTO)) {
        ShowPreview(*latest, texts::kUndoPreviewHeading + *latest, ApplyOrder::Undo);
        return;
    }
    if (app.dialogs->Message(Handle(), texts::kUndoQuestion, texts::kUndoTitle, BoxStyle::QuestionYesNo) != IDYES) return;
    ApplyFile(*latest, ApplyOrder::Undo);
}

void Fen1::OnMnuComparer() {
    std::optional<std::wstring> name = ChosenConfiguration();
    if (!name) return;
    std::vector<ConfigRecord> records = RecordsToApply(var.CheminAppli + L"Config\\" + *name);
    std::vector<PlanLine> differences;
    {
        WaitCursor busy;
        CommandScope command(*app.services);
        differences = CompareMachine(*app.services, records);
    }
    std::vector<std::wstring> lines;
    for (const PlanLine& line : differences) lines.push_back(line.text);
    if (std::none_of(differences.begin(), differences.end(), IsDifference)) lines.push_back(texts::kCompareNothing);
    app.windows.Get<PreviewWindow>(app).Show(Handle(), texts::kCompareTitle, texts::kCompareHeading + *name, lines, nullptr);
}

void Fen1::OnMnuExportFleet(bool ansible) {
    std::optional<std::wstring> name = ChosenConfiguration();
    if (!name) return;
    std::optional<std::vector<ForbiddenEntry>> forbidden = ForbiddenListOrTell();
    if (!forbidden) return;
    std::vector<ConfigRecord> records = RecordsToApply(var.CheminAppli + L"Config\\" + *name);
    std::wstring base = name->substr(0, name->rfind(L'.'));
    std::string exported;
    {
        WaitCursor busy;
        CommandScope command(*app.services);
        exported = FleetExport(*app.services, records, *forbidden, *name, ansible ? FleetTool::Ansible : FleetTool::PowerShell);
    }
    FileDialogOptions options;
    options.title = ansible ? texts::kExportAnsibleTitle : texts::kExportPowerShellTitle;
    options.initialFolder = var.CheminDocuments;
    options.fileName = var.CheminDocuments + L"\\" + base + (ansible ? L".yml" : L".ps1");
    options.filter = ansible ? texts::kAnsibleFilter : texts::kPowerShellFilter;
    options.defaultExtension = ansible ? L"yml" : L"ps1";
    std::optional<FileChoice> chosen = app.dialogs->SaveFile(Handle(), options);
    if (!chosen || chosen->path.empty()) return;
    try {
        WriteFileReplacing(chosen->path, exported);
    } catch (const std::exception& failure) {
        app.dialogs->Message(Handle(), texts::kConfigNotSaved + FileFailureReason(failure), texts::kFileErrorTitle,
                             BoxStyle::ErrorOk);
        return;
    }
    app.dialogs->Message(Handle(), texts::kExportDone + chosen->path, texts::kInformationTitle, BoxStyle::InformationOk);
}

// ---- Deleting, importing, exporting ----

void Fen1::OnMnuSupConf() {
    std::wstring name = CbListeConf.Text();
    if (name.empty()) return;
    if (!CheckConfigName(name)) return;
    std::wstring path = var.CheminAppli + L"Config\\" + name;
    if (!FileExists(path)) {
        app.dialogs->Message(Handle(), texts::kConfigNotFound, texts::kWarningTitle, BoxStyle::WarningOk);
        return;
    }
    if (app.dialogs->Message(Handle(), texts::kDeleteConfigQuestion, texts::kDeleteConfigTitle,
                             BoxStyle::QuestionYesNo) == IDNO)
        return;
    DeleteFileW(path.c_str());
    ChargeListeConf();
}

std::optional<FileChoice> Fen1::ChooseConfigFile(const wchar_t* title, bool saveDialog) {
    FileDialogOptions options;
    options.title = title;
    options.initialFolder = var.CheminDocuments;
    options.filter = texts::kConfigFilter;
    try {
        return saveDialog ? app.dialogs->SaveFile(Handle(), options) : app.dialogs->OpenFile(Handle(), options);
    } catch (...) {
        return std::nullopt;  // a dialog that cannot be shown is a choice not made
    }
}

void Fen1::OnMnuImportConf() {
    // Every failure ends the import at once, silently, but for a file that is no configuration.
    std::optional<FileChoice> chosen = ChooseConfigFile(texts::kImportTitle, true);
    if (!chosen || chosen->name.empty()) return;
    bool readsAsConfig = false;
    try {
        readsAsConfig = ReadsAsConfig(ReadFileBytes(chosen->path));
    } catch (...) {
        return;
    }
    if (!readsAsConfig) {
        app.dialogs->Message(Handle(), texts::kNotAConfig + chosen->name, texts::kWarningTitle, BoxStyle::WarningOk);
        return;
    }
    if (!CopyFileW(chosen->path.c_str(), (var.CheminAppli + L"Config\\" + chosen->name).c_str(), FALSE)) return;
    ChargeListeConf();
}

void Fen1::OnMnuExportConf() {
    Fen3& export_ = app.windows.Get<Fen3>(app, [this] { Skipping([&] { ChargeListeConf(); }); });
    export_.Open(Handle());
}

// ---- External configuration editor ----

void Fen1::OnMnuExterne() {
    // Cancelling, or a file that cannot be copied, ends the command without a word.
    std::optional<FileChoice> chosen = ChooseConfigFile(texts::kEditorOpenTitle, false);
    if (!chosen || chosen->path.empty()) return;
    var.FichierExterne = chosen->path;
    // The bare name only, so that the working copy stays inside Tmp\ whatever the dialog gave.
    std::wstring title = chosen->name.empty() ? chosen->path : chosen->name;
    size_t slash = title.find_last_of(L"\\/");
    if (slash != std::wstring::npos) title.erase(0, slash + 1);
    if (title.empty() || title == L"." || title == L"..") return;
    var.TitreExterne = title;
    std::wstring workingCopy = var.CheminAppli + L"Tmp\\" + title;
    if (!CopyFileW(var.FichierExterne.c_str(), workingCopy.c_str(), FALSE)) return;
    Fen4& editor = app.windows.Get<Fen4>(app, [this] { Skipping([&] { ChargeListeConf(); }); });
    try {
        // An editor already open reads the newly chosen file.
        editor.Open(Handle(), var.FichierExterne, var.TitreExterne, workingCopy);
    } catch (...) {
        // The working copy could not be read: the editor is not opened.
    }
}

// ---- Selective display ----

void Fen1::ChargeServicesTri(const std::wstring& state, const std::wstring& mode, const std::wstring& kind) {
    CbNomVueTrier.Clear();
    CbNomSys.Clear();
    CbNomVue.Clear();
    int count = 0;
    {
        WaitCursor busy;
        // A filter on the state alone needs no start mode (a query per service).
        std::vector<ServiceEntry> services = app.services->Inventory(kind != L"1");
        count = FillLists(services, [&](const ServiceEntry& s) {
            if (kind == L"1") return s.State && *s.State == state;
            if (kind == L"2") return s.StartMode && *s.StartMode == mode;
            if (kind == L"3") return s.State && s.StartMode && *s.State == state && *s.StartMode == mode;
            return false;
        });
    }
    if (count == 0) {
        app.dialogs->Message(Handle(), texts::kFilterNothing, texts::kFilterTitle, BoxStyle::InformationOk);
        ChargeServices();
        return;
    }
    Skipping([&] { CbNomSys.Select(0); });
}

// ---- Creation mode ----

void Fen1::OnMnuCreerConf() {
    if (CreationMode()) LeaveCreationMode();
    else EnterCreationMode();
}

void Fen1::EnterCreationMode() {
    Skipping([&] { SetMenuChecked(IDM_CREERCONF, true); });
    Skipping([&] { LoadBackground(var.CheminAppli + L"Image\\Create.Jpg"); });
    Skipping([&] {
        for (Label* marker : {&LabStart, &LabStop, &LabAuto, &LabManu, &LabDisa}) marker->SetVisible(true);
    });
    Skipping([&] {
        // Only what was enabled is enabled again on leaving (commands still to come stay greyed).
        disabledByCreationMode_.clear();
        for (const std::wstring& name : CreationModeDisabled()) {
            if (!menus.Enabled(name)) continue;
            menus.Enable(name, false);
            disabledByCreationMode_.push_back(name);
        }
        DrawMenuBar(Handle());
        BtRefreshServ.SetEnabled(false);
    });
    Skipping([&] {
        Command1.SetText(texts::kCommand1Add);
        LabListeConf.SetText(texts::kCreationListCaption);
    });
    Skipping([&] {
        CbListeConf.Clear();
        CbListeConf.SetText(DefaultConfigName(var));
        SetFocus(CbListeConf.Handle());
    });
    var.NouvelleConf = true;
    Repaint();
}

void Fen1::LeaveCreationMode() {
    Skipping([&] { SetMenuChecked(IDM_CREERCONF, false); });
    Skipping([&] {
        for (const std::wstring& name : disabledByCreationMode_) menus.Enable(name, true);
        disabledByCreationMode_.clear();
        DrawMenuBar(Handle());
        BtRefreshServ.SetEnabled(true);
    });
    Skipping([&] {
        Command1.SetText(texts::kCommand1Apply);
        LabListeConf.SetText(texts::kConfigListCaption);
        CbListeConf.SetText(L"");
    });
    Skipping([&] {
        for (Label* marker : {&LabStart, &LabStop, &LabAuto, &LabManu, &LabDisa}) marker->SetVisible(false);
        LoadBackground(var.CheminAppli + L"Image\\Start.Jpg");
    });
    var.EtatChoisi.clear();
    var.ModeChoisi.clear();
    Skipping([&] { AfficheServ(); });
    Skipping([&] { ChargeListeConf(); });
    Repaint();
}

void Fen1::AddToConfiguration() {
    std::wstring name = CbListeConf.Text();
    std::wstring systemName = CbNomSys.SelectedText();
    std::wstring displayName = CbNomVue.SelectedText();
    if (systemName.empty() || var.EtatChoisi.empty() || var.ModeChoisi.empty() || name.empty()) {
        app.dialogs->Message(Handle(), texts::kCreationMissing, texts::kCreationMissingTitle, BoxStyle::WarningOk);
        return;
    }
    if (!CheckConfigName(name)) return;
    std::wstring file = var.CheminAppli + L"Config\\" + name + L".cfg";
    ConfigRecord record{systemName, var.EtatChoisi, var.ModeChoisi, displayName};
    try {
        if (var.NouvelleConf) {
            // The first addition starts the file afresh: written whole beside an older one, then replacing it.
            WriteConfigFile(file, {record}, *app.files);
            var.NouvelleConf = false;
        } else {
            AppendConfigRecord(file, record);
        }
    } catch (const std::exception& e) {
        ShowFileFailure(e);
        return;
    }
    COLORREF unchosen = GetSysColor(COLOR_ACTIVEBORDER);
    for (Label* marker : {&LabStart, &LabStop, &LabAuto, &LabManu, &LabDisa}) SetMarkerColour(*marker, unchosen);
    var.EtatChoisi.clear();
    var.ModeChoisi.clear();
    int position = CbNomSys.Selected();
    Skipping([&] {
        CbNomSys.Remove(position);
        CbNomVue.Remove(position);
    });
    Skipping([&] { RichTextBox1.SetPlainText(L""); });
    Skipping([&] { CbNomSys.Select(position); });
}

}  // namespace kestrane
