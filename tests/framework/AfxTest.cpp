#include "framework/Afx.h"

#include <gtest/gtest.h>

TEST(Afx, AppNameIsTheExecutableNameWithoutExtension)
{
    EXPECT_STREQ(L"framework_test", AfxGetAppName());
}
