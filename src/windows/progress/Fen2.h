// Fen2, the progress window of an application of a configuration: "OPERATION EN COURS" and a bar.
#pragma once

#include "profile/Apply.h"
#include "win/Window.h"

namespace kestrane {

class Fen2 : public Window, public ApplyProgress {
public:
    Fen2() = default;
    // Shows the window over `owner`, without blocking it (the owner stays as it is).
    void Open(HWND owner);
    void Close();

    void SetMaximum(int maximum) override;
    void SetValue(int value) override;
    int Maximum() const { return maximum_; }
    int Value() const { return value_; }

    HWND ProgressBar1() const { return bar_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Arrange(const RECT& canvas) override;
    HWND label_ = nullptr;
    HWND bar_ = nullptr;
    HFONT font_ = nullptr;
    int maximum_ = 0;
    int value_ = 0;
    ULONGLONG lastPainted_ = 0;
};

}  // namespace kestrane
