// The real main window on the offscreen platform, driven with real Qt events: where
// elements land, how input reaches the handlers, and what screen readers find.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyleHints>
#include <tuple>

#include "qt/caret_rest.h"
#include "qt/element_widgets.h"
#include "qt_client.h"
#include "text/gbk_codec.h"

namespace tallyro::test {
QObject* makeNoRttiObject();  // no_rtti_object.cpp
void destroyNoRttiObject(QObject* object);
}  // namespace tallyro::test

namespace tallyro::qt {
namespace {

using ui::EventKind;

struct FormViewTest : QtClientTest {
    FormViewTest() { start(); }
    QString rowName(std::int16_t n) {
        return QString::fromStdString(form->el("GpID", n).text() + " " +
                                      form->el("GpName", n).text());
    }
    // The search box's text, the rows listed, and its GotFocus and LostFocus counts.
    std::string search() {
        return form->el("SearchForm_Text").text() + " " +
               std::to_string(form->form().count("GpID") - 1) + " " +
               std::to_string(count("SearchForm_Text", EventKind::GotFocus)) +
               std::to_string(count("SearchForm_Text", EventKind::LostFocus));
    }
};

// Makes `w` the active window as the window system would, focus events included.
void activate(QWidget* w) {
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
}

// The first shown node of `role` named `name` under `node`, as a screen reader
// walks the tree; on the way, every control a user can act on must have a name.
QAccessibleInterface* find(QAccessibleInterface* node, QAccessible::Role role,
                           const QString& name) {
    static const QList<QAccessible::Role> controls{QAccessible::Button,   QAccessible::Link,
                                                   QAccessible::PageTab,  QAccessible::ListItem,
                                                   QAccessible::CheckBox, QAccessible::EditableText,
                                                   QAccessible::Window,   QAccessible::Dialog};
    if (!node || node->state().invisible)
        return nullptr;
    const QString text = node->text(QAccessible::Name);
    EXPECT_TRUE(!text.isEmpty() || !controls.contains(node->role())) << "unnamed " << node->role();
    QAccessibleInterface* found = node->role() == role && text == name ? node : nullptr;
    for (int i = 0; i < node->childCount(); ++i)
        if (QAccessibleInterface* in = find(node->child(i), role, name); !found)
            found = in;
    return found;
}
QAccessibleInterface* find(QWidget* window, QAccessible::Role role, const char* name) {
    return find(QAccessible::queryAccessibleInterface(window), role, QString::fromUtf8(name));
}

// The name of the control with the keyboard focus, an element painted on a
// container for a container that has given it the focus.
std::string focusedName() {
    QWidget* w = QApplication::focusWidget();
    if (auto* c = ContainerWidget::of(w)) {
        const ui::Element& e = c->focusTarget() ? *c->focusTarget() : c->element();
        return e.name() + (e.index() >= 0 ? std::to_string(e.index()) : "");
    }
    return w ? w->objectName().toStdString() : "";
}

TEST_F(FormViewTest, WindowAndWindowedElementsLandAtTheirPlaces) {
    QWidget* w = window();
    ASSERT_TRUE(w && w->isVisible());
    EXPECT_EQ(w->geometry(), QRect(1920 - 240 - 30, 30, 240, 570));
    EXPECT_EQ(w->windowFlags(), Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w->windowTitle(), "Tallyro");  // the caption "Form1" stays in the model
    // The rounded outline over the window's own size: the top row loses two pixels.
    EXPECT_EQ(w->mask().boundingRect(), QRect(0, 0, 240, 570));
    EXPECT_EQ(w->mask().intersected(QRect(0, 0, 240, 1)), QRegion(2, 0, 236, 1));
    for (const auto& [name, r] :
         {std::pair<const char*, QRect>{"UserName_border", {35, 220, 170, 28}},
          {"UserName_Txt", {41, 227, 158, 14}},
          {"Login_Bot", {82, 358, 77, 30}},
          {"Logo", {81, 45, 79, 82}}}) {
        QWidget* e = widget(name);
        ASSERT_TRUE(e && e->isVisible()) << name;
        EXPECT_EQ(QRect(e->mapTo(w, QPoint(0, 0)), e->size()), r) << name;
    }
    EXPECT_FALSE(widget("Frame_Search")->isVisible() || widget("LoginClose_Bot")->isVisible());
    for (const char* name : {"Line1", "Shape1"}) {  // painted by their container
        const ui::Element* e = &form->el(name);
        const auto& painted = ContainerWidget::of(windows.widgetOf(*e->parent()))->graphics();
        EXPECT_NE(std::find(painted.begin(), painted.end(), e), painted.end()) << name;
    }
}

// Labels and result rows are windowless: painted by their container, which
// hit-tests them and routes the click.
TEST_F(FormViewTest, ClicksReachWindowlessElements) {
    const QRect r = rect("Jion_Label");
    click(window(), r.center());
    click(window(), QPoint(r.center().x(), r.top() - 3));
    EXPECT_EQ(count("Jion_Label", EventKind::MouseDown), 1);
    EXPECT_EQ(count("Jion_Label", EventKind::Click), 1);
    // Rebuilding the list unloads and loads every row; the view follows. Row 2 lies
    // 450 twips down the canvas, which starts 600 twips into the search panel.
    for (int i = 0; i < 2; ++i) {
        form->ReGpTj();
        windows.refresh();
    }
    EXPECT_EQ(rect("GpBg", 2), QRect(39, 128 + 40 + 30, 217, 30));
    form->el("Frame_Search").setVisible(true);
    windows.refresh();
    // The name label lies above the row's background and takes the click over it.
    for (const int x : {80, 160})
        click(widget("Frame_TableBox"), QPoint(x, 45));
    EXPECT_EQ(count("GpName", EventKind::Click), 1);
    EXPECT_EQ(count("GpBg", EventKind::Click), 1);
    // The mouse is captured for a shown element only.
    windows.setCapture(&form->el("Frame_Search"));
    EXPECT_EQ(QWidget::mouseGrabber(), widget("Frame_Search"));
    form->el("Frame_Search").setVisible(false);
    windows.refresh();
    windows.setCapture(&form->el("Frame_Search"));
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(FormViewTest, ChangesCrossTheBindingOnceInEachDirection) {
    auto* password = qobject_cast<QLineEdit*>(widget("PassWord_Txt"));
    auto* bar = qobject_cast<QScrollBar*>(widget("Frame_TableBar"));
    QTest::keyClicks(password, "ab");
    EXPECT_EQ(form->el("PassWord_Txt").text(), "ab");
    EXPECT_EQ(password->displayText(), "**");
    bar->setValue(7);
    EXPECT_EQ(form->el("Frame_TableBar").value(), 7);
    qobject_cast<QCheckBox*>(widget("Chk_AutoLogin"))->click();
    EXPECT_EQ(form->el("Chk_AutoLogin").value(), 1);
    // What the program sets reaches the widgets and raises no input.
    events.clear();
    form->el("UserName_Txt").setText("set by code");
    form->el("Frame_TableBar").setValue(4);
    form->el("UserName_border").setBackColor(0x123456);
    windows.refresh();
    EXPECT_EQ(qobject_cast<QLineEdit*>(widget("UserName_Txt"))->text(), "set by code");
    EXPECT_EQ(bar->value(), 4);
    // Colours are 0xRRGGBB; the box's own fill shows around its frame.
    EXPECT_EQ(widget("UserName_border")->grab().toImage().pixelColor(85, 0),
              QColor(0x12, 0x34, 0x56));
    EXPECT_TRUE(events.empty());
}

// Only keys that produce a character raise KeyPress, with the code of that
// character; the texts are those Qt gives on X11, or none as on other platforms.
// (Letters, Shift, Backspace, Return, Escape, arrows as QTest types them: the contract test.)
TEST_F(FormViewTest, EveryTextBoxRaisesKeyPressOnlyForKeysWithACharacter) {
    // Key, modifiers, text, and the codes of KeyDown, then of KeyPress if any.
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, const char*, std::vector<std::int16_t>>
        table[] = {{Qt::Key_Backspace, {}, "", {8, 8}},
                   {Qt::Key_Enter, Qt::KeypadModifier, "\r", {13, 13}},
                   {Qt::Key_V, Qt::ControlModifier, "\x16", {86, 22}},
                   {Qt::Key_V, Qt::ControlModifier, "", {86, 22}},
                   {Qt::Key_Delete, {}, "\x7f", {46}},
                   {Qt::Key_F5, {}, "", {116}}};
    for (const char* name : {"Text1", "UserName_Txt", "PassWord_Txt", "SearchForm_Text"}) {
        for (const auto& [key, modifiers, text, codes] : table) {
            keys.clear();
            QKeyEvent press(QEvent::KeyPress, key, modifiers, QString::fromLatin1(text));
            QApplication::sendEvent(widget(name), &press);  // as to the focused widget
            EXPECT_EQ(keys, codes) << name << " key " << std::hex << key << " \"" << text;
        }
    }
}

// The box the page chose takes the focus when the window is first activated (coming
// back later moves none: the contract test); the search page and a pushed popup are
// named for screen readers.
TEST_F(FormViewTest, FirstActivationFocusesTheSearchThatScreenReadersFind) {
    QWidget other;
    other.show();
    activate(&other);
    udp.arrive("LoginOk");
    auto* box = qobject_cast<QLineEdit*>(widget("SearchForm_Text"));
    // The page gave the box the focus, which it takes when the window is first
    // activated; the placeholder goes when the user types.
    activate(window());
    EXPECT_EQ(QApplication::focusWidget(), box);
    EXPECT_EQ(search(), std::string(lookup::kSearchPlaceholder) + " 8 00");
    QTest::keyClicks(box, "600");
    EXPECT_EQ(search(), "600 20 10");

    windows.refresh();
    for (const char* tab : {"股票查询", "查询结果", "操盘手册", "程序选股"})
        EXPECT_NE(find(window(), QAccessible::PageTab, tab), nullptr) << tab;
    // A pushed message: the popup is named by its title.
    udp.arrive(*text::utf8ToGbk("Msg|系统通知|42"));
    windows.refresh();
    QWidget* popup = windows.windowOf(*form->formMessage());
    EXPECT_NE(find(popup, QAccessible::Dialog, "系统通知"), nullptr);
    QAccessibleInterface* close = find(popup, QAccessible::Button, "关闭");
    ASSERT_NE(close, nullptr);
    close->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    windows.refresh();
    EXPECT_EQ(form->formMessage(), nullptr);
}

// The wheel scrolls the list from anywhere over the main window except where
// an element that scrolls by itself lies under the pointer.
TEST_F(FormViewTest, WheelScrollsTheListExceptOverPagesThatScrollThemselves) {
    const auto turn = [this](QWidget* receiver) {
        const int before = count("FormLogin", EventKind::Wheel);
        const QPointF at(receiver->width() / 2.0, receiver->height() / 2.0);
        QWheelEvent wheel(at, receiver->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(receiver, &wheel);
        return count("FormLogin", EventKind::Wheel) - before;
    };
    EXPECT_EQ(turn(widget("Logo")), 1);
    udp.arrive("LoginOk");
    EXPECT_EQ(turn(widget("Frame_TableBox")), 1);
    EXPECT_EQ(turn(widget("Frame_TableBar")), 1);
    // The advice text scrolls itself.
    click(widget("ToolsTree_Bot", 2));
    auto* advice = qobject_cast<QPlainTextEdit*>(widget("SearchGp_Info"));
    ASSERT_TRUE(advice && advice->isVisible());
    EXPECT_EQ(turn(advice->viewport()), 0);
    // The handbook page. A plain child stands in for the engine's widgets; like
    // them at the end of a page, it leaves the turn to its parents.
    click(widget("ToolsTree_Bot", 3));
    QWidget* host = widget("WebQuestion");
    ASSERT_TRUE(host->isVisible());
    auto* page = new QWidget(host);
    page->setGeometry(host->rect());
    page->show();
    EXPECT_EQ(turn(page), 0);
    EXPECT_EQ(turn(host), 0);
}

TEST_F(FormViewTest, MissingWebEngineIsReportedOnceAndPagesShowANote) {
    const QString missing = QString::fromStdString((dir / "libtallyro_web.so").string());
    WebHost::setEngineLibrary(missing);
    testing::internal::CaptureStderr();
    const auto noted = [this] { return widget("WebAD")->findChild<QLabel*>() != nullptr; };
    for (int i = 0; i < 2; ++i) {
        start();
        EXPECT_TRUE(QTest::qWaitFor(noted));
    }
    const std::string err = testing::internal::GetCapturedStderr();
    WebHost::setEngineLibrary(QString());
    // One line, naming the file.
    const auto first = err.find("tallyro: ");
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_EQ(first, err.rfind("tallyro: ")) << err;
    const std::string line = err.substr(first, err.find('\n', first) - first);
    EXPECT_NE(line.find(missing.toStdString()), std::string::npos) << line;
    QWidget* host = widget("WebAD");
    const QLabel* note = host->findChild<QLabel*>();  // there, as waited for above
    EXPECT_EQ(note->text(), QString::fromUtf8(kWebEngineMissing));
    EXPECT_TRUE(note->isVisibleTo(host));
}

// Every control of the login page by name and role; a painted link is pressed like
// a control; a refused sign-in is a label, and the back button that takes the focus
// carries it as its description.
TEST_F(FormViewTest, ScreenReadersFindEveryControlOfTheLoginPageAndARefusal) {
    for (const auto& [role, names] : {std::pair{QAccessible::EditableText, "帐号|密码"},
                                      {QAccessible::CheckBox, "保存密码"},
                                      {QAccessible::Button, "登录|最小化|关闭"},
                                      {QAccessible::Link, "注册新帐号|找回密码"}}) {
        for (const QString& name : QString::fromUtf8(names).split('|'))
            EXPECT_NE(find(window(), role, name.toUtf8().constData()), nullptr) << names;
    }
    // A painted link sits where it is drawn and is pressed like a click.
    QAccessibleInterface* link = find(window(), QAccessible::Link, "官方网站");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->rect(),
              QRect(window()->mapToGlobal(rect("Web_Label").topLeft()), rect("Web_Label").size()));
    EXPECT_EQ(link->parent()->childAt(link->rect().center().x(), link->rect().center().y()), link);
    EXPECT_TRUE(link->state().linked && link->text(QAccessible::Description).isEmpty());
    ASSERT_NE(link->actionInterface(), nullptr);
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(count("Web_Label", EventKind::Click), 1);
    // Screen readers ask about every object with the focus, the browser engine's
    // too, whose classes have no run-time type information to cast with.
    const std::unique_ptr<QObject, void (*)(QObject*)> foreign(test::makeNoRttiObject(),
                                                               test::destroyNoRttiObject);
    QAccessibleInterface* about = QAccessible::queryAccessibleInterface(foreign.get());
    EXPECT_TRUE(about == nullptr || about->role() != QAccessible::Window);
    activate(window());
    QTest::keyClicks(widget("UserName_Txt"), "trader");
    QTest::keyClicks(widget("PassWord_Txt"), "abc");
    click(widget("Login_Bot"));
    QApplication::processEvents();
    udp.arrive("Err|Password");
    QApplication::processEvents();
    const QString error = QString::fromStdString(form->el("Login_Txt").text());
    ASSERT_EQ(error, QStringLiteral("帐户与密码错误，请重试"));
    EXPECT_NE(find(window(), QAccessible::StaticText, error.toUtf8().constData()), nullptr);
    QAccessibleInterface* back = find(window(), QAccessible::Button, "返回");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->text(QAccessible::Description), error);
    EXPECT_EQ(focusedName(), "LoginClose_Bot");
}

// Tab runs through the controls each page shows, round and back; a page shown
// gives its first control the focus without its GotFocus, so the favourites
// stay listed until the user types.
TEST_F(FormViewTest, TabVisitsWhatEachPageShowsAndAPageStartsAtItsFirstControl) {
    activate(window());
    const auto tabRound = [](int keys) {
        std::string names = focusedName();
        for (int i = 0; i < keys; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            names += " " + focusedName();
        }
        return names;
    };
    EXPECT_EQ(tabRound(9),
              "UserName_Txt PassWord_Txt Login_Bot Chk_AutoLogin Jion_Label RePass_Label "
              "Web_Label Bot_Min Bot_Close UserName_Txt");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(focusedName(), "Bot_Close");
    udp.arrive("LoginOk");
    EXPECT_EQ(tabRound(4),
              "SearchForm_Text SearchDapan_shanghai SearchDapan_shenzhen Frame_TableBox "
              "ToolsTree_Bot1");
    // The favourites, untouched by passing by; the placeholder goes when Tab comes in.
    EXPECT_EQ(search(), std::string(lookup::kSearchPlaceholder) + " 8 00");
    EXPECT_EQ(tabRound(6),
              "ToolsTree_Bot1 ToolsTree_Bot2 ToolsTree_Bot3 ToolsTree_Bot4 Bot_Min Bot_Close "
              "SearchForm_Text");
    EXPECT_EQ(search(), " 8 10");  // Tab in is the user's
    widget("ToolsTree_Bot", 2)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(tabRound(3), "SearchGp_Info Bot_CloseSearchMain ToolsTree_Bot1 ToolsTree_Bot2");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(focusedName(), "SearchGp_Info");  // tab 2 again: its page, its first control
    widget("ToolsTree_Bot", 1)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTest::keyClicks(QApplication::focusWidget(), "6");
    EXPECT_EQ(search(), "6 20 21");
}

// Each row is one item named by its code and name, in the list's order; shown means
// inside the window and its frames; a selected row or tab says so, and with the list
// focused its selected row has the focus, named and opened by its actions as by the
// mouse; the list's own keys move the selection.
TEST_F(FormViewTest, StatesTellWhatIsShownSelectedAndFocused) {
    activate(window());
    udp.arrive("LoginOk");
    QTest::keyClicks(QApplication::focusWidget(), "sh60");
    QAccessibleInterface* list = find(window(), QAccessible::List, "股票列表");
    ASSERT_NE(list, nullptr);
    const QRect viewport = rect("Frame_Table");
    std::int16_t rows = 0;
    int showing = 0;
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* row = list->child(i);
        if (row->role() != QAccessible::ListItem)
            continue;
        const bool shown = !row->state().invisible;
        EXPECT_EQ(shown, viewport.intersects(rect("GpBg", ++rows))) << rows;
        EXPECT_EQ(row->text(QAccessible::Name), rowName(rows));
        showing += shown;
    }
    EXPECT_EQ(rows, form->form().count("GpID") - 1);
    EXPECT_TRUE(showing > 1 && showing < rows) << showing << " of " << rows;
    for (const char* outside : {"Text1", "WebQuestion"}) {
        QAccessibleInterface* at = QAccessible::queryAccessibleInterface(widget(outside));
        EXPECT_TRUE(at->state().invisible) << outside;
        EXPECT_EQ(at->childCount(), 0) << outside;
    }
    EXPECT_TRUE(find(window(), QAccessible::PageTab, "股票查询")->state().selected);
    EXPECT_FALSE(find(window(), QAccessible::PageTab, "查询结果")->state().selected);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(widget("SearchGp_Info"))->state().focused);
    EXPECT_EQ(find(window(), QAccessible::Button, "深")->text(QAccessible::Description),
              "上证A股指数");

