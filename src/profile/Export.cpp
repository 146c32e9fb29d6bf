#include "profile/Export.h"

#include "base/CodePage.h"

#include <algorithm>
#include <optional>
#include <type_traits>

namespace kestrane {

namespace {

constexpr const char* kVersion = "1.2.6";

const char* AnsibleStartMode(const std::wstring& mode) {
    if (mode == L"Auto") return "auto";
    if (mode == L"Manual") return "manual";
    if (mode == L"Disabled") return "disabled";
    return nullptr;
}
const char* AnsibleState(const std::wstring& state) {
    if (state == L"Running") return "started";
    if (state == L"Stopped") return "stopped";
    return nullptr;
}
const char* PowerShellStartupType(const std::wstring& mode) {
    if (mode == L"Auto") return "Automatic";
    if (mode == L"Manual") return "Manual";
    if (mode == L"Disabled") return "Disabled";
    return nullptr;
}

// What neither file may hold as it is. YAML reads no control character but tab and line ends (C0, DEL, C1) nor
// U+FFFE and U+FFFF, and takes NEL (U+0085), U+2028 and U+2029 for line ends; a line end in the script would
// start a command of its own; a lone surrogate has no UTF-8. A name from the machine or from a file may hold any
// of them.
bool Unwritable(char32_t c) {
    return c == kNoCharacter || IsControlCharacter(c) || c == 0x2028 || c == 0x2029 || c == 0xFFFE || c == 0xFFFF;
}

// The first character of `text` that the files cannot hold (a lone surrogate as its own unit), if any.
std::optional<char32_t> FirstUnwritable(const std::wstring& text) {
    for (size_t i = 0, units = 1; i < text.size(); i += units) {
        char32_t c = CharacterAt(text, i, units);
        if (Unwritable(c))
            return c == kNoCharacter ? static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i])) : c;
    }
    return std::nullopt;
}

// Text for a label or a comment, which says what a record is but acts on nothing: on one line, each character
// the files cannot hold a space (a lone surrogate U+FFFD).
std::wstring OneLine(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0, units = 1; i < text.size(); i += units) {
        char32_t c = CharacterAt(text, i, units);
        if (c == kNoCharacter)
            out += static_cast<wchar_t>(0xFFFD);
        else if (Unwritable(c))
            out += L' ';
        else
            out.append(text, i, units);
    }
    return out;
}

std::string CodePointText(char32_t c) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out = "U+";
    for (int shift = c > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) out += kDigits[(c >> shift) & 0xF];
    return out;
}

// A single-quoted scalar of YAML and a single-quoted string of PowerShell escape a quote by doubling it.
// PowerShell also ends such a string at the typographic single quotes (U+2018 to U+201B): they are
// doubled too (in YAML they are plain characters and stay as they are).
std::string SingleQuoted(const std::wstring& text, bool powerShell) {
    std::wstring out = L"'";
    for (wchar_t c : OneLine(text)) {
        out += c;
        if (c == L'\'' || (powerShell && c >= 0x2018 && c <= 0x201B)) out += c;
    }
    return ToUtf8(out + L"'");
}

// Ansible templates every string of a play on the control node: a value taken from a record or a file name
// (a service named "{{ lookup('pipe', ...) }}" would run a command there) is tagged !unsafe, which it never
// templates.
std::string Untemplated(const std::wstring& text) { return "!unsafe " + SingleQuoted(text, false); }

// The -Name of Get-Service, Start-Service and Stop-Service takes wildcards: a record named "*" would stop every
// service, "RpcS?" would reach RpcSs past the forbidden list. A service is found by its literal name instead (-eq
// compares without regard to case, as the service database does), and a name found nowhere is said so.
std::string OnService(const std::wstring& name, const std::string& command) {
    return "if ($service = Get-Service | Where-Object Name -eq " + SingleQuoted(name, true) + ") { $service | " + command +
           " } else { Write-Warning " + SingleQuoted(L"Service introuvable : " + name, true) + " }";
}

// Text for a comment: on one line.
std::string CommentText(const std::wstring& text) { return ToUtf8(OneLine(text)); }

