#include "session/login_exchange.h"

#include <optional>
#include <vector>

#include "data/local_database.h"
#include "session/md5.h"
#include "text/fields.h"
#include "text/gbk_codec.h"

namespace tallyro::session {

LoginExchange::LoginExchange(app::Context& context, ShowMessage showMessage)
    : c_(context), showMessage_(std::move(showMessage)) {}

void LoginExchange::registerHandlers(app::Handlers& handlers) {
    using app::EventKind;
    handlers.on("Login_Bot", EventKind::Click, [this](app::Event&) { Login_Bot_Click(); });
    handlers.on("PassWord_Txt", EventKind::KeyPress,
                [this](app::Event& e) { PassWord_Txt_KeyPress(e.key); });
    handlers.on("UserName_Txt", EventKind::KeyPress,
                [this](app::Event& e) { UserName_Txt_KeyPress(e.key); });
    handlers.on("Timer_Monitor", EventKind::Timer, [this](app::Event&) { Timer_Monitor_Timer(); });
    handlers.on("LoginClose_Bot", EventKind::Click,
                [this](app::Event&) { LoginClose_Bot_Click(); });
    handlers.on("Login_Txt", EventKind::Click, [this](app::Event&) { Login_Txt_Click(); });
}

std::optional<std::string> LoginExchange::passwordDigest() {
    const std::string& password = c_.el("PassWord_Txt").text();
    // A remembered account's box already holds the stored digest.
    if (c_.state.TempAutoLogin == "Yes")
        return password;
    const auto bytes = text::utf8ToGbk(password);
    if (!bytes)
        return std::nullopt;
    return Md5HexDigest(*bytes);
}

void LoginExchange::refuseLocally(const char* why) {
    c_.ShowPage(app::kLoadingPage);
    c_.el("Login_Txt").setText(why);
    c_.el("PlayFlash").setEnabled(false);
    c_.el("Timer_Monitor").setEnabled(false);
}

void LoginExchange::Login_Bot_Click() {
    const auto digest = passwordDigest();
    if (!digest) {
        refuseLocally(kTextPasswordNotSendable);
        return;
    }
    const auto name = text::utf8ToGbk(c_.el("UserName_Txt").text());
    if (!name) {
        refuseLocally(kTextNameNotSendable);
        return;
    }
    const std::string datagram = "Login|" + *name + "|" + *digest + "|" + kClientVersion;
    if (!c_.platform.link.send(datagram)) {
        refuseLocally(kTextNotSent);
        return;
    }
    c_.ShowPage(app::kLoadingPage);
}

void LoginExchange::PassWord_Txt_KeyPress(std::int16_t& key) {
    if (key == app::kKeyEnter) {
        key = 0;
        Login_Bot_Click();
        return;
    }
    c_.state.TempAutoLogin = "No";
}

void LoginExchange::UserName_Txt_KeyPress(std::int16_t&) {
    c_.state.TempAutoLogin = "No";
    c_.el("PassWord_Txt").setText("");
}

void LoginExchange::Link_DataArrival(const platform::Datagram& datagram) {
    if (datagram.senderHost != c_.deployment.loginHost ||
        datagram.senderPort != c_.deployment.loginPort)
        return;
    if (datagram.bytes.empty())
        return;
    // Fields are cut from the bytes as they came, so that a probe is echoed byte
    // for byte, whatever it holds; only the fields shown to the user are decoded.
    const std::vector<std::string_view> f = text::splitGbkFields(datagram.bytes);
    const std::string_view kind = f[0];
    if (kind == "TestLogin") {
        if (f.size() < 2)
            return;
        c_.platform.link.send("TestLogin|" + std::string(f[1]));
    } else if (kind == "Err") {
        if (f.size() < 2)
            return;
        answerErr(text::gbkToUtf8(f[1]));
    } else if (kind == "LoginOk") {
        answerLoginOk();
    } else if (kind == "Msg") {
        if (f.size() < 3)
            return;
        showMessage_(text::gbkToUtf8(f[1]), text::gbkToUtf8(f[2]));
    }
}

void LoginExchange::answerErr(const std::string& code) {
    ui::Element& status = c_.el("Login_Txt");
    if (code == "Password")
        status.setText(kTextWrongPassword);
    if (code == "Style")
        status.setText(kTextBadAccountState);
    if (code == "ErrCode") {
        status.setText(kTextOldVersion);
        status.setForeColor(kColourVersion);
    } else {
        status.setForeColor(kColourWhite);
    }
    if (code == "Users") {
        c_.ShowPage(app::kLoadingPage);
        status.setText(kTextOtherUser);
    }
    c_.el("PlayFlash").setEnabled(false);
    c_.el("Timer_Monitor").setEnabled(false);
}

void LoginExchange::answerLoginOk() {
    const std::string& name = c_.el("UserName_Txt").text();
    c_.el("Info_UserName").setText(kAccountPrefix + name);
    c_.ShowPage(app::kSearchMainPage);
    data::LocalDatabase* db = c_.database();
    if (!db)
        return;
    // The stored password is always the digest, never the typed text.
    const auto digest = passwordDigest();
    if (!digest)
        return;
    db->saveAccount({c_.el("Chk_AutoLogin").value() != 0 ? "Yes" : "No", name, *digest});
}

void LoginExchange::Timer_Monitor_Timer() {
    c_.el("Login_Txt").setText(kTextTimedOut);
    c_.el("Timer_Monitor").setEnabled(false);
    c_.el("PlayFlash").setEnabled(false);
}

void LoginExchange::LoginClose_Bot_Click() {
    c_.ShowPage(app::kLoginPage);
    c_.form.window().setHeight(8550);
}

void LoginExchange::Login_Txt_Click() {
    if (c_.el("Login_Txt").text() != kTextOldVersion)
        return;
    c_.platform.shell.openUrl(c_.deployment.webBase + "/Qelvix.exe");
}

}  // namespace tallyro::session
