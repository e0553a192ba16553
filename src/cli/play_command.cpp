#include "cli/play_command.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <ostream>
#include <sstream>

#include "app/headless_setup.h"
#include "app/play_session.h"
#include "cli/check_command.h"
#include "cli/played_scene.h"
#include "cli/scene_render_command.h"
#include "platform/atomic_file.h"
#include "program/quon_strings.h"
#include "stock/stock_spec.h"
#include "tools/tool_table.h"

namespace vantrel {

int runPlayCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage =
        "usage: vantrel-sim play FILE [--machine mill|hmill|lathe|vlathe|wire] [--mode fast|play|step]\n"
        "       [--stock X,Y,Z[@OX,OY,OZ]] [--pitch P] [--tool-diameter D] [--nose-radius R]\n"
        "       [--tool-length L] [--settings FILE] [--max-steps N] [--max-blocks N]\n"
        "       [--report out.json] [--png OUT.png] [--no-checks]\n";
    std::string file, report, png;
    bool checks = true;
    HeadlessOptions opt;
    int modeTag = 1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string error;
        switch (parseHeadlessOption(args, i, opt, /*allowHolder=*/false, error)) {
            case OptionResult::Taken:
                continue;
            case OptionResult::Bad:
                return err << "vantrel-sim play: " << error << "\n", 2;
            case OptionResult::NotMine:
                break;
        }
        if (a == "--mode") {
            if (i + 1 >= args.size()) return err << usage, 2;
            const std::string& v = args[++i];
            if (v == "play")
                modeTag = 0;
            else if (v == "fast")
                modeTag = 1;
            else if (v == "step")
                modeTag = 2;
            else
                return err << "vantrel-sim play: 再生の種類 '" << v
                           << "' は使えません (fast, play, step のいずれか)\n",
                       2;
        } else if (a == "--report") {
            if (i + 1 >= args.size()) return err << usage, 2;
            report = args[++i];
        } else if (a == "--no-checks") {
            checks = false;
        } else if (a == "--png") {
            if (i + 1 >= args.size()) return err << usage, 2;
            png = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            return err << "vantrel-sim play: 不明なオプション '" << a << "'\n" << usage, 2;
        } else if (file.empty()) {
            file = a;
        } else {
            return err << usage, 2;
        }
    }
    if (file.empty()) return err << usage, 2;

    TQuonStrings program;
    std::string message;
    if (!program.LoadFromFile(file, &message)) {
        err << "vantrel-sim play: " << file << ": " << message << "\n";
        return 1;
    }

    auto state = std::make_unique<AppState>();
    AppState& s = *state;
    std::string setupError, setupNotes;
    if (!setUpHeadlessState(s, opt, &setupError, &setupNotes))
        return err << "vantrel-sim play: " << setupError << "\n", 2;
    if (!setupNotes.empty()) err << "vantrel-sim play: " << setupNotes << "\n";
    const MachineKind kind = s.machineKind;

    // The stock as it starts, to tell how much the play removed.
    auto before = std::make_unique<StockGrid>();
    initialiseStockGrid(*before, s.stock, kind);

    HeadlessPlay headless(s, program);
    headless.controls.setChecked("menu_error", true);  // warnings are written into the text and counted
    PlaySession& session = headless.session();
    const uint8_t mode = PlaybackController::modeFor(modeTag, kind, false);
    session.controller().setBudget(opt.maxSteps, opt.maxBlocks);
    session.checks().enabled = checks;
    // With --png the scene is set up as the window shows it and the machined stock drawn after the play.
    std::unique_ptr<PlayedScene> scene;
    if (!png.empty()) scene = std::make_unique<PlayedScene>(s, session, headless.mainThread);
    PlayResult r = session.controller().runNow(mode);
    const StockMeasure m = measureRemoved(*before, s.stockGrid, s.stock, kind);

    std::ostringstream json;
    json << "{\"blocks\": " << r.blocks << ", \"end\": \"" << playEndName(r.end) << "\", \"position\": ["
         << jsonNumber(r.lastPosition.x) << ", " << jsonNumber(r.lastPosition.y) << ", "
         << jsonNumber(r.lastPosition.z) << "], \"cutting_time_min\": " << jsonNumber(r.cuttingTime)
         << ", \"warnings\": " << r.warnings << ", \"passes\": " << r.passes
         << ", \"cut_steps\": " << session.view().cutSteps()
         << ", \"stock_changed_steps\": " << session.view().changedSteps()
         << ", \"removed_volume_mm3\": " << jsonNumber(m.removedVolume);
    if (!isTurning(kind))
        json << ", \"height_min\": " << jsonNumber(m.heightMin)
             << ", \"height_max\": " << jsonNumber(m.heightMax);
    json << ", \"findings\": " << findingsJson(session.checks().findings()) << "}\n";
    if (scene) {
        std::string error;
        if (!scene->write(png, &error)) {
            err << "vantrel-sim play: " << png << ": " << error << "\n";
            return 1;
        }
    }
    if (report.empty()) {
        out << json.str();
    } else {
        std::string error;
        if (!writeFileAtomically(report, json.str(), &error)) {
            err << "vantrel-sim play: " << report << ": " << error << "\n";
            return 1;
        }
    }
    if (r.end == PlayEnd::Budget) {
        err << "vantrel-sim play: 処理量の上限 (ステップ " << opt.maxSteps << "、ブロック " << opt.maxBlocks
            << ") に達したため途中で終了しました (--max-steps / --max-blocks で上限を上げられます)\n";
        return kExitBudget;
    }
    return 0;
}

}  // namespace vantrel
