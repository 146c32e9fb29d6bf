// Fen5, the details window: every property of one service, each beside its name and, as tool tip, what
// the property means. A snapshot: filled when it opens, never refreshed while it stays open.
#pragma once

#include "windows/AppContext.h"
#include "win/Controls.h"
#include "win/Picture.h"
#include "win/Window.h"

#include <string>
#include <vector>

namespace kestrane {

class Fen5 : public Window {
public:
    explicit Fen5(AppContext& app);
    ~Fen5() override;

    // Opens the window filled for the service named `name`; an open window is only brought forward.
    void Open(HWND owner, const std::wstring& name);
    // "Quitter": the window closes; the next Open fills it again.
    void OnQuitter();

    // One row of the window: the property's name label, its value label (null for the description).
    struct Row {
        Label name;
        Label value;
    };
    // The rows in the order of the property table (0 = Name ... 24 = ServiceSpecificExitCode).
    const std::vector<Row>& Rows() const { return rows_; }
    RichText RichTextBox1;
    Control ReyCommand1;
    const std::wstring& BackgroundPath() const { return backgroundPath_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    HBRUSH ControlColour(HDC dc, HWND control);
    void ReportUnexpected(const std::wstring& reason) override;

private:
    void CreateControls();
    void Arrange(const RECT& canvas) override;
    void Fill(const std::wstring& name);

    AppContext& app_;
    std::vector<Row> rows_;
    Picture background_;
    std::wstring backgroundPath_;
    HWND toolTip_ = nullptr;
    HFONT font_ = nullptr;
    HBRUSH white_ = nullptr;
};

}  // namespace kestrane
