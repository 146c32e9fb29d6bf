// libFuzzer target for the readers of configuration files and of the forbidden list (see fuzz.sh).
// Besides the sanitizers' own checks, it asserts properties that tie the readers, the writer and the code
// page together; any of them failing aborts the run with the input saved.
#include "base/CodePage.h"
#include "base/FailureText.h"
#include "base/QuotedFields.h"
#include "profile/ConfigFormat.h"
#include "service/ForbiddenList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace kestrane;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool HasQuote(const std::wstring& value) { return value.find(L'"') != std::wstring::npos; }

std::wstring TrimTrailingBlanks(std::wstring value) {
    while (!value.empty() && (value.back() == L' ' || value.back() == L'\t')) value.pop_back();
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The built-in cp1252 table loses no byte.
    Require(ToAnsi(FromAnsi(bytes)) == bytes, "FromAnsi then ToAnsi gives the bytes back");

    const std::vector<ConfigRecord> records = ParseConfig(bytes);
    // The forbidden list's reader refuses a third field that is no reason, naming its line; it reads
    // nothing else wrongly.
    // (Where an entry takes a reason, the two readers group the fields differently from there on.)
    std::vector<ForbiddenEntry> entries;
    try {
        entries = ParseForbiddenList(bytes);
    } catch (const UserError& error) {
        Require(error.Message().find(L"ligne ") != std::wstring::npos, "a refused list names the line");
    }
    // What the writer produces from any record read is read back the same (in the code page it writes:
    // a record read from UTF-8 may hold what it cannot), quotes in values included. A value it refuses
    // holds a line end or a quote next to a comma.
    auto inCodePage = [](const std::wstring& text) { return FromAnsi(ToAnsi(text)); };
    std::vector<ConfigRecord> writable;
    std::string file;
    for (const ConfigRecord& r : records) {
        try {
            file += FormatRecord(r);
        } catch (const UserError&) {
            bool refusable = false;
            for (const std::wstring* v : {&r.Name, &r.State, &r.StartMode, &r.DisplayName})
                refusable = refusable || v->find_first_of(L"\r\n") != std::wstring::npos ||
                            v->find(L"\",") != std::wstring::npos || v->find(L",\"") != std::wstring::npos;
            Require(refusable, "only a value with a line end or a quote next to a comma is refused");
            continue;
        }
        writable.push_back({inCodePage(r.Name), inCodePage(r.State), inCodePage(r.StartMode), inCodePage(r.DisplayName)});
    }
    Require(ParseConfig(file) == writable, "written records read back unchanged");

    // Likewise for the forbidden list in its usual layout: quoted name, comma, bare mark, the reason
    // quoted when there is one, line end.
    std::vector<ForbiddenEntry> listed;
    std::string list;
    for (const ForbiddenEntry& e : entries) {
        if (HasQuote(e.Name)) continue;
        std::optional<std::string> reason = QuotedField(ToAnsi(e.Reason));
        if (!e.Reason.empty() && !reason) continue;
        listed.push_back({FromAnsi(ToAnsi(e.Name)), e.mark, FromAnsi(ToAnsi(e.Reason))});
        const char* mark = e.mark == Mark::Forbidden ? "1" : e.mark == Mark::Discouraged ? "0" : "7";
        list += '"' + ToAnsi(e.Name) + "\"," + mark + (e.Reason.empty() ? "" : "," + *reason) + "\r\n";
    }
    Require(ParseForbiddenList(list) == listed, "listed entries read back unchanged");
    return 0;
}
