#pragma once
// CString: the program's UTF-16 text type. A value type: copies are independent,
// so a copy can be handed to another thread and outlive the original.

#include <windows.h>

#include <string>

class CString
{
public:
    CString() = default;
    CString(const wchar_t* psz);                 // null is the empty string
    CString(const wchar_t* pch, int nLength);
    CString(wchar_t ch, int nRepeat = 1);
    CString(const std::wstring& str) : m_str(str) {}

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }

    // Always NUL-terminated, valid until the string is next changed.
    operator const wchar_t*() const { return m_str.c_str(); }
    const wchar_t* GetString() const { return m_str.c_str(); }
    const std::wstring& str() const { return m_str; }

    wchar_t GetAt(int nIndex) const { return m_str.at(static_cast<size_t>(nIndex)); }
    wchar_t operator[](int nIndex) const { return GetAt(nIndex); }

    CString& operator=(const wchar_t* psz);
    CString& operator+=(const CString& str) { m_str += str.m_str; return *this; }
    CString& operator+=(const wchar_t* psz);
    CString& operator+=(wchar_t ch) { m_str += ch; return *this; }

    // Exact, code unit by code unit.
    int Compare(const wchar_t* psz) const;
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
    friend bool operator==(const wchar_t* a, const CString& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
    friend bool operator!=(const wchar_t* a, const CString& b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_str < b.m_str; }

    friend CString operator+(CString a, const CString& b) { a += b; return a; }
    friend CString operator+(CString a, const wchar_t* b) { a += b; return a; }
    friend CString operator+(const wchar_t* a, const CString& b) { CString r(a); r += b; return r; }
    friend CString operator+(CString a, wchar_t b) { a += b; return a; }

    // Index of the first match at or after nStart, -1 when there is none.
    int Find(const wchar_t* pszSub, int nStart = 0) const;
    int Find(wchar_t ch, int nStart = 0) const;
    int ReverseFind(wchar_t ch) const;

    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Right(int nCount) const;

    // Replaces every non-overlapping occurrence of pszOld, scanning left to right;
    // text put in is never searched again. Returns how many were replaced.
    int Replace(const wchar_t* pszOld, const wchar_t* pszNew);
    int Replace(wchar_t chOld, wchar_t chNew);

    // Remove the given character only, from one end.
    CString& TrimLeft(wchar_t chTarget);
    CString& TrimRight(wchar_t chTarget);
    // Remove white space (iswspace).
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim();

    void Format(const wchar_t* pszFormat, ...);
    void FormatV(const wchar_t* pszFormat, va_list args);

    // A writable buffer of at least nMinLength characters (plus the terminator);
    // ReleaseBuffer(-1) takes the length up to the first NUL.
    wchar_t* GetBuffer(int nMinLength);
    void ReleaseBuffer(int nNewLength = -1);

    // The text of string resource nID from the program's module, whichever
    // language's table holds it first. FALSE, and the string unchanged, when none does.
    BOOL LoadString(UINT nID);

private:
    std::wstring m_str;
};
