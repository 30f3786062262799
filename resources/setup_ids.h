/* Resource ids of the installer's wizard pages in Quorvix.exe. Plain
   #defines so that windres reads it. */
#ifndef QVX_RESOURCES_SETUP_IDS_H
#define QVX_RESOURCES_SETUP_IDS_H

#define IDD_SETUP_INTRO 114     /* "About Quorvix": what the program does */
#define IDD_SETUP_LICENCE 115   /* the licence agreement */
#define IDD_SETUP_FOLDER 116    /* the installation folder */

#define IDC_SETUP_INTRO_TEXT 1014  /* string 8 */
#define IDC_SETUP_LICENCE 1002     /* read-only text of License.txt */
#define IDC_SETUP_FOLDER 1002      /* folder path */
#define IDC_SETUP_BROWSE 1001      /* "&Browse..." */
#define IDC_SETUP_ICON 1020

#endif
