#include "commandline/Unattended.h"

#include "profile/Apply.h"
#include "profile/ConfigFiles.h"
#include "profile/Export.h"
#include "profile/MachineLock.h"
#include "profile/Origin.h"
#include "profile/Plan.h"
#include "base/CodePage.h"
#include "base/FailureText.h"
#include "base/TextFile.h"
#include "profile/Undo.h"
#include "profile/ProgramFolders.h"
#include "service/Programme.h"
#include "service/ScmServiceManager.h"
#include "base/Texts.h"

#include <algorithm>
#include <cwctype>
#include <memory>
#include <optional>

namespace kestrane {

namespace {

constexpr const wchar_t* kUsage =
    L"usage : Kestrane.exe /appliquer FICHIER.cfg | /comparer FICHIER.cfg | /comparer /origine | /origine "
    L"| /sauvegarder FICHIER.cfg | /annuler | /exporter:ansible FICHIER.cfg SORTIE.yml "
    L"| /exporter:powershell FICHIER.cfg SORTIE.ps1 | /exporter:gpo FICHIER.cfg SORTIE.inf [/forcer] [/journal:FICHIER] "
    L"[/attente:SECONDES]";

std::wstring Lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

struct Command {
    std::wstring verb;  // "/appliquer", ...
    std::wstring file;
    std::wstring output;  // /exporter: the file written
    bool origin = false;  // /comparer /origine: the machine's original state is the file
    bool force = false;
    std::wstring journal;
    // How long an application, an undo or a save waits for another one to end before giving up.
    unsigned long waitSeconds = 600;
};

// The verbs, with the files each takes after it and what a missing one is told.
struct Verb {
    const wchar_t* name;
    int files;
    const wchar_t* missing;
};
constexpr Verb kVerbs[] = {
    {L"/appliquer", 1, L" demande un fichier de configuration"},
    {L"/comparer", 1, L" demande un fichier de configuration"},
    {L"/sauvegarder", 1, L" demande un fichier de configuration"},
    {L"/annuler", 0, L""},
    {L"/origine", 0, L""},
    {L"/exporter:ansible", 2, L" demande un fichier de configuration et le fichier à écrire"},
    {L"/exporter:powershell", 2, L" demande un fichier de configuration et le fichier à écrire"},
    {L"/exporter:gpo", 2, L" demande un fichier de configuration et le fichier à écrire"},
};

// Takes the verb at `i` and the files that follow it into `command`; the reason when it cannot.
std::optional<std::wstring> TakeVerb(const Verb& verb, const std::vector<std::wstring>& arguments, size_t& i,
                                     Command& command) {
    if (!command.verb.empty()) return L"une seule commande à la fois : " + command.verb + L" et " + verb.name;
    command.verb = verb.name;
    // The one file named by a word: /comparer /origine compares with the machine's original state.
    if (command.verb == L"/comparer" && i + 1 < arguments.size() && Lower(arguments[i + 1]) == L"/origine") {
        command.origin = true;
        ++i;
        return std::nullopt;
    }
    for (int k = 1; k <= verb.files; ++k) {
        bool given = i + k < arguments.size() && !arguments[i + k].empty() && arguments[i + k][0] != L'/';
        if (!given) return std::wstring(verb.name) + verb.missing;
    }
    if (verb.files >= 1) command.file = arguments[++i];
    if (verb.files >= 2) command.output = arguments[++i];
    return std::nullopt;
}

// The command, or the reason it is not one.
std::optional<Command> Parse(const std::vector<std::wstring>& arguments, std::wstring& error) {
    Command command;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::wstring argument = arguments[i];
        std::wstring lower = Lower(argument);
        const Verb* verb = nullptr;
        for (const Verb& known : kVerbs)
            if (lower == known.name) verb = &known;
        std::optional<std::wstring> problem;
        if (lower == L"/forcer") command.force = true;
        else if (lower.rfind(L"/attente:", 0) == 0) {
            std::wstring seconds = argument.substr(9);
            bool digits = !seconds.empty() && seconds.size() <= 6 &&
                          std::all_of(seconds.begin(), seconds.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
            if (digits) command.waitSeconds = std::wcstoul(seconds.c_str(), nullptr, 10);
            else problem = L"/attente: demande un nombre de secondes";
        } else if (lower.rfind(L"/journal:", 0) == 0) {
            command.journal = argument.substr(9);
            if (command.journal.empty()) problem = L"/journal: sans nom de fichier";
        } else if (verb) problem = TakeVerb(*verb, arguments, i, command);
        else problem = L"argument inconnu : " + argument;
        if (problem) {
            error = *problem;
            return std::nullopt;
        }
    }
    if (command.verb.empty()) {
        error = L"aucune commande";
        return std::nullopt;
    }
    return command;
}

bool HasFolder(const std::wstring& name) { return name.find_first_of(L"\\/:") != std::wstring::npos; }

std::wstring FullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 4];
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(buffer)), buffer, nullptr);
    return length && length < std::size(buffer) ? std::wstring(buffer, length) : path;
}

