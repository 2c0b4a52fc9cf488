#include "framework/Handles.h"

#include <gtest/gtest.h>

namespace {

TEST(Handles, KernelHandleIsClosedOnScopeExitAndReset)
{
    HANDLE raw = nullptr;
    {
        UniqueHandle event(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        ASSERT_TRUE(event);
        raw = event.get();
        DWORD flags = 0;
        EXPECT_TRUE(::GetHandleInformation(raw, &flags));
    }
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(raw, &flags));

    UniqueHandle a(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    UniqueHandle b(std::move(a));
    EXPECT_FALSE(a);
    ASSERT_TRUE(b);
    HANDLE detached = b.release();
    EXPECT_FALSE(b);
    EXPECT_TRUE(::CloseHandle(detached));
}

TEST(Handles, GdiObjectsAreDeletedOnlyAfterBeingDeselected)
{
    // Wine's GetGuiResources always answers 0, so each object is checked by type:
    // GetObjectType answers 0 once the object has been deleted.
    HDC rawDc = nullptr;
    HBITMAP rawBitmap = nullptr;
    HFONT rawFont = nullptr;
    {
        UniqueHdc dc(::CreateCompatibleDC(nullptr));
        ASSERT_TRUE(dc);
        UniqueHBitmap bitmap(::CreateCompatibleBitmap(dc.get(), 8, 8));
        ASSERT_TRUE(bitmap);
        UniqueHFont font(::CreateFontW(14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
        rawDc = dc.get();
        rawBitmap = bitmap.get();
        rawFont = font.get();
        {
            SelectGuard selectBitmap(dc.get(), bitmap.get());
            SelectGuard selectFont(dc.get(), font.get());
            EXPECT_EQ(bitmap.get(), ::GetCurrentObject(dc.get(), OBJ_BITMAP));
        }
        EXPECT_NE(bitmap.get(), ::GetCurrentObject(dc.get(), OBJ_BITMAP));
        EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), ::GetObjectType(rawBitmap));
    }
    EXPECT_EQ(0u, ::GetObjectType(rawDc));
    EXPECT_EQ(0u, ::GetObjectType(rawBitmap));
    EXPECT_EQ(0u, ::GetObjectType(rawFont));
}

TEST(Handles, InvalidValueOfFileHoldersIsInvalidHandleValue)
{
    UniqueFile file(::CreateFileW(L"C:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(file);
    UniqueFindHandle find;
    EXPECT_FALSE(find);
    EXPECT_EQ(INVALID_HANDLE_VALUE, find.get());
}

} // namespace
