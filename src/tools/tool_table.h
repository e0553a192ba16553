#pragma once
// Tool records, the three tool stores (milling list, lathe list, the single wire) and the working tool
// with its derived cutter profile.
//
// Every list keeps entry 0 (number 0, shown as "-") as the fallback tool; entries 1..n-1 carry distinct
// numbers in ascending order and match the items 1..n-1 of the tool selector one to one.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/machine_kind.h"

namespace vantrel {

inline constexpr uint32_t kDefaultToolColor = 0x00FFFF;

// Fields in their persistent order (tool files and settings store them in this order).
struct ToolRecord {
    int32_t number = 0;
    uint8_t kind = 0;         // lathe: LatheToolKind
    uint8_t tipPosition = 5;  // 1..9 like the keys of a numeric keypad, 5 = on the axis
    double noseRadius = 5;
    double diameter = 10;
    double length = 20;
    double holderLength = 40;
    double angleA = 0;  // degrees: bottom angle (mill), tool angle (lathe), upper wire end Z (wire)
    double angleB = 0;  // degrees: side angle (mill), approach angle (lathe), lower wire end Z (wire)
    double axisX = 0, axisY = 0, axisZ = 1;
    double holderDiameter = 30;
    double reserved1 = 0, reserved2 = 0;
    int32_t color = static_cast<int32_t>(kDefaultToolColor);  // 0x00BBGGRR

    bool operator==(const ToolRecord&) const = default;
};

// The turning-tool kinds, in the order of the lathe shape selector.
enum class LatheToolKind : uint8_t {
    OuterRight = 0,
    OuterLeft,
    OuterGrooveRight,
    OuterGrooveLeft,
    InnerRight,
    InnerLeft,
    InnerGrooveRight,
    InnerGrooveLeft,
    RadialDrill,
    AxialDrill,
    Round,
    OuterThreadRight,
    OuterThreadLeft,
    InnerThreadRight,
    InnerThreadLeft,
};
inline constexpr int kLatheToolKindCount = 15;

// Captions of the fifteen kinds ("外右" ...), the items of ComboBox2 on the lathes.
const std::array<const char*, kLatheToolKindCount>& latheToolKindItems();

// Writes the defaults of a lathe tool kind into a record; fields the kind does not name keep their
// values. An unknown kind changes nothing and returns false.
bool applyLatheToolKind(ToolRecord& tool, int kind);

// Kinds 8 and 9 (the drills) are shown and edited like milling tools.
inline bool isDrillKind(int kind) {
    return kind == 8 || kind == 9;
}

// Holder standards on the mill spindle, the items of combo_holder and the radio menu items.
enum class HolderKind : int32_t { None = 0, BT30, BT40, BT50, HSK_A50, HSK_A63, HSK_A100 };
inline constexpr int kHolderKindCount = 7;
const std::array<const char*, kHolderKindCount>& holderKindItems();
// Menu items menu_bt0 ... menu_hsk100 in HolderKind order.
const std::array<const char*, kHolderKindCount>& holderKindMenuItems();

// The cutter as a solid of revolution about its axis, tip centre at height 0 (single precision, as the
// material removal uses it).
struct ToolProfile {
    float cornerTan = 0;
    float coneHeight = 0;
    float bottomTangentZ = 0;
    float bottomTangentR = 0;
    float sideTangentZ = 0;
    float sideTangentR = 0;
    float cornerCentreZ = 0;
    float cornerCentreR = 0;
    float topDiameter = 0;
    float topRadius = 0;
    float holderRadius = 0;
    float totalLength = 0;
};

ToolProfile computeToolProfile(const ToolRecord& tool, double holderBaseLength);

ToolRecord defaultMillTool(uint32_t color = kDefaultToolColor);
ToolRecord defaultLatheTool(uint32_t color = kDefaultToolColor);
// The wire's initial values; `kind` is taken from `previous` (initialising keeps it).
ToolRecord initialWireTool(const ToolRecord& previous, uint32_t color = kDefaultToolColor);

// The tool stores, the working tool and what is derived from it.
struct ToolTable {
    std::vector<ToolRecord> millTools{defaultMillTool()};
    std::vector<ToolRecord> latheTools{defaultLatheTool()};
    ToolRecord wireTool = initialWireTool(ToolRecord{});
    ToolRecord workingTool = defaultMillTool();
    int32_t currentToolIndex = 0;  // the selected entry
    int32_t loadedToolIndex = 0;   // the entry last copied into workingTool
    // Derived from workingTool on every load (radians): they orient the tool when it is drawn.
    double toolTiltAngle = 0;
    double toolTurnAngle = 0;
    ToolProfile profile = computeToolProfile(defaultMillTool(), 0);
    // Length of the holder's spindle-side part; set by the holder models (0 until they exist).
    double holderBaseLength = 0;

    // Counts as stored (entry 0 included).
    int32_t t_cnt() const { return static_cast<int32_t>(millTools.size()); }
    int32_t t_cnt_s() const { return static_cast<int32_t>(latheTools.size()); }
};

// The list of the family of `kind`; the wire EDM has no list (nullptr).
std::vector<ToolRecord>* toolListFor(ToolTable& t, MachineKind kind);
const std::vector<ToolRecord>* toolListFor(const ToolTable& t, MachineKind kind);

// The store whose entries the D words of a program name: the family's list, and on the wire EDM the
// milling store (its wire offsets are kept there).
const std::vector<ToolRecord>& offsetStoreFor(const ToolTable& t, MachineKind kind);

// Recomputes toolTiltAngle, toolTurnAngle and the profile from workingTool.
void updateDerivedToolValues(ToolTable& t);

// Copies entry `index` of the family's store (the wire EDM: wireTool) into workingTool and
// recomputes the derived values. An index outside the list loads entry 0.
void loadWorkingTool(ToolTable& t, MachineKind kind, int index);
// Copies workingTool back into entry `index` (the wire EDM: wireTool); an index outside the list
// stores nothing. The derived values are recomputed either way.
void storeWorkingTool(ToolTable& t, MachineKind kind, int index);

// First entry 1..n-1 whose number equals `number`; 0 when none does.
int findToolIndex(const std::vector<ToolRecord>& list, int32_t number);

// Both lists become one default entry 0, the wire gets its initial values, entry 0 is selected and
// loaded.
void initialiseToolTables(ToolTable& t, MachineKind kind, uint32_t defaultColor = kDefaultToolColor);

// Inserts a new default tool with `number` at its ascending position and returns its index. When the
// number is already in the list nothing is inserted and the existing index is returned; 0 (the "-"
// entry) is never inserted (returns -1), nor is anything on the wire EDM.
int insertTool(ToolTable& t, MachineKind kind, int32_t number, uint32_t defaultColor = kDefaultToolColor);
// Removes entry `index` (never entry 0). Returns the index to select afterwards, or -1 when nothing
// was removed.
int deleteTool(ToolTable& t, MachineKind kind, int index);
// Gives entry `index` the number and moves it to its ascending position, keeping its parameters.
// Returns the new index, or -1 when nothing changed (entry 0, the number 0, a number already used by
// another entry, no list).
int renumberTool(ToolTable& t, MachineKind kind, int index, int32_t number);

// The items of the tool selector: "-" and the numbers of entries 1..n-1.
std::vector<std::string> toolListItems(const std::vector<ToolRecord>& list);

// Tool number of a T word (integer value as scanned): on the lathes T/100, T/1000 or T/10000 by the
// T-code format 0, 1, 2; on the mills the integer part of T.
int32_t toolNumberFromTWord(MachineKind kind, double t, int tCodeFormat);

}  // namespace vantrel