// A file to read: as given when it exists there (a path, or a name in the current folder), else a bare
// name of the configuration folder, as the file of that name or the one a save of that name writes.
std::wstring FileToRead(const Variables& var, const std::wstring& name) {
    if (FileExists(name) || HasFolder(name)) return FullPath(name);
    std::wstring asGiven = var.CheminAppli + L"Config\\" + name;
    return FileExists(asGiven) ? asGiven : ConfigFileFor(var.CheminAppli, name);
}

// A file to write: a path as given, a bare name into the configuration folder, where the window lists
// it; nothing for a name no file of that folder can have.
std::optional<std::wstring> FileToWrite(const Variables& var, const std::wstring& name) {
    if (HasFolder(name)) return FullPath(name);
    std::wstring file = ConfigFileFor(var.CheminAppli, name);
    std::wstring bare = file.substr(file.find_last_of(L'\\') + 1);
    if (!IsValidConfigName(bare.substr(0, bare.size() - 4))) return std::nullopt;
    return file;
}

class NoProgress : public ApplyProgress {
public:
    void SetMaximum(int) override {}
    void SetValue(int) override {}
};

struct Runner {
    Variables& var;
    ServiceManager& services;
    const std::function<void(const std::wstring&)>& report;

    std::wstring guardProblem;  // why the forbidden list could not be read, when it says
    std::wstring NoGuard() const {
        return guardProblem.empty() ? std::wstring(texts::kUnattendedNoGuard) : texts::kUnattendedFaultyGuard + (L" : " + guardProblem);
    }

    // The states and start modes of the file last read that mean nothing, each with its line.
    std::vector<std::wstring> unknown;

    int Fail(int code, const std::wstring& message) {
        report(message);
        return code;
    }

    // The forbidden list for unattended use: marked 0 is refused as marked 1 unless forced.
    std::optional<std::vector<ForbiddenEntry>> Guard(bool force) {
        std::optional<std::vector<ForbiddenEntry>> entries = ReadForbiddenList(var.CheminAppli, &guardProblem);
        if (!entries) return std::nullopt;
        if (!force)
            for (ForbiddenEntry& entry : *entries)
                if (entry.mark == Mark::Discouraged) entry.mark = Mark::Forbidden;
        return entries;
    }

    std::optional<std::vector<ConfigRecord>> Records(const std::wstring& path, int& code) {
        try {
            if (!FileExists(path) || IsPartialFileName(path)) {
                code = Fail(ExitCode::BadUse, texts::kUnattendedMissing + path);
                return std::nullopt;
            }
            std::vector<ConfigRecord> records = RecordsToApply(path, &unknown);
            if (records.empty()) {
                code = Fail(ExitCode::BadUse, texts::kUnattendedNotAConfig + path);
                return std::nullopt;
            }
            return records;
        } catch (const std::exception& failure) {
            code = Fail(ExitCode::BadUse, texts::kUnattendedUnreadable + FileFailureReason(failure));
            return std::nullopt;
        }
    }

