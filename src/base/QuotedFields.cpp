#include "base/QuotedFields.h"

namespace kestrane {

namespace {

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

void FieldReader::SkipDelimiter() {
    if (AtEnd()) return;
    char c = data_[pos_++];
    if (c == '\r' && !AtEnd() && data_[pos_] == '\n') ++pos_;  // CR LF is a single line end
}

std::optional<FieldReader::Field> FieldReader::Next() {
    if (AtEnd()) return std::nullopt;
    while (!AtEnd() && IsBlank(data_[pos_])) ++pos_;

    if (!AtEnd() && data_[pos_] == '"') {
        size_t begin = pos_ + 1;
        size_t close = data_.find('"', begin);
        if (close == std::string_view::npos) {
            pos_ = data_.size();
            return std::nullopt;
        }
        pos_ = close + 1;
        while (!AtEnd() && data_[pos_] != ',' && !IsLineEnd(data_[pos_])) ++pos_;
        SkipDelimiter();
        return Field{data_.substr(begin, close - begin), true};
    }

    size_t begin = pos_;
    while (!AtEnd() && data_[pos_] != ',' && !IsLineEnd(data_[pos_])) ++pos_;
    Field field{data_.substr(begin, pos_ - begin), false};
    SkipDelimiter();
    return field;
}

}  // namespace kestrane
