// Percent-encoding, GBK conversion, and the splitting of analysis queries and form
// bodies.
#include "query_text.h"

#include <gtest/gtest.h>

#include <ostream>

#include "gbk.h"

namespace tallyro::service {
namespace {

// 张三 in GBK and in UTF-8.
constexpr const char* kZhangSanGbk = "\xD5\xC5\xC8\xFD";
constexpr const char* kZhangSanUtf8 = "\xE5\xBC\xA0\xE4\xB8\x89";

struct DecodeCase {
    const char* in;
    const char* out;
};

std::ostream& operator<<(std::ostream& os, const DecodeCase& c) {
    return os << '"' << c.in << '"';
}

class PercentDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(PercentDecode, DecodesValidEscapesOnly) {
    EXPECT_EQ(percentDecode(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Cases, PercentDecode,
                         ::testing::Values(DecodeCase{"a%7Cb", "a|b"}, DecodeCase{"a%7cb", "a|b"},
                                           DecodeCase{"a+b", "a+b"}, DecodeCase{"%", "%"},
                                           DecodeCase{"%4", "%4"}, DecodeCase{"50%", "50%"},
                                           DecodeCase{"%zz%41", "%zzA"}, DecodeCase{"%2541", "%41"},
                                           DecodeCase{"%E5%BC%A0", "\xE5\xBC\xA0"}));

class EncodeForLocation : public ::testing::TestWithParam<DecodeCase> {};

// RFC 3986: unreserved, sub-delims, ":", "@", "/" and "?" may stand in a query.
TEST_P(EncodeForLocation, EncodesWhatAUriCannotHold) {
    EXPECT_EQ(encodeForLocation(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EncodeForLocation,
    ::testing::Values(DecodeCase{"a|b", "a%7Cb"}, DecodeCase{"<br><br>", "%3Cbr%3E%3Cbr%3E"},
                      DecodeCase{"14:35:02", "14:35:02"}, DecodeCase{"2026-12-06", "2026-12-06"},
                      DecodeCase{"10.50", "10.50"}, DecodeCase{"a b", "a%20b"},
                      DecodeCase{"50%", "50%25"}, DecodeCase{"#", "%23"},
                      DecodeCase{"[]{}\\^`\"", "%5B%5D%7B%7D%5C%5E%60%22"},
                      DecodeCase{"*ST&x=y'(),;!$~_", "*ST&x=y'(),;!$~_"},
                      DecodeCase{"\xE5\xBC\xA0", "%E5%BC%A0"}, DecodeCase{"\x7F\x01", "%7F%01"}));

TEST(EncodeForLocation, RoundTripsEveryByte) {
    std::string all;
    for (int c = 0; c < 256; ++c) {
        all += static_cast<char>(c);
    }
    const std::string encoded = encodeForLocation(all);
    for (const char c : encoded) {
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
        EXPECT_GT(static_cast<unsigned char>(c), 0x20);
    }
    EXPECT_EQ(percentDecode(encoded), all);
}

struct QueryCase {
    const char* query;
    const char* key;
    std::optional<std::string> subject;
    std::optional<std::string> user;
};

std::ostream& operator<<(std::ostream& os, const QueryCase& c) {
    return os << '"' << c.query << '"';
}

class ParseAnalysisQuery : public ::testing::TestWithParam<QueryCase> {};

TEST_P(ParseAnalysisQuery, SplitsCodeAndName) {
    const AnalysisQuery q = parseAnalysisQuery(GetParam().query, GetParam().key);
    EXPECT_EQ(q.subject, GetParam().subject);
    EXPECT_EQ(q.user, GetParam().user);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseAnalysisQuery,
    ::testing::Values(
        QueryCase{"GpID=sh600000&UserID=demo&PgRun=-4711", "GpID", "sh600000", "demo"},
        QueryCase{"DaPan=s_sh000002&UserID=demo&PgRun=1", "DaPan", "s_sh000002", "demo"},
        // The client does not encode the name: "&" and a space stay in it.
        QueryCase{"GpID=sh600000&UserID=a&b%20c&PgRun=-1", "GpID", "sh600000", "a&b c"},
        QueryCase{"GpID=sh600000&UserID=a%26b%23c%25d%2Be%20f&PgRun=-1", "GpID", "sh600000",
                  "a&b#c%d+e f"},
        QueryCase{"GpID=sh600000&UserID=x&PgRun=1&PgRun=-2", "GpID", "sh600000", "x&PgRun=1"},
        QueryCase{"GpID=sh600000&UserID=a=b&PgRun=-2", "GpID", "sh600000", "a=b"},
        QueryCase{"GpID=sh600000&UserID=demo", "GpID", "sh600000", "demo"},
        QueryCase{"GpID=sh600000&UserID=&PgRun=-2", "GpID", "sh600000", ""},
        QueryCase{"gpid=sh600000&userid=demo&pgrun=3", "GpID", "sh600000", "demo"},
        QueryCase{"PgRun=3&UserID=demo&GpID=sh600000", "GpID", "sh600000", "demo"},
        QueryCase{"GpID=sh600000&PgRun=3", "GpID", "sh600000", std::nullopt},
        QueryCase{"", "GpID", std::nullopt, std::nullopt},
        QueryCase{"GpID=sh600000&UserID=%E5%BC%A0%E4%B8%89&PgRun=1", "GpID", "sh600000",
                  kZhangSanUtf8},
        // A Chinese Windows browser may send the name in GBK.
        QueryCase{"GpID=sh600000&UserID=%D5%C5%C8%FD&PgRun=1", "GpID", "sh600000", kZhangSanUtf8},
        // Neither UTF-8 nor GBK: no name at all rather than a wrong one.
        QueryCase{"GpID=sh600000&UserID=%FF%FF&PgRun=1", "GpID", "sh600000", std::nullopt}));

TEST(ParseFormBody, PlusIsSpaceAndFirstKeyWins) {
    const auto fields = parseFormBody("name=a+b%2Bc&password=p%26w&name=second&flag&x=%FF");
    EXPECT_EQ(fields.at("name"), "a b+c");
    EXPECT_EQ(fields.at("password"), "p&w");
    EXPECT_EQ(fields.at("flag"), "");
    EXPECT_EQ(fields.count("x"), 0u);
}

TEST(Gbk, RoundTripOfChineseText) {
    EXPECT_EQ(utf8ToGbk(kZhangSanUtf8), std::string(kZhangSanGbk));
    EXPECT_EQ(gbkToUtf8(kZhangSanGbk), std::string(kZhangSanUtf8));
    EXPECT_EQ(gbkToUtf8("Login|demo|10.09"), std::string("Login|demo|10.09"));
    EXPECT_EQ(gbkToUtf8(""), std::string());
}

TEST(Gbk, InvalidBytesAndUnmappableCharactersGiveNothing) {
    EXPECT_FALSE(gbkToUtf8("\xFF\xFF"));
    EXPECT_FALSE(gbkToUtf8("ab\xD5"));            // lead byte without its trail byte
    EXPECT_FALSE(utf8ToGbk("\xF0\x9F\x98\x80"));  // U+1F600 has no GBK code
    EXPECT_FALSE(utf8ToGbk("\xC3"));              // truncated UTF-8
}

class Utf8Validity : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(Utf8Validity, Rfc3629Rules) {
    EXPECT_EQ(isValidUtf8(GetParam().first), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8Validity,
    ::testing::Values(std::pair{"abc", true}, std::pair{"\xE5\xBC\xA0", true},
                      std::pair{"\xF0\x9F\x98\x80", true}, std::pair{"\xC0\xAF", false},
                      std::pair{"\xE0\x80\xAF", false}, std::pair{"\xED\xA0\x80", false},
                      std::pair{"\xF4\x90\x80\x80", false}, std::pair{"\xE5\xBC", false},
                      std::pair{"\x80", false}, std::pair{"\xD5\xC5", false}));

}  // namespace
}  // namespace tallyro::service
