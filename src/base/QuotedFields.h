// The quoted-field stream of the forbidden list, and the quoting of configuration files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// The field stream of the forbidden list. Configuration files quote their fields the same way but are read one
// record a line (profile/ConfigFormat.h), so that a line of too few or too many fields is an error, not a shift.
//
// The data is one stream of fields: a comma and a line end (CR LF, or a lone LF or CR) both end a field, so
// line boundaries mean nothing of their own. Blanks (spaces, tabs) before a field are dropped. A field that then
// begins with a double quote runs to the next double quote that is not doubled, commas and line ends included;
// the quotes are not part of it, a doubled quote inside stands for one quote, and whatever follows the closing
// quote up to the next comma or line end is skipped. Any other field runs to the next comma or line end (its
// trailing blanks are kept; the caller decides). A reader that knows nothing of doubled quotes reads the
// field up to the first of them and skips the rest: it loses the end of that field, never the next ones.
//
// Next() never reads past the end: it yields nothing when the end is reached before a field begins, or when a
// quote is never closed (that field then runs to the end of the data and is incomplete). Either way the
// reader is then at the end.
class FieldReader {
public:
    struct Field {
        std::string text;
        bool quoted;
        bool endsLine = false;  // the field was ended by a line end, or by the end of the data
    };

    explicit FieldReader(std::string_view data) : data_(data) {}
    bool AtEnd() const { return pos_ >= data_.size(); }
    std::optional<Field> Next();
    // The line the reader is on, from 1: line ends read so far (inside quoted fields included) plus one.
    int Line() const { return line_; }
    // Whether the data ended inside a quoted field that was never closed.
    bool Unterminated() const { return unterminated_; }

private:
    // Skips the comma or line end that ended a field; tells whether it was a line end (or the end).
    bool SkipDelimiter();

    std::string_view data_;
    size_t pos_ = 0;
    int line_ = 1;
    bool unterminated_ = false;
};

// A value as a quoted field of the stream: between double quotes, a quote inside doubled. Nothing when
// the value cannot be written so that a reader splitting a line on the three characters "," finds the same
// fields: a value holding a line end, or a double quote next to a comma.
std::optional<std::string> QuotedField(std::string_view value);

// Blanks as the field stream understands them.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace kestrane
