// Folders and date taken at start-up.
#pragma once

#include "mainwindow/AppContext.h"

#include <windows.h>

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

// Sets CheminAppli, CheminDocuments and the start-up date.
void InitialiseFolders(AppContext& app, HWND owner);

}  // namespace kestrane
