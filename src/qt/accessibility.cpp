#include "qt/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QPointer>
#include <algorithm>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "qt/element_widgets.h"
#include "qt/skin_assets.h"
#include "ui/bitmap_table.h"
#include "ui/form.h"

namespace tallyro::qt {

namespace {

struct Description {
    const char* element;
    QAccessible::Role role;
    // nullptr: the element's own words, its tool tip or else its caption.
    const char* name;
    const char* description = nullptr;
    // The element whose name is this one's description; of a control array,
    // the member that is selected.
    const char* describedBy = nullptr;
};

// Controls whose pictures say what they do, and widgets whose captions stand
// elsewhere (a text box's label, the check box's caption beside it). Buttons
// with words on their pictures are named by those words.
const Description kDescriptions[] = {
    // The focus sink outside the window's visible part is no control.
    {"Text1", QAccessible::NoRole, ""},
    {"Bot_Min", QAccessible::Button, "最小化"},
    {"Bot_Close", QAccessible::Button, "关闭"},
    {"Login_Bot", QAccessible::Button, "登录"},
    {"LoginClose_Bot", QAccessible::Button, "返回", nullptr, "Login_Txt"},
    {"SearchClose_Bot", QAccessible::Button, "取消", nullptr, "Login_Txt"},
    // The index buttons show one character each; the second asks for s_sh000002.
    {"SearchDapan_shanghai", QAccessible::Button, "沪", "上证指数"},
    {"SearchDapan_shenzhen", QAccessible::Button, "深", "上证A股指数"},
    {"Bot_CloseSearchMain", QAccessible::Button, "关闭查询结果"},
    // The favourite marks: named by what pressing them does (see accessibleName).
    {"shoucang", QAccessible::Button, nullptr},
    {"SearchGp_Star", QAccessible::Button, nullptr},
    {"ToolsTree", QAccessible::PageTabList, "功能"},
    {"ToolsTree_Bot", QAccessible::PageTab, nullptr},
    {"Frame_TableBox", QAccessible::List, "股票列表"},
    {"Frame_Search", QAccessible::Pane, "股票查询"},
    {"Frame_results", QAccessible::Pane, "查询结果"},
    {"Logo", QAccessible::Graphic, "Tallyro"},
    {"LoadingLogo", QAccessible::Graphic, "Tallyro"},
    {"Main_Logo", QAccessible::Graphic, "Tallyro"},
    {"Pic_Load", QAccessible::Graphic, "正在加载"},
    {"Picture1", QAccessible::Graphic, "向上"},
    {"Picture2", QAccessible::Graphic, "向下"},
    // The loading pages' status: a label whose changes are told, though the
    // pointer over it is a hand (it opens the download of a new version).
    {"Login_Txt", QAccessible::StaticText, nullptr},
    {"UserName_Txt", QAccessible::EditableText, "帐号"},
    {"PassWord_Txt", QAccessible::EditableText, "密码"},
    {"SearchForm_Text", QAccessible::EditableText, "搜索股票代码或名称", nullptr, "GpBg"},
    {"Chk_AutoLogin", QAccessible::CheckBox, "保存密码"},
    {"Frame_TableBar", QAccessible::ScrollBar, "滚动股票列表"},
    {"SearchGp_Info", QAccessible::EditableText, "操盘建议"},
    {"WebAD", QAccessible::Client, "广告"},
    {"WebQuestion", QAccessible::Client, "操盘手测"},
    {"WebSet", QAccessible::Client, "信息内容"},
};

const Description* describe(const ui::Element& e) {
    for (const Description& d : kDescriptions) {
        if (e.name() == d.element)
            return &d;
    }
    return nullptr;
}

// The result list's rows: the row's background label stands for the row; the
// code and name painted over it are its name.
bool isRow(const ui::Element& e) {
    return e.name() == "GpBg" && e.index() >= 1;
}
// A favourite mark shows the full folder on a favourite, the faint one elsewhere.
bool isFavouriteMark(const ui::Element& e) {
    return e.name() == "shoucang" || e.name() == "SearchGp_Star";
}
bool marksFavourite(const ui::Element& e) {
    return e.picture() == ui::kBitmapFolder;
}

// The code and name, and a favourite's price and gauge, which the row's name says.
bool isPartOfRow(const ui::Element& e) {
    for (const char* part : {"GpID", "GpName", "GpPrice", "GpGauge", "GpGaugeFill"}) {
        if (e.name() == part)
            return true;
    }
    return e.name() == "GpBg" && e.index() < 1;
}

QString rowName(const ui::Element& row) {
    QStringList parts;
    for (const char* part : {"GpID", "GpName", "GpPrice"}) {
        if (const ui::Element* e = row.form().find(part, row.index()); e && !e->text().empty())
            parts << QString::fromStdString(e->text());
    }
    return parts.join(QLatin1Char(' '));
}

// The windowless elements a screen reader is told about: rows, links and the
// texts that say something. Images, shapes and lines are decoration.
bool isSpoken(const ui::Element& e) {
    if (!e.visible() || e.kind() != ui::Kind::Label || isPartOfRow(e))
        return false;
    return isRow(e) || !e.text().empty();
}

QAccessible::Role graphicRole(const ui::Element& e) {
    if (isRow(e))
        return QAccessible::ListItem;
    if (const Description* d = describe(e))
        return d->role;
    if (e.pointer() == ui::Pointer::Hand)
        return QAccessible::Link;
    return QAccessible::StaticText;
}

QAccessible::Role roleOf(const ui::Element& e) {
    if (isWindowless(e.kind()))
        return graphicRole(e);
    const Description* d = describe(e);
    return d ? d->role : QAccessible::NoRole;
}

QRect pixelRect(const ui::Element& e) {
    return QRect(px(e.left()), px(e.top()), px(e.width()), px(e.height()));
}

// A widget is shown to the user when it and its parents are visible and some of
// it lies inside its window: elements placed beyond the narrow window are not.
bool shown(const QWidget* w) {
    return w->isVisible() && !visibleRect(w).isEmpty();
}

// The parts of a one-line text that a screen reader steps through: characters,
// or words with the blanks after them; every larger unit is the whole text.
// (Qt's own stepping never returns on some texts, a password's mask among them.)
std::vector<std::pair<int, int>> textUnits(const QString& text,
                                           QAccessible::TextBoundaryType type) {
    const int length = static_cast<int>(text.size());
    std::vector<std::pair<int, int>> units;
    if (type == QAccessible::CharBoundary) {
        for (int i = 0; i < length; ++i)
            units.emplace_back(i, i + 1);
    } else if (type == QAccessible::WordBoundary) {
        int start = 0;
        for (int i = 1; i <= length; ++i) {
            if (i == length || (text.at(i - 1).isSpace() && !text.at(i).isSpace())) {
                units.emplace_back(start, i);
                start = i;
            }
        }
    } else if (length > 0) {
        units.emplace_back(0, length);
    }
    return units;
}

// The unit at `offset`, or the one `step` units before or after it.
QString textUnit(const QString& text, QAccessible::TextBoundaryType type, int offset, int step,
                 int* start, int* end) {
    const auto units = textUnits(text, type);
    const auto at = std::find_if(units.begin(), units.end(),
                                 [offset](const auto& u) { return offset < u.second; });
    const auto index = (at - units.begin()) + step;
    if (offset < 0 || at == units.end() || index < 0 ||
        index >= static_cast<std::ptrdiff_t>(units.size())) {
        *start = *end = -1;
        return {};
    }
    std::tie(*start, *end) = units[static_cast<std::size_t>(index)];
    return text.mid(*start, *end - *start);
}

class ContainerAccessible;
ContainerAccessible* accessibleOf(const ContainerWidget& container);

// A form or picture box with the windowless elements painted on it as children
// after its child widgets.
class ContainerAccessible : public QAccessibleWidget {
public:
    explicit ContainerAccessible(ContainerWidget* w) : QAccessibleWidget(w, roleOf(w)), key_(w) {
        live()[w] = this;
    }
    ~ContainerAccessible() override;

