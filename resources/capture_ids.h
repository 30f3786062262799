/* Resource ids of the text windows and password prompts: the text viewer, the
   window that shows the original text, the password prompts, the progress
   dialog of long texts. Plain #defines so that windres reads it. */
#ifndef QVX_RESOURCES_CAPTURE_IDS_H
#define QVX_RESOURCES_CAPTURE_IDS_H

/* Text viewer */
#define IDD_TEXT_VIEWER 101
#define IDR_VIEWER_MENU 112
#define IDC_VIEWER_TEXT 1000
#define IDC_VIEWER_PAST_BACK 1001
#define IDC_VIEWER_SAVE 1004
#define IDC_VIEWER_PAST_BACK_CLOSE 1013
#define IDC_VIEWER_GROUP 1050
#define VIEWER_MENU_EDIT_POS 1      /* the "&Edit" popup of menu 112 */
#define VIEWER_MENU_ACTION_POS 2    /* the "&Action" popup */
#define IDM_VIEWER_CLOSE 40030
#define IDM_VIEWER_DELETE 40035
#define IDM_VIEWER_SELECT_ALL 40036
#define IDM_VIEWER_SAVE 40037
#define IDM_VIEWER_UNDO 40038
#define IDM_VIEWER_CUT 40039
#define IDM_VIEWER_COPY 40040
#define IDM_VIEWER_PASTE 40041
#define IDM_VIEWER_PAST_BACK_CLOSE 40044
#define IDM_VIEWER_PAST_BACK 40045

/* The original text, shown before it is encrypted or signed */
#define IDD_CONFIRM_TEXT 106
#define IDC_CONFIRM_TEXT 1000

/* Password prompts */
#define IDD_DECRYPT_PASSWORD 103
#define IDD_ENCRYPT_PASSWORD 104
#define IDD_CONFIRM_PASSWORD 135
#define IDC_PASSWORD_EDIT 1002
#define IDC_FROM_STORAGE 1001
#define IDC_COMMON_PASSWORD 1005

/* Progress of long encryptions and decryptions */
#define IDD_PROGRESS 150
#define IDC_PROGRESS_BAR 1016

#endif
