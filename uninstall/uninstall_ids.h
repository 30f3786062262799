/* String ids of uninstall.exe. Plain #defines so that windres reads it. */
#ifndef QVX_UNINSTALL_IDS_H
#define QVX_UNINSTALL_IDS_H

#define IDS_CONFIRM 1             /* the first question */
#define IDS_NOT_INSTALLED 420     /* no uninstall entry with a folder */
#define IDS_STILL_RUNNING 421     /* Quorvix did not end after WM_CLOSE */
#define IDS_FOLDER_REFUSED 422    /* the recorded folder is a system place */
#define IDS_PROGRAM_IN_USE 423    /* Quorvix.exe could not be deleted */
#define IDS_ASK_USER_DATA 424     /* delete the keys and storage too? */
#define IDS_REMOVED 425
#define IDS_DATA_KEPT 426
#define IDS_LEFT_ALONE 427
#define IDS_NOT_DELETED 428

#define IDI_UNINSTALL 103

#endif
