#pragma once

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

// One record as a line of the file: "Name","State","StartMode","DisplayName" then CR LF, in the ANSI code page
// (a character outside it is written as '?'). A double quote inside a value is doubled; a value that cannot be
// written so that no reader takes the next fields for others (a line end, a quote next to a comma) makes the
// record refused: UserError, naming the service.
std::string FormatRecord(const ConfigRecord& record);

// The records of a configuration file's content (ANSI code page, or UTF-8 after a byte-order mark), in file
// order: each record is the next four fields of the stream. A last record that lacks fields (a blank or truncated last line, a quote never closed) is dropped.
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
