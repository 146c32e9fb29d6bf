#include "win/Dialogs.h"

namespace kestrane {

UINT MessageBoxFlags(int style) {
    switch (style) {
    case BoxStyle::ErrorOk: return MB_ICONERROR | MB_OK;
    case BoxStyle::ErrorYesNo: return MB_ICONERROR | MB_YESNO;
    case BoxStyle::QuestionYesNo: return MB_ICONQUESTION | MB_YESNO;
    case BoxStyle::WarningOk: return MB_ICONWARNING | MB_OK;
    case BoxStyle::InformationOk: return MB_ICONINFORMATION | MB_OK;
    case BoxStyle::InformationYesNo: return MB_ICONINFORMATION | MB_YESNO;
    default: return MB_OK;
    }
}

int Win32Dialogs::Message(HWND owner, const std::wstring& text, const std::wstring& title, int style) {
    return MessageBoxW(owner, text.c_str(), title.c_str(), MessageBoxFlags(style));
}

}  // namespace kestrane
