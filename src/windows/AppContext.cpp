#include "windows/AppContext.h"

#include "base/Texts.h"

namespace kestrane {

void ShowUnexpected(AppContext& app, HWND owner, const std::wstring& reason) {
    app.dialogs->Message(owner, texts::kUnexpectedError + reason, texts::kProgramTitle, BoxStyle::ErrorOk);
}

}  // namespace kestrane
