// The real main window on the offscreen platform: elements land at their pixel
// rectangles, input reaches the handlers, and applied changes are never echoed
// back as input.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include "qt/element_widgets.h"
#include "qt_client.h"
#include "text/gbk_codec.h"

namespace tallyro::test {
QObject* makeNoRttiObject();  // no_rtti_object.cpp
void destroyNoRttiObject(QObject* object);
}  // namespace tallyro::test

namespace tallyro::qt {
namespace {

constexpr const char* kAbcDigest = "900150983CD24FB0D6963F7D28E17F72";  // RFC 1321 "abc"

class FormViewTest : public QtClientTest {
protected:
    FormViewTest() {
        onInput = [this](app::Event& e) {
            events.push_back(e.target->name() + ":" + std::to_string(static_cast<int>(e.kind)));
            if (e.kind == app::EventKind::KeyDown || e.kind == app::EventKind::KeyPress)
                keys.push_back(e.key);
        };
        restart();
    }

    void restart() { start(); }

    int count(const std::string& name, app::EventKind kind) {
        return static_cast<int>(std::count(events.begin(), events.end(),
                                           name + ":" + std::to_string(static_cast<int>(kind))));
    }
    void signIn() {
        udp.arrive("LoginOk");
        ASSERT_TRUE(form->el("Frame_Search").visible());
    }
    // A key press as the window system hands it to the focused widget.
    static void press(QWidget* w, Qt::Key key, const char* text, Qt::KeyboardModifiers m = {}) {
        QKeyEvent event(QEvent::KeyPress, key, m, QString::fromLatin1(text));
        QApplication::sendEvent(w, &event);
    }
    // Makes `w` the active window as the window system would, focus events included.
    static void activate(QWidget* w) {
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    }

    std::vector<std::string> events;
    std::vector<std::int16_t> keys;  // codes of KeyDown and KeyPress, in order
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
    EXPECT_EQ(keys, (std::vector<std::int16_t>{'A', 'a', 'B', 'b'}));
    auto* password = qobject_cast<QLineEdit*>(widget("PassWord_Txt"));
    password->setFocus();
    QTest::keyClicks(password, "ab");
    EXPECT_EQ(form->el("PassWord_Txt").text(), "ab");
    EXPECT_EQ(password->displayText(), "**");
}

// Only keys that produce a character raise KeyPress, with the code of that
// character; the texts are those Qt gives on X11, or none as on other platforms.
TEST_F(FormViewTest, EveryTextBoxRaisesKeyPressOnlyForKeysWithACharacter) {
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* text;
        std::int16_t down;
        std::int16_t press;  // 0: no KeyPress
    };
    const Key table[] = {
        {Qt::Key_A, {}, "a", 65, 97},
        {Qt::Key_Backspace, {}, "\b", 8, 8},
        {Qt::Key_Backspace, {}, "", 8, 8},
        {Qt::Key_Return, {}, "\r", 13, 13},
        {Qt::Key_Enter, Qt::KeypadModifier, "\r", 13, 13},
        {Qt::Key_Escape, {}, "\x1b", 27, 27},
        {Qt::Key_V, Qt::ControlModifier, "\x16", 86, 22},
        {Qt::Key_V, Qt::ControlModifier, "", 86, 22},
        {Qt::Key_Delete, {}, "\x7f", 46, 0},
        {Qt::Key_Delete, Qt::KeypadModifier, "\x7f", 46, 0},
        {Qt::Key_Left, {}, "", 37, 0},
        {Qt::Key_Home, {}, "", 36, 0},
        {Qt::Key_End, {}, "", 35, 0},
        {Qt::Key_PageDown, {}, "", 34, 0},
        {Qt::Key_Insert, {}, "", 45, 0},
        {Qt::Key_F5, {}, "", 116, 0},
        {Qt::Key_Shift, Qt::ShiftModifier, "", 16, 0},
    };
    // Typing into the search box replaces the result rows, and with them elements of
    // the form: the boxes are looked up by name, not walked in the live element list.
    std::vector<std::string> names;
    for (ui::Element* e : form->form().elements()) {
        if (e->kind() == ui::Kind::TextBox)
            names.push_back(e->name());
    }
    for (const std::string& name : names) {
        ui::Element* e = &form->el(name);
        QWidget* box = windows.widgetOf(*e);
        ASSERT_NE(box, nullptr) << e->name();
        for (const Key& k : table) {
            keys.clear();
            press(box, k.key, k.text, k.modifiers);
            std::vector<std::int16_t> expected{k.down};
            if (k.press != 0)
                expected.push_back(k.press);
            EXPECT_EQ(keys, expected)
                << e->name() << " key " << std::hex << k.key << " text \"" << k.text << '"';
        }
    }
    EXPECT_EQ(names.size(), 4u);
}

TEST_F(FormViewTest, KeysWithoutACharacterLeaveARememberedPasswordAlone) {
    test::execSql(files.database,
                  std::string("update [System] set AutoLogin='Yes', UserName='trader', "
                              "PassWord='") +
                      kAbcDigest + "';");
    restart();
    QWidget* name = widget("UserName_Txt");
    press(name, Qt::Key_Delete, "\x7f");
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Home, Qt::Key_End, Qt::Key_F2})
        press(name, key, "");
    EXPECT_EQ(form->el("PassWord_Txt").text(), kAbcDigest);
    EXPECT_EQ(form->state().TempAutoLogin, "Yes");
    // Backspace is a character key: the name changes, so the password goes.
    press(name, Qt::Key_Backspace, "\b");
    EXPECT_EQ(form->el("PassWord_Txt").text(), "");
    EXPECT_EQ(form->state().TempAutoLogin, "No");
}

