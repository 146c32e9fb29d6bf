// Every message box, input box and file dialog of the program goes through this interface, so that
// tests can answer them from a script.
#pragma once

#include <windows.h>

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
}  // namespace BoxStyle

// The MB_ flags for one of the styles above.
UINT MessageBoxFlags(int style);

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows a modal box and returns the button pressed (IDOK, IDYES, IDNO).
    virtual int Message(HWND owner, const std::wstring& text, const std::wstring& title, int style) = 0;
};

// The real boxes.
class Win32Dialogs : public Dialogs {
public:
    int Message(HWND owner, const std::wstring& text, const std::wstring& title, int style) override;
};

}  // namespace kestrane
