// The main window as designed. Rectangles are (left, top, width, height) in
// twips relative to the parent; the layout moves most of them at run time. Tab
// indexes run through the pages in reading order: the login form (account,
// password and the login button first), the loading pages' buttons, the search
// page, the result panel (the advice before its close button), the tabs, and
// the title bar's buttons last.
#include "ui/bitmap_table.h"
#include "ui/design_builder.h"
#include "ui/designs.h"

namespace tallyro::ui {

using design::E;
using K = Kind;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kGrey = 0x808080;
const char* const kSong = "宋体";
const char* const kArial = "Arial";

void addSkinFrame(Form& f) {
    f.add(E(K::Image, "FormTop_Left", 0, 0, 1920, 375));
    f.add(E(K::Image, "FormTop_Cennet", 1920, 0, 1440, 375));
    f.add(E(K::Image, "FormTop_Right", 3360, 0, 240, 375));
    f.add(E(K::Image, "FormCenent_Left", 0, 360, 240, 7575));
    f.add(E(K::Image, "FormCenent_Cennet", 240, 360, 3120, 7575));
    f.add(E(K::Image, "FormCenent_Right", 3360, 360, 240, 7575));
    f.add(E(K::Image, "FormBottom_Left", 0, 7920, 240, 375));
    f.add(E(K::Image, "FormBottom_Cennet", 240, 7920, 3120, 375));
    f.add(E(K::Image, "FormBottom_Right", 3360, 7920, 240, 375));
}

void addTitleBar(Form& f) {
    f.add(E(K::PictureBox, "Bot_Min", 2400, 120, 375, 375)
              .back(kSystemMenuText)
              .iconPointer()
              .autoSize()
              .tab(17));
    f.add(E(K::PictureBox, "Bot_Close", 2880, 120, 375, 375)
              .back(kSystemMenuText)
              .iconPointer()
              .autoSize()
              .tab(18));
    f.add(E(K::PictureBox, "IconLogo", 2040, 360, 240, 240).hidden().picture(kBitmapTrayIcon));
    f.add(E(K::TextBox, "Text1", 13020, 330, 495, 270).text("Text1").back(kSystemWindow));
}

void addLoginPage(Form& f) {
    f.add(E(K::PictureBox, "Logo", 1200, 1320, 975, 855).back(kGrey).autoSize());
    f.add(E(K::Label, "UserName_Label", 480, 2520, 450, 180).text("帐号:").fore(kWhite));
    f.add(E(K::PictureBox, "UserName_border", 480, 2760, 2535, 855)
              .back(kSystemWindow)
              .fore(kSystemWindowText));
    f.add(E(K::PictureBox, "UserName_Form", 120, 120, 2295, 615)
              .in("UserName_border")
              .back(kSystemWindow)
              .border());
    f.add(E(K::TextBox, "UserName_Txt", 120, 120, 2055, 255)
              .in("UserName_Form")
              .back(kSystemWindow)
              .fore(0x000000)
              .tab(1));
    f.add(E(K::Label, "PassWord_Label", 480, 3720, 450, 180).text("密码:").fore(kWhite));
    f.add(E(K::PictureBox, "PassWord_border", 480, 3960, 2535, 855)
              .back(kSystemWindow)
              .fore(kSystemWindowText));
    f.add(E(K::PictureBox, "PassWord_Form", 120, 120, 2295, 615)
              .in("PassWord_border")
              .back(kSystemWindow)
              .border());
    f.add(E(K::TextBox, "PassWord_Txt", 120, 120, 2055, 375)
              .in("PassWord_Form")
              .back(kSystemWindow)
              .fore(0x000000)
              .password('*')
              .tab(2));
    f.add(E(K::CheckBox, "Chk_AutoLogin", 960, 4920, 255, 255)
              .text("Yes")
              .back(design::kButtonFace)
              .tab(4));
    f.add(E(K::Label, "LebAutoLogin", 1320, 4920, 720, 180).text("保存密码").fore(kWhite));
    f.add(E(K::PictureBox, "Login_Bot", 1080, 5520, 1335, 615).hand().autoSize().tab(3));
    f.add(E(K::Timer, "Timer_Monitor").in("Login_Bot").timer(5000, false));
    f.add(E(K::Label, "Jion_Label", 360, 6480, 900, 180)
              .text("注册新帐号")
              .fore(kWhite)
              .hand()
              .tab(5));
    f.add(E(K::Label, "RePass_Label", 360, 6840, 720, 180)
              .text("找回密码")
              .fore(kWhite)
              .hand()
              .tab(6));
    f.add(E(K::Label, "Web_Label", 360, 7140, 720, 180)
              .text("官方网站")
              .fore(0xFFFF00)
              .hand()
              .tab(7));
}

void addLoadingPage(Form& f) {
    f.add(E(K::PictureBox, "LoadingLogo", 4320, 600, 975, 855).back(kGrey).autoSize().hidden());
    const float lefts[8] = {3840, 4080, 4335, 4575, 4830, 5070, 5310, 5565};
    for (std::int16_t i = 1; i <= 8; ++i) {
        f.add(E(K::PictureBox, "Pic_Load", lefts[i - 1], 2040, 150, 150)
                  .index(i)
                  .picture(1000)
                  .autoSize()
                  .hidden());
    }
    f.add(E(K::Label, "Login_Txt", 4080, 2400, 1440, 180)
              .text("正在获取登录信息")
              .fore(kWhite)
              .centred()
              .hand()
              .hidden());
    f.add(
        E(K::PictureBox, "LoginClose_Bot", 4320, 2880, 975, 495).hand().autoSize().hidden().tab(8));
    f.add(E(K::Timer, "PlayFlash").timer(60, false));
}

void addHeaderAndTabs(Form& f) {
    f.add(E(K::PictureBox, "Main_Logo", 6120, 1200, 975, 855).back(kGrey).autoSize().hidden());
    f.add(E(K::Label, "Info_UserName", 7320, 1200, 360, 180).text("帐号").fore(kWhite).hidden());
    f.add(E(K::PictureBox, "ToolsTree", 6120, 2280, 435, 5295).hidden());
    const char* const tips[5] = {"股票查询", "查询结果", "操盘手册", "程序选股", "股票查询"};
    for (std::int16_t i = 1; i <= 5; ++i) {
        E tab(K::PictureBox, "ToolsTree_Bot", 0, 480.0f * (i - 1), 435, 435);
        tab.index(i).in("ToolsTree").tip(tips[i - 1]).back(kGrey).iconPointer().autoSize().tab(16);
        if (i == 5)
            tab.hidden();
        f.add(std::move(tab));
    }
}

void addSearchPage(Form& f) {
    f.add(E(K::PictureBox, "Frame_Search", 6600, 2280, 3015, 5295).back(kWhite).hidden());
    f.add(E(K::PictureBox, "SearchForm_border", 0, 0, 2895, 855)
              .in("Frame_Search")
              .back(kSystemWindow));
    f.add(E(K::PictureBox, "SearchForm_Form", 120, 120, 2775, 615)
              .in("SearchForm_border")
              .back(kSystemWindow)
              .border());
    f.add(E(K::TextBox, "SearchForm_Text", 840, 120, 1095, 375)
              .in("SearchForm_Form")
              .back(kSystemWindow)
              .fore(0xC0C0C0)
              .text("搜索股票代码或名称...")
              .tab(10));
    f.add(E(K::PictureBox, "SearchDapan_shanghai", 2040, 120, 255, 255)
              .in("SearchForm_Form")
              .hand()
              .autoSize()
              .tab(11));
    f.add(E(K::PictureBox, "SearchDapan_shenzhen", 2400, 120, 255, 255)
              .in("SearchForm_Form")
              .hand()
              .autoSize()
              .tab(12));
    f.add(E(K::Timer, "SearchGpInfoMonitor").in("SearchForm_Form").timer(100, true));
    f.add(E(K::PictureBox, "Frame_Table", 0, 720, 3015, 4215).in("Frame_Search").back(kWhite));
    f.add(E(K::VScrollBar, "Frame_TableBar", 2640, 480, 255, 2295).in("Frame_Table").range(0, 10));
    f.add(E(K::PictureBox, "Frame_TableBox", 0, 240, 2535, 9000)
              .in("Frame_Table")
              .back(kGrey)
              .tab(13));
    f.add(E(K::Label, "GpBg", 0, 480, 3255, 450)
              .in("Frame_TableBox")
              .index(0)
              .opaque(kWhite)
              .autoSize(false)
              .hidden());
    f.add(E(K::Label, "GpID", 240, 600, 720, 180)
              .in("Frame_TableBox")
              .index(0)
              .text("股票代码")
              .fore(0x000000)
              .hidden());
    f.add(E(K::Label, "GpName", 1200, 600, 720, 180)
              .in("Frame_TableBox")
              .index(0)
              .text("股票名称")
              .fore(0x000000)
              .hidden());
    f.add(E(K::PictureBox, "shoucang", 2150, 600, 225, 195)
              .in("Frame_TableBox")
              .index(0)
              .picture(kBitmapFolder)
              .autoSize()
              .hidden());
    // The watch list's marks on a favourite's row, beyond the first design: its
    // price, and a gauge of where the price stands between support and pressure.
    f.add(E(K::Label, "GpPrice", 1860, 630, 270, 150)
              .in("Frame_TableBox")
              .index(0)
              .fore(kPriceColour)
              .font(kArial, 7, false)
              .hidden());
    f.add(E(K::Label, "GpGauge", 150, 1020, 1900, 30)
              .in("Frame_TableBox")
              .index(0)
              .opaque(kGaugeTrack)
              .hidden());
    f.add(E(K::Label, "GpGaugeFill", 150, 1020, 0, 30)
              .in("Frame_TableBox")
              .index(0)
              .opaque(kGaugeFill)
              .hidden());
    f.add(E(K::Timer, "WatchTimer").timer(0, false));
}

void addResultPage(Form& f) {
    f.add(E(K::PictureBox, "Frame_results", 9840, 2400, 3015, 5295).back(kWhite).hidden());
    auto in = [](E e) { return std::move(e.in("Frame_results")); };
    f.add(in(E(K::Label, "SearchGp_Name", 120, 120, 960, 225)
                 .text("暂无数据")
                 .font(kSong, 11.25f, true)));
    f.add(in(E(K::Label, "SearchGp_ID", 1200, 120, 60, 240).font(kArial, 9.75f, true)));
    // The watch list's favourite mark for the stock shown, beyond the first design;
    // left of the close button, and before it in the Tab order.
    f.add(in(E(K::PictureBox, "SearchGp_Star", 1950, 150, 225, 195)
                 .picture(kBitmapFolderFaint)
                 .hand()
                 .autoSize()
                 .hidden()
                 .tab(15)));
    f.add(
        in(E(K::PictureBox, "Bot_CloseSearchMain", 2280, 120, 255, 255).hand().autoSize().tab(15)));
    f.add(in(E(K::Line, "Line1").line(240, 480, 2520, 480)));
    f.add(in(E(K::Label, "Label3", 120, 720, 855, 225)
                 .text("压力位:")
                 .fore(0xFF0000)
                 .font(kSong, 11.25f, true)));
    f.add(in(E(K::Label, "SearchGp_UpMoney", 1080, 720, 795, 225)
                 .text("RMB 0.00")
                 .fore(0xFF0000)
                 .font(kArial, 9, true)));
    f.add(in(E(K::PictureBox, "Picture1", 2160, 750, 165, 150).picture(kBitmapUpArrow).autoSize()));
    f.add(in(E(K::Label, "SearchGp_UpNum", 2400, 720, 375, 225)
                 .text("00%")
                 .fore(0xFF0000)
                 .font(kArial, 9, false)));
    f.add(in(E(K::Label, "Label6", 120, 1200, 855, 225)
                 .text("当前价:")
                 .fore(0x0000FF)
                 .font(kSong, 11.25f, true)));
    f.add(in(E(K::Label, "SearchGp_DMoney", 1080, 1200, 795, 225)
                 .text("RMB 0.00")
                 .fore(0x0000FF)
                 .font(kArial, 9, true)));
    f.add(in(E(K::Label, "Label8", 120, 1680, 855, 225)
                 .text("支撑位:")
                 .fore(0x008000)
                 .font(kSong, 11.25f, true)));
    f.add(in(E(K::Label, "SearchGp_DownMoney", 1080, 1680, 795, 225)
                 .text("RMB 0.00")
                 .fore(0x008000)
                 .font(kArial, 9, true)));
    f.add(in(
        E(K::PictureBox, "Picture2", 2160, 1710, 165, 150).picture(kBitmapDownArrow).autoSize()));
    f.add(in(E(K::Label, "SearchGp_DownNum", 2400, 1680, 375, 225)
                 .text("00%")
                 .fore(0x008000)
                 .font(kArial, 9, false)));
    f.add(in(E(K::Shape, "Shape1", 60, 2040, 2850, 2895)));
    f.add(in(E(K::Label, "Label11", 120, 2160, 885, 180).text("操盘建议:").font(kSong, 9, true)));
    f.add(
        in(E(K::RichTextBox, "SearchGp_Info", 120, 2520, 2655, 2295).back(kSystemWindow).tab(14)));
    f.add(in(E(K::Label, "SearchGp_Time", 120, 5040, 900, 180)
                 .text("查询时间: ")
                 .fore(0x000000)
                 .font(kSong, 9, false)));
    f.add(E(K::PictureBox, "SearchClose_Bot", 4320, 3480, 975, 495)
              .hand()
              .autoSize()
              .hidden()
              .tab(9));
}

void addWebViewsAndServices(Form& f) {
    f.add(E(K::WebBrowser, "WebAD", 6120, 7560, 3495, 975).hidden());
    f.add(E(K::WebBrowser, "WebQuestion", 9840, 480, 1935, 1335));
    f.add(E(K::WebBrowser, "WebBrowser1", 9840, 7680, 3015, 855));
    f.add(E(K::Socket, "Link"));
    f.add(E(K::Timer, "Timer1").timer(10, false));
    f.add(E(K::Timer, "Timer2").timer(10, false));
    f.add(E(K::Timer, "Timer3").timer(10, true));
    f.add(E(K::Label, "Label_Ask", 9840, 240, 720, 180).text("操盘手测").fore(kWhite));
}

}  // namespace

std::unique_ptr<Form> makeFormLogin() {
    auto form = std::make_unique<Form>("FormLogin", E(K::Form, "FormLogin", 0, 0, 13875, 8925)
                                                        .text("Form1")
                                                        .back(kSkinBackground)
                                                        .picture(kBitmapWindowIcon));
    addSkinFrame(*form);
    addTitleBar(*form);
    addLoginPage(*form);
    addLoadingPage(*form);
    addHeaderAndTabs(*form);
    addSearchPage(*form);
    addResultPage(*form);
    addWebViewsAndServices(*form);
    return form;
}

}  // namespace tallyro::ui
