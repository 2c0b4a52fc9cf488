#include "framework/SystemError.h"

#include "framework/Handles.h"

CString GetSystemErrorText(DWORD dwError)
{
    // FORMAT_MESSAGE_IGNORE_INSERTS: no arguments are passed, so a message with
    // %1 must not make the system read any.
    constexpr DWORD dwFlags =
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    LPWSTR pszBuffer = nullptr;
    const DWORD nLength = ::FormatMessageW(dwFlags, nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                           reinterpret_cast<LPWSTR>(&pszBuffer), 0, nullptr);
    const UniqueHLocal holder(pszBuffer);
    if (!pszBuffer)
        return CString();
    return CString(pszBuffer, static_cast<int>(nLength));
}
