// Percent-encoding, GBK, and the splitting of queries and form bodies.
#include "query_text.h"

#include <gtest/gtest.h>

#include <tuple>

#include "gbk.h"

namespace tallyro::service {
namespace {

// 张三 in GBK and in UTF-8.
constexpr const char* kZhangSanGbk = "\xD5\xC5\xC8\xFD";
constexpr const char* kZhangSanUtf8 = "\xE5\xBC\xA0\xE4\xB8\x89";

TEST(PercentEncoding, DecodesValidEscapesOnlyAndEncodesWhatAUriCannotHold) {
    // A cut escape at the very end stays as it is.
    EXPECT_EQ(percentDecode("a%7cb a+b %zz%41 %6f%6F%g1 %4"), "a|b a+b %zzA oo%g1 %4");
    // RFC 3986: unreserved, sub-delims, ":", "@", "/" and "?" may stand in a query.
    EXPECT_EQ(
        encodeForLocation("<br> 50%#[]{}\\^`\"|*ST&x=y'(),;!$~_:@/?.-\xE5\xBC\xA0\x7F\x01"),
        "%3Cbr%3E%2050%25%23%5B%5D%7B%7D%5C%5E%60%22%7C*ST&x=y'(),;!$~_:@/?.-%E5%BC%A0%7F%01");
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    const std::string encoded = encodeForLocation(all);
    for (const char c : encoded)
        EXPECT_TRUE(c > 0x20 && c < 0x7F) << int(c);
    EXPECT_EQ(percentDecode(encoded), all);
}

TEST(ParseQueries, AnalysisQueriesGiveCodeAndNameAndFormBodiesTheirFields) {
    using Q = std::optional<std::string>;
    const std::tuple<const char*, Q, Q> cases[] = {
        {"GpID=sh600000&UserID=x&PgRun=1&PgRun=-2", "sh600000", "x&PgRun=1"},
        {"GpID=sh600000&UserID=a=b&PgRun=-2", "sh600000", "a=b"},
        {"GpID=sh600000&UserID=&PgRun=-2", "sh600000", ""},
        {"gpid=sh600000&userid=demo&pgrun=3", "sh600000", "demo"},
        {"PgRun=3&UserID=demo&GpID=sh600000", "sh600000", "demo"},
        // Neither UTF-8 nor GBK: no name at all rather than a wrong one.
        {"GpID=sh600000&UserID=%FF%FF&PgRun=1", "sh600000", std::nullopt},
    };
    for (const auto& [query, subject, user] : cases) {
        const AnalysisQuery q = parseAnalysisQuery(query, "GpID");
        EXPECT_EQ(std::pair(q.subject, q.user), std::pair(subject, user)) << query;
    }
    // In a form body "+" is a space and the first key wins.
    const auto fields = parseFormBody("name=a+b%2Bc&password=p%26w&name=second&flag&x=%FF");
    EXPECT_EQ(fields.at("name") + '|' + fields.at("password") + '|' + fields.at("flag"),
              "a b+c|p&w|");
    EXPECT_EQ(fields.count("x"), 0u);
}

TEST(Gbk, ConvertsBothWaysAndRefusesWhatHasNoForm) {
    EXPECT_EQ(utf8ToGbk(kZhangSanUtf8), std::string(kZhangSanGbk));
    EXPECT_EQ(gbkToUtf8(kZhangSanGbk), std::string(kZhangSanUtf8));
    EXPECT_FALSE(gbkToUtf8("ab\xD5"));  // lead byte without its trail byte
    // RFC 3629: no overlong forms, surrogates, values past U+10FFFF or cut sequences.
    for (const auto& [text, valid] :
         {std::pair{"abc\xE5\xBC\xA0", true}, std::pair{"\xF0\x9F\x98\x80", true},
          std::pair{"\xC0\xAF", false}, std::pair{"\xE0\x80\xAF", false},
          std::pair{"\xED\xA0\x80", false}, std::pair{"\xF4\x90\x80\x80", false},
          std::pair{"\xE5\xBC", false}, std::pair{"\x80", false}}) {
        EXPECT_EQ(isValidUtf8(text), valid) << text;
    }
}

}  // namespace
}  // namespace tallyro::service
