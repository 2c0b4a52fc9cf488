#pragma once
// CFile, the framework's binary file, and CFileException, what its operations
// throw. Open() reports failure through its result; Read, Write, GetLength and
// Close throw a heap-allocated CFileException* (handled as pointers, ended with
// Delete(), like every exception of the CException family).

#include "framework/CString.h"
#include "framework/Exception.h"
#include "framework/Handles.h"

#include <windows.h>

class CFileException : public CException
{
    DECLARE_DYNAMIC(CFileException)

public:
    // Broad causes; m_lOsError carries the system's own code.
    enum
    {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        accessDenied = 5,
        invalidFile = 6,
        diskFull = 14,
    };

    explicit CFileException(int cause = none, LONG lOsError = -1, const wchar_t* pszFileName = nullptr);

    // Maps a system error code (GetLastError) to a cause.
    static int OsErrorToException(LONG lOsError);
    // Throws new CFileException for lOsError on file pszFileName.
    [[noreturn]] static void ThrowOsError(LONG lOsError, const wchar_t* pszFileName = nullptr);

    // The system's sentence for m_lOsError, or a general one when there is none.
    BOOL GetErrorMessage(LPWSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
    using CException::GetErrorMessage;

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

class CFile : public CObject
{
public:
    // Open flags: an access mode, a share mode and options, or-ed together.
    enum OpenFlags : UINT
    {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,      // others may read and write, as shareDenyNone
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,   // others may read but not write
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,       // create, or truncate an existing file
        modeNoTruncate = 0x2000,   // with modeCreate: open an existing file as it is
        typeText = 0x4000,         // accepted and ignored: every file is binary here
        typeBinary = 0x8000,
    };

    CFile() = default;
    // Takes over an open file handle (INVALID_HANDLE_VALUE: no file open).
    explicit CFile(HANDLE hFile) : m_hFile(hFile) {}
    // Opens at once; throws CFileException* when the file cannot be opened.
    CFile(const wchar_t* pszFileName, UINT nOpenFlags);
    // Closes an open file; a failure to close is not reported from here.
    ~CFile() override = default;

    // FALSE when the file cannot be opened; pError, when given, then receives
    // the cause. A file already open is closed first.
    BOOL Open(const wchar_t* pszFileName, UINT nOpenFlags, CFileException* pError = nullptr);

    // Writes all nCount bytes or throws (also when the file is not open).
    void Write(const void* lpBuf, UINT nCount);
    // Reads up to nCount bytes; 0 at the end of the file. Throws on failure.
    UINT Read(void* lpBuf, UINT nCount);
    // Length in bytes; throws on failure or when the file is not open.
    ULONGLONG GetLength() const;
    // Closes the file; does nothing when none is open. Throws when the system
    // refuses to close it (the handle is given up all the same).
    void Close();
    // Closes the file without reporting anything, for paths that already
    // failed; does nothing when none is open.
    void Abort() noexcept { m_hFile.reset(); }

    bool IsOpen() const { return static_cast<bool>(m_hFile); }
    HANDLE GetHandle() const { return m_hFile.get(); }
    const CString& GetFilePath() const { return m_strFileName; }

private:
    UniqueFile m_hFile;
    CString m_strFileName;
};
