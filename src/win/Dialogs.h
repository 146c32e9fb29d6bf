// Every message box, input box and file dialog of the program goes through this interface, so that
// tests can answer them from a script.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace kestrane {

// Message box styles as the program names them: icon and buttons in one number.
namespace BoxStyle {
constexpr int ErrorOk = 16;          // error icon, OK
constexpr int ErrorYesNo = 20;       // error icon, Yes and No
constexpr int QuestionYesNo = 36;    // question icon, Yes and No
constexpr int WarningOk = 48;        // warning icon, OK
constexpr int InformationOk = 64;    // information icon, OK
constexpr int InformationYesNo = 68; // information icon, Yes and No
constexpr int WarningYesNo = 52;     // warning icon, Yes and No, No the default button
}  // namespace BoxStyle

// The MB_ flags for one of the styles above.
UINT MessageBoxFlags(int style);

// What a file dialog shows: its title, the folder it opens in, the file name it proposes, and the
// filter as pairs "description|pattern|description|pattern".
struct FileDialogOptions {
    std::wstring title;
    std::wstring initialFolder;
    std::wstring fileName;
    std::wstring filter;
    std::wstring defaultExtension;  // without the dot; added to a name typed without one
};

// The file chosen: its full path and its bare name.
struct FileChoice {
    std::wstring path;
    std::wstring name;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a modal box and returns the button pressed (IDOK, IDYES, IDNO).
    virtual int Message(HWND owner, const std::wstring& text, const std::wstring& title, int style) = 0;
    // A one-line input box with OK and Cancel; Cancel (or closing it) gives the empty text.
    virtual std::wstring InputBox(HWND owner, const std::wstring& prompt, const std::wstring& title,
                                  const std::wstring& initial) = 0;
    // The file dialog in its open and save forms; nothing when the user cancels.
    virtual std::optional<FileChoice> OpenFile(HWND owner, const FileDialogOptions& options) = 0;
    virtual std::optional<FileChoice> SaveFile(HWND owner, const FileDialogOptions& options) = 0;
};

// The real boxes.
class Win32Dialogs : public Dialogs {
public:
    int Message(HWND owner, const std::wstring& text, const std::wstring& title, int style) override;
    std::wstring InputBox(HWND owner, const std::wstring& prompt, const std::wstring& title,
                          const std::wstring& initial) override;
    std::optional<FileChoice> OpenFile(HWND owner, const FileDialogOptions& options) override;
    std::optional<FileChoice> SaveFile(HWND owner, const FileDialogOptions& options) override;
};

}  // namespace kestrane
