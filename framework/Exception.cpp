#include "framework/Exception.h"

#include "framework/Afx.h"
#include "framework/CString.h"

IMPLEMENT_DYNAMIC(CException, CObject)

void CException::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

BOOL CException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext) const
{
    return const_cast<CException*>(this)->GetErrorMessage(lpszError, nMaxError, pnHelpContext);
}

BOOL CException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext)
{
    if (lpszError && nMaxError > 0)
        lpszError[0] = L'\0';
    if (pnHelpContext)
        *pnHelpContext = 0;
    return FALSE;
}

int CException::ReportError(UINT nType, UINT nMessageID)
{
    // 512 characters: a system error sentence or a file error with its path.
    wchar_t szMessage[512];
    GetErrorMessage(szMessage, static_cast<UINT>(sizeof szMessage / sizeof szMessage[0]));
    CString strMessage = szMessage;
    // A message ID without a string resource leaves the exception's own text.
    CString strResource;
    if (nMessageID != 0 && strResource.LoadString(nMessageID))
        strMessage = strResource;
    return AfxMessageBox(strMessage, nType, 0);
}
