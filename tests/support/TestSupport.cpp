#include "TestSupport.h"

#include "base/TextFile.h"
#include "profile/Origin.h"

#include <commctrl.h>


namespace kestrane::test {

int ScriptedDialogs::Message(HWND, const std::wstring& text, const std::wstring& title, int style) {
    shown.push_back({text, title, style});
    bool yesNo = style == 20 || style == 36 || style == 52 || style == 68;
    if (!yesNo) return IDOK;
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question box: " << std::string(text.begin(), text.end());
        return IDNO;
    }
    int answer = answers.front();
    answers.pop_front();
    return answer;
}

std::wstring ScriptedDialogs::InputBox(HWND, const std::wstring& prompt, const std::wstring& title,
                                       const std::wstring&) {
    prompts.push_back({prompt, title, 0});
    if (inputs.empty()) {
        ADD_FAILURE() << "unexpected input box";
        return {};
    }
    std::wstring text = inputs.front();
    inputs.pop_front();
    return text;
}

std::optional<FileChoice> ScriptedDialogs::NextFile(const FileDialogOptions& options) {
    fileDialogs.push_back(options);
    if (files.empty()) {
        ADD_FAILURE() << "unexpected file dialog";
        return std::nullopt;
    }
    std::optional<FileChoice> choice = files.front();
    files.pop_front();
    return choice;
}

std::optional<FileChoice> ScriptedDialogs::OpenFile(HWND, const FileDialogOptions& options) { return NextFile(options); }

std::optional<FileChoice> ScriptedDialogs::SaveFile(HWND, const FileDialogOptions& options) { return NextFile(options); }

void DialogKey(HWND window, HWND control, WPARAM key) {
    for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
        MSG msg{control, message, key, 1, 0, {}};
        if (!IsDialogMessageW(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        PumpMessages();
    }
}

std::wstring Shown(const std::wstring& caption) {
    std::wstring out;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void MainWindowTest::SetUp() {
    app.services = &machine;
    app.dialogs = &dialogs;
    app.quitOnClose = false;
    app.folders.today = [this] { return date; };
    app.folders.specialFolder = [this](HWND, int id) -> std::wstring {
        return id == 38 ? folder.Root() : folder.Root() + L"\\Documents";
    };
    folder.Write(L"liste\\interdit.txt", "");
}

void MainWindowTest::TearDown() { fen.reset(); }

void MainWindowTest::Open() {
    if (!firstStart) {
        try {
            TakeOriginIfMissing(machine, folder.App());
        } catch (const ServiceError&) {
            // A machine that cannot be read now: the window's start-up tries in its turn.
        }
        machine.ClearCounts();
    }
    fen = std::make_unique<Fen1>(app);
    ASSERT_TRUE(fen->Create(false));
}

std::vector<std::wstring> MainWindowTest::Items(const ComboBox& list) const {
    std::vector<std::wstring> items;
    for (int i = 0; i < list.Count(); ++i) items.push_back(list.Item(i));
    return items;
}

}  // namespace kestrane::test

