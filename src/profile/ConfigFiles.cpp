#include "profile/ConfigFiles.h"

#include "base/CodePage.h"
#include "base/Handles.h"
#include "base/TextFile.h"

#include <windows.h>

#include <cwctype>

namespace kestrane {

namespace {

// Whether a name is one of the reserved device names, whatever follows it after a dot ("CON.cfg" is the
// console too): CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1 to COM9, LPT1 to LPT9.
bool IsDeviceName(const std::wstring& name) {
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (auto& c : base) c = static_cast<wchar_t>(towupper(c));
    for (const wchar_t* reserved : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (base == reserved) return true;
    bool numbered = base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0);
    return numbered && base[3] >= L'1' && base[3] <= L'9';
}

}  // namespace

bool IsValidConfigName(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    for (wchar_t c : name)
        if (c < 32 || c == 127 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
    if (name.back() == L' ' || name.back() == L'.') return false;
    return !IsDeviceName(name);
}

std::wstring DefaultConfigName(const Variables& var) { return DefaultConfigName(var.Jour, var.Mois, var.Annee); }

namespace {

constexpr std::wstring_view kPartialMarker = L".partiel-";

// Makes the new content of `destination` beside it with `build` (given the new file's path), writes it to
// disk and renames it over the destination. On a failure the destination is left as it was, the new file
// removed, and FileError thrown, naming the destination.
template <class Build>
void ReplaceWith(const std::wstring& destination, Build&& build) {
    // Beside the destination, so that the replacement is a rename within one volume.
    std::wstring partial = destination + std::wstring(kPartialMarker) + std::to_wstring(GetCurrentProcessId());
    DeleteFileW(partial.c_str());
    try {
        build(partial);
        HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) throw FileError("cannot open the new file to flush it", partial, GetLastError());
        BOOL flushed = FlushFileBuffers(file);
        DWORD flushError = GetLastError();
        CloseHandle(file);
        if (!flushed) throw FileError("cannot write the new file to disk", partial, flushError);
        if (!MoveFileExW(partial.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throw FileError("cannot replace the file", destination, GetLastError());
    } catch (const FileError& e) {
        DeleteFileW(partial.c_str());
        // Told as a failure of the destination itself, not of the file beside it.
        throw FileError(e.what(), destination, e.SystemError());
    } catch (const std::exception& e) {
        DeleteFileW(partial.c_str());
        throw FileError(e.what(), destination);
    }
}

}  // namespace

void WriteFileReplacing(const std::wstring& path, std::string_view bytes, FileWriter& writer) {
    // The file exists even when there is nothing to write: an empty configuration is a file.
    ReplaceWith(path, [&](const std::wstring& partial) { writer.Append(partial, bytes); });
}

void WriteConfigFile(const std::wstring& path, const std::vector<ConfigRecord>& records, FileWriter& writer) {
    std::string bytes;
    for (const ConfigRecord& record : records) bytes += FormatRecord(record);
    WriteFileReplacing(path, bytes, writer);
}

void CopyFileReplacing(const std::wstring& source, const std::wstring& destination) {
    ReplaceWith(destination, [&](const std::wstring& partial) {
        if (!CopyFileW(source.c_str(), partial.c_str(), FALSE))
            throw FileError("cannot copy the file", partial, GetLastError());
    });
}

bool IsPartialFileName(std::wstring_view fileName) { return fileName.find(kPartialMarker) != std::wstring_view::npos; }

void RemovePartialFiles(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    std::vector<std::wstring> partial;
    FindHandle search(FindFirstFileW((folder + L"*" + std::wstring(kPartialMarker) + L"*").c_str(), &found));
    if (!search) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsPartialFileName(found.cFileName))
            partial.push_back(folder + found.cFileName);
    } while (FindNextFileW(search.Get(), &found));
    for (const std::wstring& file : partial) DeleteFileW(file.c_str());
}

std::wstring ConfigFileFor(const std::wstring& cheminAppli, const std::wstring& name) {
    bool hasExtension = name.size() >= 4 && CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".cfg", 4, TRUE) == CSTR_EQUAL;
    return cheminAppli + L"Config\\" + name + (hasExtension ? L"" : L".cfg");
}

bool ReadsAsConfig(std::string_view bytes) { return !ParseConfig(bytes).empty(); }

}  // namespace kestrane
