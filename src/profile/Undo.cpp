#include "profile/Undo.h"

#include "profile/ConfigFiles.h"
#include "profile/Plan.h"
#include "base/FailureText.h"
#include "base/Handles.h"
#include "base/Texts.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace kestrane {

std::wstring UndoFolder(const std::wstring& cheminAppli) { return cheminAppli + L"Config\\Annulation\\"; }

namespace {

constexpr const wchar_t* kRetiredPrefix = L"echec-";

// The files of `folder` (ending with a backslash) whose names match `pattern`, with their folder, in the
// order of their names: undo files hold their time stamp with fixed widths, so that is the order of time.
std::vector<std::wstring> FilesInOrder(const std::wstring& folder, const std::wstring& pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    FindHandle search(FindFirstFileW((folder + pattern).c_str(), &found));
    if (!search) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search.Get(), &found));
    std::sort(names.begin(), names.end());
    for (auto& name : names) name = folder + name;
    return names;
}

// Removes the oldest of `files` (oldest first) beyond the ten latest.
void KeepLatest(const std::vector<std::wstring>& files) {
    for (size_t i = 0; i + kUndoFilesKept < files.size(); ++i) DeleteFileW(files[i].c_str());
}

}  // namespace

std::vector<std::wstring> UndoFiles(const std::wstring& cheminAppli) {
    return FilesInOrder(UndoFolder(cheminAppli), L"annulation-*.cfg");
}

std::optional<std::wstring> LatestUndo(const std::wstring& cheminAppli) {
    std::vector<std::wstring> files = UndoFiles(cheminAppli);
    if (files.empty()) return std::nullopt;
    return files.back();
}

std::wstring SaveUndo(const std::wstring& cheminAppli, const std::vector<ConfigRecord>& before, const SYSTEMTIME& stamp) {
    CreateDirectoryW((cheminAppli + L"Config\\").c_str(), nullptr);
    CreateDirectoryW(UndoFolder(cheminAppli).c_str(), nullptr);
    wchar_t name[64];
    swprintf(name, 64, L"annulation-%04u%02u%02u-%02u%02u%02u-%03u", stamp.wYear, stamp.wMonth, stamp.wDay, stamp.wHour,
             stamp.wMinute, stamp.wSecond, stamp.wMilliseconds);
    std::wstring path = UndoFolder(cheminAppli) + name + L".cfg";
    // Two applications within one millisecond still get a file each.
    for (int n = 2; GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
        path = UndoFolder(cheminAppli) + name + L"_" + std::to_wstring(n) + L".cfg";
    WriteConfigFile(path, before);
    KeepLatest(UndoFiles(cheminAppli));
    return path;
}

std::optional<std::wstring> SaveUndoBefore(ServiceManager& services, const std::wstring& cheminAppli,
                                           const std::vector<ConfigRecord>& records,
                                           const std::vector<ForbiddenEntry>& forbiddenList) {
    return SaveUndoFor(PlanApplication(services, records, forbiddenList), cheminAppli);
}

std::optional<std::wstring> SaveUndoFor(const Plan& plan, const std::wstring& cheminAppli) {
    if (plan.before.empty()) return std::nullopt;
    SYSTEMTIME now{};
    GetSystemTime(&now);  // universal time: the order of undo files survives clock changes
    return SaveUndo(cheminAppli, plan.before, now);
}

namespace {

// Retires an undo file that could not be undone whole: beside the others, under a name no undo takes.
// The ten latest retired files are kept. Gives the new name, or nothing when it could not be renamed
// (then it is removed: an undo file is never replayed twice).
std::optional<std::wstring> Retire(const std::wstring& file) {
    size_t slash = file.find_last_of(L'\\');
    std::wstring folder = file.substr(0, slash + 1);
    std::wstring retired = folder + kRetiredPrefix + file.substr(slash + 1);
    if (!MoveFileExW(file.c_str(), retired.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(file.c_str());
        return std::nullopt;
    }
    KeepLatest(FilesInOrder(folder, std::wstring(kRetiredPrefix) + L"*"));
    return retired;
}

}  // namespace

std::vector<std::wstring> FinishUndo(ServiceManager& services, const std::wstring& file,
                                     const std::vector<ConfigRecord>& records, const std::function<void(int)>& wait) {
    std::vector<std::wstring> lines;
    try {
        NotInWantedState(services, records, 3000, wait);  // what is still starting or stopping settles first
        // A trigger-start service Windows started or stopped again since is restored all the same.
        for (const PlanLine& difference : CompareMachine(services, records))
            if (IsDifference(difference)) lines.push_back(texts::kUndoNotRestored + difference.text);
    } catch (...) {
        lines.push_back(texts::kUndoNotRestored + CurrentExceptionText());
    }
    if (lines.empty()) {
        DeleteFileW(file.c_str());
        return lines;
    }
    std::optional<std::wstring> retired = Retire(file);
    lines.push_back(texts::kUndoRetired + retired.value_or(file));
    return lines;
}

}  // namespace kestrane
