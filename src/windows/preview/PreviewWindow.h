// The window of a preview or a comparison: what an application would change, or how the machine
// differs from a configuration, one line each. A preview offers to apply or to cancel; a comparison
// only closes.
#pragma once

#include "windows/AppContext.h"
#include "win/Controls.h"
#include "win/Window.h"

#include <functional>
#include <string>
#include <vector>

namespace kestrane {

class PreviewWindow : public Window {
public:
    explicit PreviewWindow(AppContext& app);
    ~PreviewWindow() override;

    // Shows `lines` under `heading`. With `apply`, the window offers "Appliquer" (which closes it and
    // runs `apply`) and "Annuler"; without (a comparison, a long report), "Copier" and "Fermer". A window
    // already open shows the new lines.
    void Show(HWND owner, const std::wstring& title, const std::wstring& heading, const std::vector<std::wstring>& lines,
              std::function<void()> apply);
    void OnAppliquer();
    // Puts the heading and every line on the clipboard, as text.
    void OnCopier();
    void Close();

    std::vector<std::wstring> Lines() const;
    const std::wstring& Heading() const { return heading_; }
    bool OffersApply() const { return static_cast<bool>(apply_); }
    Control BtAppliquer, BtFermer, BtCopier;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void ReportUnexpected(const std::wstring& reason) override;

private:
    void CreateControls();
    void OnButton(int id);
    void Arrange(const RECT& canvas) override;

    AppContext& app_;
    std::function<void()> apply_;
    std::wstring heading_;
    HWND list_ = nullptr;
    HFONT font_ = nullptr;
};

}  // namespace kestrane
