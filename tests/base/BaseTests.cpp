// The bottom layer, natively: code pages, UTF-8 and text files.
#include "base/CodePage.h"
#include "base/TextFile.h"

#include "NativeScratch.h"

#include <gtest/gtest.h>

#include <optional>

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

TEST(CodePage, EncodingOfAFileIsTheMarkOrStrictUtf8OrTheCodePage) {
    const struct {
        const char* name;
        std::string bytes;
        TextEncoding encoding;
    } cases[] = {
        {"empty", "", TextEncoding::CodePage},
        {"ASCII", "\"a\",\"b\"\r\n", TextEncoding::CodePage},
        {"mark", "\xEF\xBB\xBF", TextEncoding::Utf8WithMark},
        {"mark then code page", "\xEF\xBB\xBF\xE9", TextEncoding::Utf8WithMark},
        {"UTF-8", "B\xC3\xAAta Us\xC5\x82uga \xE6\xBC\xA2 \xF0\x9F\x98\x80", TextEncoding::Utf8},
        {"code page", "B\xEAta", TextEncoding::CodePage},
        {"overlong", "\xC0\xAF", TextEncoding::CodePage},
        {"overlong of three", "\xE0\x80\xAF", TextEncoding::CodePage},
        {"surrogate", "\xED\xA0\x80", TextEncoding::CodePage},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", TextEncoding::CodePage},
        {"cut short", "B\xC3\xAAta\xC3", TextEncoding::CodePage},
        {"lone continuation", "\xC3\xAA\xAA", TextEncoding::CodePage},
    };
    for (const auto& c : cases) EXPECT_EQ(DetectEncoding(c.bytes), c.encoding) << c.name;
    EXPECT_EQ(DecodeText("\xEF\xBB\xBF" "B\xC3\xAAta", TextEncoding::Utf8WithMark), L"Bêta");
    EXPECT_EQ(DecodeText("B\xC3\xAAta", TextEncoding::Utf8WithMark), L"Bêta");
    EXPECT_EQ(DecodeText("B\xC3\xAAta", TextEncoding::CodePage), L"BÃªta");
}

TEST(CodePage, ExactEncodingNeverWritesAQuestionMarkForACharacter) {
    EXPECT_EQ(EncodeExact(L"é€’ ?", TextEncoding::CodePage), std::optional<std::string>("\xE9\x80\x92 ?"));
    for (const wchar_t* lacking : {L"ł", L"Ж", L"Ω", L"漢", L"a\U0001F600"}) {
        EXPECT_EQ(EncodeExact(lacking, TextEncoding::CodePage), std::nullopt) << ToUtf8(lacking);
        EXPECT_FALSE(FitsCodePage(lacking));
        EXPECT_EQ(DecodeText(*EncodeExact(lacking, TextEncoding::Utf8), TextEncoding::Utf8), lacking);
    }
    const std::wstring lone = std::wstring(L"a") + static_cast<wchar_t>(0xDC00);
    EXPECT_EQ(EncodeExact(lone, TextEncoding::Utf8), std::nullopt);
    EXPECT_EQ(EncodeExact(lone, TextEncoding::CodePage), std::nullopt);
    EXPECT_EQ(EncodeExact(L"\u0141", TextEncoding::Utf8WithMark), std::optional<std::string>("\xC5\x81"));  // no mark
    EXPECT_TRUE(FitsCodePage(L"Découverte SSDP \u0081"));
    EXPECT_EQ(VisibleText(std::wstring(L"a\0b\r\n\u0081", 6) + static_cast<wchar_t>(0xD800)),
              L"a<U+0000>b<U+000D><U+000A><U+0081>\uFFFD");
}

}  // namespace
}  // namespace kestrane
