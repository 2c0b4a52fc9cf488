#pragma once
// Links an attacker plants at a path, for the tests of code that must never
// write, delete or start through them.

#include "support/TestFiles.h"

#include <windows.h>

#include <string>

// Makes strLink a symbolic link to strTarget (both Windows paths). Wine keeps
// the prefix's files as Unix files, and its CreateSymbolicLinkW makes
// nothing, so there the link is made the way a Unix program of the same user
// would: with ln, which Wine starts like any program. Windows: the platform's
// call (it needs the privilege to make links). FALSE when neither made it.
namespace link_planting {

// Wine maps Z: to the Unix root; empty for a path elsewhere.
inline std::wstring UnixPath(const std::wstring& path)
{
    if (path.size() < 2 || (path[0] != L'Z' && path[0] != L'z') || path[1] != L':')
        return std::wstring();
    std::wstring out = path.substr(2);
    for (wchar_t& c : out)
        c = c == L'\\' ? L'/' : c;
    return out;
}

// Starts a Unix program under Wine (Wine starts one like any program). Its
// process handle does not tell when it ends, so the caller waits for its
// effect (WaitFor).
inline bool RunUnix(const wchar_t* pszProgram, std::wstring commandLine)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(pszProgram, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
}

// Whether strPath exists, after waiting up to 10 s for it to become bExists.
inline bool WaitFor(const std::wstring& strPath, bool bExists)
{
    for (int i = 0; i < 200; ++i, ::Sleep(50)) {
        if ((::GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES) == bExists)
            break;
    }
    return ::GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace link_planting

inline bool PlantSymlink(const std::wstring& strLink, const std::wstring& strTarget)
{
    using namespace link_planting;
    const std::wstring link = UnixPath(strLink), target = UnixPath(strTarget);
    // Wine splits the command line by the Windows rules: double quotes.
    if (!link.empty() && !target.empty() &&
        RunUnix(L"Z:\\bin\\ln", L"/bin/ln -s \"" + target + L"\" \"" + link + L"\""))
        WaitFor(strLink, true);
    if (::GetFileAttributesW(strLink.c_str()) == INVALID_FILE_ATTRIBUTES)
        ::CreateSymbolicLinkW(strLink.c_str(), strTarget.c_str(), 0);
    return ::GetFileAttributesW(strLink.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes a test's entry at strPath, a planted link included, for clean-up:
// under Wine a link can only be removed from the Unix side (Wine's own
// DeleteFileW follows it and deletes the target).
inline void RemovePlanted(const std::wstring& strPath)
{
    using namespace link_planting;
    const std::wstring path = UnixPath(strPath);
    if (!path.empty() && RunUnix(L"Z:\\bin\\rm", L"/bin/rm -rf \"" + path + L"\""))
        WaitFor(strPath, false);
    else
        ::DeleteFileW(strPath.c_str()) || ::RemoveDirectoryW(strPath.c_str());
}

// True when this platform shows a symbolic link as a reparse point of its own
// (Windows); false when it follows the link on every open (Wine keeps Unix
// links, which it resolves).
inline bool LinksAreVisible(const std::wstring& strLink)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return ::GetFileAttributesExW(strLink.c_str(), GetFileExInfoStandard, &data) &&
           (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A folder of a test's own in the build folder, a Z: path (the Unix one under
// Wine), where links can be planted: Make clears what an earlier run left and
// creates it, Remove takes it away with everything planted in it.
class PlantingFolder
{
public:
    // "<build folder>\<pszName>-<process id>"; false when it cannot be created.
    bool Make(const wchar_t* pszName)
    {
        m_strPath = BuildFolder() + L"\\" + pszName + L"-" + std::to_wstring(::GetCurrentProcessId());
        Remove();
        return ::CreateDirectoryW(m_strPath.c_str(), nullptr) != FALSE;
    }

    void Remove()
    {
        if (!m_strPath.empty() && ::GetFileAttributesW(m_strPath.c_str()) != INVALID_FILE_ATTRIBUTES)
            RemovePlanted(m_strPath);
    }

    const std::wstring& Path() const { return m_strPath; }

private:
    std::wstring m_strPath;
};
