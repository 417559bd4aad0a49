// The caret of the real sign-in box: it blinks after input and stands still
// once the program has been left alone, seen in the box's redraws.
#include <gtest/gtest.h>

#include <QStyleHints>

#include "qt/caret_rest.h"
#include "qt_client.h"

namespace tallyro::qt {
namespace {

class CaretRestTest : public QtClientTest {
protected:
    // Counts the box's redraws.
    struct PaintCount : QObject {
        int n = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            n += e->type() == QEvent::Paint;
            return false;
        }
    };

    CaretRestTest() {
        QGuiApplication::styleHints()->setCursorFlashTime(100);
        start();
        box = widget("UserName_Txt");
        box->installEventFilter(&paints);
        window()->activateWindow();
    }
    ~CaretRestTest() override { QGuiApplication::styleHints()->setCursorFlashTime(1000); }

    int flashTime() const { return QGuiApplication::styleHints()->cursorFlashTime(); }
    // Whether the box's caret blinks: redrawn every 50 ms, eight times in 400 ms;
    // a caret that comes to rest is drawn once more, shown.
    bool blinks() {
        const int before = paints.n;
        QTest::qWait(400);
        return paints.n - before > 2;
    }

    QWidget* box = nullptr;
    PaintCount paints;
};

TEST_F(CaretRestTest, BlinksAfterInputAndRestsWhenLeftAlone) {
    CaretRest rest(std::chrono::milliseconds(1000));
    click(box);
    ASSERT_TRUE(QTest::qWaitFor([&] { return box->hasFocus(); }));
    EXPECT_TRUE(blinks());
    ASSERT_TRUE(QTest::qWaitFor([&] { return flashTime() == 0; }));
    EXPECT_FALSE(blinks());

    // A key brings the desktop's blinking back at once, and the rest comes again.
    QTest::keyClick(box, Qt::Key_A);
    EXPECT_EQ(flashTime(), 100);
    EXPECT_TRUE(blinks());
    ASSERT_TRUE(QTest::qWaitFor([&] { return flashTime() == 0; }));
    EXPECT_FALSE(blinks());
    // So does a click, anywhere in the window.
    click(window());
    EXPECT_EQ(flashTime(), 100);
}

TEST_F(CaretRestTest, LeavesTheDesktopsBlinkingAsItFoundIt) {
    {
        CaretRest rest(std::chrono::milliseconds(50));
        ASSERT_TRUE(QTest::qWaitFor([&] { return flashTime() == 0; }));
    }
    EXPECT_EQ(flashTime(), 100);
    // A desktop that does not blink the caret is left alone.
    QGuiApplication::styleHints()->setCursorFlashTime(0);
    CaretRest rest(std::chrono::milliseconds(50));
    QTest::keyClick(box, Qt::Key_A);
    EXPECT_EQ(flashTime(), 0);
}

}  // namespace
}  // namespace tallyro::qt
