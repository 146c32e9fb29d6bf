#include "service/ForbiddenList.h"

#include "base/CodePage.h"
#include "base/QuotedFields.h"
#include "base/FailureText.h"
#include "base/TextFile.h"
#include "base/Texts.h"

namespace kestrane {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The digits at the front of `text`, taken off it, as a value: 0, 1, or 2 for "anything else" (so that a
// long run of digits cannot overflow); `count` says how many there were.
int TakeDigits(std::string_view& text, size_t& count) {
    int value = 0;
    for (count = 0; count < text.size() && IsDigit(text[count]); ++count) {
        if (value != 0 || text[count] > '1') value = 2;
        else value = text[count] - '0';
    }
    text.remove_prefix(count);
    return value;
}

// The mark as a number: an optional sign, digits, and an optional decimal part, blanks around. Only the values
// 0 and 1 mean something, so the value is recognised without converting it (no overflow on long digit runs).
Mark ReadMark(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    size_t digits = 0;
    int value = TakeDigits(text, digits);
    size_t fraction = 0;
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
        for (; fraction < text.size() && IsDigit(text[fraction]); ++fraction)
            if (text[fraction] != '0') value = 2;
        text.remove_prefix(fraction);
    }
    if (!text.empty() || digits + fraction == 0) return Mark::None;  // not a number
    if (value == 0) return Mark::Discouraged;                       // -0 is 0 as well
    if (value == 1 && !negative) return Mark::Forbidden;
    return Mark::None;
}

}  // namespace

std::vector<ForbiddenEntry> ParseForbiddenList(std::string_view bytes) {
    std::vector<ForbiddenEntry> entries;
    // The encoding rule of every file of the program: the mark, or bytes that are valid UTF-8, mean UTF-8.
    bool utf8 = DetectEncoding(bytes) != TextEncoding::CodePage;
    TakeUtf8Mark(bytes);
    FieldReader reader(bytes);
    while (!reader.AtEnd()) {
        int line = reader.Line();
        std::optional<FieldReader::Field> name = reader.Next();
        std::optional<FieldReader::Field> mark = name ? reader.Next() : std::nullopt;
        // A quote never closed would hide every record after it: the list is refused, not shortened.
        if (reader.Unterminated())
            throw UserError(texts::kForbiddenListLine + std::to_wstring(line) + texts::kForbiddenListUnclosed);
        if (!mark) break;
        ForbiddenEntry entry{FieldText(name->quoted ? name->text : TrimBlanks(name->text), utf8), ReadMark(mark->text)};
        // A record on one line may go on with its reason; one spread over lines is two fields, as ever.
        if (!name->endsLine && !mark->endsLine) {
            std::optional<FieldReader::Field> reason = reader.Next();
            if (reader.Unterminated())
                throw UserError(texts::kForbiddenListLine + std::to_wstring(line) + texts::kForbiddenListUnclosed);
            if (!reason || !reason->quoted || !reason->endsLine)
                throw UserError(texts::kForbiddenListLine + std::to_wstring(line) + texts::kForbiddenListBadReason);
            entry.Reason = FieldText(reason->text, utf8);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<std::vector<ForbiddenEntry>> ReadForbiddenList(const std::wstring& cheminAppli, std::wstring* problem) {
    std::wstring path = cheminAppli + L"liste\\interdit.txt";
    try {
        if (!FileExists(path)) return std::nullopt;
        return ParseForbiddenList(ReadFileBytes(path));
    } catch (const UserError& e) {
        if (problem) *problem = e.Message();
        return std::nullopt;
    } catch (const FileError& e) {
        // A list that cannot be read protects nothing: nothing may be changed, and the user is told why.
        if (problem) *problem = e.Path() + L" : " + FromAnsi(e.what());
        return std::nullopt;
    } catch (...) {
        if (problem) *problem = path;
        return std::nullopt;
    }
}

std::wstring GuardListProblem(const std::wstring& problem) {
    return problem.empty() ? std::wstring(texts::kGuardMissing) : std::wstring(texts::kGuardFaulty) + L"\n" + problem;
}

std::wstring WithReason(const std::wstring& line, const std::wstring& reason) {
    return reason.empty() ? line : line + L" \u2014 " + reason;
}

}  // namespace kestrane
