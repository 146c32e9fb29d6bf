#include "base/QuotedFields.h"

namespace kestrane {

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

bool FieldReader::SkipDelimiter() {
    if (AtEnd()) return true;
    char c = data_[pos_++];
    if (c == ',') return false;
    if (c == '\r' && !AtEnd() && data_[pos_] == '\n') ++pos_;  // CR LF is a single line end
    ++line_;
    return true;
}

std::optional<FieldReader::Field> FieldReader::Next() {
    if (AtEnd()) return std::nullopt;
    while (!AtEnd() && IsBlank(data_[pos_])) ++pos_;

    if (!AtEnd() && data_[pos_] == '"') {
        std::string text;
        size_t from = pos_ + 1;
        for (;;) {
            size_t close = data_.find('"', from);
            if (close == std::string_view::npos) {
                pos_ = data_.size();
                unterminated_ = true;
                return std::nullopt;
            }
            std::string_view part = data_.substr(from, close - from);
            for (size_t i = 0; i < part.size(); ++i)
                if (part[i] == '\n' || (part[i] == '\r' && (i + 1 >= part.size() || part[i + 1] != '\n'))) ++line_;
            text.append(part);
            if (close + 1 < data_.size() && data_[close + 1] == '"') {
                text += '"';
                from = close + 2;
                continue;
            }
            pos_ = close + 1;
            break;
        }
        while (!AtEnd() && data_[pos_] != ',' && !IsLineEnd(data_[pos_])) ++pos_;
        bool endsLine = SkipDelimiter();
        return Field{std::move(text), true, endsLine};
    }

    size_t begin = pos_;
    while (!AtEnd() && data_[pos_] != ',' && !IsLineEnd(data_[pos_])) ++pos_;
    Field field{std::string(data_.substr(begin, pos_ - begin)), false};
    field.endsLine = SkipDelimiter();
    return field;
}

std::optional<std::string> QuotedField(std::string_view value) {
    if (value.find_first_of("\r\n") != std::string_view::npos || value.find("\",") != std::string_view::npos ||
        value.find(",\"") != std::string_view::npos)
        return std::nullopt;
    std::string out = "\"";
    for (char c : value) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + '"';
}

}  // namespace kestrane
