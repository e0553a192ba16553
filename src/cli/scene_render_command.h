#pragma once
// `vantrel-sim render [FILE] --out scene.png [--play] [--mode fast|play] [--machine KIND]
//   [--size WxH] [--view A,B] [--fit] [--stock X,Y,Z[@OX,OY,OZ]] [--pitch P] [--tool-diameter D]
//   [--nose-radius R] [--tool-length L] [--holder 0..6] [--machine-parts all|none|LIST]
//   [--opengl] [--report out.json]`
// Draws the main window's scene headless into a PNG: without --play the start-up scene of the machine
// (with FILE loaded but not played); with --play the program is played (cutting the stock) and the
// machined stock is drawn in full with the tool where it stands. --machine-parts shows the machine
// around the work: all its parts, none (the machine hidden, as at start-up) or a comma list of body,
// vice, spindle, chuck, turret, see-through and general-lathe. --opengl draws the finished scene
// through OpenGL in an off-screen context instead of the software renderer (what the OpenGL switch
// shows). The JSON report (stdout or --report)
// gives the removed volume and, on the mills, the lowest and highest height of the machined stock:
//   {"blocks": N, "end": "m30", "removed_volume_mm3": V, "height_min": a, "height_max": b, ...}
#include <iosfwd>
#include <string>
#include <vector>

#include "scene/machine_models.h"
#include "stock/stock_spec.h"

namespace vantrel {

// 0 drawn, 1 the file could not be read or a picture or report not written, 2 bad arguments.
int runSceneRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The value of --machine-parts: false for anything else. `shown` becomes whether the machine is drawn.
bool parseMachineParts(const std::string& text, bool& shown, MachinePartSwitches& parts);

// Material removed from a freshly initialised stock: mills sum the height lost over the lattice
// times pitch squared; lathes the volume of revolution lost between the two profiles.
struct StockMeasure {
    double removedVolume = 0;
    double heightMin = 0, heightMax = 0;
};
StockMeasure measureRemoved(const StockGrid& before, const StockGrid& after, const StockSpec& s,
                            MachineKind kind);

}  // namespace vantrel
