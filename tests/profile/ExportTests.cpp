// The exports for fleet tools compared byte for byte with files written by hand: a small configuration
// with a service refused by the forbidden list, one discouraged, a paused state and a boot start mode; and
// one of names written to be read as code by Ansible or PowerShell.
#include "base/CodePage.h"
#include "profile/Export.h"

#include "NativeScratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

namespace kestrane {
namespace {

const std::vector<ExportEntry> kEntries = {
    {{L"Spooler", L"Stopped", L"Manual", L"Spouleur d'impression"}, 2, Mark::None},
    {{L"Fax", L"Running", L"Auto", L"Télécopie"}, 4, Mark::Discouraged},
    {{L"RpcSs", L"Running", L"Auto", L"Appel de procédure distante (RPC)"}, 2, Mark::Forbidden},
    {{L"Audiosrv", L"Paused", L"Auto", L"Audio Windows"}, 3, Mark::None},
    {{L"kbdclass", L"Running", L"Boot", L"Pilote de classe clavier"}, 2, Mark::None},
    {{L"wuauserv", L"Stopped", L"Disabled", L"Windows Update"}, 2, Mark::None},
};

std::string Golden(const std::string& name) {
    std::ifstream in(std::string(KESTRANE_GOLDEN_DIR) + name, std::ios::binary);
    EXPECT_TRUE(in) << "missing golden file " << name;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// On a difference the output is left beside the test program, to be read (and, if right, made golden).
void ExpectGolden(const std::string& actual, const std::string& name) {
    std::string expected = Golden(name);
    if (actual != expected) std::ofstream(name + ".actual", std::ios::binary) << actual;
    EXPECT_EQ(actual, expected) << name << " differs: see " << name << ".actual";
}

TEST(FleetExport, AnsiblePlaybookAsWrittenByHand) {
    ExpectGolden(AnsiblePlaybook(L"poste léger", kEntries), "poste-leger.yml");
}

TEST(FleetExport, PowerShellScriptAsWrittenByHand) {
    ExpectGolden(PowerShellScript(L"poste léger", kEntries), "poste-leger.ps1");
}

// Names a configuration file can hold, written to be read as something else: Ansible's templates, PowerShell's
// wildcards and expansions, the quotes of both, line ends, a byte-order mark. tests/export/ runs the golden files
// written from them through Ansible and through a PowerShell parser.
const std::wstring kTemplate = L"{{ lookup('pipe','touch MARK') }}";
const std::wstring kLoop = L"{% for x in [1] %}{{ lookup('pipe','touch MARK2') }}{% endfor %}";
const std::vector<ExportEntry> kHostile = {
    {{kTemplate, L"Running", L"Auto", kLoop}, 2, Mark::None},
    {{kLoop, L"Stopped", L"Manual", kTemplate}, 3, Mark::None},
    {{L"*", L"Stopped", L"Disabled", L"*"}, 2, Mark::None},
    {{L"RpcS?", L"Stopped", L"Disabled", L""}, 2, Mark::None},
    {{L"a[bc]", L"Running", L"Manual", L"[a-z]"}, 4, Mark::Discouraged},
    {{L"x'; Stop-Computer; '", L"Running", L"Auto", L"y'; Stop-Computer; '"}, 2, Mark::None},
    {{L"\u2018quoted\u2019", L"Stopped", L"Manual", L"\u201Bquoted\u201A"}, 2, Mark::None},
    {{L"line\r\nStop-Computer", L"Running", L"Auto", L"x\r\nstate: absent"}, 2, Mark::None},
    {{L"\uFEFFbom", L"Running", L"Auto", L"\uFEFF"}, 2, Mark::None},
    {{L"$(Stop-Computer)", L"Stopped", L"Manual", L"$env:COMPUTERNAME"}, 2, Mark::None},
    {{L"\"double\"", L"Running", L"Manual", L"\"$(Stop-Computer)\""}, 2, Mark::None},
    // Characters YAML refuses or takes for line ends, and that would end a command in the script: a name holding
    // one is left out (it cannot be written exactly), a display name shows it as a space.
    {{L"c1\u0081\u009Dx", L"Running", L"Auto", L"nel\u0085ls\u2028ps\u2029del\u007F"}, 2, Mark::None},
    {{L"Bon", L"Stopped", L"Manual", std::wstring(L"nul\0c1\u0081tab\tff\u000C\uFFFEend", 18)}, 2, Mark::None},
    {{std::wstring(L"demi") + static_cast<wchar_t>(0xD800), L"Stopped", L"Manual", L""}, 2, Mark::None},
    {{L"ls\u2028Stop-Computer", L"Running", L"Auto", L""}, 2, Mark::None},
};
// The configuration's name comes from a file name, which may hold C1 characters and U+2028 too.
const std::wstring kHostileConfig = kTemplate + L"\u0085\u2028\u009D";

// The first character of an export's text that YAML refuses or reads as a line end, or that would end a
// command of the script (a line end excepted), or "" when there is none; "not UTF-8" when the text is not.
std::string RawControl(const std::string& text) {
    const std::wstring wide = FromUtf8(text);
    if (ToUtf8(wide) != text) return "not UTF-8";  // a byte that is no UTF-8 comes back as U+FFFD
    for (wchar_t c : wide) {
        auto u = static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(c));
        if ((u < 0x20 && c != L'\r' && c != L'\n') || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029 ||
            u == 0xFFFE || u == 0xFFFF || (u >= 0xD800 && u <= 0xDFFF))
            return "U+" + std::to_string(u);
    }
    return "";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

TEST(FleetExport, QuotesInNamesAndAConfigurationWithNothingToDo) {
    std::vector<ExportEntry> quoted = {{{L"Odd'Name", L"Running", L"Auto", L"It's odd\r\nand split"}, 2, Mark::None}};
    std::string playbook = AnsiblePlaybook(L"x", quoted);
    EXPECT_NE(playbook.find("    - name: !unsafe 'Service Odd''Name (It''s odd  and split)'\n"), std::string::npos) << playbook;
    EXPECT_NE(playbook.find("        name: !unsafe 'Odd''Name'\n"), std::string::npos);
    EXPECT_NE(PowerShellScript(L"x", quoted)
                  .find("if ($service = Get-Service | Where-Object Name -eq 'Odd''Name') { $service | Start-Service }"
                        " else { Write-Warning 'Service introuvable : Odd''Name' }\r\n"),
              std::string::npos);
    // A name can neither end its string nor start a line of its own: the files are run as administrator.
    std::vector<ExportEntry> hostile = {
        {{L"a\u2019; Restart-Computer; \u2019", L"Running", L"Auto", L""}, 2, Mark::None},
        {{L"x\r\nRestart-Computer -Force\r\n#", L"Paused", L"Boot", L"y\nstate: absent"}, 2, Mark::None},
        {{L"z\nRestart-Computer", L"Running", L"Auto", L""}, 2, Mark::Forbidden},
    };
    std::string script = PowerShellScript(L"x", hostile);
    EXPECT_NE(script.find("Where-Object Name -eq 'a\u2019\u2019; Restart-Computer; \u2019\u2019') { $service | Start-Service }"),
              std::string::npos) << script;
    std::string hostilePlaybook = AnsiblePlaybook(L"x", hostile);
    // The configuration's name comes from a file name: Ansible would template it like any other text.
    std::string templates = AnsiblePlaybook(kHostileConfig, kHostile);
    std::string wildcards = PowerShellScript(kHostileConfig, kHostile);
    ExpectGolden(templates, "hostile.yml");
    ExpectGolden(wildcards, "hostile.ps1");
    for (const std::string& text : {script, hostilePlaybook, wildcards, templates}) {
        EXPECT_EQ(text.find("\nRestart-Computer"), std::string::npos) << text;
        EXPECT_EQ(text.find("\nStop-Computer"), std::string::npos) << text;
        EXPECT_EQ(text.find("\nstate: absent"), std::string::npos) << text;
        bool isScript = text == script || text == wildcards;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), std::count(text.begin(), text.end(), '\n') * isScript);
        EXPECT_EQ(RawControl(text), "") << text;
    }
    // A name that cannot be written exactly is left out, and the comment says why; its display name, a label,
    // is written with spaces.
    for (const std::string& text : {templates, wildcards}) {
        for (const char* why : {"c1  x : nom de service contenant le caract\xC3\xA8re U+0081,",
                                "demi\xEF\xBF\xBD : nom de service contenant le caract\xC3\xA8re U+D800,",
                                "ls Stop-Computer : nom de service contenant le caract\xC3\xA8re U+2028,",
                                "line  Stop-Computer : nom de service contenant le caract\xC3\xA8re U+000D,"})
            EXPECT_NE(text.find(why), std::string::npos) << why;
        for (const char* name : {"'c1", "'demi", "'ls", "'line"}) EXPECT_EQ(text.find(name), std::string::npos) << name;
    }
    EXPECT_NE(templates.find("    - name: !unsafe 'Service Bon (nul c1 tab ff  end)'\n"), std::string::npos) << templates;
    EXPECT_NE(script.find("# x  Restart-Computer -Force  # : nom de service contenant le caract\xC3\xA8re U+000D,"),
              std::string::npos) << script;
    // Ansible never templates a value tagged !unsafe: every name, of the play, of a task or of a service, is.
    for (const std::string& text : {hostilePlaybook, templates})
        for (const std::string& line : Lines(text)) {
            if (line.find("name:") != std::string::npos) {
                EXPECT_NE(line.find("name: !unsafe '"), std::string::npos) << line;
            }
        }
    EXPECT_NE(templates.find("- name: !unsafe 'Configuration de services {{ lookup(''pipe'',''touch MARK'') }}   '\n"),
              std::string::npos) << templates;
    EXPECT_NE(templates.find("        name: !unsafe '{% for x in [1] %}{{ lookup(''pipe'',''touch MARK2'') }}{% endfor %}'\n"),
              std::string::npos);
    // The -Name of Get-Service, Start-Service and Stop-Service takes wildcards: a service is found by its literal
    // name instead, and a name found nowhere is said so.
    EXPECT_EQ(wildcards.find("-Name"), std::string::npos) << wildcards;
    for (const char* line : {
             "if ($service = Get-Service | Where-Object Name -eq '*') { $service | Stop-Service }"
             " else { Write-Warning 'Service introuvable : *' }\r\n",
             "if ($service = Get-Service | Where-Object Name -eq 'RpcS?') { $service | Set-Service -StartupType Disabled }"
             " else { Write-Warning 'Service introuvable : RpcS?' }\r\n",
             "if ($service = Get-Service | Where-Object Name -eq 'a[bc]') { $service | Start-Service }"
             " else { Write-Warning 'Service introuvable : a[bc]' }  # modification d\xC3\xA9" "conseill\xC3\xA9" "e\r\n",
             "Where-Object Name -eq 'x''; Stop-Computer; ''') { $service | Start-Service }",
             "Where-Object Name -eq '\xE2\x80\x98\xE2\x80\x98quoted\xE2\x80\x99\xE2\x80\x99') {",
             "Where-Object Name -eq '\xEF\xBB\xBF" "bom') {",
             "Where-Object Name -eq '$(Stop-Computer)') { $service | Stop-Service }",
             "Where-Object Name -eq '\"double\"') {",
         })
        EXPECT_NE(wildcards.find(line), std::string::npos) << line;
    // Only refused services: a play with no task is still a valid playbook.
    std::string empty = AnsiblePlaybook(L"x", {{{L"RpcSs", L"Running", L"Auto", L""}, 2, Mark::Forbidden}});
    EXPECT_NE(empty.find("  tasks: []\n"), std::string::npos) << empty;
}

// A security template's text: UTF-16LE after its byte-order mark; "" when it is not that.
std::wstring TemplateText(const std::string& bytes) {
    if (bytes.size() % 2 || bytes.rfind("\xFF\xFE", 0) != 0) return L"";
    std::u16string units;
    for (size_t i = 2; i < bytes.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    std::wstring out;
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size()) c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0x10000) {
                out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
                out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
                continue;
            }
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

bool Told(const SecurityTemplate& inf, const std::wstring& text) {
    return std::any_of(inf.leftOut.begin(), inf.leftOut.end(), [&](const std::wstring& line) { return line.find(text) != std::wstring::npos; });
}

// Names hostile to the readers of security templates; tests/export/gpo-check.sh reads the golden file written from
// them with Samba's parser and finds exactly the names and modes of hostile.inf.txt.
const std::vector<ExportEntry> kGpoHostile = {
    {{L"Le, nom", L"Running", L"Manual", L""}, 2, Mark::None},
    {{L"*", L"Stopped", L"Disabled", L""}, 2, Mark::None},
    {{kTemplate, L"Running", L"Auto", L""}, 2, Mark::None},
    {{L"{braces}", L"Stopped", L"Manual", L""}, 3, Mark::None},
    {{L"x'; y", L"Stopped", L"Manual", L""}, 2, Mark::None},
    {{L"[Version]", L"Stopped", L"Manual", L""}, 2, Mark::None},
    {{L"a=b ;c", L"Stopped", L"Disabled", L""}, 2, Mark::None},
    {{L" Служба печати ", L"Running", L"Auto", L""}, 2, Mark::None},
    {{L"打印服务\U0001F5A8", L"Running", L"Manual", L""}, 2, Mark::None},
    {{L"\"double\"", L"Running", L"Auto", L""}, 2, Mark::None},
    {{L"50%", L"Running", L"Auto", L""}, 2, Mark::None},
    {{L"%SystemRoot%", L"Running", L"Auto", L""}, 2, Mark::None},
    {{L"line\r\n\"Spooler\",4,\"\"", L"Running", L"Auto", L""}, 2, Mark::None},
    {{L"ls\u2028x", L"Running", L"Auto", L""}, 2, Mark::None},
    {{L"kbdclass", L"Running", L"Boot", L""}, 2, Mark::None},
    {{L"RpcSs", L"Running", L"Auto", L""}, 2, Mark::Forbidden, L"Windows en a besoin"},
};

TEST(GroupPolicyTemplate, GoldenFilesAndWhatATemplateCannotCarryIsTold) {
    SecurityTemplate inf = GroupPolicyTemplate(kEntries);
    ExpectGolden(inf.bytes, "poste-leger.inf");
    const std::wstring text = TemplateText(inf.bytes);
    ASSERT_FALSE(text.empty()) << "not UTF-16LE with a byte-order mark";
    EXPECT_EQ(text.rfind(L"[Unicode]\r\nUnicode=yes\r\n[Version]\r\nsignature=\"$CHICAGO$\"\r\nRevision=1\r\n"
                         L"[Service General Setting]\r\n", 0), 0u);
    // File order; the paused state, the boot start mode and the refused service are told, never written.
    EXPECT_NE(text.find(L"\"Spooler\",3,\"\"\r\n\"Fax\",2,\"\"\r\n\"Audiosrv\",2,\"\"\r\n\"wuauserv\",4,\"\"\r\n"),
              std::wstring::npos);
    EXPECT_EQ(text.find(L"kbdclass"), std::wstring::npos);
    EXPECT_EQ(text.find(L"RpcSs"), std::wstring::npos);
    EXPECT_TRUE(Told(inf, L"kbdclass : mode de démarrage « Boot » non exprimable"));
    EXPECT_TRUE(Told(inf, L"RpcSs : interdit par la liste des services protégés"));
    EXPECT_TRUE(Told(inf, L"Fax : modification déconseillée"));
    EXPECT_TRUE(Told(inf, L"l'état voulu de 6 service(s)"));
    EXPECT_TRUE(Told(inf, L"début différé"));

    SecurityTemplate hostile = GroupPolicyTemplate(kGpoHostile);
    ExpectGolden(hostile.bytes, "hostile.inf");
    const std::wstring hostileText = TemplateText(hostile.bytes);
    size_t lineEnds = 0;
    for (size_t i = 0; i < hostileText.size(); ++i)
        if (hostileText[i] == L'\n') {
            ++lineEnds;
            EXPECT_EQ(hostileText[i - 1], L'\r');
        }
    EXPECT_EQ(lineEnds, 6u + 9u) << "six lines of heading, then one per service a template holds";
    EXPECT_EQ(std::count(hostileText.begin(), hostileText.end(), L'\r'), static_cast<long>(lineEnds));
    EXPECT_EQ(hostileText.find(L"Spooler"), std::wstring::npos);
    EXPECT_TRUE(Told(hostile, L"\"double\" : nom de service contenant le caractère U+0022"));
    EXPECT_TRUE(Told(hostile, L"50% : nom de service contenant le caractère U+0025"));
    EXPECT_TRUE(Told(hostile, L"ls x : nom de service contenant le caractère U+2028"));
    EXPECT_TRUE(Told(hostile, L"RpcSs : interdit par la liste des services protégés, laissé tel quel \u2014 Windows en a besoin"));
}

// Whether a service name can be written exactly in both files: no control character (line ends included), no
// line or paragraph separator, no U+FFFE or U+FFFF, no lone surrogate.
bool Exportable(const std::wstring& name) {
    for (size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(name[i]));
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
            name[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFFFE || c == 0xFFFF ||
            (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            return false;
    }
    return true;
}

// A single-quoted string, each of `quotes` doubled inside.
std::string Literal(const std::wstring& text, const std::wstring& quotes) {
    std::wstring out = L"'";
    for (wchar_t c : text) out += quotes.find(c) == std::wstring::npos ? std::wstring(1, c) : std::wstring(2, c);
    return ToUtf8(out + L"'");
}

TEST(FleetExport, AnyNameIsWrittenExactlyOrLeftOutSayingWhy) {
    std::mt19937 random(9122026);
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<ExportEntry> entries(1 + random() % 4);
        for (ExportEntry& e : entries) {
            e.record = {RandomText(random, 8), random() % 2 ? L"Running" : L"Stopped", random() % 2 ? L"Auto" : L"Manual",
                        RandomText(random, 10)};
            e.statePass = 2 + static_cast<int>(random() % 3);
            e.mark = random() % 5 == 0 ? Mark::Discouraged : Mark::None;
            e.reason = RandomText(random, 6);
        }
        const std::wstring config = RandomText(random, 8);
        const std::string playbook = AnsiblePlaybook(config, entries);
        const std::string script = PowerShellScript(config, entries);
        EXPECT_EQ(RawControl(playbook), "") << playbook;
        EXPECT_EQ(RawControl(script), "") << script;
        EXPECT_EQ(std::count(playbook.begin(), playbook.end(), '\r'), 0);
        EXPECT_EQ(std::count(script.begin(), script.end(), '\r'), std::count(script.begin(), script.end(), '\n'));
        const SecurityTemplate inf = GroupPolicyTemplate(entries);
        const std::wstring infText = TemplateText(inf.bytes);
        for (const ExportEntry& e : entries) {
            const std::wstring& name = e.record.Name;
            if (Exportable(name)) {
                EXPECT_NE(playbook.find("        name: !unsafe " + Literal(name, L"'") + "\n"), std::string::npos)
                    << ToUtf8(name);
                EXPECT_NE(script.find("Where-Object Name -eq " + Literal(name, L"'\u2018\u2019\u201A\u201B") + ") {"),
                          std::string::npos) << ToUtf8(name);
                // A template line ends its quoted name at the first quote, and a percent sign substitutes.
                bool holdable = !name.empty() && name.find_first_of(L"\"%") == std::wstring::npos;
                EXPECT_EQ(infText.find(L"\r\n\"" + name + L"\"," + (e.record.StartMode == L"Auto" ? L"2" : L"3") + L",\"\"\r\n") !=
                              std::wstring::npos,
                          holdable) << ToUtf8(name);
                if (!holdable) EXPECT_TRUE(Told(inf, L" : nom de service "));
            } else {
                for (const std::string* text : {&playbook, &script})
                    EXPECT_NE(text->find(" : nom de service contenant le caract\xC3\xA8re U+"), std::string::npos);
                EXPECT_TRUE(Told(inf, L" : nom de service contenant le caractère U+"));
            }
        }
    }
}

}  // namespace
}  // namespace kestrane
