/* Resource ids of the tray program: dialogs, controls, menus, icons. Shared by
   the resource script and the C++ code; the numbers are fixed, other programs
   and the help text rely on them. Plain #defines so that windres reads it. */
#ifndef QVX_RESOURCES_SHELL_IDS_H
#define QVX_RESOURCES_SHELL_IDS_H

/* Icons */
#define IDI_APP 109            /* program icon, every dialog's small icon */
#define IDI_TRAY_RSA 119       /* tray icon in RSA-keys mode */
#define IDI_KEY 121            /* key dialogs */
#define IDI_TRAY_PASSWORD 131  /* tray icon in Password mode */
#define IDI_STORAGE 145        /* password storage dialogs */

/* Menus */
#define IDR_TRAY_MENU 102      /* popup 0: Password mode, popup 1: RSA-keys mode */
#define TRAY_POPUP_PASSWORD 0
#define TRAY_POPUP_RSA 1
#define TRAY_HOTKEYS_POS_PASSWORD 3  /* position of "Hot&keys view" in popup 0 */
#define TRAY_HOTKEYS_POS_RSA 8       /* and in popup 1 */

/* Menu commands (WM_COMMAND). 0..8 are the "Hot&keys view" entries (row index). */
#define IDM_HELP 40001
#define IDM_OPTIONS 40003
#define IDM_ABOUT 40010
#define IDM_EXIT 40011
#define IDM_KEY_PAIR_WIZARD 40049
#define IDM_INSERT_KEY_WINDOW 40050
#define IDM_GET_KEY_WINDOW 40051
#define IDM_SWITCH_TO_RSA 40052
#define IDM_SWITCH_TO_PASSWORD 40053
#define IDM_CRYPT_SELECTION 40054
#define IDM_CRYPT_WINDOW 40055
#define IDM_KEY_MANAGER 40056
#define IDM_SIGN_WINDOW 40057
#define IDM_VERIFY_WINDOW 40058
#define IDM_PASSWORD_STORAGE 40067
#define IDM_CRYPT_CLIPBOARD 40071
#define IDM_SIGN_CLIPBOARD 40074
#define IDM_VERIFY_CLIPBOARD 40075
#define IDM_INSERT_KEY_CLIPBOARD 40076
#define IDM_GET_KEY_CLIPBOARD 40077
#define IDM_HOTKEYS_PLACEHOLDER 9   /* resource entry replaced at every display */

/* About box */
#define IDD_ABOUT 105
#define IDC_ABOUT_ICON 1020
#define IDC_ABOUT_VERSION 1021
#define IDC_ABOUT_NAME 1022

/* Options dialog */
#define IDD_OPTIONS 107
#define IDC_OPT_SHOW_TEXT 1005
#define IDC_OPT_AUTORUN 1015
#define IDC_OPT_LOGIN 1033
#define IDC_OPT_ACTION 1007
#define IDC_OPT_KEY 1002
#define IDC_OPT_CTRL 1008
#define IDC_OPT_ALT 1009
#define IDC_OPT_SHIFT 1010
#define IDC_OPT_WIN 1011
#define IDC_OPT_KEEP_CLIPBOARD 1440
#define IDC_OPT_CLEAR_SECONDS 1441
#define IDC_OPT_EXTRA_DELAY 1442
#define IDC_OPT_HIDE_CAPTURE 1443
#define IDC_OPT_FORMAT_COMPATIBLE 1444
#define IDC_OPT_FORMAT_HARDENED 1445
#define IDC_OPT_DIRECT_ACCESS 1446

/* Mode-switch notices */
#define IDD_NOTICE_PASSWORD 147
#define IDD_NOTICE_RSA 148
#define IDC_NOTICE_NEVER 1005
#define IDC_NOTICE_ICON 1020

#endif
