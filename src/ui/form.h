// A window of the element model: owns its elements, finds them by name and
// control-array index, loads and unloads array members, raises the events that
// property changes cause, and collects what changed for the view.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/element.h"

namespace tallyro::ui {

struct TextSize {
    float width = 0;   // pixels
    float height = 0;  // pixels
};

// Measures text for auto-size labels; implemented by the platform.
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual TextSize measure(std::string_view text, const Font& font) = 0;
};

// Receives what property changes raise, synchronously inside the setter.
class FormEvents {
public:
    virtual ~FormEvents() = default;
    // Resize of the window, Change of a text box or scroll bar.
    virtual void resized(Form& form) = 0;
    virtual void changed(Element& element) = 0;
    // A timer was enabled, disabled or given a new interval.
    virtual void timerChanged(Element& timer) = 0;
};

class Form {
public:
    // The form's own design: name, caption, client size and background.
    Form(std::string name, Element::Design window);
    ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& name() const { return root_->name(); }
    Element& window() { return *root_; }
    const Element& window() const { return *root_; }

    void setEvents(FormEvents* events) { events_ = events; }
    FormEvents* events() const { return events_; }
    void setTextMeasure(TextMeasure* measure) { measure_ = measure; }
    TextMeasure* textMeasure() const { return measure_; }

    // Design time: adds an element; its parent must already exist.
    Element& add(Element::Design design);

    // nullptr when there is no such element (or array member).
    Element* find(std::string_view name, std::int16_t index = -1) const;
    // The element that must exist; a missing one is a programming error.
    Element& at(std::string_view name, std::int16_t index = -1) const;

    // Control arrays: loads member `index` as a copy of member 0 (hidden, as a
    // fresh member is) or removes it. Member 0 is never unloaded.
    Element& load(std::string_view name, std::int16_t index);
    void unload(std::string_view name, std::int16_t index);
    // Number of members present, member 0 included.
    int count(std::string_view name) const;

    // Every element in creation order, the window itself first.
    const std::vector<Element*>& elements() const { return order_; }
    std::vector<Element*> children(const Element& parent) const;
    // The Tab stops in the order the Tab key visits them: by tab index, members
    // of a control array by their index. Hidden ones included; the view skips
    // what is not shown.
    std::vector<Element*> tabOrder() const;

    struct Changed {
        Element* element;
        std::uint32_t bits;  // Change flags
    };
    struct Changes {
        std::vector<Changed> changed;        // in the order they first changed
        std::vector<std::uint32_t> removed;  // ids of unloaded members
        bool empty() const { return changed.empty() && removed.empty(); }
    };
    // Hands the pending changes to the view and starts a fresh set.
    Changes takeChanges();
    bool hasChanges() const { return !changed_.empty() || !removed_.empty(); }

private:
    friend class Element;
    void noteChanged(Element& element);

    std::unique_ptr<Element> root_;
    std::vector<std::unique_ptr<Element>> owned_;
    std::vector<Element*> order_;
    std::map<std::string, std::map<std::int16_t, Element*>, std::less<>> byName_;
    std::vector<Element*> changed_;
    std::vector<std::uint32_t> removed_;
    std::uint32_t nextId_ = 1;
    FormEvents* events_ = nullptr;
    TextMeasure* measure_ = nullptr;
};

}  // namespace tallyro::ui
