// The element model: change tracking, events raised by property changes,
// control arrays and auto-sizing.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "ui/designs.h"
#include "ui/form.h"

namespace tallyro::ui {
namespace {

struct RecordingEvents : FormEvents {
    int resizes = 0;
    std::vector<std::string> changes;
    std::vector<std::string> timers;
    void resized(Form&) override { ++resizes; }
    void changed(Element& e) override {
        changes.push_back(e.name() + "=" + e.text() + std::to_string(e.value()));
    }
    void timerChanged(Element& t) override {
        timers.push_back(t.name() + (t.enabled() ? "+" : "-"));
    }
};

class ElementModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = makeFormLogin();
        form->setEvents(&events);
        form->setTextMeasure(&measure);
        form->takeChanges();
    }
    std::unique_ptr<Form> form;
    RecordingEvents events;
    test::FakeTextMeasure measure;
};

TEST_F(ElementModelTest, SettingAPropertyToItsValueRecordsAndRaisesNothing) {
    Element& w = form->window();
    w.setWidth(w.width());
    form->at("SearchForm_Text").setText(form->at("SearchForm_Text").text());
    form->at("Login_Bot").setVisible(form->at("Login_Bot").visible());
    EXPECT_FALSE(form->hasChanges());
    EXPECT_EQ(events.resizes, 0);
    EXPECT_TRUE(events.changes.empty());
}

TEST_F(ElementModelTest, ResizeRaisedOncePerRealSizeChange) {
    Element& w = form->window();
    w.setHeight(8550);
    w.setWidth(3600);
    w.setWidth(3600);
    w.setLeft(100);  // moving is not resizing
    EXPECT_EQ(events.resizes, 2);
}

TEST_F(ElementModelTest, TextBoxAndScrollBarRaiseChangeInsideTheSetter) {
    form->at("SearchForm_Text").setText("600");
    form->at("Frame_TableBar").setValue(3);
    form->at("Frame_TableBar").setValue(3);
    // Labels take captions silently.
    form->at("Login_Txt").setText("x");
    EXPECT_EQ(events.changes,
              (std::vector<std::string>{"SearchForm_Text=6000", "Frame_TableBar=3"}));
}

TEST_F(ElementModelTest, ScrollBarValueIsClampedToItsRange) {
    Element& bar = form->at("Frame_TableBar");
    bar.setValue(15);
    EXPECT_EQ(bar.value(), 10);
    bar.setValue(-4);
    EXPECT_EQ(bar.value(), 0);
}

TEST_F(ElementModelTest, NegativeSizesClampToZeroButPositionsMayBeNegative) {
    Element& box = form->at("Frame_TableBox");
    box.setTop(-478.5f);
    box.setHeight(-20);
    EXPECT_FLOAT_EQ(box.top(), -478.5f);
    EXPECT_FLOAT_EQ(box.height(), 0);
}

TEST_F(ElementModelTest, TimersReportOnlyRealChanges) {
    Element& t = form->at("PlayFlash");
    t.setEnabled(true);
    t.setEnabled(true);
    t.setEnabled(false);
    form->at("Timer3").setEnabled(true);  // already running since creation
    EXPECT_EQ(events.timers, (std::vector<std::string>{"PlayFlash+", "PlayFlash-"}));
}

TEST_F(ElementModelTest, ChangeSetListsEachElementOnceWithAllItsChanges) {
    Element& label = form->at("Login_Txt");
    label.setVisible(true);
    label.setForeColor(0x00C8FF);
    label.setText("当前版本过旧 点击下载最新版");
    auto changes = form->takeChanges();
    ASSERT_EQ(changes.changed.size(), 1u);
    EXPECT_EQ(changes.changed[0].element, &label);
    EXPECT_EQ(changes.changed[0].bits & (kChangeVisible | kChangeColors | kChangeText),
              kChangeVisible | kChangeColors | kChangeText);
    EXPECT_FALSE(form->hasChanges());
    label.setVisible(false);
    EXPECT_EQ(form->takeChanges().changed.size(), 1u);
}

TEST_F(ElementModelTest, AutoSizeLabelTakesItsTextsSize) {
    Element& status = form->at("Login_Txt");
    status.setText("帐户与密码错误，请重试");  // 11 CJK characters at 12 pixels
    EXPECT_FLOAT_EQ(status.width(), 11 * 12 * 15);
    EXPECT_FLOAT_EQ(status.height(), 12 * 15);
}

