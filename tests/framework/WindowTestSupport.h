#pragma once
// Shared pieces of the window layer's tests: an exception that records how it
// was reported instead of showing a message box, and a 32-bit DIB to paint
// into and read back.

#include "framework/Exception.h"
#include "framework/Handles.h"

#include <windows.h>

#include <optional>

// Thrown from handlers to see what the window procedure's barrier does with it.
class CRecordingException : public CException
{
public:
    struct Record
    {
        int nReports = 0;
        UINT nType = 0;
        UINT nMessageID = 0;
        bool bDeleted = false;
    };

    explicit CRecordingException(Record& record) : m_record(record) {}
    ~CRecordingException() override { m_record.bDeleted = true; }

    int ReportError(UINT nType, UINT nMessageID) override
    {
        ++m_record.nReports;
        m_record.nType = nType;
        m_record.nMessageID = nMessageID;
        return IDOK;
    }

private:
    Record& m_record;
};

// A top-down 32-bit DIB selected into its own memory DC.
class DibCanvas
{
public:
    DibCanvas(int cx, int cy) : m_cx(cx), m_dc(::CreateCompatibleDC(nullptr))
    {
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
        bmi.bmiHeader.biWidth = cx;
        bmi.bmiHeader.biHeight = -cy;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        void* pBits = nullptr;
        m_bitmap.reset(::CreateDIBSection(m_dc.get(), &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0));
        m_pPixels = static_cast<const DWORD*>(pBits);
        m_select = SelectInto(m_dc.get(), m_bitmap.get());
    }

    HDC dc() const { return m_dc.get(); }

    void Fill(COLORREF cr)
    {
        const RECT rc{0, 0, m_cx, 0x7FFF};
        ::SetBkColor(m_dc.get(), cr);
        ::ExtTextOutW(m_dc.get(), 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    }

    // The pixel as a COLORREF (the DIB holds 0x00RRGGBB).
    COLORREF At(int x, int y) const
    {
        ::GdiFlush();
        const DWORD dw = m_pPixels[y * m_cx + x];
        return RGB((dw >> 16) & 0xFF, (dw >> 8) & 0xFF, dw & 0xFF);
    }

private:
    int m_cx;
    UniqueHdc m_dc;
    UniqueHBitmap m_bitmap;
    const DWORD* m_pPixels = nullptr;
    SelectGuard m_select;
};