    // The application of `records` and its report. Gives the exit code; `asWanted` tells whether the
    // machine is now as they want it.
    int Apply(const std::vector<ConfigRecord>& records, const std::vector<ForbiddenEntry>& forbidden, ApplyOrder order,
              bool& asWanted) {
        NoProgress progress;
        ApplyReport result = ApplyRecords(services, records, forbidden, progress, order);
        int notYet = 0;
        bool counted = false;
        std::vector<std::wstring> why;
        try {
            notYet = NotInWantedState(services, records, 3000, {}, result.modesSet, &why);
            counted = true;
        } catch (...) {
        }
        std::vector<std::wstring> closing = result.ClosingLines();
        // A start that failed or a service still pending is an error, never told under a plain "done".
        if (!why.empty() && closing.front() == texts::kApplyDone) closing.front() = texts::kApplyDoneWithErrors;
        for (const std::wstring& line : closing) report(line);
        if (counted) report(texts::kNotYetInWantedState + std::to_wstring(notYet));
        for (const std::wstring& line : why) report(line);
        // A service the forbidden list keeps from being changed is an error only when it is not as the
        // file wants it (counted just above): a profile saved from a machine names them all.
        for (const std::wstring& line : unknown) report(line);
        asWanted = result.outcome == ApplyReport::Outcome::Done && result.refused.empty() && counted && notYet == 0;
        return asWanted && result.absent.empty() && unknown.empty() ? ExitCode::Done : ExitCode::Refused;
    }

    // The machine's original state, taken before the first change Kestrane makes on it. A verb that
    // changes services calls it holding the lock, and changes nothing without it; the others take it when
    // nobody else is changing the machine.
    bool Origin(bool changing) {
        // The usual case, every run but the first: one look at the file, no lock.
        if (HasOrigin(var.CheminAppli)) return true;
        MachineLock lock;
        if (!changing && !lock.Take(0)) return true;
        try {
            if (std::optional<OriginTaken> taken = TakeOriginIfMissing(services, var.CheminAppli))
                for (const std::wstring& line : OriginTakenLines(*taken)) report(line);
            return true;
        } catch (const std::exception& failure) {
            report(texts::kOriginNotTaken + FileFailureReason(failure));
            return !changing;
        }
    }

    int Appliquer(const Command& command) { return ApplyFileAt(command, FileToRead(var, command.file), ApplyOrder::Configuration); }

    // Going back to the original state is applied as an undo applies its file, and has its own undo file.
    int Origine(const Command& command) { return ApplyFileAt(command, OriginFile(var.CheminAppli), ApplyOrder::Undo); }

    int ApplyFileAt(const Command& command, const std::wstring& path, ApplyOrder order) {
        std::optional<std::vector<ForbiddenEntry>> forbidden = Guard(command.force);
        if (!forbidden) return Fail(ExitCode::BadUse, NoGuard());
        // A configuration that cannot be read is told at once; the original state is read once it is taken.
        int code = ExitCode::Done;
        std::optional<std::vector<ConfigRecord>> records;
        if (order == ApplyOrder::Configuration && !(records = Records(path, code))) return code;
        MachineLock lock;
        if (!lock.Take(command.waitSeconds * 1000)) return Fail(ExitCode::BadUse, texts::kLockTimeout);
        if (!Origin(true)) return ExitCode::BadUse;
        if (!records && !(records = Records(path, code))) return code;
        CommandScope scope(services);
        std::optional<Plan> plan;
        try {
            plan = PlanApplication(services, *records, *forbidden, order);
        } catch (...) {
            // Without the plan no undo file can be written: an unattended run cannot ask.
            if (!command.force) return Fail(ExitCode::Refused, texts::kPlanUnreadable + std::wstring(texts::kPlanUnreadableForce));
            report(texts::kPlanUnreadable);
        }
        try {
            if (plan)
                if (std::optional<std::wstring> saved = SaveUndoFor(*plan, var.CheminAppli)) report(texts::kUnattendedUndoSaved + *saved);
        } catch (const FileError& failure) {
            // Without a way back nothing is changed.
            return Fail(ExitCode::BadUse, texts::kUndoNotSaved + FileFailureReason(failure));
        }
        report((order == ApplyOrder::Undo ? texts::kUnattendedOrigin : texts::kUnattendedApplying) + path);
        bool asWanted = false;
        return Apply(*records, *forbidden, order, asWanted);
    }

