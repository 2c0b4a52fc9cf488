#pragma once
// Reads what the program hands to OutputDebugStringW, exactly and in full.
//
// Why not a debugger-style sink: Wine passes OutputDebugStringW on as an ANSI
// string (DBG_PRINTEXCEPTION_C), so text outside the code page, such as the
// downloader's Korean line, arrives as "?". Instead, while a capture exists,
// the test executable's own import of OutputDebugStringW points at a recorder
// that keeps a copy of each line and then calls the real function. The program
// code is not changed: it still calls the import it was linked with.

#include <string>
#include <vector>

class DebugOutputCapture
{
public:
    DebugOutputCapture();  // starts recording (one capture at a time)
    ~DebugOutputCapture(); // restores the import

    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    // Every line so far, from every thread, in the order of the calls.
    std::vector<std::wstring> Lines() const;
    void Clear();
};
