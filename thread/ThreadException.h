#pragma once
// CThreadException: what CThread::Start throws when a run cannot begin.
//
// Thrown as a heap pointer (throw new CThreadException(...)); a handler may catch
// it as CThreadException*, CException* or CObject* and must end with Delete().

#include "framework/CString.h"
#include "framework/Exception.h"
#include "framework/SystemError.h"

#include <windows.h>

class CThread;

// Which step of CThread::Start failed (m_nErrorKind). 3 is not used.
constexpr int THREAD_ERR_CREATE_THREAD = 1;   // the platform refused the thread (or memory ran out)
constexpr int THREAD_ERR_ALREADY_STARTED = 2; // the object's worker is still active
constexpr int THREAD_ERR_CREATE_EVENT = 4;    // the command event could not be created
constexpr int THREAD_ERR_POST_COMMAND = 5;    // the start command could not be queued or signalled

// No run-time class record of its own: it reports itself as a CException.
class CThreadException : public CException
{
public:
    CThreadException(CThread* pThread, CString strError, int nErrorKind);

    // m_strError, cut to nMaxError characters; what ReportError shows unless
    // it is given a string resource that exists.
    BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
    using CException::GetErrorMessage;

    CThread* m_pThread; // the object whose Start failed; not owned, may be gone by now
    CString m_strError;
    int m_nErrorKind;   // THREAD_ERR_*
};
