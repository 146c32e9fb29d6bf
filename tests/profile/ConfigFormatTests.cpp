// Configuration records, the code page they are written in, and the file helpers that carry them.
#include "base/CodePage.h"
#include "base/FailureText.h"
#include "service/ForbiddenList.h"
#include "profile/ConfigFormat.h"
#include "base/TextFile.h"
#include "base/Texts.h"

#include "NativeScratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <type_traits>

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
    EXPECT_EQ(EncodingFor({record}), TextEncoding::CodePage);
    // Outside cp1252 no character becomes '?': the code page refuses the record, naming it, and a file of it
    // is UTF-8 with its mark.
    const std::vector<ConfigRecord> polish = {{L"Łódź", L"", L"", L"漢"}};
    try {
        FormatRecord(polish[0]);
        ADD_FAILURE() << "written in the code page";
    } catch (const UserError& refused) {
        EXPECT_NE(refused.Message().find(L"Łódź"), std::wstring::npos);
    }
    EXPECT_EQ(EncodingFor(polish), TextEncoding::Utf8WithMark);
    const std::string file = FormatConfig(polish, EncodingFor(polish));
    EXPECT_EQ(file, "\xEF\xBB\xBF\"\xC5\x81\xC3\xB3" "d\xC5\xBA\",\"\",\"\",\"\xE6\xBC\xA2\"\r\n");
    EXPECT_EQ(ParseConfig(file), polish);
    // Code-page text whose bytes are all valid UTF-8 would read back as UTF-8: such a file is UTF-8 with its mark.
    const std::vector<ConfigRecord> lookalike = {{L"Svc", L"Running", L"Auto", L"Caf\u00C3\u00A9"}};
    EXPECT_EQ(EncodingFor(lookalike), TextEncoding::Utf8WithMark);
    EXPECT_EQ(ParseConfig(FormatConfig(lookalike, EncodingFor(lookalike))), lookalike);
}

TEST(ConfigFormat, ReadsOneRecordALineAsOlderVersionsWroteThem) {
    const ConfigRecord abcd{L"a", L"b", L"c", L"d"};
    const struct {
        const char* name;
        std::string bytes;
        std::vector<ConfigRecord> expected;
    } cases[] = {
        {"empty file", "", {}},
        {"no final line end", "\"a\",\"b\",\"c\",\"d\"", {abcd}},
        {"blank line at the end", "\"a\",\"b\",\"c\",\"d\"\r\n\r\n", {abcd}},
        {"blank lines anywhere", " \t\r\n\"a\",\"b\",\"c\",\"d\"\r\n \r\n\"a\",\"b\",\"c\",\"d\"", {abcd, abcd}},
        {"lone LF and lone CR", "\"a\",\"b\",\"c\",\"d\"\na,b,c,d\r\"a\",\"b\",\"c\",\"d\"\n", {abcd, abcd, abcd}},
        {"leading blanks dropped", "  \"a\",  b,\tc ,\"d\"  \r\n", {{L"a", L"b", L"c ", L"d"}}},
        {"text after a quote skipped", "\"a\"x,\"b\" y z,\"c\" \",\"d\"\r\n", {abcd}},
        {"a doubled quote is one quote", "\"a\"\"b\",\"\",\"\"\"\",\"d\"\r\n", {{L"a\"b", L"", L"\"", L"d"}}},
        {"quoted comma", "\"a,1\",\"b\",\"c\",\"d,\"\r\n", {{L"a,1", L"b", L"c", L"d,"}}},
        {"empty unquoted fields", ",,,\r\n", {{L"", L"", L"", L""}}},
        {"comma then end: an empty last field", "\"a\",\"b\",\"c\",", {{L"a", L"b", L"c", L""}}},
        // The first writers did not double quotes: what they wrote reads as they meant it.
        {"undoubled quotes", "\"Svc\",\"Running\",\"Auto\",\"Le \"vrai\" service\"\r\n",
         {{L"Svc", L"Running", L"Auto", L"Le \"vrai\" service"}}},
        {"undoubled quote by a comma", "\"Svc\",\"Running\",\"Auto\",\"Pilote \"X\",Y\"\r\n",
         {{L"Svc", L"Running", L"Auto", L"Pilote \"X\",Y"}}},
    };
    for (const auto& c : cases) {
        const ParsedConfig parsed = ParseConfigText(c.bytes);
        EXPECT_EQ(parsed.records, c.expected) << c.name;
        EXPECT_EQ(parsed.lines.size(), parsed.records.size()) << c.name;
    }
    const ParsedConfig lf = ParseConfigText("\n\"a\",\"b\",\"c\",\"d\"\n\n\"a\",\"b\",\"c\",\"d\"\r\n");
    EXPECT_EQ(lf.lines, (std::vector<int>{2, 4}));
    EXPECT_FALSE(lf.crlf);
    EXPECT_TRUE(ParseConfigText("\"a\",\"b\",\"c\",\"d\"\r\n").crlf);
    EXPECT_TRUE(ParseConfigText("\"a\",\"b\",\"c\",\"d\"").crlf);
}

