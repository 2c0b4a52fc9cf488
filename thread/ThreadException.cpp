#include "thread/ThreadException.h"

#include "framework/Afx.h"
#include "framework/Handles.h"

#include <utility>

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

CThreadException::CThreadException(CThread* pThread, CString strError, int nErrorKind)
    : m_pThread(pThread), m_strError(std::move(strError)), m_nErrorKind(nErrorKind)
{
}

int CThreadException::ReportError(UINT nType, UINT nMessageID)
{
    CString strMessage = m_strError;
    CString strResource;
    if (nMessageID != 0 && strResource.LoadString(nMessageID))
        strMessage = strResource;
    return AfxMessageBox(strMessage, nType, 0);
}
