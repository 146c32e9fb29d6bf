// Fen3, the export window: the configurations of the configuration folder, and a button that copies
// the one selected to a place the user chooses.
#pragma once

#include "windows/AppContext.h"
#include "win/Picture.h"
#include "win/Window.h"

#include <functional>
#include <string>
#include <vector>

namespace kestrane {

class Fen3 : public Window {
public:
    // `exported` runs after a configuration was copied (the main window lists its configurations again).
    Fen3(AppContext& app, std::function<void()> exported);
    ~Fen3() override;

    // Opens the window (a second call brings it forward with its list read again).
    void Open(HWND owner);
    void Close();

    // The configurations listed (File1), and the one selected.
    std::vector<std::wstring> Files() const;
    bool SelectFile(const std::wstring& name);
    void OnBtExportConf();

    HWND File1() const { return list_; }
    HWND BtExportConf() const { return button_; }
    const std::wstring& BackgroundPath() const { return backgroundPath_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void ReportUnexpected(const std::wstring& reason) override;

private:
    void Fill();
    void Arrange(const RECT& canvas) override;
    bool FocusMnemonic(wchar_t letter) override;

    AppContext& app_;
    std::function<void()> exported_;
    Picture background_;
    std::wstring backgroundPath_;
    HWND list_ = nullptr;
    HWND button_ = nullptr;
    HFONT font_ = nullptr;
    RECT labelArea_{};
};

}  // namespace kestrane
