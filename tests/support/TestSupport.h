// What the window tests share besides the scratch folder and the demo machine: scripted message boxes,
// a main window on the simulated machine.
#pragma once

#include "Scratch.h"
#include "base/Texts.h"
#include "windows/main/Fen1.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kestrane::test {

// Message boxes answered from a script and remembered.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        std::wstring text, title;
        int style;
    };
    std::deque<int> answers;  // IDYES / IDNO for the Yes and No boxes, in order
    std::vector<Shown> shown;
    std::deque<std::wstring> inputs;                   // what the input boxes get typed (empty: Cancel)
    std::deque<std::optional<FileChoice>> files;       // what the file dialogs give (nothing: Cancel)
    std::vector<Shown> prompts;                        // input boxes shown (prompt, title)
    std::vector<FileDialogOptions> fileDialogs;        // file dialogs shown

    int Message(HWND, const std::wstring& text, const std::wstring& title, int style) override;
    std::wstring InputBox(HWND, const std::wstring& prompt, const std::wstring& title,
                          const std::wstring& initial) override;
    std::optional<FileChoice> OpenFile(HWND, const FileDialogOptions& options) override;
    std::optional<FileChoice> SaveFile(HWND, const FileDialogOptions& options) override;

private:
    std::optional<FileChoice> NextFile(const FileDialogOptions& options);
};

// A caption as the user reads it: without the '&' that marks its mnemonic.
std::wstring Shown(const std::wstring& caption);

// Messages posted to the windows of this thread are handled (a posted resynchronisation, say).
void PumpMessages();

// Delivers a key pressed in `control` of the top-level `window` as the program's message loop does: the
// dialog manager first.
void DialogKey(HWND window, HWND control, WPARAM key);

// A main window on the simulated machine, created hidden; the folder's forbidden list is empty.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Creates the window (which runs the start-up). Call after arranging machine and folder. Unless
    // `firstStart`, the machine has met Kestrane before: its original state is taken first, as it was then.
    void Open();
    bool firstStart = false;
    std::vector<std::wstring> Items(const ComboBox& list) const;

    SimulatedServiceManager machine;
    ScriptedDialogs dialogs;
    ScratchFolder folder;
    AppContext app;
    std::unique_ptr<Fen1> fen;
    Date date{7, 12, 2026};
};

}  // namespace kestrane::test
