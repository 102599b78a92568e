// The system DLLs the player needs only now and then. Linking them in costs
// every start-up tens of milliseconds of loading (the common dialogs and the
// shell pull in much of the desktop), so each is loaded when first needed.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

// Each returns what the system function returns, or its failure value when
// the DLL or the function cannot be found.
BOOL OpenFileDialog(OPENFILENAMEW* ofn);
BOOL ColorDialog(CHOOSECOLORW* cc);
PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW* info);
BOOL PathFromItemList(PCIDLIST_ABSOLUTE item, wchar_t* path);
HRESULT MusicFolderPath(wchar_t* path);
bool OpenWebAddress(HWND owner, const wchar_t* address);
