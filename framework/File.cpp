#include "framework/File.h"

#include "framework/SystemError.h"

IMPLEMENT_DYNAMIC(CFileException, CException)

namespace {

CString FileErrorText(int cause)
{
    CString strError;
    strError.Format(L"A file error occurred (cause %d).", cause);
    return strError;
}

} // namespace

CFileException::CFileException(int cause, LONG lOsError, const wchar_t* pszFileName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(pszFileName)
{
}

int CFileException::OsErrorToException(LONG lOsError)
{
    switch (lOsError) {
    case NO_ERROR:
        return none;
    case ERROR_FILE_NOT_FOUND:
        return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
        return badPath;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return accessDenied;
    case ERROR_INVALID_HANDLE:
        return invalidFile;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return diskFull;
    default:
        return genericException;
    }
}

void CFileException::ThrowOsError(LONG lOsError, const wchar_t* pszFileName)
{
    throw new CFileException(OsErrorToException(lOsError), lOsError, pszFileName);
}

BOOL CFileException::GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext)
{
    if (pnHelpContext)
        *pnHelpContext = 0;
    if (!lpszError || nMaxError == 0)
        return FALSE;
    // A system sentence that does not fit gives way to the generic text.
    const CString strSystem = m_lOsError > 0 ? GetSystemErrorText(static_cast<DWORD>(m_lOsError)) : CString();
    if (!strSystem.IsEmpty() && static_cast<UINT>(strSystem.GetLength()) < nMaxError)
        lstrcpynW(lpszError, strSystem, static_cast<int>(nMaxError));
    else
        // The framework's one formatter (the system's), cut to the caller's buffer.
        lstrcpynW(lpszError, FileErrorText(m_cause), static_cast<int>(nMaxError));
    return TRUE;
}

CFile::CFile(const wchar_t* pszFileName, UINT nOpenFlags)
{
    CFileException error;
    if (!Open(pszFileName, nOpenFlags, &error))
        CFileException::ThrowOsError(error.m_lOsError, pszFileName);
}

BOOL CFile::Open(const wchar_t* pszFileName, UINT nOpenFlags, CFileException* pError)
{
    if (IsOpen())
        m_hFile.reset();
    m_strFileName = pszFileName;

    DWORD dwAccess = GENERIC_READ;
    switch (nOpenFlags & 3) {
    case modeWrite:
        dwAccess = GENERIC_WRITE;
        break;
    case modeReadWrite:
        dwAccess = GENERIC_READ | GENERIC_WRITE;
        break;
    default:
        break;
    }

    DWORD dwShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    switch (nOpenFlags & 0x70) {
    case shareExclusive:
        dwShare = 0;
        break;
    case shareDenyWrite:
        dwShare = FILE_SHARE_READ;
        break;
    case shareDenyRead:
        dwShare = FILE_SHARE_WRITE;
        break;
    default:
        break;
    }

    DWORD dwCreation = OPEN_EXISTING;
    if (nOpenFlags & modeCreate)
        dwCreation = (nOpenFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, (nOpenFlags & modeNoInherit) ? FALSE : TRUE};
    HANDLE hFile = INVALID_HANDLE_VALUE;
    if (pszFileName && *pszFileName)
        hFile = ::CreateFileW(pszFileName, dwAccess, dwShare, &sa, dwCreation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        const LONG lError = (pszFileName && *pszFileName) ? static_cast<LONG>(::GetLastError())
                                                          : static_cast<LONG>(ERROR_INVALID_NAME);
        if (pError) {
            pError->m_cause = CFileException::OsErrorToException(lError);
            pError->m_lOsError = lError;
            pError->m_strFileName = pszFileName;
        }
        return FALSE;
    }
    m_hFile.reset(hFile);
    return TRUE;
}

void CFile::Write(const void* lpBuf, UINT nCount)
{
    if (!IsOpen())
        CFileException::ThrowOsError(ERROR_INVALID_HANDLE, m_strFileName);
    if (nCount == 0)
        return;
    DWORD dwWritten = 0;
    if (!::WriteFile(m_hFile.get(), lpBuf, nCount, &dwWritten, nullptr))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
    // A short write without an error means the volume is full.
    if (dwWritten != nCount)
        CFileException::ThrowOsError(ERROR_DISK_FULL, m_strFileName);
}

UINT CFile::Read(void* lpBuf, UINT nCount)
{
    if (!IsOpen())
        CFileException::ThrowOsError(ERROR_INVALID_HANDLE, m_strFileName);
    DWORD dwRead = 0;
    if (nCount != 0 && !::ReadFile(m_hFile.get(), lpBuf, nCount, &dwRead, nullptr))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
    return dwRead;
}

ULONGLONG CFile::GetLength() const
{
    if (!IsOpen())
        CFileException::ThrowOsError(ERROR_INVALID_HANDLE, m_strFileName);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(m_hFile.get(), &size))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
    return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::Close()
{
    if (!IsOpen())
        return;
    if (!::CloseHandle(m_hFile.release()))
        CFileException::ThrowOsError(static_cast<LONG>(::GetLastError()), m_strFileName);
}
