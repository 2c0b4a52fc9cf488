// Resource identifiers shared by the program and its resource script.
#pragma once

#define IDR_MAINFRAME            128   // application icon

#define IDD_QUILMER_DIALOG       102

// Text IDs of the string table (block 9, IDs 128..143).
#define IDS_TITLE                129
#define IDS_DESCRIPTION          130
#define IDS_FILE_STATUS          131
#define IDS_CANCEL               132
#define IDS_CONFIRM_EXIT         133
#define IDS_NOT_CONNECTED        134
#define IDS_CONNECTION_DISRUPTED 135
#define IDS_DOWNLOAD_URL         136
#define IDS_SETUP_NOT_VERIFIED   137

// Skin pictures, resource type "PNG".
#define IDB_SKIN_FIRST           130
#define IDB_SKIN_LAST            150

// Controls of dialog 102.
#define IDC_TITLE                50
#define IDC_DESCRIPTION          51
#define IDC_PERCENT              1000
#define IDC_FILE_STATUS          1450
#define IDC_PROGRESS             1500
#define IDC_SKIN_PROGRESS        32343
