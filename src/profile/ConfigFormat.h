#pragma once

#include "base/CodePage.h"
#include "base/FailureText.h"
#include "base/QuotedFields.h"

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

// A configuration file, line by line: one line, one record of four fields "Name","State","StartMode",
// "DisplayName", each between double quotes, a double quote inside a value doubled. Lines end with CR LF
// (a lone LF or CR is read too; the last line may have none), blank lines are skipped. The file is in the
// code page, or in UTF-8 with or without a byte-order mark (see DetectEncoding).
//
// What older versions wrote reads as it always did: blanks before a field dropped, a field not between quotes
// running to the next comma (its trailing blanks kept), text between a closing quote and the next comma
// skipped. A line the first writers made of a value holding quotes, which they did not double
// ("Pilote "X",Y"), is read as those writers meant it when it splits on "," into exactly four values and
// the quoted reading would drop or shift text.
//
// A line that is anything but one whole record is an error naming it: three or five fields (which would
// shift every record after it), a quote not closed on its line (a field never holds a line end), a control
// character (C0 but a tab before a field, DEL, C1 U+0080 to U+009F: what a binary file is made of).
class ConfigSyntaxError : public UserError {
public:
    ConfigSyntaxError(int line, const std::wstring& what);
    // The line at fault, from 1.
    int Line() const noexcept { return line_; }

private:
    int line_;
};

struct ParsedConfig {
    std::vector<ConfigRecord> records;  // in file order, records without a name included
    std::vector<int> lines;             // the line of each record, from 1
    TextEncoding encoding = TextEncoding::CodePage;  // DetectEncoding's
    bool crlf = true;                   // the file's line ends are CR LF (or it has none); else LF or CR
};

// The records of a configuration file's content. Throws ConfigSyntaxError.
ParsedConfig ParseConfigText(std::string_view bytes);

// ParseConfigText(bytes).records. Throws ConfigSyntaxError.
std::vector<ConfigRecord> ParseConfig(std::string_view bytes);

// Whether the content is no configuration that reads whole (ParseConfigText throws). Kept for the callers
// that asked whether fields were left over; a caller may as well catch ConfigSyntaxError.
bool EndsInsideRecord(std::string_view bytes);

// The states and start modes that are none of the service layer's texts, letter case included
// ("Stoped", "Disable", "running"): one line each, "A : état « Stoped » inconnu, ligne 3" or "A : mode de
// démarrage « Disable » inconnu, ligne 3", in file order. Empty values are left out (nothing is wanted).
std::vector<std::wstring> UnknownValues(const ParsedConfig& config);
bool IsKnownState(const std::wstring& state);
bool IsKnownStartMode(const std::wstring& startMode);

// A display name as it is written, so that it never keeps a record from being written: each control
// character (a line end included) becomes a space, a lone surrogate U+FFFD, and a double quote next to a
// comma (",  or ,") an apostrophe ', so that a reader splitting a line on "," still finds four fields.
// Any other text is kept as it is.
std::wstring WritableDisplayName(const std::wstring& displayName);

// Whether a record's name, state and start mode can be written exactly: no control character or line end,
// no double quote next to a comma, no lone surrogate. The display name is always written (adjusted).
bool IsWritableRecord(const ConfigRecord& record);

// One record as a line of the file, CR LF at its end, in `encoding` (no byte-order mark), the display name
// after WritableDisplayName. Throws UserError naming the service when its name, state or start mode cannot be
// written (texts::kRecordNotWritable), or when a value has a character the encoding cannot hold
// (texts::kRecordNotInEncoding): a character is never written as '?'.
std::string FormatRecord(const ConfigRecord& record, TextEncoding encoding = TextEncoding::CodePage);

// The encoding a file of `records` is written in: the code page when every value (display names after
// WritableDisplayName) fits it exactly, as Kestrane has always written; else UTF-8 with a byte-order mark,
// which older versions read as well. Also UTF-8 with its mark when the code page's bytes would all be valid
// UTF-8 (a name such as "Ã©") and so read back as UTF-8. Records that cannot be written do not count.
TextEncoding EncodingFor(const std::vector<ConfigRecord>& records);

// A whole configuration file: the byte-order mark first for Utf8WithMark, then each record on its line
// (CR LF, or LF when `crlf` is false). A record whose name, state or start mode cannot be written is left out
// and its name added to `*refused`, so that the others are saved; without `refused` it throws UserError
// (texts::kRecordNotWritable) and nothing is written. The names of the records whose display name had to be
// adjusted are added to `*adjusted`. A value the encoding cannot hold throws UserError
// (texts::kRecordNotInEncoding): choose the encoding with EncodingFor.
std::string FormatConfig(const std::vector<ConfigRecord>& records, TextEncoding encoding, bool crlf = true,
                         std::vector<std::wstring>* refused = nullptr, std::vector<std::wstring>* adjusted = nullptr);

// Appends one record to a configuration file, in the file's own encoding and line ends, a line end first if
// its last line has none; a missing or empty file is created in EncodingFor({record}) (with its mark when
// UTF-8). Throws UserError when the record cannot be written (FormatRecord), or when the file is in the code
// page and the record is not (texts::kRecordNotInEncoding): such a file must be written whole again, with
// FormatConfig and EncodingFor. Throws FileError.
void AppendConfigRecord(const std::wstring& file, const ConfigRecord& record);

// ParseConfigText of the file's content. Throws FileError, ConfigSyntaxError.
ParsedConfig ReadParsedConfigFile(const std::wstring& file);

// ParseConfig of the file's content. Throws FileError, ConfigSyntaxError.
std::vector<ConfigRecord> ReadConfigFile(const std::wstring& file);

// A name or value from the machine or a file as a message may show it: each control character as <U+XXXX>,
// a lone surrogate as U+FFFD.
std::wstring VisibleText(std::wstring_view text);

// The configuration name proposed by default: day-month-year in decimal, without leading zeros ("7-12-2026").
std::wstring DefaultConfigName(int day, int month, int year);

// Whether a file belongs in the configuration list: its name contains ".cfg" in any letter case, anywhere
// (so "old.cfg.bak" does too).
bool IsConfigFileName(std::wstring_view fileName);

}  // namespace kestrane
