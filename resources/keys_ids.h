/* Resource ids of the RSA key dialogs: key selection and key manager, the key
   note and key file properties, the key pair wizard with its busy window, the
   verification result and the export choice. The numbers are fixed; control
   ids repeat between dialogs where the dialogs share them. Plain #defines so
   that windres reads it. */
#ifndef QVX_RESOURCES_KEYS_IDS_H
#define QVX_RESOURCES_KEYS_IDS_H

/* Dialogs */
#define IDD_KEY_SELECTION 117
#define IDD_WIZARD_LENGTH 122
#define IDD_WIZARD_OWNER 123
#define IDD_WIZARD_NOTE 124
#define IDD_WIZARD_PASSWORD 125
#define IDD_KEY_BUSY 126
#define IDD_KEY_MANAGER 127
#define IDD_KEY_NOTE 128
#define IDD_KEY_PROPERTIES 129
#define IDD_VERIFIED 133
#define IDD_EXPORT_CHOICE 155

/* The key list of the selection dialog and the key manager */
#define IDC_KEY_LIST 1017
#define IDC_KEY_FIND 1028

/* Key Selection */
#define IDC_SEL_GENERATE 1001
#define IDC_SEL_DELETE 1004
#define IDC_SEL_MANAGER 1013
#define IDC_SEL_ALSO_TO_ME 1450

/* Key Manager */
#define IDC_MGR_DELETE 1001
#define IDC_MGR_EXPORT 1004
#define IDC_MGR_GENERATE 1013
#define IDC_MGR_OTHER_KEYS 1019
#define IDC_MGR_MY_KEYS 1020
#define IDC_MGR_EDIT_NOTE 1027
#define IDC_MGR_IMPORT 1032
#define IDC_MGR_PROPERTIES 1042

/* Key Note */
#define IDC_NOTE_TEXT 1002

/* Key File Properties and Verification Successful */
#define IDC_PROP_OWNER 1022
#define IDC_PROP_TYPE 1023
#define IDC_PROP_TIME 1024
#define IDC_PROP_NOTE 1025
#define IDC_PROP_LENGTH 1026
#define IDC_PROP_FINGERPRINT 1043
#define IDC_VERIFIED_OWNER 1022
#define IDC_VERIFIED_NOTE 1026

/* Key pair wizard: steps 1 to 3 */
#define IDC_WIZ_BACK 1001
#define IDC_WIZ_TEXT 1002
#define IDC_WIZ_SLIDER 1018
/* step 4 */
#define IDC_WIZ_FROM_STORAGE 1001
#define IDC_WIZ_PASSWORD 1002
#define IDC_WIZ_BACK4 1004
#define IDC_WIZ_SAVE 1005

/* Busy window */
#define IDC_BUSY_PROGRESS 1016

/* Export choice */
#define IDC_EXPORT_PUBLIC 1019
#define IDC_EXPORT_BOTH 1020

#endif
