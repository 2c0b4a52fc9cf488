#pragma once
// Small value types over the platform's POINT, SIZE and RECT. They add
// constructors and the few queries the program uses; they convert to the plain
// structures wherever a platform call wants one.

#include <windows.h>

struct CPoint : POINT
{
    CPoint() noexcept : POINT{0, 0} {}
    CPoint(int nX, int nY) noexcept : POINT{nX, nY} {}
    CPoint(POINT pt) noexcept : POINT(pt) {}
    // The signed client coordinates packed into a mouse message's lParam.
    // (<windowsx.h> has GET_X_LPARAM, but also macros that clash with CWnd's names.)
    explicit CPoint(LPARAM lParam) noexcept
        : POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}
    {
    }

    friend bool operator==(const POINT& a, const CPoint& b) noexcept { return a.x == b.x && a.y == b.y; }
    friend bool operator!=(const POINT& a, const CPoint& b) noexcept { return !(a == b); }
};

struct CSize : SIZE
{
    CSize() noexcept : SIZE{0, 0} {}
    CSize(int nCX, int nCY) noexcept : SIZE{nCX, nCY} {}
    CSize(SIZE size) noexcept : SIZE(size) {}
};

struct CRect : RECT
{
    CRect() noexcept : RECT{0, 0, 0, 0} {}
    CRect(int nLeft, int nTop, int nRight, int nBottom) noexcept : RECT{nLeft, nTop, nRight, nBottom} {}
    CRect(const RECT& rc) noexcept : RECT(rc) {}
    CRect(POINT topLeft, SIZE size) noexcept
        : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy}
    {
    }

    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
    CSize Size() const noexcept { return CSize(Width(), Height()); }
    CPoint TopLeft() const noexcept { return CPoint(left, top); }
    BOOL IsRectEmpty() const noexcept { return right <= left || bottom <= top; }
    BOOL PtInRect(POINT pt) const noexcept { return ::PtInRect(this, pt); }

    operator LPRECT() noexcept { return this; }
    operator LPCRECT() const noexcept { return this; }

    friend bool operator==(const CRect& a, const CRect& b) noexcept
    {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
    friend bool operator!=(const CRect& a, const CRect& b) noexcept { return !(a == b); }
};
