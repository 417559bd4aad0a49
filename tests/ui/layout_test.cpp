// The main window's layout at the sizes the program uses, and the popup's.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "ui/designs.h"
#include "ui/main_layout.h"

namespace tallyro::ui {
namespace {

struct Rect {
    float left, top, width, height;
};

// Runs the layout on every resize, as the window does.
class LayoutTest : public ::testing::Test, protected FormEvents {
protected:
    void SetUp() override {
        form = makeFormLogin();
        form->setEvents(this);
        form->setTextMeasure(&measure);
        // Start-up sets the height first, then the width.
        form->window().setHeight(8550);
        form->window().setWidth(3600);
    }
    void resized(Form& f) override {
        ++passes;
        layoutMainWindow(f);
    }
    void changed(Element&) override {}
    void timerChanged(Element&) override {}

    void expectRect(const char* name, Rect r) {
        const Element& e = form->at(name);
        EXPECT_FLOAT_EQ(e.left(), r.left) << name;
        EXPECT_FLOAT_EQ(e.top(), r.top) << name;
        EXPECT_FLOAT_EQ(e.width(), r.width) << name;
        EXPECT_FLOAT_EQ(e.height(), r.height) << name;
    }

    std::unique_ptr<Form> form;
    test::FakeTextMeasure measure;
    int passes = 0;
};

TEST_F(LayoutTest, WorkedFiguresAtTheStartSize) {
    EXPECT_EQ(passes, 2);
    expectRect("ToolsTree", {30, 1920, 555, 5220});
    expectRect("Frame_Search", {585, 1920, 2985, 5220});
    expectRect("Frame_results", {585, 1920, 2985, 5220});
    expectRect("SearchForm_border", {75, 75, 2835, 420});
    expectRect("WebAD", {150, 7245, 3300, 1200});
    EXPECT_FLOAT_EQ(form->at("Jion_Label").top(), 7350);
    EXPECT_FLOAT_EQ(form->at("RePass_Label").top(), 7725);
    EXPECT_FLOAT_EQ(form->at("Web_Label").top(), 8100);
    EXPECT_FLOAT_EQ(form->at("Bot_Min").left(), 2610);
    EXPECT_FLOAT_EQ(form->at("Bot_Close").left(), 3045);
}

TEST_F(LayoutTest, InputRowsAndListAtTheStartSize) {
    expectRect("UserName_border", {525, 3300, 2550, 420});
    expectRect("UserName_Form", {15, 15, 2520, 390});
    expectRect("UserName_Txt", {75, 90, 2370, 210});
    expectRect("PassWord_border", {525, 4200, 2550, 420});
    EXPECT_EQ(form->at("PassWord_border").backColor(), kDarkFill);
    // Search box 2805 wide: the index buttons sit 750 and 390 twips from its right.
    EXPECT_FLOAT_EQ(form->at("SearchDapan_shanghai").left(), 2055);
    EXPECT_FLOAT_EQ(form->at("SearchDapan_shenzhen").left(), 2415);
    expectRect("Frame_Table", {0, 600, 2985, 4620});
    expectRect("Frame_TableBox", {0, 0, 2730, 9000});
    expectRect("Frame_TableBar", {2730, 0, 255, 4620});
    expectRect("SearchForm_Text", {75, 90, 1905, 210});
    // Eight dots at a 240-twip pitch centred: (3600 - 1830) / 2 = 885.
    EXPECT_FLOAT_EQ(form->at("Pic_Load", 1).left(), 885);
    EXPECT_FLOAT_EQ(form->at("Pic_Load", 8).left(), 885 + 7 * 240);
    EXPECT_FLOAT_EQ(form->at("Pic_Load", 8).top(), 3300);
}

TEST_F(LayoutTest, AutoSizedPicturesAreCentredWithTheirPreviousWidth) {
    // The first pass centred the login logo with its design width (975); the
    // second with the bitmap's 79 pixels.
    EXPECT_FLOAT_EQ(form->at("Logo").width(), 79 * 15);
    EXPECT_FLOAT_EQ(form->at("Logo").left(), 1800 - 1185 / 2.0f);
    EXPECT_FLOAT_EQ(form->at("Login_Bot").left(), 1800 - 1155 / 2.0f);
    EXPECT_FLOAT_EQ(form->at("Login_Bot").top(), 4200 + 420 + 750);
}

TEST_F(LayoutTest, TitleAndFramePiecesCoverTheWindow) {
    expectRect("FormTop_Left", {0, 0, 3450, 390});
    expectRect("FormTop_Cennet", {3450, 0, 90, 390});
    expectRect("FormTop_Right", {3540, 0, 60, 390});
    expectRect("FormCenent_Left", {0, 390, 60, 8100});
    expectRect("FormCenent_Cennet", {60, 390, 3480, 8100});
    expectRect("FormBottom_Cennet", {60, 8490, 3480, 60});
    EXPECT_EQ(form->at("FormTop_Left").picture(), 146);
    EXPECT_EQ(form->at("FormBottom_Right").picture(), 154);
}

TEST_F(LayoutTest, WideWindowMovesTheFrameButNotTheLoginRows) {
    form->window().setWidth(6750);
    expectRect("FormTop_Right", {6690, 0, 60, 390});
    EXPECT_FLOAT_EQ(form->at("FormTop_Cennet").width(), 3240);
    EXPECT_FLOAT_EQ(form->at("Bot_Close").left(), 6195);
    expectRect("Frame_Search", {585, 1920, 6135, 5220});
    EXPECT_FLOAT_EQ(form->at("WebAD").left(), 1725);
    EXPECT_FLOAT_EQ(form->at("UserName_border").left(), 525);
    EXPECT_EQ(form->window().region(), (WindowRegion{451, 571, 9, 9}));
    form->window().setWidth(3600);
    EXPECT_EQ(form->window().region(), (WindowRegion{241, 571, 9, 9}));
}

TEST_F(LayoutTest, LowerWindowMovesTheBottomAnchoredElementsOnly) {
    form->window().setHeight(7000);
    EXPECT_FLOAT_EQ(form->at("Web_Label").top(), 6550);
    EXPECT_FLOAT_EQ(form->at("WebAD").top(), 7000 - 1305);
    EXPECT_FLOAT_EQ(form->at("ToolsTree").height(), 3670);
    EXPECT_FLOAT_EQ(form->at("Shape1").height(), 1315);
    EXPECT_FLOAT_EQ(form->at("SearchGp_Info").height(), 775);
    EXPECT_FLOAT_EQ(form->at("SearchGp_Time").top(), 3670 - 240);
    EXPECT_FLOAT_EQ(form->at("Pic_Load", 3).top(), 3300);
    EXPECT_FLOAT_EQ(form->at("UserName_border").top(), 3300);
}

TEST_F(LayoutTest, TooSmallWindowClampsSizesAtZero) {
    form->window().setHeight(5000);
    form->window().setWidth(3000);
    EXPECT_FLOAT_EQ(form->at("SearchGp_Info").height(), 0);
    EXPECT_FLOAT_EQ(form->at("Shape1").height(), 0);
    EXPECT_FLOAT_EQ(form->at("FormTop_Cennet").width(), 0);
    EXPECT_FLOAT_EQ(form->at("Frame_Table").height(), 1070);
}

struct PopupResize : FormEvents {
    void resized(Form& f) override { layoutPopup(f); }
    void changed(Element&) override {}
    void timerChanged(Element&) override {}
};

TEST(PopupLayoutTest, StandardSizePlacesFrameAndButton) {
    auto popup = makeFormMessage();
    PopupResize events;
    popup->setEvents(&events);
    // Two size changes, two passes: the second places the button with its picture's height.
    popup->window().setWidth(3900);
    popup->window().setHeight(2700);
    const Element& box = popup->at("WebSetBox");
    EXPECT_FLOAT_EQ(box.left(), 150);
    EXPECT_FLOAT_EQ(box.top(), 480);
    EXPECT_FLOAT_EQ(box.left() + box.width(), 3750);
    EXPECT_FLOAT_EQ(box.top() + box.height(), 2505);
    // 29 x 24 pixels: the left edge is 3900 - 360 - 150.
    EXPECT_FLOAT_EQ(popup->at("Bot_Close").left(), 3390);
    EXPECT_FLOAT_EQ(popup->at("FormBottom").top(), 2640);
    EXPECT_EQ(popup->window().region(), (WindowRegion{261, 181, 9, 9}));
}

}  // namespace
}  // namespace tallyro::ui
