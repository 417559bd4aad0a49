#include "qt/element_widgets.h"

#include <dlfcn.h>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QTimer>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <unordered_set>
#include <utility>

#include "qt/accessibility.h"
#include "qt/skin_assets.h"

namespace tallyro::qt {

namespace {

QRect pixelRect(const ui::Element& e) {
    return QRect(px(e.left()), px(e.top()), px(e.width()), px(e.height()));
}

std::int16_t mouseButton(Qt::MouseButton b) {
    switch (b) {
        case Qt::LeftButton:
            return ui::kButtonLeft;
        case Qt::RightButton:
            return ui::kButtonRight;
        case Qt::MiddleButton:
            return ui::kButtonMiddle;
        default:
            return 0;
    }
}

std::int16_t mouseButtons(Qt::MouseButtons bs) {
    std::int16_t out = 0;
    if (bs & Qt::LeftButton)
        out |= ui::kButtonLeft;
    if (bs & Qt::RightButton)
        out |= ui::kButtonRight;
    if (bs & Qt::MiddleButton)
        out |= ui::kButtonMiddle;
    return out;
}

class PasswordCharStyle : public QProxyStyle {
public:
    explicit PasswordCharStyle(QChar ch) : ch_(ch) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_LineEdit_PasswordCharacter)
            return ch_.unicode();
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

private:
    QChar ch_;
};

// The live widgets of each class, for telling them among all objects without
// touching the objects (see ContainerWidget::of).
template <typename W>
std::unordered_set<const QObject*>& liveWidgets() {
    static std::unordered_set<const QObject*> live;
    return live;
}

bool windowActivation(const QFocusEvent& event) {
    return event.reason() == Qt::ActiveWindowFocusReason || event.reason() == Qt::PopupFocusReason;
}

}  // namespace

bool isWindowless(ui::Kind k) {
    return k == ui::Kind::Image || k == ui::Kind::Label || k == ui::Kind::Shape ||
           k == ui::Kind::Line;
}

ContainerWidget::ContainerWidget(ui::Element& element, Post post, QWidget* parent)
    : QWidget(parent), element_(element), post_(std::move(post)), shownPointer_(element.pointer()) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, element.hasBackColor());
    placed_.fill(QPoint(std::numeric_limits<int>::min(), std::numeric_limits<int>::min()));
    liveWidgets<ContainerWidget>().insert(this);
}

ContainerWidget::~ContainerWidget() {
    liveWidgets<ContainerWidget>().erase(this);
}

ContainerWidget* ContainerWidget::of(const QObject* object) {
    return liveWidgets<ContainerWidget>().contains(object)
               ? static_cast<ContainerWidget*>(const_cast<QObject*>(object))
               : nullptr;
}

void ContainerWidget::forgetGraphic(const ui::Element* e) {
    std::erase(graphics_, e);
    if (pressed_ == e)
        pressed_ = nullptr;
    if (focusedGraphic_ == e)
        focusedGraphic_ = nullptr;
    forgetAccessible(*this, e);
}

void ContainerWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The skin's bitmaps are drawn one pixel for one at a scale of 1; scaled up
    // (QT_SCALE_FACTOR, a high-density screen) they are smoothed, not blocky.
    if (devicePixelRatioF() != 1.0)
        p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (element_.hasBackColor())
        p.fillRect(rect(), rgbColor(element_.backColor()));
    if (element_.kind() == ui::Kind::PictureBox && element_.picture() != 0) {
        p.drawPixmap(0, 0, bitmap(element_.picture()));
    }
    for (const ui::Element* g : graphics_) {
        if (g->visible())
            paintGraphic(p, *g);
    }
    if (element_.border()) {
        p.setPen(QColor(0x80, 0x80, 0x80));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (onFirstPaint_) {
        auto first = std::move(onFirstPaint_);
        onFirstPaint_ = nullptr;
        QTimer::singleShot(0, this, first);
    }
}

QRect visibleRect(const QWidget* w) {
    QRect r = w->rect();
    QPoint offset;
    for (const QWidget* c = w; !c->isWindow() && c->parentWidget(); c = c->parentWidget()) {
        offset += c->pos();
        r &= c->parentWidget()->rect().translated(-offset);
    }
    return r;
}

