#pragma once
// Tests that decode or draw skin pictures need GDI+ running, as the program has
// it from before its dialog exists until after it is gone.

#include <gtest/gtest.h>

#include <windows.h>
#include <gdiplus.h>

class GdiplusTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&s_token, &input, nullptr), Gdiplus::Ok);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(s_token); }

private:
    static inline ULONG_PTR s_token = 0;
};
