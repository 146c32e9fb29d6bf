#include "base/TextFile.h"

#include "base/CodePage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#include <fstream>
#include <iterator>
#include <type_traits>
#endif

namespace kestrane {

#ifdef _WIN32

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (Valid()) CloseHandle(handle_);
    }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    // Closes now, so that a failure to flush on close can be reported.
    bool Close() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != FALSE;
    }

private:
    HANDLE handle_;
};

}  // namespace

std::string ReadFileBytes(const std::wstring& path) {
    // FILE_SHARE_WRITE as well: a configuration may be open in an editor, or being appended to, while we read.
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) throw FileError("cannot open the file for reading", path, GetLastError());
    std::string bytes;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0) bytes.reserve(static_cast<size_t>(size.QuadPart));
    // Read until ReadFile reports the end rather than trusting the size: the file may grow meanwhile.
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) throw FileError("cannot read the file", path, GetLastError());
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return bytes;
}

void AppendFileBytes(const std::wstring& path, std::string_view bytes) {
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the current end of the file, even when
    // another writer appended since we opened it (CreateFile documentation, "File Access Rights Constants").
    FileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) throw FileError("cannot open the file for appending", path, GetLastError());
    while (!bytes.empty()) {
        DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes.data(), chunk, &written, nullptr) || written == 0)
            throw FileError("cannot write to the file", path, GetLastError());
        bytes.remove_prefix(written);
    }
    if (!file.Close()) throw FileError("cannot close the file", path, GetLastError());
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

#else

namespace {

// The native spelling of a wide path: UTF-8, as Linux desktops name files. Converted here rather than by
// std::filesystem::path, whose wide conversion follows the C++ global locale and fails on any non-ASCII
// character under the default "C" locale.
std::filesystem::path NativePath(const std::wstring& path) {
    std::optional<std::string> utf8 = ToUtf8Exact(path);
    if (!utf8) throw FileError("the path cannot be spelled in UTF-8", path);
    return std::filesystem::path(*utf8);
}

}  // namespace

// The stream buffer reading a folder may throw exceptions of its own: callers get FileError.

std::string ReadFileBytes(const std::wstring& path) {
    try {
        std::ifstream in(NativePath(path), std::ios::binary);
        if (!in) throw FileError("cannot open the file for reading", path);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) throw FileError("cannot read the file", path);
        return bytes;
    } catch (const FileError&) {
        throw;
    } catch (const std::exception&) {
        throw FileError("cannot read the file", path);
    }
}

void AppendFileBytes(const std::wstring& path, std::string_view bytes) {
    try {
        std::ofstream out(NativePath(path), std::ios::binary | std::ios::app);
        if (!out) throw FileError("cannot open the file for appending", path);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) throw FileError("cannot write to the file", path);
    } catch (const FileError&) {
        throw;
    } catch (const std::exception&) {
        throw FileError("cannot write to the file", path);
    }
}

bool FileExists(const std::wstring& path) {
    try {
        std::error_code error;
        return std::filesystem::is_regular_file(NativePath(path), error);
    } catch (const FileError&) {
        return false;  // a path that has no native spelling names no file
    }
}

#endif

bool IsBareFileName(std::wstring_view name) {
    if (name.empty() || name.find(L"..") != std::wstring_view::npos) return false;
    for (wchar_t c : name)
        if (c < 32 || c == L'\\' || c == L'/' || c == L':') return false;
    return true;
}

FileWriter& SystemFileWriter() {
    class System : public FileWriter {
    public:
        void Append(const std::wstring& path, std::string_view bytes) override { AppendFileBytes(path, bytes); }
    };
    static System writer;
    return writer;
}

}  // namespace kestrane
