// Configuration files written and read on Windows, where the text goes through the system code page.
#include "Scratch.h"

#include "base/CodePage.h"

#include "profile/ConfigFiles.h"
#include "profile/ConfigFormat.h"
#include "base/TextFile.h"

namespace kestrane::test {
namespace {

TEST(ConfigFileOnWindows, FrenchLettersGoThroughTheSystemCodePageByteExact) {
    ASSERT_EQ(GetACP(), 1252u) << "the program addresses French systems, whose code page is Windows-1252";
    ScratchFolder folder;
    std::wstring file = folder.App() + L"Config\\accents.cfg";
    ConfigRecord record{L"Spooler", L"Running", L"Auto", L"Impression, été à ça œ ’ € è"};
    AppendConfigRecord(file, record);
    std::string expected = "\"Spooler\",\"Running\",\"Auto\",\"Impression, \xe9t\xe9 \xe0 \xe7" "a \x9c \x92 \x80 \xe8\"\r\n";
    EXPECT_EQ(ReadFileBytes(file), expected);
    // A character the code page lacks is never written as '?': appended to a code-page file, refused (the
    // file left as it was); the whole file written, it is UTF-8 with its mark and every character comes back.
    ConfigRecord omega{L"Usługa_ł", L"Stopped", L"Manual", L"Ωmega Служба"};
    EXPECT_THROW(AppendConfigRecord(file, omega), UserError);
    EXPECT_EQ(ReadFileBytes(file), expected);
    WriteConfigFile(file, {record, omega});
    EXPECT_EQ(ReadFileBytes(file).substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(ReadConfigFile(file), (std::vector<ConfigRecord>{record, omega}));
}

TEST(ConfigFileOnWindows, WriterReproducesTheHandWrittenFile) {
    ScratchFolder folder;
    std::string source = KESTRANE_SOURCE_DIR;
    if (!source.empty() && source[0] == '/') source = "Z:" + source;
    std::wstring golden(source.begin(), source.end());
    golden += L"/tests/profile/golden/example.cfg";
    std::string handWritten = ReadFileBytes(golden);
    std::wstring file = folder.App() + L"Config\\copie.cfg";
    for (const ConfigRecord& record : ParseConfig(handWritten)) AppendConfigRecord(file, record);
    EXPECT_EQ(ReadFileBytes(file), handWritten);
}

TEST(CodePage, FilesStaySingleByteWhateverTheSystemCodePage) {
    ScratchFolder folder;
    std::wstring file = folder.App() + L"Config\\pages.cfg";
    const ConfigRecord record{L"Spooler", L"Running", L"Auto", L"Spouleur d'impression é€"};
    const std::string expected = "\"Spooler\",\"Running\",\"Auto\",\"Spouleur d'impression \xE9\x80\"\r\n";
    for (unsigned page : {65001u, 932u, 936u, 1252u}) {
        SCOPED_TRACE(page);
        SetAnsiCodePageForTesting(page);
        DeleteFileW(file.c_str());
        AppendConfigRecord(file, record);
        EXPECT_EQ(ReadFileBytes(file), expected);
        std::vector<ConfigRecord> back = ReadConfigFile(file);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0], record);
    }
    // A single-byte code page of the system is the one used: a Central European system keeps its own.
    SetAnsiCodePageForTesting(1250);
    EXPECT_EQ(ToAnsi(L"ł"), "\xB3");
    SetAnsiCodePageForTesting(0);
    EXPECT_EQ(FileCodePageFor(65001, false), 1252u);
    EXPECT_EQ(FileCodePageFor(932, false), 1252u);
    EXPECT_EQ(FileCodePageFor(1251, true), 1251u);
}

}  // namespace
}  // namespace kestrane::test
