// What the watch list needs from outside: the time of day, analysis requests
// asked for without a browser, and desktop notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tallyro::platform {

class WallClock {
public:
    virtual ~WallClock() = default;
    // Milliseconds since 1970-01-01 00:00 UTC.
    virtual std::int64_t nowMs() = 0;
};

// The outcome of one request: the answer address or why there is none.
struct Fetched {
    std::string url;       // the address asked for
    std::string location;  // its redirect's Location, made absolute; "" when none came
    std::string problem;   // "" or, in a few words, why there is no answer
};

// One HTTP GET at a time whose redirect is not followed: the service's answer
// is the redirect's address, read as the hidden browser would have reached it.
class QuoteFetcher {
public:
    virtual ~QuoteFetcher() = default;
    // Starts the request; a request still under way is abandoned, never reported.
    virtual void fetch(const std::string& url) = 0;
    // Called from the event loop with each request's outcome, once.
    virtual void setDone(std::function<void(const Fetched&)> done) = 0;
};

// Desktop notifications, through the desktop's notification service or, where
// there is none, the tray icon's message.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void notify(const std::string& title, const std::string& body, const std::string& tag) = 0;
    // Called with a notification's tag when the user clicks it.
    virtual void setClicked(std::function<void(const std::string& tag)> clicked) = 0;
};

}  // namespace tallyro::platform