// The line a ConfigSyntaxError names, or 0 when the bytes read.
int FaultyLine(const std::string& bytes, std::wstring* message = nullptr) {
    try {
        ParseConfigText(bytes);
        return 0;
    } catch (const ConfigSyntaxError& error) {
        if (message) *message = error.Message();
        return error.Line();
    }
}

TEST(ConfigFormat, ALineThatIsNoWholeRecordIsAnErrorNamingIt) {
    const std::string ok = "\"a\",\"Running\",\"Auto\",\"A\"\r\n";
    const struct {
        const char* name;
        std::string bytes;
        int line;
        const wchar_t* said;
    } cases[] = {
        // Read as a stream, B's name would become A's display name and every record after would shift.
        {"three fields then four", "\"A\",\"Running\",\"Auto\"\r\n\"B\",\"Stopped\",\"Manual\",\"Bb\"\r\n", 1,
         L"ligne 1 : 3 champs au lieu de 4"},
        {"three fields at the end", ok + "\"e\",\"f\",\"g\"\r\n", 2, L"3 champs au lieu de 4"},
        {"five fields", ok + ok + "\"a\",\"b\",\"c\",\"d\",\"e\"\r\n", 3, L"5 champs"},
        {"one field", "\r\n\"a\"\r\n", 2, L"1 seul champ"},
        {"truncated last line", ok + "\"e\",\"f", 2, L"ligne 2 : un champ n'est pas fermé avant la fin de la ligne"},
        {"record over two lines", "\"a\",\"b\"\r\n\"c\",\"d\"\r\n", 1, L"2 champs"},
        {"quote never closed", ok + "\"e\",\"f\",\"g\",\"h\r\n" + ok, 2, L"pas fermé"},
        {"line end inside a quoted field", "\"a\",\"b\",\"c\",\"d\r\ne\"\r\n", 1, L"pas fermé"},
        {"NUL in a field", ok + std::string("\"a\",\"b\0\",\"c\",\"d\"\r\n", 18), 2,
         L"ligne 2 : caractère de contrôle U+0000 dans un champ"},
        {"NUL between fields", std::string("\"a\"\0,\"b\",\"c\",\"d\"", 16), 1, L"U+0000 entre les champs"},
        {"tab inside a value", "\"a\",\"b\",\"c\",\"d\te\"", 1, L"U+0009 dans un champ"},
        {"C1 of the code page", "\"a\x81\",\"b\",\"c\",\"d\"", 1, L"U+0081"},
        {"C1 in UTF-8", "\xEF\xBB\xBF\"a\",\"b\",\"c\",\"d\xC2\x9D\"", 1, L"U+009D"},
        {"DEL", "\"a\",\"b\x7F\",\"c\",\"d\"", 1, L"U+007F"},
    };
    for (const auto& c : cases) {
        std::wstring said;
        EXPECT_EQ(FaultyLine(c.bytes, &said), c.line) << c.name;
        EXPECT_NE(said.find(c.said), std::wstring::npos) << c.name << ": " << ToUtf8(said);
        EXPECT_THROW(ParseConfig(c.bytes), UserError) << c.name;
    }
    // A tab before a field is a blank.
    EXPECT_EQ(FaultyLine("\t\"a\",\t\"b\"\t,\"c\",\"d\"\t\r\n"), 0);
}

