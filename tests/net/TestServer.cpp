#include "net/TestServer.h"

#include "framework/Handles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>

namespace testserver {

namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::wstring Escape(const std::wstring& value)
{
    static const wchar_t hex[] = L"0123456789ABCDEF";
    std::wstring out;
    for (wchar_t ch : value) {
        if (std::iswalnum(ch) || ch == L'-' || ch == L'_' || ch == L'.' || ch == L'~') {
            out += ch;
        } else {
            out += L'%';
            out += hex[(ch >> 4) & 0xF];
            out += hex[ch & 0xF];
        }
    }
    return out;
}

} // namespace

std::string RequestRecord::Header(const std::string& name) const
{
    for (const auto& h : headers) {
        if (Lower(h.first) == Lower(name))
            return h.second;
    }
    return {};
}

bool RequestRecord::HasHeader(const std::string& name) const
{
    for (const auto& h : headers) {
        if (Lower(h.first) == Lower(name))
            return true;
    }
    return false;
}

std::string Control(const std::wstring& pathAndQuery)
{
    UniqueHInternet session(::InternetOpenW(L"QuilmerTestControl", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    EXPECT_TRUE(session);
    const std::wstring url = L"http://control.test" + pathAndQuery;
    UniqueHInternet request(::InternetOpenUrlW(session.get(), url.c_str(), nullptr, 0,
                                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    EXPECT_TRUE(request) << "control request failed, error " << ::GetLastError();
    std::string body;
    if (!request)
        return body;
    char buffer[4096];
    DWORD read = 0;
    while (::InternetReadFile(request.get(), buffer, sizeof buffer, &read) && read > 0)
        body.append(buffer, read);
    return body;
}

void Reset()
{
    EXPECT_EQ("ok\n", Control(L"/reset"));
}

std::vector<RequestRecord> Requests()
{
    std::vector<RequestRecord> records;
    std::istringstream in(Control(L"/requests"));
    std::string line;
    RequestRecord current;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty()) {
            if (!current.requestLine.empty())
                records.push_back(current);
            current = RequestRecord();
        } else if (current.requestLine.empty()) {
            current.requestLine = line;
        } else {
            const size_t colon = line.find(": ");
            current.headers.emplace_back(line.substr(0, colon), colon == std::string::npos ? "" : line.substr(colon + 2));
        }
    }
    if (!current.requestLine.empty())
        records.push_back(current);
    return records;
}

void RouteTo(const std::wstring& host, const std::wstring& path, const std::wstring& behaviour)
{
    EXPECT_EQ("ok\n", Control(L"/route?host=" + Escape(host) + L"&path=" + Escape(path) + L"&to=" + Escape(behaviour)));
}

} // namespace testserver
