#include "ui/main_layout.h"

#include "ui/designs.h"
#include "ui/window_shape.h"

namespace tallyro::ui {

namespace {

// Places a text box inside its two frames: the outer border, the inner form 15
// twips in, the text box 75 twips from the inner form's left.
void placeInputRow(Form& f, const char* label, const char* border, const char* inner,
                   const char* box, float top) {
    f.at(label).move(525, top);
    Element& b = f.at(border);
    b.move(525, top + 300, 2550, 420);
    b.setBackColor(kDarkFill);
    Element& in = f.at(inner);
    in.move(15, 15, b.width() - 30, b.height() - 30);
    Element& t = f.at(box);
    t.move(75, 90, in.width() - 150, 210);
}

void placeIndexButtons(Form& f) {
    const float formWidth = f.at("SearchForm_Form").width();
    Element& sh = f.at("SearchDapan_shanghai");
    sh.move(formWidth - 750, 30);
    sh.setPicture(133);
    Element& sz = f.at("SearchDapan_shenzhen");
    sz.move(formWidth - 390, 30);
    sz.setPicture(135);
}

}  // namespace

void layoutMainWindow(Form& f) {
    const Element& win = f.window();
    auto W = [&win] { return win.width(); };
    auto H = [&win] { return win.height(); };

    // 1. Logos: both centred on the login logo's width.
    Element& logo = f.at("Logo");
    logo.move(W() / 2 - logo.width() / 2, 675);
    logo.setPicture(120);
    Element& loadingLogo = f.at("LoadingLogo");
    loadingLogo.move(W() / 2 - logo.width() / 2, 675);
    loadingLogo.setPicture(120);

    // 2, 3. Account and password rows.
    placeInputRow(f, "UserName_Label", "UserName_border", "UserName_Form", "UserName_Txt", 3000);
    placeInputRow(f, "PassWord_Label", "PassWord_border", "PassWord_Form", "PassWord_Txt", 3900);
    const Element& pwBorder = f.at("PassWord_border");

    // 4. Check box and its label, centred as a pair with a 45-twip gap.
    Element& chk = f.at("Chk_AutoLogin");
    Element& chkLabel = f.at("LebAutoLogin");
    chk.setBackColor(kDarkFill);
    chk.move(W() / 2 - (chk.width() + 45 + chkLabel.width()) / 2,
             pwBorder.top() + pwBorder.height() + 150);
    chkLabel.move(chk.left() + chk.width() + 45, chk.top() + 45);

    // 5. Login button.
    Element& login = f.at("Login_Bot");
    login.move(W() / 2 - login.width() / 2, pwBorder.top() + pwBorder.height() + 750);
    login.setPicture(121);

    // 6. Links anchored to the bottom edge.
    f.at("Jion_Label").move(525, H() - 1200);
    f.at("RePass_Label").move(525, H() - 825);
    f.at("Web_Label").move(525, H() - 450);

    // 7. Outline.
    ui::ApplyRoundedRegion(f.window(), 9, 9);

    // 8. Skin frame.
    Element& topLeft = f.at("FormTop_Left");
    topLeft.move(0, 0, 3450, 390);
    topLeft.setPicture(146);
    Element& topRight = f.at("FormTop_Right");
    topRight.move(W() - 60, 0, 60, 390);
    topRight.setPicture(148);
    Element& topMid = f.at("FormTop_Cennet");
    topMid.move(topLeft.width(), 0, W() - topLeft.width() - topRight.width(), 390);
    topMid.setPicture(147);
    Element& bottomLeft = f.at("FormBottom_Left");
    bottomLeft.move(0, H() - 60, 60, 60);
    bottomLeft.setPicture(152);
    Element& bottomRight = f.at("FormBottom_Right");
    bottomRight.move(W() - 60, H() - 60, 60, 60);
    bottomRight.setPicture(154);
    Element& bottomMid = f.at("FormBottom_Cennet");
    bottomMid.move(bottomLeft.width(), H() - 60, W() - 120, 60);
    bottomMid.setPicture(153);
    const float sideHeight = H() - topLeft.height() - bottomLeft.height();
    Element& midLeft = f.at("FormCenent_Left");
    midLeft.move(0, topLeft.height(), 60, sideHeight);
    midLeft.setPicture(149);
    Element& midRight = f.at("FormCenent_Right");
    midRight.move(W() - 60, topLeft.height(), 60, sideHeight);
    midRight.setPicture(151);
    Element& midCentre = f.at("FormCenent_Cennet");
    midCentre.move(midLeft.width(), topLeft.height(), W() - midLeft.width() - midRight.width(),
                   sideHeight);
    midCentre.setPicture(150);

    // 9. Title-bar buttons.
    Element& min = f.at("Bot_Min");
    min.move(W() - 990, 30);
    min.setPicture(108);
    Element& close = f.at("Bot_Close");
    close.move(W() - 555, 30);
    close.setPicture(110);

    // 10. Loading dots: eight 150-twip dots at a 240-twip pitch, centred.
    for (std::int16_t i = 1; i <= 8; ++i) {
        f.at("Pic_Load", i).move((W() - 1830) / 2 + 240.0f * static_cast<float>(i - 1), 3300);
    }

    // 11, 12. Status line and the two cancel buttons, which share one place.
    Element& status = f.at("Login_Txt");
    status.move((W() - status.width()) / 2, 3675);
    Element& back = f.at("LoginClose_Bot");
    back.move((W() - back.width()) / 2, 4200);
    back.setPicture(125);
    Element& cancel = f.at("SearchClose_Bot");
    cancel.move(back.left(), back.top());
    cancel.setPicture(137);

    // 13. Signed-in header.
    Element& mainLogo = f.at("Main_Logo");
    mainLogo.move(150, topLeft.height() + 150);
    mainLogo.setPicture(120);
    f.at("Info_UserName").move(mainLogo.left() + mainLogo.width() + 225, topLeft.height() + 225);

    // 14. Tab bar.
    Element& tools = f.at("ToolsTree");
    tools.move(30, 1920, 555, H() - 1920 - 1410);
    tools.setBackColor(kDarkFill);
    for (std::int16_t i = 1; i <= 5; ++i) {
        Element& tab = f.at("ToolsTree_Bot", i);
        tab.setTop(555.0f * static_cast<float>(i - 1));
        tab.setWidth(555);
        tab.setHeight(555);
    }

    // 15. Search page.
    Element& search = f.at("Frame_Search");
    search.move(tools.left() + tools.width(), tools.top(), W() - tools.width() - 60,
                tools.height());
    Element& table = f.at("Frame_Table");
    table.move(0, 600, search.width(), tools.height() - 600);

    // 16. Index buttons against the search box's width before it is placed.
    placeIndexButtons(f);

    // 17. The list: canvas and scroll bar.
    Element& bar = f.at("Frame_TableBar");
    Element& box = f.at("Frame_TableBox");
    box.move(0, 0, table.width() - bar.width(), 9000);
    box.setBackColor(0xFFFFFF);
    bar.move(table.width() - bar.width(), 0);
    bar.setHeight(table.height());

    // 18. Search box.
    Element& searchBorder = f.at("SearchForm_border");
    searchBorder.move(75, 75, search.width() - 150, 420);
    Element& searchForm = f.at("SearchForm_Form");
    searchForm.move(15, 15, searchBorder.width() - 30, searchBorder.height() - 30);
    f.at("SearchForm_Text").move(75, 90, 1905, 210);

    // 19. Index buttons again, now against the placed search box.
    placeIndexButtons(f);

    // 20. Advertisement.
    Element& ad = f.at("WebAD");
    ad.setWidth(3300);
    ad.setHeight(1200);
    ad.move((W() - ad.width()) / 2, H() - ad.height() - 105);

    // 21. Result panel over the search panel's rectangle.
    Element& results = f.at("Frame_results");
    results.move(search.left(), tools.top(), search.width(), tools.height());
    Element& line = f.at("Line1");
    line.setLineX(75, results.width() - 75);
    Element& closeResult = f.at("Bot_CloseSearchMain");
    closeResult.move(results.width() - closeResult.width() - 75, 180);
    closeResult.setPicture(139);
    f.at("SearchGp_Star").move(closeResult.left() - 375, 195);

    // 22, 23, 24. Advice area, query time, and the web page's height.
    f.at("Shape1").setHeight(H() - 1725 - 3960);
    f.at("SearchGp_Info").setHeight(H() - 1725 - 4500);
    f.at("SearchGp_Time").setTop(results.height() - 240);
    f.at("WebQuestion").setHeight(search.height());
}

void layoutPopup(Form& f) {
    const float W = f.window().width();
    const float H = f.window().height();
    ui::ApplyRoundedRegion(f.window(), 9, 9);
    Element& top = f.at("FormTop");
    top.setPicture(1011);
    top.move(0, 0, W, 390);
    Element& body = f.at("FormCenent");
    body.setPicture(102);
    body.move(0, 390, W, H - 450);
    Element& bottom = f.at("FormBottom");
    bottom.setPicture(103);
    bottom.move(0, H - 60, W, 60);
    f.at("NewsBt").setLeft(225);
    // The button's height, not its width, is what the right margin subtracts.
    Element& close = f.at("Bot_Close");
    close.move(W - close.height() - 150, 30);
    close.setPicture(110);
    f.at("WebSetBox").move(150, 480, 3600, 2025);
    // The browser reaches 2 pixels beyond its frame on every side, so its own
    // border is clipped away.
    f.at("WebSet").move(-30, -30, 3660, 2085);
}

}  // namespace tallyro::ui
