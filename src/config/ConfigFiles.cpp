#include "config/ConfigFiles.h"

#include "config/CodePage.h"
#include "config/TextFile.h"

#include <windows.h>

#include <cwctype>

namespace kestrane {

bool IsValidConfigName(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    for (wchar_t c : name)
        if (c < 32 || c == 127 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
    if (name.back() == L' ' || name.back() == L'.') return false;
    // Device names are reserved whatever follows them after a dot ("CON.cfg" is the console too).
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (auto& c : base) c = static_cast<wchar_t>(towupper(c));
    for (const wchar_t* reserved : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (base == reserved) return false;
    if (base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0) && base[3] >= L'1' &&
        base[3] <= L'9')
        return false;
    return true;
}

std::wstring DefaultConfigName(const Variables& var) {
    return std::to_wstring(var.Jour) + L"-" + std::to_wstring(var.Mois) + L"-" + std::to_wstring(var.Annee);
}

void WriteConfigFile(const std::wstring& path, const std::vector<ConfigRecord>& records,
                     const std::function<void(size_t)>& afterRecord) {
    // Beside the destination, so that the replacement is a rename within one volume.
    std::wstring partial = path + L".partiel-" + std::to_wstring(GetCurrentProcessId());
    DeleteFileW(partial.c_str());
    try {
        // The file exists even when there is nothing to write: an empty configuration is a file.
        AppendFileBytes(partial, "");
        size_t written = 0;
        for (const ConfigRecord& record : records) {
            AppendConfigRecord(partial, record);
            ++written;
            if (afterRecord) afterRecord(written);
        }
        HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) throw FileError("cannot open the new file to flush it", partial, GetLastError());
        BOOL flushed = FlushFileBuffers(file);
        DWORD flushError = GetLastError();
        CloseHandle(file);
        if (!flushed) throw FileError("cannot write the new file to disk", partial, flushError);
        if (!MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throw FileError("cannot replace the configuration", path, GetLastError());
    } catch (const FileError& e) {
        DeleteFileW(partial.c_str());
        // Told as a failure of the configuration itself, not of the file beside it.
        throw FileError(e.what(), path, e.SystemError());
    } catch (const std::exception& e) {
        DeleteFileW(partial.c_str());
        throw FileError(e.what(), path);
    }
}

void CopyFileReplacing(const std::wstring& source, const std::wstring& destination) {
    std::wstring partial = destination + L".partiel-" + std::to_wstring(GetCurrentProcessId());
    if (!CopyFileW(source.c_str(), partial.c_str(), FALSE)) {
        DWORD error = GetLastError();
        DeleteFileW(partial.c_str());
        throw FileError("cannot copy the file", destination, error);
    }
    if (!MoveFileExW(partial.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD error = GetLastError();
        DeleteFileW(partial.c_str());
        throw FileError("cannot replace the file", destination, error);
    }
}

void WriteFileReplacing(const std::wstring& path, std::string_view bytes) {
    std::wstring partial = path + L".partiel-" + std::to_wstring(GetCurrentProcessId());
    DeleteFileW(partial.c_str());
    try {
        AppendFileBytes(partial, bytes);
    } catch (const FileError& e) {
        DeleteFileW(partial.c_str());
        throw FileError(e.what(), path, e.SystemError());
    }
    if (!MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD error = GetLastError();
        DeleteFileW(partial.c_str());
        throw FileError("cannot replace the file", path, error);
    }
}

namespace {

// The system's own words for an error (in the language of the system), without the final line end.
std::wstring SystemMessage(unsigned long error) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length && text ? std::wstring(text, length) : std::wstring();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message;
}

}  // namespace

std::wstring FileFailureReason(const std::exception& failure) {
    if (const auto* file = dynamic_cast<const FileError*>(&failure)) {
        std::wstring reason = file->Path();
        std::wstring system = file->SystemError() ? SystemMessage(file->SystemError()) : std::wstring();
        if (!system.empty()) reason += L" (" + system + L")";
        return reason;
    }
    return FromAnsi(failure.what());
}

bool ReadsAsConfig(std::string_view bytes) { return !ParseConfig(bytes).empty(); }

}  // namespace kestrane
