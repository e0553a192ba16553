#include "tools/tool_table.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/rounding.h"

namespace vantrel {

namespace {

struct LatheKindDefaults {
    uint8_t tipPosition;
    double noseRadius, diameter, holderLength;
    double holderDiameter;  // negative: the kind leaves the field as it is
    double length, angleA, angleB;
    double axisX, axisY, axisZ;
};

// One row per LatheToolKind.
constexpr std::array<LatheKindDefaults, kLatheToolKindCount> kLatheKindDefaults = {{
    {1, 0.8, 25, 0, -1, 16, 60, 93, 1, 0, 0},   // 外右
    {3, 0.8, 25, 0, -1, 16, 60, 93, 1, 0, 0},   // 外左
    {1, 0.2, 25, 3, -1, 10, 0, 90, 1, 0, 0},    // 外溝右
    {3, 0.2, 25, 3, -1, 10, 0, 90, 1, 0, 0},    // 外溝左
    {7, 0.8, 25, 0, -1, 16, 60, 93, 0, 0, 1},   // 内右
    {9, 0.8, 25, 0, -1, 16, 60, 93, 0, 0, -1},  // 内左
    {7, 0.2, 25, 3, -1, 5, 0, 90, 0, 0, 1},     // 内溝右
    {9, 0.2, 25, 3, -1, 5, 0, 90, 0, 0, -1},    // 内溝左
    {5, 0, 10, 40, 30, 50, 30, 0, 1, 0, 0},     // 外ドリル
    {5, 0, 10, 40, 30, 50, 30, 0, 0, 0, 1},     // 端ドリル
    {1, 2, 25, 0, -1, 0, 0, 0, 1, 0, 0},        // 丸
    {1, 0.15, 25, 0, -1, 3, 60, 60, 1, 0, 0},   // 外ねじ右
    {1, 0.15, 25, 0, -1, 3, 60, 60, 1, 0, 0},   // 外ねじ左
    {7, 0.15, 25, 0, -1, 3, 60, 60, 0, 0, 1},   // 内ねじ右
    {7, 0.15, 25, 0, -1, 3, 60, 60, 0, 0, -1},  // 内ねじ左
}};

constexpr double kDegToRad = std::numbers::pi / 180.0;

}  // namespace

const std::array<const char*, kLatheToolKindCount>& latheToolKindItems() {
    static const std::array<const char*, kLatheToolKindCount> items = {
        "外右",     "外左",     "外溝右", "外溝左",   "内右",     "内左",     "内溝右",  "内溝左",
        "外ドリル", "端ドリル", "丸",     "外ねじ右", "外ねじ左", "内ねじ右", "内ねじ左"};
    return items;
}

const std::array<const char*, kHolderKindCount>& holderKindItems() {
    static const std::array<const char*, kHolderKindCount> items = {"なし",    "BT30",    "BT40",    "BT50",
                                                                    "HSK-A50", "HSK-A63", "HSK-A100"};
    return items;
}

const std::array<const char*, kHolderKindCount>& holderKindMenuItems() {
    static const std::array<const char*, kHolderKindCount> items = {
        "menu_bt0", "menu_bt30", "menu_bt40", "menu_bt50", "menu_hsk50", "menu_hsk63", "menu_hsk100"};
    return items;
}

bool applyLatheToolKind(ToolRecord& tool, int kind) {
    if (kind < 0 || kind >= kLatheToolKindCount) return false;
    const LatheKindDefaults& d = kLatheKindDefaults[static_cast<size_t>(kind)];
    tool.kind = static_cast<uint8_t>(kind);
    tool.tipPosition = d.tipPosition;
    tool.noseRadius = d.noseRadius;
    tool.diameter = d.diameter;
    tool.holderLength = d.holderLength;
    if (d.holderDiameter >= 0) tool.holderDiameter = d.holderDiameter;
    tool.length = d.length;
    tool.angleA = d.angleA;
    tool.angleB = d.angleB;
    tool.axisX = d.axisX;
    tool.axisY = d.axisY;
    tool.axisZ = d.axisZ;
    return true;
}

ToolProfile computeToolProfile(const ToolRecord& tool, double holderBaseLength) {
    const double a = tool.angleA * kDegToRad;
    const double b = tool.angleB * kDegToRad;
    const double d = tool.diameter;
    const double r = tool.noseRadius;
    const double l = tool.length;
    const double cornerTan = std::tan((std::numbers::pi / 2 - a - b) / 2);
    const double coneHeight = std::tan(a) * d / 2;
    const double bottomTangentZ = coneHeight - std::sin(a) * r * cornerTan;
    const double bottomTangentR = d / 2 - std::cos(a) * r * cornerTan;
    const double sideTangentZ = coneHeight + std::cos(b) * r * cornerTan;
    const double sideTangentR = d / 2 + std::sin(b) * r * cornerTan;
    const double topDiameter = d + std::tan(b) * (l - coneHeight) * 2;

    ToolProfile p;
    p.cornerTan = static_cast<float>(cornerTan);
    p.coneHeight = static_cast<float>(coneHeight);
    p.bottomTangentZ = static_cast<float>(bottomTangentZ);
    p.bottomTangentR = static_cast<float>(bottomTangentR);
    p.sideTangentZ = static_cast<float>(sideTangentZ);
    p.sideTangentR = static_cast<float>(sideTangentR);
    p.cornerCentreZ = static_cast<float>(bottomTangentZ + r * std::cos(a));
    p.cornerCentreR = static_cast<float>(bottomTangentR - r * std::sin(a));
    p.topDiameter = static_cast<float>(topDiameter);
    p.topRadius = static_cast<float>(topDiameter / 2);
    p.holderRadius = static_cast<float>(tool.holderDiameter / 2);
    p.totalLength = static_cast<float>(holderBaseLength + tool.holderLength + tool.length);
    return p;
}

ToolRecord defaultMillTool(uint32_t color) {
    ToolRecord t;  // the member defaults are the milling defaults
    t.color = static_cast<int32_t>(color);
    return t;
}

ToolRecord defaultLatheTool(uint32_t color) {
    ToolRecord t;
    t.kind = 0;
    t.tipPosition = 1;
    t.noseRadius = 0.8;
    t.diameter = 25;
    t.length = 16;
    t.holderLength = 0;
    t.angleA = 60;
    t.angleB = 93;
    t.axisX = 1;
    t.axisY = 0;
    t.axisZ = 0;
    t.holderDiameter = 30;
    t.color = static_cast<int32_t>(color);
    return t;
}

ToolRecord initialWireTool(const ToolRecord& previous, uint32_t color) {
    ToolRecord t;
    t.number = 0;
    t.kind = previous.kind;
    t.tipPosition = 0;
    t.noseRadius = 0.1;
    t.diameter = 0.2;
    t.length = 0;
    t.holderLength = 0;
    t.angleA = 100;
    t.angleB = -100;
    t.axisX = 0;
    t.axisY = 0;
    t.axisZ = 1;
    t.holderDiameter = 0;
    t.color = static_cast<int32_t>(color);
    return t;
}

std::vector<ToolRecord>* toolListFor(ToolTable& t, MachineKind kind) {
    switch (familyOf(kind)) {
        case MachineFamily::Milling:
            return &t.millTools;
        case MachineFamily::Turning:
            return &t.latheTools;
        case MachineFamily::Wire:
            return nullptr;
    }
    return nullptr;
}

const std::vector<ToolRecord>* toolListFor(const ToolTable& t, MachineKind kind) {
    return toolListFor(const_cast<ToolTable&>(t), kind);
}

const std::vector<ToolRecord>& offsetStoreFor(const ToolTable& t, MachineKind kind) {
    return isTurning(kind) ? t.latheTools : t.millTools;
}

void updateDerivedToolValues(ToolTable& t) {
    const ToolRecord& w = t.workingTool;
    double x = w.axisX, y = w.axisY, z = w.axisZ;
    double len = std::sqrt(x * x + y * y + z * z);
    if (!(len > 0) || !std::isfinite(len)) {
        x = 0;
        y = 0;
        z = 1;
        len = 1;
    }
    t.toolTiltAngle = std::asin(clampTo(-y / len, -1.0, 1.0));
    t.toolTurnAngle = std::atan2(x, z);
    t.profile = computeToolProfile(w, t.holderBaseLength);
}

void loadWorkingTool(ToolTable& t, MachineKind kind, int index) {
    std::vector<ToolRecord>* list = toolListFor(t, kind);
    if (!list) {
        t.loadedToolIndex = 0;
        t.workingTool = t.wireTool;
    } else {
        if (list->empty()) list->push_back(isTurning(kind) ? defaultLatheTool() : defaultMillTool());
        if (index < 0 || index >= static_cast<int>(list->size())) index = 0;
        t.loadedToolIndex = index;
        t.workingTool = (*list)[static_cast<size_t>(index)];
    }
    updateDerivedToolValues(t);
}

void storeWorkingTool(ToolTable& t, MachineKind kind, int index) {
    std::vector<ToolRecord>* list = toolListFor(t, kind);
    if (!list) {
        t.wireTool = t.workingTool;
    } else if (index >= 0 && index < static_cast<int>(list->size())) {
        (*list)[static_cast<size_t>(index)] = t.workingTool;
    }
    updateDerivedToolValues(t);
}

int findToolIndex(const std::vector<ToolRecord>& list, int32_t number) {
    for (size_t i = 1; i < list.size(); ++i)
        if (list[i].number == number) return static_cast<int>(i);
    return 0;
}

void initialiseToolTables(ToolTable& t, MachineKind kind, uint32_t defaultColor) {
    t.millTools.assign(1, defaultMillTool(defaultColor));
    t.latheTools.assign(1, defaultLatheTool(defaultColor));
    t.wireTool = initialWireTool(t.wireTool, defaultColor);
    t.currentToolIndex = 0;
    loadWorkingTool(t, kind, 0);
}

int insertTool(ToolTable& t, MachineKind kind, int32_t number, uint32_t defaultColor) {
    std::vector<ToolRecord>* list = toolListFor(t, kind);
    if (!list || number == 0) return -1;
    if (int existing = findToolIndex(*list, number); existing > 0) return existing;
    size_t pos = 1;
    while (pos < list->size() && (*list)[pos].number < number) ++pos;
    ToolRecord fresh = isTurning(kind) ? defaultLatheTool(defaultColor) : defaultMillTool(defaultColor);
    fresh.number = number;
    list->insert(list->begin() + static_cast<std::ptrdiff_t>(pos), fresh);
    return static_cast<int>(pos);
}

int deleteTool(ToolTable& t, MachineKind kind, int index) {
    std::vector<ToolRecord>* list = toolListFor(t, kind);
    if (!list || index <= 0 || index >= static_cast<int>(list->size())) return -1;
    list->erase(list->begin() + index);
    return std::min(index, static_cast<int>(list->size()) - 1);
}

int renumberTool(ToolTable& t, MachineKind kind, int index, int32_t number) {
    std::vector<ToolRecord>* list = toolListFor(t, kind);
    if (!list || index <= 0 || index >= static_cast<int>(list->size()) || number == 0) return -1;
    if (int existing = findToolIndex(*list, number); existing > 0) return -1;
    ToolRecord moved = (*list)[static_cast<size_t>(index)];
    moved.number = number;
    list->erase(list->begin() + index);
    size_t pos = 1;
    while (pos < list->size() && (*list)[pos].number < number) ++pos;
    list->insert(list->begin() + static_cast<std::ptrdiff_t>(pos), moved);
    return static_cast<int>(pos);
}

std::vector<std::string> toolListItems(const std::vector<ToolRecord>& list) {
    std::vector<std::string> items{"-"};
    for (size_t i = 1; i < list.size(); ++i) items.push_back(std::to_string(list[i].number));
    return items;
}

int32_t toolNumberFromTWord(MachineKind kind, double t, int tCodeFormat) {
    if (isTurning(kind)) {
        double divisor = tCodeFormat == 1 ? 1000.0 : tCodeFormat == 2 ? 10000.0 : 100.0;
        return saturatingToInt32(t / divisor);
    }
    return saturatingToInt32(t);
}

}  // namespace vantrel
