// The service's addresses from the settings file and the command line: each value
// checked, refusals said with their key, and the order of precedence.
#include <gtest/gtest.h>

#include "app/server_addresses.h"
#include "temp_dir.h"
#include "text/gbk_codec.h"

namespace tallyro::app {
namespace {

const Deployment kBuiltIn{"127.0.0.1", 4116, "http://127.0.0.1:8340"};

std::string used(const Deployment& d) {
    return d.loginHost + " " + std::to_string(d.loginPort) + " " + d.webBase;
}

// Each value under one key of the settings file, written in GBK as the program writes it
// and after another section's keys: the value used, or the built-in one and the refusal
// naming the key, the value and why.
TEST(ServerAddresses, EachValueInTheFileIsTakenOrRefusedNamingTheKey) {
    // Key, the outcome ("=" for the value itself, "=x" for x), the values.
    const std::tuple<std::string, std::string, std::vector<std::string>> groups[] = {
        {"LoginHost", "=", {"10.0.0.2", "255.255.255.255"}},
        {"LoginHost", "is empty", {""}},
        {"LoginHost", "holds a blank", {"10.0. 0.2"}},
        {"LoginHost",
         "is not an IPv4 address like 127.0.0.1",
         {"10.0.0", "10.0.0.2.1", "10.0.0.256", "10.0.0.02", "10..0.2", "login.example.com"}},
        {"LoginPort", "=", {"1", "65535"}},
        {"LoginPort", "=5000", {"\"5000\""}},
        {"LoginPort",
         "is not a port number from 1 to 65535",
         {"", "0", "65536", "99999999999", "+80", "８０"}},
        {"WebBase", "=", {"http://10.0.0.2:80", "https://web.example.com", "http://[::1]:8340"}},
        {"WebBase", "=http://Web:8340", {"HTTP://Web:8340/"}},
        {"WebBase", "is not an http or https address", {"ftp://x", "web.example.com", ""}},
        {"WebBase",
         "has no valid host",
         {"http://", "http://:8340", "http://[::1", "http://[::1]x", "http://x!y"}},
        {"WebBase", "holds a blank", {"http://a b"}},
        {"WebBase",
         "has a port that is not from 1 to 65535",
         {"http://x:0", "http://x:", "http://x:65536", "http://x:port"}},
        {"WebBase",
         "has a path, query or fragment after the host",
         {"http://x//", "http://x/web", "http://x?a=1", "http://x#top"}},
        {"WebBase", "holds a user name", {"http://me@x"}}};
    test::TempDir dir;
    for (const auto& [key, expected, values] : groups) {
        const int k = key == kLoginHostKey ? 0 : (key == kLoginPortKey ? 1 : 2);
        for (const std::string& v : values) {
            test::writeFileBytes(
                dir / "config.ini",
                *text::utf8ToGbk("[WindowMove]\r\nWebBase=http://x\r\n[server]\r\n" + key + "=" +
                                 v + "\r\n"));
            const auto got =
                resolveServerAddresses(kBuiltIn, serverSection(dir / "config.ini"), {});
            std::string want[] = {"127.0.0.1", "4116", "http://127.0.0.1:8340"};
            std::vector<std::string> said{"config.ini [Server] " + key + ": \"" + v + "\" " +
                                          expected + "; using " + want[k]};
            if (expected.starts_with("=")) {
                want[k] = expected == "=" ? v : expected.substr(1);
                said.clear();
            }
            EXPECT_EQ(used(got.deployment), want[0] + " " + want[1] + " " + want[2]) << v;
            EXPECT_EQ(got.problems, said) << key << "=" << v;
        }
    }
}

// A refused command-line value leaves the file's good one in use; refused in both
// places, the built-in value is used and both are said.
TEST(ServerAddresses, CommandLineOverFileOverBuiltInAndARefusedValueFallsToTheNext) {
    auto got = resolveServerAddresses(kBuiltIn, {"10.0.0.1", "5001", "http://file"},
                                      {"10.0.0.9", std::nullopt, "http://line:1"});
    EXPECT_EQ(used(got.deployment), "10.0.0.9 5001 http://line:1");
    EXPECT_TRUE(got.problems.empty());
    // No file gives nothing.
    EXPECT_EQ(
        used(resolveServerAddresses(kBuiltIn, serverSection("/no/config.ini"), {}).deployment),
        used(kBuiltIn));
    got =
        resolveServerAddresses(kBuiltIn, {"10.0.0.1", "port", std::nullopt}, {"", "0", "ftp://x"});
    EXPECT_EQ(used(got.deployment), "10.0.0.1 4116 http://127.0.0.1:8340");
    EXPECT_EQ(got.problems,
              (std::vector<std::string>{
                  "--login-host: \"\" is empty; using 10.0.0.1",
                  "--login-port: \"0\" is not a port number from 1 to 65535; using 4116",
                  "config.ini [Server] LoginPort: \"port\" is not a port number from 1 to "
                  "65535; using 4116",
                  "--web-base: \"ftp://x\" is not an http or https address; using "
                  "http://127.0.0.1:8340"}));
}

}  // namespace
}  // namespace tallyro::app
