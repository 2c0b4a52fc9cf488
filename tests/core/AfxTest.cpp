#include "framework/Afx.h"

#include <gtest/gtest.h>

TEST(Afx, AppNameIsTheExecutableNameWithoutExtension)
{
    EXPECT_STREQ(L"core_test", AfxGetAppName());
}
