#pragma once
// A MotionSink that keeps everything it is told: the pieces with their source lines, every published
// step, every move end and spindle change. Tests and the trace command turn a program into this
// transcript.
#include <vector>

#include "nc/motion.h"

namespace vantrel {

class MotionRecorder : public MotionSink {
  public:
    struct Piece {
        MotionSegment segment;
        int32_t line = 0;
    };
    // One entry per event in the order it happened.
    struct Event {
        enum Kind { PieceStart, Step, MoveEnd, Spindle } kind = Step;
        Vec3 pos;
        int32_t index = 0;  // piece index for PieceStart, spindle state for Spindle
    };

    bool keepSteps = true;
    std::vector<Piece> pieces;
    std::vector<Vec3> steps;
    std::vector<Vec3> moveEnds;
    std::vector<int32_t> spindleStates;
    std::vector<Event> events;
    double lastCuttingTime = 0;

    void onPiece(const MotionSegment& piece, int32_t line) override {
        events.push_back({Event::PieceStart, piece.start, static_cast<int32_t>(pieces.size())});
        pieces.push_back({piece, line});
    }
    void onStep(const Vec3& pos, bool /*drawDue*/) override {
        if (!keepSteps) return;
        steps.push_back(pos);
        events.push_back({Event::Step, pos, 0});
    }
    void onMoveEnd(const Vec3& end) override {
        moveEnds.push_back(end);
        events.push_back({Event::MoveEnd, end, 0});
    }
    void onCuttingTime(double minutes) override { lastCuttingTime = minutes; }
    void onSpindle(int32_t state) override {
        spindleStates.push_back(state);
        events.push_back({Event::Spindle, {}, state});
    }
};

}  // namespace vantrel
