// Configuration records, the code page they are written in, and the file helpers that carry them.
#include "base/CodePage.h"
#include "base/FailureText.h"
#include "service/ForbiddenList.h"
#include "profile/ConfigFormat.h"
#include "base/TextFile.h"

#include "NativeScratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace kestrane {
namespace {

std::string Golden(const std::string& name) {
    std::string path = KESTRANE_GOLDEN_DIR + name;
#ifdef _WIN32
    if (path[0] == '/') path = "Z:" + path;  // the Linux tree, seen from Wine
#endif
    return ReadFileBytes(std::wstring(path.begin(), path.end()));
}

const std::vector<ConfigRecord> kExampleRecords = {
    {L"Spooler", L"Running", L"Auto", L"Spouleur d'impression"},
    {L"wuauserv", L"Stopped", L"Manual", L"Windows Update"},
    {L"SSDPSRV", L"Stopped", L"Disabled", L"Découverte SSDP"},
    {L"Dnscache", L"Paused", L"Boot", L""},
};

TEST(ConfigFormat, WritesAndReadsTheHandWrittenGoldenFile) {
    const std::string golden = Golden("example.cfg");
    std::string formatted;
    for (const ConfigRecord& record : kExampleRecords) formatted += FormatRecord(record);
    EXPECT_EQ(formatted, golden);

    ScratchDir dir;
    const std::wstring file = dir.Path(L"7-12-2026.cfg");
    for (const ConfigRecord& record : kExampleRecords) AppendConfigRecord(file, record);
    EXPECT_EQ(ReadFileBytes(file), golden);
    EXPECT_EQ(ReadConfigFile(file), kExampleRecords);
}

TEST(ConfigFormat, FrenchDisplayNameWithCommaKeepsEveryByte) {
    const ConfigRecord record{L"Svc", L"Running", L"Auto", L"Télé, crèche à façon œuvre ’a’ 5 €"};
    const std::string line = FormatRecord(record);
    EXPECT_EQ(line, "\"Svc\",\"Running\",\"Auto\",\"T\xE9l\xE9, cr\xE8" "che \xE0 fa\xE7on \x9Cuvre \x92" "a\x92 5 \x80\"\r\n");
    EXPECT_EQ(ParseConfig(line + line), (std::vector<ConfigRecord>{record, record}));
    // Outside cp1252: one '?' per character, never a look-alike letter.
    EXPECT_EQ(FormatRecord({L"Łódź", L"", L"", L"漢"}), "\"?\xF3" "d?\",\"\",\"\",\"?\"\r\n");
}

TEST(ConfigFormat, ReadsMalformedInputWithoutTheIncompleteLastRecord) {
    const ConfigRecord abcd{L"a", L"b", L"c", L"d"};
    const struct {
        const char* name;
        std::string bytes;
        std::vector<ConfigRecord> expected;
    } cases[] = {
        {"empty file", "", {}},
        {"no final line end", "\"a\",\"b\",\"c\",\"d\"", {abcd}},
        {"three fields at the end", "\"a\",\"b\",\"c\",\"d\"\r\n\"e\",\"f\",\"g\"\r\n", {abcd}},
        {"truncated last line", "\"a\",\"b\",\"c\",\"d\"\r\n\"e\",\"f", {abcd}},
        {"comma then end", "\"a\",\"b\",\"c\",", {}},
        {"unbalanced quote", "\"a\",\"b\",\"c\",\"d\"\r\n\"e\",\"f\",\"g\",\"h\r\n", {abcd}},
        {"blank line at the end", "\"a\",\"b\",\"c\",\"d\"\r\n\r\n", {abcd}},
        {"blank and space at the end", "\"a\",\"b\",\"c\",\"d\"\r\n \r\n", {abcd}},
        {"lone LF and lone CR", "\"a\",\"b\",\"c\",\"d\"\na,b,c,d\r\"a\",\"b\",\"c\",\"d\"\n", {abcd, abcd, abcd}},
        {"record over two lines", "\"a\",\"b\"\r\n\"c\",\"d\"\r\n", {abcd}},
        {"leading blanks dropped", "  \"a\",  b,\tc ,\"d\"  \r\n", {{L"a", L"b", L"c ", L"d"}}},
        {"text after a quote skipped", "\"a\"x,\"b\" y z,\"c\" \",\"d\"\r\n", {abcd}},
        {"a doubled quote is one quote", "\"a\"\"b\",\"\",\"\"\"\",\"d\"\r\n", {{L"a\"b", L"", L"\"", L"d"}}},
        {"quoted comma and line end", "\"a,1\",\"b\",\"c\",\"d\r\ne\"\r\n", {{L"a,1", L"b", L"c", L"d\r\ne"}}},
        {"empty unquoted fields", ",,,\r\n", {{L"", L"", L"", L""}}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseConfig(c.bytes), c.expected) << c.name;
}

TEST(ConfigFormat, AQuoteInAValueIsWrittenSoThatNoReaderShiftsTheRecordsAfterIt) {
    // A display name with quotes and a comma: written with the quotes doubled, read back exactly, and a
    // reader that splits the line on "," finds the four fields.
    const ConfigRecord quoted{L"Vrai", L"Running", L"Auto", L"Le \"vrai\" service, oui"};
    const ConfigRecord next{L"Fax", L"Stopped", L"Manual", L"T\u00e9l\u00e9copie"};
    std::string file = FormatRecord(quoted) + FormatRecord(next);
    EXPECT_EQ(file.substr(0, file.find("\r\n")), "\"Vrai\",\"Running\",\"Auto\",\"Le \"\"vrai\"\" service, oui\"");
    EXPECT_EQ(ParseConfig(file), (std::vector<ConfigRecord>{quoted, next}));
    std::string line = file.substr(1, file.find("\r\n") - 2);
    size_t separators = 0;
    for (size_t at = line.find("\",\""); at != std::string::npos; at = line.find("\",\"", at + 1)) ++separators;
    EXPECT_EQ(separators, 3u);
    // What cannot be written so is refused, naming the service: a quote next to a comma, a line end.
    for (const wchar_t* bad : {L"a\",\"b", L"x\", y", L"x ,\"y", L"deux\r\nlignes"}) {
        try {
            FormatRecord({L"Mauvais", L"Running", L"Auto", bad});
            ADD_FAILURE() << "written: " << ToAnsi(bad);
        } catch (const UserError& refused) {
            EXPECT_NE(refused.Message().find(L"Mauvais"), std::wstring::npos);
        }
    }
}

TEST(ConfigFormat, AFileWithAByteOrderMarkIsReadAsUtf8) {
    // As Notepad saves it: the mark is no part of the first name, the text is UTF-8.
    const std::string bytes = "\xEF\xBB\xBF\"Spooler\",\"Running\",\"Auto\",\"Spouleur d\xE2\x80\x99impression \xC3\xA9\"\r\n";
    EXPECT_EQ(ParseConfig(bytes),
              (std::vector<ConfigRecord>{{L"Spooler", L"Running", L"Auto", L"Spouleur d\u2019impression \u00e9"}}));
    EXPECT_FALSE(EndsInsideRecord(bytes));
    EXPECT_EQ(ParseForbiddenList("\xEF\xBB\xBF\"RpcSs\",1\r\n"), (std::vector<ForbiddenEntry>{{L"RpcSs", Mark::Forbidden}}));
    // Without the mark the same bytes are the ANSI code page's.
    EXPECT_EQ(ParseConfig(bytes.substr(3))[0].DisplayName, L"Spouleur d\u00e2\u20ac\u2122impression \u00c3\u00a9");
}

TEST(ConfigFormat, ConfigFileNamesContainDotCfgInAnyCase) {
    const struct {
        const wchar_t* name;
        bool listed;
    } cases[] = {
        {L"7-12-2026.cfg", true}, {L"Profil.CFG", true}, {L"old.cfg.bak", true}, {L"a.CfG", true},
        {L".cfg", true},          {L"Profil.txt", false}, {L"cfg", false},       {L"Profil.cf", false},
        {L"Profil_cfg", false},   {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsConfigFileName(c.name), c.listed) << c.name;
}

TEST(ConfigFormat, DefaultNameIsDayMonthYearWithoutLeadingZeros) {
    EXPECT_EQ(DefaultConfigName(1, 1, 2027), L"1-1-2027");
    EXPECT_EQ(DefaultConfigName(7, 12, 2026), L"7-12-2026");
    EXPECT_EQ(DefaultConfigName(31, 12, 2026), L"31-12-2026");
}

TEST(ConfigFormat, FieldsLeftOverAfterTheLastWholeRecordAreNoticed) {
    const struct {
        const char* name;
        std::string bytes;
        bool leftOver;
    } cases[] = {
        {"whole records", "\"a\",\"Running\",\"Auto\",\"A\"\r\n\"b\",\"Stopped\",\"Manual\",\"B\"\r\n", false},
        {"blank lines at the end", "\"a\",\"Running\",\"Auto\",\"A\"\r\n\r\n  \r\n", false},
        {"empty", "", false},
        {"a line of three fields last", "\"a\",\"Running\",\"Auto\",\"A\"\r\n\"b\",\"Stopped\",\"Manual\"\r\n", true},
        {"a line of five fields first", "\"a\",\"Running\",\"Auto\",\"A\",\"x\"\r\n\"b\",\"Stopped\",\"Manual\",\"B\"\r\n", true},
    };
    for (const auto& c : cases) EXPECT_EQ(EndsInsideRecord(c.bytes), c.leftOver) << c.name;
}

}  // namespace
}  // namespace kestrane