    // Down twice in the box names the row in its description; Tab on to the list,
    // Down there: the focused row is named.
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down})
        QTest::keyClick(QApplication::focusWidget(), key);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(widget("SearchForm_Text"))
                  ->text(QAccessible::Description),
              rowName(2));
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab})
        QTest::keyClick(QApplication::focusWidget(), key);
    QAccessibleInterface* focus = QAccessible::queryAccessibleInterface(widget("Frame_TableBox"));
    EXPECT_FALSE(focus->state().focused);
    ASSERT_NE(focus->focusChild(), nullptr);
    EXPECT_TRUE(focus->focusChild()->state().focused && focus->focusChild()->state().selected);
    EXPECT_EQ(focus->focusChild()->text(QAccessible::Name), rowName(2));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(focus->focusChild()->text(QAccessible::Name), rowName(3));
    EXPECT_FALSE(find(list, QAccessible::ListItem, rowName(2))->state().selected);
    // A row's first action opens it as a double-click does; its focus action selects.
    QAccessibleInterface* fourth = find(list, QAccessible::ListItem, rowName(4));
    fourth->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    EXPECT_TRUE(focus->focusChild() == fourth && count("GpBg", EventKind::DblClick) == 0);
    fourth->actionInterface()->doAction(fourth->actionInterface()->actionNames().first());
    EXPECT_EQ(count("GpBg", EventKind::DblClick), 1);
    EXPECT_EQ(focusedName(), "SearchClose_Bot");  // the request's loading page
}

