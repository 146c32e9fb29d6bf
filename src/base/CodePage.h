#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrane {

// Conversion between the program's wide strings and the 8-bit text of configuration files, the forbidden list
// and the plain-text help files, which are all in the system's ANSI code page (Windows-1252 on French systems).
//
// On Windows this is the code page the system calls CP_ACP when it is a single-byte one (see FileCodePageFor). Built elsewhere (the native test and fuzzing
// builds), it is Windows-1252 from a table of our own:
//  - bytes 0x80-0x9F follow cp1252 (0x80 euro sign, 0x92 right single quote, 0x9C oe ligature, ...);
//  - the five bytes cp1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their value as code point
//    (U+0081, ...), as MultiByteToWideChar does for code page 1252, so every byte string survives
//    FromAnsi followed by ToAnsi unchanged;
//  - a character the code page cannot represent becomes '?', never a look-alike; like Windows, which converts
//    UTF-16 units one at a time, a character beyond U+FFFF (a surrogate pair) becomes "??".

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);

// UTF-8 of a wide string; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);
// UTF-8 of a wide string, or nothing when it holds a lone surrogate (for a name that must stay exact).
std::optional<std::string> ToUtf8Exact(std::wstring_view text);

// The wide text of UTF-8 bytes; a byte sequence that is no UTF-8 becomes U+FFFD.
std::wstring FromUtf8(std::string_view bytes);

// How the bytes of a text file stand for its characters.
//  - CodePage: the file code page above (what Kestrane has always written);
//  - Utf8: UTF-8 without a byte-order mark (as most editors save today);
//  - Utf8WithMark: UTF-8 after the mark EF BB BF (as Notepad saves it, and as Kestrane writes a
//    configuration the code page cannot hold).
enum class TextEncoding { CodePage, Utf8, Utf8WithMark };

// The encoding of a file's content: Utf8WithMark when it begins with the mark; Utf8 when its bytes are
// UTF-8 throughout (strictly: no overlong form, no surrogate, nothing beyond U+10FFFF, no sequence cut
// short) and hold at least one character beyond ASCII; CodePage otherwise (ASCII alone reads the same
// either way, and code-page text with accents is almost never valid UTF-8).
TextEncoding DetectEncoding(std::string_view bytes);

// The text of `bytes` in `encoding`; for Utf8WithMark, without the mark when it is there. A byte
// sequence that is no UTF-8 becomes U+FFFD.
std::wstring DecodeText(std::string_view bytes, TextEncoding encoding);

// The bytes of `text` in `encoding` (without any mark), or nothing when the encoding cannot hold it
// exactly: a character outside the code page (never a '?' or a look-alike), a lone surrogate.
std::optional<std::string> EncodeExact(std::wstring_view text, TextEncoding encoding);

// Whether `text` goes through the file code page and back unchanged.
bool FitsCodePage(std::wstring_view text);

// The character that begins at `text[i]` (a surrogate pair taken whole where wchar_t has 16 bits) and in
// `units` how many units it takes; kNoCharacter for a lone surrogate or a value beyond U+10FFFF.
inline constexpr char32_t kNoCharacter = 0xFFFFFFFF;
char32_t CharacterAt(std::wstring_view text, size_t i, size_t& units);

// The control characters: C0 (U+0000 to U+001F, line ends and tab included), DEL and C1 (U+0080 to U+009F).
inline bool IsControlCharacter(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Text from the machine or a file as a message may show it: each control character as <U+XXXX>, a lone
// surrogate as U+FFFD; anything else as it is.
std::wstring VisibleText(std::wstring_view text);

// The text files of the program are in the ANSI code page; one that begins with the UTF-8 byte-order
// mark (as Notepad writes it) is UTF-8. Takes the mark off `bytes` and tells whether it was there.
bool TakeUtf8Mark(std::string_view& bytes);
// A field of such a file as wide text.
inline std::wstring FieldText(std::string_view bytes, bool utf8) { return utf8 ? FromUtf8(bytes) : FromAnsi(bytes); }

// The code page files are read and written in, for a system whose ANSI code page is `ansiCodePage`: that
// code page when it is a single-byte one, Windows-1252 when it is UTF-8 (65001) or a double-byte one
// (932, 936, 949, 950, ...), so that a file stays single-byte and byte for byte what a French system
// writes.
unsigned FileCodePageFor(unsigned ansiCodePage, bool singleByte);

// Replaces the system's ANSI code page for the conversions above, as if the system had `ansiCodePage`;
// 0 goes back to the system's. For tests, which cannot change the system's code page.
void SetAnsiCodePageForTesting(unsigned ansiCodePage);

}  // namespace kestrane
