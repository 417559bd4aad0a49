// The main window's layout at the sizes the program uses, and the popup's.
#include <gtest/gtest.h>

#include <sstream>

#include "fake_platform.h"
#include "ui/designs.h"
#include "ui/main_layout.h"

namespace tallyro::ui {
namespace {

// Checks each element in `want`, given as "name left top width height[ #bitmap]; ".
void expectPlaced(const Form& f, const std::string& want) {
    std::ostringstream got;
    std::istringstream items(want);
    for (std::string n, rest; items >> n && std::getline(items, rest, ';');) {
        const auto bracket = n.find('(');
        const Element& e = bracket == std::string::npos
                               ? f.at(n)
                               : f.at(n.substr(0, bracket), std::stoi(n.substr(bracket + 1)));
        got << n << ' ' << e.left() << ' ' << e.top() << ' ' << e.width() << ' ' << e.height()
            << (e.picture() != 0 ? " #" + std::to_string(e.picture()) : "") << "; ";
    }
    EXPECT_EQ(got.str(), want);
}

// Runs a layout on every resize, as the windows do.
struct Layout : FormEvents {
    explicit Layout(void (*lay)(Form&)) : lay(lay) {}
    void resized(Form& f) override {
        ++passes;
        lay(f);
    }
    void changed(Element&) override {}
    void timerChanged(Element&) override {}
    void (*lay)(Form&);
    int passes = 0;
};

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        form->setEvents(&events);
        form->setTextMeasure(&measure);
        // Start-up sets the height first, then the width.
        form->window().setHeight(8550);
        form->window().setWidth(3600);
    }
    void expect(const std::string& want) { expectPlaced(*form, want); }

    Layout events{layoutMainWindow};
    test::FakeTextMeasure measure;
    std::unique_ptr<Form> form = makeFormLogin();
};

TEST_F(LayoutTest, WorkedFiguresAtTheStartSize) {
    EXPECT_EQ(events.passes, 2);
    expect(
        "ToolsTree 30 1920 555 5220; Frame_Search 585 1920 2985 5220; Frame_results 585 1920 "
        "2985 5220; SearchForm_border 75 75 2835 420; WebAD 150 7245 3300 1200; Jion_Label "
        "525 7350 900 180; RePass_Label 525 7725 720 180; Web_Label 525 8100 720 180; "
        "Bot_Min 2610 30 435 360 #108; Bot_Close 3045 30 435 360 #110; Main_Logo 150 540 "
        "1185 1230 #120; Info_UserName 1560 615 360 180; "
        "UserName_border 525 3300 2550 420; UserName_Form 15 15 2520 390; UserName_Txt 75 90 "
        "2370 210; PassWord_border 525 4200 2550 420; SearchDapan_shanghai 2055 30 300 300 "
        "#133; SearchDapan_shenzhen 2415 30 300 300 #135; Frame_Table 0 600 2985 4620; "
        "Frame_TableBox 0 0 2730 9000; Frame_TableBar 2730 0 255 4620; SearchForm_Text 75 90 "
        "1905 210; Pic_Load(1) 885 3300 150 150 #1000; Pic_Load(8) 2565 3300 150 150 #1000; "
        "Logo 1207.5 675 1185 1230 #120; Login_Bot 1222.5 5370 1155 450 #121; "
        "FormTop_Left 0 0 3450 390 #146; FormTop_Cennet 3450 0 90 390 #147; FormTop_Right 3540 0 "
        "60 390 #148; FormCenent_Left 0 390 60 8100 #149; FormCenent_Cennet 60 390 3480 8100 #150; "
        "FormCenent_Right 3540 390 60 8100 #151; FormBottom_Left 0 8490 60 60 #152; "
        "FormBottom_Cennet 60 8490 3480 60 #153; FormBottom_Right 3540 8490 60 60 #154; ");
    EXPECT_EQ(form->at("PassWord_border").backColor(), kDarkFill);
}

TEST_F(LayoutTest, WideAndLowerWindows) {
    form->window().setWidth(6750);
    expect(
        "FormTop_Right 6690 0 60 390 #148; FormTop_Cennet 3450 0 3240 390 #147; Bot_Close "
        "6195 30 435 360 #110; Frame_Search 585 1920 6135 5220; WebAD 1725 7245 3300 1200; "
        "UserName_border 525 3300 2550 420; ");
    EXPECT_EQ(form->window().region(), (WindowRegion{450, 570, 9, 9}));
    form->window().setWidth(3600);
    form->window().setHeight(7000);
    expect(
        "Web_Label 525 6550 720 180; WebAD 150 5695 3300 1200; ToolsTree 30 1920 555 3670; "
        "Shape1 60 2040 2850 1315; SearchGp_Info 120 2520 2655 775; SearchGp_Time 120 3430 "
        "900 180; Pic_Load(3) 1365 3300 150 150 #1000; UserName_border 525 3300 2550 420; ");
}

TEST(PopupLayoutTest, StandardSizePlacesFrameAndButton) {
    Layout events{layoutPopup};
    auto popup = makeFormMessage();
    popup->setEvents(&events);
    // Two size changes, two passes: the second places the button with its picture's height.
    popup->window().setWidth(3900);
    popup->window().setHeight(2700);
    expectPlaced(
        *popup,
        "WebSetBox 150 480 3600 2025; WebSet -30 -30 3660 2085; Bot_Close 3390 30 435 360 #110; "
        "FormTop 0 0 3900 390 #1011; FormCenent 0 390 3900 2250 #102; FormBottom 0 2640 3900 60 "
        "#103; NewsBt 225 120 720 180; ");
    EXPECT_EQ(popup->window().region(), (WindowRegion{260, 180, 9, 9}));
}

}  // namespace
}  // namespace tallyro::ui
