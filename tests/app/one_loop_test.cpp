// The play and the trace run one pass loop: every program of samples/ and tests/data/nc/ gives the same
// pieces, in the same order and from the same lines, through the headless play (fast mode) and through
// the trace, with block skip, the M00 / M01 stops and endless passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <vector>

#include "app/headless_setup.h"
#include "app/modal_labels.h"
#include "nc/motion_recorder.h"
#include "nc/trace.h"
#include "program/quon_strings.h"

namespace vantrel {
namespace {

std::string rootDir() {
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of('/')) + "/../../";
}

std::vector<std::string> programs() {
    std::vector<std::string> files;
    for (const char* dir : {"samples", "tests/data/nc"})
        for (const auto& e : std::filesystem::directory_iterator(rootDir() + dir))
            if (e.path().extension() == ".nc") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Records the pieces the play starts.
class PieceView : public PlaybackView {
  public:
    void pieceStarted(const MotionSegment& piece, int32_t line) override { pieces.push_back({piece, line}); }
    void passStart(int32_t pass) override {
        if (onPass) onPass(pass);
    }
    std::vector<MotionRecorder::Piece> pieces;
    std::function<void(int32_t)> onPass;
};

struct Switches {
    bool blockSkip = false, optionalStop = false, stopAtM0 = false;
    int passes = 1;  // more than one: endless play, stopped as pass passes + 1 starts
};

struct PieceRun {
    std::vector<MotionRecorder::Piece> pieces;
    PlayEnd end = PlayEnd::None;
};

PieceRun play(const std::string& file, const Switches& sw) {
    TQuonStrings program;
    EXPECT_TRUE(program.LoadFromFile(file));
    auto state = std::make_unique<AppState>();
    setUpHeadlessState(*state, HeadlessOptions{});
    HeadlessPlay headless(*state, program);
    PieceView view;
    headless.session().view().setDrawing(&view);
    state->play.blockSkip = sw.blockSkip;
    state->play.optionalStop = sw.optionalStop;
    headless.controls.setChecked("menu_m0no", !sw.stopAtM0);
    headless.input.shift = true;  // answers every stop at once, as Shift does in the window
    PlaybackController& pc = headless.session().controller();
    if (sw.passes > 1) {
        headless.controls.setChecked("menu_endless", true);
        view.onPass = [&](int32_t pass) {
            if (pass > sw.passes) pc.requestStop();
        };
    }
    PieceRun r;
    r.end = pc.runNow(kModeMillFast).end;
    r.pieces = view.pieces;
    return r;
}

PieceRun trace(const std::string& file, const Switches& sw) {
    TQuonStrings program;
    EXPECT_TRUE(program.LoadFromFile(file));
    // The machine as the play has it: the same tool tables, points and Play menu switches.
    auto state = std::make_unique<AppState>();
    setUpHeadlessState(*state, HeadlessOptions{});
    HeadlessPlay headless(*state, program);
    TraceOptions opt;
    opt.switches = modalSwitchesFrom(headless.controls);
    opt.arcJoin = !headless.controls.checked("menu_hoseil");
    opt.hooks = &headless.session().hooks();
    opt.start = state->pos.tool.get();
    opt.reference = state->pos.reference;
    opt.totalLength = headless.session().hooks().workingToolTotalLength();
    opt.blockSkip = sw.blockSkip;
    opt.passes = sw.passes;
    MotionRecorder rec;
    rec.keepSteps = false;
    PieceRun r;
    r.end = traceProgram(program, opt, rec).how;
    r.pieces = rec.pieces;
    return r;
}

void expectSame(const PieceRun& a, const PieceRun& b, const std::string& what) {
    ASSERT_EQ(a.pieces.size(), b.pieces.size()) << what;
    for (size_t i = 0; i < a.pieces.size(); ++i) {
        const MotionSegment &p = a.pieces[i].segment, &q = b.pieces[i].segment;
        ASSERT_EQ(a.pieces[i].line, b.pieces[i].line) << what << " piece " << i;
        ASSERT_EQ(p.moveKind, q.moveKind) << what << " piece " << i;
        ASSERT_EQ(p.plane, q.plane) << what << " piece " << i;
        ASSERT_EQ(p.start, q.start) << what << " piece " << i;
        ASSERT_EQ(p.end, q.end) << what << " piece " << i;
        ASSERT_EQ(p.centre, q.centre) << what << " piece " << i;
        ASSERT_EQ(p.radius, q.radius) << what << " piece " << i;
        ASSERT_EQ(p.turns, q.turns) << what << " piece " << i;
    }
}

TEST(OneLoop, EveryProgramGivesThePlayAndTheTraceTheSamePieces) {
    const std::vector<std::string> files = programs();
    ASSERT_GE(files.size(), 12u);
    for (const std::string& f : files) {
        const PieceRun p = play(f, {}), t = trace(f, {});
        EXPECT_FALSE(p.pieces.empty()) << f;
        EXPECT_EQ(p.end, t.end) << f;
        expectSame(p, t, f);
    }
}

TEST(OneLoop, BlockSkipStopsAndEndlessPassesRunTheSameLoop) {
    const std::string f = rootDir() + "tests/data/nc/flow_control.nc";
    Switches skip;
    skip.blockSkip = true;
    Switches stops;
    stops.optionalStop = true;
    stops.stopAtM0 = true;
    Switches endless;
    endless.passes = 3;
    const PieceRun plain = play(f, {});
    for (const Switches& sw : {skip, stops, endless}) {
        const PieceRun p = play(f, sw), t = trace(f, sw);
        expectSame(p, t, "flow_control");
        EXPECT_EQ(t.end, PlayEnd::M30);
        EXPECT_EQ(p.end, sw.passes > 1 ? PlayEnd::Stop : PlayEnd::M30);
    }
    // The switches did act: "/" blocks left out, two subprogram calls, three passes.
    const PieceRun skipped = trace(f, skip);
    EXPECT_EQ(plain.pieces.size(), skipped.pieces.size() + 2);
    int subprogramPieces = 0;
    for (const auto& piece : plain.pieces) subprogramPieces += piece.line == 17 || piece.line == 18;
    EXPECT_EQ(subprogramPieces, 4);
    EXPECT_EQ(trace(f, endless).pieces.size(), 3 * plain.pieces.size());
}

}  // namespace
}  // namespace vantrel