    static std::unordered_map<const ContainerWidget*, ContainerAccessible*>& live() {
        static std::unordered_map<const ContainerWidget*, ContainerAccessible*> all;
        return all;
    }

    ContainerWidget* container() const { return static_cast<ContainerWidget*>(widget()); }

    static QAccessible::Role roleOf(ContainerWidget* w) {
        const ui::Element& e = w->element();
        if (e.kind() == ui::Kind::Form)
            return e.form().name() == "FormMessage" ? QAccessible::Dialog : QAccessible::Window;
        if (const Description* d = describe(e))
            return d->role;
        return e.picture() != 0 && w->children().isEmpty() ? QAccessible::Graphic
                                                           : QAccessible::Pane;
    }

    std::vector<ui::Element*> spoken() const {
        std::vector<ui::Element*> out;
        for (ui::Element* g : container()->graphics()) {
            if (isSpoken(*g))
                out.push_back(g);
        }
        return out;
    }

    int childCount() const override {
        return QAccessibleWidget::childCount() + static_cast<int>(spoken().size());
    }
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override {
        if (ui::Element* target = container()->focusTarget())
            return interfaceFor(*target);
        return QAccessibleWidget::focusChild();
    }

    // The interface of one element painted here, made when first asked for.
    QAccessibleInterface* interfaceFor(ui::Element& e) const;
    void forget(const ui::Element* e) {
        if (const auto it = ids_.find(e); it != ids_.end()) {
            QAccessible::deleteAccessibleInterface(it->second);
            ids_.erase(it);
        }
    }

