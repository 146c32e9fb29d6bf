// Fen4, the external configuration editor: any configuration file, wherever it lies, read into a working
// copy under Tmp\, stepped through one service at a time, its start modes and states changed, and
// written back into the configuration folder, to a chosen place or over the file that was read. It
// edits a file only; it never touches a service.
#pragma once

#include "profile/ConfigFormat.h"
#include "windows/AppContext.h"
#include "win/Controls.h"
#include "win/Picture.h"
#include "win/Window.h"

#include <functional>
#include <string>
#include <vector>

namespace kestrane {

class Fen4 : public Window {
public:
    // `saved` runs after a save into the configuration folder or under a chosen name (the main window
    // lists its configurations again).
    Fen4(AppContext& app, std::function<void()> saved);
    ~Fen4() override;

    // Opens the editor on the working copy `workingCopy` of the file `source` (named `title`), reading
    // its entries again when the editor is already open. False, and nothing shown, when the working
    // copy holds something that is no configuration.
    bool Open(HWND owner, const std::wstring& source, const std::wstring& title, const std::wstring& workingCopy);
    void Close();

    // The entries in file order, as the file stores them.
    const std::vector<ConfigRecord>& Entries() const { return entries_; }
    // The entry the navigation list makes current (file order), -1 when there is none.
    int Current() const { return current_; }
    // The file the entries were read from, its bare name, and the working copy they are written to.
    const std::wstring& Source() const { return source_; }
    const std::wstring& Title() const { return title_; }
    const std::wstring& WorkingCopy() const { return workingCopy_; }

    // Kind "Mode" replaces the start mode of the entry at `index` (file order) and shows it in TbCbDem;
    // kind "Etat" does the same for the state and TbCbEta. Any other kind, or no such entry, does nothing.
    void ModifEntree(const std::wstring& value, const std::wstring& kind, int index);
    // Rewrites the working copy from the entries, in their order; the old one is replaced only by a
    // complete file. Throws FileError.
    void SauveConfTemp();

    // The commands.
    void OnBtPrec();
    void OnBtSuiv();
    void OnBtComInterne();
    void OnBtComKestrane();
    void OnBtAppli();
    void OnBtAppliSous();
    void OnBtAppliModif();
    void OnBtQuitte();

    // The navigation list (display names, sorted) and the fields of the current entry.
    ComboBox CbName;
    Control TbCbNameInterne, TbCbEta, TbCbDem;
    RichText RichTextBox1;
    // Every button by its name, in the order of the window (BtPrec ... BtQuitte).
    struct Button {
        const wchar_t* name;
        int id;
        Control control;
        std::wstring toolTip;
    };
    const std::vector<Button>& Buttons() const { return buttons_; }
    const Button* FindButton(const std::wstring& name) const;
    const std::wstring& BackgroundPath() const { return backgroundPath_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void ReportUnexpected(const std::wstring& reason) override;

private:
    void CreateControls();
    void Arrange(const RECT& canvas) override;
    bool FocusMnemonic(wchar_t letter) override;
    void OnCommand(int id, int code);
    void PaintBackground(HDC dc);
    void Load();
    void MakeCurrent();
    void Step(int delta);
    // Rewrites the working copy and copies it to `destination`; false, with the reason told, on a failure.
    bool SaveTo(const std::wstring& destination);
    // Whether the user's file may be written over: unchanged on disk since it was read, or the user says so.
    bool MayReplaceSource();

    AppContext& app_;
    bool modified_ = false;  // an entry was changed since the file was read
    std::function<void()> saved_;
    std::vector<ConfigRecord> entries_;
    int current_ = -1;
    std::wstring source_, title_, workingCopy_;
    std::string sourceRead_;  // the user's file as it was read: written back over only while it is still so
    ParsedConfig parsed_;     // its records as read, with their lines and its encoding
    std::vector<Button> buttons_;
    std::vector<HWND> statics_;  // labels and group boxes, painted over the background
    Picture background_;
    std::wstring backgroundPath_;
    HWND toolTip_ = nullptr;
    HFONT font_ = nullptr;
};

}  // namespace kestrane
