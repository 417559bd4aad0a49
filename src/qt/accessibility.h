// What screen readers are told about the client's controls. Widgets get their
// names from one table; windowless elements (labels, links, result rows, painted
// by their container) become accessible children of that container.
#pragma once

#include <QString>

#include "ui/element.h"

namespace tallyro::qt {

// Registers the accessibility of the client's containers with Qt. Once per
// process; later calls do nothing.
void installAccessibility();

// The name a screen reader says for an element; empty for one without a name of
// its own (frames, decoration).
QString accessibleName(const ui::Element& element);

}  // namespace tallyro::qt