    QString text(QAccessible::Text t) const override {
        const ui::Element& e = container()->element();
        if (t == QAccessible::Description)
            return accessibleDescription(e);
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        if (e.kind() == ui::Kind::Form) {
            // The popup is called by the message it shows; the main window by the program.
            if (const ui::Element* title = e.form().find("NewsBt"))
                return QString::fromStdString(title->text());
            return QStringLiteral("Tallyro");
        }
        return accessibleName(e);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (!shown(widget()))
            s.invisible = true;
        // With the focus on an element painted here, that element has it.
        if (container()->focusTarget())
            s.focused = false;
        if (role() == QAccessible::PageTab) {
            s.selectable = true;
            s.selected = container()->element().selected();
        }
        if (isFavouriteMark(container()->element())) {
            s.checkable = true;
            s.checked = marksFavourite(container()->element());
        }
        return s;
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (pressedByKeys(container()->element()))
            names.prepend(pressAction());
        return names;
    }
    void doAction(const QString& name) override {
        if (name == pressAction() && pressedByKeys(container()->element()))
            container()->press(container()->element());
        else
            QAccessibleWidget::doAction(name);
    }

private:
    // One interface per element for as long as both live: screen readers hold
    // on to the ids they were given.
    mutable std::unordered_map<const ui::Element*, QAccessible::Id> ids_;
    // The widget is gone by the time Qt deletes this interface.
    const ContainerWidget* key_;
};

ContainerAccessible* accessibleOf(const ContainerWidget& container) {
    const auto it = ContainerAccessible::live().find(&container);
    return it == ContainerAccessible::live().end() ? nullptr : it->second;
}

class GraphicAccessible : public QAccessibleInterface,
                          public QAccessibleActionInterface,
                          public QAccessibleTextInterface {
public:
    GraphicAccessible(ContainerWidget* container, ui::Element* element)
        : container_(container), element_(element) {}

    bool isValid() const override {
        if (!container_)
            return false;
        const auto& g = container_->graphics();
        return std::find(g.begin(), g.end(), element_) != g.end();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return container_ ? container_->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return container_ ? QAccessible::queryAccessibleInterface(container_.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return accessibleName(*element_);
        if (t == QAccessible::Description)
            return accessibleDescription(*element_);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect r = pixelRect(*element_);
        return QRect(container_->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override {
        return isValid() ? graphicRole(*element_) : QAccessible::NoRole;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid() || !element_->visible() || !container_->isVisible() ||
            !visibleRect(container_).intersects(pixelRect(*element_))) {
            s.invisible = true;
        }
        if (!isValid())
            return s;
        const QAccessible::Role r = role();
        s.linked = r == QAccessible::Link;
        s.focusable = element_->tabIndex() >= 0 || r == QAccessible::ListItem;
        s.focused = container_->focusTarget() == element_;
        if (r == QAccessible::ListItem) {
            s.selectable = true;
            s.selected = element_->selected();
        }
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface && !actionNames().isEmpty())
            return static_cast<QAccessibleActionInterface*>(this);
        if (type == QAccessible::TextInterface && isValid() && !isRow(*element_))
            return static_cast<QAccessibleTextInterface*>(this);
        return nullptr;
    }

    // A row opens its stock as a double-click does, and is selected by taking
    // the focus; a link or the status that opens a download is pressed.
    QStringList actionNames() const override {
        if (!isValid())
            return {};
        if (isRow(*element_))
            return {pressAction(), setFocusAction()};
        if (element_->pointer() == ui::Pointer::Hand)
            return {pressAction()};
        return {};
    }
    void doAction(const QString& name) override {
        if (!actionNames().contains(name))
            return;
        if (name == setFocusAction()) {
            container_->press(*element_);
            container_->setFocus(Qt::OtherFocusReason);
        } else if (isRow(*element_)) {
            container_->pressTwice(*element_);
        } else {
            container_->press(*element_);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    // The caption, as text.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override {
        return caption().mid(start, std::max(0, end - start));
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                             int* end) const override {
        return textUnit(caption(), type, offset, -1, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                         int* end) const override {
        return textUnit(caption(), type, offset, 0, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                            int* end) const override {
        return textUnit(caption(), type, offset, 1, start, end);
    }
    int characterCount() const override { return static_cast<int>(caption().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    QString caption() const {
        return isValid() ? QString::fromStdString(element_->text()) : QString();
    }

    QPointer<ContainerWidget> container_;
    ui::Element* element_;
};

ContainerAccessible::~ContainerAccessible() {
    live().erase(key_);
    for (const auto& [element, id] : ids_)
        QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface* ContainerAccessible::interfaceFor(ui::Element& e) const {
    if (const auto it = ids_.find(&e); it != ids_.end()) {
        if (QAccessibleInterface* known = QAccessible::accessibleInterface(it->second))
            return known;
    }
    auto* made = new GraphicAccessible(container(), &e);
    ids_[&e] = QAccessible::registerAccessibleInterface(made);
    return made;
}

QAccessibleInterface* ContainerAccessible::child(int index) const {
    const int widgets = QAccessibleWidget::childCount();
    if (index < widgets)
        return QAccessibleWidget::child(index);
    const auto graphics = spoken();
    const auto at = static_cast<std::size_t>(index - widgets);
    if (index < 0 || at >= graphics.size())
        return nullptr;
    return interfaceFor(*graphics[at]);
}

int ContainerAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (child && !child->object()) {
        const auto graphics = spoken();
        for (std::size_t i = 0; i < graphics.size(); ++i) {
            const auto it = ids_.find(graphics[i]);
            if (it != ids_.end() && QAccessible::accessibleInterface(it->second) == child)
                return QAccessibleWidget::childCount() + static_cast<int>(i);
        }
        return -1;
    }
    return QAccessibleWidget::indexOfChild(child);
}

QAccessibleInterface* ContainerAccessible::childAt(int x, int y) const {
    // Child widgets lie above everything painted on the container.
    if (QAccessibleInterface* w = QAccessibleWidget::childAt(x, y))
        return w;
    const int widgets = QAccessibleWidget::childCount();
    const auto graphics = spoken();
    for (int i = static_cast<int>(graphics.size()) - 1; i >= 0; --i) {
        QAccessibleInterface* c = child(widgets + i);
        if (c && c->rect().contains(x, y))
            return c;
    }
    return nullptr;
}

// A text box. A password box's text, wherever it is told, is as many mask
// characters. Text set or typed through it counts as the user's typing.
class TextBoxAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
public:
    explicit TextBoxAccessible(TextBoxWidget* box)
        : QAccessibleWidget(box, QAccessible::EditableText) {}

    TextBoxWidget* box() const { return static_cast<TextBoxWidget*>(widget()); }
    bool password() const { return box()->element().passwordChar() != 0; }
    QString masked(int length) const {
        return QString(std::max(0, length), QChar::fromLatin1(box()->element().passwordChar()));
    }
    // The text as a screen reader may know it.
    QString told() const { return password() ? masked(characterCount()) : box()->text(); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return told();
        if (t == QAccessible::Description)
            return accessibleDescription(box()->element());
        return QAccessibleWidget::text(t);
    }
    void setText(QAccessible::Text t, const QString& text) override {
        if (t == QAccessible::Value)
            box()->setText(text);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (!shown(widget()))
            s.invisible = true;
        s.editable = !box()->isReadOnly();
        s.passwordEdit = password();
        s.selectableText = true;
        return s;
    }

    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && box()->hasSelectedText()) {
            *start = box()->selectionStart();
            *end = box()->selectionEnd();
        }
    }
    int selectionCount() const override { return box()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { box()->deselect(); }
    void setSelection(int, int start, int end) override { box()->setSelection(start, end - start); }
    int cursorPosition() const override { return box()->cursorPosition(); }
    void setCursorPosition(int position) override { box()->setCursorPosition(position); }
    QString text(int start, int end) const override {
        const int count = characterCount();
        start = std::clamp(start, 0, count);
        end = end < 0 ? count : std::clamp(end, start, count);
        return told().mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(box()->text().size()); }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                             int* end) const override {
        return textUnit(told(), type, offset, -1, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                         int* end) const override {
        return textUnit(told(), type, offset, 0, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                            int* end) const override {
        return textUnit(told(), type, offset, 1, start, end);
    }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint& point) const override {
        return box()->cursorPositionAt(box()->mapFromGlobal(point));
    }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

    void deleteText(int start, int end) override { replaceText(start, end, QString()); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        QString now = box()->text();
        start = std::clamp(start, 0, static_cast<int>(now.size()));
        end = std::clamp(end, start, static_cast<int>(now.size()));
        box()->setText(now.replace(start, end - start, text));
    }
};

// A widget a screen reader passes over.
class HiddenAccessible : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
};

// A web view: its page is there for screen readers only while the view is
// shown in the window.
class WebHostAccessible : public QAccessibleWidget {
public:
    explicit WebHostAccessible(WebHost* host) : QAccessibleWidget(host, QAccessible::Client) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return accessibleName(static_cast<WebHost*>(widget())->element());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (!shown(widget()))
            s.invisible = true;
        return s;
    }
    int childCount() const override {
        return shown(widget()) ? QAccessibleWidget::childCount() : 0;
    }
    QAccessibleInterface* child(int index) const override {
        return shown(widget()) ? QAccessibleWidget::child(index) : nullptr;
    }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* c = ContainerWidget::of(object))
        return new ContainerAccessible(c);
    if (auto* box = TextBoxWidget::of(object)) {
        const Description* d = describe(box->element());
        if (d && d->role == QAccessible::NoRole)
            return new HiddenAccessible(box);
        return new TextBoxAccessible(box);
    }
    if (auto* host = WebHost::of(object))
        return new WebHostAccessible(host);
    return nullptr;
}

// Every event on its way to the screen readers passes here: a password box's
// texts are masked, and the focus given to a container goes to the element
// painted on it that has it.
QAccessible::UpdateHandler previousHandler = nullptr;
void filterEvent(QAccessibleEvent* event);

void forward(QAccessibleEvent* event) {
    if (previousHandler) {
        previousHandler(event);
        return;
    }
    // Without a handler Qt hands the event to the platform's bridge.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(filterEvent);
}

void forwardMasked(TextBoxAccessible* box, QAccessibleEvent* event) {
    const auto mask = [box](const QString& text) {
        return box->masked(static_cast<int>(text.size()));
    };
    switch (event->type()) {
        case QAccessible::TextInserted: {
            const auto* e = static_cast<QAccessibleTextInsertEvent*>(event);
            QAccessibleTextInsertEvent out(box, e->changePosition(), mask(e->textInserted()));
            out.setCursorPosition(e->cursorPosition());
            forward(&out);
            return;
        }
        case QAccessible::TextRemoved: {
            const auto* e = static_cast<QAccessibleTextRemoveEvent*>(event);
            QAccessibleTextRemoveEvent out(box, e->changePosition(), mask(e->textRemoved()));
            out.setCursorPosition(e->cursorPosition());
            forward(&out);
            return;
        }
        case QAccessible::TextUpdated: {
            const auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
            QAccessibleTextUpdateEvent out(box, e->changePosition(), mask(e->textRemoved()),
                                           mask(e->textInserted()));
            out.setCursorPosition(e->cursorPosition());
            forward(&out);
            return;
        }
        case QAccessible::ValueChanged: {
            const auto* e = static_cast<QAccessibleValueChangeEvent*>(event);
            QAccessibleValueChangeEvent out(box, mask(e->value().toString()));
            forward(&out);
            return;
        }
        default:
            forward(event);
    }
}

void filterEvent(QAccessibleEvent* event) {
    QAccessibleInterface* iface = event->accessibleInterface();
    QObject* object = iface ? iface->object() : nullptr;
    if (auto* box = dynamic_cast<TextBoxAccessible*>(iface); box && box->password()) {
        forwardMasked(box, event);
        return;
    }
    if (auto* container = ContainerWidget::of(object);
        container && event->type() == QAccessible::Focus) {
        if (ui::Element* target = container->focusTarget()) {
            if (ContainerAccessible* a = accessibleOf(*container)) {
                QAccessibleEvent moved(a->interfaceFor(*target), QAccessible::Focus);
                forward(&moved);
                return;
            }
        }
    }
    forward(event);
}

ContainerAccessible* activeAccessibleOf(ContainerWidget& container) {
    if (!QAccessible::isActive())
        return nullptr;
    QAccessible::queryAccessibleInterface(&container);
    return accessibleOf(container);
}

void tell(QAccessibleInterface* iface, QAccessible::Event type) {
    QAccessibleEvent event(iface, type);
    QAccessible::updateAccessibility(&event);
}

}  // namespace

QString accessibleName(const ui::Element& e) {
    if (isRow(e))
        return rowName(e);
    if (isFavouriteMark(e)) {
        QString name = marksFavourite(e) ? QStringLiteral("取消收藏") : QStringLiteral("收藏");
        if (e.index() >= 1) {
            if (const ui::Element* row = e.form().find("GpBg", e.index()))
                name += u' ' + rowName(*row);
        }
        return name;
    }
    if (const Description* d = describe(e); d && d->name)
        return QString::fromUtf8(d->name);
    if (!e.toolTip().empty())
        return QString::fromStdString(e.toolTip());
    if (e.kind() == ui::Kind::Label || e.kind() == ui::Kind::CheckBox)
        return QString::fromStdString(e.text());
    return {};
}

QString accessibleDescription(const ui::Element& e) {
    const Description* d = describe(e);
    if (!d)
        return {};
    if (d->description)
        return QString::fromUtf8(d->description);
    if (!d->describedBy)
        return {};
    if (const ui::Element* by = e.form().find(d->describedBy))
        return accessibleName(*by);
    const int members = e.form().count(d->describedBy);
    for (std::int16_t i = 1; i < members; ++i) {
        const ui::Element* member = e.form().find(d->describedBy, i);
        if (member && member->selected())
            return accessibleName(*member);
    }
    return {};
}

bool hasDescription(const ui::Element& e) {
    const Description* d = describe(e);
    return d && (d->description || d->describedBy);
}

bool pressedByKeys(const ui::Element& e) {
    const QAccessible::Role role = roleOf(e);
    return role == QAccessible::Button || role == QAccessible::PageTab || role == QAccessible::Link;
}

void announceGraphic(ContainerWidget& container, ui::Element& e, std::uint32_t changes) {
    if ((changes & ui::kChangeCreated) != 0)
        return;
    ContainerAccessible* a = activeAccessibleOf(container);
    if (!a)
        return;
    if ((changes & ui::kChangeText) != 0 && isSpoken(e))
        tell(a->interfaceFor(e), QAccessible::NameChanged);
    if ((changes & ui::kChangeSelected) != 0) {
        QAccessibleInterface* row = a->interfaceFor(e);
        tell(row, e.selected() ? QAccessible::SelectionAdd : QAccessible::SelectionRemove);
        if (e.selected() && container.focusTarget() == &e)
            tell(row, QAccessible::Focus);
    }
}

void announceWidget(QWidget& widget, const ui::Element& e, std::uint32_t changes) {
    if ((changes & ui::kChangeCreated) != 0)
        return;
    if ((changes & ui::kChangePicture) != 0 && isFavouriteMark(e)) {
        // Added or taken away: the mark's state and the name that says what it does,
        // told to whoever has met the mark (a fresh row's mark has met no one).
        const ContainerWidget* mark = ContainerWidget::of(&widget);
        if (ContainerAccessible* a = mark ? accessibleOf(*mark) : nullptr) {
            QAccessible::State checked;
            checked.checked = true;
            QAccessibleStateChangeEvent state(a, checked);
            QAccessible::updateAccessibility(&state);
            tell(a, QAccessible::NameChanged);
        }
    }
    if ((changes & ui::kChangeSelected) == 0 || !QAccessible::isActive())
        return;
    QAccessibleEvent event(&widget,
                           e.selected() ? QAccessible::SelectionAdd : QAccessible::SelectionRemove);
    QAccessible::updateAccessibility(&event);
}

void announceFocus(ContainerWidget& container) {
    if (!container.focusTarget())
        return;
    if (ContainerAccessible* a = activeAccessibleOf(container))
        tell(a, QAccessible::Focus);
}

void forgetAccessible(ContainerWidget& container, const ui::Element* e) {
    if (ContainerAccessible* a = accessibleOf(container))
        a->forget(e);
}

void installAccessibility() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
    previousHandler = QAccessible::installUpdateHandler(filterEvent);
}

}  // namespace tallyro::qt
