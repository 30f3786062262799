/* Resource ids of the password storage dialogs: the login, the storage window
   with its menu, the new-record wizard, editing a record, changing the account
   password and the filters. Plain #defines so that windres reads it. */
#ifndef QVX_RESOURCES_STORAGE_IDS_H
#define QVX_RESOURCES_STORAGE_IDS_H

/* Dialogs and the storage window's menu */
#define IDD_STORAGE 134
#define IDD_STORAGE_LOGIN 136
#define IDR_STORAGE_MENU 137
#define IDD_NEW_RECORD_OWNER 138
#define IDD_NEW_RECORD_PASSWORD 139
#define IDD_NEW_RECORD_NOTE 140
#define IDD_CHANGE_PASSWORD 141
#define IDD_EDIT_RECORD 142
#define IDD_FILTERS 143

/* Login */
#define IDC_LOGIN_NAME 1002
#define IDC_LOGIN_PASSWORD 1003

/* Storage window */
#define IDC_STORAGE_LIST 1017
#define IDC_STORAGE_SHOW 1005
#define IDC_STORAGE_ADD 1004
#define IDC_STORAGE_EDIT 1027
#define IDC_STORAGE_DELETE 1001
#define IDC_STORAGE_LOGOUT 1013
#define IDC_STORAGE_FIND 1028
#define IDC_STORAGE_FILTER 1040  /* the current filters, below the list */

/* Storage window menu */
#define IDM_STORAGE_EXIT 40059
#define IDM_STORAGE_CHANGE_PASSWORD 40060
#define IDM_STORAGE_SHOW_PASSWORDS 40061
#define IDM_STORAGE_FILTERS 40062
#define IDM_STORAGE_ADD 40063
#define IDM_STORAGE_EDIT 40064
#define IDM_STORAGE_DELETE 40065
#define IDM_STORAGE_UNLINK 40068
#define IDM_STORAGE_FIND 40070

/* New-record wizard steps, edit, change password */
#define IDC_RECORD_TEXT 1002    /* the step's edit; the password in edit and change */
#define IDC_RECORD_BACK 1001
#define IDC_RECORD_SHOW 1005
#define IDC_RECORD_NOTE 1003    /* the note in the edit dialog */

/* Filters */
#define IDC_FILTER_OWNERS 1002
#define IDC_FILTER_OWNERS_SET 1001
#define IDC_FILTER_NOTES 1003
#define IDC_FILTER_NOTES_SET 1004

#endif
