#include "ui/form.h"

#include <algorithm>
#include <stdexcept>

namespace tallyro::ui {

Form::Form(std::string name, Element::Design window) {
    window.name = std::move(name);
    window.kind = Kind::Form;
    window.visible = false;  // a form shows once its load handler has run
    root_ = std::make_unique<Element>(*this, nullptr, std::move(window), nextId_++);
    order_.push_back(root_.get());
    byName_[root_->name()][-1] = root_.get();
}

Form::~Form() = default;

Element& Form::add(Element::Design design) {
    Element* parent = root_.get();
    if (!design.parent.empty())
        parent = &at(design.parent, design.parentIndex);
    auto& slot = byName_[design.name][design.index];
    if (slot)
        throw std::logic_error("element defined twice: " + design.name);
    auto element = std::make_unique<Element>(*this, parent, std::move(design), nextId_++);
    slot = element.get();
    order_.push_back(element.get());
    element->mark(kChangeCreated);
    owned_.push_back(std::move(element));
    return *owned_.back();
}

Element* Form::find(std::string_view name, std::int16_t index) const {
    const auto it = byName_.find(name);
    if (it == byName_.end())
        return nullptr;
    const auto member = it->second.find(index);
    return member == it->second.end() ? nullptr : member->second;
}

Element& Form::at(std::string_view name, std::int16_t index) const {
    Element* e = find(name, index);
    if (!e) {
        throw std::logic_error("no element " + std::string(name) + "(" + std::to_string(index) +
                               ")");
    }
    return *e;
}

Element& Form::load(std::string_view name, std::int16_t index) {
    if (index <= 0)
        throw std::logic_error("control-array member 0 is the template");
    if (Element* existing = find(name, index))
        return *existing;
    Element& templ = at(name, 0);
    Element::Design design = templ.design();
    design.index = index;
    design.visible = false;
    auto element = std::make_unique<Element>(*this, templ.parent(), std::move(design), nextId_++);
    Element& added = *element;
    byName_[added.name()][index] = &added;
    order_.push_back(&added);
    added.mark(kChangeCreated);
    owned_.push_back(std::move(element));
    return added;
}

void Form::unload(std::string_view name, std::int16_t index) {
    if (index <= 0)
        return;
    const auto it = byName_.find(name);
    if (it == byName_.end())
        return;
    const auto member = it->second.find(index);
    if (member == it->second.end())
        return;
    Element* e = member->second;
    it->second.erase(member);
    std::erase(order_, e);
    if (e->changes() != 0)
        std::erase(changed_, e);
    // A member created and removed between two looks of the view never reaches it.
    if ((e->changes() & kChangeCreated) == 0)
        removed_.push_back(e->id());
    // Members are appended and removed from the end, so the search is short.
    const auto owned =
        std::find_if(owned_.rbegin(), owned_.rend(), [e](const auto& p) { return p.get() == e; });
    owned_.erase(std::next(owned).base());
}

int Form::count(std::string_view name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? 0 : static_cast<int>(it->second.size());
}

std::vector<Element*> Form::tabOrder() const {
    std::vector<Element*> out;
    for (Element* e : order_) {
        if (e->tabIndex() >= 0)
            out.push_back(e);
    }
    std::stable_sort(out.begin(), out.end(), [](const Element* a, const Element* b) {
        return a->tabIndex() != b->tabIndex() ? a->tabIndex() < b->tabIndex()
                                              : a->index() < b->index();
    });
    return out;
}

std::vector<Element*> Form::children(const Element& parent) const {
    std::vector<Element*> out;
    for (Element* e : order_) {
        if (e->parent() == &parent)
            out.push_back(e);
    }
    return out;
}

Form::Changes Form::takeChanges() {
    Changes out;
    out.changed.reserve(changed_.size());
    for (Element* e : changed_) {
        out.changed.push_back({e, e->changes()});
        e->clearChanges();
    }
    changed_.clear();
    out.removed.swap(removed_);
    return out;
}

void Form::noteChanged(Element& element) {
    changed_.push_back(&element);
}

}  // namespace tallyro::ui
