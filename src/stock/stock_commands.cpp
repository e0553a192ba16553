#include "stock/stock_commands.h"

#include <cstdio>
#include <optional>
#include <string>

#include "core/number_format.h"

namespace vantrel {

namespace {

constexpr const char* kSizeFormat = "##0.###";
constexpr const char* kPitchFormat = "##0.#####";
constexpr const char* kAskRun = "実行しますか?";

Control speedButton(const char* name, const char* hint) {
    Control c;
    c.name = name;
    c.kind = ControlKind::SpeedButton;
    c.hint = hint;
    return c;
}

// General number format: up to 15 significant digits, no trailing zeros.
std::string generalNumber(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

bool reject(UiServices& ui, const std::string& msg) {
    ui.message(msg);
    return false;
}

}  // namespace

void addStockControls(ControlSet& cs) {
    cs.add(labelControl("Label32", "Ｘ（長さ）"));
    cs.add(labelControl("Label33", "Ｙ"));
    cs.add(labelControl("Label36", "Ｚ"));
    cs.add(labelControl("Label38", "Ｘ（位置）"));
    cs.add(labelControl("Label39", "Ｙ（位置）"));
    cs.add(labelControl("Label40", "Ｚ（位置）"));
    cs.add(labelControl("Label44", "ピッチ"));
    StockSpec s;
    cs.add(labelControl("label_zai_x", FormatFloat(kSizeFormat, s.sizeX).c_str(), kStockTagSizeX));
    cs.add(labelControl("label_zai_y", FormatFloat(kSizeFormat, s.sizeY).c_str(), kStockTagSizeY));
    cs.add(labelControl("label_zai_z", FormatFloat(kSizeFormat, s.sizeZ).c_str(), kStockTagSizeZ));
    cs.add(labelControl("label_zai_x_off", FormatFloat(kSizeFormat, s.offsetX).c_str(), kStockTagOffsetX));
    cs.add(labelControl("label_zai_y_off", FormatFloat(kSizeFormat, s.offsetY).c_str(), kStockTagOffsetY));
    cs.add(labelControl("label_zai_z_off", FormatFloat(kSizeFormat, s.offsetZ).c_str(), kStockTagOffsetZ));
    cs.add(labelControl("label_zai_pitch", FormatFloat(kPitchFormat, s.pitch).c_str(), kStockTagPitch));
    cs.add(labelControl("label_zai_w", "*", kStockTagWall));

    Control shape;
    shape.name = "ComboBox3";
    shape.kind = ControlKind::ComboBox;
    shape.items = {"３角形", "４角形", "５角形", "６角形", "円形"};
    shape.itemIndex = 1;
    cs.add(shape);

    cs.add(speedButton("sb_zai_mas_reset", "内部初期化（四角）"));
    cs.add(speedButton("sb_zai_repaint", "材料内部状態表示"));
    cs.add(speedButton("sb_zai_fit", "補間経路に合わせる"));
}

void showStockLabels(ControlSet& cs, const StockSpec& s, MachineKind kind) {
    const bool turning = isTurning(kind);
    cs.setCaption("Label32", turning ? "外径" : "Ｘ（長さ）");
    cs.setCaption("Label33", turning ? "内径" : "Ｙ");
    cs.setCaption("Label36", turning ? "長さ" : "Ｚ");
    cs.setCaption("Label38", turning ? "端面突出" : "Ｘ（位置）");
    for (const char* name : {"Label39", "Label40", "label_zai_y_off", "label_zai_z_off"})
        cs.setVisible(name, !turning);
    cs.setCaption("label_zai_x", FormatFloat(kSizeFormat, s.sizeX));
    cs.setCaption("label_zai_y", FormatFloat(kSizeFormat, s.sizeY));
    cs.setCaption("label_zai_z", FormatFloat(kSizeFormat, s.sizeZ));
    cs.setCaption("label_zai_x_off", FormatFloat(kSizeFormat, s.offsetX));
    cs.setCaption("label_zai_y_off", FormatFloat(kSizeFormat, s.offsetY));
    cs.setCaption("label_zai_z_off", FormatFloat(kSizeFormat, s.offsetZ));
    cs.setCaption("label_zai_pitch", FormatFloat(kPitchFormat, s.pitch));
    cs.setCaption("label_zai_w",
                  s.wallThickness == 0 ? std::string("*") : FormatFloat(kSizeFormat, s.wallThickness));
}

double stockFieldValue(const StockSpec& s, int tag) {
    switch (tag) {
        case kStockTagSizeX:
            return s.sizeX;
        case kStockTagSizeY:
            return s.sizeY;
        case kStockTagSizeZ:
            return s.sizeZ;
        case kStockTagOffsetX:
            return s.offsetX;
        case kStockTagOffsetY:
            return s.offsetY;
        case kStockTagOffsetZ:
            return s.offsetZ;
        case kStockTagPitch:
            return s.pitch;
        case kStockTagWall:
            return s.wallThickness;
        default:
            return 0;
    }
}

bool setStockField(StockSpec& s, int tag, double v, UiServices& ui) {
    switch (tag) {
        case kStockTagSizeX:
        case kStockTagSizeY:
        case kStockTagSizeZ: {
            const double bound = stockSizeLimit(s.pitch);
            if (!(v >= 0 && v <= bound)) return reject(ui, "0から" + generalNumber(bound) + "まで");
            float& f = tag == kStockTagSizeX ? s.sizeX : tag == kStockTagSizeY ? s.sizeY : s.sizeZ;
            f = static_cast<float>(v);
            return true;
        }
        case kStockTagOffsetX:
        case kStockTagOffsetY:
        case kStockTagOffsetZ: {
            if (!(v >= -kStockOffsetLimit && v <= kStockOffsetLimit)) return reject(ui, "-1000から+1000まで");
            float& f = tag == kStockTagOffsetX ? s.offsetX : tag == kStockTagOffsetY ? s.offsetY : s.offsetZ;
            f = static_cast<float>(v);
            return true;
        }
        case kStockTagPitch: {
            if (!stockPitchInRange(v)) return reject(ui, "+0から+100まで");
            s.pitch = v;
            // The lattice holds 1000 spans: a finer pitch shrinks what it can hold.
            const float bound = static_cast<float>(stockSizeLimit(v));
            for (float* f : {&s.sizeX, &s.sizeY, &s.sizeZ})
                if (!(*f < bound)) *f = bound;
            return true;
        }
        case kStockTagWall:
            if (!(v < s.sizeX / 2.0 && v < s.sizeY / 2.0)) return reject(ui, "半径よりも小さくしてください");
            s.wallThickness = static_cast<float>(v);
            return true;
        default:
            return false;
    }
}

void editStockValueCommand(ControlSet& cs, StockSpec& s, MachineKind kind, int tag, UiServices& ui,
                           const CommandHooks& hooks) {
    std::optional<double> answer = ui.keypad(stockFieldValue(s, tag));
    if (answer && !setStockField(s, tag, *answer, ui)) return;
    showStockLabels(cs, s, kind);
    hooks.refresh();
    hooks.requestRepaint();
}

void resetStockCommand(StockSpec& s, StockGrid& g, MachineKind kind, UiServices& ui,
                       const CommandHooks& hooks, std::mutex* gridMutex) {
    if (!ui.askYesNo(kAskRun)) return;
    {
        std::unique_lock lk = gridMutex ? std::unique_lock(*gridMutex) : std::unique_lock<std::mutex>();
        initialiseStockGrid(g, s, kind);
    }
    hooks.requestRepaint();
}

void stockShapeCommand(StockSpec& s, int itemIndex, const CommandHooks& hooks) {
    static constexpr int kSides[] = {3, 4, 5, 6, 0};
    if (itemIndex < 0 || itemIndex > 4) return;
    s.sides = kSides[itemIndex];
    hooks.requestRepaint();
}

void showStockGridCommand(const CommandHooks& hooks) {
    hooks.caption("描画中…");
    hooks.waitCursor(true);
    if (hooks.showStockGrid) hooks.showStockGrid();
    hooks.waitCursor(false);
    hooks.caption(kMainWindowCaption);
}

void invertStockCommand(StockSpec& s, StockGrid& g, MachineKind kind, const CommandHooks& hooks,
                        std::mutex* gridMutex) {
    if (isTurning(kind)) return;  // the profiles of a lathe have no inside to turn out
    hooks.caption("反転中…");
    {
        std::unique_lock lk = gridMutex ? std::unique_lock(*gridMutex) : std::unique_lock<std::mutex>();
        invertStockGrid(g, s);
    }
    hooks.requestRepaint();
    showStockGridCommand(hooks);
}

void fitStockToPathCommand(ControlSet& cs, StockSpec& s, StockGrid& g, MachineKind kind, int32_t programLines,
                           const std::function<PathExtentScan()>& scan, UiServices& ui,
                           const CommandHooks& hooks, const char* question) {
    // A null question: the caller has asked already (the offer after a program was read).
    if (programLines <= 1 || (question != nullptr && !ui.askYesNo(question))) return;
    hooks.waitCursor(true);
    hooks.caption("フィット中…");
    const PathExtentScan found = scan();
    hooks.caption(kMainWindowCaption);
    hooks.waitCursor(false);
    if (fitStockToExtent(s, kind, found.extent)) initialiseStockGrid(g, s, kind);
    showStockLabels(cs, s, kind);
    hooks.refresh();
    hooks.requestRepaint();
    if (!found.notice.empty()) ui.message(found.notice);
}

}  // namespace vantrel
