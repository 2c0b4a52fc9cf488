#pragma once
// Reading the compiler's exception tables (.eh_frame and the language-specific
// data areas): the variable-length numbers and the pointer encodings the
// compiler uses for the 32-bit target. A read past the end, or an encoding
// outside that set, puts the reader in a failed state that every caller checks.

#include <cstdint>
#include <cstring>

namespace dwarf {

// Pointer encodings (DW_EH_PE_*).
enum : uint8_t {
    kPeAbsPtr = 0x00, kPeULeb128 = 0x01, kPeUData2 = 0x02, kPeUData4 = 0x03,
    kPeSLeb128 = 0x09, kPeSData2 = 0x0A, kPeSData4 = 0x0B,
    kPePcRel = 0x10, kPeIndirect = 0x80, kPeOmit = 0xFF,
};

class Reader {
public:
    Reader(const uint8_t* p, const uint8_t* pEnd) : m_p(p), m_pEnd(pEnd) {}

    bool AtEnd() const { return m_p >= m_pEnd; }
    const uint8_t* Position() const { return m_p; }
    bool Ok() const { return m_bOk; }

    uint8_t U8()
    {
        if (!Need(1))
            return 0;
        return *m_p++;
    }
    uint32_t U16() { return Fixed(2); }
    uint32_t U32() { return Fixed(4); }

    uint32_t ULeb() { return Leb128(false); }
    int32_t SLeb() { return int32_t(Leb128(true)); }

    // A pointer in the given encoding; the encodings the compiler uses for this
    // target only.
    uint32_t Encoded(uint8_t encoding)
    {
        const uint8_t* pField = m_p;
        uint32_t uValue;
        switch (encoding & 0x0F) {
        case kPeAbsPtr:
        case kPeUData4:
        case kPeSData4: uValue = U32(); break;
        case kPeUData2: uValue = U16(); break;
        case kPeSData2: uValue = uint32_t(int32_t(int16_t(U16()))); break;
        case kPeULeb128: uValue = ULeb(); break;
        case kPeSLeb128: uValue = uint32_t(SLeb()); break;
        default: return Fail();
        }
        switch (encoding & 0x70) {
        case 0: break;
        case kPePcRel: uValue += reinterpret_cast<uintptr_t>(pField); break;
        default: return Fail();
        }
        if ((encoding & kPeIndirect) && uValue)
            uValue = *reinterpret_cast<const uint32_t*>(uintptr_t(uValue));
        return uValue;
    }

    void Skip(uint32_t nBytes)
    {
        if (Need(nBytes))
            m_p += nBytes;
    }
    // A position the table gives; one past the end fails the reader.
    void MoveTo(const uint8_t* p)
    {
        if (p > m_pEnd)
            Fail();
        else
            m_p = p;
    }
    uint32_t Fail()
    {
        m_bOk = false;
        m_p = m_pEnd;
        return 0;
    }

private:
    uint32_t Leb128(bool bSigned)
    {
        uint32_t uValue = 0;
        unsigned nShift = 0;
        uint8_t b;
        do {
            b = U8();
            if (nShift < 32)
                uValue |= uint32_t(b & 0x7F) << nShift;
            nShift += 7;
        } while ((b & 0x80) && m_bOk);
        if (bSigned && nShift < 32 && (b & 0x40))
            uValue |= ~uint32_t(0) << nShift;
        return uValue;
    }
    bool Need(uint32_t nBytes)
    {
        if (!m_bOk || uint32_t(m_pEnd - m_p) < nBytes) {
            Fail();
            return false;
        }
        return true;
    }
    uint32_t Fixed(unsigned nBytes)
    {
        if (!Need(nBytes))
            return 0;
        uint32_t uValue = 0;
        std::memcpy(&uValue, m_p, nBytes);
        m_p += nBytes;
        return uValue;
    }

    const uint8_t* m_p;
    const uint8_t* m_pEnd;
    bool m_bOk = true;
};

// The size of a fixed-size encoded value (type tables are indexed by it).
inline uint32_t EncodedSize(uint8_t encoding)
{
    switch (encoding & 0x0F) {
    case kPeAbsPtr:
    case kPeUData4:
    case kPeSData4: return 4;
    case kPeUData2:
    case kPeSData2: return 2;
    default: return 0;
    }
}

} // namespace dwarf