TEST_F(FormViewTest, ComingBackToTheWindowKeepsTheSearch) {
    QWidget other;
    other.setGeometry(0, 0, 100, 100);
    other.show();
    activate(&other);
    signIn();
    auto* box = qobject_cast<QLineEdit*>(widget("SearchForm_Text"));
    box->setFocus();
    // The window's first activation gives the box its first focus: the
    // placeholder goes.
    activate(window());
    EXPECT_EQ(count("SearchForm_Text", app::EventKind::GotFocus), 1);
    EXPECT_EQ(form->el("SearchForm_Text").text(), "");
    QTest::keyClicks(box, "600");
    ASSERT_EQ(form->form().count("GpID") - 1, 20);
    // Looking at another program and coming back moves no focus between controls.
    activate(&other);
    activate(window());
    EXPECT_EQ(form->el("SearchForm_Text").text(), "600");
    EXPECT_EQ(form->form().count("GpID") - 1, 20);
    EXPECT_EQ(count("SearchForm_Text", app::EventKind::GotFocus), 1);
    EXPECT_EQ(count("SearchForm_Text", app::EventKind::LostFocus), 0);
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

// The wheel scrolls the list from anywhere over the main window except where
// an element that scrolls by itself lies under the pointer.
TEST_F(FormViewTest, WheelScrollsTheListExceptOverPagesThatScrollThemselves) {
    const auto turn = [this](QWidget* receiver) {
        const int before = count("FormLogin", app::EventKind::Wheel);
        const QPointF at(receiver->width() / 2.0, receiver->height() / 2.0);
        QWheelEvent wheel(at, receiver->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(receiver, &wheel);
        return count("FormLogin", app::EventKind::Wheel) - before;
    };
    EXPECT_EQ(turn(widget("Logo")), 1);
    signIn();
    EXPECT_EQ(turn(widget("Frame_TableBox")), 1);
    EXPECT_EQ(turn(widget("Frame_TableBar")), 1);
    // The advice text scrolls itself.
    QTest::mouseClick(widget("ToolsTree_Bot", 2), Qt::LeftButton, {}, QPoint(5, 5));
    auto* advice = qobject_cast<QPlainTextEdit*>(widget("SearchGp_Info"));
    ASSERT_TRUE(advice && advice->isVisible());
    EXPECT_EQ(turn(advice->viewport()), 0);
    // The handbook page. A plain child stands in for the engine's widgets; like
    // them at the end of a page, it leaves the turn to its parents.
    QTest::mouseClick(widget("ToolsTree_Bot", 3), Qt::LeftButton, {}, QPoint(5, 5));
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
    restart();
    const bool notedFirst = QTest::qWaitFor(noted);
    restart();
    const bool notedAgain = QTest::qWaitFor(noted);
    const std::string err = testing::internal::GetCapturedStderr();
    WebHost::setEngineLibrary(QString());
    EXPECT_TRUE(notedFirst);
    EXPECT_TRUE(notedAgain);
    // One line, naming the file and why it did not load.
    const auto first = err.find("tallyro: ");
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find("tallyro: ", first + 1), std::string::npos) << err;
    const std::string line = err.substr(first, err.find('\n', first) - first);
    EXPECT_NE(line.find(missing.toStdString()), std::string::npos) << line;
    EXPECT_EQ(::dlopen(missing.toUtf8().constData(), RTLD_NOW), nullptr);
    EXPECT_NE(line.find(::dlerror()), std::string::npos) << line;
    QWidget* host = widget("WebAD");
    auto* note = host->findChild<QLabel*>();
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->text(), QString::fromUtf8(kWebEngineMissing));
    EXPECT_TRUE(note->isVisibleTo(host));
    EXPECT_EQ(note->geometry(), host->rect());
}

// What a screen reader finds: the shown part of a window's accessibility tree.
struct Accessible {
    QAccessible::Role role;
    QString name;
    QAccessibleInterface* node;
};

void collect(QAccessibleInterface* node, std::vector<Accessible>& out) {
    if (!node || node->state().invisible)
        return;
    out.push_back({node->role(), node->text(QAccessible::Name), node});
    for (int i = 0; i < node->childCount(); ++i)
        collect(node->child(i), out);
}

std::vector<Accessible> shownTree(QWidget* window) {
    std::vector<Accessible> out;
    collect(QAccessible::queryAccessibleInterface(window), out);
    return out;
}

