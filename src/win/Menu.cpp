#include "win/Menu.h"

#include "win/Controls.h"

#include <stdexcept>

namespace kestrane {

MenuTable::~MenuTable() {
    if (bar_ && ownsBar_) DestroyMenu(bar_);
}

HMENU MenuTable::Build(const std::vector<MenuEntry>& entries) {
    bar_ = CreateMenu();
    for (const MenuEntry& entry : entries) {
        HMENU parent = entry.parent ? At(entry.parent).sub : bar_;
        Placed placed;
        placed.parent = parent;
        placed.position = GetMenuItemCount(parent);
        placed.id = entry.id;
        placed.caption = entry.caption ? entry.caption : L"";
        switch (entry.kind) {
        case MenuKind::Popup:
            placed.sub = CreatePopupMenu();
            AppendMenuW(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(placed.sub), entry.caption);
            break;
        case MenuKind::Item:
            AppendMenuW(parent, MF_STRING, entry.id, entry.caption);
            break;
        case MenuKind::Separator:
            AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
            break;
        }
        entries_[entry.name] = placed;
        order_.push_back(entry.name);
    }
    return bar_;
}

const MenuTable::Placed& MenuTable::At(const std::wstring& name) const {
    auto it = entries_.find(name);
    if (it == entries_.end()) throw std::logic_error("no such menu entry");
    return it->second;
}

HMENU MenuTable::Sub(const std::wstring& name) const { return At(name).sub; }

UINT MenuTable::Id(const std::wstring& name) const { return At(name).id; }

void MenuTable::Enable(const std::wstring& name, bool enabled) {
    const Placed& p = At(name);
    EnableMenuItem(p.parent, static_cast<UINT>(p.position), MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
}

bool MenuTable::Enabled(const std::wstring& name) const {
    const Placed& p = At(name);
    return (GetMenuState(p.parent, static_cast<UINT>(p.position), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) == 0;
}

void MenuTable::Check(const std::wstring& name, bool checked) {
    const Placed& p = At(name);
    CheckMenuItem(p.parent, static_cast<UINT>(p.position), MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool MenuTable::Checked(const std::wstring& name) const {
    const Placed& p = At(name);
    return (GetMenuState(p.parent, static_cast<UINT>(p.position), MF_BYPOSITION) & MF_CHECKED) != 0;
}

std::wstring MenuTable::RawCaption(const std::wstring& name) const { return At(name).caption; }

std::wstring MenuTable::Caption(const std::wstring& name) const { return WithoutMnemonic(At(name).caption); }

}  // namespace kestrane
