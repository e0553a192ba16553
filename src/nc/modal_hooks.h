#pragma once
// What ApplyBlock needs from the rest of the machine: the tool library (tool lookup, the tool in the
// spindle), the tool-change animation, the tool position and the G06.2 run-out of the motion code.
// The playback code implements ModalHooks over the real subsystems; StandInModalHooks is a small
// self-contained realisation for tests and for the headless tools until those subsystems are wired.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vantrel {

struct ModalState;

class ModalHooks {
  public:
    virtual ~ModalHooks() = default;

    // Tool library.
    virtual int32_t findToolIndex(int32_t toolNumber) = 0;  // list entry of a T number, 0 when absent
    virtual int32_t currentToolIndex() const = 0;           // entry selected by the latest T word
    virtual void setCurrentToolIndex(int32_t index) = 0;
    virtual int32_t loadedToolIndex() const = 0;  // entry in the spindle
    virtual void loadWorkingTool(int32_t index) = 0;
    virtual double workingToolDiameter() const = 0;
    virtual double workingToolTotalLength() const = 0;
    virtual double toolDiameter(int32_t index) const = 0;  // of a list entry (0 when out of range)
    virtual int32_t toolCount() const = 0;                 // entries of the list
    // A T word selects the tool it names (the current tool index); by default its value is the number.
    virtual void selectTool(double tWord);
    // The lathe tool loaded: its nose radius and imaginary tool-nose position (1..9, 0 when none).
    virtual double workingToolNoseRadius() const { return 0; }
    virtual int32_t workingToolTipPosition() const { return 0; }

    // Tool change.
    virtual bool atcAnimationOn() const = 0;
    virtual void animateToolChange(int32_t fromIndex, int32_t toIndex) = 0;

    // Tool position: the machine reference point's Z, the interpreter's current Z, and the move to the
    // tool-change height (interpreter Z and shared tool position set, tool redrawn at once).
    virtual double referenceZ() const = 0;
    virtual double currentZ() const = 0;
    virtual void moveToToolChangeHeight(double z) = 0;

    // Runs out the collected G06.2 control points (state.nurbsPoints, state.nurbsOrder).
    virtual void runOutNurbs(ModalState& state) = 0;
};

// A tool list held here, no animation, a Z kept here, and run-outs only counted.
class StandInModalHooks : public ModalHooks {
  public:
    struct Tool {
        int32_t number = 0;
        double diameter = 10;
        double totalLength = 100;
        double noseRadius = 0;
        int32_t tipPosition = 3;
    };
    std::vector<Tool> tools;
    int32_t current = 0, loaded = 0;
    bool atc = false;
    double refZ = 500, z = 500;

    // What was asked of the hooks, for tests.
    std::vector<std::pair<int32_t, int32_t>> animations;
    std::vector<int32_t> loads;
    std::vector<double> zMoves;
    int runOuts = 0;
    std::size_t lastRunOutPoints = 0;

    int32_t findToolIndex(int32_t toolNumber) override;
    int32_t currentToolIndex() const override { return current; }
    void setCurrentToolIndex(int32_t index) override { current = index; }
    int32_t loadedToolIndex() const override { return loaded; }
    void loadWorkingTool(int32_t index) override {
        loaded = index;
        loads.push_back(index);
    }
    double workingToolDiameter() const override { return toolDiameter(loaded); }
    double workingToolTotalLength() const override;
    double workingToolNoseRadius() const override;
    int32_t workingToolTipPosition() const override;
    double toolDiameter(int32_t index) const override;
    int32_t toolCount() const override;
    bool atcAnimationOn() const override { return atc; }
    void animateToolChange(int32_t fromIndex, int32_t toIndex) override {
        animations.emplace_back(fromIndex, toIndex);
    }
    double referenceZ() const override { return refZ; }
    double currentZ() const override { return z; }
    void moveToToolChangeHeight(double newZ) override {
        z = newZ;
        zMoves.push_back(newZ);
    }
    void runOutNurbs(ModalState& state) override;
};

}  // namespace vantrel
