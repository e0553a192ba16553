// Arbitrary bytes as a program file: loaded through LoadFromFile and run through the interpreter with
// warnings on (so the text is also written to). Checks on the way: every value
// is finite, no block holds more than 30 words, and a file with clean CR LF breaks is saved back byte
// for byte.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/modal_labels.h"
#include "core/control_set.h"
#include "nc/interpreter.h"
#include "nc/modal_hooks.h"
#include "nc/modal_state.h"
#include "platform/main_thread.h"
#include "platform/text_codec.h"
#include "program/quon_strings.h"
#include "stock/stock_spec.h"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_nc_program: %s\n", what);
        std::abort();
    }
}

const std::string& tempPath() {
    static const std::string p =
        (access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::string("/tmp")) +
        "/fuzz_nc_program_" + std::to_string(getpid()) + ".nc";
    static const bool removeAtExit = [] {
        return std::atexit([] { std::remove(tempPath().c_str()); }) == 0;
    }();
    (void)removeAtExit;
    return p;
}

vantrel::ControlSet& controls() {
    static vantrel::ControlSet* cs = [] {
        auto* c = new vantrel::ControlSet;
        vantrel::addModalStatusControls(*c);
        for (const char* name : {"menu_error", "menu_play_ton", "menu_okupitch"}) {
            vantrel::Control m;
            m.name = name;
            m.kind = vantrel::ControlKind::MenuItem;
            c->add(m);
        }
        c->setChecked("menu_error", true);
        return c;
    }();
    return *cs;
}

bool cleanCrLf(std::string_view b) {
    for (std::size_t i = 0; i < b.size(); ++i) {
        if (b[i] == '\r' && (i + 1 >= b.size() || b[i + 1] != '\n')) return false;
        if (b[i] == '\n' && (i == 0 || b[i - 1] != '\r')) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), data ? size : 0);
    FILE* f = std::fopen(tempPath().c_str(), "wb");
    if (!f) return 0;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);

    vantrel::TQuonStrings prog;
    std::string message;
    if (!prog.LoadFromFile(tempPath(), &message)) {
        // Only a file that is no text may be refused: one with a NUL byte, or neither UTF-8 nor CP932.
        const bool notText =
            bytes.find('\0') != std::string_view::npos ||
            (!vantrel::isValidUtf8(bytes) && vantrel::findNonCp932(bytes) != std::string_view::npos);
        check(notText && message.find("テキストではありません") != std::string::npos,
              "a readable text file failed to load");
        // The interpreter still gets the bytes, as a paste would bring them.
        prog.LoadFromBytes(bytes);
    }
    check(prog.count() >= 1, "a loaded store holds no line");

    std::string image;
    if (prog.fileImage(image) && cleanCrLf(bytes))
        check(image == bytes, "CR LF file not saved back byte for byte");

    // Run the program through the interpreter; the budgets only bound the run time of a single input.
    vantrel::ControlSet& cs = controls();
    cs.setChecked("menu_play_ton", size % 3 == 1);
    cs.setChecked("menu_okupitch", size % 5 == 2);
    vantrel::initModalLabelsForPass(cs);
    vantrel::StandInModalHooks hooks;
    hooks.tools = {{1, 10, 100}, {2, 6, 80}, {3, 0, 0}};
    hooks.atc = true;
    vantrel::InlineMainThread mt;
    vantrel::StockSpec stock;
    struct Checks : vantrel::MachineActions {
        void modalChanged(const vantrel::ModalState& modal, const vantrel::BlockWords& b) override {
            check(b.count >= 0 && b.count <= vantrel::BlockWords::kMaxWords, "word count out of range");
            for (int i = 0; i < b.count; ++i)
                check(std::isfinite(b.values[static_cast<std::size_t>(i)]), "value not finite");
            check(std::isfinite(modal.feedPerMinute) && std::isfinite(modal.feedPerRev), "feed not finite");
            check(modal.stepLength > 0, "step length not positive");
        }
        void onPiece(const vantrel::MotionSegment& piece, int32_t line) override {
            check(line >= 0, "piece without a line");
            (void)piece;
        }
        bool skipSlashBlocks() override { return skip; }
        bool skip = false;
    } actions;
    actions.skip = size % 4 == 3;
    vantrel::ModalLabels labels(cs);
    const vantrel::ModalSwitches switches = vantrel::modalSwitchesFrom(cs);
    vantrel::InterpreterEnv env;
    env.display = &labels;
    env.switches = [&switches] { return switches; };
    env.hooks = &hooks;
    env.mainThread = &mt;
    env.warningsTo = &prog;
    env.stock = &stock;
    env.startLine = static_cast<int32_t>(size % 7) - 1;
    env.blockBudget = 20 * static_cast<int64_t>(prog.count()) + 50;
    env.stepBudget = 200000;
    const vantrel::MachineKind kind =
        size % 2 ? vantrel::MachineKind::WireEdm : vantrel::MachineKind::VerticalMill;
    vantrel::Interpreter interp(vantrel::Dialect::forMachine(kind), prog, env, actions);
    const vantrel::InterpretResult r = interp.run();
    check(r.blocks <= env.blockBudget, "block budget overrun");

    // The text operations on the same bytes must not fail either.
    prog.SetText(bytes);
    prog.InsertText(prog.count() / 2, bytes);
    std::string comma = prog.CommaText();
    prog.SetCommaText(comma);
    prog.appendToLastLine(bytes);
    (void)prog.Text();
    return 0;
}
