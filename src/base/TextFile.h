#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace kestrane {

// A file that could not be opened, read or written. Path() names it; what() says which step failed.
class FileError : public std::runtime_error {
public:
    FileError(const std::string& what, std::wstring path, unsigned long systemError = 0)
        : std::runtime_error(what), path_(std::move(path)), systemError_(systemError) {}
    const std::wstring& Path() const noexcept { return path_; }
    // The system's error code of the failure (GetLastError on Windows), 0 when there is none.
    unsigned long SystemError() const noexcept { return systemError_; }

private:
    std::wstring path_;
    unsigned long systemError_;
};

// The whole content of a file, as bytes. Other programs may hold the file open for writing meanwhile.
// Throws FileError.
std::string ReadFileBytes(const std::wstring& path);

// Opens the file for appending (creating it when missing), writes the bytes at its end and closes it.
// Throws FileError.
void AppendFileBytes(const std::wstring& path, std::string_view bytes);

// True when an ordinary file (not a folder) exists at the path.
bool FileExists(const std::wstring& path);

// Whether a name from the machine or from a file may be used as the name of a file in a folder of the
// program: not empty, no folder separator, drive or stream colon, no "..", no control character.
bool IsBareFileName(std::wstring_view name);

// What whole-file writes append their bytes with: the file system, or in tests a writer that fails
// part-way.
class FileWriter {
public:
    virtual ~FileWriter() = default;
    // AppendFileBytes, or its failure. Throws FileError.
    virtual void Append(const std::wstring& path, std::string_view bytes) = 0;
};

// The writer of the file system itself.
FileWriter& SystemFileWriter();

}  // namespace kestrane
