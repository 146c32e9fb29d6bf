#include "profile/Origin.h"

#include "base/Texts.h"

#include <windows.h>

namespace kestrane {

std::wstring OriginFolder(const std::wstring& cheminAppli) { return cheminAppli + L"Config\\Origine\\"; }

std::wstring OriginFile(const std::wstring& cheminAppli) { return OriginFolder(cheminAppli) + L"origine.cfg"; }

bool HasOrigin(const std::wstring& cheminAppli) {
    return GetFileAttributesW(OriginFile(cheminAppli).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<ConfigRecord> SavedRecords(const std::vector<ServiceEntry>& inventory) {
    std::vector<ConfigRecord> records;
    records.reserve(inventory.size());
    for (const ServiceEntry& s : inventory)
        records.push_back({s.Name, s.State.value_or(L""), s.StartMode.value_or(L""), s.DisplayName});
    return records;
}

namespace {

OriginTaken WriteOrigin(ServiceManager& services, const std::wstring& cheminAppli, FileWriter& writer) {
    std::vector<ConfigRecord> records;
    {
        CommandScope scope(services);
        records = SavedRecords(services.Inventory(true));
    }
    CreateDirectoryW((cheminAppli + L"Config\\").c_str(), nullptr);
    CreateDirectoryW(OriginFolder(cheminAppli).c_str(), nullptr);
    OriginTaken taken;
    taken.file = OriginFile(cheminAppli);
    taken.written = WriteConfigFile(taken.file, records, writer);
    return taken;
}

}  // namespace

std::optional<OriginTaken> TakeOriginIfMissing(ServiceManager& services, const std::wstring& cheminAppli, FileWriter& writer) {
    if (HasOrigin(cheminAppli)) return std::nullopt;
    // The folder outlives its file: a file that has gone is taken again, and the user told so.
    bool again = GetFileAttributesW(OriginFolder(cheminAppli).c_str()) != INVALID_FILE_ATTRIBUTES;
    OriginTaken taken = WriteOrigin(services, cheminAppli, writer);
    taken.again = again;
    return taken;
}

OriginTaken ReplaceOrigin(ServiceManager& services, const std::wstring& cheminAppli, std::optional<std::wstring>& kept,
                          FileWriter& writer) {
    kept = KeepReplaced(OriginFile(cheminAppli), cheminAppli);
    return WriteOrigin(services, cheminAppli, writer);
}

std::vector<std::wstring> OriginTakenLines(const OriginTaken& taken) {
    std::vector<std::wstring> lines = {(taken.again ? texts::kOriginTakenAgain : texts::kOriginTaken) + taken.file,
                                       texts::kOriginHowBack};
    for (const std::wstring& line : WrittenLines(taken.written)) lines.push_back(line);
    return lines;
}

}  // namespace kestrane
