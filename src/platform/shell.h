// Opens an address in the user's web browser. Failures are silent by design:
// a link that cannot be opened simply does nothing.
#pragma once

#include <string>

namespace tallyro::platform {

class Shell {
public:
    virtual ~Shell() = default;
    virtual void openUrl(const std::string& url) = 0;
};

}  // namespace tallyro::platform
