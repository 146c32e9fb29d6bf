// The main window's configuration commands: saving, applying with the progress window, deleting,
// importing and exporting, selective display and creation mode.
#include "windows/resource.h"
#include "profile/Apply.h"
#include "profile/ConfigFiles.h"
#include "windows/progress/Fen2.h"
#include "windows/export/Fen3.h"
#include "windows/preview/PreviewWindow.h"
#include "windows/services/ServicesWindow.h"
#include "profile/Export.h"
#include "profile/Origin.h"
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
    // A configuration of that name is kept where the user finds it again before it is replaced.
    std::optional<std::wstring> kept;
    try {
        kept = KeepReplaced(var.CheminAppli + L"Config\\" + var.NomConfig, var.CheminAppli);
    } catch (const FileError& e) {
        ShowFileFailure(e);
        return;
    }
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
    lock.Release();
    Skipping([&] { ChargeListeConf(); });
    std::wstring done = texts::kSaveDone;
    if (kept) done += L"\n" + KeptLine(*kept);
    for (const std::wstring& line : WrittenLines(lastSave_)) done += L"\n" + line;
    app.dialogs->Message(Handle(), done, texts::kInformationTitle, BoxStyle::InformationOk);
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
        app.dialogs->Message(Handle(), GuardListProblem(problem),
                             texts::kGuardMissingTitle, BoxStyle::ErrorOk);
    return forbidden;
}

bool Fen1::ApplyFile(const std::wstring& path, ApplyOrder order) {
    // The guard's list is read before anything is changed: without it nothing may be applied.
    std::optional<std::vector<ForbiddenEntry>> forbidden = ForbiddenListOrTell();
    if (!forbidden) return false;
    std::optional<std::vector<ConfigRecord>> records;
    std::vector<std::wstring> unknown;
    if (!FileExists(path) || IsPartialFileName(path)) {
        app.dialogs->Message(Handle(), texts::kApplyMissingFile, texts::kFileErrorTitle, BoxStyle::ErrorOk);
    } else {
        records = ReadRecordsOrTell(path, &unknown);
        if (records && records->empty())
            app.dialogs->Message(Handle(), texts::kApplyEmptyFile, texts::kApplyEmptyTitle, BoxStyle::ErrorOk);
    }
    if (!records || records->empty()) {
        Skipping([&] { AfficheServ(); });
        return false;
    }
    return ApplyRecordsFromWindow(*records, *forbidden, order, UndoFileOf(path, order), unknown, path);
}

std::wstring Fen1::UndoFileOf(const std::wstring& path, ApplyOrder order) const {
    return order == ApplyOrder::Undo && path != OriginFile(var.CheminAppli) ? path : L"";
}

bool Fen1::OriginBeforeChange(bool lockHeld) {
    if (HasOrigin(var.CheminAppli)) return true;
    // Taken with the lock when it is free; a single order does not wait for another application (a save,
    // say), and the original state is taken all the same before it: its file is written whole or not at all.
    MachineLock lock;
    if (!lockHeld) lock.Take(0);
    std::optional<OriginTaken> taken;
    try {
        WaitCursor busy;
        taken = TakeOriginIfMissing(*app.services, var.CheminAppli, *app.files);
    } catch (const std::exception& failure) {
        return app.dialogs->Message(Handle(), texts::kOriginNotTaken + FileFailureReason(failure) + texts::kOriginChangeAnyway,
                                    texts::kOriginTitle, BoxStyle::QuestionYesNo) == IDYES;
    }
    if (taken) {
        std::wstring text;
        for (const std::wstring& line : OriginTakenLines(*taken)) text += (text.empty() ? L"" : L"\n") + line;
        app.dialogs->Message(Handle(), text, texts::kOriginTitle, BoxStyle::InformationOk);
    }
    return true;
}

std::optional<std::vector<ConfigRecord>> Fen1::ReadRecordsOrTell(const std::wstring& path, std::vector<std::wstring>* unknown,
                                                                 std::string* bytes) {
    try {
        std::string read = ReadFileBytes(path);
        std::vector<ConfigRecord> records = RecordsIn(read, unknown);
        if (bytes) *bytes = std::move(read);
        return records;
    } catch (const std::exception& failure) {
        // A line that is no whole record names itself: nothing of the file is used.
        app.dialogs->Message(Handle(), texts::kConfigUnreadable + path + L"\n" + FileFailureReason(failure),
                             texts::kFileErrorTitle, BoxStyle::ErrorOk);
        return std::nullopt;
    }
}

