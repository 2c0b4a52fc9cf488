#pragma once
// The installer's texts, read from the program's string table in the user's
// language. Nothing is cached: each call reads the resource afresh, from any thread.

#include "framework/CString.h"

#include <windows.h>

// Text nID from the table of exactly language wLanguage; no other language is
// tried. TRUE with strOut set to the text; FALSE, strOut left as it was, when that
// language has no table for nID, the table has no such entry, or it is empty.
BOOL LoadStringByLang(WORD wLanguage, UINT nID, CString& strOut);

// The user's language: the thread locale's language, whose table every text of
// GetLocalizedString comes from.
WORD GetUserLanguage();

// Text nID in the user's language; the empty string when that language lacks it.
CString GetLocalizedString(UINT nID);

// TRUE when the translated texts of language wLanguage (IDS_FILE_STATUS and on)
// read from right to left: Arabic (Saudi Arabia) and Hebrew, the two such
// tables. The title and description are English in those tables and read left
// to right. Any other language, with a table or without, is FALSE.
BOOL IsRightToLeftLanguage(WORD wLanguage);

// The address of the full setup: text IDS_DOWNLOAD_URL of the English (United
// Kingdom) table whatever the user's language, handed on exactly as stored
// (its trailing space included).
CString GetDownloadURL();
