// The exports for fleet tools compared byte for byte with files written by hand: a small configuration
// with a service refused by the forbidden list, one discouraged, a paused state and a boot start mode.
#include "base/CodePage.h"
#include "profile/Export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

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

TEST(FleetExport, QuotesInNamesAndAConfigurationWithNothingToDo) {
    std::vector<ExportEntry> quoted = {{{L"Odd'Name", L"Running", L"Auto", L"It's odd\r\nand split"}, 2, Mark::None}};
    std::string playbook = AnsiblePlaybook(L"x", quoted);
    EXPECT_NE(playbook.find("    - name: 'Service Odd''Name (It''s odd  and split)'\n"), std::string::npos) << playbook;
    EXPECT_NE(playbook.find("        name: 'Odd''Name'\n"), std::string::npos);
    EXPECT_NE(PowerShellScript(L"x", quoted).find("Start-Service -Name 'Odd''Name'\r\n"), std::string::npos);
    // A name can neither end its string nor start a line of its own: the files are run as administrator.
    std::vector<ExportEntry> hostile = {
        {{L"a\u2019; Restart-Computer; \u2019", L"Running", L"Auto", L""}, 2, Mark::None},
        {{L"x\r\nRestart-Computer -Force\r\n#", L"Paused", L"Boot", L"y\nstate: absent"}, 2, Mark::None},
        {{L"z\nRestart-Computer", L"Running", L"Auto", L""}, 2, Mark::Forbidden},
    };
    std::string script = PowerShellScript(L"x", hostile);
    EXPECT_NE(script.find("Start-Service -Name 'a\u2019\u2019; Restart-Computer; \u2019\u2019'\r\n"), std::string::npos) << script;
    std::string hostilePlaybook = AnsiblePlaybook(L"x", hostile);
    for (const std::string& text : {script, hostilePlaybook}) {
        EXPECT_EQ(text.find("\nRestart-Computer"), std::string::npos) << text;
        EXPECT_EQ(text.find("\nstate: absent"), std::string::npos) << text;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), std::count(text.begin(), text.end(), '\n') * (text == script));
    }
    // Only refused services: a play with no task is still a valid playbook.
    std::string empty = AnsiblePlaybook(L"x", {{{L"RpcSs", L"Running", L"Auto", L""}, 2, Mark::Forbidden}});
    EXPECT_NE(empty.find("  tasks: []\n"), std::string::npos) << empty;
}

}  // namespace
}  // namespace kestrane
