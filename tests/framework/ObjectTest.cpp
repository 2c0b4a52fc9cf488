#include "framework/Exception.h"
#include "framework/Object.h"
#include "thread/Thread.h"
#include "thread/ThreadException.h"

#include <gtest/gtest.h>

namespace {

class CCountedException : public CException
{
    DECLARE_DYNAMIC(CCountedException)

public:
    CCountedException(BOOL bAutoDelete, int* pnDeleted) : CException(bAutoDelete), m_pnDeleted(pnDeleted) {}
    ~CCountedException() override { ++*m_pnDeleted; }

private:
    int* m_pnDeleted;
};

IMPLEMENT_DYNAMIC(CCountedException, CException)

} // namespace

TEST(CRuntimeClass, RecordsNameTheirClassAndChainToCObject)
{
    int nDeleted = 0;
    CCountedException counted(FALSE, &nDeleted);
    CThreadException unnamed(nullptr, L"", 0);

    struct Case
    {
        const CObject* pObject;
        const char* pszName;
        const CRuntimeClass* pKind;
        BOOL bIsKind;
    };
    const Case cases[] = {
        {&counted, "CCountedException", RUNTIME_CLASS(CCountedException), TRUE},
        {&counted, "CCountedException", RUNTIME_CLASS(CException), TRUE},
        {&counted, "CCountedException", RUNTIME_CLASS(CObject), TRUE},
        {&counted, "CCountedException", RUNTIME_CLASS(CThread), FALSE},
        {&counted, "CCountedException", nullptr, FALSE},
        // Without a record of its own a class reports its nearest base's.
        {&unnamed, "CException", RUNTIME_CLASS(CException), TRUE},
        {&unnamed, "CException", RUNTIME_CLASS(CCountedException), FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pKind ? c.pKind->m_lpszClassName : "(null)");
        EXPECT_STREQ(c.pszName, c.pObject->GetRuntimeClass()->m_lpszClassName);
        EXPECT_EQ(c.bIsKind, c.pObject->IsKindOf(c.pKind));
    }
    EXPECT_EQ(RUNTIME_CLASS(CObject), RUNTIME_CLASS(CThread)->m_pBaseClass);
    EXPECT_EQ(nullptr, RUNTIME_CLASS(CObject)->m_pBaseClass);
}

TEST(CException, DeleteFreesOnlyAnExceptionThatOwnsItself)
{
    int nDeleted = 0;
    try {
        throw new CCountedException(TRUE, &nDeleted);
    } catch (CException* e) {
        e->Delete();
    }
    EXPECT_EQ(1, nDeleted);

    {
        CCountedException kept(FALSE, &nDeleted);
        kept.Delete();
        EXPECT_EQ(1, nDeleted);
    }
    EXPECT_EQ(2, nDeleted); // gone with its scope, not before
}

TEST(CException, BaseHasNoTextThroughEitherOverload)
{
    int nDeleted = 0;
    CCountedException e(FALSE, &nDeleted);
    const CException& constE = e;
    wchar_t szText[8] = L"xyz";
    UINT nHelp = 5;
    EXPECT_FALSE(constE.GetErrorMessage(szText, 8, &nHelp));
    EXPECT_STREQ(L"", szText);
    EXPECT_EQ(0u, nHelp);
}