void paintGraphic(QPainter& p, const ui::Element& e) {
    const QRect r = pixelRect(e);
    switch (e.kind()) {
        case ui::Kind::Image:
            if (e.picture() != 0)
                p.drawPixmap(r, bitmap(e.picture()));
            break;
        case ui::Kind::Label: {
            if (e.opaque())
                p.fillRect(r, rgbColor(e.backColor()));
            if (e.text().empty())
                break;
            const QFont font = qtFont(e.font());
            p.setFont(font);
            p.setPen(rgbColor(e.foreColor()));
            // The box is as tall as the font's pixel size; glyphs with their
            // ascent and descent are centred on it.
            const QFontMetrics fm(font);
            const int extra = std::max(0, fm.height() - r.height());
            const QRect textRect = r.adjusted(0, -extra / 2, 0, extra - extra / 2);
            const int flags = (e.align() == ui::Align::Center ? Qt::AlignHCenter : Qt::AlignLeft) |
                              Qt::AlignVCenter | Qt::TextDontClip;
            p.drawText(textRect, flags, QString::fromStdString(e.text()));
            break;
        }
        case ui::Kind::Shape:
            p.setPen(QColor(0, 0, 0));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(0, 0, -1, -1));
            break;
        case ui::Kind::Line:
            p.setPen(QColor(0, 0, 0));
            p.drawLine(QPointF(e.x1() / ui::kTwipsPerPixel, e.y1() / ui::kTwipsPerPixel),
                       QPointF(e.x2() / ui::kTwipsPerPixel, e.y2() / ui::kTwipsPerPixel));
            break;
        default:
            break;
    }
}

ui::Element* ContainerWidget::hit(QPointF pos) const {
    for (auto it = graphics_.rbegin(); it != graphics_.rend(); ++it) {
        ui::Element* g = *it;
        if (!g->visible() || g->kind() == ui::Kind::Line)
            continue;
        const QRectF r(g->left() / ui::kTwipsPerPixel, g->top() / ui::kTwipsPerPixel,
                       g->width() / ui::kTwipsPerPixel, g->height() / ui::kTwipsPerPixel);
        if (r.contains(pos))
            return g;
    }
    return &element_;
}

QPointF ContainerWidget::origin(const ui::Element& target) const {
    if (&target == &element_)
        return {0, 0};
    return {target.left() / ui::kTwipsPerPixel, target.top() / ui::kTwipsPerPixel};
}

QPointF ContainerWidget::local(QMouseEvent* ev) const {
    if (!isWindow())
        return ev->position();
    return ev->globalPosition() -
           QPointF(element_.left() / ui::kTwipsPerPixel, element_.top() / ui::kTwipsPerPixel);
}

ui::Event ContainerWidget::mouseEvent(ui::Element& target, ui::EventKind kind,
                                      QMouseEvent* ev) const {
    ui::Event out{&target, kind};
    const QPointF rel = local(ev) - origin(target);
    out.x = static_cast<float>(rel.x()) * ui::kTwipsPerPixel;
    out.y = static_cast<float>(rel.y()) * ui::kTwipsPerPixel;
    out.shift = shiftState(ev->modifiers());
    out.button =
        kind == ui::EventKind::MouseMove ? mouseButtons(ev->buttons()) : mouseButton(ev->button());
    return out;
}

void ContainerWidget::mousePressEvent(QMouseEvent* ev) {
    ui::Element* target = hit(local(ev));
    pressed_ = target;
    afterDoubleClick_ = false;
    ui::Event e = mouseEvent(*target, ui::EventKind::MouseDown, ev);
    post_(e);
}

void ContainerWidget::mouseMoveEvent(QMouseEvent* ev) {
    ui::Element* target = pressed_ ? pressed_ : hit(local(ev));
    // The pointer shape changes only when the element under it wants another.
    if (!pressed_ && target->pointer() != shownPointer_) {
        shownPointer_ = target->pointer();
        setCursor(pointerCursor(shownPointer_));
    }
    ui::Event e = mouseEvent(*target, ui::EventKind::MouseMove, ev);
    post_(e);
}

void ContainerWidget::mouseReleaseEvent(QMouseEvent* ev) {
    ui::Element* target = pressed_ ? pressed_ : hit(local(ev));
    pressed_ = nullptr;
    ui::Event up = mouseEvent(*target, ui::EventKind::MouseUp, ev);
    post_(up);
    const bool over = hit(local(ev)) == target;
    if (over && !afterDoubleClick_ && ev->button() == Qt::LeftButton) {
        ui::Event click{target, ui::EventKind::Click};
        post_(click);
    }
    afterDoubleClick_ = false;
}