    int Annuler(const Command& command) {
        std::optional<std::vector<ForbiddenEntry>> forbidden = Guard(command.force);
        if (!forbidden) return Fail(ExitCode::BadUse, NoGuard());
        std::optional<std::wstring> latest = LatestUndo(var.CheminAppli);
        if (!latest) return Fail(ExitCode::Done, texts::kNoUndo);
        int code = ExitCode::Done;
        std::optional<std::vector<ConfigRecord>> records = Records(*latest, code);
        if (!records) return code;
        MachineLock lock;
        if (!lock.Take(command.waitSeconds * 1000)) return Fail(ExitCode::BadUse, texts::kLockTimeout);
        if (!Origin(true)) return ExitCode::BadUse;
        // Another undo may have ended this file while this one waited, or another application written a newer one.
        if (!FileExists(*latest) || LatestUndo(var.CheminAppli) != latest) return Fail(ExitCode::Refused, texts::kUndoGone + *latest);
        CommandScope scope(services);
        report(texts::kUnattendedUndoing + *latest);
        bool asWanted = false;
        code = Apply(*records, *forbidden, ApplyOrder::Undo, asWanted);
        // The file ends here whatever happened: removed once undone, retired with what could not be
        // restored otherwise, never replayed again.
        std::vector<std::wstring> notRestored = FinishUndo(services, *latest, *records);
        for (const std::wstring& line : notRestored) report(line);
        return notRestored.empty() && code == ExitCode::Done ? ExitCode::Done : ExitCode::Refused;
    }

    // The same file as the window's export of the same configuration.
    int Exporter(const Command& command) {
        std::optional<std::vector<ForbiddenEntry>> forbidden = ReadForbiddenList(var.CheminAppli, &guardProblem);
        if (!forbidden) return Fail(ExitCode::BadUse, NoGuard());
        std::wstring path = FileToRead(var, command.file);
        int code = ExitCode::Done;
        std::optional<std::vector<ConfigRecord>> records = Records(path, code);
        if (!records) return code;
        FleetFile exported;
        {
            CommandScope scope(services);
            FleetTool tool = command.verb == L"/exporter:ansible"      ? FleetTool::Ansible
                             : command.verb == L"/exporter:powershell" ? FleetTool::PowerShell
                                                                       : FleetTool::GroupPolicy;
            exported = FleetExport(services, *records, *forbidden, path, tool);
        }
        std::wstring output = FullPath(command.output);
        try {
            WriteFileReplacing(output, exported.bytes);
        } catch (const std::exception& failure) {
            return Fail(ExitCode::BadUse, texts::kConfigNotSaved + FileFailureReason(failure));
        }
        report(texts::kExportDone + output);
        if (!exported.leftOut.empty()) report(texts::kExportLeftOut);
        for (const std::wstring& line : exported.leftOut) report(L"  " + line);
        return ExitCode::Done;
    }

    int Comparer(const Command& command) {
        std::wstring path = command.origin ? OriginFile(var.CheminAppli) : FileToRead(var, command.file);
        int code = ExitCode::Done;
        std::optional<std::vector<ConfigRecord>> records = Records(path, code);
        if (!records) return code;
        CommandScope scope(services);
        std::vector<PlanLine> differences = CompareMachine(services, *records);
        report((command.origin ? texts::kOriginCompareHeading : texts::kCompareHeading) + path);
        for (const std::wstring& line : unknown) report(line);
        for (const PlanLine& line : differences) report(line.text);
        bool same = unknown.empty() && std::none_of(differences.begin(), differences.end(), IsDifference);
        if (same) report(texts::kCompareNothing);
        return same ? ExitCode::Done : ExitCode::Refused;
    }

    int Sauvegarder(const Command& command) {
        std::optional<std::wstring> chosen = FileToWrite(var, command.file);
        if (!chosen) return Fail(ExitCode::BadUse, texts::kInvalidConfigName + command.file);
        const std::wstring& path = *chosen;
        std::vector<ConfigRecord> records;
        MachineLock lock;
        if (!lock.Take(command.waitSeconds * 1000)) return Fail(ExitCode::BadUse, texts::kLockTimeout);
        {
            CommandScope scope(services);
            records = SavedRecords(services.Inventory(true));
        }
        std::optional<std::wstring> kept;
        WrittenConfig written;
        try {
            kept = KeepReplaced(path, var.CheminAppli);
            written = WriteConfigFile(path, records);
        } catch (const std::exception& failure) {
            return Fail(ExitCode::BadUse, texts::kConfigNotSaved + FileFailureReason(failure));
        }
        size_t saved = records.size() - written.refused.size();
        report(texts::kSaveDone + std::wstring(L" : ") + path + L" (" + std::to_wstring(saved) + L" services)");
        if (kept) report(KeptLine(*kept));
        for (const std::wstring& line : WrittenLines(written)) report(line);
        return written.refused.empty() ? ExitCode::Done : ExitCode::Refused;
    }
};

}  // namespace

