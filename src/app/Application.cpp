#include "app/Application.h"

#include "service/Responsive.h"
#include "service/ScmServiceManager.h"
#include "windows/services/ServicesWindow.h"

namespace kestrane {

Application::Application() : services_(CreateServiceManager()) {
    context_.services = services_.get();
    context_.dialogs = &dialogs_;
}

Application::~Application() {
    // Secondary windows first, then the main window, before the services they use go.
    context_.windows.CloseAll();
    fen1_.reset();
}

bool Application::Start() {
    // Long reads of the machine let the windows repaint meanwhile.
    SetResponsiveHook(&PaintPending);
    fen1_ = std::make_unique<Fen1>(context_);
    return fen1_->Create(true);
}

int Application::Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Tab, Shift+Tab and the arrow keys move between the controls of whichever window has the focus.
        bool key = msg.message == WM_KEYDOWN || msg.message == WM_SYSCHAR;
        if (Window::TakeMnemonic(msg)) continue;
        // F5 anywhere in the table of every service reads the machine again.
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_F5)
            if (ServicesWindow* table = context_.windows.Find<ServicesWindow>();
                table && table->IsOpen() && GetAncestor(msg.hwnd, GA_ROOT) == table->Handle()) {
                table->Refresh();
                continue;
            }
        // The main window's shortcuts, wherever the focus is in it.
        HWND main = fen1_->Handle();
        if (main && fen1_->Accelerators() && GetAncestor(msg.hwnd, GA_ROOT) == main &&
            TranslateAcceleratorW(main, fen1_->Accelerators(), &msg))
            continue;
        if (!(fen1_->Handle() && IsDialogMessageW(fen1_->Handle(), &msg)) && !context_.windows.TranslateDialogMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        // A control reached from the keyboard is scrolled into view in a window smaller than its layout.
        if (key) Window::FollowFocus();
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace kestrane
