// The manifest the program carries, as the platform's loader reads it: the
// build stores it without the white space between elements, and a manifest
// the loader cannot parse would start the program without administrator
// rights and without version 6 of the common controls. Every test program
// carries the same resource as the installer.

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(ManifestTest, LoaderReadsAdministratorLevelAndCommonControlsSix)
{
    wchar_t szModule[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetModuleFileNameW(nullptr, szModule, MAX_PATH));

    ACTCTXW actCtx = {};
    actCtx.cbSize = sizeof(actCtx);
    actCtx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    actCtx.lpSource = szModule;
    actCtx.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE hActCtx = ::CreateActCtxW(&actCtx);
    ASSERT_NE(INVALID_HANDLE_VALUE, hActCtx) << "error " << ::GetLastError();

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel = {};
    SIZE_T cbWritten = 0;
    EXPECT_TRUE(::QueryActCtxW(0, hActCtx, nullptr, RunlevelInformationInActivationContext, &runLevel,
                               sizeof(runLevel), &cbWritten));
    EXPECT_EQ(ACTCTX_RUN_LEVEL_REQUIRE_ADMIN, runLevel.RunLevel);
    EXPECT_FALSE(runLevel.UiAccess);

    ULONG_PTR cookie = 0;
    ASSERT_TRUE(::ActivateActCtx(hActCtx, &cookie));
    // The dependency on the common controls' assembly redirects comctl32.dll to
    // version 6 while the context is active.
    ACTCTX_SECTION_KEYED_DATA keyed = {};
    keyed.cbSize = sizeof(keyed);
    EXPECT_TRUE(::FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                           L"comctl32.dll", &keyed))
        << "error " << ::GetLastError();
    ::DeactivateActCtx(0, cookie);
    ::ReleaseActCtx(hActCtx);
}

} // namespace
