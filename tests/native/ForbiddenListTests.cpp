// The forbidden list reader.
#include "service/ForbiddenList.h"

#include <gtest/gtest.h>

namespace kestrane {

void PrintTo(const ForbiddenEntry& e, std::ostream* out) {
    *out << '{' << testing::PrintToString(e.Name) << ", " << static_cast<int>(e.mark) << '}';
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

}  // namespace
}  // namespace kestrane
