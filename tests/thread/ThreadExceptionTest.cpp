#include "thread/ThreadException.h"

#include "TestThread.h"

#include <gtest/gtest.h>

TEST(CThreadException, IsThrownAsPointerAndCaughtThroughEveryBase)
{
    CTestThread thread;
    CGate release;
    thread.SetBody([&](CTestThread&) -> DWORD { return release.Wait(INFINITE) ? 0 : 1; });
    thread.Start();

    // As a CObject*: the record is the CException one, it owns itself.
    try {
        thread.Start();
        ADD_FAILURE() << "no exception";
    } catch (CObject* pObject) {
        EXPECT_STREQ("CException", pObject->GetRuntimeClass()->m_lpszClassName);
        ASSERT_TRUE(pObject->IsKindOf(RUNTIME_CLASS(CException)));
        CException* pException = static_cast<CException*>(pObject);
        EXPECT_TRUE(pException->m_bAutoDelete);
        // Its text is what GetErrorMessage gives, so the base's ReportError shows it.
        const CString strError = static_cast<CThreadException*>(pException)->m_strError;
        ASSERT_FALSE(strError.IsEmpty());
        wchar_t szText[512] = L"untouched";
        UINT nHelp = 99;
        EXPECT_TRUE(pException->GetErrorMessage(szText, 512, &nHelp));
        EXPECT_STREQ(strError.GetString(), szText);
        EXPECT_EQ(0u, nHelp);
        pException->Delete();
    }
    // As a CException*.
    try {
        thread.Start();
        ADD_FAILURE() << "no exception";
    } catch (CException* pException) {
        CThreadException* pThreadException = dynamic_cast<CThreadException*>(pException);
        ASSERT_NE(nullptr, pThreadException);
        EXPECT_EQ(THREAD_ERR_ALREADY_STARTED, pThreadException->m_nErrorKind);
        pException->Delete();
    }
    release.Open();
}

TEST(GetSystemErrorText, KnownCodeGivesTheWholeSystemSentence)
{
    // What the system itself writes into a buffer of ours, the independent way.
    wchar_t szExpected[512] = L"";
    const DWORD nLength = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                           ERROR_FILE_NOT_FOUND, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                           szExpected, 512, nullptr);
    ASSERT_GT(nLength, 2u);

    const CString strText = GetSystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CString(szExpected), strText);
    ASSERT_GE(strText.GetLength(), 2);
    // The line break the system ends its sentence with stays.
    EXPECT_EQ(L'\r', strText[strText.GetLength() - 2]);
    EXPECT_EQ(L'\n', strText[strText.GetLength() - 1]);
}

TEST(GetSystemErrorText, UnknownCodeGivesEmptyText)
{
    EXPECT_TRUE(GetSystemErrorText(0x2000FFFF).IsEmpty());
}

TEST(GetSystemErrorText, InsertionMarkersStayAsTheyAre)
{
    // ERROR_INVALID_ORDINAL's text names a module as %1. No arguments are
    // passed, so none may be read: the marker comes back as it is.
    const CString strText = GetSystemErrorText(ERROR_INVALID_ORDINAL);
    ASSERT_FALSE(strText.IsEmpty());
    EXPECT_NE(-1, strText.Find(L"%1"));
}
