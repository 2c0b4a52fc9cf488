#pragma once
// The test side of tests/server/server.py: its control requests, made through
// WinINet and the http_proxy the harness sets, like every request of the program.

#include <string>
#include <vector>

namespace testserver {

// One request the server received: its request line and headers as sent.
struct RequestRecord
{
    std::string requestLine; // e.g. "GET http://host:80/path HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;

    // The value of a header (case-insensitive name), "" when absent.
    std::string Header(const std::string& name) const;
    bool HasHeader(const std::string& name) const;
};

// GET http://control.test<pathAndQuery>; the body. Fails the test on error.
std::string Control(const std::wstring& pathAndQuery);
// Empties the log and the fail-once memory.
void Reset();
// The log since the last Reset.
std::vector<RequestRecord> Requests();
// Routes http://host/path to a behaviour path (to) or a local file.
void RouteTo(const std::wstring& host, const std::wstring& path, const std::wstring& behaviour);

// The expected byte at offset i of every body the server generates.
inline unsigned char PatternByte(unsigned long long i) { return static_cast<unsigned char>(i % 251); }

} // namespace testserver
