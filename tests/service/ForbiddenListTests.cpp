// The forbidden list reader.
#include "service/ForbiddenList.h"

#include "base/CodePage.h"
#include "base/FailureText.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace kestrane {

void PrintTo(const ForbiddenEntry& e, std::ostream* out) {
    *out << '{' << testing::PrintToString(e.Name) << ", " << static_cast<int>(e.mark) << ", "
         << testing::PrintToString(e.Reason) << '}';
}

namespace {

constexpr Mark F = Mark::Forbidden, D = Mark::Discouraged, N = Mark::None;

TEST(ForbiddenList, ReadsNamesAndMarks) {
    const struct {
        const char* name;
        std::string bytes;
        std::vector<ForbiddenEntry> expected;
    } cases[] = {
        {"empty input", "", {}},
        {"usual layout", "\"Spooler\",1\r\n\"wuauserv\",0\r\n\"Dnscache\",2\r\n",
         {{L"Spooler", F}, {L"wuauserv", D}, {L"Dnscache", N}}},
        {"marks read as numbers",
         "a, 1\r\nb,1 \r\nc,01\r\nd,1.0\r\ne,\"1\"\r\nf,-0\r\ng,x\r\nh,\r\ni,-1\r\nj,10\r\nk,1x\r\nl,0.5\r\n",
         {{L"a", F}, {L"b", F}, {L"c", F}, {L"d", F}, {L"e", F}, {L"f", D},
          {L"g", N}, {L"h", N}, {L"i", N}, {L"j", N}, {L"k", N}, {L"l", N}}},
        {"name listed twice, in file order", "\"Svc\",0\r\n\"Other\",1\r\n\"Svc\",1\r\n",
         {{L"Svc", D}, {L"Other", F}, {L"Svc", F}}},
        {"quoted name keeps commas and blanks", "\"a,b\",1\r\n\" c \",0\r\n", {{L"a,b", F}, {L" c ", D}}},
        {"unquoted name loses surrounding blanks", "  Spooler \t,1\n", {{L"Spooler", F}}},
        {"ANSI name", "\"Servi\xE7" "e\x92s\",1\r\n", {{L"Servi\u00E7e\u2019s", F}}},
        {"fields taken two at a time across lines", "\"a\"\r\n1,\"b\"\r\n0\r\n", {{L"a", F}, {L"b", D}}},
        {"last name without mark", "\"a\",1\r\n\"b\"\r\n", {{L"a", F}}},
        {"last name without mark nor line end", "\"a\",1\r\n\"b\"", {{L"a", F}}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseForbiddenList(c.bytes), c.expected) << c.name;
}

TEST(ForbiddenList, AReasonMayFollowTheMarkAndABadOneNamesItsLine) {
    EXPECT_EQ(ParseForbiddenList("\"RpcSs\",1,\"Sans lui, Windows ne d\xE9marre plus.\"\r\n\"Dhcp\",0\r\n"
                                 "\"Spooler\", 0 ,\"Pr\xE9" "f\xE9rez \xAB Manuel \xBB.\"\r\n"),
              (std::vector<ForbiddenEntry>{{L"RpcSs", F, L"Sans lui, Windows ne démarre plus."},
                                           {L"Dhcp", D},
                                           {L"Spooler", D, L"Préférez « Manuel »."}}));
    // A quote never closed would hide what follows it: the list is refused, naming the line.
    for (const char* bad : {"\"a\",1\r\n\"b,1\r\nWinDefend,1\r\n", "\"a\",1\r\n\"b\",0,\"sans fin\r\n",
                            "\"a\",1\r\n\"b\",1,raison sans guillemets\r\n", "\"a\",1\r\n\"b\",0,\"r\",\"de trop\"\r\n",
                            "\"a\",1\r\n\"b\",0,\r\n"}) {
        try {
            ParseForbiddenList(bad);
            ADD_FAILURE() << "read: " << bad;
        } catch (const UserError& error) {
            EXPECT_NE(error.Message().find(L"ligne 2"), std::wstring::npos) << bad;
        }
    }
}

// The list shipped with the program: every service once (as the service database compares names), the
// services Windows cannot start or be administered without refused, in Windows' own spelling, and none of
// the demo services (the demo installer names those it needs in the installed list). Each entry tells the
// user why, in a reason the list can carry, and the file stays in the single-byte code page the program reads
// a list without byte-order mark in. A discouraged service whose own text lets it run in "Manuel" says so in
// its reason: that is the choice to offer the user instead of "Désactivé".
TEST(ShippedForbiddenList, NamesEachServiceOnceAndRefusesTheVitalOnes) {
    std::ifstream in(std::string(KESTRANE_DATA_DIR) + "liste/interdit.txt", std::ios::binary);
    ASSERT_TRUE(in) << "data/liste/interdit.txt is missing";
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    // Saved as UTF-8 by mistake, the list would be read in another code page than the one it was written in, or
    // its accents would show as "Ã©": no byte-order mark, and no well-formed multi-byte UTF-8 sequence, which
    // French text in Windows-1252 never holds ("é" is the lone byte 0xE9 there).
    EXPECT_FALSE(bytes.starts_with("\xEF\xBB\xBF")) << "begins with a UTF-8 byte-order mark";
    const auto utf8SequenceAt = [&bytes](size_t at) -> size_t {  // its length, or 0 where there is none
        const auto byte = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
        const unsigned char lead = byte(at);
        const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                            : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        if (length == 0 || at + length > bytes.size()) return 0;
        for (size_t i = 1; i < length; ++i)
            if ((byte(at + i) & 0xC0) != 0x80) return 0;
        const unsigned char second = byte(at + 1);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
            (lead == 0xF4 && second > 0x8F))
            return 0;  // overlong, a surrogate, or past U+10FFFF
        return length;
    };
    for (size_t at = 0; at < bytes.size(); ++at)
        if (const size_t length = utf8SequenceAt(at)) {
            ADD_FAILURE() << "bytes " << at << " to " << at + length - 1
                          << " are a UTF-8 character: the list was saved as UTF-8, not Windows-1252";
            break;
        }

    std::vector<ForbiddenEntry> entries;
    try {
        entries = ParseForbiddenList(bytes);
    } catch (const UserError& error) {
        FAIL() << ToUtf8(error.Message());
    }
    ASSERT_GT(entries.size(), 30u);

    // The words the service texts use when the service may run in "Manuel": as its start mode by default, as
    // the mode to leave it in, or as one it may be put in; compared with the text's ASCII letters in lower case.
    constexpr const wchar_t* kManualAllowed[] = {
        L"en manuel par d\u00E9faut", L"par d\u00E9faut en manuel",
        L"en manuel (d\u00E9marrage sur d\u00E9clencheur) par d\u00E9faut", L"laissez-le en manuel",
        L"en manuel ou en d\u00E9sactiv\u00E9 est possible", L"(manuel ou automatique selon la version"};
    const auto asciiLower = [](std::wstring text) {
        for (wchar_t& c : text)
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        return text;
    };
    const auto plainName = [](const std::wstring& name) {  // one a file of data/ServTxt/serv can be named after
        if (name.empty() || name.front() == L'.') return false;
        for (wchar_t c : name)
            if (!((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'.' ||
                  c == L'_' || c == L'-'))
                return false;
        return true;
    };

    std::set<std::wstring> seen;
    std::map<std::wstring, Mark> marks;
    std::set<std::wstring> manualAllowed;  // the discouraged services whose text lets them run in "Manuel"
    for (const ForbiddenEntry& e : entries) {
        const std::string name = ToUtf8(e.Name);
        std::wstring lower = e.Name;
        for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
        EXPECT_TRUE(seen.insert(lower).second) << name << ": listed twice";
        EXPECT_NE(lower.rfind(L"kstdemo", 0), 0u) << name << ": a demo service";
        EXPECT_NE(e.mark, Mark::None) << name;
        marks[e.Name] = e.mark;

        EXPECT_FALSE(e.Reason.empty()) << name << ": no reason for the user";
        EXPECT_EQ(e.Reason.find_first_of(L"\r\n\""), std::wstring::npos)
            << name << ": a line end or a double quote in the reason, which the list cannot be written with";

        if (e.mark != Mark::Discouraged) continue;
        if (!plainName(e.Name)) {
            ADD_FAILURE() << name << ": not a service name";
            continue;
        }
        std::ifstream textFile(std::string(KESTRANE_DATA_DIR) + "ServTxt/serv/" + name + ".txt", std::ios::binary);
        if (!textFile) continue;  // no text to go by
        const std::string textBytes((std::istreambuf_iterator<char>(textFile)), std::istreambuf_iterator<char>());
        std::string_view textView = textBytes;
        const bool utf8 = TakeUtf8Mark(textView);
        const std::wstring text = asciiLower(FieldText(textView, utf8));
        bool manual = false;
        for (const wchar_t* words : kManualAllowed) manual = manual || text.find(words) != std::wstring::npos;
        if (!manual) continue;
        manualAllowed.insert(e.Name);
        EXPECT_NE(e.Reason.find(L"\u00AB Manuel \u00BB"), std::wstring::npos)
            << name << ": its text lets it run in Manuel, and the reason does not advise \u00AB Manuel \u00BB";
    }
    // The words above still find what the texts say: Windows Update may be left in Manuel, while a spooler in
    // Manuel is never started and nothing prints.
    EXPECT_EQ(manualAllowed.count(L"wuauserv"), 1u) << "data/ServTxt/serv/wuauserv.txt no longer found in Manuel";
    EXPECT_EQ(manualAllowed.count(L"Spooler"), 0u) << "data/ServTxt/serv/Spooler.txt read as allowing Manuel";

    for (const wchar_t* vital : {L"RpcSs", L"DcomLaunch", L"RpcEptMapper", L"LSM", L"SamSs", L"EventLog", L"PlugPlay",
                                 L"Power", L"BrokerInfrastructure", L"CoreMessagingRegistrar", L"ProfSvc", L"gpsvc",
                                 L"Winmgmt", L"Schedule", L"CryptSvc"}) {
        ASSERT_EQ(marks.count(vital), 1u) << "missing, or not in Windows' spelling";
        EXPECT_EQ(marks[vital], Mark::Forbidden);
    }
    for (const wchar_t* touchy : {L"Audiosrv", L"Spooler", L"wuauserv", L"mpssvc", L"WinDefend", L"wscsvc", L"Dhcp"}) {
        ASSERT_EQ(marks.count(touchy), 1u) << "missing, or not in Windows' spelling";
        EXPECT_EQ(marks[touchy], Mark::Discouraged);
    }
}

}  // namespace
}  // namespace kestrane
