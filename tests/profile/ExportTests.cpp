// The exports for fleet tools compared byte for byte with files written by hand: a small configuration
// with a service refused by the forbidden list, one discouraged, a paused state and a boot start mode; and
// one of names written to be read as code by Ansible or PowerShell.
#include "base/CodePage.h"
#include "profile/Export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
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
};

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
    std::string templates = AnsiblePlaybook(kTemplate, kHostile);
    std::string wildcards = PowerShellScript(kTemplate, kHostile);
    ExpectGolden(templates, "hostile.yml");
    ExpectGolden(wildcards, "hostile.ps1");
    for (const std::string& text : {script, hostilePlaybook, wildcards, templates}) {
        EXPECT_EQ(text.find("\nRestart-Computer"), std::string::npos) << text;
        EXPECT_EQ(text.find("\nStop-Computer"), std::string::npos) << text;
        EXPECT_EQ(text.find("\nstate: absent"), std::string::npos) << text;
        bool isScript = text == script || text == wildcards;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), std::count(text.begin(), text.end(), '\n') * isScript);
    }
    // Ansible never templates a value tagged !unsafe: every name, of the play, of a task or of a service, is.
    for (const std::string& text : {hostilePlaybook, templates})
        for (const std::string& line : Lines(text)) {
            if (line.find("name:") != std::string::npos) {
                EXPECT_NE(line.find("name: !unsafe '"), std::string::npos) << line;
            }
        }
    EXPECT_NE(templates.find("- name: !unsafe 'Configuration de services {{ lookup(''pipe'',''touch MARK'') }}'\n"),
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
             "Where-Object Name -eq 'line  Stop-Computer') {",
             "Where-Object Name -eq '\xEF\xBB\xBF" "bom') {",
             "Where-Object Name -eq '$(Stop-Computer)') { $service | Stop-Service }",
             "Where-Object Name -eq '\"double\"') {",
         })
        EXPECT_NE(wildcards.find(line), std::string::npos) << line;
    // Only refused services: a play with no task is still a valid playbook.
    std::string empty = AnsiblePlaybook(L"x", {{{L"RpcSs", L"Running", L"Auto", L""}, 2, Mark::Forbidden}});
    EXPECT_NE(empty.find("  tasks: []\n"), std::string::npos) << empty;
}

}  // namespace
}  // namespace kestrane