// A service is named exactly or not at all: a name holding a character the file cannot hold is left out, and
// said so in a comment (where it is shown with that character as a space).
std::optional<std::string> UnwritableName(const ExportEntry& entry) {
    std::optional<char32_t> c = FirstUnwritable(entry.record.Name);
    if (!c) return std::nullopt;
    return CommentText(entry.record.Name) + " : nom de service contenant le caract\xC3\xA8re " + CodePointText(*c) +
           ", impossible \xC3\xA0 \xC3\xA9" "crire tel quel ici, laiss\xC3\xA9 de c\xC3\xB4t\xC3\xA9";
}

// The forbidden list's reason for a comment, after a dash; nothing when it gives none.
std::string Why(const ExportEntry& entry) { return entry.reason.empty() ? "" : " \xE2\x80\x94 " + CommentText(entry.reason); }

// The entries in the order of the state passes, file order within each. As in an application, a service to
// stop comes in the reverse order (those only needing others first): a stop is refused while a service
// depending on it still runs.
std::vector<const ExportEntry*> InPassOrder(const std::vector<ExportEntry>& entries) {
    std::vector<const ExportEntry*> ordered;
    for (int pass = 2; pass <= 4; ++pass)
        for (const ExportEntry& entry : entries) {
            int statePass = std::clamp(entry.statePass, 2, 4);
            if ((entry.record.State == L"Stopped" ? 6 - statePass : statePass) == pass) ordered.push_back(&entry);
        }
    return ordered;
}

std::string NotExpressed(const ExportEntry& entry, bool mode) {
    const std::wstring& value = mode ? entry.record.StartMode : entry.record.State;
    return CommentText(entry.record.Name) + (mode ? " : mode de démarrage « " : " : état « ") + CommentText(value) +
           " » non exprimable ici, laissé tel quel";
}

// What a comment says of a state the export does not set.
std::string StateComment(const ExportEntry& entry) {
    if (!entry.perUserState.empty())
        return CommentText(entry.record.Name) + " : mod\xC3\xA8le de services par utilisateur, \xC3\xA9tat \xC2\xAB " +
               CommentText(entry.perUserState) + " \xC2\xBB de ses instances laiss\xC3\xA9 \xC3\xA0 chaque session";
    return NotExpressed(entry, false);
}

}  // namespace

std::string AnsiblePlaybook(const std::wstring& configName, const std::vector<ExportEntry>& entries) {
    std::string out = "---\n";
    out += "# Configuration de services \xC2\xAB " + CommentText(configName) + " \xC2\xBB, export\xC3\xA9" "e par Kestrane " +
           kVersion + ".\n";
    out += "# Les t\xC3\xA2" "ches suivent l'ordre d'une application : d'abord les services qui n'en demandent aucun autre,\n";
    out += "# puis ceux qui en demandent et sont demand\xC3\xA9s, enfin ceux qui ne font qu'en demander ; les arr\xC3\xAAts dans\n";
    out += "# l'ordre inverse, car un service ne s'arr\xC3\xAAte pas tant qu'un service qui en d\xC3\xA9pend tourne.\n";
    out += "- name: " + Untemplated(L"Configuration de services " + configName) + "\n";
    out += "  hosts: all\n";
    out += "  gather_facts: false\n";
    out += "  tasks:";
    std::string tasks;
    bool anyTask = false;
    for (const ExportEntry* entry : InPassOrder(entries)) {
        const ConfigRecord& r = entry->record;
        if (entry->mark == Mark::Forbidden) {
            tasks += "    # " + CommentText(r.Name) + " : interdit par la liste des services prot\xC3\xA9g\xC3\xA9s, laiss\xC3\xA9 tel quel" +
                     Why(*entry) + "\n";
            continue;
        }
        if (std::optional<std::string> why = UnwritableName(*entry)) {
            tasks += "    # " + *why + "\n";
            continue;
        }
        const char* mode = AnsibleStartMode(r.StartMode);
        const char* state = AnsibleState(r.State);
        if (!mode) tasks += "    # " + NotExpressed(*entry, true) + "\n";
        if (!state) tasks += "    # " + StateComment(*entry) + "\n";
        if (!mode && !state) continue;
        if (entry->mark == Mark::Discouraged)
            tasks += "    # " + CommentText(r.Name) + " : modification d\xC3\xA9" "conseill\xC3\xA9" "e par la liste des services prot\xC3\xA9g\xC3\xA9s" +
                     Why(*entry) + "\n";
        std::string title = Untemplated(L"Service " + r.Name + (r.DisplayName.empty() ? L"" : L" (" + r.DisplayName + L")"));
        // Lines stay short enough for every YAML linter.
        if (title.size() > 148) title = Untemplated(L"Service " + r.Name);
        tasks += "    - name: " + title + "\n";
        anyTask = true;
        tasks += "      ansible.windows.win_service:\n";
        tasks += "        name: " + Untemplated(r.Name) + "\n";
        if (mode) tasks += std::string("        start_mode: ") + mode + "\n";
        if (state) tasks += std::string("        state: ") + state + "\n";
    }
    // A play with nothing to do still has a list of tasks.
    out += anyTask ? "\n" + tasks : " []\n" + tasks;
    return out;
}

