// The machine's original state: the configuration of every service as Kestrane first found it, written
// once, before its first change, in Config\Origine\. Never rotated, never replaced by an application or an
// undo; only the user replaces it, and the one it replaces is kept as a replaced configuration is.
#pragma once

#include "profile/ConfigFiles.h"
#include "profile/ConfigFormat.h"
#include "service/ServiceManager.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrane {

// The folder of the original state, with its final backslash, and the file itself.
std::wstring OriginFolder(const std::wstring& cheminAppli);
std::wstring OriginFile(const std::wstring& cheminAppli);

// Whether the machine's original state is there (one look at its file: no lock, no service read).
bool HasOrigin(const std::wstring& cheminAppli);

// The records a save writes of the services `inventory` lists (start modes read), in its order.
std::vector<ConfigRecord> SavedRecords(const std::vector<ServiceEntry>& inventory);

// What taking the original state did: the file, whether an earlier one had gone missing, what the writer
// left out or changed.
struct OriginTaken {
    std::wstring file;
    bool again = false;
    WrittenConfig written;
};

// Takes the original state when the machine has none (as a save does: every service, same format and
// encoding rules, written atomically). Nothing when it is there. The caller holds the machine's lock.
// Throws FileError, ServiceError.
std::optional<OriginTaken> TakeOriginIfMissing(ServiceManager& services, const std::wstring& cheminAppli,
                                               FileWriter& writer = SystemFileWriter());

// Replaces the original state by the machine as it is now; the one replaced goes where replaced
// configurations go (`kept`: as KeepReplaced gives it). Throws FileError, ServiceError.
OriginTaken ReplaceOrigin(ServiceManager& services, const std::wstring& cheminAppli, std::optional<std::wstring>& kept,
                          FileWriter& writer = SystemFileWriter());

// What the user is told when it was taken: where it is and how to go back.
std::vector<std::wstring> OriginTakenLines(const OriginTaken& taken);

}  // namespace kestrane
