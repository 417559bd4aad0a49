// The holder of the tray menu: never shown, it only carries the menu.
#include "ui/design_builder.h"
#include "ui/designs.h"

namespace tallyro::ui {

using design::E;
using K = Kind;

std::unique_ptr<Form> makeFormMenu() {
    auto form = std::make_unique<Form>("FormMenu", E(K::Form, "FormMenu").text("Form1"));
    form->add(E(K::Menu, "Menu_System").text("系统菜单"));
    // Beyond the first design, shown only where their feature is on: the boss
    // key's action (its caption names the key set) and starting at login, a
    // check item (value 1 when checked).
    form->add(E(K::MenuItem, "Menu_ShowHide").in("Menu_System").text("显示/隐藏").hidden());
    form->add(
        E(K::MenuItem, "Menu_Autostart").in("Menu_System").text("开机启动").hidden().checkable());
    form->add(E(K::MenuItem, "Menu_Web").in("Menu_System").text("官方网站"));
    form->add(E(K::MenuItem, "Menu_Exit").in("Menu_System").text("退出软件"));
    return form;
}

}  // namespace tallyro::ui