TEST(ConfigFormat, ABinaryFileIsNoConfiguration) {
    std::mt19937 random(20260);
    for (int round = 0; round < 200; ++round) {
        std::string blob(1 + random() % 4096, '\0');
        for (char& byte : blob) byte = static_cast<char>(random());
        // A file of that many bytes holds a control character on its first lines.
        if (blob.find('\0') == std::string::npos) blob[random() % blob.size()] = '\0';
        EXPECT_NE(FaultyLine(blob), 0) << "round " << round;
    }
    EXPECT_NE(FaultyLine(std::string("MZ\x90\0\x03\0\0\0", 8)), 0);
}

TEST(ConfigFormat, ValuesNoServiceHasAreNamedWithTheirLine) {
    const ParsedConfig config = ParseConfigText(
        "\"A\",\"Running\",\"Auto\",\"\"\r\n"
        "\r\n"
        "\"A\",\"Stoped\",\"Disable\",\"\"\r\n"
        "\"B\",\"\",\"\",\"\"\r\n"
        "\"C\",\"running\",\"Manual\",\"\"\r\n"
        "\"D\",\"Pause Pending\",\"System\",\"\"\r\n");
    EXPECT_EQ(UnknownValues(config), (std::vector<std::wstring>{
                                         L"A : état « Stoped » inconnu, ligne 3",
                                         L"A : mode de démarrage « Disable » inconnu, ligne 3",
                                         L"C : état « running » inconnu, ligne 5",
                                     }));
}

TEST(ConfigFormat, Utf8WithoutAMarkIsRecognised) {
    const std::string bytes = "\"Beta\",\"Running\",\"Auto\",\"B\xC3\xAAta\"\n\"Us\xC5\x82uga_\xC5\x82\",\"Stopped\",\"Manual\",\"\"\n";
    const ParsedConfig parsed = ParseConfigText(bytes);
    EXPECT_EQ(parsed.encoding, TextEncoding::Utf8);
    EXPECT_EQ(parsed.records, (std::vector<ConfigRecord>{{L"Beta", L"Running", L"Auto", L"Bêta"},
                                                        {L"Usługa_ł", L"Stopped", L"Manual", L""}}));
    // The same text in the code page is no UTF-8, and reads as the code page.
    EXPECT_EQ(ParseConfigText("\"Beta\",\"\",\"\",\"B\xEAta\"").records[0].DisplayName, L"Bêta");
    EXPECT_EQ(ParseConfigText("\"Beta\",\"\",\"\",\"B\xEAta\"").encoding, TextEncoding::CodePage);
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
    // A display name that cannot be written so is written adjusted: a quote next to a comma becomes an
    // apostrophe, a control character a space.
    const std::vector<ConfigRecord> adjustable = {{L"Pilote", L"Running", L"Auto", L"Pilote \"X\",Y"},
                                                  {L"Deux", L"Stopped", L"Manual", L"deux\r\nlignes\x81"},
                                                  {L"Fax", L"Stopped", L"Manual", L"Fax"}};
    std::vector<std::wstring> adjusted;
    const std::string written = FormatConfig(adjustable, EncodingFor(adjustable), true, nullptr, &adjusted);
    EXPECT_EQ(written, "\"Pilote\",\"Running\",\"Auto\",\"Pilote \"\"X',Y\"\r\n"
                       "\"Deux\",\"Stopped\",\"Manual\",\"deux  lignes \"\r\n"
                       "\"Fax\",\"Stopped\",\"Manual\",\"Fax\"\r\n");
    EXPECT_EQ(adjusted, (std::vector<std::wstring>{L"Pilote", L"Deux"}));
    // A name, state or start mode that cannot be written exactly refuses its record, naming the service; the
    // others are written.
    for (const wchar_t* bad : {L"a\",\"b", L"x\", y", L"x ,\"y", L"deux\r\nlignes", L"nul\x01"}) {
        const std::vector<ConfigRecord> records = {{bad, L"Running", L"Auto", L""}, next};
        try {
            FormatRecord(records[0]);
            ADD_FAILURE() << "written: " << ToUtf8(bad);
        } catch (const UserError& refused) {
            EXPECT_NE(refused.Message().find(texts::kRecordNotWritable), std::wstring::npos);
        }
        EXPECT_THROW(FormatConfig(records, TextEncoding::CodePage), UserError);
        std::vector<std::wstring> refused;
        EXPECT_EQ(FormatConfig(records, EncodingFor(records), true, &refused), FormatRecord(next));
        EXPECT_EQ(refused, std::vector<std::wstring>{bad});
    }
    EXPECT_THROW(FormatRecord({L"Mauvais", L"Running\",", L"Auto", L""}), UserError);
}