// A password box tells its mask (read every way and in every event in the
// accessibility end-to-end test); text set through any box counts as typed; no word
// is ever sought for long in a text without words.
TEST_F(FormViewTest, PasswordBoxTellsItsMaskAndEveryBoxTakesTextFromScreenReaders) {
    auto* password = widget("PassWord_Txt");
    QTest::keyClicks(password, "p3x");
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(password);
    EXPECT_EQ(box->text(QAccessible::Value), "***");
    EXPECT_TRUE(box->state().passwordEdit);
    box->editableTextInterface()->replaceText(1, 2, "q");
    EXPECT_EQ(form->el("PassWord_Txt").text(), "pqx");

    QAccessibleInterface* name = QAccessible::queryAccessibleInterface(widget("UserName_Txt"));
    name->editableTextInterface()->insertText(0, "** ");
    EXPECT_EQ(form->el("UserName_Txt").text(), "** ");
    int start = 0, end = 0;
    EXPECT_EQ(name->textInterface()->textAtOffset(0, QAccessible::WordBoundary, &start, &end),
              "** ");
    udp.arrive("LoginOk");
    QAccessible::queryAccessibleInterface(widget("SearchForm_Text"))
        ->setText(QAccessible::Value, "600519");
    EXPECT_EQ(search(), "600519 1 10");
}

