#include "qt/form_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

#include "qt/accessibility.h"
#include "qt/element_widgets.h"
#include "qt/skin_assets.h"
#include "ui/window_shape.h"

namespace tallyro::qt {

namespace {

// Paint order of windowless elements inside one container: images at the back,
// opaque labels (row backgrounds) above them, then every other label and shape.
int paintLayer(const ui::Element& e) {
    if (e.kind() == ui::Kind::Image)
        return 0;
    if (e.kind() == ui::Kind::Label && e.opaque())
        return 1;
    return 2;
}

bool hasWidget(ui::Kind k) {
    switch (k) {
        case ui::Kind::Form:
        case ui::Kind::PictureBox:
        case ui::Kind::TextBox:
        case ui::Kind::CheckBox:
        case ui::Kind::VScrollBar:
        case ui::Kind::RichTextBox:
        case ui::Kind::WebBrowser:
            return true;
        default:
            return false;
    }
}

QRegion regionOf(const ui::WindowRegion& r) {
    QRegion out;
    const auto spans = ui::roundedRectSpans(r.width, r.height, r.cornerWidth, r.cornerHeight);
    // Rows with the same extent merge into one rectangle.
    std::size_t i = 0;
    while (i < spans.size()) {
        std::size_t j = i + 1;
        while (j < spans.size() && spans[j].left == spans[i].left &&
               spans[j].right == spans[i].right)
            ++j;
        out += QRect(spans[i].left, spans[i].y, spans[i].right - spans[i].left,
                     static_cast<int>(j - i));
        i = j;
    }
    return out;
}

}  // namespace

// One form's widgets.
class FormView {
public:
    FormView(ui::Form& form, Post post) : form_(form) {
        post_ = [alive = alive_, post = std::move(post)](ui::Event& e) {
            if (*alive)
                post(e);
        };
        ui::Element& win = form.window();
        window_ = new ContainerWidget(win, post_, nullptr);
        window_->setWindowFlags(Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint);
        window_->setWindowTitle(QString::fromStdString(win.title()));
        window_->setObjectName(QString::fromStdString(form.name()));
        if (win.picture() != 0)
            window_->setWindowIcon(QIcon(bitmap(win.picture())));
        // The call comes from the event loop, possibly after this view is gone.
        window_->setFirstPaint([this, alive = alive_] {
            if (*alive)
                firstPainted();
        });
        window_->setTabHandler([this](bool next) { return tab(next); });
        widgets_[win.id()] = window_;
        applyGeometry(win);
    }

    // A form may go away inside one of its own widgets' event handlers (the
    // popup's close button): its window is hidden and cut off from the model at
    // once, and deleted by the event loop once that handler has returned.
    ~FormView() {
        *alive_ = false;
        for (auto& [id, w] : widgets_) {
            if (auto* c = dynamic_cast<ContainerWidget*>(w))
                c->graphics().clear();
            w->setEnabled(false);
        }
        window_->hide();
        window_->deleteLater();
    }

    ui::Form& form() const { return form_; }
    QWidget* window() const { return window_; }

    QWidget* widgetOf(const ui::Element& e) const {
        const auto it = widgets_.find(e.id());
        return it == widgets_.end() ? nullptr : it->second;
    }

    void apply() {
        auto changes = form_.takeChanges();
        if (changes.empty())
            return;
        applying_ = true;
        for (std::uint32_t id : changes.removed)
            remove(id);
        std::vector<ContainerWidget*> touched;
        for (const auto& c : changes.changed) {
            if (c.bits & ui::kChangeCreated)
                create(*c.element, touched);
        }
        ui::Element* focus = nullptr;
        for (const auto& c : changes.changed) {
            applyChange(*c.element, c.bits, touched);
            if (c.bits & ui::kChangeFocus)
                focus = c.element;
        }
        std::sort(touched.begin(), touched.end());
        touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
        for (ContainerWidget* w : touched)
            w->update();
        applying_ = false;
        // The focus moves once the page it goes to is in place.
        if (focus)
            focusElement(*focus, Qt::OtherFocusReason);
        else
            keepFocusShown();
        describe();
    }

