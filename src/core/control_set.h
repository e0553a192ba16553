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
#include <map>
#include <memory>
#include <mutex>
#include <string>
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
    bool has(const std::string& name) const;
    // A copy of the control's current state (an empty Control with the name when it does not exist).
    Control get(const std::string& name) const;
    std::vector<std::string> names() const;  // in the order they were added
    std::vector<std::string> children(const std::string& parent) const;

    // Plain accessors.
    std::string caption(const std::string& name) const;
    bool enabled(const std::string& name) const;
    bool visible(const std::string& name) const;
    bool checked(const std::string& name) const;
    int tag(const std::string& name) const;
    int itemIndex(const std::string& name) const;
    int position(const std::string& name) const;
    std::vector<std::string> items(const std::string& name) const;

    // Setters that never run a command.
    void setCaption(const std::string& name, const std::string& text);
    void setHint(const std::string& name, const std::string& text);
    void setEnabled(const std::string& name, bool on);
    void setVisible(const std::string& name, bool on);
    void setItems(const std::string& name, std::vector<std::string> items);
    void setItemIndex(const std::string& name, int index);  // combo box selection: no command
    void setPosition(const std::string& name, int pos);     // clamped to [minimum, maximum]
    void setRange(const std::string& name, int minimum, int maximum);
    void setGeometry(const std::string& name, int left, int top, int width, int height);
    void setHeight(const std::string& name, int height);
    // Places a control in a container (before the window is built from the model).
    void setParent(const std::string& name, const std::string& parent);
    void setColor(const std::string& name, uint32_t color);
    // Menu check mark or speed-button down state: no command. Pressing a grouped speed button releases
    // the others of its group.
    void setChecked(const std::string& name, bool on);

    // Check box state from code: runs the check box's command when the state changes, like a click.
    // On any other kind it is setChecked.
    void setCheckBox(const std::string& name, bool on);

    // What a user does. A check box flips and runs its command; a grouped speed button goes down (or
    // up, in an all-up group, when already down) and runs its command; an auto-check menu item inverts
    // its mark first; any other control runs its command. Disabled or unknown controls do nothing,
    // except labels, whose enabled state only shows a status.
    void click(const std::string& name);
    // The user picks an item of a combo box: the selection changes and the command runs.
    void selectItem(const std::string& name, int index);
    // The user moves a track bar or scroll bar: the position changes and the command runs.
    void moveTo(const std::string& name, int pos);

    void bind(const std::string& name, Command cmd);
    bool hasCommand(const std::string& name) const;
    // Runs the bound command without changing any state (used for right-press handlers and tests).
    void runCommand(const std::string& name);

    // Observers are told of every change. The id returned removes the observer again.
    int subscribe(Observer obs);
    void unsubscribe(int id);

  private:
    struct Pending {
        Control control;
        ControlChange change;
    };
    Control* findLocked(const std::string& name);
    const Control* findLocked(const std::string& name) const;
    void noteLocked(const Control& c, ControlChange change, std::vector<Pending>& out);
    void pressInGroupLocked(Control& c, std::vector<Pending>& out);
    void notify(std::vector<Pending>& pending);
    void run(const std::string& name);

    mutable std::recursive_mutex mu_;
    std::vector<std::unique_ptr<Control>> order_;
    std::map<std::string, Control*> byName_;
    std::map<std::string, Command> commands_;
    std::vector<std::pair<int, Observer>> observers_;
    int nextObserver_ = 1;
};

}  // namespace vantrel