bool IsUnattended(const std::vector<std::wstring>& arguments) {
    // A file dropped on the program, or opened with it, is no command: the window opens.
    for (const std::wstring& argument : arguments)
        if (!argument.empty() && argument[0] == L'/') return true;
    return false;
}

int RunUnattended(Variables& var, ServiceManager& services, const std::vector<std::wstring>& arguments,
                  const std::function<void(const std::wstring&)>& report) {
    std::wstring error;
    std::optional<Command> command = Parse(arguments, error);
    if (!command) {
        report(texts::kUnattendedBadArguments + error);
        report(kUsage);
        return ExitCode::BadUse;
    }
    Runner runner{var, services, report};
    try {
        bool changing = command->verb == L"/appliquer" || command->verb == L"/annuler" || command->verb == L"/origine";
        if (!changing) runner.Origin(false);
        if (command->verb == L"/appliquer") return runner.Appliquer(*command);
        if (command->verb == L"/origine") return runner.Origine(*command);
        if (command->verb == L"/annuler") return runner.Annuler(*command);
        if (command->verb == L"/comparer") return runner.Comparer(*command);
        if (command->verb.rfind(L"/exporter:", 0) == 0) return runner.Exporter(*command);
        return runner.Sauvegarder(*command);
    } catch (const ServiceError& e) {
        const wchar_t* message = ControlMessage(e.Code());
        report(texts::kListUnreadable + std::wstring(message ? message : L""));
        return ExitCode::Refused;
    } catch (...) {
        report(texts::kUnexpectedError + CurrentExceptionText());
        return ExitCode::Refused;
    }
}

namespace {

// The console the program was started from, or its redirected output: a console gets the text as it
// is, a file or a pipe gets UTF-8.
class Output {
public:
    Output() {
        AttachConsole(ATTACH_PARENT_PROCESS);
        handle_ = GetStdHandle(STD_OUTPUT_HANDLE);
        DWORD mode = 0;
        console_ = handle_ && handle_ != INVALID_HANDLE_VALUE && GetConsoleMode(handle_, &mode);
    }
    void Line(const std::wstring& text) {
        if (!handle_ || handle_ == INVALID_HANDLE_VALUE) return;
        std::wstring line = text + L"\r\n";
        DWORD written = 0;
        if (console_) {
            WriteConsoleW(handle_, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
        } else {
            std::string bytes = ToUtf8(line);
            WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        }
    }

private:
    HANDLE handle_ = nullptr;
    bool console_ = false;
};

std::wstring Now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    wchar_t text[32];
    swprintf(text, 32, L"%02u/%02u/%04u %02u:%02u:%02u", t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute, t.wSecond);
    return text;
}

}  // namespace

int RunUnattendedProgram(const std::vector<std::wstring>& arguments) {
    Output output;
    std::wstring journalPath;
    for (const std::wstring& argument : arguments)
        if (Lower(argument).rfind(L"/journal:", 0) == 0) journalPath = argument.substr(9);
    std::string journal;
    auto report = [&](const std::wstring& line) {
        output.Line(line);
        journal += ToUtf8(line + L"\r\n");
    };
    std::wstring commandLine;
    for (const std::wstring& argument : arguments) commandLine += L" " + argument;
    journal = ToUtf8(L"== " + Now() + L" Kestrane.exe" + commandLine + L"\r\n");

    // Who depends on whom is read only by the verbs that ask for it (a comparison of a few records does not).
    std::unique_ptr<ServiceManager> services = CreateServiceManager(false);
    Variables var;
    InitialiseFolders(var, nullptr);
    int code = RunUnattended(var, *services, arguments, report);
    journal += ToUtf8(texts::kUnattendedExitCode + std::to_wstring(code) + L"\r\n");
    if (!journalPath.empty()) {
        // The journal grows run after run; a new one starts with a byte-order mark for the editors.
        try {
            std::wstring path = FullPath(journalPath);
            AppendFileBytes(path, (FileExists(path) ? "" : "\xEF\xBB\xBF") + journal);
        } catch (const std::exception& failure) {
            output.Line(texts::kUnattendedNoJournal + FileFailureReason(failure));
            if (code == ExitCode::Done) code = ExitCode::BadUse;
        }
    }
    return code;
}

}  // namespace kestrane
