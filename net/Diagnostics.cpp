#include "net/Diagnostics.h"

#include "framework/CString.h"

#include <cstdarg>

void DebugLine(const wchar_t* pszLine)
{
    ::OutputDebugStringW(pszLine);
}

void DebugLineFormat(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    CString strLine;
    strLine.FormatV(pszFormat, args);
    va_end(args);
    DebugLine(strLine);
}
