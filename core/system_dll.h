// The system DLLs the player needs only now and then. Linking them in costs
// every start-up tens of milliseconds of loading (the common dialogs and the
// shell pull in much of the desktop), so each is loaded when first needed.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

// Loads a system DLL from the system folder only. Any other folder could
// hold a planted file of that name: the portable exe typically runs from
// Downloads, where a web page can leave one, and Windows takes only its
// "known" DLLs from the system folder before the exe's own.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Each returns what the system function returns, or its failure value when
// the DLL or the function cannot be found.
BOOL OpenFileDialog(OPENFILENAMEW* ofn);
BOOL ColorDialog(CHOOSECOLORW* cc);
PIDLIST_ABSOLUTE BrowseForFolder(BROWSEINFOW* info);
BOOL PathFromItemList(PCIDLIST_ABSOLUTE item, wchar_t* path);
HRESULT MusicFolderPath(wchar_t* path);
bool OpenWebAddress(HWND owner, const wchar_t* address);
// DragQueryFileW: the item count (index 0xFFFFFFFF), or the length of item
// index without its terminator (name null), or that name copied.
UINT DroppedFile(HDROP drop, UINT index, wchar_t* name, UINT units);
// DragFinish: releases the drop.
void FinishDrop(HDROP drop);