// The favourite marks are toggle buttons named by what pressing them does; a
// favourite's price is part of its row's name.
TEST_F(FormViewTest, FavouriteMarksSayWhatTheyDoAndRowsNameTheirPrice) {
    activate(window());
    QTest::keyClicks(widget("UserName_Txt"), "trader");
    udp.arrive("LoginOk");
    QTest::keyClicks(QApplication::focusWidget(), "sh60000");
    QAccessibleInterface* list = find(window(), QAccessible::List, "股票列表");
    ASSERT_NE(list, nullptr);
    fetcher.answer(  // for the first favourite as delivered, sh600000
        "http://127.0.0.1:9/SendGpInfo.asp?浦发银行|2026-12-07|10:00:00|10.50|3.2|10.20|"
        "9.80|-3.6|a");
    QApplication::processEvents();
    EXPECT_TRUE(find(list, QAccessible::ListItem, rowName(1) + QStringLiteral(" 10.20")));
    QAccessibleInterface* mark =
        find(list, QAccessible::Button, QStringLiteral("取消收藏 ") + rowName(1) + " 10.20");
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(mark->state().checkable && mark->state().checked);
    mark->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QApplication::processEvents();
    EXPECT_FALSE(mark->state().checked);
    EXPECT_EQ(mark->text(QAccessible::Name), QStringLiteral("收藏 ") + rowName(1));  // no price now
}