TEST_F(ElementModelTest, AutoSizePictureBoxTakesItsBitmapsSize) {
    Element& login = form->at("Login_Bot");
    login.setPicture(121);  // 77 x 30 pixels
    EXPECT_FLOAT_EQ(login.width(), 1155);
    EXPECT_FLOAT_EQ(login.height(), 450);
    Element& frame = form->at("Frame_Search");  // not auto-size
    frame.setPicture(121);
    EXPECT_FLOAT_EQ(frame.width(), 3015);
}

TEST_F(ElementModelTest, ControlArrayMembersCopyTheTemplateAndComeAndGo) {
    EXPECT_EQ(form->count("GpID"), 1);
    Element& row = form->load("GpID", 1);
    EXPECT_EQ(row.text(), "股票代码");
    EXPECT_EQ(row.parent(), &form->at("Frame_TableBox"));
    EXPECT_FALSE(row.visible());
    EXPECT_EQ(&form->load("GpID", 1), &row);  // loading twice gives the same member
    EXPECT_EQ(form->count("GpID"), 2);
    form->unload("GpID", 1);
    form->unload("GpID", 0);  // the template stays
    EXPECT_EQ(form->count("GpID"), 1);
    EXPECT_EQ(form->find("GpID", 1), nullptr);
}

TEST_F(ElementModelTest, MemberLoadedAndUnloadedBetweenTwoLooksNeverReachesTheView) {
    form->load("GpBg", 1).setVisible(true);
    form->unload("GpBg", 1);
    auto changes = form->takeChanges();
    EXPECT_TRUE(changes.changed.empty());
    EXPECT_TRUE(changes.removed.empty());
}

TEST_F(ElementModelTest, UnloadingASeenMemberTellsTheViewItsId) {
    Element& row = form->load("GpBg", 1);
    const auto id = row.id();
    form->takeChanges();
    row.setBackColor(0xC8C8C8);
    form->unload("GpBg", 1);
    auto changes = form->takeChanges();
    EXPECT_TRUE(changes.changed.empty());
    EXPECT_EQ(changes.removed, std::vector<std::uint32_t>{id});
}

TEST_F(ElementModelTest, NavigatingToTheSameAddressIsStillANavigation) {
    Element& ad = form->at("WebAD");
    ad.navigate("http://x/ad.asp");
    form->takeChanges();
    ad.navigate("http://x/ad.asp");
    EXPECT_EQ(ad.navigations(), 2u);
    EXPECT_TRUE(form->hasChanges());
}

// The design tables as a whole: creation state of the main window.
TEST(DesignTablesTest, CreationStateShowsTheLoginPageAndRunsTwoTimers) {
    auto form = makeFormLogin();
    for (const char* name : {"Logo", "UserName_Label", "UserName_border", "PassWord_Label",
                             "PassWord_border", "Chk_AutoLogin", "LebAutoLogin", "Login_Bot",
                             "Jion_Label", "RePass_Label", "Web_Label"}) {
        EXPECT_TRUE(form->at(name).visible()) << name;
    }
    for (const char* name :
         {"LoadingLogo", "Login_Txt", "LoginClose_Bot", "Main_Logo", "Info_UserName", "ToolsTree",
          "Frame_Search", "Frame_results", "SearchClose_Bot", "WebAD", "IconLogo"}) {
        EXPECT_FALSE(form->at(name).visible()) << name;
    }
    std::vector<std::string> running;
    for (Element* e : form->elements()) {
        if (e->kind() == Kind::Timer && e->enabled())
            running.push_back(e->name());
    }
    EXPECT_EQ(running, (std::vector<std::string>{"SearchGpInfoMonitor", "Timer3"}));
    EXPECT_FALSE(form->at("ToolsTree_Bot", 5).visible());
    EXPECT_EQ(form->at("UserName_Txt").tabIndex(), 1);
    EXPECT_EQ(form->at("PassWord_Txt").tabIndex(), 2);
    EXPECT_EQ(form->at("Login_Bot").tabIndex(), 3);
}

TEST(DesignTablesTest, PopupAndMenuHolderHaveTheirElements) {
    auto popup = makeFormMessage();
    EXPECT_EQ(popup->at("WebSet").parent(), &popup->at("WebSetBox"));
    EXPECT_EQ(popup->at("NewsBt").text(), "信息标题");
    auto menu = makeFormMenu();
    const auto items = menu->children(menu->at("Menu_System"));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->text(), "官方网站");
    EXPECT_EQ(items[1]->text(), "退出软件");
}

}  // namespace
}  // namespace tallyro::ui
