#include "cli/trace_command.h"

#include <memory>
#include <ostream>

#include "app/headless_setup.h"
#include "app/settings_store.h"
#include "nc/trace.h"
#include "program/quon_strings.h"

namespace vantrel {

int runTraceCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage =
        "使い方: vantrel-sim trace FILE [--machine mill|hmill|lathe|vlathe|wire] [--tool-diameter D] "
        "[--steps] [--settings FILE] [--max-steps N] [--max-blocks N] [--max-output BYTES]\n";
    HeadlessOptions common;
    TraceOptions opt;
    std::string file;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        // The trace has no stock and no tool table: of the shared options it takes these.
        const bool offered = a == "--machine" || a == "--tool-diameter" || a == "--settings" ||
                             a == "--max-steps" || a == "--max-blocks" || a == "--max-output";
        if (offered) {
            std::string error;
            if (parseHeadlessOption(args, i, common, /*allowHolder=*/false, error) == OptionResult::Bad)
                return err << "vantrel-sim trace: " << error << "\n", 2;
            continue;
        }
        if (a == "--steps") {
            opt.steps = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            err << "vantrel-sim trace: 不明なオプション '" << a << "'\n" << usage;
            return 2;
        } else if (file.empty()) {
            file = a;
        } else {
            err << "vantrel-sim trace: ファイルは一つだけ指定してください\n";
            return 2;
        }
    }
    if (file.empty()) return err << usage, 2;
    // --settings FILE: the stored machine and tool list stand in for the start-up ones; the other
    // options on the command line override them.
    if (!common.settingsFile.empty()) {
        std::string error, warnings;
        if (!traceOptionsFromSettings(common.settingsFile, opt, error, warnings))
            return err << "vantrel-sim trace: " << common.settingsFile << ": " << error << "\n", 1;
        if (!warnings.empty()) err << "vantrel-sim trace: " << warnings << "\n";
    }
    // The same range as the window's tool diameter edit.
    auto scratch = std::make_unique<AppState>();
    HeadlessOptions check = common;
    check.settingsFile.clear();
    std::string error;
    if (!setUpHeadlessState(*scratch, check, &error)) return err << "vantrel-sim trace: " << error << "\n", 2;
    if (common.settingsFile.empty() || common.kindGiven) opt.machine = common.kind;
    if (common.toolDiameter) {
        opt.toolDiameter = *common.toolDiameter;
        opt.toolDiameterGiven = true;
    }
    opt.stepBudget = common.maxSteps;
    opt.blockBudget = common.maxBlocks;

    TQuonStrings program;
    std::string message;
    if (!program.LoadFromFile(file, &message)) {
        err << "vantrel-sim trace: ファイル '" << file << "' を読み込めません";
        if (!message.empty()) err << ": " << message;
        err << "\n";
        return 1;
    }
    if (isTurning(opt.machine))
        err << "vantrel-sim trace: 旋盤の指令は未対応のため、マシニングセンタの規則で解釈します\n";
    Shared<bool> stop{false};
    opt.stop = &stop;
    JsonTraceWriter writer(out, opt.steps);
    writer.limitOutput(common.maxOutputBytes, &stop);
    TraceResult r = traceProgram(program, opt, writer);
    writer.writeEnd(r);
    if (writer.outputOverrun()) {
        err << "vantrel-sim trace: 出力が上限 (" << common.maxOutputBytes
            << " バイト) に達したため途中で終了しました (--max-output で上限を上げられます)\n";
        return kExitBudget;
    }
    if (r.budgetSpent) {
        err << "vantrel-sim trace: 処理量の上限 (ステップ " << common.maxSteps << "、ブロック "
            << common.maxBlocks
            << ") に達したため途中で終了しました (--max-steps / --max-blocks で上限を上げられます)\n";
        return kExitBudget;
    }
    return 0;
}

}  // namespace vantrel
