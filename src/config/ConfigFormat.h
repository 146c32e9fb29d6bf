#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// One service of a configuration: the state and start mode wanted for it. State and StartMode hold the service
// layer's texts ("Running", "Auto", ...) as they are; DisplayName is there for people only.
struct ConfigRecord {
    std::wstring Name;
    std::wstring State;
    std::wstring StartMode;
    std::wstring DisplayName;

    friend bool operator==(const ConfigRecord&, const ConfigRecord&) = default;
};

// The field stream shared by configuration files and the forbidden list.
//
// The data is one stream of fields: a comma and a line end (CR LF, or a lone LF or CR) both end a field, so
// line boundaries mean nothing of their own. Blanks (spaces, tabs) before a field are dropped. A field that then
// begins with a double quote runs to the next double quote, commas and line ends included; the quotes are not
// part of it, and whatever follows up to the next comma or line end is skipped. Any other field runs to the next
// comma or line end (its trailing blanks are kept; the caller decides).
//
// Next() never reads past the end: it yields nothing when the end is reached before a field begins, or when a
// quote is never closed (that field then runs to the end of the data and is incomplete). Either way the
// reader is then at the end.
class FieldReader {
public:
    struct Field {
        std::string_view text;  // a view into the data given to the reader
        bool quoted;
    };

    explicit FieldReader(std::string_view data) : data_(data) {}
    bool AtEnd() const { return pos_ >= data_.size(); }
    std::optional<Field> Next();

private:
    void SkipDelimiter();

    std::string_view data_;
    size_t pos_ = 0;
};

// Blanks as the field stream understands them.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// One record as a line of the file: "Name","State","StartMode","DisplayName" then CR LF, in the ANSI code page
// (a character outside it is written as '?'). Values are written unchanged: a double quote inside one cannot be
// read back and is not expected.
std::string FormatRecord(const ConfigRecord& record);

// The records of a configuration file's content, in file order: each record is the next four fields of the
// stream. A last record that lacks fields (a blank or truncated last line, a quote never closed) is dropped.
std::vector<ConfigRecord> ParseConfig(std::string_view bytes);

// Whether the data ends inside a record that holds something: fields left over that make no whole record
// (a line of three or five fields shifts every record after it), which ParseConfig drops.
bool EndsInsideRecord(std::string_view bytes);

// Opens the file for appending (creating it when missing), writes one record and closes it. Throws FileError.
void AppendConfigRecord(const std::wstring& file, const ConfigRecord& record);

// ParseConfig of the file's content. Throws FileError.
std::vector<ConfigRecord> ReadConfigFile(const std::wstring& file);

// The configuration name proposed by default: day-month-year in decimal, without leading zeros ("7-12-2026").
std::wstring DefaultConfigName(int day, int month, int year);

// Whether a file belongs in the configuration list: its name contains ".cfg" in any letter case, anywhere
// (so "old.cfg.bak" does too).
bool IsConfigFileName(std::wstring_view fileName);

}  // namespace kestrane
