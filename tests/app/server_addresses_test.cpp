// The service's addresses from the settings file and the command line: each
// value checked, refusals said with their key, and the order of precedence.
#include <gtest/gtest.h>

#include "app/server_addresses.h"
#include "temp_dir.h"
#include "text/gbk_codec.h"

namespace tallyro::app {
namespace {

const Deployment kBuiltIn{"127.0.0.1", 4116, "http://127.0.0.1:8340"};

struct Case {
    const char* text;
    const char* used;     // the value in use afterwards
    const char* problem;  // "" when the value is taken
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

std::string shown(const Deployment& d, const char* key) {
    if (std::string_view(key) == kLoginHostKey)
        return d.loginHost;
    if (std::string_view(key) == kLoginPortKey)
        return std::to_string(d.loginPort);
    return d.webBase;
}

// One key given in the settings file: what is used and what is said.
class ServerValue : public testing::TestWithParam<std::tuple<const char*, Case>> {};

TEST_P(ServerValue, IsTakenOrRefusedNamingTheKey) {
    const auto& [key, c] = GetParam();
    test::TempDir dir;
    // The file is GBK, as the program writes it.
    test::writeFileBytes(dir / "config.ini",
                         *text::utf8ToGbk(std::string("[WindowMove]\r\nMainTop=1\r\n[server]\r\n") +
                                          key + "=" + c.text + "\r\n"));
    const ServerAddresses got =
        resolveServerAddresses(kBuiltIn, serverSection(dir / "config.ini"), {});
    EXPECT_EQ(shown(got.deployment, key), c.used);
    if (*c.problem == '\0') {
        EXPECT_TRUE(got.problems.empty()) << got.problems.front();
    } else {
        ASSERT_EQ(got.problems.size(), 1u);
        EXPECT_EQ(got.problems[0], std::string("config.ini [Server] ") + key + ": \"" + c.text +
                                       "\" " + c.problem + "; using " + c.used);
    }
}

constexpr const char* kNotIpv4 = "is not an IPv4 address like 127.0.0.1";
INSTANTIATE_TEST_SUITE_P(
    LoginHost, ServerValue,
    testing::Combine(testing::Values(kLoginHostKey),
                     testing::Values(Case{"10.0.0.2", "10.0.0.2", ""},
                                     Case{"255.255.255.255", "255.255.255.255", ""},
                                     Case{"", "127.0.0.1", "is empty"},
                                     Case{"10.0. 0.2", "127.0.0.1", "holds a blank"},
                                     Case{"10.0.0", "127.0.0.1", kNotIpv4},
                                     Case{"10.0.0.2.1", "127.0.0.1", kNotIpv4},
                                     Case{"10.0.0.256", "127.0.0.1", kNotIpv4},
                                     Case{"10.0.0.02", "127.0.0.1", kNotIpv4},
                                     Case{"10..0.2", "127.0.0.1", kNotIpv4},
                                     Case{"login.example.com", "127.0.0.1", kNotIpv4})));

constexpr const char* kNotPort = "is not a port number from 1 to 65535";
INSTANTIATE_TEST_SUITE_P(
    LoginPort, ServerValue,
    testing::Combine(testing::Values(kLoginPortKey),
                     testing::Values(Case{"1", "1", ""}, Case{"65535", "65535", ""},
                                     Case{"\"5000\"", "5000", ""}, Case{"", "4116", kNotPort},
                                     Case{"0", "4116", kNotPort}, Case{"65536", "4116", kNotPort},
                                     Case{"99999999999", "4116", kNotPort},
                                     Case{"-1", "4116", kNotPort}, Case{"+80", "4116", kNotPort},
                                     Case{"80a", "4116", kNotPort},
                                     Case{"８０", "4116", kNotPort})));

constexpr const char* kBase = "http://127.0.0.1:8340";
constexpr const char* kBadPort = "has a port that is not from 1 to 65535";
constexpr const char* kNoHost = "has no valid host";
constexpr const char* kPath = "has a path, query or fragment after the host";
INSTANTIATE_TEST_SUITE_P(
    WebBase, ServerValue,
    testing::Combine(
        testing::Values(kWebBaseKey),
        testing::Values(
            Case{"http://10.0.0.2:80", "http://10.0.0.2:80", ""},
            Case{"https://web.example.com", "https://web.example.com", ""},
            Case{"HTTP://Web:8340/", "http://Web:8340", ""},
            Case{"http://[::1]:8340", "http://[::1]:8340", ""},
            Case{"ftp://x", kBase, "is not an http or https address"},
            Case{"web.example.com", kBase, "is not an http or https address"},
            Case{"", kBase, "is not an http or https address"}, Case{"http://", kBase, kNoHost},
            Case{"http://:8340", kBase, kNoHost}, Case{"http://a b", kBase, "holds a blank"},
            Case{"http://x:0", kBase, kBadPort}, Case{"http://x:", kBase, kBadPort},
            Case{"http://x:65536", kBase, kBadPort}, Case{"http://x:port", kBase, kBadPort},
            Case{"http://x//", kBase, kPath}, Case{"http://x/web", kBase, kPath},
            Case{"http://x?a=1", kBase, kPath}, Case{"http://x#top", kBase, kPath},
            Case{"http://me@x", kBase, "holds a user name"}, Case{"http://[::1", kBase, kNoHost},
            Case{"http://[::1]x", kBase, kNoHost})));

TEST(ServerAddresses, CommandLineOverFileOverBuiltIn) {
    const ServerAddressTexts file{"10.0.0.1", "5001", "http://file"};
    const ServerAddressTexts line{"10.0.0.9", std::nullopt, "http://line:1"};
    auto got = resolveServerAddresses(kBuiltIn, file, line);
    EXPECT_EQ(got.deployment.loginHost, "10.0.0.9");
    EXPECT_EQ(got.deployment.loginPort, 5001);
    EXPECT_EQ(got.deployment.webBase, "http://line:1");
    EXPECT_TRUE(got.problems.empty());

    got = resolveServerAddresses(kBuiltIn, {}, {});
    EXPECT_EQ(got.deployment.loginHost, kBuiltIn.loginHost);
    EXPECT_EQ(got.deployment.loginPort, kBuiltIn.loginPort);
    EXPECT_EQ(got.deployment.webBase, kBuiltIn.webBase);
}

TEST(ServerAddresses, ARefusedValueFallsToTheNextSource) {
    // A bad command-line value leaves the file's good one in use; bad in both
    // places, the built-in value is used and both are said.
    const ServerAddressTexts file{"10.0.0.1", "port", std::nullopt};
    const ServerAddressTexts line{"", "0", "ftp://x"};
    const auto got = resolveServerAddresses(kBuiltIn, file, line);
    EXPECT_EQ(got.deployment.loginHost, "10.0.0.1");
    EXPECT_EQ(got.deployment.loginPort, 4116);
    EXPECT_EQ(got.deployment.webBase, kBase);
    EXPECT_EQ(got.problems,
              (std::vector<std::string>{
                  "--login-host: \"\" is empty; using 10.0.0.1",
                  "--login-port: \"0\" is not a port number from 1 to 65535; using 4116",
                  "config.ini [Server] LoginPort: \"port\" is not a port number from 1 to "
                  "65535; using 4116",
                  "--web-base: \"ftp://x\" is not an http or https address; using " +
                      std::string(kBase)}));
}

TEST(ServerAddresses, AFileWithoutTheSectionGivesNothing) {
    test::TempDir dir;
    EXPECT_FALSE(serverSection(dir / "missing.ini").webBase);
    test::writeFileBytes(dir / "config.ini", "[WindowMove]\r\nWebBase=http://x\r\n");
    const auto texts = serverSection(dir / "config.ini");
    EXPECT_FALSE(texts.loginHost || texts.loginPort || texts.webBase);
}

}  // namespace
}  // namespace tallyro::app
