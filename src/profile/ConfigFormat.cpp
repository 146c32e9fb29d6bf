#include "profile/ConfigFormat.h"

#include "base/CodePage.h"
#include "base/FailureText.h"
#include "base/TextFile.h"
#include "base/Texts.h"

#include <algorithm>

namespace kestrane {

ConfigSyntaxError::ConfigSyntaxError(int line, const std::wstring& what)
    : UserError(texts::kConfigLine + std::to_wstring(line) + L" : " + what), line_(line) {}

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsBlankCharacter(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring Hex(char32_t c) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring out;
    for (int shift = c > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) out += kDigits[(c >> shift) & 0xF];
    return out;
}

// A line of the file as fields, read as the quoted-field stream reads it (see QuotedFields.h), within the line.
struct QuotedLine {
    std::vector<std::wstring> fields;
    bool skippedText = false;  // something other than blanks between a closing quote and its comma
    bool unterminated = false;  // a quote that the line ends before closing
    // The first control character of the line, and whether it is inside a value; a tab counts only there.
    char32_t control = 0;
    bool controlInField = false;
    bool hasControl = false;
};

QuotedLine SplitQuoted(std::wstring_view text) {
    QuotedLine out;
    auto look = [&](size_t from, size_t to, bool inField) {
        for (size_t i = from, units = 1; i < to && !out.hasControl; i += units) {
            char32_t c = CharacterAt(text, i, units);
            if (c == kNoCharacter || !IsControlCharacter(c) || (!inField && c == U'\t')) continue;
            out.hasControl = true;
            out.control = c;
            out.controlInField = inField;
        }
    };
    size_t pos = 0;
    for (;;) {
        size_t begin = pos;
        while (pos < text.size() && IsBlankCharacter(text[pos])) ++pos;
        look(begin, pos, false);
        if (pos < text.size() && text[pos] == L'"') {
            std::wstring value;
            size_t from = pos + 1;
            for (;;) {
                size_t close = text.find(L'"', from);
                if (close == std::wstring_view::npos) {
                    look(from, text.size(), true);
                    out.unterminated = true;
                    return out;
                }
                look(from, close, true);
                value.append(text.substr(from, close - from));
                if (close + 1 < text.size() && text[close + 1] == L'"') {
                    value += L'"';
                    from = close + 2;
                    continue;
                }
                pos = close + 1;
                break;
            }
            size_t after = pos;
            pos = std::min(text.find(L',', pos), text.size());
            look(after, pos, false);
            for (size_t i = after; i < pos; ++i)
                if (!IsBlankCharacter(text[i])) out.skippedText = true;
            out.fields.push_back(std::move(value));
        } else {
            size_t end = std::min(text.find(L',', pos), text.size());
            look(pos, end, true);
            out.fields.emplace_back(text.substr(pos, end - pos));
            pos = end;
        }
        if (pos >= text.size()) return out;
        ++pos;  // the comma: a field follows, empty if the line ends here
    }
}

// The line as the first writers wrote it: each value between quotes, taken as it was, joined by commas. Nothing
// unless that gives exactly four values, none of them holding a tab.
std::optional<std::vector<std::wstring>> SplitAsFirstWriters(std::wstring_view text) {
    while (!text.empty() && IsBlankCharacter(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlankCharacter(text.back())) text.remove_suffix(1);
    if (text.size() < 2 || text.front() != L'"' || text.back() != L'"') return std::nullopt;
    text = text.substr(1, text.size() - 2);
    std::vector<std::wstring> values;
    for (;;) {
        size_t separator = text.find(L"\",\"");
        values.emplace_back(text.substr(0, separator));
        if (values.back().find(L'\t') != std::wstring::npos || values.size() > 4) return std::nullopt;
        if (separator == std::wstring_view::npos) break;
        text.remove_prefix(separator + 3);
    }
    if (values.size() != 4) return std::nullopt;
    return values;
}

// The record of one line that is not blank. Throws ConfigSyntaxError.
ConfigRecord ReadLine(std::wstring_view text, int line) {
    QuotedLine quoted = SplitQuoted(text);
    if (quoted.hasControl)
        throw ConfigSyntaxError(line, texts::kConfigControl + Hex(quoted.control) +
                                          (quoted.controlInField ? texts::kConfigControlInField
                                                                 : texts::kConfigControlOutsideFields));
    std::vector<std::wstring>* fields = &quoted.fields;
    bool whole = !quoted.unterminated && quoted.fields.size() == 4;
    // A value with quotes the first writers did not double: the quoted reading drops or shifts text.
    std::optional<std::vector<std::wstring>> first;
    if (!whole || quoted.skippedText) {
        first = SplitAsFirstWriters(text);
        if (first) fields = &*first;
    }
    if (!first && !whole) {
        if (quoted.unterminated) throw ConfigSyntaxError(line, texts::kConfigUnclosed);
        size_t count = quoted.fields.size();
        throw ConfigSyntaxError(line, count == 1 ? std::wstring(texts::kConfigOneField)
                                                 : std::to_wstring(count) + texts::kConfigFieldCount);
    }
    std::vector<std::wstring>& v = *fields;
    return {std::move(v[0]), std::move(v[1]), std::move(v[2]), std::move(v[3])};
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

ParsedConfig ParseConfigText(std::string_view bytes) {
    ParsedConfig config;
    config.encoding = DetectEncoding(bytes);
    if (config.encoding == TextEncoding::Utf8WithMark) bytes.remove_prefix(kUtf8Mark.size());
    TextEncoding lines = config.encoding == TextEncoding::CodePage ? TextEncoding::CodePage : TextEncoding::Utf8;
    size_t firstEnd = std::min(bytes.find_first_of("\r\n"), bytes.size());
    config.crlf = firstEnd == bytes.size() || bytes.substr(firstEnd, 2) == "\r\n";
    int line = 0;
    for (size_t pos = 0; pos < bytes.size();) {
        ++line;
        size_t end = pos;
        while (end < bytes.size() && !IsLineEnd(bytes[end])) ++end;
        std::wstring text = DecodeText(bytes.substr(pos, end - pos), lines);
        pos = end;
        if (pos < bytes.size()) pos += bytes.substr(pos, 2) == "\r\n" ? 2 : 1;
        if (std::all_of(text.begin(), text.end(), IsBlankCharacter)) continue;
        config.records.push_back(ReadLine(text, line));
        config.lines.push_back(line);
    }
    return config;
}

std::vector<ConfigRecord> ParseConfig(std::string_view bytes) { return ParseConfigText(bytes).records; }

bool EndsInsideRecord(std::string_view bytes) {
    try {
        ParseConfigText(bytes);
        return false;
    } catch (const ConfigSyntaxError&) {
        return true;
    }
}

bool IsKnownState(const std::wstring& state) {
    for (const wchar_t* known : {L"Running", L"Stopped", L"Paused", L"Start Pending", L"Stop Pending",
                                 L"Continue Pending", L"Pause Pending"})
        if (state == known) return true;
    return false;
}

bool IsKnownStartMode(const std::wstring& startMode) {
    for (const wchar_t* known : {L"Auto", L"Manual", L"Disabled", L"Boot", L"System"})
        if (startMode == known) return true;
    return false;
}

std::vector<std::wstring> UnknownValues(const ParsedConfig& config) {
    std::vector<std::wstring> lines;
    for (size_t i = 0; i < config.records.size(); ++i) {
        const ConfigRecord& r = config.records[i];
        std::wstring name = r.Name.empty() ? std::wstring(texts::kUnnamedRecord) : VisibleText(r.Name);
        std::wstring where = texts::kUnknownValueLine + std::to_wstring(i < config.lines.size() ? config.lines[i] : int(i) + 1);
        if (!r.State.empty() && !IsKnownState(r.State))
            lines.push_back(name + texts::kUnknownState + VisibleText(r.State) + where);
        if (!r.StartMode.empty() && !IsKnownStartMode(r.StartMode))
            lines.push_back(name + texts::kUnknownStartMode + VisibleText(r.StartMode) + where);
    }
    return lines;
}

namespace {

// Whether a double quote at `i` touches a comma: a reader splitting the line on "," would end the field there.
bool QuoteByComma(std::wstring_view text, size_t i) {
    return text[i] == L'"' && ((i > 0 && text[i - 1] == L',') || (i + 1 < text.size() && text[i + 1] == L','));
}

bool IsWritableValue(const std::wstring& value) {
    for (size_t i = 0, units = 1; i < value.size(); i += units) {
        char32_t c = CharacterAt(value, i, units);
        if (c == kNoCharacter || IsControlCharacter(c) || QuoteByComma(value, i)) return false;
    }
    return true;
}

std::wstring Quoted(const std::wstring& value) {
    std::wstring out = L"\"";
    for (wchar_t c : value) {
        out += c;
        if (c == L'"') out += L'"';
    }
    return out + L'"';
}

// The record's line in `encoding`, ended by `lineEnd`. Throws UserError.
std::string EncodedLine(const ConfigRecord& record, TextEncoding encoding, std::string_view lineEnd) {
    if (!IsWritableRecord(record)) throw UserError(texts::kRecordNotWritable + VisibleText(record.Name));
    std::wstring line = Quoted(record.Name) + L"," + Quoted(record.State) + L"," + Quoted(record.StartMode) + L"," +
                        Quoted(WritableDisplayName(record.DisplayName));
    std::optional<std::string> bytes = EncodeExact(line, encoding);
    if (!bytes) throw UserError(texts::kRecordNotInEncoding + VisibleText(record.Name));
    return *bytes += lineEnd;
}

}  // namespace

std::wstring WritableDisplayName(const std::wstring& displayName) {
    std::wstring out;
    out.reserve(displayName.size());
    for (size_t i = 0, units = 1; i < displayName.size(); i += units) {
        char32_t c = CharacterAt(displayName, i, units);
        if (c == kNoCharacter)
            out += static_cast<wchar_t>(0xFFFD);
        else if (IsControlCharacter(c))
            out += L' ';
        else if (QuoteByComma(displayName, i))
            out += L'\'';
        else
            out.append(displayName, i, units);
    }
    return out;
}

bool IsWritableRecord(const ConfigRecord& record) {
    return IsWritableValue(record.Name) && IsWritableValue(record.State) && IsWritableValue(record.StartMode);
}

std::string FormatRecord(const ConfigRecord& record, TextEncoding encoding) {
    return EncodedLine(record, encoding, "\r\n");
}

TextEncoding EncodingFor(const std::vector<ConfigRecord>& records) {
    // The values' bytes, each after a quote as in the file: valid UTF-8 in the file if and only if here.
    std::string values = "\"";
    for (const ConfigRecord& r : records) {
        if (!IsWritableRecord(r)) continue;
        for (const std::wstring& value : {r.Name, r.State, r.StartMode, WritableDisplayName(r.DisplayName)}) {
            std::optional<std::string> bytes = EncodeExact(value, TextEncoding::CodePage);
            if (!bytes) return TextEncoding::Utf8WithMark;
            values += *bytes + '"';
        }
    }
    return DetectEncoding(values) == TextEncoding::CodePage ? TextEncoding::CodePage : TextEncoding::Utf8WithMark;
}

std::string FormatConfig(const std::vector<ConfigRecord>& records, TextEncoding encoding, bool crlf,
                         std::vector<std::wstring>* refused, std::vector<std::wstring>* adjusted) {
    std::string out = encoding == TextEncoding::Utf8WithMark ? std::string(kUtf8Mark) : std::string();
    for (const ConfigRecord& record : records) {
        if (!IsWritableRecord(record) && refused) {
            refused->push_back(record.Name);
            continue;
        }
        out += EncodedLine(record, encoding, crlf ? "\r\n" : "\n");
        if (adjusted && WritableDisplayName(record.DisplayName) != record.DisplayName) adjusted->push_back(record.Name);
    }
    return out;
}

void AppendConfigRecord(const std::wstring& file, const ConfigRecord& record) {
    std::string bytes = FileExists(file) ? ReadFileBytes(file) : std::string();
    std::string added;
    TextEncoding encoding;
    if (bytes.empty()) {
        encoding = EncodingFor({record});
        if (encoding == TextEncoding::Utf8WithMark) added = kUtf8Mark;
        added += FormatRecord(record, encoding);
    } else {
        encoding = DetectEncoding(bytes);
        std::string_view content = bytes;
        if (encoding == TextEncoding::Utf8WithMark) content.remove_prefix(kUtf8Mark.size());
        // The file's own line ends (its first one), CR LF when it has none.
        std::string lineEnd = "\r\n";
        size_t firstEnd = content.find_first_of("\r\n");
        if (firstEnd != std::string_view::npos && content.substr(firstEnd, 2) != "\r\n") lineEnd = content[firstEnd];
        if (!content.empty() && !IsLineEnd(content.back())) added = lineEnd;
        added += EncodedLine(record, encoding, lineEnd);
    }
    // The file must read back in the encoding it was written in: code-page bytes that all happen to be valid
    // UTF-8 ("Ã©") would not.
    if (DetectEncoding(bytes + added) != encoding) throw UserError(texts::kRecordNotInEncoding + VisibleText(record.Name));
    AppendFileBytes(file, added);
}

ParsedConfig ReadParsedConfigFile(const std::wstring& file) { return ParseConfigText(ReadFileBytes(file)); }

std::vector<ConfigRecord> ReadConfigFile(const std::wstring& file) { return ParseConfig(ReadFileBytes(file)); }

std::wstring DefaultConfigName(int day, int month, int year) {
    return std::to_wstring(day) + L"-" + std::to_wstring(month) + L"-" + std::to_wstring(year);
}

bool IsConfigFileName(std::wstring_view fileName) {
    constexpr std::wstring_view kExtension = L".cfg";
    for (size_t start = 0; start + kExtension.size() <= fileName.size(); ++start) {
        bool match = true;
        for (size_t i = 0; i < kExtension.size() && match; ++i) {
            wchar_t c = fileName[start + i];
            if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
            match = c == kExtension[i];
        }
        if (match) return true;
    }
    return false;
}

}  // namespace kestrane
