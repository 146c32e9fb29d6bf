#include "base/CodePage.h"

#ifdef _WIN32
#include <windows.h>

#include <climits>
#include <stdexcept>
#endif

#include <type_traits>

namespace kestrane {

unsigned FileCodePageFor(unsigned ansiCodePage, bool singleByte) {
    constexpr unsigned kUtf8 = 65001;
    constexpr unsigned kWestern = 1252;
    if (ansiCodePage == kUtf8 || !singleByte) return kWestern;
    return ansiCodePage;
}

namespace {
unsigned g_testCodePage = 0;  // the code page a test puts in the system's place; 0: the system's
}  // namespace

void SetAnsiCodePageForTesting(unsigned ansiCodePage) { g_testCodePage = ansiCodePage; }

#ifdef _WIN32

namespace {

// The code page of the files, worked out once for the system's code page (it cannot change while the
// program runs) and again for the code page a test sets.
UINT FileCodePage() {
    auto forPage = [](UINT page) {
        CPINFO info{};
        bool singleByte = GetCPInfo(page, &info) && info.MaxCharSize == 1;
        return static_cast<UINT>(FileCodePageFor(page, singleByte));
    };
    if (g_testCodePage) return forPage(g_testCodePage);
    static const UINT system = forPage(GetACP());
    return system;
}

int CheckedLength(size_t size) {
    if (size > static_cast<size_t>(INT_MAX)) throw std::length_error("text too long for code page conversion");
    return static_cast<int>(size);
}

// Converts with the given flags; returns false when the code page refuses the flags themselves.
bool WideToAnsi(UINT codePage, std::wstring_view text, DWORD flags, const char* defaultChar, std::string& out) {
    int length = CheckedLength(text.size());
    int needed = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, defaultChar, nullptr);
    if (needed <= 0) return false;
    out.resize(static_cast<size_t>(needed));
    return WideCharToMultiByte(codePage, flags, text.data(), length, out.data(), needed, defaultChar, nullptr) ==
           needed;
}

// The code page's bytes of `text`, or nothing when a character has none of its own.
std::optional<std::string> ToAnsiExact(std::wstring_view text);

}  // namespace

std::string ToAnsi(std::wstring_view text) {
    std::string out;
    if (text.empty()) return out;
    // WC_NO_BEST_FIT_CHARS: a character outside the code page becomes the default character '?' instead of a
    // look-alike (e.g. U+0141 would otherwise turn into 'L'), so what is written never names something else.
    UINT codePage = FileCodePage();
    if (WideToAnsi(codePage, text, WC_NO_BEST_FIT_CHARS, "?", out)) return out;
    // Some ANSI code pages (UTF-8 when the system opts into it, the ISO-2022 ones) refuse both the flag and a
    // default character: WideCharToMultiByte documents that they must be 0 and NULL there.
    if (WideToAnsi(codePage, text, 0, nullptr, out)) return out;
    throw std::runtime_error("conversion to the ANSI code page failed");
}

std::wstring FromAnsi(std::string_view bytes) {
    std::wstring out;
    if (bytes.empty()) return out;
    int length = CheckedLength(bytes.size());
    // No MB_ERR_INVALID_CHARS: a byte that is invalid in the code page is replaced rather than failing the read.
    UINT codePage = FileCodePage();
    int needed = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) throw std::runtime_error("conversion from the ANSI code page failed");
    out.resize(static_cast<size_t>(needed));
    MultiByteToWideChar(codePage, 0, bytes.data(), length, out.data(), needed);
    return out;
}

namespace {

std::optional<std::string> ToAnsiExact(std::wstring_view text) {
    std::string out;
    if (text.empty()) return out;
    UINT codePage = FileCodePage();
    int length = CheckedLength(text.size());
    // The default character tells a character the code page lacks; a code page that refuses the flags (see
    // ToAnsi) is converted without them. Either way the bytes must give the text back: that alone is exact.
    BOOL usedDefault = FALSE;
    int needed = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0, nullptr, &usedDefault);
    if (needed > 0) {
        out.resize(static_cast<size_t>(needed));
        if (WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), length, out.data(), needed, nullptr,
                                &usedDefault) != needed)
            return std::nullopt;
        if (usedDefault) return std::nullopt;
    } else if (!WideToAnsi(codePage, text, 0, nullptr, out)) {
        return std::nullopt;
    }
    if (FromAnsi(out) != text) return std::nullopt;
    return out;
}

}  // namespace

#else

