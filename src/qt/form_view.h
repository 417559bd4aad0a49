// The binding of the element model to Qt widgets. Windowed elements (the form,
// picture boxes, text boxes, check boxes, scroll bars, rich text and web views)
// get a widget each; windowless ones (images, labels, shapes, lines) are painted
// by their container beneath its windowed children and hit-tested by it, as a
// classic form toolkit does. After every dispatched event the view applies the
// form's change set; it never echoes a change it applies back as user input.
#pragma once

#include <QPointer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/window_system.h"
#include "ui/event.h"
#include "ui/form.h"

namespace tallyro::qt {

class FormView;

using Dispatch = std::function<void(ui::Event&)>;

class QtWindowSystem : public QObject, public platform::WindowSystem {
public:
    QtWindowSystem();
    ~QtWindowSystem() override;

    void setDispatch(Dispatch dispatch) { dispatch_ = std::move(dispatch); }
    void attach(ui::Form& form) override;
    void detach(ui::Form& form) override;
    void refresh() override;
    void setCapture(ui::Element* element) override;

    // For integration tests and screenshots.
    QWidget* windowOf(const ui::Form& form) const;
    QWidget* widgetOf(const ui::Element& element) const;
    // The rectangle an element occupies inside its window, in pixels.
    QRect rectInWindow(const ui::Element& element) const;

    // Input from a widget: dispatched at once, or after the change set being
    // applied is done, so applying never runs handlers halfway.
    void post(ui::Event event);

    // The wheel turned over the main window, where no web page or advice text
    // lies under the pointer: delivered to the main window.
    void setWheelTarget(ui::Element* window) { wheelTarget_ = window; }

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void drain();
    FormView* viewOf(const ui::Form& form) const;

    std::vector<std::unique_ptr<FormView>> views_;
    Dispatch dispatch_;
    std::deque<ui::Event> pending_;
    ui::Element* wheelTarget_ = nullptr;
    bool applying_ = false;
    int detaching_ = 0;
    bool draining_ = false;
};

}  // namespace tallyro::qt
