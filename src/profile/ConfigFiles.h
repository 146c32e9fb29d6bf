// Configuration names and whole configuration files: which names may be used, the default name, and
// the writer that never leaves a configuration half written.
#pragma once

#include "base/FailureText.h"
#include "base/TextFile.h"
#include "profile/ConfigFormat.h"
#include "service/Variables.h"

#include <exception>
#include <string>
#include <vector>

namespace kestrane {

// Whether a configuration name (without ".cfg") stays a file of the configuration folder: no
// \ / : * ? " < > | nor control character, not "." or "..", not ending with a blank or a dot, not a
// reserved device name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with or without extension).
bool IsValidConfigName(const std::wstring& name);

// The name the program proposes: day-month-year of the start-up date, without leading zeros.
std::wstring DefaultConfigName(const Variables& var);

// Writes `records` as the whole content of `path`, through WriteFileReplacing.
void WriteConfigFile(const std::wstring& path, const std::vector<ConfigRecord>& records,
                     FileWriter& writer = SystemFileWriter());

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

// Whether bytes read as a configuration: at least one record of four fields.
bool ReadsAsConfig(std::string_view bytes);

}  // namespace kestrane