void ContainerWidget::mouseDoubleClickEvent(QMouseEvent* ev) {
    ui::Element* target = hit(local(ev));
    pressed_ = target;
    afterDoubleClick_ = true;
    if (ev->button() == Qt::LeftButton) {
        ui::Event dbl{target, ui::EventKind::DblClick};
        post_(dbl);
    }
}

void ContainerWidget::press(ui::Element& target) {
    ui::Event click{&target, ui::EventKind::Click};
    post_(click);
}

void ContainerWidget::pressTwice(ui::Element& target) {
    press(target);
    ui::Event dbl{&target, ui::EventKind::DblClick};
    post_(dbl);
}

void ContainerWidget::focusGraphic(ui::Element& graphic, Qt::FocusReason reason) {
    focusedGraphic_ = &graphic;
    // Qt tells screen readers of the container getting the focus; told of it
    // with a graphic chosen, they hear the graphic (see accessibility.cpp).
    if (!hasFocus())
        setFocus(reason);
    else
        announceFocus(*this);
}

ui::Element* ContainerWidget::focusTarget() const {
    if (!hasFocus())
        return nullptr;
    if (focusedGraphic_ && focusedGraphic_->visible())
        return focusedGraphic_;
    for (ui::Element* g : graphics_) {
        if (g->selected() && g->visible())
            return g;
    }
    return nullptr;
}

bool ContainerWidget::focusNextPrevChild(bool next) {
    if (isWindow() && tab_)
        return tab_(next);
    return QWidget::focusNextPrevChild(next);
}

void ContainerWidget::keyPressEvent(QKeyEvent* event) {
    // Keys a child widget left unused travel up here; they are not this one's.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    ui::Element* link = focusedGraphic_ && focusedGraphic_->visible() ? focusedGraphic_ : nullptr;
    const int key = event->key();
    if (link || pressedByKeys(element_)) {
        const bool pressKey = key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
        if (pressKey && pressedByKeys(link ? *link : element_)) {
            if (!event->isAutoRepeat())
                keyDown_ = key;
            return;
        }
        event->ignore();
        return;
    }
    // Any other focused container (the result list) hands its keys to its own
    // handlers as a picture box does: KeyDown, then KeyPress for a character.
    ui::Event down{&element_, ui::EventKind::KeyDown};
    down.key = virtualKeyCode(key);
    down.shift = shiftState(event->modifiers());
    post_(down);
    if (const std::int16_t code = characterCode(*event)) {
        ui::Event press{&element_, ui::EventKind::KeyPress};
        press.key = code;
        post_(press);
    }
}

void ContainerWidget::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat() || keyDown_ == 0 || event->key() != keyDown_) {
        event->ignore();
        return;
    }
    keyDown_ = 0;
    ui::Element* link = focusedGraphic_ && focusedGraphic_->visible() ? focusedGraphic_ : nullptr;
    press(link ? *link : element_);
}

void ContainerWidget::focusOutEvent(QFocusEvent* event) {
    keyDown_ = 0;
    QWidget::focusOutEvent(event);
}

void ContainerWidget::placedAt(QPoint place) {
    placed_[placedNext_] = place;
    placedNext_ = (placedNext_ + 1) % placed_.size();
}

void ContainerWidget::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (!isWindow())
        return;
    // The window system reports the program's own moves too, some of them late;
    // only a place the program has not put the window at lately is news.
    for (const QPoint& p : placed_) {
        if (p == event->pos())
            return;
    }
    ui::Event moved{&element_, ui::EventKind::Moved};
    moved.x = static_cast<float>(event->pos().x()) * ui::kTwipsPerPixel;
    moved.y = static_cast<float>(event->pos().y()) * ui::kTwipsPerPixel;
    post_(moved);
}

void ContainerWidget::closeEvent(QCloseEvent* event) {
    // The program decides what closing means; the window itself never just goes.
    event->ignore();
    if (!isWindow())
        return;
    ui::Event close{&element_, ui::EventKind::CloseRequest};
    post_(close);
}

