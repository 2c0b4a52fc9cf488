// The process's own start-up (runtime/ProcessStart.cpp), in a real process: the
// probe (StartUpProbe.cpp) is linked as Quilmer.exe is and started here with a
// chosen command line and show command; its trace shows what ran, in which
// order and how often, and its exit code what ended it.

#include "framework/Handles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::wstring TempPath(const wchar_t* pszName)
{
    wchar_t szTemp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, szTemp);
    return std::wstring(szTemp) + pszName;
}

std::wstring ProbePath()
{
    return BuildFolder() + L"\\tests\\runtime\\start_up_probe.exe";
}

struct ProbeRun {
    DWORD dwExitCode = 0;
    std::string trace;
};

// Starts the probe at probe with the command line and STARTUPINFO given and waits
// for it to end.
void RunProbe(const std::wstring& probe, std::wstring line, const STARTUPINFOW& si, ProbeRun& run)
{
    const std::wstring trace = TempPath(L"quilmer-start-up-trace.txt");
    ::DeleteFileW(trace.c_str());
    ASSERT_TRUE(::SetEnvironmentVariableW(L"QUILMER_START_UP_TRACE", trace.c_str()));
    STARTUPINFOW startup = si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(probe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &pi))
        << ::GetLastError();
    const UniqueHandle process(pi.hProcess);
    const UniqueHandle thread(pi.hThread);
    if (::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 1);
        FAIL() << "the probe did not end";
    }
    ASSERT_TRUE(::GetExitCodeProcess(process.get(), &run.dwExitCode));
    run.trace = ReadAll(trace);
    ::DeleteFileW(trace.c_str());
}

struct StartCase {
    const char* name;
    bool bSpacedFolder;           // the probe runs from a folder whose name has spaces
    bool bQuotedPath;
    const wchar_t* pszAfterPath;  // the command line after the quoted or bare path
    bool bShowWindowFlag;         // STARTF_USESHOWWINDOW with wShowWindow
    WORD wShowWindow;
    const char* pszWinMainSees;   // "show N, command line [...]"
};

class StartUpTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartUpTest, RunsConstructorsWinMainAndExitFunctionsOnceInOrder)
{
    const StartCase& c = GetParam();
    std::wstring probe = ProbePath();
    if (c.bSpacedFolder) {
        const std::wstring folder = TempPath(L"quilmer start up");
        ::CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring copy = folder + L"\\start up probe.exe";
        ASSERT_TRUE(::CopyFileW(probe.c_str(), copy.c_str(), FALSE)) << ::GetLastError();
        probe = copy;
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (c.bShowWindowFlag) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = c.wShowWindow;
    }
    ProbeRun run;
    ASSERT_NO_FATAL_FAILURE(RunProbe(probe, (c.bQuotedPath ? L"\"" + probe + L"\"" : probe) + c.pszAfterPath, si, run));

    EXPECT_EQ(run.dwExitCode, 197u) << "the process's exit code is wWinMain's result";
    // Constructors: the unwinder's registration first (every one catches its
    // exception), then by priority, then in the order of definition. Exit
    // functions: last registered first, one registered while they run before
    // the earlier ones, the destructor list where the constructors ended, the
    // unwinder's deregistration after the last destructor.
    EXPECT_EQ(run.trace, std::string("constructor early, caught\n"
                                     "constructor first, caught\n"
                                     "constructor second, caught\n"
                                     "wWinMain: module ok, previous null, ") +
                             c.pszWinMainSees +
                             ", caught\n"
                             "constructor local, caught\n"
                             "worker, caught\n"
                             "wWinMain returns\n"
                             "registers during exit\n"
                             "registered during exit\n"
                             "registered by worker\n"
                             "destructor local, caught\n"
                             "destructor attribute\n"
                             "destructor second, caught\n"
                             "destructor first, caught\n"
                             "destructor early, caught\n");
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, StartUpTest,
    ::testing::Values(
        StartCase{"QuotedPathWithSpacesThenWords", true, true, L"  two words", true, SW_SHOWMINNOACTIVE,
                  "show 7, command line [two words]"},
        StartCase{"BarePathAloneNoShowCommand", false, false, L"", false, 0, "show 10, command line []"},
        StartCase{"QuotedPathTabThenQuotedArgumentHidden", false, true, L"\t-x \"y z\" ", true, SW_HIDE,
                  "show 0, command line [-x \"y z\" ]"}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

// An exception nobody catches ends the process through std::terminate and
// abort (exit code 3), not as a crash, and runs no exit function.
TEST(StartUp, UncaughtExceptionEndsThroughTerminate)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    ProbeRun run;
    ASSERT_NO_FATAL_FAILURE(RunProbe(ProbePath(), L"\"" + ProbePath() + L"\" uncaught", si, run));

    EXPECT_EQ(run.dwExitCode, 3u);
    EXPECT_EQ(run.trace, "constructor early, caught\n"
                         "constructor first, caught\n"
                         "constructor second, caught\n"
                         "wWinMain: module ok, previous null, show 10, command line [uncaught], caught\n");
}

} // namespace
