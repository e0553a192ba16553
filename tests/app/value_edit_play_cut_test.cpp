// A pocket played through the whole interpreter and the steppers, with the milling cut as the
// per-step update, against the analytic volume of the pocket.
#include <gtest/gtest.h>

#include <memory>
#include <numbers>

#include "app/headless_setup.h"
#include "app/machine_defaults.h"
#include "app/play_session.h"
#include "platform/main_thread.h"
#include "program/quon_strings.h"

namespace vantrel {
namespace {

double removedVolume(const StockGrid& g, const StockSpec& s) {
    const int nx = stockNodeCount(s.sizeX, s.pitch), ny = stockNodeCount(s.sizeY, s.pitch);
    double v = 0;
    for (int ix = 0; ix <= nx; ++ix)
        for (int iy = 0; iy <= ny; ++iy) v += (s.sizeZ - g.height(ix, iy)) * s.pitch * s.pitch;
    return v;
}

TEST(PlayedPocket, RemovedVolumeMatchesTheAnalyticPocket) {
    auto state = std::make_unique<AppState>();
    AppState& s = *state;
    const MachineKind kind = MachineKind::VerticalMill;
    applyMachineKindDefaults(s, kind, false);
    s.stock.pitch = 0.5;
    initialiseToolTables(s.tools, kind);
    s.tools.millTools[0].noseRadius = 0;  // flat end mill D10
    loadWorkingTool(s.tools, kind, 0);
    initialiseStockGrid(s.stockGrid, s.stock, kind);

    // Zig-zag over the centre square [30, 70] x [30, 70], rows 5 apart, 5 deep.
    TQuonStrings program;
    program.Put(0, "G90 G00 X30. Y30. Z5.");
    program.Add("G01 Z-5. F300");
    bool right = true;
    for (int y = 30; y <= 70; y += 5) {
        if (y > 30) program.Add(std::string("Y").append(std::to_string(y)).append("."));
        program.Add(right ? "X70." : "X30.");
        right = !right;
    }
    program.Add("G00 Z5.");
    program.Add("M30");

    HeadlessPlay headless(s, program);
    PlaySession& session = headless.session();
    session.controller().runNow(kModeMillFast);
    EXPECT_GT(session.view().changedSteps(), 0);

    const double area = 50.0 * 50.0 - (4 - std::numbers::pi) * 25.0;  // corners rounded by the tool
    const double analytic = area * 5;
    const double perimeter = 4 * 40.0 + 2 * std::numbers::pi * 5;
    EXPECT_NEAR(removedVolume(s.stockGrid, s.stock), analytic, perimeter * s.stock.pitch / 2 * 5);
    EXPECT_EQ(s.stockGrid.height(100, 100), 45);  // (50, 50): the floor
    EXPECT_EQ(s.stockGrid.height(40, 100), 50);   // X 20: outside the pocket
}

}  // namespace
}  // namespace vantrel
