#include "profile/ProgramFolders.h"

#include <windows.h>

#include <shlobj.h>

namespace kestrane {

std::wstring DossierSpecial(HWND owner, int folderId) {
    wchar_t buffer[MAX_PATH] = {};
    if (SHGetFolderPathW(owner, folderId, nullptr, 0, buffer) != S_OK) return {};
    return buffer;
}

Date SystemDate() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wDay, now.wMonth, now.wYear};
}

bool IsChristmasTime(int day, int month) { return month == 12 && day > 23; }

void InitialiseFolders(Variables& var, HWND owner, const FolderSources& sources) {
    auto folder = sources.specialFolder ? sources.specialFolder : DossierSpecial;
    std::wstring programFiles = folder(owner, kFolderProgramFiles);
    std::wstring documents = folder(owner, kFolderDocuments);
    while (!documents.empty() && (documents.back() == L'\\' || documents.back() == L'/')) documents.pop_back();
    while (!programFiles.empty() && (programFiles.back() == L'\\' || programFiles.back() == L'/'))
        programFiles.pop_back();
    // Without a program-files folder the application folder sits at the root of the current drive.
    var.CheminAppli = programFiles + L"\\Kestrane\\";
    var.CheminDocuments = documents;
    Date d = sources.today ? sources.today() : SystemDate();
    var.Jour = d.day;
    var.Mois = d.month;
    var.Annee = d.year;
    var.SauveConfig = false;
}

}  // namespace kestrane
