// The end-to-end tests' hands and eyes on the Windows side: starts the
// installer as a user would, reads its windows and presses their buttons.
//
// A console program that reads one command a line from stdin and answers each
// with one line of JSON on stdout (flushed at once), so one Wine start serves a
// whole scenario. Arguments are separated by tabs (paths may hold spaces).
//
//   launch <exe> [NAME=VALUE ...]   start exe with these variables added to the
//                                   environment (the driver's own otherwise)
//                                   -> {"pid":N}
//   exited <ms>                     wait up to ms for the launched program
//                                   -> {"exited":0|1,"code":N,"peak":bytes}
//   dialog                          the launched program's installer window
//                                   (the #32770 window with control 32343)
//                                   -> {"found":1,"hwnd":H,"visible":0|1,
//                                       "window":[l,t,r,b],"client":[w,h],
//                                       "controls":[{"id","class","text",
//                                       "rect":[l,t,r,b] (client coords),"visible",
//                                       "style","exstyle"}]}
//   msgbox                          the launched program's visible message box
//                                   -> {"found":1,"hwnd":H,"caption","text",
//                                       "buttons":[{"id","text"}]}
//   click <hwnd> <id>               BM_CLICK to control id of window hwnd, without
//                                   waiting for its handler (it may open a
//                                   modal box) -> {"ok":1}
//   key <hwnd> <vk>                 posts WM_KEYDOWN and WM_KEYUP of vk to hwnd
//   close <hwnd>                    posts the Close command (WM_SYSCOMMAND SC_CLOSE)
//   screen                          the primary screen's size -> {"cx","cy"}
//   quit                            ends the driver
// Unknown commands and failures answer {"error":"..."}.

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int IDC_SKIN_PROGRESS = 32343;
constexpr int MSGBOX_TEXT_ID = 0xFFFF;

HANDLE g_hLaunched = nullptr;
DWORD g_dwLaunchedPid = 0;

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// A JSON string literal; everything outside printable ASCII as \uXXXX.
std::string Json(const std::wstring& text)
{
    std::string out = "\"";
    for (wchar_t ch : text) {
        if (ch == L'"' || ch == L'\\') {
            out += '\\';
            out += static_cast<char>(ch);
        } else if (ch >= 0x20 && ch < 0x7F) {
            out += static_cast<char>(ch);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof(buf), "\\u%04x", static_cast<unsigned>(ch));
            out += buf;
        }
    }
    return out + "\"";
}

std::string Json(const RECT& rc)
{
    char buf[96];
    std::snprintf(buf, sizeof(buf), "[%ld,%ld,%ld,%ld]", rc.left, rc.top, rc.right, rc.bottom);
    return buf;
}

std::string Number(unsigned long long n)
{
    return std::to_string(n);
}

std::string HwndNumber(HWND hWnd)
{
    return Number(static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hWnd)));
}

HWND ParseHwnd(const std::string& text)
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(text)));
}

// Reads a window's text without sending it a message: the installer's thread
// may be busy (its start-up waits for the probe), and a sent WM_GETTEXT would
// wait with it.
std::wstring WindowText(HWND hWnd)
{
    wchar_t buf[1024] = {};
    ::InternalGetWindowText(hWnd, buf, static_cast<int>(std::size(buf)));
    return buf;
}

std::wstring ClassName(HWND hWnd)
{
    wchar_t buf[256] = {};
    ::GetClassNameW(hWnd, buf, static_cast<int>(std::size(buf)));
    return buf;
}

bool IsOursDialogClass(HWND hWnd)
{
    DWORD dwPid = 0;
    ::GetWindowThreadProcessId(hWnd, &dwPid);
    return dwPid == g_dwLaunchedPid && ClassName(hWnd) == L"#32770";
}

