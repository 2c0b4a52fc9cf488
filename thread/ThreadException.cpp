#include "thread/ThreadException.h"

#include <utility>

CThreadException::CThreadException(CThread* pThread, CString strError, int nErrorKind)
    : m_pThread(pThread), m_strError(std::move(strError)), m_nErrorKind(nErrorKind)
{
}

BOOL CThreadException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext)
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    if (!lpszError || nMaxError == 0)
        return FALSE;
    lstrcpynW(lpszError, m_strError, static_cast<int>(nMaxError));
    return m_strError.IsEmpty() ? FALSE : TRUE;
}
