// Numbers of Velmora's resources and of the controls on its dialog templates.
// Plain #defines only: this header is read by the resource compiler and by C++.
#ifndef VELMORA_RESOURCES_RESOURCE_H
#define VELMORA_RESOURCES_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Help context of a dialog: this base plus the template number.
#ifndef HID_BASE_RESOURCE
#define HID_BASE_RESOURCE 0x20000
#endif

// Icons.
// Each holds 32x32 and 16x16 images in 16 colours and 48x48 and 256x256 in
// full colour. The shell numbers a file's icons in the order of their ids:
// 128 is icon 0, 137 icon 1, 138 icon 2 (what the uninstall link shows).
#define IDR_MAINFRAME 128  // the program
#define IDI_SETUP 137      // the installer and the setup launcher
#define IDI_UNINSTALL 138  // the uninstall link

// String table.
#define IDS_OLE_INIT_FAILED 100
#define IDS_APP_TITLE 57344  // the application title, "Orvane Zenvero"
#ifndef AFX_IDS_APP_TITLE
#define AFX_IDS_APP_TITLE IDS_APP_TITLE
#endif
#define IDS_HELP_FAILED 61703

// The Help button and F1 command.
#ifndef ID_HELP
#define ID_HELP 0xE146  // 57670
#endif

// About box (template 100). IDOK closes it.
#define IDD_ABOUTBOX 100
#define IDC_ABOUT_PRODUCT 1006  // product name, drawn in bold Arial
#define IDC_ABOUT_VERSION 1007  // "Version " + version text

// Main dialog (template 102). IDCANCEL is the Exit button, ID_HELP the Help button.
#define IDD_MAIN 102
#define IDC_MAIN_CONVERT_MULTIPLE 3  // "Convert &Multiple Files"
#define IDC_MAIN_BROWSE_SOURCE 1001
#define IDC_MAIN_BROWSE_DESTINATION 1003
#define IDC_MAIN_TABS 1004         // tab width edit box
#define IDC_MAIN_SOURCE 1005       // source file combo box
#define IDC_MAIN_DESTINATION 1006  // destination file combo box
#define IDC_MAIN_SPIN 1008         // up-down control, buddy of IDC_MAIN_TABS
#define IDC_MAIN_ABOUT 1009
#define IDC_MAIN_CONVERT_CLIPBOARD 1010
#define IDC_MAIN_PATTERN 1015  // wildcard pattern combo box
#define IDC_MAIN_CONVERT_FILE 1018
#define IDC_MAIN_LEADING_ONLY 1020  // "Leading tabs only" check box
#define IDC_MAIN_SUBFOLDERS 1021  // "Include s&ubfolders" check box, beside the pattern box

// Multiple-file results dialog (template 129). IDOK is Yes, IDCANCEL is No.
#define IDD_CONVERT_MULTIPLE 129
#define IDC_MULTIPLE_REPORT 1017

// Progress of a multiple-file run (template 130), modeless. IDCANCEL is Cancel.
#define IDD_PROGRESS 130
#define IDC_PROGRESS_FILE 1022   // the file in hand
#define IDC_PROGRESS_COUNT 1023  // "<done> of <total> done"

// Installer: destination folder dialog (template 501). IDOK is Install.
#define IDD_SELFINSTALL_DESTINATION 501
#define IDC_DEST_SPACE_NEEDED 1001
#define IDC_DEST_SPACE_AVAILABLE 1002
#define IDC_DEST_DRIVE 1003
#define IDC_DEST_SYS_SPACE_NEEDED 1004
#define IDC_DEST_BROWSE 1005
#define IDC_DEST_SYS_DRIVE 1007
#define IDC_DEST_SYS_SPACE_AVAILABLE 1008
#define IDC_DEST_SYS_LABEL 1009
#define IDC_DEST_SYS_NEEDED_LABEL 1010
#define IDC_DEST_SYS_AVAILABLE_LABEL 1011
#define IDC_DEST_INTRO 1013   // "Setup will install the %s files..."
#define IDC_DEST_FOLDER 1014  // read-only folder edit

// Installer: progress message box (template 502).
#define IDD_SELFINSTALL_MESSAGE 502
#define IDC_MESSAGE_TEXT 1015

// Installer: licence agreement dialog (template 503). IDOK is Yes, IDCANCEL No.
#define IDD_SELFINSTALL_LICENSE 503
#define IDC_LICENSE_QUESTION 1002  // "Do you accept ... %s ... %s."
#define IDC_LICENSE_FRAME 1005     // hidden placeholder for the licence text
#define IDC_LICENSE_TEXT 1006      // rich edit created over the placeholder

// Installer: folder chooser (template 1536), a reshaped old-style file dialog.
// The ids the common dialog expects are given with the system's names.
#define IDD_SELFINSTALL_CHOOSE_FOLDER 1536
#define IDC_CHOOSE_FOLDER 1014          // folder text typed or composed
#define IDC_CHOOSE_HIDDEN_BUTTON 1038   // psh15
#define IDC_CHOOSE_HIDDEN_CHECK 1040    // chx1
#define IDC_CHOOSE_CURRENT_DIR 1088     // stc1, read but never shown
#define IDC_CHOOSE_TYPE_LABEL 1089      // stc2
#define IDC_CHOOSE_FOLDER_LABEL 1090    // stc3
#define IDC_CHOOSE_DRIVES_LABEL 1091    // stc4
#define IDC_CHOOSE_FILE_LIST 1120       // lst1
#define IDC_CHOOSE_FOLDER_LIST 1121     // lst2
#define IDC_CHOOSE_TYPE_COMBO 1136      // cmb1
#define IDC_CHOOSE_DRIVE_COMBO 1137     // cmb2
#define IDC_CHOOSE_FILE_NAME 1152       // edt1

#endif
