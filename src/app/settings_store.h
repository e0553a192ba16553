#pragma once
// The per-user settings store: load, save and apply, in the fixed order of the value table.
//
// The store is one file, $XDG_CONFIG_HOME/orvik/Vantrel.reg, in the registry's text export syntax with
// the key HKEY_CURRENT_USER\Software\orvik\Vantrel, so that the value names, kinds and order stay those
// of the registry key and an export from another system can be placed there as it is.
//
// Loading goes through the control model: a check box set to another state runs its command as a
// click does, a combo box selection or a menu check mark set from code runs none.
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "core/control_set.h"
#include "nc/trace.h"

namespace vantrel {

class Application;

inline constexpr const char* kSettingsKey = "HKEY_CURRENT_USER\\Software\\orvik\\Vantrel";

inline constexpr const char* kMsgSettingsUnreadable = "設定ファイルを読み込めませんでした";
inline constexpr const char* kMsgSettingsNotRegistry =
    "設定ファイルの形式が正しくないため、設定を読み込みませんでした";
inline constexpr const char* kMsgSettingsValuesSkipped =
    "設定ファイルの次の値は読み込めなかったため、元の値のままです";
inline constexpr const char* kMsgSettingsNotSaved = "設定を保存できませんでした";

// $XDG_CONFIG_HOME/orvik/Vantrel.reg (~/.config when XDG_CONFIG_HOME is unset).
inline constexpr const char* kMsgNoStoredSettings = "保存された設定がありません";

std::string settingsStorePath();

// What a load met on its way. The values read before and after a bad one stay loaded.
struct SettingsLoadReport {
    bool found = false;                   // the file (or the bytes) held the key
    bool readable = true;                 // false: the file exists but could not be read
    bool registry = true;                 // false: the bytes are not a registry export
    std::string error;                    // why the file could not be read
    std::vector<std::string> wrongKind;   // values whose stored kind or size does not fit
    std::vector<std::string> outOfRange;  // values outside their domain (treated as missing)
    std::vector<int> skippedLines;        // lines of the file that could not be read

    bool clean() const {
        return readable && registry && wrongKind.empty() && outOfRange.empty() && skippedLines.empty();
    }
    // The Japanese message for the user, empty when there is nothing to say.
    std::string message(const std::string& path) const;
};

// Reads the store's bytes into the state and the controls, value by value in the table order. A
// missing value, one of the wrong kind and one outside its domain all leave their target as it was.
SettingsLoadReport loadSettingsFromBytes(std::string_view bytes, AppState& s, ControlSet& cs);

// The store's bytes after a save over `previous` (the file as it was): `hozon` always, every other
// value only when auto-save is checked; every value already in the file that the save does not write
// is kept.
std::string saveSettingsToBytes(const AppState& s, const ControlSet& cs, std::string_view previous);

// Brings the machine menu, the family's controls, the tool list, the display switches, the holder,
// the chuck and the colour panels in line with the state, and rebuilds the holder, the stock grid and
// the working tool (which stays inside its table).
void applySettings(Application& app);

// Load from the file into the application's state (the settings-ready flag is false meanwhile and
// always ends set); tells the user about anything it could not read. False when nothing was loaded.
bool loadSettingsFile(Application& app, const std::string& path);

// Save into the file under an advisory lock (read, change, write atomically). A failure is told to
// the user; returns false then.
bool saveSettingsFile(Application& app, const std::string& path);

// "前回の設定復元": load, the stored picture when there is one, apply, repaint.
void restorePreviousSettings(Application& app, const std::string& path);

// "設定を自動保存" (ini1): a check item whose mark decides how much the save at close writes.
void bindAutoSaveCommand(ControlSet& cs, AppState& s);

// Connects the store at `path` to the application: the start-up load and apply, the save at close,
// the commands of "設定を自動保存" (ini1) and "前回の設定復元" (N24).
void attachSettingsStore(Application& app, const std::string& path);

// For the headless commands: the state as the window would start with the store at `path` (loaded and
// applied). False with `error` when the file cannot be read or is not a registry export; values it
// could not read are listed in `warnings` (empty when none).
bool loadSettingsForHeadless(const std::string& path, AppState& s, std::string& error, std::string& warnings);

// For `trace`: the stored machine and the numbers and diameters of its family's tool list.
bool traceOptionsFromSettings(const std::string& path, TraceOptions& options, std::string& error,
                              std::string& warnings);

}  // namespace vantrel