    // The Tab key: the next or previous Tab stop shown, round the window.
    bool tab(bool next) {
        // Qt asks while the view hides the focused widget; the view places the
        // focus itself once the change set is applied.
        if (applying_)
            return true;
        const std::vector<ui::Element*> stops = shownStops();
        if (stops.empty())
            return false;
        const int count = static_cast<int>(stops.size());
        const auto at = std::find_if(stops.begin(), stops.end(),
                                     [this](ui::Element* e) { return hasFocus(*e); });
        int to = next ? 0 : count - 1;
        if (at != stops.end())
            to = (static_cast<int>(at - stops.begin()) + (next ? 1 : count - 1)) % count;
        focusElement(*stops[static_cast<std::size_t>(to)],
                     next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }

private:
    // Whether the user can see the element: shown with its parents, enabled,
    // and some of it inside the window.
    bool isShown(const ui::Element& e) const {
        if (isWindowless(e.kind())) {
            const ContainerWidget* c = containerFor(e);
            return c && e.visible() && c->isVisible() &&
                   visibleRect(c).intersects(
                       QRect(px(e.left()), px(e.top()), px(e.width()), px(e.height())));
        }
        const QWidget* w = widgetOf(e);
        return w && w->isVisible() && w->isEnabled() && !visibleRect(w).isEmpty();
    }
    std::vector<ui::Element*> shownStops() const {
        std::vector<ui::Element*> out;
        for (ui::Element* e : form_.tabOrder()) {
            if (isShown(*e))
                out.push_back(e);
        }
        return out;
    }
    bool hasFocus(const ui::Element& e) const {
        const QWidget* focused = window_->focusWidget();
        if (isWindowless(e.kind())) {
            const ContainerWidget* c = containerFor(e);
            return c && focused == c && c->focusTarget() == &e;
        }
        const QWidget* w = widgetOf(e);
        return w && focused && (focused == w || w->isAncestorOf(focused));
    }
    void focusElement(ui::Element& e, Qt::FocusReason reason) {
        if (isWindowless(e.kind())) {
            if (ContainerWidget* c = containerFor(e))
                c->focusGraphic(e, reason);
        } else if (auto* box = TextBoxWidget::of(widgetOf(e));
                   box && reason == Qt::OtherFocusReason) {
            box->focusQuietly();
        } else if (QWidget* w = widgetOf(e)) {
            w->setFocus(reason);
        }
    }
    // A window just shown gives the focus to its first control; a focused
    // widget that has just been hidden hands it on to the first control shown:
    // the keys never go where nobody sees.
    void keepFocusShown() {
        QWidget* focused = window_->focusWidget();
        if (focused ? focused->isVisible() : !window_->isVisible())
            return;
        const std::vector<ui::Element*> stops = shownStops();
        if (stops.empty()) {
            if (focused)
                focused->clearFocus();
        } else {
            focusElement(*stops.front(), Qt::OtherFocusReason);
        }
    }
    // Descriptions that follow the window: the loading page's status, the row
    // the search box's arrows have selected.
    void describe() {
        for (const auto& [element, widget] : described_) {
            const QString now = accessibleDescription(*element);
            if (widget->accessibleDescription() != now)
                widget->setAccessibleDescription(now);
        }
    }

    ContainerWidget* containerFor(const ui::Element& e) const {
        const ui::Element* parent = e.parent() ? e.parent() : &form_.window();
        return static_cast<ContainerWidget*>(widgetOf(*parent));
    }

    void create(ui::Element& e, std::vector<ContainerWidget*>& touched) {
        if (isWindowless(e.kind())) {
            ContainerWidget* c = containerFor(e);
            if (!c)
                return;
            auto& g = c->graphics();
            // Keep paint order: by layer, then by creation (ids grow with creation).
            const auto pos = std::upper_bound(
                g.begin(), g.end(), &e, [](const ui::Element* a, const ui::Element* b) {
                    const int la = paintLayer(*a), lb = paintLayer(*b);
                    return la != lb ? la < lb : a->id() < b->id();
                });
            g.insert(pos, &e);
            graphicOwner_[e.id()] = {c, &e};
            touched.push_back(c);
            return;
        }
        if (!hasWidget(e.kind()) || e.kind() == ui::Kind::Form)
            return;
        QWidget* parent = containerFor(e);
        if (!parent)
            return;
        QWidget* w = nullptr;
        bool named = true;
        switch (e.kind()) {
            case ui::Kind::PictureBox: {
                auto* c = new ContainerWidget(e, post_, parent);
                if (!e.toolTip().empty())
                    c->setToolTip(QString::fromStdString(e.toolTip()));
                c->setFocusPolicy(e.tabIndex() >= 0 ? Qt::TabFocus : Qt::NoFocus);
                // Its accessible interface names it; rows' favourite marks come
                // and go with every search, and a name set here is an event each.
                named = false;
                w = c;
                break;
            }
            case ui::Kind::TextBox:
                w = new TextBoxWidget(e, post_, parent);
                break;
            case ui::Kind::CheckBox: {
                auto* box = new QCheckBox(parent);
                box->setFocusPolicy(e.tabIndex() >= 0 ? Qt::TabFocus : Qt::NoFocus);
                QObject::connect(box, &QCheckBox::clicked, box, [this, &e](bool checked) {
                    ui::Event ev{&e, ui::EventKind::UserValue};
                    ev.value = checked ? 1 : 0;
                    post_(ev);
                });
                w = box;
                break;
            }
            case ui::Kind::VScrollBar: {
                auto* bar = new QScrollBar(Qt::Vertical, parent);
                bar->setRange(e.min(), e.max());
                bar->setPageStep(1);
                bar->setFocusPolicy(Qt::NoFocus);
                QObject::connect(bar, &QScrollBar::valueChanged, bar, [this, &e](int v) {
                    ui::Event ev{&e, ui::EventKind::UserValue};
                    ev.value = v;
                    post_(ev);
                });
                w = bar;
                break;
            }
            case ui::Kind::RichTextBox: {
                auto* text = new QPlainTextEdit(parent);
                text->setReadOnly(true);
                text->setFrameShape(QFrame::NoFrame);
                w = text;
                break;
            }
            case ui::Kind::WebBrowser: {
                // The analysis browser shows nothing; it lives in the platform.
                if (e.name() == "WebBrowser1")
                    return;
                auto* host = new WebHost(e, parent);
                webHosts_.push_back(host);
                if (firstPaintDone_)
                    host->enableEngine();
                w = host;
                break;
            }
            default:
                return;
        }
        w->setObjectName(QString::fromStdString(e.name()));
        if (named)
            w->setAccessibleName(accessibleName(e));
        if (hasDescription(e))
            described_.emplace_back(&e, w);
        widgets_[e.id()] = w;
        if (e.pointer() != ui::Pointer::Arrow)
            w->setCursor(pointerCursor(e.pointer()));
        // Fresh widgets take every property once.
        applyChange(e,
                    ~0u & ~ui::kChangeCreated & ~ui::kChangeNavigate & ~ui::kChangeFocus &
                        ~ui::kChangeSelected,
                    touched);
        w->setVisible(e.visible());
    }

    void remove(std::uint32_t id) {
        // The element itself is gone already: only its address is compared.
        if (const auto g = graphicOwner_.find(id); g != graphicOwner_.end()) {
            g->second.container->forgetGraphic(g->second.element);
            g->second.container->update();
            graphicOwner_.erase(g);
            return;
        }
        if (const auto w = widgets_.find(id); w != widgets_.end()) {
            std::erase(webHosts_, w->second);
            std::erase_if(described_, [&w](const auto& d) { return d.second == w->second; });
            delete w->second;
            widgets_.erase(w);
        }
    }

    void applyGeometry(const ui::Element& e) {
        QWidget* w = widgetOf(e);
        if (!w)
            return;
        if (w == window_)
            window_->placedAt(QPoint(px(e.left()), px(e.top())));
        w->setGeometry(px(e.left()), px(e.top()), px(e.width()), px(e.height()));
    }

    void applyChange(ui::Element& e, std::uint32_t bits, std::vector<ContainerWidget*>& touched) {
        if (isWindowless(e.kind())) {
            if (const auto g = graphicOwner_.find(e.id()); g != graphicOwner_.end()) {
                touched.push_back(g->second.container);
                announceGraphic(*g->second.container, e, bits);
            }
            return;
        }
        QWidget* w = widgetOf(e);
        if (!w)
            return;
        if (bits & ui::kChangeGeometry)
            applyGeometry(e);
        if (bits & ui::kChangeTitle)
            w->setWindowTitle(QString::fromStdString(e.title()));
        if (bits & ui::kChangeRegion) {
            const auto& r = e.region();
            if (!(r == lastRegion_)) {
                lastRegion_ = r;
                w->setMask(regionOf(r));
            }
        }
        if (bits & (ui::kChangeColors | ui::kChangePicture | ui::kChangeText | ui::kChangeFont)) {
            applyLook(e, w);
        }
        if (bits & ui::kChangeValue) {
            if (auto* bar = dynamic_cast<QScrollBar*>(w)) {
                const QSignalBlocker block(bar);
                bar->setValue(e.value());
            } else if (auto* box = dynamic_cast<QCheckBox*>(w)) {
                box->setChecked(e.value() != 0);
            }
        }
        if (bits & ui::kChangeEnabled)
            w->setEnabled(e.enabled());
        // A page leaving view is hidden before it is told where to go, and one
        // coming into view is shown after: either way it loads only if it ends up
        // shown, and then once.
        const bool visibility = (bits & ui::kChangeVisible) != 0;
        if (visibility && !e.visible())
            w->setVisible(false);
        if (bits & ui::kChangeNavigate) {
            if (auto* host = dynamic_cast<WebHost*>(w))
                host->navigate(QString::fromStdString(e.location()));
        }
        if (visibility && e.visible())
            w->setVisible(true);
        announceWidget(*w, e, bits);
    }

    void applyLook(const ui::Element& e, QWidget* w) {
        if (auto* edit = dynamic_cast<QLineEdit*>(w)) {
            QPalette pal = edit->palette();
            pal.setColor(QPalette::Base, rgbColor(e.backColor()));
            pal.setColor(QPalette::Text, rgbColor(e.foreColor()));
            edit->setPalette(pal);
            edit->setFont(qtFont(e.font()));
            const QString text = QString::fromStdString(e.text());
            if (edit->text() != text) {
                const QSignalBlocker block(edit);
                edit->setText(text);
            }
        } else if (auto* text = dynamic_cast<QPlainTextEdit*>(w)) {
            text->setFont(qtFont(e.font()));
            QString plain = QString::fromStdString(e.text());
            plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            if (text->toPlainText() != plain)
                text->setPlainText(plain);
        } else if (auto* box = dynamic_cast<QCheckBox*>(w)) {
            box->setAutoFillBackground(true);
            QPalette pal = box->palette();
            pal.setColor(QPalette::Window, rgbColor(e.backColor()));
            box->setPalette(pal);
        } else {
            w->update();
        }
    }

    void firstPainted() {
        firstPaintDone_ = true;
        for (QWidget* h : webHosts_)
            static_cast<WebHost*>(h)->enableEngine();
    }

    ui::Form& form_;
    Post post_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    ContainerWidget* window_ = nullptr;
    std::unordered_map<std::uint32_t, QWidget*> widgets_;
    struct Graphic {
        ContainerWidget* container;
        const ui::Element* element;
    };
    std::unordered_map<std::uint32_t, Graphic> graphicOwner_;
    std::vector<QWidget*> webHosts_;
    std::vector<std::pair<ui::Element*, QWidget*>> described_;
    ui::WindowRegion lastRegion_;
    bool firstPaintDone_ = false;
    bool applying_ = false;
};

QtWindowSystem::QtWindowSystem() {
    qApp->installEventFilter(this);
    installAccessibility();
}

QtWindowSystem::~QtWindowSystem() {
    if (qApp)
        qApp->removeEventFilter(this);
}

void QtWindowSystem::attach(ui::Form& form) {
    views_.push_back(std::make_unique<FormView>(form, [this](ui::Event& e) {
        if (detaching_ > 0)
            return;
        if (applying_ || draining_) {
            pending_.push_back(e);
            return;
        }
        if (dispatch_)
            dispatch_(e);
    }));
}

void QtWindowSystem::detach(ui::Form& form) {
    // Widgets going away report focus changes; none of that is input any more.
    std::erase_if(pending_, [&form](const ui::Event& e) { return &e.target->form() == &form; });
    ++detaching_;
    std::erase_if(views_, [&form](const auto& v) { return &v->form() == &form; });
    --detaching_;
}

void QtWindowSystem::refresh() {
    if (applying_)
        return;
    applying_ = true;
    // A view may attach or detach forms while applying (it never does today);
    // iterate by index to stay safe.
    for (std::size_t i = 0; i < views_.size(); ++i)
        views_[i]->apply();
    applying_ = false;
    drain();
}

void QtWindowSystem::drain() {
    if (draining_)
        return;
    draining_ = true;
    while (!pending_.empty()) {
        ui::Event e = pending_.front();
        pending_.pop_front();
        draining_ = false;
        if (dispatch_)
            dispatch_(e);
        draining_ = true;
    }
    draining_ = false;
}

FormView* QtWindowSystem::viewOf(const ui::Form& form) const {
    for (const auto& v : views_) {
        if (&v->form() == &form)
            return v.get();
    }
    return nullptr;
}

void QtWindowSystem::setCapture(ui::Element* element) {
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (!element)
        return;
    if (QWidget* w = widgetOf(*element); w && w->isVisible())
        w->grabMouse();
}

QWidget* QtWindowSystem::windowOf(const ui::Form& form) const {
    const FormView* v = viewOf(form);
    return v ? v->window() : nullptr;
}

QWidget* QtWindowSystem::widgetOf(const ui::Element& element) const {
    const FormView* v = viewOf(element.form());
    return v ? v->widgetOf(element) : nullptr;
}

QRect QtWindowSystem::rectInWindow(const ui::Element& element) const {
    QRect r(px(element.left()), px(element.top()), px(element.width()), px(element.height()));
    for (const ui::Element* p = element.parent(); p && p->kind() != ui::Kind::Form;
         p = p->parent()) {
        r.translate(px(p->left()), px(p->top()));
    }
    return r;
}

void QtWindowSystem::post(ui::Event event) {
    if (detaching_ > 0)
        return;
    if (applying_ || draining_) {
        pending_.push_back(std::move(event));
        return;
    }
    if (dispatch_)
        dispatch_(event);
}

bool QtWindowSystem::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseMove || type == QEvent::Enter || type == QEvent::Leave) {
        // Seen on the native window, before any widget: every move over it
        // counts, whichever child is under the pointer and whether it tracks
        // the mouse or not.
        if (auto* native = qobject_cast<QWindow*>(watched)) {
            for (const auto& v : views_) {
                if (v->window()->windowHandle() == native) {
                    post(ui::Event{&v->form().window(), type == QEvent::Leave
                                                            ? ui::EventKind::PointerLeft
                                                            : ui::EventKind::PointerMoved});
                    break;
                }
            }
        }
        return false;
    }
    if (type != QEvent::Wheel || !wheelTarget_)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    const FormView* v = viewOf(wheelTarget_->form());
    if (!v || widget->window() != v->window())
        return false;
    // Web pages and the advice text scroll themselves. The element under the
    // pointer decides, not the receiver: a turn they leave unused (at the end of
    // a page) travels on to their parents and must not scroll the list either.
    auto* wheel = static_cast<QWheelEvent*>(event);
    QWidget* under = widget->childAt(wheel->position().toPoint());
    for (QWidget* w = under ? under : widget; w; w = w->parentWidget()) {
        if (dynamic_cast<WebHost*>(w) || dynamic_cast<QPlainTextEdit*>(w))
            return false;
    }
    // Every other turn over the main window goes to the window, once.
    ui::Event ev{wheelTarget_, ui::EventKind::Wheel};
    ev.delta = wheel->angleDelta().y();
    post(ev);
    return true;
}

}  // namespace tallyro::qt
