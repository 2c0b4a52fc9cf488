#pragma once
// The installer's texts, read from the program's string table in the user's
// language. Nothing is cached: each call reads the resource afresh, from any thread.

#include "framework/CString.h"

#include <windows.h>

// Text nID from the table of exactly language wLanguage; no other language is
// tried. TRUE with strOut set to the text; FALSE, strOut left as it was, when that
// language has no table for nID, the table has no such entry, or it is empty.
BOOL LoadStringByLang(WORD wLanguage, UINT nID, CString& strOut);

// Text nID in the user's language (the thread locale's language); the empty
// string when that language lacks it.
CString GetLocalizedString(UINT nID);

// The address of the full setup: text IDS_DOWNLOAD_URL of the English (United
// Kingdom) table whatever the user's language, handed on exactly as stored
// (its trailing space included).
CString GetDownloadURL();
