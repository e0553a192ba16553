#pragma once
// The modal status labels of the main window (label_g00 ... label_ctime): registered as named controls
// here, enabled (active) or disabled (greyed) by ApplyBlock and the playback code. Their captions are
// set from code where they show values (S, F, D, H, N, T, cutting time).
#include <string>
#include <vector>

#include "nc/modal_display.h"

namespace vantrel {

class ControlSet;
struct ModalState;

// Registers every label below (kind Label, parent "Panel3"); labels already present are left alone.
void addModalStatusControls(ControlSet& controls);

// The labels that show a G or M code state.
const std::vector<std::string>& modalCodeLabelNames();
// Every modal label (codes, T, S, F, D, H, N, block, cutting time) with its title label.
const std::vector<std::string>& modalLabelNames();

// Start of a pass: every code label disabled, then the start-up set enabled, value texts "0"; on the
// milling machines and the wire EDM label_g94 / label_g95 shown and label_g98 / label_g99 hidden, on
// the lathes (`turning`) the other way round.
void initModalLabelsForPass(ControlSet& controls, bool turning = false);

// The lathe's spindle speed and feed while the tool moves, at radius `x`: label_s the speed in force
// (G96 follows the radius), and label_f1 the feed per minute under G99 or label_f the feed per
// revolution under G98 (0 while the spindle stands).
void showTurningSpeedAndFeed(ControlSet& controls, const ModalState& modal, double x);

// End of a play: every modal label disabled.
void disableModalLabels(ControlSet& controls);

// The status labels as the display of the interpreter's modal state.
class ModalLabels : public ModalDisplay {
  public:
    explicit ModalLabels(ControlSet& controls) : cs_(controls) {}
    void inForce(ModalCode code, bool on) override;
    void value(ModalValue which, const std::string& text) override;
    void toolChanged() override;

  private:
    ControlSet& cs_;
};

// The Play menu's switches as the window has them checked.
ModalSwitches modalSwitchesFrom(const ControlSet& controls);

}  // namespace vantrel
