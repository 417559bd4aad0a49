// The service's addresses: the built-in ones, overridden by the [Server] section
// of the settings file, overridden in turn by the command line. Every value is
// checked; one that is refused is said, and the next source's value is used.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "context/deployment.h"

namespace tallyro::app {

inline constexpr char kServerSection[] = "Server";
inline constexpr char kLoginHostKey[] = "LoginHost";
inline constexpr char kLoginPortKey[] = "LoginPort";
inline constexpr char kWebBaseKey[] = "WebBase";

// The values one source gives, as text; nothing for a value it does not give.
struct ServerAddressTexts {
    std::optional<std::string> loginHost;
    std::optional<std::string> loginPort;
    std::optional<std::string> webBase;
};

// A value in the form the client uses, or why it is refused (a phrase that
// follows the quoted value: "is not a port number from 1 to 65535").
template <typename T>
struct Checked {
    std::optional<T> value;
    std::string problem;
};

// The login server is addressed by an IPv4 address in dotted form (127.0.0.1):
// its answers are recognised by their sender's address, so a name would never match.
Checked<std::string> checkLoginHost(std::string_view text);
// Decimal digits only, 1 to 65535.
Checked<std::uint16_t> checkPort(std::string_view text);
// http:// or https://, a host, an optional port, nothing after it. One trailing
// slash is dropped ("http://host:8340/" is "http://host:8340"); the scheme is
// lowercased.
Checked<std::string> checkWebBase(std::string_view text);

// The keys of the [Server] section that are present (with their values trimmed,
// as every value of the file is read). A missing or unreadable file gives none.
ServerAddressTexts serverSection(const std::filesystem::path& settingsFile);

struct ServerAddresses {
    context::Deployment deployment;
    // One line per refused value, naming where it came from, the key, the value,
    // why, and what is used instead.
    std::vector<std::string> problems;
};

// Per key: the command line's value if it is good, else the file's if it is
// good, else the built-in one.
ServerAddresses resolveServerAddresses(const context::Deployment& builtIn,
                                       const ServerAddressTexts& settingsFile,
                                       const ServerAddressTexts& commandLine);

}  // namespace tallyro::app
