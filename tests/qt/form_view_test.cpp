// The real main window on the offscreen platform: elements land at their pixel
// rectangles, input reaches the handlers, and applied changes are never echoed
// back as input.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include "app/form_login.h"
#include "fake_platform.h"
#include "qt/form_view.h"
#include "qt/qt_platform.h"
#include "temp_dir.h"
#include "test_database.h"

namespace tallyro::qt {
namespace {

class FormViewTest : public ::testing::Test {
protected:
    FormViewTest() : files{dir / "config.ini", test::copyBuiltDatabase(dir.path())} {
        form = std::make_unique<app::FormLogin>(
            platform, app::Deployment{"127.0.0.1", 4116, "http://127.0.0.1:9"}, files);
        windows.setDispatch([this](app::Event& e) {
            events.push_back(e.target->name() + ":" + std::to_string(static_cast<int>(e.kind)));
            form->dispatch(e);
        });
        windows.setWheelTarget(&form->form().window());
        EXPECT_TRUE(form->start());
        QApplication::processEvents();
    }

    QWidget* widget(const char* name, std::int16_t i = -1) {
        return windows.widgetOf(form->el(name, i));
    }
    QRect rect(const char* name, std::int16_t i = -1) {
        return windows.rectInWindow(form->el(name, i));
    }
    int count(const std::string& name, app::EventKind kind) {
        return static_cast<int>(std::count(events.begin(), events.end(),
                                           name + ":" + std::to_string(static_cast<int>(kind))));
    }

    std::vector<std::string> events;
    test::TempDir dir;
    app::FileLocations files;
    QtWindowSystem windows;
    test::VirtualClock clock;
    test::FakeScreen screen;
    test::FakeUdp udp;
    test::FakeShell shell;
    test::FakeTray tray;
    QtTextMeasure measure;
    test::FakeProcess process;
    test::FakeAnalysisBrowser browser;
    platform::Platform platform{clock,   screen,  udp,     shell,  tray,
                                measure, windows, process, browser};
    std::unique_ptr<app::FormLogin> form;
};

TEST_F(FormViewTest, WindowIsAFramelessTopmostToolWindowAtItsPlace) {
    QWidget* w = windows.windowOf(form->form());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->geometry(), QRect(1920 - 240 - 30, 30, 240, 570));
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    // The rounded outline: corners cut, edges kept.
    const QRegion mask = w->mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(239, 0)));
    EXPECT_FALSE(mask.contains(QPoint(0, 569)));
    EXPECT_TRUE(mask.contains(QPoint(120, 0)));
    EXPECT_TRUE(mask.contains(QPoint(0, 300)));
}

TEST_F(FormViewTest, WindowedElementsLandAtTheirPixelRectangles) {
    struct Expected {
        const char* name;
        QRect inWindow;
    };
    for (const auto& [name, r] :
         {Expected{"UserName_border", {35, 220, 170, 28}},
          Expected{"PassWord_border", {35, 280, 170, 28}},
          Expected{"UserName_Txt", {41, 227, 158, 14}}, Expected{"Login_Bot", {82, 358, 77, 30}},
          Expected{"Bot_Min", {174, 2, 29, 24}}, Expected{"Bot_Close", {203, 2, 29, 24}},
          Expected{"Logo", {81, 45, 79, 82}}}) {
        QWidget* w = widget(name);
        ASSERT_NE(w, nullptr) << name;
        const QRect actual(w->mapTo(windows.windowOf(form->form()), QPoint(0, 0)), w->size());
        EXPECT_EQ(actual, r) << name;
        EXPECT_EQ(rect(name), r) << name;
        EXPECT_TRUE(w->isVisible()) << name;
    }
    EXPECT_FALSE(widget("Frame_Search")->isVisible());
    EXPECT_FALSE(widget("LoginClose_Bot")->isVisible());
}

TEST_F(FormViewTest, ClickOnAWindowlessLabelReachesItsHandler) {
    // Labels are painted by their container; the container routes the click.
    const QRect r = rect("Jion_Label");
    QWidget* w = windows.windowOf(form->form());
    QTest::mouseClick(w, Qt::LeftButton, {}, r.center());
    EXPECT_EQ(count("Jion_Label", app::EventKind::MouseDown), 1);
    EXPECT_EQ(count("Jion_Label", app::EventKind::Click), 1);
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(r.center().x(), r.top() - 3));
    EXPECT_EQ(count("Jion_Label", app::EventKind::Click), 1);
}

TEST_F(FormViewTest, TypingReachesTheModelAndKeyEventsComeFirst) {
    auto* edit = qobject_cast<QLineEdit*>(widget("UserName_Txt"));
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClicks(edit, "ab");
    EXPECT_EQ(form->el("UserName_Txt").text(), "ab");
    EXPECT_EQ(count("UserName_Txt", app::EventKind::KeyDown), 2);
    EXPECT_EQ(count("UserName_Txt", app::EventKind::KeyPress), 2);
    auto* password = qobject_cast<QLineEdit*>(widget("PassWord_Txt"));
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
}

TEST_F(FormViewTest, ProgramChangesAreAppliedWithoutEchoingBackAsInput) {
    events.clear();
    form->el("UserName_Txt").setText("set by code");
    form->el("Frame_TableBar").setValue(4);
    windows.refresh();
    EXPECT_EQ(qobject_cast<QLineEdit*>(widget("UserName_Txt"))->text(), "set by code");
    EXPECT_EQ(qobject_cast<QScrollBar*>(widget("Frame_TableBar"))->value(), 4);
    EXPECT_TRUE(events.empty());
}

TEST_F(FormViewTest, UserScrollingMovesTheModel) {
    auto* bar = qobject_cast<QScrollBar*>(widget("Frame_TableBar"));
    bar->setValue(7);
    EXPECT_EQ(form->el("Frame_TableBar").value(), 7);
    auto* check = qobject_cast<QCheckBox*>(widget("Chk_AutoLogin"));
    check->click();
    EXPECT_EQ(form->el("Chk_AutoLogin").value(), 1);
}

TEST_F(FormViewTest, ResultRowsComeAndGoWithTheModel) {
    // Rebuilding the list unloads and loads every row; the view follows.
    form->ReGpTj();
    windows.refresh();
    form->ReGpTj();
    windows.refresh();
    // Rows are windowless: painted inside the canvas, hit-tested there.
    QWidget* canvas = widget("Frame_TableBox");
    ASSERT_NE(canvas, nullptr);
    // Row 2 lies 450 twips down the canvas, which starts 600 twips into the search panel.
    EXPECT_EQ(rect("GpBg", 2), QRect(39, 128 + 40 + 30, 217, 30));
    form->el("Frame_Search").setVisible(true);
    windows.refresh();
    // The name label lies above the row's background and takes the click over it.
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(80, 45));
    EXPECT_EQ(count("GpName", app::EventKind::Click), 1);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(160, 45));
    EXPECT_EQ(count("GpBg", app::EventKind::Click), 1);
}

TEST_F(FormViewTest, MinimiseHidesTheWindow) {
    QWidget* w = windows.windowOf(form->form());
    QTest::mouseClick(widget("Bot_Min"), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(w->isVisible());
}

TEST_F(FormViewTest, WheelOverTheWindowGoesToTheWindowOnce) {
    QWidget* w = windows.windowOf(form->form());
    QWheelEvent wheel(QPointF(100, 300), w->mapToGlobal(QPointF(100, 300)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget("Logo"), &wheel);
    EXPECT_EQ(count("FormLogin", app::EventKind::Wheel), 1);
}

}  // namespace
}  // namespace tallyro::qt
