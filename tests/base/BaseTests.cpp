// The bottom layer, natively: code pages, UTF-8 and text files.
#include "base/CodePage.h"
#include "base/TextFile.h"

#include "NativeScratch.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

TEST(CodePage, Windows1252BothWays) {
    EXPECT_EQ(FromAnsi("\x80\x92\x9C\x8C\x9F\xA0\xE9\xFF\x81\x9D"), L"€’œŒŸ\u00A0éÿ\u0081\u009D");
    // Every byte survives the round trip, the five that cp1252 leaves undefined included.
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(ToAnsi(FromAnsi(all)), all);
    EXPECT_EQ(ToAnsi(L"a\U0001F600b"), "a??b");  // two UTF-16 units on Windows, whatever wchar_t is here
}

TEST(TextFile, AppendsCreatesAndReportsFailures) {
    ScratchDir dir;
    const std::wstring file = dir.Path(L"données.txt");
    EXPECT_FALSE(FileExists(file));
    EXPECT_THROW(ReadFileBytes(file), FileError);
    AppendFileBytes(file, std::string("a\0b\r\n", 5));
    AppendFileBytes(file, "\xE9");
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(ReadFileBytes(file), std::string("a\0b\r\n\xE9", 6));

    EXPECT_FALSE(FileExists(dir.Path(L"")));  // a folder is not a file
    EXPECT_THROW(ReadFileBytes(dir.Path(L"")), FileError);
    try {
        AppendFileBytes(dir.Path(L"missing\\or/missing/x.cfg"), "x");
        ADD_FAILURE() << "appending into a missing folder must fail";
    } catch (const FileError& error) {
        EXPECT_EQ(error.Path(), dir.Path(L"missing\\or/missing/x.cfg"));
    }
}

TEST(CodePage, Utf8OfEveryPlane) {
    EXPECT_EQ(ToUtf8(L"é€"), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(ToUtf8(std::wstring(L"a") + static_cast<wchar_t>(0xD800) + L"b"), "a\xEF\xBF\xBD" "b");
}

}  // namespace
}  // namespace kestrane
