/* Resource and command ids of korvane.exe (Parts 1.2, 1.3 and 1.4). Shared by the
   resource script and the C++ code, so plain preprocessor definitions only. */
#ifndef KORVANE_RES_RESOURCE_H
#define KORVANE_RES_RESOURCE_H

/* Resources. */
#define IDD_MAIN 1             /* dialog template 1: the main window */
#define IDD_ABOUT 2            /* dialog template 2: the About box */
#define IDM_MAIN 1000          /* menu 1000 */
#define IDI_KORVANE 1000       /* icon group 1000: the class icon */
#define IDI_KORVANE_SMALL 1001 /* icon group 1001: the class's small icon */
#define IDB_FOLDER 1           /* bitmap 1: the browse button's folder */
/* The About picture is the bitmap named "ME". */

/* Controls of the main window. */
#define IDC_PATH 101
#define IDC_BROWSE 102
#define IDC_GO 103
#define IDC_REPORT 104
#define IDC_SYSTEM_INI 105
#define IDC_LOAD_DLL 106
#define IDC_CAPTURE_DRIVERS 107
#define IDC_REGISTRY_AVIFILE 108
#define IDC_REGISTRY_UNINSTALL 109
#define IDC_NT_TESTS 110
#define IDC_MSVC_LIST 111
#define IDC_WELL_KNOWN_DLLS 112
#define IDC_DONE 2
#define IDC_HELP_BUTTON 9

/* Control of the About box (besides IDOK, 1). */
#define IDC_ABOUT_TEXT 101

/* Menu items. */
#define IDM_ABOUT 201
#define IDM_MAIL 205
#define IDM_EXIT 206
#define IDM_HOWTO 208
#define IDM_WEBSITE 209
#define IDM_OPEN_AVI 210
#define IDM_SAVE_LOG 215

#endif
