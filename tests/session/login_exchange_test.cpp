// Signing in: what is sent, every answer, the time-out, the remembered account, and the rest.
#include <tuple>

#include "client_fixture.h"
#include "data/local_database.h"
#include "session/md5.h"

namespace tallyro::session {
namespace {

constexpr const char* kAbcDigest = "900150983CD24FB0D6963F7D28E17F72";  // RFC 1321 "abc"
constexpr const char* kWaiting = "正在获取登录信息";

std::string loginOf(const std::string& name, const std::string& digest) {
    return "Login|" + name + "|" + digest + "|10.09";
}

class LoginExchangeTest : public test::ClientTest {
protected:
    void SetUp() override {
        start();
        ASSERT_TRUE(started);
    }
    void signIn() {
        typeText("UserName_Txt", "trader");
        typeText("PassWord_Txt", "abc");
        click("Login_Bot");
    }
    int waiting() {
        return fake.clock.running(&el("PlayFlash")) + fake.clock.running(&el("Timer_Monitor"));
    }
    data::AccountRow saved() {
        return *data::LocalDatabase::open(files.database, {})->readAccount();
    }
};

TEST_F(LoginExchangeTest, EnterSendsNameDigestAndVersionAndEvenALateLoginOkSignsIn) {
    typeText("UserName_Txt", "trader");
    typeText("PassWord_Txt", "abc");
    EXPECT_EQ(type("PassWord_Txt", 13), 0);  // swallowed
    EXPECT_EQ(waiting(), 2);
    advance(4999);
    EXPECT_EQ(el("Login_Txt").text(), kWaiting);
    advance(1);
    EXPECT_TRUE(el("Login_Txt").text() == kTextTimedOut && waiting() == 0);
    EXPECT_EQ(fake.udp.sent, std::vector<std::string>{loginOf("trader", kAbcDigest)});
    fake.udp.arrive("LoginOk|whatever|else");  // late, but still welcome
    EXPECT_TRUE(el("Frame_Search").visible() && el("Info_UserName").text() == "帐号: trader");
    EXPECT_EQ(saved(), (data::AccountRow{"No", "trader", kAbcDigest}));
}

TEST_F(LoginExchangeTest, NameAndPasswordGoAsTypedOrAreRefusedOnTheSpot) {
    // Name, password, whether sending fails, and what is sent or the status of the refusal.
    const std::tuple<const char*, const char*, bool, std::string> cases[] = {
        {" a|b ", "", false, loginOf(" a|b ", Md5HexDigest(""))},
        {"中", "", false, loginOf("\xD6\xD0", Md5HexDigest(""))},
        {"trader", "pass😀", false, kTextPasswordNotSendable},
        {"trader😀", "abc", false, kTextNameNotSendable},
        {"trader", "abc", true, kTextNotSent}};
    for (const auto& [name, password, sendFails, outcome] : cases) {
        click("LoginClose_Bot");
        fake.udp.sent.clear();
        el("UserName_Txt").setText(name);
        el("PassWord_Txt").setText(password);
        fake.udp.failSends = sendFails;
        click("Login_Bot");
        EXPECT_TRUE(el("LoginClose_Bot").visible());
        const bool sent = outcome.starts_with("Login|");
        EXPECT_EQ(fake.udp.sent, sent ? std::vector{outcome} : std::vector<std::string>{});
        EXPECT_EQ(el("Login_Txt").text() + std::to_string(waiting()),
                  sent ? kWaiting + std::string("2") : outcome + "0");
    }
}

TEST_F(LoginExchangeTest, RememberedAccountSendsItsStoredDigestUntilSomethingIsTyped) {
    el("Chk_AutoLogin").setValue(1);
    signIn();
    fake.udp.arrive("LoginOk");
    start();
    EXPECT_EQ(type("PassWord_Txt", 13), 0);
    fake.udp.arrive("LoginOk");
    EXPECT_EQ(saved(), (data::AccountRow{"Yes", "trader", kAbcDigest}));
    fake.udp.arrive("Err|Users");  // taken over elsewhere: back to the loading page
    EXPECT_TRUE(!el("Frame_Search").visible() && el("Login_Txt").text() == kTextOtherUser);
    start();
    typeText("PassWord_Txt", "D");  // one character makes the box a typed password
    click("Login_Bot");
    start();
    typeText("UserName_Txt", "x");  // another name asks for the password again
    EXPECT_EQ(el("PassWord_Txt").text() + state().TempAutoLogin, "No");
    EXPECT_EQ(fake.udp.sent, (std::vector<std::string>{
                                 loginOf("trader", kAbcDigest), loginOf("trader", kAbcDigest),
                                 loginOf("trader", Md5HexDigest(kAbcDigest + std::string("D")))}));
}

// The version text alone is blue and opens the download; the next refusal turns it white.
// The back button returns to the login page at its height and stops the time-out.
TEST_F(LoginExchangeTest, RefusalsShowTheirTextInTheirColourAndStopWaitingAsTheBackButtonDoes) {
    const std::tuple<const char*, const char*, std::uint32_t> cases[] = {
        {"Err|ErrCode", kTextOldVersion, 0x00C8FF},
        {"Err|Password", kTextWrongPassword, 0xFFFFFF},
        {"Err|Style", kTextBadAccountState, 0xFFFFFF},
        {"Err|Users", kTextOtherUser, 0xFFFFFF},
        {"Err|Unknown|x", kWaiting, 0xFFFFFF}};
    signIn();
    for (const auto& [datagram, status, colour] : cases) {
        fake.udp.arrive(datagram);  // and no time-out text over the refusal
        EXPECT_TRUE(el("Login_Txt").text() == status && el("Login_Txt").foreColor() == colour &&
                    waiting() == 0)
            << datagram;
        click("Login_Txt");
        click("LoginClose_Bot");
        click("Login_Bot");
    }
    EXPECT_EQ(fake.shell.opened, std::vector<std::string>{"http://web.test/Qelvix.exe"});
    form->form().window().setHeight(7000);
    click("LoginClose_Bot");
    EXPECT_TRUE(el("Login_Bot").visible() && form->form().window().height() == 8550 &&
                waiting() == 0);
}

// Probes are echoed byte for byte; what is no answer from the login server changes nothing.
TEST_F(LoginExchangeTest, ProbesAreEchoedAndMalformedOrForeignDatagramsIgnored) {
    fake.udp.arrive("TestLogin|12345");
    signIn();
    for (const char* d :
         {"TestLogin|", "TestLogin|a|b", "TestLogin|\xFF\x80z\x81", "TestLogin|\x81\x7Cz|tail", "",
          "TestLogin", "Err", "Msg|only a title", "Nonsense|x", "loginok", "|LoginOk"})
        fake.udp.arrive(d);
    fake.udp.arrive(std::string("\xFF\xFE\x00\x01", 4));
    fake.udp.arriveFrom("LoginOk", "127.0.0.1", test::kLoginPort);
    fake.udp.arriveFrom("LoginOk", test::kLoginHost, 4117);
    EXPECT_EQ(fake.udp.sent, (std::vector<std::string>{
                                 "TestLogin|12345", loginOf("trader", kAbcDigest), "TestLogin|",
                                 "TestLogin|a", "TestLogin|\xFF\x80z\x81", "TestLogin|\x81\x7Cz"}));
    EXPECT_TRUE(waiting() == 2 && form->formMessage() == nullptr);
    fake.udp.arrive("Msg|\xD6\xD0|7");  // a message: its title in GBK, then its number
    EXPECT_EQ(form->formMessage()->at("NewsBt").text(), "中");
}

}  // namespace
}  // namespace tallyro::session