void Fen1::ApplyPreviewed(const std::wstring& path, const std::string& bytesShown, const std::vector<ConfigRecord>& records,
                          ApplyOrder order, const std::vector<std::wstring>& unknown) {
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
    ApplyRecordsFromWindow(records, *forbidden, order, UndoFileOf(path, order), unknown, path);
}

bool Fen1::ApplyRecordsFromWindow(const std::vector<ConfigRecord>& records, std::vector<ForbiddenEntry> guard,
                                  ApplyOrder order, const std::wstring& undoFile, const std::vector<std::wstring>& unknown,
                                  const std::wstring& source) {
    // What the table asked to be done after its application belongs to that file only.
    std::optional<AfterApplication> after;
    if (afterApplication_ && !source.empty() && afterApplication_->source == source) after = std::move(afterApplication_);
    afterApplication_.reset();
    MachineLock lock;
    if (!TakeMachineLock(lock)) return false;
    if (!OriginBeforeChange(true)) return false;
    // Another undo may have ended this file while this one waited, or another application written a newer one.
    bool undoing = !undoFile.empty();
    if (undoing && (!FileExists(undoFile) || LatestUndo(var.CheminAppli) != undoFile)) {
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
        if (!undoing &&
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
    // A configuration and the way back to the original state can both be undone.
    if (!undoing && !SaveUndoFirst(plan)) return false;
    ApplyReport report = ApplyWithProgress(records, guard, order);
    // The values that mean nothing are told first: applied as the format says (no effect), they are errors.
    std::vector<std::wstring> more = unknown;
    // The delays are set once the application has run its course.
    if (after && report.outcome == ApplyReport::Outcome::Done) {
        std::vector<std::wstring> lines = after->run(records, guard);
        more.insert(more.end(), lines.begin(), lines.end());
    }
    if (undoing) {
        std::vector<std::wstring> ended = FinishUndo(*app.services, undoFile, records, WaitPainting);
        more.insert(more.end(), ended.begin(), ended.end());
    }
    // The machine is left to others while the user reads the report: the closing check reads it again.
    lock.Release();
    ShowClosingReport(report, records, more);
    Skipping([&] { AfficheServ(); });
    // The table of every service shows the states the application left.
    if (ServicesWindow* table = app.windows.Find<ServicesWindow>(); table && table->IsOpen()) Skipping([&] { table->Refresh(); });
    return report.outcome == ApplyReport::Outcome::Done && report.Clean() && more.empty();
}

void Fen1::AddRecord(const std::wstring& file, const ConfigRecord& record) {
    try {
        AppendConfigRecord(file, record);
        return;
    } catch (const FileError&) {
        throw;
    } catch (const UserError&) {
        // A character the file's code page lacks: the whole file is written again, in UTF-8 with its mark,
        // rather than a '?' standing for it.
    }
    ParsedConfig parsed = ReadParsedConfigFile(file);
    parsed.records.push_back(record);
    WrittenConfig written = WriteConfigFile(file, parsed.records, *app.files, std::nullopt, parsed.crlf);
    if (!written.refused.empty()) throw UserError(WrittenLines(written).back());
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
        // A start that failed or a service still pending is an error, never told under a plain "done".
        if (!why.empty() && lines.front() == texts::kApplyDone) lines.front() = texts::kApplyDoneWithErrors;
    } catch (...) {
    }
    bool calm = report.outcome == ApplyReport::Outcome::Done && report.Clean() && more.empty() &&
                lines.front() != texts::kApplyDoneWithErrors;
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

void Fen1::ShowPreview(const std::wstring& path, const std::wstring& heading, ApplyOrder order,
                       const std::vector<std::wstring>& more) {
    std::optional<std::vector<ForbiddenEntry>> forbidden = ForbiddenListOrTell();
    if (!forbidden) return;
    // What is shown is what "Appliquer" applies: the records read now, with the bytes they came from.
    std::string bytes;
    std::vector<std::wstring> unknown;
    std::optional<std::vector<ConfigRecord>> read = ReadRecordsOrTell(path, &unknown, &bytes);
    if (!read) return;
    std::vector<ConfigRecord> records = std::move(*read);
    Plan plan;
    {
        WaitCursor busy;
        CommandScope command(*app.services);
        plan = PlanApplication(*app.services, records, *forbidden, order);
    }
    std::vector<std::wstring> lines = unknown;
    for (const PlanLine& line : plan.lines) lines.push_back(line.text);
    lines.insert(lines.end(), more.begin(), more.end());
    if (lines.empty()) lines.push_back(texts::kPreviewNothing);
    app.windows.Get<PreviewWindow>(app).Show(Handle(), texts::kPreviewTitle, heading, lines, [this, path, bytes, records, order, unknown] {
        ApplyPreviewed(path, bytes, records, order, unknown);
    });
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
    CompareWith(var.CheminAppli + L"Config\\" + *name, texts::kCompareHeading + *name);
}

void Fen1::OnMnuComparerOrigine() {
    if (!OriginBeforeChange(false)) return;
    std::wstring origin = OriginFile(var.CheminAppli);
    if (!FileExists(origin)) {
        app.dialogs->Message(Handle(), texts::kOriginMissing + origin, texts::kOriginTitle, BoxStyle::WarningOk);
        return;
    }
    CompareWith(origin, texts::kOriginCompareHeading + origin);
}

void Fen1::OnMnuRevenirOrigine() {
    if (!OriginBeforeChange(false)) return;
    std::wstring origin = OriginFile(var.CheminAppli);
    if (!FileExists(origin)) {
        app.dialogs->Message(Handle(), texts::kOriginMissing + origin, texts::kOriginTitle, BoxStyle::WarningOk);
        return;
    }
    // Going back may change every service of the machine: what it would change is always shown first, and
    // its "Appliquer" goes back as an undo does (with an undo file of its own).
    ShowPreview(origin, texts::kOriginPreviewHeading + origin, ApplyOrder::Undo);
}

void Fen1::OnMnuPrendreOrigine() {
    if (app.dialogs->Message(Handle(), texts::kOriginReplaceQuestion, texts::kOriginTitle, BoxStyle::QuestionYesNo) != IDYES) return;
    if (app.dialogs->Message(Handle(), texts::kOriginReplaceConfirm, texts::kOriginTitle, BoxStyle::WarningYesNo) != IDYES) return;
    MachineLock lock;
    if (!TakeMachineLock(lock)) return;
    std::optional<std::wstring> kept;
    OriginTaken taken;
    try {
        WaitCursor busy;
        taken = ReplaceOrigin(*app.services, var.CheminAppli, kept, *app.files);
    } catch (const std::exception& failure) {
        ShowFileFailure(failure);
        return;
    }
    lock.Release();
    std::wstring done = texts::kOriginReplaced + taken.file;
    if (kept) done += L"\n" + KeptLine(*kept);
    for (const std::wstring& line : WrittenLines(taken.written)) done += L"\n" + line;
    app.dialogs->Message(Handle(), done, texts::kOriginTitle, BoxStyle::InformationOk);
}

void Fen1::CompareWith(const std::wstring& path, const std::wstring& heading) {
    std::vector<std::wstring> unknown;
    std::optional<std::vector<ConfigRecord>> read = ReadRecordsOrTell(path, &unknown);
    if (!read) return;
    const std::vector<ConfigRecord>& records = *read;
    std::vector<PlanLine> differences;
    {
        WaitCursor busy;
        CommandScope command(*app.services);
        differences = CompareMachine(*app.services, records);
    }
    std::vector<std::wstring> lines = unknown;
    for (const PlanLine& line : differences) lines.push_back(line.text);
    if (unknown.empty() && std::none_of(differences.begin(), differences.end(), IsDifference))
        lines.push_back(texts::kCompareNothing);
    app.windows.Get<PreviewWindow>(app).Show(Handle(), texts::kCompareTitle, heading, lines, nullptr);
}

void Fen1::OnMnuExportFleet(FleetTool tool) {
    std::optional<std::wstring> name = ChosenConfiguration();
    if (!name) return;
    std::optional<std::vector<ForbiddenEntry>> forbidden = ForbiddenListOrTell();
    if (!forbidden) return;
    std::optional<std::vector<ConfigRecord>> read = ReadRecordsOrTell(var.CheminAppli + L"Config\\" + *name);
    if (!read) return;
    const std::vector<ConfigRecord>& records = *read;
    std::wstring base = name->substr(0, name->rfind(L'.'));
    FleetFile exported;
    {
        WaitCursor busy;
        CommandScope command(*app.services);
        exported = FleetExport(*app.services, records, *forbidden, *name, tool);
    }
    struct Kind {
        const wchar_t *title, *extension, *filter;
    };
    const Kind kind = tool == FleetTool::Ansible      ? Kind{texts::kExportAnsibleTitle, L"yml", texts::kAnsibleFilter}
                      : tool == FleetTool::PowerShell ? Kind{texts::kExportPowerShellTitle, L"ps1", texts::kPowerShellFilter}
                                                      : Kind{texts::kExportGpoTitle, L"inf", texts::kGpoFilter};
    FileDialogOptions options;
    options.title = kind.title;
    options.initialFolder = var.CheminDocuments;
    options.fileName = var.CheminDocuments + L"\\" + base + L"." + kind.extension;
    options.filter = kind.filter;
    options.defaultExtension = kind.extension;
    std::optional<FileChoice> chosen = app.dialogs->SaveFile(Handle(), options);
    if (!chosen || chosen->path.empty()) return;
    try {
        WriteFileReplacing(chosen->path, exported.bytes);
    } catch (const std::exception& failure) {
        app.dialogs->Message(Handle(), texts::kConfigNotSaved + FileFailureReason(failure), texts::kFileErrorTitle,
                             BoxStyle::ErrorOk);
        return;
    }
    if (exported.leftOut.empty()) {
        app.dialogs->Message(Handle(), texts::kExportDone + chosen->path, texts::kInformationTitle, BoxStyle::InformationOk);
        return;
    }
    // What the file cannot carry is told here, whole (it may name many services): the file holds none of it.
    app.windows.Get<PreviewWindow>(app).Show(Handle(), kind.title, texts::kExportDone + chosen->path + L" \u2014 " + texts::kExportLeftOut,
                                             exported.leftOut, nullptr);
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
    // Kept where the user finds it again (the Recycle Bin, or Config\Remplacées\), then removed.
    std::optional<std::wstring> kept;
    try {
        kept = KeepReplaced(path, var.CheminAppli);
    } catch (const FileError& e) {
        ShowFileFailure(e);
        return;
    }
    DeleteFileW(path.c_str());
    ChargeListeConf();
    if (kept && !kept->empty())
        app.dialogs->Message(Handle(), texts::kDeletedKept + *kept, texts::kInformationTitle, BoxStyle::InformationOk);
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
    std::wstring destination = var.CheminAppli + L"Config\\" + chosen->name;
    try {
        KeepReplaced(destination, var.CheminAppli);  // a configuration of that name is not lost
    } catch (...) {
        return;
    }
    if (!CopyFileW(chosen->path.c_str(), destination.c_str(), FALSE)) return;
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
        // An editor already open reads the newly chosen file; tens of thousands of records take a moment.
        WaitCursor busy;
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
    if (ServicesWindow* table = app.windows.Find<ServicesWindow>()) table->CreationModeChanged();
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
    if (ServicesWindow* table = app.windows.Find<ServicesWindow>()) table->CreationModeChanged();
}

void Fen1::AddToConfiguration() {
    std::wstring name = CbListeConf.Text();
    std::wstring systemName = CbNomSys.SelectedText();
    std::wstring displayName = CbNomVue.SelectedText();
    if (systemName.empty() || var.EtatChoisi.empty() || var.ModeChoisi.empty() || name.empty()) {
        app.dialogs->Message(Handle(), texts::kCreationMissing, texts::kCreationMissingTitle, BoxStyle::WarningOk);
        return;
    }
    if (!AddRecordsToConfiguration({{systemName, var.EtatChoisi, var.ModeChoisi, displayName}})) return;
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

// ---- The table of every service ----

void Fen1::OnMnuTousServices() {
    ServicesWindow& table = app.windows.Get<ServicesWindow>(app, *this);
    table.Open();
}

void Fen1::ApplyFromTable(const std::vector<ConfigRecord>& records, const std::wstring& action, std::optional<bool> delayed) {
    if (records.empty()) return;
    // The selection is a configuration like any other, in the program's working folder: what the preview
    // shows is what "Appliquer" applies, and a change of it meanwhile is caught as for any file.
    std::wstring folder = var.CheminAppli + L"Tmp\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring path = folder + L"selection.cfg";
    try {
        WrittenConfig written = WriteConfigFile(path, records, *app.files);
        if (!written.refused.empty()) throw UserError(WrittenLines(written).back());
    } catch (const std::exception& failure) {
        ShowFileFailure(failure);
        return;
    }
    afterApplication_.reset();
    if (delayed) {
        const bool wanted = *delayed;
        afterApplication_ = AfterApplication{path, [this, wanted](const std::vector<ConfigRecord>& applied,
                                                                  const std::vector<ForbiddenEntry>& guard) {
            // The delay is no value of a configuration: set once the start mode is, on each service left
            // automatic that the guard let be changed.
            std::vector<std::wstring> lines, names;
            for (const ConfigRecord& record : applied)
                if (MarkOf(record.Name, guard) != Mark::Forbidden) names.push_back(record.Name);
            std::vector<Text> modes;
            try {
                modes = app.services->StartModes(names);
            } catch (const ServiceError&) {
                modes.assign(names.size(), std::nullopt);
            }
            std::vector<bool> now = app.services->DelayedAutoStarts(names);
            for (size_t i = 0; i < names.size(); ++i) {
                if (modes[i] != std::optional<std::wstring>(L"Auto") || (i < now.size() && now[i] == wanted)) continue;
                int code = app.services->SetDelayedAutoStart(names[i], wanted);
                if (code == ReturnCode::Success) continue;
                const wchar_t* why = code == ReturnCode::StatusInvalidParameter ? texts::kDelayedRefused : ControlMessage(code);
                lines.push_back(names[i] + L" : " + (why ? why : std::to_wstring(code)));
            }
            return lines;
        }};
    }
    std::wstring heading = texts::kTableApplyHeading + action + L" \u2014 " + std::to_wstring(records.size()) + texts::kTableServices;
    // The delay is no value of the file: the preview says where it would change.
    std::vector<std::wstring> delays;
    if (delayed) {
        std::vector<std::wstring> names;
        for (const ConfigRecord& record : records) names.push_back(record.Name);
        try {
            WaitCursor busy;
            std::vector<bool> now = app.services->DelayedAutoStarts(names);
            for (size_t i = 0; i < names.size() && i < now.size(); ++i)
                if (now[i] != *delayed)
                    delays.push_back(names[i] + (*delayed ? texts::kTableDelayOn : texts::kTableDelayOff));
        } catch (const ServiceError&) {
        }
    }
    if (records.size() > 1 || MenuChecked(IDM_APERCUAUTO)) ShowPreview(path, heading, ApplyOrder::Configuration, delays);
    else ApplyFile(path, ApplyOrder::Configuration);
}

void Fen1::SelectService(const std::wstring& name) {
    int position = CbNomSys.FindExact(name);
    if (position < 0) {
        // A selective display hides it: the lists are filled whole again.
        Skipping([&] { ChargeServices(); });
        position = CbNomSys.FindExact(name);
    }
    if (position >= 0) CbNomSys.Select(position);
    if (IsIconic(Handle())) ShowWindow(Handle(), SW_RESTORE);
    // Above the table, which is a window of its own, and active.
    SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(Handle());
}

bool Fen1::AddRecordsToConfiguration(const std::vector<ConfigRecord>& records) {
    std::wstring name = CbListeConf.Text();
    if (records.empty() || name.empty()) {
        app.dialogs->Message(Handle(), texts::kCreationMissing, texts::kCreationMissingTitle, BoxStyle::WarningOk);
        return false;
    }
    if (!CheckConfigName(name)) return false;
    std::wstring file = var.CheminAppli + L"Config\\" + name + L".cfg";
    try {
        size_t first = 0;
        if (var.NouvelleConf) {
            // The first addition starts the file afresh: written whole beside an older one, then replacing it;
            // the older one is kept where the user finds it again.
            KeepReplaced(file, var.CheminAppli);
            WrittenConfig written = WriteConfigFile(file, {records.front()}, *app.files);
            if (!written.refused.empty()) throw UserError(WrittenLines(written).back());
            var.NouvelleConf = false;
            first = 1;
        }
        for (size_t i = first; i < records.size(); ++i) AddRecord(file, records[i]);
    } catch (const std::exception& e) {
        ShowFileFailure(e);
        return false;
    }
    return true;
}

}  // namespace kestrane
