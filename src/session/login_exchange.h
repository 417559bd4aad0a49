// Signing in: the login datagram, the server's answers, the time-out, and the
// back and download clicks of the loading page.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "context/context.h"
#include "pages/page_switcher.h"
#include "platform/udp_endpoint.h"

namespace tallyro::session {

inline constexpr const char* kClientVersion = "10.09";

// Status line texts and colours.
inline constexpr const char* kTextWrongPassword = "帐户与密码错误，请重试";
inline constexpr const char* kTextBadAccountState = "账户状态异常，请联系销售商";
inline constexpr const char* kTextOldVersion = "当前版本过旧 点击下载最新版";
inline constexpr const char* kTextOtherUser = "有另一用户在异地登录";
inline constexpr const char* kTextTimedOut = "连接超时，请重试。";
inline constexpr const char* kTextPasswordNotSendable = "密码含有无法发送的字符，请重新输入";
inline constexpr const char* kTextNameNotSendable = "帐号含有无法发送的字符，请重新输入";
inline constexpr const char* kTextNotSent = "无法发送登录信息，请检查网络后重试";
inline constexpr std::uint32_t kColourWhite = 0xFFFFFF;
inline constexpr std::uint32_t kColourVersion = 0x00C8FF;
inline constexpr const char* kAccountPrefix = "帐号: ";

class LoginExchange {
public:
    using ShowMessage = std::function<void(const std::string& title, const std::string& id)>;
    LoginExchange(context::Context& context, pages::PageSwitcher& pages, ShowMessage showMessage);
    void registerHandlers(ui::Handlers& handlers);

    void Login_Bot_Click();
    void PassWord_Txt_KeyPress(std::int16_t& key);
    void UserName_Txt_KeyPress(std::int16_t& key);
    // Datagrams reach it straight from the endpoint, not through the handler table.
    // Only datagrams from the login server's address and port are looked at:
    // nobody else may sign the user in, push a message or end the session.
    void Link_DataArrival(const platform::Datagram& datagram);
    void Timer_Monitor_Timer();
    void LoginClose_Bot_Click();
    void Login_Txt_Click();

private:
    // The digest of what the password box holds, or nothing when the password
    // has no GBK form.
    std::optional<std::string> passwordDigest();
    void refuseLocally(const char* why);
    void answerErr(const std::string& code);
    void answerLoginOk();

    context::Context& ctx_;
    pages::PageSwitcher& pages_;
    ShowMessage showMessage_;
};

}  // namespace tallyro::session
