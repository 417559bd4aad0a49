#include "app/server_addresses.h"

#include <algorithm>
#include <charconv>

#include "settings/profile_file.h"
#include "settings/window_settings.h"

namespace tallyro::app {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool holdsBlank(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    });
}

// Digits only, with their value; nothing for anything else or beyond `max`.
std::optional<unsigned> decimal(std::string_view text, unsigned max) {
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), isDigit))
        return std::nullopt;
    unsigned value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value > max)
        return std::nullopt;
    return value;
}

bool isHostNameChar(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.' ||
           c == '_';
}

bool isIpv6Char(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return out;
}

template <typename T>
Checked<T> refused(std::string problem) {
    return {std::nullopt, std::move(problem)};
}

}  // namespace

Checked<std::string> checkLoginHost(std::string_view text) {
    if (text.empty())
        return refused<std::string>("is empty");
    if (holdsBlank(text))
        return refused<std::string>("holds a blank");
    // Four numbers 0 to 255, without leading zeros (which some readers take as octal).
    int parts = 0;
    std::size_t at = 0;
    while (true) {
        const std::size_t dot = text.find('.', at);
        const std::string_view part =
            text.substr(at, dot == std::string_view::npos ? std::string_view::npos : dot - at);
        const bool leadingZero = part.size() > 1 && part[0] == '0';
        if (++parts > 4 || leadingZero || !decimal(part, 255))
            return refused<std::string>("is not an IPv4 address like 127.0.0.1");
        if (dot == std::string_view::npos)
            break;
        at = dot + 1;
    }
    if (parts != 4)
        return refused<std::string>("is not an IPv4 address like 127.0.0.1");
    return {std::string(text), {}};
}

Checked<std::uint16_t> checkPort(std::string_view text) {
    const auto value = decimal(text, 65535);
    if (!value || *value == 0)
        return refused<std::uint16_t>("is not a port number from 1 to 65535");
    return {static_cast<std::uint16_t>(*value), {}};
}

Checked<std::string> checkWebBase(std::string_view text) {
    if (holdsBlank(text))
        return refused<std::string>("holds a blank");
    const std::size_t schemeEnd = text.find("://");
    const std::string scheme =
        lower(text.substr(0, schemeEnd == std::string_view::npos ? 0 : schemeEnd));
    if (scheme != "http" && scheme != "https")
        return refused<std::string>("is not an http or https address");
    std::string_view rest = text.substr(schemeEnd + 3);
    if (rest.ends_with('/'))
        rest.remove_suffix(1);
    if (rest.find_first_of("/?#") != std::string_view::npos)
        return refused<std::string>("has a path, query or fragment after the host");
    if (rest.find('@') != std::string_view::npos)
        return refused<std::string>("holds a user name");
    std::string_view host = rest;
    std::string_view port;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos || close == 1 ||
            !std::all_of(rest.begin() + 1, rest.begin() + static_cast<std::ptrdiff_t>(close),
                         isIpv6Char))
            return refused<std::string>("has no valid host");
        host = rest.substr(0, close + 1);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty() && !after.starts_with(':'))
            return refused<std::string>("has no valid host");
        if (!after.empty())
            port = after.substr(1);
        if (after == ":")
            return refused<std::string>("has a port that is not from 1 to 65535");
    } else {
        const std::size_t colon = rest.find(':');
        if (colon != std::string_view::npos) {
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
            if (port.empty())
                return refused<std::string>("has a port that is not from 1 to 65535");
        }
        if (host.empty() || !std::all_of(host.begin(), host.end(), isHostNameChar) ||
            host.starts_with('.') || host.starts_with('-'))
            return refused<std::string>("has no valid host");
    }
    if (!port.empty() && !checkPort(port).value)
        return refused<std::string>("has a port that is not from 1 to 65535");
    return {scheme + "://" + std::string(rest), {}};
}

ServerAddressTexts serverSection(const std::filesystem::path& settingsFile) {
    const auto profile = settings::ProfileFile::load(settingsFile);
    if (!profile)
        return {};
    return {profile->value(kServerSection, kLoginHostKey),
            profile->value(kServerSection, kLoginPortKey),
            profile->value(kServerSection, kWebBaseKey)};
}

namespace {

std::string portText(std::uint16_t port) {
    return std::to_string(port);
}
const std::string& plainText(const std::string& text) {
    return text;
}

// Picks one key's value and says what is refused on the way.
template <typename T, typename Check, typename Show>
T pick(const std::optional<std::string>& fromCommandLine, const char* option,
       const std::optional<std::string>& fromFile, const char* key, const T& builtIn, Check check,
       Show show, std::vector<std::string>& problems) {
    struct Refusal {
        std::string where;
        std::string text;
        std::string problem;
    };
    std::vector<Refusal> refusals;
    std::optional<T> used;
    if (fromCommandLine) {
        auto c = check(*fromCommandLine);
        if (c.value)
            used = std::move(c.value);
        else
            refusals.push_back({std::string("--") + option, *fromCommandLine, c.problem});
    }
    if (!used && fromFile) {
        auto c = check(*fromFile);
        if (c.value)
            used = std::move(c.value);
        else
            refusals.push_back(
                {std::string(settings::kSettingsFileName) + " [" + kServerSection + "] " + key,
                 *fromFile, c.problem});
    }
    const T value = used ? *used : builtIn;
    for (const Refusal& r : refusals) {
        problems.push_back(r.where + ": \"" + r.text + "\" " + r.problem + "; using " +
                           std::string(show(value)));
    }
    return value;
}

}  // namespace

ServerAddresses resolveServerAddresses(const context::Deployment& builtIn,
                                       const ServerAddressTexts& settingsFile,
                                       const ServerAddressTexts& commandLine) {
    ServerAddresses out;
    out.deployment.loginHost =
        pick(commandLine.loginHost, "login-host", settingsFile.loginHost, kLoginHostKey,
             builtIn.loginHost, checkLoginHost, plainText, out.problems);
    out.deployment.loginPort =
        pick(commandLine.loginPort, "login-port", settingsFile.loginPort, kLoginPortKey,
             builtIn.loginPort, checkPort, portText, out.problems);
    out.deployment.webBase =
        pick(commandLine.webBase, "web-base", settingsFile.webBase, kWebBaseKey, builtIn.webBase,
             checkWebBase, plainText, out.problems);
    return out;
}

}  // namespace tallyro::app
