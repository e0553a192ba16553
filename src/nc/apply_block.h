#pragma once
// ApplyBlock: what the words of the executing block do to the modal state, and what is shown of it.
//
// Usage, per pass and per block (the interpreter's pass loop, nc/interpreter.h, is the one caller):
//   ModalContext ctx{display, hooks, mainThread, &program, stock};
//   ctx.switches = ...;                           // the Play menu's switches
//   modal.resetForPass();
//   ... for each executing block b (queue.executing(), count > 0):
//   ApplyBlock(modal, b, ctx);                    // words in line order, then M codes, S, T, checks
//   if (!modal.blockMakesNoMove()) { ... the movement of the block ... }
//   finishBlockSetup(modal);                      // mirror (G51.1) and rotation (G68) set-up
//
// ApplyBlock runs on the playback thread. It reports what is in force through the ModalDisplay and
// writes warnings into the program text only through MainThread::invoke, and only with warnings on.
#include <cstdint>
#include <functional>
#include <string>

#include "nc/block_scanner.h"
#include "nc/modal_display.h"
#include "nc/modal_hooks.h"
#include "nc/modal_state.h"
#include "nc/turning_programming.h"

namespace vantrel {

class MainThread;
class TQuonStrings;
struct StockSpec;

// What the words of a block do on a machine. The mills read them all; the wire EDM has no spindle and
// no tool changer, and its D words name the entry of the milling tool store that gives the wire offset.
struct WordRules {
    bool helicalArcs = true;  // G2.1 / G3.1 are read (otherwise ignored like any unknown G code)
    bool toolWords = true;    // S shows the speed, T selects a tool, M06 changes it; false: registers only
    // D names entry D - 1 of the tool store, whose diameter halved is the offset; false: D takes the
    // working tool's radius.
    bool dNamesStoreEntry = false;
    // The lathes: X / U in the programmed unit, U V W incremental, box cycles, T loads at once, no
    // M06, no warnings (nc/turning.h).
    bool turning = false;
    TurningProgramming lathe{};
};

struct ModalContext {
    ModalDisplay& display;
    ModalHooks& hooks;
    MainThread& mainThread;
    TQuonStrings* program;   // where warnings are written; null: never
    const StockSpec& stock;  // its pitch is the step length without feed and the G94 feed fallback
    ModalSwitches switches{};
    WordRules rules{};
    int32_t currentLine = 0;  // program line of the block being applied (set by ApplyBlock)
    // Told of every warning raised (with warnings on), whether or not the line already held it.
    std::function<void(int32_t line, const char* text)> onWarning{};
};

enum class WarningKind { MissingD = 1, MissingH = 2, ZNotAtReference = 3 };

// A tool number as the tool labels show it: at least two digits ("03").
std::string toolNumberText(int32_t t);

// The comment text of a warning.
const char* warningText(WarningKind kind);

// Puts the warning in front of program line `line` (unless the line already holds it), on the UI
// thread, when warnings are on. Returns true when the line was changed.
bool WriteWarning(ModalContext& ctx, int32_t line, WarningKind kind);
// The same for a message of its own, written as the comment "(警告！　text)".
bool WriteWarningText(ModalContext& ctx, int32_t line, const std::string& text);

void ApplyBlock(ModalState& state, const BlockWords& block, ModalContext& ctx);

// After the movement of a block that has X, Y, Z, I, J or K: takes the mirror axes of G51.1 (or
// cancels the axes named with G50.1) and the rotation centre and angle of G68.
void finishBlockSetup(ModalState& state);

}  // namespace vantrel
