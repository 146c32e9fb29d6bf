// Undo files: before an application, the present state and start mode of the services it will change
// are written as a configuration of their own in Config\Annulation\, the ten latest kept. Undoing
// applies the latest and then ends it (removed, or retired when something could not be restored), so
// that undoing again goes one application further back.
#pragma once

#include "profile/ConfigFormat.h"
#include "profile/Plan.h"
#include "service/ForbiddenList.h"
#include "service/ServiceManager.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrane {

inline constexpr size_t kUndoFilesKept = 10;

// The folder of the undo files, with its final backslash.
std::wstring UndoFolder(const std::wstring& cheminAppli);

// Writes `before` as a new undo file (created with its folder when missing) named after `stamp`
// (universal time: year, month, day, hour, minute, second, millisecond; files sort by it), then removes the oldest
// beyond the ten latest. Gives the file written. Throws FileError.
std::wstring SaveUndo(const std::wstring& cheminAppli, const std::vector<ConfigRecord>& before, const SYSTEMTIME& stamp);

// Saves, before `records` are applied, the present state and start mode of exactly the services the
// application will change. Gives the file written, nothing when nothing would change. Throws FileError
// when the file cannot be written, ServiceError when the machine cannot be read.
std::optional<std::wstring> SaveUndoBefore(ServiceManager& services, const std::wstring& cheminAppli,
                                           const std::vector<ConfigRecord>& records,
                                           const std::vector<ForbiddenEntry>& forbiddenList);

// The undo files, oldest first.
std::vector<std::wstring> UndoFiles(const std::wstring& cheminAppli);

// The latest undo file, if there is one.
std::optional<std::wstring> LatestUndo(const std::wstring& cheminAppli);

// Writes the undo file of an application whose plan is `plan` (its `before`), nothing when it changes
// nothing. Gives the file written. Throws FileError.
std::optional<std::wstring> SaveUndoFor(const Plan& plan, const std::wstring& cheminAppli);

// Ends an undo once `records` of `file` have been applied: every service as it was, the file is removed;
// otherwise it is retired (renamed "echec-<name>" beside the others, where no undo takes it again) and the
// lines say what could not be restored and why, then where the file went. Services still starting or
// stopping are waited for as NotInWantedState does, with `wait`. Never throws: a machine that cannot be
// read counts as not restored.
std::vector<std::wstring> FinishUndo(ServiceManager& services, const std::wstring& file,
                                     const std::vector<ConfigRecord>& records, const std::function<void(int)>& wait = {});

}  // namespace kestrane
