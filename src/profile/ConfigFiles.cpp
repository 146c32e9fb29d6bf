#include "profile/ConfigFiles.h"

#include "base/CodePage.h"
#include "base/Handles.h"
#include "base/TextFile.h"
#include "base/Texts.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
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

WrittenConfig WriteConfigFile(const std::wstring& path, const std::vector<ConfigRecord>& records, FileWriter& writer,
                              std::optional<TextEncoding> encoding, bool crlf) {
    WrittenConfig written;
    std::string bytes = FormatConfig(records, encoding.value_or(EncodingFor(records)), crlf, &written.refused, &written.adjusted);
    WriteFileReplacing(path, bytes, writer);
    return written;
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

std::string RewrittenConfig(std::string_view original, const ParsedConfig& parsed, const std::vector<ConfigRecord>& records) {
    // The lines of the file, each with its line end (CR LF, LF or CR), the last one perhaps without.
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < original.size();) {
        size_t end = original.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = original.size();
        else if (original[end] == '\r' && end + 1 < original.size() && original[end + 1] == '\n') end += 2;
        else end += 1;
        lines.push_back(original.substr(start, end - start));
        start = end;
    }
    std::vector<std::string> out(lines.begin(), lines.end());
    for (size_t i = 0; i < records.size() && i < parsed.records.size() && i < parsed.lines.size(); ++i) {
        size_t line = static_cast<size_t>(parsed.lines[i]) - 1;
        if (records[i] == parsed.records[i] || line >= out.size()) continue;
        std::string_view was = lines[line];
        size_t body = was.find_first_of("\r\n");
        std::string ending(body == std::string_view::npos ? std::string_view() : was.substr(body));
        std::string mark = line == 0 && parsed.encoding == TextEncoding::Utf8WithMark ? std::string(was.substr(0, 3)) : std::string();
        std::string text = FormatRecord(records[i], parsed.encoding);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        out[line] = mark + text + ending;
    }
    std::string bytes;
    for (const std::string& line : out) bytes += line;
    return bytes;
}

std::vector<std::wstring> WrittenLines(const WrittenConfig& written) {
    std::vector<std::wstring> lines;
    auto list = [](const std::vector<std::wstring>& names) {
        std::wstring out;
        for (const std::wstring& name : names) out += (out.empty() ? L"" : L", ") + VisibleText(name);
        return out;
    };
    if (!written.adjusted.empty()) lines.push_back(texts::kSaveAdjusted + list(written.adjusted));
    if (!written.refused.empty()) lines.push_back(texts::kSaveRefused + list(written.refused));
    return lines;
}

bool ReadsAsConfig(std::string_view bytes) {
    try {
        return !ParseConfig(bytes).empty();
    } catch (const UserError&) {
        return false;
    }
}

std::wstring ReplacedFolder(const std::wstring& cheminAppli) { return cheminAppli + L"Config\\Remplac\u00e9es\\"; }

std::optional<std::wstring> KeepReplaced(const std::wstring& path, const std::wstring& cheminAppli, bool recycleBin) {
    if (!FileExists(path)) return std::nullopt;
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    std::wstring stem = name.size() > 4 && IsConfigFileName(name.substr(name.size() - 4)) ? name.substr(0, name.size() - 4) : name;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t when[64];
    swprintf(when, 64, L" (remplac\u00e9e le %04u-%02u-%02u \u00e0 %02uh%02u %02u s).cfg", now.wYear, now.wMonth, now.wDay,
             now.wHour, now.wMinute, now.wSecond);
    std::wstring folder = ReplacedFolder(cheminAppli);
    CreateDirectoryW((cheminAppli + L"Config\\").c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring kept = folder + stem + when;
    for (int n = 2; GetFileAttributesW(kept.c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
        kept = folder + stem + when + L"_" + std::to_wstring(n);
    // A copy: the file itself stays where it is until its replacement is complete.
    if (!CopyFileW(path.c_str(), kept.c_str(), TRUE)) throw FileError("CopyFileW", kept, GetLastError());
    if (!recycleBin) return kept;
    // Into the Recycle Bin only where the volume has one: elsewhere (a network folder, some removable
    // drives) a deletion "to the bin" destroys the file without a word. The copy stays here otherwise.
    SHQUERYRBINFO bin{};
    bin.cbSize = sizeof(bin);
    if (FAILED(SHQueryRecycleBinW(folder.c_str(), &bin))) return kept;
    std::wstring from = kept + L'\0';  // a list of names, ended by an empty one
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    if (SHFileOperationW(&operation) != 0 || operation.fAnyOperationsAborted || FileExists(kept)) return kept;
    return std::wstring();
}

std::wstring KeptLine(const std::wstring& kept) {
    return kept.empty() ? std::wstring(texts::kReplacedInBin) : texts::kReplacedKept + kept;
}

}  // namespace kestrane
