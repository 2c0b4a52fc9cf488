#pragma once
// The exception that the program's own versions of the standard library's error
// helpers throw for logic and range errors (see StdThrow.cpp).

#include <exception>

#include <cstdarg>

// The message is held in the object itself, so throwing needs no allocation
// beyond the exception's own; a longer message is cut at the end.
class StdLibraryError : public std::exception {
public:
    explicit StdLibraryError(const char* pszWhat) noexcept;
    // pszFormat with the library's conversions: %s (text), %zu (size), %%.
    StdLibraryError(const char* pszFormat, va_list args) noexcept;
    const char* what() const noexcept override;

private:
    char m_szWhat[160];
};