TextBoxWidget::TextBoxWidget(ui::Element& element, Post post, QWidget* parent)
    : QLineEdit(parent), element_(element), post_(std::move(post)) {
    liveWidgets<TextBoxWidget>().insert(this);
    setFrame(false);
    setFocusPolicy(element.tabIndex() >= 0 ? Qt::StrongFocus : Qt::ClickFocus);
    if (element.passwordChar() != 0) {
        // The style picks its own bullet unless told the box's character.
        auto* style = new PasswordCharStyle(QChar::fromLatin1(element.passwordChar()));
        style->setParent(this);
        setStyle(style);
        setEchoMode(QLineEdit::Password);
    }
    // The view sets the program's texts with this box's signals blocked, so a
    // change heard here is the user's: typed, pasted, or set by a screen reader.
    // Focus asked for quietly but given elsewhere first is no longer this box's.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != this)
            focusQuiet_ = false;
    });
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (focusUntold_ && hasFocus())
            reportFocus();
        ui::Event ev{&element_, ui::EventKind::UserText};
        ev.text = text.toStdString();
        post_(ev);
    });
}

TextBoxWidget::~TextBoxWidget() {
    liveWidgets<TextBoxWidget>().erase(this);
}

TextBoxWidget* TextBoxWidget::of(const QObject* object) {
    return liveWidgets<TextBoxWidget>().contains(object)
               ? static_cast<TextBoxWidget*>(const_cast<QObject*>(object))
               : nullptr;
}

void TextBoxWidget::keyPressEvent(QKeyEvent* event) {
    if (focusUntold_)
        reportFocus();
    ui::Event down{&element_, ui::EventKind::KeyDown};
    down.key = virtualKeyCode(event->key());
    down.shift = shiftState(event->modifiers());
    post_(down);
    const std::int16_t code = characterCode(*event);
    if (code == 0) {
        // Keys without a character (arrows, Delete) still edit the box.
        QLineEdit::keyPressEvent(event);
        return;
    }
    // A handler may swallow the character by setting the code to 0, so the
    // key press runs synchronously here and the box acts on its answer.
    ui::Event press{&element_, ui::EventKind::KeyPress};
    press.key = code;
    post_(press);
    if (press.key == 0) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// GotFocus and LostFocus tell of the focus moving between the client's
// controls. The whole window losing or regaining activation (another program,
// another of the client's windows, a context menu popping up) moves nothing
// between them: those focus changes are passed over, except that a box which
// the handlers do not hold focused yet, such as the focus widget of a window
// activated for the first time, still reports that it got the focus.
void TextBoxWidget::mousePressEvent(QMouseEvent* event) {
    if (focusUntold_)
        reportFocus();
    QLineEdit::mousePressEvent(event);
}

void TextBoxWidget::inputMethodEvent(QInputMethodEvent* event) {
    if (focusUntold_)
        reportFocus();
    QLineEdit::inputMethodEvent(event);
}

void TextBoxWidget::focusQuietly() {
    if (hasFocus())
        return;
    focusQuiet_ = !focusReported_;
    setFocus(Qt::OtherFocusReason);
}

void TextBoxWidget::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (std::exchange(focusQuiet_, false)) {
        focusUntold_ = true;
        return;
    }
    if ((focusReported_ || focusUntold_) && windowActivation(*event))
        return;
    reportFocus();
}

void TextBoxWidget::reportFocus() {
    focusUntold_ = false;
    if (focusReported_)
        return;
    focusReported_ = true;
    ui::Event ev{&element_, ui::EventKind::GotFocus};
    post_(ev);
}

void TextBoxWidget::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (windowActivation(*event))
        return;
    focusUntold_ = false;
    if (!focusReported_)
        return;
    focusReported_ = false;
    ui::Event ev{&element_, ui::EventKind::LostFocus};
    post_(ev);
}

namespace {

using CreateWebView = QWidget* (*)(QWidget*);

struct WebEngine {
    QString path;
    bool loaded = false;
    CreateWebView create = nullptr;
};

WebEngine& webEngine() {
    static WebEngine engine;
    return engine;
}

// Loaded once; null when the engine library is missing, which is said once on
// standard error (the pages then show a note instead).
CreateWebView webViewFactory() {
    WebEngine& engine = webEngine();
    if (engine.loaded)
        return engine.create;
    engine.loaded = true;
    // Beside the program in the build tree and in a copied folder; installed, in
    // the private library folder that the program's run path names. dlopen is
    // called from here, in the executable, so that it is the executable's run
    // path that counts (QLibrary would call it from the Qt library).
    QString path = engine.path;
    if (path.isEmpty()) {
        const QString beside =
            QCoreApplication::applicationDirPath() + QStringLiteral("/libtallyro_web.so");
        path = QFileInfo::exists(beside) ? beside : QStringLiteral("libtallyro_web.so");
    }
    void* library = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (library != nullptr) {
        engine.create =
            reinterpret_cast<CreateWebView>(::dlsym(library, "tallyro_create_web_view"));
    }
    if (!engine.create) {
        const char* why = ::dlerror();
        std::fprintf(stderr, "tallyro: web pages cannot be shown, %s did not load: %s\n",
                     qUtf8Printable(path), why != nullptr ? why : "unknown error");
    }
    return engine.create;
}

}  // namespace