std::string PowerShellScript(const std::wstring& configName, const std::vector<ExportEntry>& entries) {
    std::string out = "\xEF\xBB\xBF";
    auto line = [&](const std::string& text) { out += text + "\r\n"; };
    line("# Configuration de services \xC2\xAB " + CommentText(configName) + " \xC2\xBB, export\xC3\xA9" "e par Kestrane " + kVersion + ".");
    line("# \xC3\x80 lancer dans une session PowerShell ouverte en administrateur. Une commande refus\xC3\xA9" "e est signal\xC3\xA9" "e");
    line("# et les suivantes sont faites quand m\xC3\xAA" "me, comme lors d'une application par Kestrane.");
    line("$ErrorActionPreference = 'Continue'");
    line("");
    std::string refused;
    auto leftOut = [](const ExportEntry& entry) { return entry.mark == Mark::Forbidden || UnwritableName(entry); };
    for (const ExportEntry& entry : entries) {
        if (entry.mark == Mark::Forbidden)
            refused += "# " + CommentText(entry.record.Name) + " : interdit par la liste des services prot\xC3\xA9g\xC3\xA9s, laiss\xC3\xA9 tel quel" +
                       Why(entry) + "\r\n";
        else if (std::optional<std::string> why = UnwritableName(entry))
            refused += "# " + *why + "\r\n";
    }
    if (!refused.empty()) out += refused + "\r\n";

    line("# Modes de d\xC3\xA9marrage");
    for (const ExportEntry& entry : entries) {
        if (leftOut(entry)) continue;
        const char* type = PowerShellStartupType(entry.record.StartMode);
        if (!type) {
            line("# " + NotExpressed(entry, true));
            continue;
        }
        std::string command = OnService(entry.record.Name, std::string("Set-Service -StartupType ") + type);
        if (entry.mark == Mark::Discouraged) command += "  # modification d\xC3\xA9" "conseill\xC3\xA9" "e" + Why(entry);
        line(command);
    }
    line("");
    line("# \xC3\x89tats, dans l'ordre des d\xC3\xA9pendances");
    for (const ExportEntry* entry : InPassOrder(entries)) {
        if (leftOut(*entry)) continue;
        const std::wstring& state = entry->record.State;
        if (state != L"Running" && state != L"Stopped") {
            line("# " + StateComment(*entry));
            continue;
        }
        std::string command = OnService(entry->record.Name, state == L"Running" ? "Start-Service" : "Stop-Service");
        if (entry->mark == Mark::Discouraged) command += "  # modification d\xC3\xA9" "conseill\xC3\xA9" "e" + Why(*entry);
        line(command);
    }
    return out;
}