QAccessibleInterface* find(const std::vector<Accessible>& tree, QAccessible::Role role,
                           const char* name) {
    for (const Accessible& a : tree) {
        if (a.role == role && a.name == QString::fromUtf8(name))
            return a.node;
    }
    return nullptr;
}

// Every control a user can act on has a name.
void expectEveryControlNamed(const std::vector<Accessible>& tree) {
    for (const Accessible& a : tree) {
        switch (a.role) {
            case QAccessible::Button:
            case QAccessible::Link:
            case QAccessible::PageTab:
            case QAccessible::ListItem:
            case QAccessible::CheckBox:
            case QAccessible::EditableText:
            case QAccessible::Window:
            case QAccessible::Dialog:
                EXPECT_FALSE(a.name.isEmpty()) << "unnamed control of role " << a.role;
                break;
            default:
                break;
        }
    }
}

TEST_F(FormViewTest, ScreenReadersFindEveryControlOfTheLoginPageByNameAndRole) {
    const auto tree = shownTree(window());
    struct Expected {
        QAccessible::Role role;
        const char* name;
    };
    for (const auto& [role, name] :
         {Expected{QAccessible::Window, "Tallyro"}, Expected{QAccessible::EditableText, "帐号"},
          Expected{QAccessible::EditableText, "密码"}, Expected{QAccessible::CheckBox, "保存密码"},
          Expected{QAccessible::Button, "登录"}, Expected{QAccessible::Button, "最小化"},
          Expected{QAccessible::Button, "关闭"}, Expected{QAccessible::StaticText, "帐号:"},
          Expected{QAccessible::Link, "注册新帐号"}, Expected{QAccessible::Link, "找回密码"},
          Expected{QAccessible::Link, "官方网站"}}) {
        EXPECT_NE(find(tree, role, name), nullptr) << name;
    }
    expectEveryControlNamed(tree);
    // A painted link sits where it is drawn and is pressed like a click.
    QAccessibleInterface* link = find(tree, QAccessible::Link, "官方网站");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->rect(),
              QRect(window()->mapToGlobal(rect("Web_Label").topLeft()), rect("Web_Label").size()));
    EXPECT_EQ(link->parent()->childAt(link->rect().center().x(), link->rect().center().y()), link);
    ASSERT_NE(link->actionInterface(), nullptr);
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(count("Web_Label", app::EventKind::Click), 1);
}

// Screen readers ask about every object with the focus, the browser engine's too,
// whose classes have no run-time type information to cast with.
TEST_F(FormViewTest, ScreenReadersMayAskAboutObjectsWithoutTypeInformation) {
    const std::unique_ptr<QObject, void (*)(QObject*)> foreign(test::makeNoRttiObject(),
                                                               test::destroyNoRttiObject);
    QAccessibleInterface* about = QAccessible::queryAccessibleInterface(foreign.get());
    EXPECT_TRUE(about == nullptr || about->role() != QAccessible::Window);
}

TEST_F(FormViewTest, ScreenReadersFindTheTabsTheResultRowsAndThePopup) {
    signIn();
    auto* box = qobject_cast<QLineEdit*>(widget("SearchForm_Text"));
    box->setFocus();
    activate(window());
    QTest::keyClicks(box, "600");
    ASSERT_EQ(form->form().count("GpID") - 1, 20);
    windows.refresh();
    const auto tree = shownTree(window());
    expectEveryControlNamed(tree);
    for (const char* tab : {"股票查询", "查询结果", "操盘手册", "程序选股"})
        EXPECT_NE(find(tree, QAccessible::PageTab, tab), nullptr) << tab;
    EXPECT_NE(find(tree, QAccessible::EditableText, "搜索股票代码或名称"), nullptr);
    // Each row is one item named by its code and name, in the list's order.
    QAccessibleInterface* list = find(tree, QAccessible::List, "股票列表");
    ASSERT_NE(list, nullptr);
    std::vector<QString> rows;
    for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* c = list->child(i);
        if (c->role() == QAccessible::ListItem && !c->state().invisible)
            rows.push_back(c->text(QAccessible::Name));
    }
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows[1].toStdString(),
              form->el("GpID", 2).text() + " " + form->el("GpName", 2).text());
    EXPECT_FALSE(form->el("GpID", 2).text().empty());
    // A pushed message: the popup is named by its title.
    udp.arrive(*text::utf8ToGbk("Msg|系统通知|42"));
    windows.refresh();
    ASSERT_NE(form->formMessage(), nullptr);
    const auto popup = shownTree(windows.windowOf(*form->formMessage()));
    EXPECT_NE(find(popup, QAccessible::Dialog, "系统通知"), nullptr);
    QAccessibleInterface* close = find(popup, QAccessible::Button, "关闭");
    ASSERT_NE(close, nullptr);
    close->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    windows.refresh();
    EXPECT_EQ(form->formMessage(), nullptr);
}

}  // namespace
}  // namespace tallyro::qt