void WebHost::setEngineLibrary(const QString& path) {
    webEngine() = WebEngine{path};
}

WebHost::WebHost(ui::Element& element, QWidget* parent) : QWidget(parent), element_(element) {
    liveWidgets<WebHost>().insert(this);
}

WebHost::~WebHost() {
    liveWidgets<WebHost>().erase(this);
}

WebHost* WebHost::of(const QObject* object) {
    return liveWidgets<WebHost>().contains(object)
               ? static_cast<WebHost*>(const_cast<QObject*>(object))
               : nullptr;
}

void WebHost::navigate(const QString& url) {
    // A hidden page is loaded when it is shown: the advertisement is asked for
    // on every page switch, mostly while it is hidden, and each of those loads
    // would only be replaced by the next.
    pendingUrl_ = url;
    if (view_ && !isHidden())
        loadPending();
}

void WebHost::showEvent(QShowEvent*) {
    if (view_)
        loadPending();
}

void WebHost::loadPending() {
    if (pendingUrl_.isEmpty())
        return;
    view_->setProperty("url", QUrl(pendingUrl_));
    pendingUrl_.clear();
}

void WebHost::enableEngine() {
    if (view_ || note_)
        return;
    // The engine starts now, while the user reads the window, so that showing
    // the first page later does not wait for it.
    if (const CreateWebView create = webViewFactory()) {
        view_ = create(this);
    } else {
        auto* note = new QLabel(QString::fromUtf8(kWebEngineMissing), this);
        note->setAlignment(Qt::AlignCenter);
        note->setAutoFillBackground(true);
        QPalette pal = note->palette();
        pal.setColor(QPalette::Window, Qt::white);
        pal.setColor(QPalette::WindowText, Qt::gray);
        note->setPalette(pal);
        note_ = note;
    }
    QWidget* shown = view_ ? view_ : note_;
    shown->setGeometry(rect());
    shown->show();
    if (view_ && !isHidden())
        loadPending();
}

void WebHost::resizeEvent(QResizeEvent*) {
    if (QWidget* shown = view_ ? view_ : note_)
        shown->setGeometry(rect());
}

std::int16_t virtualKeyCode(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<std::int16_t>('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<std::int16_t>('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<std::int16_t>(112 + (key - Qt::Key_F1));
    switch (key) {
        case Qt::Key_Backspace:
            return 8;
        case Qt::Key_Tab:
            return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 13;
        case Qt::Key_Shift:
            return 16;
        case Qt::Key_Control:
            return 17;
        case Qt::Key_Alt:
            return 18;
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_Space:
            return 32;
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_PageDown:
            return 34;
        case Qt::Key_End:
            return 35;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        case Qt::Key_Insert:
            return 45;
        case Qt::Key_Delete:
            return 46;
        default:
            return 0;
    }
}

std::int16_t characterCode(const QKeyEvent& event) {
    const int key = event.key();
    // Qt numbers the keys that are not printable characters from Key_Escape up;
    // of those only these produce a character code.
    const bool special = key >= Qt::Key_Escape;
    if (special && key != Qt::Key_Escape && key != Qt::Key_Tab && key != Qt::Key_Backspace &&
        key != Qt::Key_Return && key != Qt::Key_Enter) {
        // Delete among them, though X11 gives it the text U+007F.
        return 0;
    }
    const QString text = event.text();
    if (!text.isEmpty())
        return static_cast<std::int16_t>(text.at(0).unicode());
    // Some platforms leave the text empty where X11 gives the control code.
    if (special)
        return virtualKeyCode(key);
    if ((event.modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<std::int16_t>(key - Qt::Key_A + 1);
    return 0;
}

std::int16_t shiftState(Qt::KeyboardModifiers m) {
    std::int16_t s = 0;
    if (m & Qt::ShiftModifier)
        s |= 1;
    if (m & Qt::ControlModifier)
        s |= 2;
    if (m & Qt::AltModifier)
        s |= 4;
    return s;
}

}  // namespace tallyro::qt
