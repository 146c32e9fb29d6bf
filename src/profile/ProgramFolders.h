// The program's folders and the date, taken at start-up by the window and by the command line.
#pragma once

#include "service/Variables.h"

#include <windows.h>

#include <functional>
#include <string>

namespace kestrane {

constexpr int kFolderProgramFiles = 38;  // CSIDL_PROGRAM_FILES
constexpr int kFolderDocuments = 5;      // CSIDL_PERSONAL

// Path of a shell special folder, or the empty string when the shell cannot give it.
std::wstring DossierSpecial(HWND owner, int folderId);

// The system date of today.
Date SystemDate();

// True from 24 to 31 December: the main window then shows the Christmas picture.
bool IsChristmasTime(int day, int month);

// Where the folders and the date come from: the shell and the clock unless a test injects its own.
struct FolderSources {
    std::function<std::wstring(HWND, int)> specialFolder;  // DossierSpecial when empty
    std::function<Date()> today;                           // SystemDate when empty
};

// Sets CheminAppli, CheminDocuments and the start-up date.
void InitialiseFolders(Variables& var, HWND owner, const FolderSources& sources = {});

}  // namespace kestrane
