#pragma once

#include <string>
#include <string_view>

namespace kestrane {

// Conversion between the program's wide strings and the 8-bit text of configuration files, the forbidden list
// and the plain-text help files, which are all in the system's ANSI code page (Windows-1252 on French systems).
//
// On Windows this is the code page the system calls CP_ACP. Built elsewhere (the native test and fuzzing
// builds), it is Windows-1252 from a table of our own:
//  - bytes 0x80-0x9F follow cp1252 (0x80 euro sign, 0x92 right single quote, 0x9C oe ligature, ...);
//  - the five bytes cp1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their value as code point
//    (U+0081, ...), as MultiByteToWideChar does for code page 1252, so every byte string survives
//    FromAnsi followed by ToAnsi unchanged;
//  - a character the code page cannot represent becomes '?', never a look-alike; like Windows, which converts
//    UTF-16 units one at a time, a character beyond U+FFFF (a surrogate pair) becomes "??".

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);

}  // namespace kestrane
