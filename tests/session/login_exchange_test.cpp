// Signing in: what is sent, every answer in every state, the time-out, the
// remembered account, and datagrams that must be ignored.
#include "client_fixture.h"
#include "data/local_database.h"
#include "session/md5.h"

namespace tallyro::session {
namespace {

using test::ClientTest;

constexpr const char* kAbcDigest = "900150983CD24FB0D6963F7D28E17F72";  // RFC 1321 "abc"

class LoginExchangeTest : public ClientTest {
protected:
    void SetUp() override {
        start();
        ASSERT_TRUE(started);
    }
    void arrive(const std::string& bytes) { fake.udp.arrive(bytes); }
    void signIn(const char* name = "trader", const char* password = "abc") {
        typeText("UserName_Txt", name);
        typeText("PassWord_Txt", password);
        click("Login_Bot");
    }
    bool onLoadingPage() { return el("Login_Txt").visible() && el("LoginClose_Bot").visible(); }
    bool onSearchPage() { return el("Frame_Search").visible() && el("ToolsTree").visible(); }
    bool animating() { return fake.clock.running(&el("PlayFlash")); }
    bool timingOut() { return fake.clock.running(&el("Timer_Monitor")); }
    std::optional<data::AccountRow> saved() {
        auto db = data::LocalDatabase::open(files.database, nullptr);
        return db ? db->readAccount() : std::nullopt;
    }
};

TEST_F(LoginExchangeTest, LoginSendsNameDigestAndVersionThenWaits) {
    signIn("trader", "abc");
    ASSERT_EQ(fake.udp.sent.size(), 1u);
    EXPECT_EQ(fake.udp.sent[0], std::string("Login|trader|") + kAbcDigest + "|10.09");
    EXPECT_TRUE(onLoadingPage());
    EXPECT_EQ(el("Login_Txt").text(), "正在获取登录信息");
    EXPECT_TRUE(animating());
    EXPECT_TRUE(timingOut());
}

TEST_F(LoginExchangeTest, EnterInThePasswordBoxLogsInAndIsSwallowed) {
    typeText("UserName_Txt", "trader");
    typeText("PassWord_Txt", "abc");
    EXPECT_EQ(type("PassWord_Txt", 13), 0);
    EXPECT_EQ(el("PassWord_Txt").text(), "abc");
    ASSERT_EQ(fake.udp.sent.size(), 1u);
    EXPECT_TRUE(onLoadingPage());
}

TEST_F(LoginExchangeTest, NothingIsValidatedBeforeSending) {
    click("Login_Bot");
    // An empty password is digested like any other; a name is sent as typed.
    EXPECT_EQ(fake.udp.sent.at(0), "Login||D41D8CD98F00B204E9800998ECF8427E|10.09");
    click("LoginClose_Bot");
    typeText("UserName_Txt", " a|b ");
    click("Login_Bot");
    EXPECT_EQ(fake.udp.sent.at(1), "Login| a|b |D41D8CD98F00B204E9800998ECF8427E|10.09");
}

TEST_F(LoginExchangeTest, ChineseNameTravelsAsGbk) {
    el("UserName_Txt").setText("中");
    click("Login_Bot");
    EXPECT_EQ(fake.udp.sent.at(0).substr(0, 9), "Login|\xD6\xD0|");
}

TEST_F(LoginExchangeTest, PasswordWithoutAGbkFormIsNotSent) {
    el("PassWord_Txt").setText("pass😀");
    click("Login_Bot");
    EXPECT_TRUE(fake.udp.sent.empty());
    EXPECT_TRUE(onLoadingPage());
    EXPECT_EQ(el("Login_Txt").text(), kTextPasswordNotSendable);
    EXPECT_FALSE(animating());
    EXPECT_FALSE(timingOut());
}

TEST_F(LoginExchangeTest, LoginOkSignsInAndSavesTheDigest) {
    signIn("trader", "abc");
    arrive("LoginOk|whatever|else");
    EXPECT_TRUE(onSearchPage());
    EXPECT_EQ(el("Info_UserName").text(), "帐号: trader");
    EXPECT_FALSE(animating());
    EXPECT_FALSE(timingOut());
    EXPECT_EQ(saved(), (data::AccountRow{"No", "trader", kAbcDigest}));
}

TEST_F(LoginExchangeTest, TickedBoxRemembersTheAccountForTheNextStart) {
    el("Chk_AutoLogin").setValue(1);
    signIn("trader", "abc");
    arrive("LoginOk");
    EXPECT_EQ(saved()->autoLogin, "Yes");
    start();
    EXPECT_EQ(el("UserName_Txt").text(), "trader");
    EXPECT_EQ(el("PassWord_Txt").text(), kAbcDigest);
    EXPECT_EQ(state().TempAutoLogin, "Yes");
}

TEST_F(LoginExchangeTest, RememberedAccountSendsAndSavesTheStoredDigestUnchanged) {
    test::execSql(
        files.database,
        std::string("update [System] set AutoLogin='Yes', UserName='trader', PassWord='") +
            kAbcDigest + "';");
    start();
    EXPECT_EQ(type("PassWord_Txt", 13), 0);  // Enter keeps the stored digest
    EXPECT_EQ(fake.udp.sent.at(0), std::string("Login|trader|") + kAbcDigest + "|10.09");
    arrive("LoginOk");
    EXPECT_EQ(saved(), (data::AccountRow{"Yes", "trader", kAbcDigest}));
}

TEST_F(LoginExchangeTest, TypingIntoARememberedAccountAsksForThePasswordAgain) {
    test::execSql(
        files.database,
        std::string("update [System] set AutoLogin='Yes', UserName='trader', PassWord='") +
            kAbcDigest + "';");
    start();
    typeText("UserName_Txt", "x");
    EXPECT_EQ(el("PassWord_Txt").text(), "");
    EXPECT_EQ(state().TempAutoLogin, "No");
    typeText("PassWord_Txt", "abc");
    click("Login_Bot");
    EXPECT_EQ(fake.udp.sent.at(0), std::string("Login|traderx|") + kAbcDigest + "|10.09");
}

TEST_F(LoginExchangeTest, OneCharacterInThePasswordBoxMakesItATypedPassword) {
    test::execSql(files.database,
                  "update [System] set AutoLogin='Yes', UserName='trader', PassWord='ABC';");
    start();
    typeText("PassWord_Txt", "D");
    EXPECT_EQ(state().TempAutoLogin, "No");
    click("Login_Bot");
    EXPECT_EQ(fake.udp.sent.at(0), "Login|trader|" + Md5HexDigest("ABCD") + "|10.09");
}

struct Refusal {
    const char* datagram;
    const char* status;
    std::uint32_t colour;
};

class RefusalTest : public LoginExchangeTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, RefusalShowsItsTextStopsWaitingAndSavesNothing) {
    signIn();
    arrive(GetParam().datagram);
    EXPECT_TRUE(onLoadingPage());
    EXPECT_EQ(el("Login_Txt").text(), GetParam().status);
    EXPECT_EQ(el("Login_Txt").foreColor(), GetParam().colour);
    EXPECT_FALSE(animating());
    EXPECT_FALSE(timingOut());
    EXPECT_EQ(saved()->userName, "");
    advance(10000);  // no time-out text over a refusal
    EXPECT_EQ(el("Login_Txt").text(), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, RefusalTest,
    ::testing::Values(Refusal{"Err|Password", "帐户与密码错误，请重试", 0xFFFFFF},
                      Refusal{"Err|Style", "账户状态异常，请联系销售商", 0xFFFFFF},
                      Refusal{"Err|ErrCode", "当前版本过旧 点击下载最新版", 0x00C8FF},
                      Refusal{"Err|Users", "有另一用户在异地登录", 0xFFFFFF},
                      Refusal{"Err|Unknown|x", "正在获取登录信息", 0xFFFFFF},
                      Refusal{"Err|", "正在获取登录信息", 0xFFFFFF}));

TEST_F(LoginExchangeTest, VersionColourTurnsWhiteAgainOnTheNextRefusal) {
    signIn();
    arrive("Err|ErrCode");
    click("Login_Txt");
    EXPECT_EQ(fake.shell.opened, std::vector<std::string>{"http://web.test/Qelvix.exe"});
    arrive("Err|Password");
    EXPECT_EQ(el("Login_Txt").foreColor(), 0xFFFFFFu);
    click("Login_Txt");  // any other text opens nothing
    EXPECT_EQ(fake.shell.opened.size(), 1u);
}

TEST_F(LoginExchangeTest, NoAnswerTimesOutAfterFiveSeconds) {
    signIn();
    advance(4999);
    EXPECT_EQ(el("Login_Txt").text(), "正在获取登录信息");
    advance(1);
    EXPECT_EQ(el("Login_Txt").text(), "连接超时，请重试。");
    EXPECT_FALSE(timingOut());
    EXPECT_FALSE(animating());
    EXPECT_EQ(fake.udp.sent.size(), 1u);  // nothing resent
}

TEST_F(LoginExchangeTest, LateLoginOkStillSignsIn) {
    signIn();
    advance(6000);
    arrive("LoginOk");
    EXPECT_TRUE(onSearchPage());
    EXPECT_EQ(saved()->userName, "trader");
}

TEST_F(LoginExchangeTest, BackButtonReturnsToTheLoginPageAndStopsTheTimeOut) {
    signIn();
    form->form().window().setHeight(7000);
    click("LoginClose_Bot");
    EXPECT_TRUE(el("Login_Bot").visible());
    EXPECT_FLOAT_EQ(form->form().window().height(), 8550);
    advance(6000);
    EXPECT_EQ(el("Login_Txt").text(), "正在获取登录信息");
    arrive("LoginOk");  // an answer after going back still signs in
    EXPECT_TRUE(onSearchPage());
}

TEST_F(LoginExchangeTest, SessionTakenOverElsewhere) {
    signIn();
    arrive("LoginOk");
    arrive("Err|Users");
    EXPECT_FALSE(el("Frame_Search").visible());
    EXPECT_TRUE(onLoadingPage());
    EXPECT_EQ(el("Login_Txt").text(), "有另一用户在异地登录");
    EXPECT_FALSE(animating());
    click("LoginClose_Bot");
    EXPECT_TRUE(el("Login_Bot").visible());
}

TEST_F(LoginExchangeTest, ProbesAreEchoedInEveryStateAndChangeNothing) {
    arrive("TestLogin|12345");
    signIn();
    arrive("TestLogin|");
    arrive("TestLogin|a|b");
    arrive("TestLogin|\xD6\xD0\xCE\xC4");  // GBK, echoed byte for byte
    arrive("TestLogin|\xFF\x80z\x81");     // not GBK at all: still the same bytes
    arrive("TestLogin|\x81\x7Cz|tail");    // a "|" inside a character splits nothing
    ASSERT_EQ(fake.udp.sent.size(), 7u);
    EXPECT_EQ(fake.udp.sent[0], "TestLogin|12345");
    EXPECT_EQ(fake.udp.sent[2], "TestLogin|");
    EXPECT_EQ(fake.udp.sent[3], "TestLogin|a");
    EXPECT_EQ(fake.udp.sent[4], "TestLogin|\xD6\xD0\xCE\xC4");
    EXPECT_EQ(fake.udp.sent[5], "TestLogin|\xFF\x80z\x81");
    EXPECT_EQ(fake.udp.sent[6], "TestLogin|\x81\x7Cz");
    EXPECT_TRUE(onLoadingPage());
    EXPECT_TRUE(timingOut());
}

TEST_F(LoginExchangeTest, MalformedDatagramsAreIgnored) {
    signIn();
    for (const char* d :
         {"", "TestLogin", "Err", "Msg|only a title", "Nonsense|x", "loginok", "|LoginOk"}) {
        arrive(d);
    }
    arrive(std::string("\xFF\xFE\x00\x01", 4));
    EXPECT_EQ(fake.udp.sent.size(), 1u);
    EXPECT_TRUE(onLoadingPage());
    EXPECT_TRUE(timingOut());
    EXPECT_EQ(form->formMessage(), nullptr);
}

TEST_F(LoginExchangeTest, DatagramsFromAnyoneButTheLoginServerAreDropped) {
    signIn();
    fake.udp.arriveFrom("LoginOk", "127.0.0.1", test::kLoginPort);
    fake.udp.arriveFrom("LoginOk", test::kLoginHost, 4117);
    fake.udp.arriveFrom("Msg|x|1", "10.0.0.5", 4116);
    fake.udp.arriveFrom("TestLogin|1", "127.0.0.1", 9999);
    EXPECT_TRUE(onLoadingPage());
    EXPECT_EQ(form->formMessage(), nullptr);
    EXPECT_EQ(fake.udp.sent.size(), 1u);
}

TEST_F(LoginExchangeTest, UnsentLoginSaysSoInsteadOfWaiting) {
    fake.udp.failSends = true;
    signIn();
    EXPECT_EQ(el("Login_Txt").text(), kTextNotSent);
    EXPECT_FALSE(timingOut());
}

}  // namespace
}  // namespace tallyro::session
