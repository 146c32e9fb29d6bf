// What the native tests share: a scratch folder of their own, and random text from all of Unicode.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <vector>

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

// Appends one character, as a surrogate pair where wchar_t has 16 bits; a surrogate on its own stays alone.
inline void AppendCharacter(std::wstring& text, char32_t c) {
    if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
        text += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
        text += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        text += static_cast<wchar_t>(c);
    }
}

// Up to `longest` characters that names and display names from a file or the machine may hold: what the files'
// syntax uses (quotes, commas, blanks, line ends), controls (C0, DEL, C1), lone surrogates, characters beyond
// U+FFFF, the code page's own letters and those it lacks (Polish, Cyrillic, Greek, Chinese), and Windows-1252
// text that reads as UTF-8 ("Ã©"); `codePageOnly` keeps to printable characters Windows-1252 has.
inline std::wstring RandomText(std::mt19937& random, size_t longest, bool codePageOnly = false) {
    static const std::vector<char32_t> kAny = {
        U'"', U',', U' ', U'\t', U'\r', U'\n', 0x00, 0x01, 0x1F, 0x7F, 0x81, 0x85, 0x9D, 0x9F, 0xA0, 0xC3, 0xA9,
        0xE2, 0x80, 0x99, U'\'', U'é', U'€', U'œ', U'ł', U'Ł', U'Ж', U'Ω', U'漢', 0x1F600, 0x10FFFF, 0xD800,
        0xDBFF, 0xDC00, 0xFEFF, 0x2028, 0x2029, 0xFFFD, 0xFFFE, U'{', U'$', U'`', U'*'};
    static const std::vector<char32_t> kCodePage = {U'"', U',', U' ', U'é', U'€', U'œ', U'’', U'Ÿ', U'Ã', U'©',
                                                    U'Â', 0xA0, 0xFF, U'\'', U'{', U'$', U'`', U'*'};
    const std::vector<char32_t>& picks = codePageOnly ? kCodePage : kAny;
    std::wstring text;
    for (size_t n = random() % (longest + 1); n > 0; --n) {
        switch (random() % 4) {
        case 0:
        case 1:
            AppendCharacter(text, picks[random() % picks.size()]);
            break;
        case 2:
            AppendCharacter(text, U'0' + random() % 75);
            break;
        default:
            AppendCharacter(text, codePageOnly ? 0xA0 + random() % 0x60 : random() % 0x110000);
        }
    }
    return text;
}

}  // namespace kestrane
