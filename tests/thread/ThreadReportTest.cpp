// ReportError in a real message box: a helper thread finds the box by its
// caption, reads its text and presses OK, as a user would.

#include "TestThread.h"

#include "framework/Afx.h"
#include "thread/ThreadException.h"

#include <gtest/gtest.h>

#include <future>

namespace {

struct SeenBox
{
    bool bFound = false;
    CString strText;
};

BOOL CALLBACK CollectStaticText(HWND hChild, LPARAM lParam)
{
    wchar_t szClass[32] = L"";
    ::GetClassNameW(hChild, szClass, 32);
    if (::lstrcmpiW(szClass, L"Static") == 0) {
        wchar_t szText[1024] = L"";
        ::GetWindowTextW(hChild, szText, 1024);
        if (szText[0])
            *reinterpret_cast<CString*>(lParam) = szText;
    }
    return TRUE;
}

// Waits up to 10 s for the application's message box, notes its text and
// closes it with its OK button.
SeenBox AnswerMessageBox()
{
    SeenBox seen;
    HWND hBox = nullptr;
    if (!WaitUntil([&] { return (hBox = ::FindWindowW(L"#32770", AfxGetAppName())) != nullptr; }, 10000))
        return seen;
    seen.bFound = true;
    ::EnumChildWindows(hBox, CollectStaticText, reinterpret_cast<LPARAM>(&seen.strText));
    ::PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hBox, IDOK)));
    return seen;
}

// The exception a second Start of a running worker throws.
CThreadException* AlreadyStartedException(CTestThread& thread)
{
    try {
        thread.Start();
    } catch (CThreadException* e) {
        return e;
    }
    return nullptr;
}

} // namespace

TEST(CThreadExceptionReport, ShowsTheExceptionTextAndReturnsOk)
{
    CGate release;
    CTestThread thread;
    thread.SetBody([&](CTestThread&) -> DWORD { return release.Wait(INFINITE) ? 0 : 1; });
    thread.Start();
    CThreadException* e = AlreadyStartedException(thread);
    ASSERT_NE(nullptr, e);

    std::future<SeenBox> answer = std::async(std::launch::async, AnswerMessageBox);
    const int nResult = e->ReportError(MB_OK, 0);
    e->Delete();
    const SeenBox seen = answer.get();
    release.Open();

    ASSERT_TRUE(seen.bFound) << "no message box captioned with the application's name";
    EXPECT_EQ(CString(L"Thread is already started!"), seen.strText);
    EXPECT_EQ(IDOK, nResult);
}

TEST(CThreadExceptionReport, MessageIdShowsThatResourceInsteadOfTheText)
{
    CString strResource;
    ASSERT_TRUE(strResource.LoadString(129));
    ASSERT_FALSE(strResource.IsEmpty());
    CThreadException e(nullptr, L"own text", THREAD_ERR_CREATE_EVENT);
    e.m_bAutoDelete = FALSE;

    std::future<SeenBox> answer = std::async(std::launch::async, AnswerMessageBox);
    const int nResult = e.ReportError(MB_OK | MB_ICONSTOP, 129);
    const SeenBox seen = answer.get();

    ASSERT_TRUE(seen.bFound);
    EXPECT_EQ(strResource, seen.strText);
    EXPECT_EQ(IDOK, nResult);
}
