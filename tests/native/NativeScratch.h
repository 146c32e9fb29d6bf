// What the native tests share: a scratch folder of their own.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace kestrane {

namespace fs = std::filesystem;

// A folder of its own under the temporary directory, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("kestrane-native-" + std::to_string(random()));
        fs::create_directories(root_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    // Built as text: std::filesystem would convert a non-ASCII name through the locale, not as the program does.
    std::wstring Path(const std::wstring& name) const {
        return root_.wstring() + static_cast<wchar_t>(fs::path::preferred_separator) + name;
    }

private:
    fs::path root_;
};

}  // namespace kestrane
