#pragma once
// Files the tests read and the build folder they find their fixtures in.

#include <windows.h>

#include <cstdlib>
#include <string>

// The build folder (QUILMER_BUILD_DIR) as Windows sees it: Wine's Z: drive is
// the Linux root.
inline std::wstring BuildFolder()
{
    const char* pszBuild = std::getenv("QUILMER_BUILD_DIR");
    std::wstring folder = L"Z:";
    for (const char* p = pszBuild ? pszBuild : ""; *p; ++p)
        folder += *p == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return folder;
}

// The whole file at path, shared with any other opener; empty when it cannot
// be opened.
inline std::string ReadAll(const std::wstring& path)
{
    std::string bytes;
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return bytes;
    char buf[8192];
    DWORD n = 0;
    while (::ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0)
        bytes.append(buf, n);
    ::CloseHandle(h);
    return bytes;
}
