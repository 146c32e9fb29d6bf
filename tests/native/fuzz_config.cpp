// libFuzzer target for the readers of configuration files and of the forbidden list (see fuzz.sh).
// Besides the sanitizers' own checks, it asserts properties that tie the readers, the writer, the encodings
// and the code page together; any of them failing aborts the run with the input saved.
#include "base/CodePage.h"
#include "base/FailureText.h"
#include "base/QuotedFields.h"
#include "profile/ConfigFormat.h"
#include "service/ForbiddenList.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <type_traits>

namespace {

using namespace kestrane;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool HasQuote(const std::wstring& value) { return value.find(L'"') != std::wstring::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The built-in cp1252 table loses no byte.
    Require(ToAnsi(FromAnsi(bytes)) == bytes, "FromAnsi then ToAnsi gives the bytes back");

    // A file is UTF-8 only when its bytes are exactly the UTF-8 of their text.
    const TextEncoding encoding = DetectEncoding(bytes);
    if (encoding == TextEncoding::Utf8)
        Require(EncodeExact(DecodeText(bytes, encoding), encoding) == std::string(bytes), "UTF-8 detected only for exact UTF-8");

    // The configuration reader either reads one record a line, none holding a control character, or names a line
    // of the file that is no record.
    ParsedConfig parsed;
    try {
        parsed = ParseConfigText(bytes);
    } catch (const ConfigSyntaxError& error) {
        long lines = 1 + std::count(bytes.begin(), bytes.end(), '\n') + std::count(bytes.begin(), bytes.end(), '\r');
        Require(error.Line() >= 1 && error.Line() <= lines, "a refused configuration names one of its lines");
        Require(error.Message().rfind(L"ligne " + std::to_wstring(error.Line()) + L" : ", 0) == 0,
                "a refused configuration's message begins with its line");
    }
    Require(parsed.records.size() == parsed.lines.size(), "a line for each record");
    for (size_t i = 1; i < parsed.lines.size(); ++i) Require(parsed.lines[i - 1] < parsed.lines[i], "one record a line");
    for (const ConfigRecord& r : parsed.records)
        for (const std::wstring* v : {&r.Name, &r.State, &r.StartMode, &r.DisplayName})
            for (wchar_t c : *v)
                Require(!IsControlCharacter(static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c))),
                        "no control character in a value read");
    if (!parsed.records.empty()) Require(parsed.encoding == encoding, "the encoding read is the one detected");

    // What the writer produces from any record read is read back the same, quotes in values included, in the
    // encoding it chooses; display names as written. A record it refuses has a name, state or start mode with a
    // quote next to a comma (a value read holds no control character).
    std::vector<ConfigRecord> writable;
    for (const ConfigRecord& r : parsed.records) {
        bool refusable = false;
        for (const std::wstring* v : {&r.Name, &r.State, &r.StartMode})
            refusable = refusable || v->find(L"\",") != std::wstring::npos || v->find(L",\"") != std::wstring::npos;
        if (!refusable) writable.push_back({r.Name, r.State, r.StartMode, WritableDisplayName(r.DisplayName)});
    }
    std::vector<std::wstring> refused;
    const TextEncoding written = EncodingFor(parsed.records);
    const std::string file = FormatConfig(parsed.records, written, parsed.crlf, &refused);
    Require(refused.size() == parsed.records.size() - writable.size(), "only a value with a quote next to a comma is refused");
    const ParsedConfig back = ParseConfigText(file);
    Require(back.records == writable, "written records read back unchanged");
    Require(back.encoding == written || writable.empty(), "written records read back in their encoding");

    // The forbidden list's reader refuses a third field that is no reason, naming its line; it reads
    // nothing else wrongly.
    std::vector<ForbiddenEntry> entries;
    try {
        entries = ParseForbiddenList(bytes);
    } catch (const UserError& error) {
        Require(error.Message().find(L"ligne ") != std::wstring::npos, "a refused list names the line");
    }
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
    // Written here in the code page: read back the same, unless those bytes happen to be valid UTF-8 holding
    // a non-ASCII character, which the encoding rule of every file reads as UTF-8 (a list is edited by hand,
    // in whatever encoding the editor keeps).
    if (DetectEncoding(list) == TextEncoding::CodePage)
        Require(ParseForbiddenList(list) == listed, "listed entries read back unchanged");
    return 0;
}