// A captureless lambda converts only to a function of the default calling
// convention; the 32-bit WNDENUMPROC is __stdcall, so this is a function.
BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM lParam)
{
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

std::vector<HWND> TopLevelWindows()
{
    std::vector<HWND> windows;
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> ChildWindows(HWND hParent)
{
    std::vector<HWND> children;
    for (HWND h = ::GetWindow(hParent, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
        children.push_back(h);
    return children;
}

HWND FindInstallerDialog()
{
    for (HWND h : TopLevelWindows()) {
        if (IsOursDialogClass(h) && ::GetDlgItem(h, IDC_SKIN_PROGRESS))
            return h;
    }
    return nullptr;
}

HWND FindMessageBox()
{
    for (HWND h : TopLevelWindows()) {
        if (IsOursDialogClass(h) && !::GetDlgItem(h, IDC_SKIN_PROGRESS) && ::IsWindowVisible(h))
            return h;
    }
    return nullptr;
}

std::string CmdLaunch(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        return "{\"error\":\"launch needs a program\"}";
    if (g_hLaunched)
        return "{\"error\":\"a program was launched already\"}";

    // The driver's environment plus the given variables (later ones win, as
    // SetEnvironmentVariable makes them), inherited by the child.
    for (size_t i = 2; i < args.size(); ++i) {
        const std::wstring pair = Wide(args[i]);
        const size_t eq = pair.find(L'=');
        if (eq == std::wstring::npos || eq == 0)
            return "{\"error\":\"bad variable\"}";
        ::SetEnvironmentVariableW(pair.substr(0, eq).c_str(), pair.substr(eq + 1).c_str());
    }

    const std::wstring exe = Wide(args[1]);
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return "{\"error\":\"CreateProcess failed " + Number(::GetLastError()) + "\"}";
    ::CloseHandle(pi.hThread);
    g_hLaunched = pi.hProcess;
    g_dwLaunchedPid = pi.dwProcessId;
    return "{\"pid\":" + Number(pi.dwProcessId) + "}";
}

std::string CmdExited(const std::vector<std::string>& args)
{
    if (!g_hLaunched)
        return "{\"error\":\"nothing launched\"}";
    const DWORD dwWait = args.size() > 1 ? static_cast<DWORD>(std::stoul(args[1])) : 0;
    const bool bExited = ::WaitForSingleObject(g_hLaunched, dwWait) == WAIT_OBJECT_0;
    DWORD dwCode = 0;
    ::GetExitCodeProcess(g_hLaunched, &dwCode);
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    ::GetProcessMemoryInfo(g_hLaunched, &pmc, sizeof(pmc));
    return "{\"exited\":" + Number(bExited ? 1 : 0) + ",\"code\":" + Number(dwCode) +
           ",\"peak\":" + Number(pmc.PeakWorkingSetSize) + "}";
}

std::string CmdDialog()
{
    const HWND hDlg = FindInstallerDialog();
    if (!hDlg)
        return "{\"found\":0}";
    RECT rcWindow{}, rcClient{};
    ::GetWindowRect(hDlg, &rcWindow);
    ::GetClientRect(hDlg, &rcClient);
    std::string out = "{\"found\":1,\"hwnd\":" + HwndNumber(hDlg) +
                      ",\"visible\":" + Number(::IsWindowVisible(hDlg) ? 1 : 0) +
                      ",\"iconic\":" + Number(::IsIconic(hDlg) ? 1 : 0) + ",\"window\":" + Json(rcWindow) +
                      ",\"client\":[" + Number(rcClient.right) + "," + Number(rcClient.bottom) + "],\"controls\":[";
    bool bFirst = true;
    for (HWND h : ChildWindows(hDlg)) {
        RECT rc{};
        ::GetWindowRect(h, &rc);
        ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
        out += bFirst ? "" : ",";
        bFirst = false;
        out += "{\"id\":" + Number(static_cast<unsigned>(::GetDlgCtrlID(h))) + ",\"class\":" + Json(ClassName(h)) +
               ",\"text\":" + Json(WindowText(h)) + ",\"rect\":" + Json(rc) +
               ",\"visible\":" + Number(::IsWindowVisible(h) ? 1 : 0) +
               ",\"style\":" + Number(static_cast<DWORD>(::GetWindowLongW(h, GWL_STYLE))) +
               ",\"exstyle\":" + Number(static_cast<DWORD>(::GetWindowLongW(h, GWL_EXSTYLE))) + "}";
    }
    return out + "]}";
}

std::string CmdMsgBox()
{
    const HWND hBox = FindMessageBox();
    if (!hBox)
        return "{\"found\":0}";
    std::string out = "{\"found\":1,\"hwnd\":" + HwndNumber(hBox) + ",\"caption\":" + Json(WindowText(hBox)) +
                      ",\"text\":" + Json(WindowText(::GetDlgItem(hBox, MSGBOX_TEXT_ID))) + ",\"buttons\":[";
    bool bFirst = true;
    for (HWND h : ChildWindows(hBox)) {
        if (ClassName(h) != L"Button" || !::IsWindowVisible(h))
            continue;
        out += bFirst ? "" : ",";
        bFirst = false;
        out += "{\"id\":" + Number(static_cast<unsigned>(::GetDlgCtrlID(h))) + ",\"text\":" + Json(WindowText(h)) +
               "}";
    }
    return out + "]}";
}

std::string CmdClick(const std::vector<std::string>& args)
{
    if (args.size() < 3)
        return "{\"error\":\"click needs a window and an id\"}";
    const HWND hButton = ::GetDlgItem(ParseHwnd(args[1]), std::stoi(args[2]));
    if (!hButton)
        return "{\"error\":\"no such control\"}";
    // Not SendMessage: the click's handler may run a modal message box, and the
    // driver must stay free to read and answer it.
    ::SendNotifyMessageW(hButton, BM_CLICK, 0, 0);
    return "{\"ok\":1}";
}

std::string CmdKey(const std::vector<std::string>& args)
{
    if (args.size() < 3)
        return "{\"error\":\"key needs a window and a key\"}";
    const HWND hWnd = ParseHwnd(args[1]);
    const WPARAM vk = std::stoul(args[2]);
    const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    ::PostMessageW(hWnd, WM_KEYDOWN, vk, 1 | (static_cast<LPARAM>(scan) << 16));
    ::PostMessageW(hWnd, WM_KEYUP, vk, 1 | (static_cast<LPARAM>(scan) << 16) | (3LL << 30));
    return "{\"ok\":1}";
}

std::string CmdClose(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        return "{\"error\":\"close needs a window\"}";
    ::PostMessageW(ParseHwnd(args[1]), WM_SYSCOMMAND, SC_CLOSE, 0);
    return "{\"ok\":1}";
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        parts.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return parts;
        start = tab + 1;
    }
}

std::string Execute(const std::vector<std::string>& args)
{
    const std::string& cmd = args[0];
    try {
        if (cmd == "launch")
            return CmdLaunch(args);
        if (cmd == "exited")
            return CmdExited(args);
        if (cmd == "dialog")
            return CmdDialog();
        if (cmd == "msgbox")
            return CmdMsgBox();
        if (cmd == "click")
            return CmdClick(args);
        if (cmd == "key")
            return CmdKey(args);
        if (cmd == "close")
            return CmdClose(args);
        if (cmd == "screen")
            return "{\"cx\":" + Number(::GetSystemMetrics(SM_CXSCREEN)) +
                   ",\"cy\":" + Number(::GetSystemMetrics(SM_CYSCREEN)) + "}";
    } catch (const std::exception&) {
        return "{\"error\":\"bad arguments\"}";
    }
    return "{\"error\":\"unknown command\"}";
}

} // namespace

int main()
{
    char line[8192];
    while (std::fgets(line, sizeof(line), stdin)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        if (text.empty())
            continue;
        const std::vector<std::string> args = SplitTabs(text);
        if (args[0] == "quit")
            break;
        const std::string reply = Execute(args);
        std::fputs(reply.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (g_hLaunched)
        ::CloseHandle(g_hLaunched);
    return 0;
}
