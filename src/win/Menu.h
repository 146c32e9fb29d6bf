// A menu bar built from one table, which keeps every named item and sub-menu so that they can be
// enabled, disabled, checked and found by the names the program gives them.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace kestrane {

enum class MenuKind { Popup, Item, Separator };

// One row of the table. `parent` names the sub-menu the row goes into (null: the menu bar), in table
// order; an item carries a command id, a popup none. The caption's '&' marks its underlined letter.
struct MenuEntry {
    const wchar_t* name;
    const wchar_t* parent;
    MenuKind kind;
    const wchar_t* caption;
    UINT id;
};

class MenuTable {
public:
    MenuTable() = default;
    MenuTable(const MenuTable&) = delete;
    MenuTable& operator=(const MenuTable&) = delete;
    ~MenuTable();

    // Builds the bar; the caller gives it to its window, which then owns and destroys it.
    HMENU Build(const std::vector<MenuEntry>& entries);
    HMENU Bar() const { return bar_; }
    // The bar is now owned by a window: it goes with that window.
    void ReleaseBar() { ownsBar_ = false; }

    bool Has(const std::wstring& name) const { return entries_.count(name) != 0; }
    HMENU Sub(const std::wstring& name) const;
    UINT Id(const std::wstring& name) const;
    void Enable(const std::wstring& name, bool enabled);
    bool Enabled(const std::wstring& name) const;
    void Check(const std::wstring& name, bool checked);
    bool Checked(const std::wstring& name) const;
    // The caption as shown, without its '&'.
    std::wstring Caption(const std::wstring& name) const;
    // The caption as written, with its '&'.
    std::wstring RawCaption(const std::wstring& name) const;
    // The names of the rows, in table order.
    const std::vector<std::wstring>& Names() const { return order_; }

private:
    struct Placed {
        HMENU parent = nullptr;
        int position = 0;
        HMENU sub = nullptr;
        UINT id = 0;
        std::wstring caption;
    };
    const Placed& At(const std::wstring& name) const;

    HMENU bar_ = nullptr;
    bool ownsBar_ = true;
    std::map<std::wstring, Placed> entries_;
    std::vector<std::wstring> order_;
};

}  // namespace kestrane