namespace {

// A name a template line holds exactly: none of the characters the other exports cannot write (the
// readers of templates split lines at the same ones), no quote (a quoted string of a template ends at the
// first one, whatever follows) and no percent sign (which the setup reader takes for a substitution).
std::optional<char32_t> FirstUnholdable(const std::wstring& name) {
    if (std::optional<char32_t> c = FirstUnwritable(name)) return c;
    size_t at = name.find_first_of(L"\"%");
    if (at != std::wstring::npos) return static_cast<char32_t>(name[at]);
    return std::nullopt;
}

const char* TemplateStartMode(const std::wstring& mode) {
    if (mode == L"Auto") return "2";
    if (mode == L"Manual") return "3";
    if (mode == L"Disabled") return "4";
    return nullptr;
}

// Text in UTF-16LE; every character of it is one a template holds.
void PutUtf16(std::string& out, const std::wstring& text) {
    auto unit = [&](unsigned value) {
        out += static_cast<char>(value & 0xFF);
        out += static_cast<char>((value >> 8) & 0xFF);
    };
    for (size_t i = 0, units = 1; i < text.size(); i += units) {
        char32_t c = CharacterAt(text, i, units);
        if (c == kNoCharacter) c = 0xFFFD;
        if (c < 0x10000) {
            unit(static_cast<unsigned>(c));
        } else {
            unit(0xD800 + static_cast<unsigned>((c - 0x10000) >> 10));
            unit(0xDC00 + static_cast<unsigned>((c - 0x10000) & 0x3FF));
        }
    }
}

std::wstring CodePointWide(char32_t c) { return FromUtf8(CodePointText(c)); }

}  // namespace

SecurityTemplate GroupPolicyTemplate(const std::vector<ExportEntry>& entries) {
    SecurityTemplate out;
    std::wstring text = L"\uFEFF[Unicode]\r\nUnicode=yes\r\n[Version]\r\nsignature=\"$CHICAGO$\"\r\nRevision=1\r\n"
                        L"[Service General Setting]\r\n";
    size_t states = 0;
    bool automatic = false;
    std::vector<std::wstring> told;
    for (const ExportEntry& entry : entries) {
        const ConfigRecord& r = entry.record;
        const std::wstring name = OneLine(r.Name);
        if (!r.State.empty() || !entry.perUserState.empty()) ++states;
        if (entry.mark == Mark::Forbidden) {
            told.push_back(name + L" : interdit par la liste des services protégés, laissé tel quel" +
                           (entry.reason.empty() ? L"" : L" \u2014 " + OneLine(entry.reason)));
            continue;
        }
        if (std::optional<char32_t> c = FirstUnholdable(r.Name); c || r.Name.empty()) {
            told.push_back(name + L" : nom de service " + (c ? L"contenant le caractère " + CodePointWide(*c) : L"vide") +
                           L", impossible à écrire dans un modèle de sécurité, laissé de côté");
            continue;
        }
        const char* mode = TemplateStartMode(r.StartMode);
        if (!mode) {
            told.push_back(r.StartMode.empty() ? name + L" : aucun mode de démarrage demandé, rien à écrire"
                                               : name + L" : mode de démarrage « " + OneLine(r.StartMode) +
                                                     L" » non exprimable dans un modèle de sécurité, laissé tel quel");
            continue;
        }
        if (entry.mark == Mark::Discouraged)
            told.push_back(name + L" : modification déconseillée par la liste des services protégés" +
                           (entry.reason.empty() ? L"" : L" \u2014 " + OneLine(entry.reason)));
        automatic = automatic || r.StartMode == L"Auto";
        text += L"\"" + r.Name + L"\"," + FromUtf8(mode) + L",\"\"\r\n";
    }
    if (states)
        out.leftOut.push_back(L"un modèle de sécurité ne porte aucun état : l'état voulu de " + std::to_wstring(states) +
                              L" service(s) n'y est pas, seuls les modes de démarrage y sont");
    if (automatic)
        out.leftOut.push_back(L"un modèle de sécurité ne porte pas de début différé : un service « Auto » y est automatique, "
                              L"sans délai");
    out.leftOut.insert(out.leftOut.end(), told.begin(), told.end());
    PutUtf16(out.bytes, text);
    return out;
}

}  // namespace kestrane
