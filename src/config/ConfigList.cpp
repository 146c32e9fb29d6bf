#include "config/ConfigFormat.h"
#include "mainwindow/Fen1.h"
#include "service/Programme.h"

namespace kestrane {

void ChargeListeConf(Fen1& fen) {
    fen.CbListeConf.Clear();
    std::wstring folder = fen.var.CheminAppli + L"Config\\";
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    constexpr DWORD kNotListed = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L".." || (found.dwFileAttributes & kNotListed)) continue;
        if (IsConfigFileName(name)) fen.CbListeConf.Add(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace kestrane
