#include "core/control_set.h"

#include <algorithm>

namespace vantrel {

ControlSet::ControlSet() = default;
ControlSet::~ControlSet() = default;

Control* ControlSet::findLocked(std::string_view name) {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}
const Control* ControlSet::findLocked(std::string_view name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

bool ControlSet::add(const Control& c) {
    std::lock_guard lk(mu_);
    if (byName_.count(c.name)) return false;
    order_.push_back(std::make_unique<Control>(c));
    byName_[c.name] = order_.back().get();
    return true;
}

bool ControlSet::has(std::string_view name) const {
    std::lock_guard lk(mu_);
    return findLocked(name) != nullptr;
}

Control ControlSet::get(std::string_view name) const {
    std::lock_guard lk(mu_);
    if (const Control* c = findLocked(name)) return *c;
    Control empty;
    empty.name = std::string(name);
    return empty;
}

std::vector<std::string> ControlSet::names() const {
    std::lock_guard lk(mu_);
    std::vector<std::string> out;
    out.reserve(order_.size());
    for (auto& c : order_) out.push_back(c->name);
    return out;
}

std::vector<std::string> ControlSet::children(std::string_view parent) const {
    std::lock_guard lk(mu_);
    std::vector<std::string> out;
    for (auto& c : order_)
        if (c->parent == parent) out.push_back(c->name);
    return out;
}

// Single fields are read under the lock without copying the whole record: the play reads several
// check marks every block.
#define VANTREL_GET_FIELD(field, fallback) \
    std::lock_guard lk(mu_);               \
    const Control* c = findLocked(n);      \
    return c ? c->field : fallback;

std::string ControlSet::caption(std::string_view n) const {
    VANTREL_GET_FIELD(caption, std::string())
}
bool ControlSet::enabled(std::string_view n) const {
    VANTREL_GET_FIELD(enabled, true)
}
bool ControlSet::visible(std::string_view n) const {
    VANTREL_GET_FIELD(visible, true)
}
bool ControlSet::checked(std::string_view n) const {
    VANTREL_GET_FIELD(checked, false)
}
int ControlSet::tag(std::string_view n) const {
    VANTREL_GET_FIELD(tag, 0)
}
int ControlSet::itemIndex(std::string_view n) const {
    VANTREL_GET_FIELD(itemIndex, -1)
}
int ControlSet::position(std::string_view n) const {
    VANTREL_GET_FIELD(position, 0)} std::vector<std::string> ControlSet::items(std::string_view n) const {
    VANTREL_GET_FIELD(items, std::vector<std::string>())
}
#undef VANTREL_GET_FIELD

void ControlSet::noteLocked(const Control& c, ControlChange change, std::vector<Pending>& out) {
    if (observers_ && !observers_->empty()) out.push_back({c, change});
}

void ControlSet::notify(std::vector<Pending>& pending) {
    if (pending.empty()) return;
    std::shared_ptr<const ObserverList> obs;
    {
        std::lock_guard lk(mu_);
        obs = observers_;
    }
    if (!obs) return;
    for (auto& p : pending)
        for (auto& o : *obs) o.second(p.control, p.change);
}

#define VANTREL_SET_FIELD(field, value, change) \
    std::vector<Pending> pending;               \
    {                                           \
        std::lock_guard lk(mu_);                \
        Control* c = findLocked(name);          \
        if (!c || c->field == (value)) return;  \
        c->field = (value);                     \
        noteLocked(*c, change, pending);        \
    }                                           \
    notify(pending);

void ControlSet::setCaption(std::string_view name, const std::string& text) {
    VANTREL_SET_FIELD(caption, text, ControlChange::Caption)
}
void ControlSet::setHint(std::string_view name, const std::string& text) {
    VANTREL_SET_FIELD(hint, text, ControlChange::Hint)
}
void ControlSet::setEnabled(std::string_view name, bool on) {
    VANTREL_SET_FIELD(enabled, on, ControlChange::Enabled)
}
void ControlSet::setVisible(std::string_view name, bool on) {
    VANTREL_SET_FIELD(visible, on, ControlChange::Visible)
}
void ControlSet::setColor(std::string_view name, uint32_t color) {
    VANTREL_SET_FIELD(color, color, ControlChange::Color)
}
#undef VANTREL_SET_FIELD

void ControlSet::setItems(std::string_view name, std::vector<std::string> items) {
    std::vector<Pending> pending;
    {
        std::lock_guard lk(mu_);
        Control* c = findLocked(name);
        if (!c) return;
        c->items = std::move(items);
        if (c->itemIndex >= static_cast<int>(c->items.size())) c->itemIndex = -1;
        noteLocked(*c, ControlChange::Items, pending);
    }
    notify(pending);
}

void ControlSet::setItemIndex(std::string_view name, int index) {
    std::vector<Pending> pending;
    {
        std::lock_guard lk(mu_);
        Control* c = findLocked(name);
        if (!c) return;
        if (index < -1 || index >= static_cast<int>(c->items.size())) index = -1;
        if (c->itemIndex == index) return;
        c->itemIndex = index;
        noteLocked(*c, ControlChange::ItemIndex, pending);
    }
    notify(pending);
}

void ControlSet::setPosition(std::string_view name, int pos) {
    std::vector<Pending> pending;
    {
        std::lock_guard lk(mu_);
        Control* c = findLocked(name);
        if (!c) return;
        pos = std::clamp(pos, c->minimum, std::max(c->minimum, c->maximum));
        if (c->position == pos) return;
        c->position = pos;
        noteLocked(*c, ControlChange::Position, pending);
    }
    notify(pending);
}

void ControlSet::setRange(std::string_view name, int minimum, int maximum) {
    std::vector<Pending> pending;
    {
        std::lock_guard lk(mu_);
        Control* c = findLocked(name);
        if (!c) return;
        c->minimum = minimum;
        c->maximum = maximum;
        c->position = std::clamp(c->position, minimum, std::max(minimum, maximum));
        noteLocked(*c, ControlChange::Position, pending);
    }
    notify(pending);
}

void ControlSet::setGeometry(std::string_view name, int left, int top, int width, int height) {
    std::vector<Pending> pending;
    {
        std::lock_guard lk(mu_);
        Control* c = findLocked(name);
        if (!c) return;
        c->left = left;
        c->top = top;
        c->width = width;
        c->height = height;
        noteLocked(*c, ControlChange::Geometry, pending);
    }
    notify(pending);
}

void ControlSet::setParent(std::string_view name, std::string_view parent) {
    std::lock_guard lk(mu_);
    if (Control* c = findLocked(name)) c->parent = parent;
}

void ControlSet::setHeight(std::string_view name, int height) {
    Control c = get(name);
    setGeometry(name, c.left, c.top, c.width, height);
}

void ControlSet::pressInGroupLocked(Control& c, std::vector<Pending>& out) {
    if (c.kind != ControlKind::SpeedButton || c.group == 0) return;
    for (auto& other : order_) {
        if (other.get() == &c || other->kind != ControlKind::SpeedButton || other->group != c.group) continue;
        if (other->checked) {
            other->checked = false;
            noteLocked(*other, ControlChange::Checked, out);
        }
    }
}

void ControlSet::setChecked(std::string_view name, bool on) {
    std::vector<Pending> pending;
    {
        std::lock_guard lk(mu_);
        Control* c = findLocked(name);
        if (!c || c->checked == on) return;
        // A down button of a radio group (one that does not allow all up) cannot be released from code
        // except by pressing another one: the toolkit keeps one down.
        c->checked = on;
        if (on) pressInGroupLocked(*c, pending);
        noteLocked(*c, ControlChange::Checked, pending);
    }
    notify(pending);
}

void ControlSet::setCheckBox(std::string_view name, bool on) {
    bool run = false;
    {
        std::lock_guard lk(mu_);
        Control* c = findLocked(name);
        if (!c) return;
        run = c->kind == ControlKind::CheckBox && c->checked != on;
    }
    setChecked(name, on);
    if (run) this->run(name);
}

void ControlSet::click(std::string_view name) {
    std::vector<Pending> pending;
    {
        std::lock_guard lk(mu_);
        Control* c = findLocked(name);
        // A label's enabled state only shows a status (active or greyed), so a greyed label still
        // answers a click; every other disabled control ignores it.
        if (!c || (!c->enabled && c->kind != ControlKind::Label)) return;
        switch (c->kind) {
            case ControlKind::CheckBox:
                c->checked = !c->checked;
                noteLocked(*c, ControlChange::Checked, pending);
                break;
            case ControlKind::SpeedButton:
                if (c->group != 0) {
                    if (c->checked) {
                        if (c->allowAllUp) {
                            c->checked = false;
                            noteLocked(*c, ControlChange::Checked, pending);
                        }
                    } else {
                        c->checked = true;
                        pressInGroupLocked(*c, pending);
                        noteLocked(*c, ControlChange::Checked, pending);
                    }
                } else if (c->toggles) {
                    c->checked = !c->checked;
                    noteLocked(*c, ControlChange::Checked, pending);
                }
                break;
            case ControlKind::MenuItem:
                if (c->autoCheck) {
                    c->checked = !c->checked;
                    noteLocked(*c, ControlChange::Checked, pending);
                }
                break;
            default:
                break;
        }
    }
    notify(pending);
    run(name);
}

void ControlSet::selectItem(std::string_view name, int index) {
    {
        std::lock_guard lk(mu_);
        Control* c = findLocked(name);
        if (!c || !c->enabled) return;
    }
    setItemIndex(name, index);
    run(name);
}

void ControlSet::moveTo(std::string_view name, int pos) {
    {
        std::lock_guard lk(mu_);
        Control* c = findLocked(name);
        if (!c || !c->enabled) return;
    }
    setPosition(name, pos);
    run(name);
}

void ControlSet::bind(std::string_view name, Command cmd) {
    std::lock_guard lk(mu_);
    commands_[std::string(name)] = std::move(cmd);
}

bool ControlSet::hasCommand(std::string_view name) const {
    std::lock_guard lk(mu_);
    return commands_.count(name) != 0;
}

void ControlSet::runCommand(std::string_view name) {
    run(name);
}

void ControlSet::run(std::string_view name) {
    Command cmd;
    Control sender;
    {
        std::lock_guard lk(mu_);
        auto it = commands_.find(name);
        if (it == commands_.end()) return;
        cmd = it->second;
        if (const Control* c = findLocked(name)) sender = *c;
    }
    cmd(sender);
}

int ControlSet::subscribe(Observer obs) {
    std::lock_guard lk(mu_);
    int id = nextObserver_++;
    // Copy on write: a notification in progress keeps the list it started with.
    auto next = std::make_shared<ObserverList>(observers_ ? *observers_ : ObserverList{});
    next->emplace_back(id, std::move(obs));
    observers_ = std::move(next);
    return id;
}

void ControlSet::unsubscribe(int id) {
    std::lock_guard lk(mu_);
    if (!observers_) return;
    auto next = std::make_shared<ObserverList>(*observers_);
    next->erase(std::remove_if(next->begin(), next->end(), [id](auto& p) { return p.first == id; }),
                next->end());
    observers_ = std::move(next);
}

}  // namespace vantrel
