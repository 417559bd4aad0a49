// Datagrams reaching the login exchange. The first byte picks the sender (the login
// server, another host, or the server's host on another port); the rest is the
// datagram. Properties: a stranger changes nothing and gets no answer; the only
// answer is a probe echoed as the leading bytes of the datagram; everything shown
// to the user is valid UTF-8.
#include <cstddef>
#include <cstdint>

#include "fuzz_window.h"
#include "session/login_exchange.h"

using namespace tallyro;

namespace {

struct Shown {
    std::string title;
    std::string id;
    int count = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::FuzzWindow w;
    static Shown shown;
    static session::LoginExchange login(w.context, w.switcher,
                                        [](const std::string& title, const std::string& id) {
                                            shown.title = title;
                                            shown.id = id;
                                            ++shown.count;
                                        });
    if (size == 0)
        return 0;
    w.reset();
    shown = {};
    const std::string status = "正在获取登录信息";
    w.el("Login_Txt").setText(status);
    w.el("UserName_Txt").setText("trader");
    w.form->takeChanges();

    platform::Datagram d;
    d.bytes.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    d.senderHost = w.deployment.loginHost;
    d.senderPort = w.deployment.loginPort;
    const int sender = data[0] % 3;
    if (sender == 1)
        d.senderHost = "127.0.0.2";
    if (sender == 2)
        d.senderPort = static_cast<std::uint16_t>(w.deployment.loginPort + 1);
    login.Link_DataArrival(d);

    if (sender != 0) {
        fuzz::require(w.fake.udp.sent.empty() && shown.count == 0 && !w.pageChanged());
        fuzz::require(w.el("Login_Txt").text() == status);
        fuzz::require(!w.form->hasChanges());
        return 0;
    }
    fuzz::require(w.fake.udp.sent.size() <= 1);
    if (!w.fake.udp.sent.empty()) {
        const std::string& echo = w.fake.udp.sent[0];
        fuzz::require(echo.rfind("TestLogin|", 0) == 0 && d.bytes.rfind(echo, 0) == 0);
        fuzz::require(echo.size() == d.bytes.size() || d.bytes[echo.size()] == '|');
    }
    fuzz::require(shown.count <= 1);
    fuzz::require(text::isValidUtf8(shown.title) && text::isValidUtf8(shown.id));
    fuzz::require(text::isValidUtf8(w.el("Login_Txt").text()));
    return 0;
}
