// What screen readers are told about the client's controls. Widgets get their
// names from one table; windowless elements (labels, links, result rows, painted
// by their container) become accessible children of that container. A password
// box tells only its mask, in its text and in every event it raises.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

#include "ui/element.h"

namespace tallyro::qt {

class ContainerWidget;

// Registers the accessibility of the client's widgets with Qt and the filter
// of the events they raise. Once per process; later calls do nothing.
void installAccessibility();

// The name a screen reader says for an element; empty for one without a name of
// its own (frames, decoration).
QString accessibleName(const ui::Element& element);

// What a screen reader says after the name, as the window stands now: what an
// index button opens, the loading page's status for its button, the row the
// search box's arrow keys have selected. Empty for most elements.
QString accessibleDescription(const ui::Element& element);
// Whether the element's description can be other than empty.
bool hasDescription(const ui::Element& element);

// Whether Space and Return press the element when it has the keyboard focus:
// buttons, tabs and links.
bool pressedByKeys(const ui::Element& element);

// Tells screen readers what the view has just applied to a windowless element
// painted by `container`: a changed caption, a row selected or no longer.
void announceGraphic(ContainerWidget& container, ui::Element& element, std::uint32_t changes);
// ... and to a widget: a tab selected or no longer.
void announceWidget(QWidget& widget, const ui::Element& element, std::uint32_t changes);
// The keyboard focus moved to another element inside a container that has it.
void announceFocus(ContainerWidget& container);
// A windowless element is gone: its accessible interface goes with it.
void forgetAccessible(ContainerWidget& container, const ui::Element* element);

}  // namespace tallyro::qt
