// What the window tests share: a scratch application folder, scripted message boxes, a main window on
// the simulated machine.
#pragma once

#include "windows/main/Fen1.h"
#include "service/SimulatedServiceManager.h"
#include "base/Texts.h"

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

// Writes through to the file system, but fails once `failAfter` writes have been made: the failing
// write puts half of its bytes in the file, then throws, as a disk that fills up does.
class FailingWriter : public FileWriter {
public:
    int failAfter = -1;  // writes allowed before the failing one; -1: none fails
    int writes = 0;
    void Append(const std::wstring& path, std::string_view bytes) override;
};

// Messages posted to the windows of this thread are handled (a posted resynchronisation, say).
void PumpMessages();

// A fresh application folder "<temp>\<unique>\Kestrane\" with the empty folders the program expects.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::wstring& Root() const { return root_; }        // the "program files" folder
    std::wstring App() const { return root_ + L"\\Kestrane\\"; }  // CheminAppli
    void Write(const std::wstring& relative, const std::string& bytes) const;
    void Remove(const std::wstring& relative) const;
    bool Exists(const std::wstring& relative) const;
    // Copies a file of the repository's application folder (data/) into this one.
    void CopyFromData(const std::wstring& relative) const;

private:
    std::wstring root_;
};

// The demo machine most tests use: services with dependencies, descriptions, one without any.
void AddDemoServices(SimulatedServiceManager& machine);

// A main window on the simulated machine, created hidden; the folder's forbidden list is empty.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Creates the window (which runs the start-up). Call after arranging machine and folder.
    void Open();
    std::vector<std::wstring> Items(const ComboBox& list) const;

    SimulatedServiceManager machine;
    ScriptedDialogs dialogs;
    ScratchFolder folder;
    AppContext app;
    std::unique_ptr<Fen1> fen;
    Date date{7, 12, 2026};
};

}  // namespace kestrane::test
