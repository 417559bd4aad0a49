// The login endpoint: one UDP socket talking to the login server.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tallyro::platform {

struct Datagram {
    std::string bytes;
    std::string senderHost;  // dotted IPv4 (or IPv6) text
    std::uint16_t senderPort = 0;
};

class UdpEndpoint {
public:
    virtual ~UdpEndpoint() = default;
    virtual void setRemote(const std::string& host, std::uint16_t port) = 0;
    // Sends one datagram to the remote host; the first send binds a local port,
    // on which the answers arrive. Returns false when it could not be sent.
    virtual bool send(const std::string& bytes) = 0;
    // Called on the user-interface thread for every datagram that arrives.
    virtual void setArrival(std::function<void(const Datagram&)> onArrival) = 0;
};

}  // namespace tallyro::platform
