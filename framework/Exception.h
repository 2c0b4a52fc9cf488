#pragma once
// CException, the base of the framework's exception family.
//
// Exceptions of this family are allocated with new, thrown as pointers and
// handled as pointers (catch (CException* e)); the handler ends with e->Delete(),
// which frees the object when it owns itself (m_bAutoDelete, TRUE by default).
// A handler must not touch the exception after Delete().

#include "framework/Object.h"

#include <windows.h>

class CException : public CObject
{
    DECLARE_DYNAMIC(CException)

public:
    explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}
    ~CException() override = default;

    // Frees the exception if it owns itself; otherwise leaves it to its owner
    // (an exception kept in a static or on the stack).
    void Delete();

    // Copies the exception's text into lpszError (at most nMaxError characters,
    // NUL included) and its help context into *pnHelpContext. The base has no
    // text: it writes an empty string and context 0 and returns FALSE. The const
    // overload hands on to the other, so a subclass overrides only that one.
    virtual BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const;
    virtual BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr);

    // Shows the exception in the application's message box (nType: buttons and
    // icon) and returns the button pressed. A non-zero nMessageID names a string
    // resource shown instead of the exception's own text (an ID without a
    // resource leaves the own text); the base's own text is whatever
    // GetErrorMessage yields.
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);

    BOOL m_bAutoDelete;
};
