// Request heads read within their bounds, whole or in pieces.
#include "http_head.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace tallyro::service {
namespace {

// A head fed byte by byte: its first answer other than "incomplete", and the bytes by then.
std::pair<int, size_t> fedByteByByte(const std::string& bytes) {
    for (size_t n = 1; n <= bytes.size(); ++n)
        if (const int status = readHttpHead(std::string_view(bytes).substr(0, n)).status)
            return {status, n};
    return {0, bytes.size()};
}

TEST(HttpHead, ReadsTheRequestLineFieldsAndWhatTheyMeanForTheConnection) {
    const std::string head =
        "\r\nPOST /Reg.asp?a=%7C HTTP/1.1\r\nHost: x:8340\r\nContent-Length:  12 \r\n"
        "Connection: keep-alive, Close\r\nExpect: 100-continue\r\n\r\nname=abc&x=1";
    const HttpHeadResult r = readHttpHead(head);
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(std::tuple(r.head.method, r.head.target, r.head.minorVersion, r.consumed,
                         r.head.header("host"), r.head.contentLength, r.head.keepAlive,
                         r.head.expectContinue),
              std::tuple("POST", "/Reg.asp?a=%7C", 1, head.size() - 12, "x:8340", 12u, false, true));
    // HTTP/1.1 stays open unless asked; HTTP/1.0 closes; bare line feeds end lines too.
    EXPECT_TRUE(readHttpHead("GET / HTTP/1.1\n\n").head.keepAlive);
    EXPECT_FALSE(readHttpHead("GET / HTTP/1.0\nConnection: keep-alive\n\n").head.keepAlive);
    EXPECT_FALSE(readHttpHead("GET / HTTP/1.0\r\nExpect: 100-continue\r\n\r\n").head.expectContinue);
    EXPECT_EQ(readHttpHead("GET / HTTP/1.1\r\nContent-Length: 0016384\r\n\r\n").head.contentLength,
              16384u);
}

TEST(HttpHead, RefusesWhatIsMalformedOrBeyondItsBounds) {
    const std::string line(8192 - 16, 'a');  // "GET /" + it + " HTTP/1.1\r" ends at 8191
    // A field of n bytes, line end included; the blank line counts toward the 8192.
    const auto field = [](size_t n) { return "X: " + std::string(n - 5, 'v') + "\r\n"; };
    const std::pair<std::string, int> cases[] = {
        {"GET /" + line + " HTTP/1.1\r\n\r\n", 200},
        {"GET /" + line + "a HTTP/1.1\r\n\r\n", 414},
        {"GET / HTTP/1.1\r\n" + field(8190) + "\r\n", 200},
        {"GET / HTTP/1.1\r\n" + field(8191) + "\r\n", 431},
        {"POST / HTTP/1.1\r\nContent-Length: 16385\r\n\r\n", 413},
        {"POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n", 413},
        {"POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nContent-Length: 1, 1\r\n\r\n", 400},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 411},
        {"GET / HTTP/2.0\r\n\r\n", 505}, {"GET / HTTP/1.12\r\n\r\n", 400},
        {"GET /a b HTTP/1.1\r\n\r\n", 400}, {"GET / HTTP/1.1 \r\n\r\n", 400},
        {"G(T / HTTP/1.1\r\n\r\n", 400}, {"GET /\x7F HTTP/1.1\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nName : v\r\n\r\n", 400}, {std::string(8192, '\n'), 414},
        {"GET / HTTP/1.1\r\nA: 1\r\n folded\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nA: x\x01y\r\n\r\n", 400},
        {"GET / HTTP/1.1\r\nExpect: 200-ok\r\n\r\n", 400},
    };
    for (const auto& [bytes, status] : cases)
        EXPECT_EQ(readHttpHead(bytes).status, status) << bytes.substr(0, 60);
    std::string fields = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 100; ++i)
        fields += "A: 1\r\n";
    EXPECT_EQ(readHttpHead(fields + "\r\n").status, 200);
    EXPECT_EQ(readHttpHead(fields + "A: 1\r\n\r\n").status, 431);
}

// However the bytes arrive, the whole head's answer comes, and before the bounds are passed.
TEST(HttpHead, GivesTheSameAnswerByteByByteAndAnswersOversizeAtTheBound) {
    const std::string huge(64 * 1024, 'a');
    for (const auto& [bytes, status, by] : {
             std::tuple{"GET /x HTTP/1.1\r\nA: 1\r\n\r\n" + std::string("rest"), 200, size_t(25)},
             std::tuple{"GET /" + huge, 414, size_t(8192)},
             std::tuple{"GET / HTTP/1.1\r\n" + huge, 431, size_t(16 + 8192)},
             std::tuple{"GET / HTTP/1.1\r\n" + std::string(200, 'A') + "\r\nZ", 400, size_t(218)},
             std::tuple{std::string("GET / HTTP/1.1\r\nA: 1\r\n"), 0, size_t(22)},
         }) {
        EXPECT_EQ(fedByteByByte(bytes), std::pair(status, by)) << bytes.substr(0, 40);
        EXPECT_EQ(readHttpHead(bytes).status, status);
    }
}

}  // namespace
}  // namespace tallyro::service