// The caret of the sign-in box blinks after input and stands still once the program
// is left alone (seen in the box's redraws: every 50 ms while it blinks); gone while
// resting, the rest leaves the desktop's blinking as it found it.
TEST_F(FormViewTest, TheCaretBlinksAfterInputAndRestsWhenLeftAlone) {
    struct PaintCount : QObject {
        int n = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            n += e->type() == QEvent::Paint;
            return false;
        }
    } paints;
    QWidget* box = widget("UserName_Txt");
    box->installEventFilter(&paints);
    const auto blinks = [&] {  // eight redraws in 400 ms; a caret coming to rest one
        const int before = paints.n;
        QTest::qWait(400);
        return paints.n - before > 2;
    };
    QStyleHints* hints = QGuiApplication::styleHints();
    hints->setCursorFlashTime(100);
    activate(window());
    {
        CaretRest rest(std::chrono::milliseconds(1000));
        click(box);
        ASSERT_TRUE(QTest::qWaitFor([&] { return box->hasFocus(); }));
        EXPECT_TRUE(blinks());
        ASSERT_TRUE(QTest::qWaitFor([&] { return hints->cursorFlashTime() == 0; }));
        EXPECT_FALSE(blinks());
        // A key brings the blinking back at once, and the rest comes again.
        QTest::keyClick(box, Qt::Key_A);
        EXPECT_EQ(hints->cursorFlashTime(), 100);
        EXPECT_TRUE(blinks());
        ASSERT_TRUE(QTest::qWaitFor([&] { return hints->cursorFlashTime() == 0; }));
        EXPECT_FALSE(blinks());
        click(window());  // so does a click, anywhere in the window
        EXPECT_EQ(hints->cursorFlashTime(), 100);
        ASSERT_TRUE(QTest::qWaitFor([&] { return hints->cursorFlashTime() == 0; }));
    }
    EXPECT_EQ(hints->cursorFlashTime(), 100);
    hints->setCursorFlashTime(1000);
}

}  // namespace
}  // namespace tallyro::qt
