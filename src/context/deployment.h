// Where the service is: built into the client, given by the tests.
#pragma once

#include <cstdint>
#include <string>

namespace tallyro::context {

struct Deployment {
    std::string loginHost = TALLYRO_LOGIN_HOST;
    std::uint16_t loginPort = TALLYRO_LOGIN_PORT;
    std::string webBase = TALLYRO_WEB_BASE;  // scheme and host, no trailing slash
};

}  // namespace tallyro::context
