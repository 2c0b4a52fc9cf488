#include "framework/Handles.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// ---- Every holder kind, one typed test ------------------------------------------------
//
// Each kind says how to make one handle and how to tell whether it is still
// open, asking the platform, not the holder. The kinds whose closing leaves
// nothing to ask about afterwards are tested beside their use: PaintScope (the
// window is validated) and WindowDc in PaintTest, the GDI+ kinds in the skin
// tests, UniqueFindHandle in SetupFileTest.

struct EventKind
{
    using Holder = UniqueHandle;
    static HANDLE Make() { return ::CreateEventW(nullptr, FALSE, FALSE, nullptr); }
    static bool IsAlive(HANDLE h)
    {
        DWORD flags = 0;
        return ::GetHandleInformation(h, &flags) != FALSE;
    }
};

struct FileKind
{
    using Holder = UniqueFile;
    static HANDLE Make()
    {
        wchar_t folder[MAX_PATH];
        wchar_t path[MAX_PATH];
        ::GetTempPathW(MAX_PATH, folder);
        ::GetTempFileNameW(folder, L"qh", 0, path);
        return ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    }
    static bool IsAlive(HANDLE h) { return EventKind::IsAlive(h); }
};

struct InternetKind
{
    using Holder = UniqueHInternet;
    static HINTERNET Make() { return ::InternetOpenW(L"HandlesTest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0); }
    static bool IsAlive(HINTERNET h)
    {
        DWORD dwType = 0;
        DWORD cb = sizeof dwType;
        return ::InternetQueryOptionW(h, INTERNET_OPTION_HANDLE_TYPE, &dwType, &cb) != FALSE;
    }
};

struct DcKind
{
    using Holder = UniqueHdc;
    static HDC Make() { return ::CreateCompatibleDC(nullptr); }
    static bool IsAlive(HDC h) { return ::GetObjectType(h) != 0; }
};

struct BitmapKind
{
    using Holder = UniqueHBitmap;
    static HBITMAP Make() { return ::CreateBitmap(4, 4, 1, 32, nullptr); }
    static bool IsAlive(HBITMAP h) { return ::GetObjectType(h) != 0; }
};

struct FontKind
{
    using Holder = UniqueHFont;
    static HFONT Make() { return static_cast<HFONT>(::CreateFontW(14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                                                  DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma")); }
    static bool IsAlive(HFONT h) { return ::GetObjectType(h) != 0; }
};

struct GlobalKind
{
    using Holder = UniqueHGlobal;
    static HGLOBAL Make() { return ::GlobalAlloc(GMEM_MOVEABLE, 64); }
    static bool IsAlive(HGLOBAL h) { return ::GlobalFlags(h) != GMEM_INVALID_HANDLE; }
};

struct LocalKind
{
    using Holder = UniqueHLocal;
    static HLOCAL Make() { return ::LocalAlloc(LMEM_MOVEABLE, 64); }
    static bool IsAlive(HLOCAL h) { return ::LocalFlags(h) != LMEM_INVALID_HANDLE; }
};

struct IconKind
{
    using Holder = UniqueHIcon;
    static HICON Make()
    {
        const BYTE andMask[32 * 4] = {};
        const BYTE xorMask[32 * 4] = {};
        return ::CreateIcon(::GetModuleHandleW(nullptr), 32, 32, 1, 1, andMask, xorMask);
    }
    static bool IsAlive(HICON h)
    {
        ICONINFO info{};
        if (!::GetIconInfo(h, &info))
            return false;
        ::DeleteObject(info.hbmMask);
        ::DeleteObject(info.hbmColor);
        return true;
    }
};

struct WindowKind
{
    using Holder = UniqueHwnd;
    static HWND Make()
    {
        return ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    static bool IsAlive(HWND h) { return ::IsWindow(h) != FALSE; }
};

// A COM object that counts its references; "closed" is its last Release.
class CountedUnknown : public IUnknown
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRefs; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_nRefs; }
    ULONG m_nRefs = 0;
};

struct ComKind
{
    using Holder = UniqueComPtr<IUnknown>;
    static IUnknown* Make()
    {
        static CountedUnknown objects[8];
        static int nNext = 0;
        CountedUnknown* p = &objects[nNext++ % 8];
        p->AddRef();
        return p;
    }
    static bool IsAlive(IUnknown* p) { return static_cast<CountedUnknown*>(p)->m_nRefs > 0; }
};

// A selection "lives" while the bitmap it put in is the DC's current one.
struct SelectionKind
{
    using Holder = SelectGuard;
    static HDC Dc()
    {
        static const UniqueHdc dc(::CreateCompatibleDC(nullptr));
        return dc.get();
    }
    static HBITMAP Bitmap()
    {
        static const UniqueHBitmap bitmap(::CreateBitmap(4, 4, 1, 1, nullptr));
        return bitmap.get();
    }
    static SelectionPolicy::type Make() { return SelectInto(Dc(), Bitmap()).release(); }
    static bool IsAlive(HGDIOBJ) { return ::GetCurrentObject(Dc(), OBJ_BITMAP) == Bitmap(); }
};

template <typename Kind>
class HolderKind : public ::testing::Test
{
};

using Kinds = ::testing::Types<EventKind, FileKind, InternetKind, DcKind, BitmapKind, FontKind, GlobalKind,
                               LocalKind, IconKind, WindowKind, ComKind, SelectionKind>;
TYPED_TEST_SUITE(HolderKind, Kinds);

TYPED_TEST(HolderKind, ClosesWhatItHoldsOnceAndOnlyWhenItShould)
{
    using Holder = typename TypeParam::Holder;

    // Create and let go at scope exit.
    typename Holder::pointer raw{};
    {
        Holder holder(TypeParam::Make());
        ASSERT_TRUE(holder);
        raw = holder.get();
        EXPECT_TRUE(TypeParam::IsAlive(raw));
    }
    EXPECT_FALSE(TypeParam::IsAlive(raw)) << "scope exit closes";

    // Move: the target owns, the source is empty and closes nothing.
    Holder source(TypeParam::Make());
    raw = source.get();
    Holder target(std::move(source));
    EXPECT_FALSE(source);
    EXPECT_EQ(raw, target.get());
    source.reset();
    EXPECT_TRUE(TypeParam::IsAlive(raw));
    Holder assigned;
    assigned = std::move(target);
    EXPECT_FALSE(target);
    EXPECT_TRUE(TypeParam::IsAlive(raw));

    // Reset closes.
    assigned.reset();
    EXPECT_FALSE(assigned);
    EXPECT_FALSE(TypeParam::IsAlive(raw)) << "reset closes";

    // Release detaches: the handle stays open until a new holder lets it go.
    Holder detaching(TypeParam::Make());
    raw = detaching.get();
    auto released = detaching.release();
    EXPECT_FALSE(detaching);
    EXPECT_TRUE(TypeParam::IsAlive(raw)) << "release does not close";
    Holder(released).reset();
    EXPECT_FALSE(TypeParam::IsAlive(raw));
}

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
            const SelectGuard selectBitmap = SelectInto(dc.get(), bitmap.get());
            const SelectGuard selectFont = SelectInto(dc.get(), font.get());
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
