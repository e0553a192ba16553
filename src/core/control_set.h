#pragma once
// The named controls of the main window as plain data.
//
// Every caption, hint, enabled / visible / checked state, item list and position the user sees lives
// here; the Qt layer only mirrors it. Commands are bound by name and run by `click` (what a user does)
// or, for check boxes only, by a state change from code. The three rules that callers rely on are kept
// in this one place:
//   - setting a check box's state from code runs its command, as a click does (only when it changes);
//   - setting a combo box's selection from code runs no command;
//   - setting a menu item's check mark from code runs no command.
// Speed buttons with a group index behave as a radio group; a group that allows all buttons up lets a
// click on a down button release it.
//
// Thread safety: the playback thread updates captions, enabled states and button states directly.
// All reads and writes take one mutex; observers are called after it is released, in the order the
// changes were made, and receive a copy of the changed control.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantrel {

enum class ControlKind {
    Menu,      // a menu bar entry or a sub-menu holding items
    MenuItem,  // a menu command
    MenuSeparator,
    SpeedButton,  // a tool-bar toggle button (down state in `checked`)
    Button,       // a push button
    CheckBox,
    ComboBox,
    Label,
    Panel,  // a container; floating panels are Panels with a position
    PageControl,
    TabSheet,
    TrackBar,
    ScrollBar,
    ProgressBar,
    PaintBox,  // a drawing surface (the scene, the listing box)
    Other,
};

struct Control {
    std::string name;
    ControlKind kind = ControlKind::Other;
    std::string parent;  // containing control ("" for top level)
    std::string caption;
    std::string hint;
    bool enabled = true;
    bool visible = true;
    bool checked = false;  // check mark, check box state or speed-button down state
    int tag = 0;
    int group = 0;  // speed-button group index (0: independent toggle or push button)
    bool allowAllUp = false;
    bool toggles = false;  // a speed button with group 0 that keeps its own down state
    std::vector<std::string> items;
    int itemIndex = -1;
    int position = 0, minimum = 0, maximum = 100;
    int left = 0, top = 0, width = 0, height = 0;
    uint32_t color = 0;      // background colour (0x00BBGGRR) where the control shows one
    bool autoCheck = false;  // a menu item whose click inverts its own check mark before the command
};

// A label record, as the subsystems register their captions and value labels.
inline Control labelControl(std::string_view name, std::string_view caption, int tag = 0) {
    Control c;
    c.name = std::string(name);
    c.kind = ControlKind::Label;
    c.caption = std::string(caption);
    c.tag = tag;
    return c;
}

enum class ControlChange {
    Caption,
    Hint,
    Enabled,
    Visible,
    Checked,
    Items,
    ItemIndex,
    Position,
    Geometry,
    Color
};

class ControlSet {
  public:
    using Command = std::function<void(const Control& sender)>;
    using Observer = std::function<void(const Control& control, ControlChange change)>;

    ControlSet();
    ~ControlSet();
    ControlSet(const ControlSet&) = delete;
    ControlSet& operator=(const ControlSet&) = delete;

    // Adds a control; a second control with the same name replaces nothing and returns false.
    bool add(const Control& c);
    bool has(std::string_view name) const;
    // A copy of the control's current state (an empty Control with the name when it does not exist).
    Control get(std::string_view name) const;
    std::vector<std::string> names() const;  // in the order they were added
    std::vector<std::string> children(std::string_view parent) const;

    // Plain accessors.
    std::string caption(std::string_view name) const;
    bool enabled(std::string_view name) const;
    bool visible(std::string_view name) const;
    bool checked(std::string_view name) const;
    int tag(std::string_view name) const;
    int itemIndex(std::string_view name) const;
    int position(std::string_view name) const;
    std::vector<std::string> items(std::string_view name) const;

    // Setters that never run a command.
    void setCaption(std::string_view name, const std::string& text);
    void setHint(std::string_view name, const std::string& text);
    void setEnabled(std::string_view name, bool on);
    void setVisible(std::string_view name, bool on);
    void setItems(std::string_view name, std::vector<std::string> items);
    void setItemIndex(std::string_view name, int index);  // combo box selection: no command
    void setPosition(std::string_view name, int pos);     // clamped to [minimum, maximum]
    void setRange(std::string_view name, int minimum, int maximum);
    void setGeometry(std::string_view name, int left, int top, int width, int height);
    void setHeight(std::string_view name, int height);
    // Places a control in a container (before the window is built from the model).
    void setParent(std::string_view name, std::string_view parent);
    void setColor(std::string_view name, uint32_t color);
    // Menu check mark or speed-button down state: no command. Pressing a grouped speed button releases
    // the others of its group.
    void setChecked(std::string_view name, bool on);

    // Check box state from code: runs the check box's command when the state changes, like a click.
    // On any other kind it is setChecked.
    void setCheckBox(std::string_view name, bool on);

    // What a user does. A check box flips and runs its command; a grouped speed button goes down (or
    // up, in an all-up group, when already down) and runs its command; an auto-check menu item inverts
    // its mark first; any other control runs its command. Disabled or unknown controls do nothing,
    // except labels, whose enabled state only shows a status.
    void click(std::string_view name);
    // The user picks an item of a combo box: the selection changes and the command runs.
    void selectItem(std::string_view name, int index);
    // The user moves a track bar or scroll bar: the position changes and the command runs.
    void moveTo(std::string_view name, int pos);

    void bind(std::string_view name, Command cmd);
    bool hasCommand(std::string_view name) const;
    // Runs the bound command without changing any state (used for right-press handlers and tests).
    void runCommand(std::string_view name);

    // Observers are told of every change. The id returned removes the observer again.
    int subscribe(Observer obs);
    void unsubscribe(int id);

  private:
    struct Pending {
        Control control;
        ControlChange change;
    };
    Control* findLocked(std::string_view name);
    const Control* findLocked(std::string_view name) const;
    void noteLocked(const Control& c, ControlChange change, std::vector<Pending>& out);
    void pressInGroupLocked(Control& c, std::vector<Pending>& out);
    void notify(std::vector<Pending>& pending);
    void run(std::string_view name);

    mutable std::recursive_mutex mu_;
    std::vector<std::unique_ptr<Control>> order_;
    using ObserverList = std::vector<std::pair<int, Observer>>;
    // Looked up with string views (no std::string is built for a literal name).
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, Control*, NameHash, std::equal_to<>> byName_;
    std::unordered_map<std::string, Command, NameHash, std::equal_to<>> commands_;
    std::shared_ptr<const ObserverList> observers_;
    int nextObserver_ = 1;
};

}  // namespace vantrel
