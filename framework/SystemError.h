#pragma once
// The system's sentence for a platform error code, written once for every
// caller (the thread's start-up failures, the file exceptions).

#include "framework/CString.h"

#include <windows.h>

// The system's text for dwError in the user's language, whole and unchanged
// (the trailing line break included); "" when the system has none. Insertion
// markers such as %1 stay in the text as they are.
CString GetSystemErrorText(DWORD dwError);