TEST(ConfigFormat, AFileWithAByteOrderMarkIsReadAsUtf8) {
    // As Notepad saves it: the mark is no part of the first name, the text is UTF-8.
    const std::string bytes = "\xEF\xBB\xBF\"Spooler\",\"Running\",\"Auto\",\"Spouleur d\xE2\x80\x99impression \xC3\xA9\"\r\n";
    EXPECT_EQ(ParseConfig(bytes),
              (std::vector<ConfigRecord>{{L"Spooler", L"Running", L"Auto", L"Spouleur d\u2019impression \u00e9"}}));
    EXPECT_FALSE(EndsInsideRecord(bytes));
    EXPECT_EQ(ParseConfigText(bytes).encoding, TextEncoding::Utf8WithMark);
    EXPECT_EQ(ParseForbiddenList("\xEF\xBB\xBF\"RpcSs\",1\r\n"), (std::vector<ForbiddenEntry>{{L"RpcSs", Mark::Forbidden}}));
    // Without the mark the same bytes are still UTF-8, and read so.
    EXPECT_EQ(ParseConfig(bytes.substr(3))[0].DisplayName, L"Spouleur d\u2019impression \u00e9");
}

// Whether a value goes into a file exactly: no control character, no lone surrogate, no quote next to a comma.
bool Exact(const std::wstring& value) {
    for (size_t i = 0; i < value.size(); ++i) {
        auto c = static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(value[i]));
        bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
        if (sizeof(wchar_t) == 2 && high && i + 1 < value.size() && value[i + 1] >= 0xDC00 && value[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || high || low || c > 0x10FFFF) return false;
    }
    return value.find(L"\",") == std::wstring::npos && value.find(L",\"") == std::wstring::npos;
}

// The line the writers before UTF-8 produced: each value in the code page between quotes, quotes doubled.
std::string OldWriterLine(const ConfigRecord& r) {
    std::string line;
    for (const std::wstring* value : {&r.Name, &r.State, &r.StartMode, &r.DisplayName}) {
        std::string field = "\"";
        for (char c : ToAnsi(*value)) field += c == '"' ? std::string(2, c) : std::string(1, c);
        line += (line.empty() ? "" : ",") + field + "\"";
    }
    return line + "\r\n";
}

TEST(ConfigFormat, EveryRecordWrittenReadsBackOrIsRefusedByName) {
    std::mt19937 random(7122026);
    const std::vector<std::wstring> known = {L"Running", L"Stopped", L"Auto", L"Disabled", L""};
    int inCodePage = 0, inUtf8 = 0, refusedSome = 0;
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const bool codePageOnly = round % 3 == 0;
        auto value = [&](size_t longest) {
            return random() % 3 == 0 ? known[random() % known.size()] : RandomText(random, longest, codePageOnly);
        };
        std::vector<ConfigRecord> records(random() % 6);
        for (ConfigRecord& r : records) r = {value(10), value(4), value(4), RandomText(random, 14, codePageOnly)};

        std::vector<ConfigRecord> expected;
        std::vector<std::wstring> expectedRefused;
        bool fits = true;
        for (const ConfigRecord& r : records) {
            const std::wstring shown = WritableDisplayName(r.DisplayName);
            EXPECT_TRUE(Exact(shown));
            if (Exact(r.DisplayName)) {
                EXPECT_EQ(shown, r.DisplayName);
            }
            if (!Exact(r.Name) || !Exact(r.State) || !Exact(r.StartMode)) {
                expectedRefused.push_back(r.Name);
                continue;
            }
            expected.push_back({r.Name, r.State, r.StartMode, shown});
            for (const std::wstring& v : {r.Name, r.State, r.StartMode, shown}) fits = fits && FromAnsi(ToAnsi(v)) == v;
        }
        const TextEncoding encoding = EncodingFor(records);
        const bool crlf = round % 5 != 0;
        std::vector<std::wstring> refused;
        std::string file;
        ASSERT_NO_THROW(file = FormatConfig(records, encoding, crlf, &refused));
        EXPECT_EQ(refused, expectedRefused);
        ParsedConfig back;
        ASSERT_NO_THROW(back = ParseConfigText(file)) << ToUtf8(FromAnsi(file));
        EXPECT_EQ(back.records, expected);
        EXPECT_EQ(back.encoding, encoding);
        if (!expected.empty()) {
            EXPECT_EQ(back.crlf, crlf);
        }
        // What fits the code page is written as it always was, unless those bytes would read as UTF-8.
        std::string old;
        for (const ConfigRecord& r : expected) old += OldWriterLine(r);
        if (fits && DetectEncoding(old) == TextEncoding::CodePage) {
            EXPECT_EQ(encoding, TextEncoding::CodePage);
            if (crlf) {
                EXPECT_EQ(file, old);
            }
        } else {
            EXPECT_EQ(encoding, TextEncoding::Utf8WithMark);
        }
        inCodePage += encoding == TextEncoding::CodePage && !expected.empty();
        inUtf8 += encoding == TextEncoding::Utf8WithMark;
        refusedSome += !refused.empty();
    }
    // Every way through was taken.
    EXPECT_GT(inCodePage, 300);
    EXPECT_GT(inUtf8, 300);
    EXPECT_GT(refusedSome, 300);
}

