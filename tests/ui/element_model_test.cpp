// The element model (changes, raised events, control arrays, auto-size) and the designs.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "ui/designs.h"
#include "ui/form.h"

namespace tallyro::ui {
namespace {

struct RecordingEvents : FormEvents {
    std::string seen;  // resizes, changes and timers in order
    void resized(Form&) override { seen += "resized "; }
    void changed(Element& e) override {
        seen += e.name() + "=" + e.text() + std::to_string(e.value()) + " ";
    }
    void timerChanged(Element& t) override { seen += t.name() + (t.enabled() ? "+ " : "- "); }
};

class ElementModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        form->setEvents(&events);
        form->setTextMeasure(&measure);
        form->takeChanges();
    }
    Element& at(const char* name) { return form->at(name); }
    RecordingEvents events;
    test::FakeTextMeasure measure;
    std::unique_ptr<Form> form = makeFormLogin();
};

TEST_F(ElementModelTest, OnlyRealChangesAreRecordedAndRaised) {
    Element& w = form->window();
    for (Element* e : {&w, &at("Frame_TableBar"), &at("SearchForm_Text")}) {
        e->move(e->left(), e->top(), e->width(), e->height());
        e->setValue(e->value());
        e->setText(e->text());
        e->setVisible(e->visible());
        e->setSelected(e->selected());
    }
    EXPECT_TRUE(!form->hasChanges() && events.seen.empty());
    // Sizes stop at zero; positions may be negative.
    at("Frame_TableBox").move(0, -478.5f, 10, -20);
    EXPECT_EQ(at("Frame_TableBox").top() + at("Frame_TableBox").height(), -478.5f);

    w.setHeight(8550);
    w.setWidth(3600);
    w.setWidth(3600);
    w.setLeft(100);  // moving is not resizing
    at("SearchForm_Text").setText("600");
    for (int v : {15, 10, -4})  // clamped to the bar's range, 0 to 10
        at("Frame_TableBar").setValue(v);
    at("Login_Txt").setText("x");  // labels take captions silently
    for (bool on : {true, true, false})
        at("PlayFlash").setEnabled(on);
    at("Timer3").setEnabled(true);  // already running since creation
    for (int ms : {10, 20})         // its interval is 10
        at("Timer3").setInterval(ms);
    EXPECT_EQ(events.seen,
              "resized resized SearchForm_Text=6000 Frame_TableBar=10 Frame_TableBar=0 PlayFlash+ "
              "PlayFlash- Timer3+ ");
}

TEST_F(ElementModelTest, ChangeSetListsEachElementOnceWithAllItsChangesAndAutoSizeFits) {
    Element& label = at("Login_Txt");
    label.setVisible(true);
    label.setForeColor(0x00C8FF);
    label.setText("当前版本过旧 点击下载最新版");
    auto changes = form->takeChanges();
    const auto bits = kChangeVisible | kChangeColors | kChangeText;
    ASSERT_EQ(changes.changed.size(), 1u);
    EXPECT_TRUE(changes.changed[0].element == &label && (changes.changed[0].bits & bits) == bits &&
                !form->hasChanges());
    label.setVisible(false);
    at("WebAD").navigate(at("WebAD").location());  // the same address is still a navigation
    form->at("GpBg", 0).setSelected(true);
    changes = form->takeChanges();
    ASSERT_EQ(changes.changed.size(), 3u);
    EXPECT_TRUE(changes.changed[2].bits == kChangeSelected && form->at("GpBg", 0).selected());
    // Auto-size takes the text's or the bitmap's size.
    at("Login_Txt").setText("帐户与密码错误，请重试");  // 11 CJK characters at 12 pixels
    at("Login_Bot").setPicture(121);                    // 77 x 30 pixels
    at("Frame_Search").setPicture(121);                 // not auto-size
    EXPECT_EQ(
        (std::array{at("Login_Txt").width(), at("Login_Txt").height(), at("Login_Bot").width(),
                    at("Login_Bot").height(), at("Frame_Search").width()}),
        (std::array<float, 5>{11 * 12 * 15, 12 * 15, 1155, 450, 3015}));
}

