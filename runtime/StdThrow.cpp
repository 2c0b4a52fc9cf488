// The standard library's error helpers, thrown without its string classes.
//
// A container's own checks (a length beyond max_size, a position past the end, a
// null text given to a string, a call through an empty function) end in these
// helpers. The library's versions construct std::length_error and its kin, whose
// message member is a reference-counted narrow string: that pulls in the library's
// whole narrow-string, old-ABI-string and random-device code (about 90 KB) for
// errors this program never expects and handles only as std::exception.
//
// These throw std::bad_alloc, std::bad_cast and the like exactly as the library
// does, and the logic and runtime errors as StdLibraryError, a std::exception whose
// what() is the library's own message, formatted here for the two conversions its
// messages use. Every handler in the program catches std::exception or
// std::bad_alloc, so each error reaches the same handler as before.

#include "runtime/StdThrow.h"

#include <bits/functexcept.h>
#include <new>
#include <typeinfo>

namespace {

class MessageWriter {
public:
    MessageWriter(char* pBuffer, size_t nSize) : m_p(pBuffer), m_pEnd(pBuffer + nSize - 1) {}
    ~MessageWriter() { *m_p = '\0'; }

    void Put(char ch)
    {
        if (m_p < m_pEnd)
            *m_p++ = ch;
    }
    void Put(const char* psz)
    {
        while (psz && *psz)
            Put(*psz++);
    }
    void Put(size_t n)
    {
        char digits[20];
        int nDigits = 0;
        do {
            digits[nDigits++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n);
        while (nDigits)
            Put(digits[--nDigits]);
    }

private:
    char* m_p;
    char* const m_pEnd;
};

} // namespace

StdLibraryError::StdLibraryError(const char* pszWhat) noexcept
{
    MessageWriter(m_szWhat, sizeof m_szWhat).Put(pszWhat);
}

StdLibraryError::StdLibraryError(const char* pszFormat, va_list args) noexcept
{
    MessageWriter out(m_szWhat, sizeof m_szWhat);
    for (const char* p = pszFormat; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            out.Put(va_arg(args, const char*));
            ++p;
        } else if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
            out.Put(va_arg(args, size_t));
            p += 2;
        } else if (p[0] == '%' && p[1] == '%') {
            out.Put('%');
            ++p;
        } else {
            out.Put(*p);
        }
    }
}

const char* StdLibraryError::what() const noexcept
{
    return m_szWhat;
}

namespace std {

// Every helper of the library's member is defined here, so that member is never
// needed. Should the program come to call a helper missing here, the member is
// linked again with its string classes (about 88 KB); the link-time optimised
// link does not report the duplicates it then holds, the release size does.
void __throw_bad_exception()
{
    throw bad_exception();
}

void __throw_bad_alloc()
{
    throw bad_alloc();
}

void __throw_bad_array_new_length()
{
    throw bad_array_new_length();
}

void __throw_bad_cast()
{
    throw bad_cast();
}

void __throw_bad_typeid()
{
    throw bad_typeid();
}

#define QUILMER_LIBRARY_ERROR(name) \
    void name(const char* pszWhat) { throw StdLibraryError(pszWhat); }
QUILMER_LIBRARY_ERROR(__throw_logic_error)
QUILMER_LIBRARY_ERROR(__throw_domain_error)
QUILMER_LIBRARY_ERROR(__throw_invalid_argument)
QUILMER_LIBRARY_ERROR(__throw_length_error)
QUILMER_LIBRARY_ERROR(__throw_out_of_range)
QUILMER_LIBRARY_ERROR(__throw_runtime_error)
QUILMER_LIBRARY_ERROR(__throw_range_error)
QUILMER_LIBRARY_ERROR(__throw_overflow_error)
QUILMER_LIBRARY_ERROR(__throw_underflow_error)
#undef QUILMER_LIBRARY_ERROR

void __throw_out_of_range_fmt(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    StdLibraryError error(pszFormat, args);
    va_end(args);
    throw error;
}

} // namespace std
