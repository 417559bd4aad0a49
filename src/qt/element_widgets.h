// The widgets that stand for windowed elements.
#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "ui/element.h"
#include "ui/event.h"

namespace tallyro::qt {

// Hands an event to the dispatch; KeyPress handlers may change the event's key.
using Post = std::function<void(ui::Event&)>;

bool isWindowless(ui::Kind kind);

// A form or picture box: paints its background, picture and border, then the
// windowless elements it contains, and routes mouse input to the topmost of them
// under the pointer (or to itself).
class ContainerWidget : public QWidget {
public:
    ContainerWidget(ui::Element& element, Post post, QWidget* parent);
    ~ContainerWidget() override;
    // The object as a container, or null. Safe on any object: the accessibility
    // code asks about every object, the browser engine's too, whose classes are
    // built without run-time type information and cannot be dynamic_cast.
    static ContainerWidget* of(const QObject* object);

    ui::Element& element() const { return element_; }
    // The windowless elements painted here, kept in paint order by the view.
    std::vector<ui::Element*>& graphics() { return graphics_; }
    void forgetGraphic(const ui::Element* e);
    void setFirstPaint(std::function<void()> onFirstPaint) {
        onFirstPaint_ = std::move(onFirstPaint);
    }
    // A window: the view has just placed it here (pixels); the window system's
    // report of this move is the program's own, not a move from outside.
    void placedAt(QPoint place);
    // A click on the element (this one or one painted here) that comes from
    // elsewhere than the mouse: the keyboard, a screen reader's action.
    void press(ui::Element& target);
    // A double-click from elsewhere than the mouse: Click, then DblClick.
    void pressTwice(ui::Element& target);

    // The keyboard focus on one of the windowless elements painted here (a
    // link): the container takes the focus and keys act on that element.
    void focusGraphic(ui::Element& graphic, Qt::FocusReason reason);
    // Where the keyboard focus is while this container has it: the windowless
    // element given it, or the list's selected row, or null for the container
    // itself. Null when the container does not have the focus.
    ui::Element* focusTarget() const;
    // A window: what the Tab key does instead of Qt's own focus chain.
    void setTabHandler(std::function<bool(bool next)> handler) { tab_ = std::move(handler); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    // Where the pointer is inside this widget. A window takes it from where the
    // program has put the window, not from where the window system has it yet:
    // while a drag moves the window, the two differ until the move is done.
    QPointF local(QMouseEvent* event) const;
    ui::Element* hit(QPointF pos) const;
    ui::Event mouseEvent(ui::Element& target, ui::EventKind kind, QMouseEvent* event) const;
    QPointF origin(const ui::Element& target) const;

    ui::Element& element_;
    Post post_;
    std::vector<ui::Element*> graphics_;
    ui::Element* pressed_ = nullptr;
    bool afterDoubleClick_ = false;
    ui::Pointer shownPointer_;
    std::function<void()> onFirstPaint_;
    std::array<QPoint, 8> placed_{};
    std::size_t placedNext_ = 0;
    ui::Element* focusedGraphic_ = nullptr;
    // Space and Return press on release, and only a press that began here:
    // the Return that signs in must not also press the button it brings up.
    int keyDown_ = 0;
    std::function<bool(bool)> tab_;
};

// A text box: raises KeyDown and KeyPress before the character reaches the box,
// reports the user's edits (typed, pasted, or set by a screen reader) and the
// focus. The focus the program gives it (a page being shown) is told to the
// handlers only when the user first acts in the box, so that a box whose
// GotFocus empties it keeps its text while the user only passes by.
class TextBoxWidget : public QLineEdit {
public:
    TextBoxWidget(ui::Element& element, Post post, QWidget* parent);
    ~TextBoxWidget() override;
    static TextBoxWidget* of(const QObject* object);
    ui::Element& element() const { return element_; }
    // The program gives the box the focus (a page being shown), now or when its
    // window is next activated; the handlers hear of it when the user acts.
    void focusQuietly();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void reportFocus();

    ui::Element& element_;
    Post post_;
    // Whether the handlers were last told that this box has the focus.
    bool focusReported_ = false;
    // The program gave this box the focus and the handlers have not heard of it.
    bool focusUntold_ = false;
    // The program has asked for the focus that this box is yet to get.
    bool focusQuiet_ = false;
};

// Shown in a web view's place when the browser engine cannot be loaded.
inline constexpr const char* kWebEngineMissing = "网页组件无法加载";

// A web view whose browser engine is created only when the window has been
// painted, so pages never delay the first sight of the window.
class WebHost : public QWidget {
public:
    WebHost(ui::Element& element, QWidget* parent);
    ~WebHost() override;
    static WebHost* of(const QObject* object);
    ui::Element& element() const { return element_; }
    void navigate(const QString& url);
    // Allowed from now on: creates the engine if a page is waiting.
    void enableEngine();
    // The browser widget, once created.
    QWidget* view() const { return view_; }
    // Where the engine library is; by default next to the executable. Setting
    // it makes the next engine start load the library afresh.
    static void setEngineLibrary(const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void loadPending();

    ui::Element& element_;
    QWidget* view_ = nullptr;
    // Stands in the page's place when the engine library cannot be loaded.
    QWidget* note_ = nullptr;
    QString pendingUrl_;
};

// The part of a widget that its parents leave inside its window, in the
// widget's own coordinates: empty for one placed beyond the window's edges.
// Geometry only: what lies above it, a page's own child windows, is not asked.
QRect visibleRect(const QWidget* widget);

// Paints one windowless element inside its container's coordinates.
void paintGraphic(QPainter& painter, const ui::Element& element);

// Virtual key code of a key as the handlers know it (Down 40, Enter 13...).
std::int16_t virtualKeyCode(int qtKey);
// The character code a key press produces, 0 for keys without one.
std::int16_t characterCode(const QKeyEvent& event);
std::int16_t shiftState(Qt::KeyboardModifiers modifiers);

}  // namespace tallyro::qt