namespace {

// Code points of the cp1252 bytes 0x80-0x9F. The five undefined bytes keep their own value.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char EncodeCodePoint(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(static_cast<unsigned char>(c));
    for (unsigned i = 0; i < 32; ++i)
        if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

std::string ToAnsi(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t unit : text) {
        auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(unit));
        // Windows converts UTF-16 units one by one: a character beyond U+FFFF, two units there, gives "??".
        // A 32-bit wchar_t holds it whole; it is written the same way, so the bytes do not depend on the system.
        if (c > 0xFFFF) out.push_back('?');
        out.push_back(EncodeCodePoint(c));
    }
    return out;
}

std::wstring FromAnsi(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (char byte : bytes) {
        auto b = static_cast<unsigned char>(byte);
        out.push_back(static_cast<wchar_t>(b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : b));
    }
    return out;
}

namespace {

std::optional<std::string> ToAnsiExact(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t unit : text) {
        auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(unit));
        char byte = c > 0xFFFF ? '?' : EncodeCodePoint(c);
        if (byte == '?' && c != U'?') return std::nullopt;
        out.push_back(byte);
    }
    return out;
}

}  // namespace

#endif

namespace {

// Appends the UTF-8 of `text` to `out`. A lone surrogate becomes U+FFFD, or ends the conversion with false
// when `exact`.
bool AppendUtf8(std::wstring_view text, bool exact, std::string& out) {
    for (size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
            static_cast<char32_t>(text[i + 1]) >= 0xDC00 && static_cast<char32_t>(text[i + 1]) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
            if (exact) return false;
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return true;
}

}  // namespace

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    AppendUtf8(text, false, out);
    return out;
}

std::optional<std::string> ToUtf8Exact(std::wstring_view text) {
    std::string out;
    if (!AppendUtf8(text, true, out)) return std::nullopt;
    return out;
}

namespace {

// The code point that begins at `bytes[i]`, and how many bytes it takes; 0 for bytes that are no UTF-8
// there (overlong forms, surrogates and values beyond U+10FFFF included).
size_t DecodeUtf8(std::string_view bytes, size_t i, char32_t& c) {
    auto lead = static_cast<unsigned char>(bytes[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > bytes.size()) return 0;
    static const unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    c = lead & kLeadBits[length];
    for (size_t k = 1; k < length; ++k) {
        auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        c = (c << 6) | (next & 0x3F);
    }
    static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::wstring FromUtf8(std::string_view bytes) {
    std::wstring out;
    for (size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        size_t length = DecodeUtf8(bytes, i, c);
        if (length == 0) {
            c = 0xFFFD;
            length = 1;
        }
        if (sizeof(wchar_t) == 2 && c >= 0x10000) {
            out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
        i += length;
    }
    return out;
}

bool TakeUtf8Mark(std::string_view& bytes) {
    if (bytes.substr(0, 3) != "\xEF\xBB\xBF") return false;
    bytes.remove_prefix(3);
    return true;
}

char32_t CharacterAt(std::wstring_view text, size_t i, size_t& units) {
    auto unit = [&](size_t k) { return static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[k])); };
    char32_t c = unit(i);
    units = 1;
    if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
        units = 2;
        return 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return kNoCharacter;
    return c;
}

std::wstring VisibleText(std::wstring_view text) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out;
    for (size_t i = 0, units = 1; i < text.size(); i += units) {
        char32_t c = CharacterAt(text, i, units);
        if (c == kNoCharacter) {
            out += static_cast<wchar_t>(0xFFFD);
        } else if (IsControlCharacter(c)) {
            out += L"<U+00";
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
            out += L'>';
        } else {
            out.append(text.substr(i, units));
        }
    }
    return out;
}

TextEncoding DetectEncoding(std::string_view bytes) {
    if (TakeUtf8Mark(bytes)) return TextEncoding::Utf8WithMark;
    bool beyondAscii = false;
    for (size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        char32_t c = 0;
        size_t length = DecodeUtf8(bytes, i, c);
        if (length == 0) return TextEncoding::CodePage;
        beyondAscii = true;
        i += length;
    }
    return beyondAscii ? TextEncoding::Utf8 : TextEncoding::CodePage;
}

std::wstring DecodeText(std::string_view bytes, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::CodePage:
        return FromAnsi(bytes);
    case TextEncoding::Utf8WithMark:
        TakeUtf8Mark(bytes);
        return FromUtf8(bytes);
    case TextEncoding::Utf8:
        break;
    }
    return FromUtf8(bytes);
}

std::optional<std::string> EncodeExact(std::wstring_view text, TextEncoding encoding) {
    if (encoding == TextEncoding::CodePage) return ToAnsiExact(text);
    return ToUtf8Exact(text);
}

bool FitsCodePage(std::wstring_view text) { return ToAnsiExact(text).has_value(); }

}  // namespace kestrane
