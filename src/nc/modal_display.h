#pragma once
// How the modal state is shown, as ApplyBlock and the interpreter report it: which codes are in force
// and the values of the block just applied. The window's status labels implement it in app/; the
// interpreter knows only these names.
#include <string>

namespace vantrel {

// The codes shown as in force or not.
enum class ModalCode {
    G00,
    G01,
    G02,
    G03,
    G062,
    G17,
    G18,
    G19,
    G40,
    G41,
    G42,
    G43,
    G44,
    G49,
    G90,
    G91,
    G94,
    G95,
    G96,
    G97,
    M03,
    M04,
    M05,
    M08,
    M09,
    G98,  // the lathe's feed per minute
    G99,  // the lathe's feed per revolution
};

// The values shown as text.
enum class ModalValue {
    FeedPerRev,     // F as a feed per revolution
    FeedPerMinute,  // F as a feed per minute
    SpeedG96,       // S under G96 (constant surface speed)
    SpeedG97,       // S under G97
    D,              // the D word, or "!" and the tool index that stands in for it
    H,              // the H word, or "!" and the tool index that stands in for it
    N,              // the sequence number
    NextTool,       // the T word: the tool selected for the next change
    LoadedTool,     // the tool in the spindle (or on the wire EDM the selected entry)
};

// The switches of the Play menu that change what the words do.
struct ModalSwitches {
    bool ignoreT = false;        // T and M06 do nothing
    bool warnings = false;       // warnings are raised (and written into the program)
    bool stepFromPitch = false;  // feed moves step by the stock pitch, not by the feed per revolution
};

class ModalDisplay {
  public:
    virtual ~ModalDisplay() = default;
    virtual void inForce(ModalCode /*code*/, bool /*on*/) {}
    virtual void value(ModalValue /*which*/, const std::string& /*text*/) {}
    // The tool selected by the last T word is now in the spindle (M06).
    virtual void toolChanged() {}
};

}  // namespace vantrel
