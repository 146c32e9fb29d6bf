// The forbidden list reader.
#include "service/ForbiddenList.h"

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
        {"unbalanced quote", "\"a\",1\r\n\"b,1\r\n", {{L"a", F}}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseForbiddenList(c.bytes), c.expected) << c.name;
}

TEST(ForbiddenList, AReasonMayFollowTheMarkAndABadOneNamesItsLine) {
    EXPECT_EQ(ParseForbiddenList("\"RpcSs\",1,\"Sans lui, Windows ne d\xE9marre plus.\"\r\n\"Dhcp\",0\r\n"
                                 "\"Spooler\", 0 ,\"Pr\xE9" "f\xE9rez \xAB Manuel \xBB.\"\r\n"),
              (std::vector<ForbiddenEntry>{{L"RpcSs", F, L"Sans lui, Windows ne démarre plus."},
                                           {L"Dhcp", D},
                                           {L"Spooler", D, L"Préférez « Manuel »."}}));
    for (const char* bad : {"\"a\",1\r\n\"b\",1,raison sans guillemets\r\n", "\"a\",1\r\n\"b\",0,\"r\",\"de trop\"\r\n",
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
// the demo services (the demo installer names those it needs in the installed list).
TEST(ShippedForbiddenList, NamesEachServiceOnceAndRefusesTheVitalOnes) {
    std::ifstream in(std::string(KESTRANE_DATA_DIR) + "liste/interdit.txt", std::ios::binary);
    ASSERT_TRUE(in) << "data/liste/interdit.txt is missing";
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<ForbiddenEntry> entries = ParseForbiddenList(bytes);
    ASSERT_GT(entries.size(), 30u);
    std::set<std::wstring> seen;
    std::map<std::wstring, Mark> marks;
    for (const ForbiddenEntry& e : entries) {
        std::wstring lower = e.Name;
        for (auto& c : lower) c = static_cast<wchar_t>(std::towlower(c));
        EXPECT_TRUE(seen.insert(lower).second) << "listed twice";
        EXPECT_NE(lower.rfind(L"kstdemo", 0), 0u) << "a demo service";
        EXPECT_NE(e.mark, Mark::None);
        marks[e.Name] = e.mark;
    }
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
