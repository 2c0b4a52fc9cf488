// Resource identifiers of the framework layer itself (res/Framework.rc). The
// IDs sit in the 0xF000 range, apart from the program's own.
#pragma once

// "Internal application error.": shown when an exception escapes a window
// message handler (CWnd's window procedure reports and deletes it).
#define AFX_IDP_INTERNAL_FAILURE 0xF108
