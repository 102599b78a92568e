// Resource identifiers shared by the .rc file and the code.
#pragma once

#define IDI_PEBBLETUNE 102
#define IDD_ABOUT 103
#define IDC_ABOUT_WEBSITE 1001
#define IDC_ABOUT_ICON 1002
#define IDC_ABOUT_TEXT 1003
