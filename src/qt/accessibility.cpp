#include "qt/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <algorithm>
#include <unordered_map>

#include "qt/element_widgets.h"
#include "qt/skin_assets.h"
#include "ui/form.h"

namespace tallyro::qt {

namespace {

struct Description {
    const char* element;
    QAccessible::Role role;
    const char* name;  // "" for none
};

// Controls whose pictures say what they do, and widgets whose captions stand
// elsewhere (a text box's label, the check box's caption beside it).
const Description kDescriptions[] = {
    // The focus sink outside the window's visible part is no control.
    {"Text1", QAccessible::NoRole, ""},
    {"Bot_Min", QAccessible::Button, "最小化"},
    {"Bot_Close", QAccessible::Button, "关闭"},
    {"Login_Bot", QAccessible::Button, "登录"},
    {"LoginClose_Bot", QAccessible::Button, "取消登录"},
    {"SearchClose_Bot", QAccessible::Button, "取消查询"},
    {"SearchDapan_shanghai", QAccessible::Button, "上证指数"},
    {"SearchDapan_shenzhen", QAccessible::Button, "深证成指"},
    {"Bot_CloseSearchMain", QAccessible::Button, "关闭查询结果"},
    {"shoucang", QAccessible::Button, "收藏"},
    {"ToolsTree", QAccessible::PageTabList, "功能"},
    {"ToolsTree_Bot", QAccessible::PageTab, ""},  // named by its tip
    {"Frame_TableBox", QAccessible::List, "股票列表"},
    {"Frame_Search", QAccessible::Pane, "股票查询"},
    {"Frame_results", QAccessible::Pane, "查询结果"},
    {"Logo", QAccessible::Graphic, "Tallyro"},
    {"LoadingLogo", QAccessible::Graphic, "Tallyro"},
    {"Main_Logo", QAccessible::Graphic, "Tallyro"},
    {"Pic_Load", QAccessible::Graphic, "正在加载"},
    {"Picture1", QAccessible::Graphic, "向上"},
    {"Picture2", QAccessible::Graphic, "向下"},
    {"UserName_Txt", QAccessible::EditableText, "帐号"},
    {"PassWord_Txt", QAccessible::EditableText, "密码"},
    {"SearchForm_Text", QAccessible::EditableText, "搜索股票代码或名称"},
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
bool isPartOfRow(const ui::Element& e) {
    return e.name() == "GpID" || e.name() == "GpName" || (e.name() == "GpBg" && e.index() < 1);
}

QString rowName(const ui::Element& row) {
    QStringList parts;
    for (const char* part : {"GpID", "GpName"}) {
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
    if (e.pointer() == ui::Pointer::Hand)
        return QAccessible::Link;
    return QAccessible::StaticText;
}

class GraphicAccessible;

// A form or picture box with the windowless elements painted on it as children
// after its child widgets.
class ContainerAccessible : public QAccessibleWidget {
public:
    explicit ContainerAccessible(ContainerWidget* w) : QAccessibleWidget(w, roleOf(w)) {}
    ~ContainerAccessible() override;

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

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        const ui::Element& e = container()->element();
        if (e.kind() == ui::Kind::Form) {
            // The popup is called by the message it shows; the main window by the program.
            if (const ui::Element* title = e.form().find("NewsBt"))
                return QString::fromStdString(title->text());
            return QStringLiteral("Tallyro");
        }
        if (e.name() == "ToolsTree_Bot")
            return QString::fromStdString(e.toolTip());
        return accessibleName(e);
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (isButton())
            names.prepend(pressAction());
        return names;
    }
    void doAction(const QString& name) override {
        if (name == pressAction() && isButton())
            container()->press(container()->element());
        else
            QAccessibleWidget::doAction(name);
    }

private:
    bool isButton() const {
        const QAccessible::Role r = role();
        return r == QAccessible::Button || r == QAccessible::PageTab;
    }

    // One interface per element for as long as this one lives: screen readers
    // hold on to the ids they were given.
    mutable std::unordered_map<const ui::Element*, QAccessible::Id> ids_;
    friend class GraphicAccessible;
};

class GraphicAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
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
        if (t != QAccessible::Name || !isValid())
            return {};
        if (isRow(*element_))
            return rowName(*element_);
        return QString::fromStdString(element_->text());
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid())
            return {};
        const QRect r(px(element_->left()), px(element_->top()), px(element_->width()),
                      px(element_->height()));
        return QRect(container_->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override {
        return isValid() ? graphicRole(*element_) : QAccessible::NoRole;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid() || !element_->visible() || !container_->isVisible()) {
            s.invisible = true;
            return s;
        }
        if (role() == QAccessible::Link)
            s.linked = true;
        if (role() == QAccessible::ListItem)
            s.selectable = true;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface && role() != QAccessible::StaticText)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }
    QStringList actionNames() const override {
        return role() == QAccessible::StaticText ? QStringList{} : QStringList{pressAction()};
    }
    void doAction(const QString& name) override {
        if (name == pressAction() && isValid() && role() != QAccessible::StaticText)
            container_->press(*element_);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<ContainerWidget> container_;
    ui::Element* element_;
};

ContainerAccessible::~ContainerAccessible() {
    for (const auto& [element, id] : ids_)
        QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface* ContainerAccessible::child(int index) const {
    const int widgets = QAccessibleWidget::childCount();
    if (index < widgets)
        return QAccessibleWidget::child(index);
    const auto graphics = spoken();
    const auto at = static_cast<std::size_t>(index - widgets);
    if (index < 0 || at >= graphics.size())
        return nullptr;
    ui::Element* e = graphics[at];
    if (const auto it = ids_.find(e); it != ids_.end()) {
        if (QAccessibleInterface* known = QAccessible::accessibleInterface(it->second))
            return known;
    }
    auto* made = new GraphicAccessible(container(), e);
    ids_[e] = QAccessible::registerAccessibleInterface(made);
    return made;
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

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* c = ContainerWidget::of(object))
        return new ContainerAccessible(c);
    if (auto* box = TextBoxWidget::of(object)) {
        const Description* d = describe(box->element());
        if (d && d->role == QAccessible::NoRole)
            return new HiddenAccessible(box);
    }
    return nullptr;
}

}  // namespace

QString accessibleName(const ui::Element& e) {
    if (const Description* d = describe(e))
        return QString::fromUtf8(d->name);
    if (e.kind() == ui::Kind::Label || e.kind() == ui::Kind::CheckBox)
        return QString::fromStdString(e.text());
    return {};
}

void installAccessibility() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(factory);
}

}  // namespace tallyro::qt
