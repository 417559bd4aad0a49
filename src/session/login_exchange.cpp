#include "session/login_exchange.h"

#include <optional>
#include <vector>

#include "data/local_database.h"
#include "session/md5.h"
#include "text/fields.h"
#include "text/gbk_codec.h"

namespace tallyro::session {

LoginExchange::LoginExchange(context::Context& context, pages::PageSwitcher& pages,
                             ShowMessage showMessage)
    : ctx_(context), pages_(pages), showMessage_(std::move(showMessage)) {}

void LoginExchange::registerHandlers(ui::Handlers& handlers) {
    using ui::EventKind;
    handlers.on("Login_Bot", EventKind::Click, [this](ui::Event&) { Login_Bot_Click(); });
    handlers.on("PassWord_Txt", EventKind::KeyPress,
                [this](ui::Event& e) { PassWord_Txt_KeyPress(e.key); });
    handlers.on("UserName_Txt", EventKind::KeyPress,
                [this](ui::Event& e) { UserName_Txt_KeyPress(e.key); });
    handlers.on("Timer_Monitor", EventKind::Timer, [this](ui::Event&) { Timer_Monitor_Timer(); });
    handlers.on("LoginClose_Bot", EventKind::Click, [this](ui::Event&) { LoginClose_Bot_Click(); });
    handlers.on("Login_Txt", EventKind::Click, [this](ui::Event&) { Login_Txt_Click(); });
}

std::optional<std::string> LoginExchange::passwordDigest() {
    const std::string& password = ctx_.el("PassWord_Txt").text();
    // A remembered account's box already holds the stored digest.
    if (ctx_.state.TempAutoLogin == "Yes")
        return password;
    const auto bytes = text::utf8ToGbk(password);
    if (!bytes)
        return std::nullopt;
    return Md5HexDigest(*bytes);
}

void LoginExchange::refuseLocally(const char* why) {
    pages_.ShowPage(pages::kLoadingPage);
    ctx_.el("Login_Txt").setText(why);
    ctx_.el("PlayFlash").setEnabled(false);
    ctx_.el("Timer_Monitor").setEnabled(false);
}

void LoginExchange::Login_Bot_Click() {
    const auto digest = passwordDigest();
    if (!digest) {
        refuseLocally(kTextPasswordNotSendable);
        return;
    }
    const auto name = text::utf8ToGbk(ctx_.el("UserName_Txt").text());
    if (!name) {
        refuseLocally(kTextNameNotSendable);
        return;
    }
    const std::string datagram = "Login|" + *name + "|" + *digest + "|" + kClientVersion;
    if (!ctx_.platform.link.send(datagram)) {
        refuseLocally(kTextNotSent);
        return;
    }
    pages_.ShowPage(pages::kLoadingPage);
}

void LoginExchange::PassWord_Txt_KeyPress(std::int16_t& key) {
    if (key == ui::kKeyEnter) {
        key = 0;
        Login_Bot_Click();
        return;
    }
    ctx_.state.TempAutoLogin = "No";
}

void LoginExchange::UserName_Txt_KeyPress(std::int16_t&) {
    ctx_.state.TempAutoLogin = "No";
    ctx_.el("PassWord_Txt").setText("");
}

void LoginExchange::Link_DataArrival(const platform::Datagram& datagram) {
    if (datagram.senderHost != ctx_.deployment.loginHost ||
        datagram.senderPort != ctx_.deployment.loginPort)
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
        ctx_.platform.link.send("TestLogin|" + std::string(f[1]));
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
    ui::Element& status = ctx_.el("Login_Txt");
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
        pages_.ShowPage(pages::kLoadingPage);
        status.setText(kTextOtherUser);
    }
    ctx_.el("PlayFlash").setEnabled(false);
    ctx_.el("Timer_Monitor").setEnabled(false);
}

void LoginExchange::answerLoginOk() {
    const std::string& name = ctx_.el("UserName_Txt").text();
    ctx_.el("Info_UserName").setText(kAccountPrefix + name);
    pages_.ShowPage(pages::kSearchMainPage);
    data::LocalDatabase* db = ctx_.database;
    if (!db)
        return;
    // The stored password is always the digest, never the typed text.
    const auto digest = passwordDigest();
    if (!digest)
        return;
    db->saveAccount({ctx_.el("Chk_AutoLogin").value() != 0 ? "Yes" : "No", name, *digest});
}

void LoginExchange::Timer_Monitor_Timer() {
    ctx_.el("Login_Txt").setText(kTextTimedOut);
    ctx_.el("Timer_Monitor").setEnabled(false);
    ctx_.el("PlayFlash").setEnabled(false);
}

void LoginExchange::LoginClose_Bot_Click() {
    pages_.ShowPage(pages::kLoginPage);
    ctx_.form.window().setHeight(8550);
}

void LoginExchange::Login_Txt_Click() {
    if (ctx_.el("Login_Txt").text() != kTextOldVersion)
        return;
    ctx_.platform.shell.openUrl(ctx_.deployment.webBase + "/Qelvix.exe");
}

}  // namespace tallyro::session
