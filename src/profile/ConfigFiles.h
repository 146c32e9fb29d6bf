// Configuration names and whole configuration files: which names may be used, the default name, and
// the writer that never leaves a configuration half written.
#pragma once

#include "base/FailureText.h"
#include "base/TextFile.h"
#include "profile/ConfigFormat.h"
#include "service/Variables.h"

#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

// Whether a configuration name (without ".cfg") stays a file of the configuration folder: no
// \ / : * ? " < > | nor control character, not "." or "..", not ending with a blank or a dot, not a
// reserved device name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with or without extension).
bool IsValidConfigName(const std::wstring& name);

// The name the program proposes: day-month-year of the start-up date, without leading zeros.
std::wstring DefaultConfigName(const Variables& var);

// What a whole-file write left out or changed: the services whose name cannot be written (their records
// left out, the others written), and those whose display name was written with characters replaced.
struct WrittenConfig {
    std::vector<std::wstring> refused, adjusted;
};

// What the user is told of it: a line naming the services whose display name was adjusted, one naming those
// left out; none when everything was written as it is.
std::vector<std::wstring> WrittenLines(const WrittenConfig& written);

// Writes `records` as the whole content of `path`, through WriteFileReplacing: in `encoding` (a file read
// keeps its own), or else in the code page when every value fits it and in UTF-8 with a byte-order mark
// otherwise; never a '?' standing for a character.
WrittenConfig WriteConfigFile(const std::wstring& path, const std::vector<ConfigRecord>& records,
                              FileWriter& writer = SystemFileWriter(), std::optional<TextEncoding> encoding = std::nullopt,
                              bool crlf = true);

// The bytes of a configuration file read as `original` (`parsed` from it) once its records became `records`,
// the same ones in the same order: the lines of unchanged records, blank lines, the byte-order mark and every
// line end stay byte for byte; only the line of a changed record is written anew, in the file's encoding.
// Throws UserError when a changed record cannot be written in it.
std::string RewrittenConfig(std::string_view original, const ParsedConfig& parsed, const std::vector<ConfigRecord>& records);

// Copies `source` over `destination` so that the destination is only ever replaced by a complete copy:
// the copy is made beside it and then renamed over it. On a failure the destination is left as it was
// and FileError thrown, naming the destination.
void CopyFileReplacing(const std::wstring& source, const std::wstring& destination);

// Writes `bytes` as the whole content of `path`: into a new file beside it (in one write), which replaces
// the old one only once it is complete and on disk. On a failure the old file is left as it was, the
// partial one removed, and FileError thrown, naming `path`.
void WriteFileReplacing(const std::wstring& path, std::string_view bytes, FileWriter& writer = SystemFileWriter());

// Whether a file name is that of a new file left beside its destination by an interrupted write: never
// listed, applied or read as a configuration.
bool IsPartialFileName(std::wstring_view fileName);

// Removes the new files that interrupted writes left in `folder` (which ends with a backslash): the
// file each was to replace is whole.
void RemovePartialFiles(const std::wstring& folder);

// The file of the configuration folder that a bare configuration name stands for, for every verb and
// command: the name with ".cfg" added unless it already ends so ("machine.v2" is machine.v2.cfg).
std::wstring ConfigFileFor(const std::wstring& cheminAppli, const std::wstring& name);

// The folder where configurations replaced or deleted are kept where no Recycle Bin takes them
// (CheminAppli + "Config\Remplacées\").
std::wstring ReplacedFolder(const std::wstring& cheminAppli);

// Keeps the configuration at `path`, about to be replaced or deleted, where the user finds it again: a copy
// named after it and the time ("machine (remplacée le 2026-12-10 à 14h55 03 s).cfg") goes to the Recycle
// Bin where the volume has one (`recycleBin`), into ReplacedFolder otherwise. The file itself is left as it
// is. Gives nothing when there is no file at `path`, an empty text when the copy went to the Recycle Bin,
// the copy's path otherwise. Throws FileError when no copy can be made: then nothing may replace it.
std::optional<std::wstring> KeepReplaced(const std::wstring& path, const std::wstring& cheminAppli, bool recycleBin = true);
// What the user is told of where a replaced configuration went (`kept`, as KeepReplaced gives it).
std::wstring KeptLine(const std::wstring& kept);

// Whether bytes read as a configuration: records of four fields, one a line, at least one.
bool ReadsAsConfig(std::string_view bytes);

}  // namespace kestrane