// A member loaded and unloaded unseen never reaches the view; one seen is removed by id.
TEST_F(ElementModelTest, ControlArrayMembersCopyTheTemplateAndComeAndGo) {
    Element& row = form->load("GpID", 1);
    EXPECT_TRUE(row.text() == "股票代码" && row.parent() == &at("Frame_TableBox") &&
                !row.visible());
    EXPECT_TRUE(&form->load("GpID", 1) == &row && form->count("GpID") == 2);  // the same again
    form->load("GpBg", 1).setVisible(true);
    form->unload("GpBg", 1);
    auto changes = form->takeChanges();
    EXPECT_TRUE(changes.changed.size() == 1 && changes.removed.empty());  // the GpID member only

    const auto id = row.id();
    row.setBackColor(0xC8C8C8);
    form->unload("GpID", 1);
    form->unload("GpID", 0);  // the template stays
    EXPECT_TRUE(form->count("GpID") == 1 && !form->find("GpID", 1));
    EXPECT_THROW(form->load("GpID", 0), std::logic_error);
    changes = form->takeChanges();
    EXPECT_TRUE(changes.changed.empty() && changes.removed == std::vector<std::uint32_t>{id});
}

TEST(DesignTablesTest, CreationStateShowsTheLoginPageAndRunsTwoTimers) {
    auto form = makeFormLogin();
    EXPECT_EQ(&form->at(form->window().name()), &form->window());
    std::string shown, running;
    for (Element* e : form->elements()) {
        if (e->visible() && e->parent() == &form->window() && e->kind() != Kind::Timer)
            shown += e->name() + " ";
        if (e->kind() == Kind::Timer && e->enabled())
            running += e->name() + " ";
    }
    EXPECT_EQ(shown,
              "FormTop_Left FormTop_Cennet FormTop_Right FormCenent_Left FormCenent_Cennet "
              "FormCenent_Right FormBottom_Left FormBottom_Cennet FormBottom_Right Bot_Min "
              "Bot_Close Text1 Logo UserName_Label UserName_border PassWord_Label PassWord_border "
              "Chk_AutoLogin LebAutoLogin Login_Bot Jion_Label RePass_Label Web_Label WebQuestion "
              "WebBrowser1 Link Label_Ask ");
    EXPECT_EQ(running, "SearchGpInfoMonitor Timer3 ");
    EXPECT_TRUE(form->at("ToolsTree_Bot", 4).visible() && !form->at("ToolsTree_Bot", 5).visible());
    // Tab runs account, password, login button, then the rest of each page in
    // reading order; the tabs in their order; the title bar's buttons last.
    std::string tabs;
    for (const Element* e : form->tabOrder())
        tabs += e->name() + (e->index() >= 0 ? std::to_string(e->index()) : "") + " ";
    EXPECT_EQ(tabs,
              "UserName_Txt PassWord_Txt Login_Bot Chk_AutoLogin Jion_Label RePass_Label "
              "Web_Label LoginClose_Bot SearchClose_Bot SearchForm_Text SearchDapan_shanghai "
              "SearchDapan_shenzhen Frame_TableBox SearchGp_Info SearchGp_Star Bot_CloseSearchMain "
              "ToolsTree_Bot1 ToolsTree_Bot2 ToolsTree_Bot3 ToolsTree_Bot4 ToolsTree_Bot5 "
              "Bot_Min Bot_Close ");
    // The two added tray items come first and hidden, until their features are set up.
    auto menu = makeFormMenu();
    std::string items;
    for (const Element* e : menu->children(menu->at("Menu_System")))
        items += e->text() + (e->visible() ? " " : "(hidden) ");
    EXPECT_EQ(items, "显示/隐藏(hidden) 开机启动(hidden) 官方网站 退出软件 ");
}

}  // namespace
}  // namespace tallyro::ui
