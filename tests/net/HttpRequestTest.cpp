// The HTTP request against the real WinINet and the local test server: what
// Open answers for each kind of response, what it leaves open, what it sends.

#include "net/HttpRequest.h"

#include "net/TestServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct OpenCase
{
    const char* name;
    const wchar_t* url;
    BOOL opened;    // Open's answer, and whether the request stays open
    BOOL answered;  // a status came
    LONG status;    // which
    BOOL hasLength; // QueryContentLength's answer
    LONG length;    // its value
};

void PrintTo(const OpenCase& c, std::ostream* os)
{
    *os << c.name;
}

class RequestOpen : public ::testing::TestWithParam<OpenCase>
{
protected:
    void SetUp() override { testserver::Reset(); }
};

TEST_P(RequestOpen, OpensFullyOrNotAtAll)
{
    const OpenCase& c = GetParam();
    CHttpRequest request;
    EXPECT_EQ(c.opened, request.Open(c.url));
    EXPECT_EQ(c.opened, request.IsOpen());
    EXPECT_EQ(c.answered, request.Answered());
    EXPECT_EQ(c.status, request.Status());
    LONG nLength = -12345;
    EXPECT_EQ(c.hasLength, request.QueryContentLength(nLength));
    EXPECT_EQ(c.hasLength ? c.length : -12345, nLength);
}

const OpenCase kOpenCases[] = {
    {"ok", L"http://d.example/t/ok/5000/f.exe", TRUE, TRUE, 200, TRUE, 5000},
    {"zero", L"http://d.example/t/zero/f.exe", TRUE, TRUE, 200, TRUE, 0},
    {"no_length", L"http://d.example/t/nolength/100/f.exe", TRUE, TRUE, 200, FALSE, 0},
    {"length_beyond_32_bits", L"http://d.example/t/short/3000000000/0/f.exe", TRUE, TRUE, 200, TRUE, 2147483647},
    {"not_found", L"http://d.example/t/404/f.exe", FALSE, TRUE, 404, FALSE, 0},
    {"server_error", L"http://d.example/t/500/f.exe", FALSE, TRUE, 500, FALSE, 0},
    {"proxy_auth", L"http://d.example/t/407/f.exe", FALSE, TRUE, 407, FALSE, 0},
    {"denied", L"http://d.example/t/401/f.exe", FALSE, TRUE, 401, FALSE, 0},
    {"reset", L"http://d.example/t/reset/f.exe", FALSE, FALSE, 0, FALSE, 0},
    {"not_an_address", L"no address", FALSE, FALSE, 0, FALSE, 0},
};

INSTANTIATE_TEST_SUITE_P(Responses, RequestOpen, ::testing::ValuesIn(kOpenCases),
                         [](const ::testing::TestParamInfo<OpenCase>& info) { return std::string(info.param.name); });

TEST(Request, ReadsTheWholeBody)
{
    CHttpRequest request;
    ASSERT_TRUE(request.Open(L"http://d.example/t/ok/3000/f.exe"));
    std::vector<unsigned char> body;
    unsigned char buffer[1024];
    DWORD dwRead = 0;
    while (request.Read(buffer, sizeof buffer, dwRead) && dwRead)
        body.insert(body.end(), buffer, buffer + dwRead);
    EXPECT_EQ(0u, dwRead) << "the body ends with a read of nothing";
    ASSERT_EQ(3000u, body.size());
    for (size_t i = 0; i < body.size(); ++i)
        ASSERT_EQ(testserver::PatternByte(i), body[i]) << "byte " << i;
}

TEST(Request, OpeningAgainDropsTheEarlierResponse)
{
    CHttpRequest request;
    ASSERT_TRUE(request.Open(L"http://d.example/t/ok/10/f.exe"));
    EXPECT_FALSE(request.Open(L"http://d.example/t/404/f.exe"));
    EXPECT_FALSE(request.IsOpen());
    EXPECT_EQ(404, request.Status());
    EXPECT_FALSE(request.Open(L"no address"));
    EXPECT_FALSE(request.Answered()) << "a status from an earlier response stays behind";
    LONG nLength = 0;
    EXPECT_FALSE(request.QueryContentLength(nLength));
}

} // namespace
