// The stand-in setup program: proves that it was started, and how, then exits.
//
// It writes a marker file in UTF-8, one "name=value" line each:
//   module=<full path of this program as Windows sees it>
//   cmdline=<the command line it was started with>
//   pid=<its process identifier>
// The marker's path is the environment variable QUILMER_STANDIN_MARKER when set,
// else this program's own path followed by ".ran". The text is written to a
// temporary name first and then renamed, so a reader polling for the marker
// never sees half of it. Exit code 0 when the marker was written, 1 otherwise.

#include <windows.h>

#include <string>

namespace {

std::wstring ModulePath()
{
    // Paths may exceed MAX_PATH (the installer must start such a file too);
    // grow the buffer until the name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring EnvironmentValue(const wchar_t* name)
{
    const DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0)
        return std::wstring();
    std::wstring value(n, L'\0');
    const DWORD written = ::GetEnvironmentVariableW(name, value.data(), n);
    value.resize(written < n ? written : 0);
    return value;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

bool WriteWhole(const std::wstring& path, const std::string& bytes)
{
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size();
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    const std::wstring module = ModulePath();
    std::wstring marker = EnvironmentValue(L"QUILMER_STANDIN_MARKER");
    if (marker.empty())
        marker = module + L".ran";

    const std::wstring text = L"module=" + module + L"\r\ncmdline=" + ::GetCommandLineW() + L"\r\npid=" +
                              std::to_wstring(::GetCurrentProcessId()) + L"\r\n";
    const std::wstring temporary = marker + L".tmp";
    if (!WriteWhole(temporary, ToUtf8(text)))
        return 1;
    return ::MoveFileExW(temporary.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
