#include "framework/CString.h"

#include "framework/Afx.h"

#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <vector>

CString::CString(const wchar_t* psz)
{
    if (psz)
        m_str = psz;
}

CString::CString(const wchar_t* pch, int nLength)
{
    if (pch && nLength > 0)
        m_str.assign(pch, static_cast<size_t>(nLength));
}

CString::CString(wchar_t ch, int nRepeat)
{
    if (nRepeat > 0)
        m_str.assign(static_cast<size_t>(nRepeat), ch);
}

CString& CString::operator=(const wchar_t* psz)
{
    if (psz)
        m_str = psz;
    else
        m_str.clear();
    return *this;
}

CString& CString::operator+=(const wchar_t* psz)
{
    if (psz)
        m_str += psz;
    return *this;
}

int CString::Compare(const wchar_t* psz) const
{
    return m_str.compare(psz ? psz : L"");
}

int CString::Find(const wchar_t* pszSub, int nStart) const
{
    if (!pszSub || nStart < 0 || nStart > GetLength())
        return -1;
    const size_t pos = m_str.find(pszSub, static_cast<size_t>(nStart));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(wchar_t ch, int nStart) const
{
    if (nStart < 0 || nStart >= GetLength())
        return -1;
    const size_t pos = m_str.find(ch, static_cast<size_t>(nStart));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(wchar_t ch) const
{
    const size_t pos = m_str.rfind(ch);
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int nCount) const
{
    return CString(m_str.data(), nCount < GetLength() ? nCount : GetLength());
}

CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, GetLength());
}

CString CString::Mid(int nFirst, int nCount) const
{
    if (nFirst < 0)
        nFirst = 0;
    const int nRest = GetLength() - nFirst;
    return CString(m_str.data() + (nRest > 0 ? nFirst : 0), nCount < nRest ? nCount : nRest);
}

CString CString::Right(int nCount) const
{
    if (nCount >= GetLength())
        return *this;
    return CString(m_str.data() + GetLength() - (nCount > 0 ? nCount : 0), nCount);
}

int CString::Replace(const wchar_t* pszOld, const wchar_t* pszNew)
{
    if (!pszOld || !*pszOld)
        return 0;
    if (!pszNew)
        pszNew = L"";
    // Either text may lie inside this string: both are read before m_str changes.
    const size_t nOld = std::char_traits<wchar_t>::length(pszOld);

    std::wstring result;
    int nCount = 0;
    size_t from = 0;
    for (size_t hit; (hit = m_str.find(pszOld, from, nOld)) != std::wstring::npos; from = hit + nOld) {
        result.append(m_str.data() + from, hit - from);
        result += pszNew;
        ++nCount;
    }
    if (nCount) {
        result.append(m_str.data() + from, m_str.size() - from);
        m_str.swap(result);
    }
    return nCount;
}

int CString::Replace(wchar_t chOld, wchar_t chNew)
{
    int nCount = 0;
    for (wchar_t& ch : m_str) {
        if (ch == chOld) {
            ch = chNew;
            ++nCount;
        }
    }
    return nCount;
}

CString& CString::TrimLeft(wchar_t chTarget)
{
    m_str.erase(0, m_str.find_first_not_of(chTarget));
    return *this;
}

CString& CString::TrimRight(wchar_t chTarget)
{
    const size_t last = m_str.find_last_not_of(chTarget);
    m_str.erase(last == std::wstring::npos ? 0 : last + 1);
    return *this;
}

CString& CString::TrimLeft()
{
    size_t n = 0;
    while (n < m_str.size() && std::iswspace(m_str[n]))
        ++n;
    m_str.erase(0, n);
    return *this;
}

CString& CString::TrimRight()
{
    size_t n = m_str.size();
    while (n > 0 && std::iswspace(m_str[n - 1]))
        --n;
    m_str.erase(n);
    return *this;
}

CString& CString::Trim()
{
    TrimRight();
    return TrimLeft();
}

void CString::Format(const wchar_t* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(const wchar_t* pszFormat, va_list args)
{
    // _vscwprintf tells the length without writing, so one allocation fits exactly.
    va_list probe;
    va_copy(probe, args);
    const int nLength = _vscwprintf(pszFormat, probe);
    va_end(probe);
    if (nLength <= 0) {
        m_str.clear();
        return;
    }
    std::vector<wchar_t> buffer(static_cast<size_t>(nLength) + 1);
    _vsnwprintf(buffer.data(), buffer.size(), pszFormat, args);
    m_str.assign(buffer.data(), static_cast<size_t>(nLength));
}

wchar_t* CString::GetBuffer(int nMinLength)
{
    if (nMinLength > GetLength())
        m_str.resize(static_cast<size_t>(nMinLength));
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0) {
        nNewLength = 0;
        while (nNewLength < GetLength() && m_str[static_cast<size_t>(nNewLength)])
            ++nNewLength;
    }
    m_str.resize(static_cast<size_t>(nNewLength));
}

BOOL CString::LoadString(UINT nID)
{
    // A string resource entry is a length-prefixed run; LoadStringW with a zero
    // buffer size hands back a read-only pointer to it instead of a copy.
    const wchar_t* pch = nullptr;
    const int nLength = ::LoadStringW(AfxGetResourceHandle(), nID, reinterpret_cast<LPWSTR>(&pch), 0);
    if (nLength <= 0 || !pch)
        return FALSE;
    m_str.assign(pch, static_cast<size_t>(nLength));
    return TRUE;
}