TEST(ConfigFormat, AnAppendedRecordKeepsTheFilesEncoding) {
    ScratchDir dir;
    const ConfigRecord polish{L"Usługa_ł", L"Running", L"Auto", L"Usługa"};
    const ConfigRecord french{L"SSDPSRV", L"Stopped", L"Disabled", L"Découverte SSDP"};
    // A new file of a record the code page lacks is UTF-8 with its mark, and stays UTF-8.
    const std::wstring utf8 = dir.Path(L"utf8.cfg");
    AppendConfigRecord(utf8, polish);
    AppendConfigRecord(utf8, french);
    EXPECT_EQ(ReadFileBytes(utf8), "\xEF\xBB\xBF\"Us\xC5\x82uga_\xC5\x82\",\"Running\",\"Auto\",\"Us\xC5\x82uga\"\r\n"
                                   "\"SSDPSRV\",\"Stopped\",\"Disabled\",\"D\xC3\xA9" "couverte SSDP\"\r\n");
    // A code-page file refuses what it cannot hold, and is left as it was.
    const std::wstring ansi = dir.Path(L"ansi.cfg");
    AppendConfigRecord(ansi, french);
    const std::string before = ReadFileBytes(ansi);
    EXPECT_EQ(before, "\"SSDPSRV\",\"Stopped\",\"Disabled\",\"D\xE9" "couverte SSDP\"\r\n");
    EXPECT_THROW(AppendConfigRecord(ansi, polish), UserError);
    EXPECT_EQ(ReadFileBytes(ansi), before);
    // So does an ASCII file for code-page text that would make it all valid UTF-8, read back otherwise.
    const std::wstring ascii = dir.Path(L"ascii.cfg");
    AppendConfigRecord(ascii, {L"Spooler", L"Running", L"Auto", L""});
    EXPECT_THROW(AppendConfigRecord(ascii, {L"Svc", L"Running", L"Auto", L"Caf\u00C3\u00A9"}), UserError);
    EXPECT_EQ(ReadConfigFile(ascii).size(), 1u);
    // A UTF-8 file without a mark, with LF line ends and none on its last line.
    const std::wstring bare = dir.Path(L"bare.cfg");
    AppendFileBytes(bare, "\"B\",\"Running\",\"Auto\",\"B\xC3\xAAta\"\n\"C\",\"\",\"\",\"\"");
    AppendConfigRecord(bare, polish);
    const ParsedConfig back = ReadParsedConfigFile(bare);
    EXPECT_EQ(back.encoding, TextEncoding::Utf8);
    EXPECT_FALSE(back.crlf);
    ASSERT_EQ(back.records.size(), 3u);
    EXPECT_EQ(back.records[2], polish);
    EXPECT_EQ(ReadFileBytes(bare).back(), '\n');
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
