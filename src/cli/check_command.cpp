#include "cli/check_command.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <ostream>
#include <sstream>
#include <thread>

#include "app/headless_setup.h"
#include "app/play_session.h"
#include "cli/scene_render_command.h"
#include "platform/atomic_file.h"
#include "program/quon_strings.h"
#include "stock/stock_spec.h"

namespace vantrel {

std::string jsonString(const std::string& text) {
    std::string s = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            s += buf;
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + "\"";
}

std::string findingsJson(const std::vector<Finding>& findings) {
    std::string s = "[";
    for (size_t i = 0; i < findings.size(); ++i) {
        const Finding& f = findings[i];
        if (i) s += ", ";
        s += "{\"kind\": \"";
        s += findingKindName(f.kind);
        s += "\", \"line\": ";
        s += std::to_string(f.line);
        s += ", \"n\": ";
        s += f.n >= 0 ? std::to_string(f.n) : "null";
        s += ", \"position\": [" + jsonNumber(f.position.x) + ", " + jsonNumber(f.position.y) + ", " +
             jsonNumber(f.position.z) + "], \"volume_mm3\": " + jsonNumber(f.volume) + "}";
    }
    return s + "]";
}

namespace {

struct CheckOutcome {
    std::string line;     // the JSON line
    std::string message;  // for stderr
    bool fileError = false, budget = false, alarm = false, found = false;
};

CheckOutcome checkOne(const std::string& file, const HeadlessOptions& opt) {
    CheckOutcome o;
    TQuonStrings program;
    std::string message;
    if (!program.LoadFromFile(file, &message)) {
        o.fileError = true;
        o.message = "vantrel-sim check: " + file + ": " + message;
        return o;
    }
    auto state = std::make_unique<AppState>();
    AppState& s = *state;
    std::string setupError;
    if (!setUpHeadlessState(s, opt, &setupError, nullptr)) {
        o.fileError = true;
        o.message = "vantrel-sim check: " + setupError;
        return o;
    }
    const MachineKind kind = s.machineKind;
    auto before = std::make_unique<StockGrid>();
    initialiseStockGrid(*before, s.stock, kind);
    HeadlessPlay headless(s, program);
    PlaySession& session = headless.session();
    session.checks().enabled = true;
    session.controller().setBudget(opt.maxSteps, opt.maxBlocks);
    const PlayResult r = session.controller().runNow(PlaybackController::modeFor(1, kind, false));
    const std::vector<Finding> findings = session.checks().findings();
    const StockMeasure m = measureRemoved(*before, s.stockGrid, s.stock, kind);
    o.line = "{\"file\": " + jsonString(file) + ", \"end\": \"" + playEndName(r.end) +
             "\", \"cutting_time_min\": " + jsonNumber(r.cuttingTime) +
             ", \"removed_volume_mm3\": " + jsonNumber(m.removedVolume) +
             ", \"findings\": " + findingsJson(findings) + "}\n";
    o.found = !findings.empty();
    if (r.end == PlayEnd::Budget) {
        o.budget = true;
        o.message =
            "vantrel-sim check: " + file +
            ": 処理量の上限に達したため途中で終了しました (--max-steps / --max-blocks で上限を上げられます)";
    }
    // A program the control would refuse (a lathe cycle's alarm) is not clean, findings or not: a
    // nightly run must not pass it.
    if (r.end == PlayEnd::Alarm) {
        o.alarm = true;
        o.message = "vantrel-sim check: " + file + ": アラームで停止しました: " + r.alarm;
    }
    return o;
}

}  // namespace

int runCheckCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage =
        "usage: vantrel-sim check FILE... [--machine mill|hmill|lathe|vlathe|wire]\n"
        "       [--stock X,Y,Z[@OX,OY,OZ]] [--pitch P] [--tool-diameter D] [--nose-radius R]\n"
        "       [--tool-length L] [--settings FILE] [--max-steps N] [--max-blocks N] [-j N]\n"
        "       [--report out.jsonl]\n";
    std::vector<std::string> files;
    std::string report;
    HeadlessOptions opt;
    int jobs = 1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string error;
        switch (parseHeadlessOption(args, i, opt, /*allowHolder=*/false, error)) {
            case OptionResult::Taken:
                continue;
            case OptionResult::Bad:
                return err << "vantrel-sim check: " << error << "\n", 2;
            case OptionResult::NotMine:
                break;
        }
        if (a == "-j" || a == "--jobs") {
            if (i + 1 >= args.size()) return err << usage, 2;
            const std::string& v = args[++i];
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n < 1 || n > 256)
                return err << "vantrel-sim check: -j は 1 から 256 までの整数です ('" << v << "')\n", 2;
            jobs = static_cast<int>(n);
        } else if (a == "--report") {
            if (i + 1 >= args.size()) return err << usage, 2;
            report = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            return err << "vantrel-sim check: 不明なオプション '" << a << "'\n" << usage, 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) return err << usage, 2;

    // Each program gets its own state and play; the threads share nothing but the next index.
    std::vector<CheckOutcome> outcomes(files.size());
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < files.size(); i = next++) {
            try {
                outcomes[i] = checkOne(files[i], opt);
            } catch (const std::bad_alloc&) {
                outcomes[i].budget = true;
                outcomes[i].message = "vantrel-sim check: " + files[i] + ": メモリが足りません";
            }
        }
    };
    const int threads = std::min<int>(jobs, static_cast<int>(files.size()));
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
    worker();
    for (auto& t : pool) t.join();

    std::string text;
    bool fileError = false, budget = false, alarm = false, found = false;
    for (const CheckOutcome& o : outcomes) {
        text += o.line;
        if (!o.message.empty()) err << o.message << "\n";
        fileError |= o.fileError;
        budget |= o.budget;
        alarm |= o.alarm;
        found |= o.found;
    }
    if (report.empty()) {
        out << text;
    } else if (std::string error; !writeFileAtomically(report, text, &error)) {
        err << "vantrel-sim check: " << report << ": " << error << "\n";
        return 2;
    }
    if (fileError) return 2;
    if (budget) return kExitBudget;
    if (alarm) return kExitAlarm;
    return found ? 1 : 0;
}

}  // namespace vantrel
