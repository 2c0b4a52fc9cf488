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
// The Cancel button's looks, each a left edge, a centre strip and a right edge.
#define IDB_BUTTON_DISABLED_LEFT    132
#define IDB_BUTTON_NORMAL_LEFT      133
#define IDB_BUTTON_HOVER_LEFT       134
#define IDB_BUTTON_PRESSED_LEFT     135
#define IDB_BUTTON_DISABLED_CENTRE  136
#define IDB_BUTTON_NORMAL_CENTRE    137
#define IDB_BUTTON_HOVER_CENTRE     138
#define IDB_BUTTON_PRESSED_CENTRE   139
#define IDB_BUTTON_DISABLED_RIGHT   140
#define IDB_BUTTON_NORMAL_RIGHT     141
#define IDB_BUTTON_HOVER_RIGHT      142
#define IDB_BUTTON_PRESSED_RIGHT    143
// The dialog's own pictures.
#define IDB_LOGO                    145 // 101 x 107
#define IDB_BACKGROUND              146 // 475 x 286
// The progress bar: the track and the fill's left cap, centre strip, right cap.
#define IDB_PROGRESS_TRACK          147 // 436 x 8
#define IDB_PROGRESS_FILL_LEFT      148 // 5 x 7
#define IDB_PROGRESS_FILL_CENTRE    149 // 1 x 7
#define IDB_PROGRESS_FILL_RIGHT     150 // 5 x 7

// Controls of dialog 102.
#define IDC_TITLE                50
#define IDC_DESCRIPTION          51
#define IDC_PERCENT              1000
#define IDC_FILE_STATUS          1450
#define IDC_PROGRESS             1500
#define IDC_SKIN_PROGRESS        32343
