// The hidden browser that loads analysis requests. The client never reads the
// page: it only looks at the address of the document finally shown, after the
// service's redirect.
#pragma once

#include <functional>
#include <string>

namespace tallyro::platform {

class AnalysisBrowser {
public:
    virtual ~AnalysisBrowser() = default;
    // Starts loading the address and returns at once; a load still under way is
    // abandoned, and never reported. "about:blank" shows the empty document at
    // once; its navigation is reported like any other, later.
    virtual void navigate(const std::string& url) = 0;
    // The address of the document shown now, as a browser shows it (percent
    // escapes decoded to text); "" while no document has been shown.
    virtual std::string documentAddress() = 0;
    // Whether a load is under way (the empty page never is).
    virtual bool loading() const = 0;
    // Called on the user-interface thread whenever a navigation has finished,
    // with the address it ended on: the document's, or the address that could not
    // be reached at all (whose document is then not shown). Always from the event
    // loop, as a browser reports it, never from inside navigate().
    virtual void setNavigated(std::function<void(const std::string& address)> onNavigated) = 0;
};

}  // namespace tallyro::platform
