#include "base/FailureText.h"

#include "base/CodePage.h"
#include "base/TextFile.h"

#include <windows.h>

namespace kestrane {

std::wstring CurrentExceptionText() {
    try {
        throw;
    } catch (const UserError& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return FromAnsi(e.what());
    } catch (...) {
        return L"exception inconnue";
    }
}

std::wstring SystemMessage(unsigned long error) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length && text ? std::wstring(text, length) : std::wstring();
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message;
}

std::wstring FileFailureReason(const std::exception& failure) {
    if (const auto* file = dynamic_cast<const FileError*>(&failure)) {
        std::wstring reason = file->Path();
        std::wstring system = file->SystemError() ? SystemMessage(file->SystemError()) : std::wstring();
        if (!system.empty()) reason += L" (" + system + L")";
        return reason;
    }
    if (const auto* user = dynamic_cast<const UserError*>(&failure)) return user->Message();
    return FromAnsi(failure.what());
}

}  // namespace kestrane
