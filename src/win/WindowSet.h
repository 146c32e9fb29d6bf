// The secondary windows of the program, one of each kind, created on first use and closed together.
#pragma once

#include "win/Window.h"

#include <memory>
#include <typeindex>
#include <utility>
#include <vector>

namespace kestrane {

class WindowSet {
public:
    WindowSet() = default;
    WindowSet(const WindowSet&) = delete;
    WindowSet& operator=(const WindowSet&) = delete;
    ~WindowSet() { CloseAll(); }

    // The window of kind W, made with `args` the first time it is asked for.
    template <class W, class... Args>
    W& Get(Args&&... args) {
        if (W* existing = Find<W>()) return *existing;
        auto made = std::make_unique<W>(std::forward<Args>(args)...);
        W& window = *made;
        windows_.push_back({std::type_index(typeid(W)), std::move(made)});
        return window;
    }

    // The window of kind W if it was made, else null.
    template <class W>
    W* Find() const {
        for (const auto& entry : windows_)
            if (entry.kind == std::type_index(typeid(W))) return static_cast<W*>(entry.window.get());
        return nullptr;
    }

    // Destroys every window made, the last made first.
    void CloseAll() {
        while (!windows_.empty()) windows_.pop_back();
    }

    // Lets the open window that `msg` is for handle it as a dialog (Tab, Shift+Tab, arrow keys).
    bool TranslateDialogMessage(MSG& msg) const {
        for (const auto& entry : windows_) {
            HWND hwnd = entry.window->Handle();
            if (hwnd && IsWindowVisible(hwnd) && IsDialogMessageW(hwnd, &msg)) return true;
        }
        return false;
    }

private:
    struct Entry {
        std::type_index kind;
        std::unique_ptr<Window> window;
    };
    std::vector<Entry> windows_;
};

}  // namespace kestrane
