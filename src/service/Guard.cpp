#include "config/TextFile.h"
#include "service/ForbiddenList.h"
#include "service/Programme.h"
#include "win/Texts.h"

namespace kestrane {

bool SameServiceName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool ServiceNameLess::operator()(const std::wstring& a, const std::wstring& b) const {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_LESS_THAN;
}

bool VerifInterdit(Variables& var, Dialogs& dialogs, HWND owner, const std::wstring& nom) {
    std::wstring path = var.CheminAppli + L"liste\\interdit.txt";
    std::wstring about = texts::kGuardServiceLine + nom;
    std::string content;
    bool readable = false;
    try {
        if (FileExists(path)) {
            content = ReadFileBytes(path);
            readable = true;
        }
    } catch (...) {
        // A list that cannot be read protects nothing: treat it as missing.
    }
    if (!readable) {
        dialogs.Message(owner, texts::kGuardMissing + about, texts::kGuardMissingTitle, BoxStyle::ErrorOk);
        var.ModifAutorisee = false;
        return false;
    }
    bool allowed = true;
    for (const ForbiddenEntry& entry : ParseForbiddenList(content)) {
        // The service database knows no difference of letter case between names; neither does the list.
        if (!SameServiceName(entry.Name, nom)) continue;
        if (entry.mark == Mark::Discouraged) {
            int answer = dialogs.Message(owner, texts::kGuardDiscouraged + about, texts::kGuardTitle,
                                         BoxStyle::InformationYesNo);
            if (answer == IDNO) allowed = false;
        } else if (entry.mark == Mark::Forbidden) {
            dialogs.Message(owner, texts::kGuardForbidden + about, texts::kGuardTitle, BoxStyle::ErrorOk);
            allowed = false;
        }
    }
    if (!allowed) var.ModifAutorisee = false;
    return allowed;
}

}  // namespace kestrane
