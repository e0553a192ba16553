// Scenes compared pixel for pixel with pictures a person has looked at: the start-up scene of every
// machine kind, a machined pocket, a ball-end surface and a turned part. To re-accept after an
// intended change, run with VANTREL_ACCEPT_GOLDEN=1 (the test writes the pictures and fails), look at
// every changed picture, and commit them only if they are right.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/scene_render_command.h"
#include "render/png_writer.h"

namespace vantrel {
namespace {

std::string repoPath(const std::string& rel) {
    return std::string(VANTREL_SOURCE_DIR) + "/" + rel;
}

void checkGolden(const std::string& name, std::vector<std::string> args, const char* size = "200x150") {
    const std::string out = testing::TempDir() + "scene_golden_" + name + ".png";
    args.insert(args.end(), {"--out", out, "--size", size});
    std::ostringstream o, e;
    ASSERT_EQ(runSceneRenderCommand(args, o, e), 0) << e.str();
    Image32 got, want;
    ASSERT_TRUE(readPng(out, got));
    const std::string golden = repoPath("tests/app/data/scene_golden/" + name + ".png");
    if (std::getenv("VANTREL_ACCEPT_GOLDEN")) {
        ASSERT_TRUE(writePng(golden, got));
        FAIL() << "wrote " << golden << ": look at it before committing";
    }
    ASSERT_TRUE(readPng(golden, want)) << golden;
    ASSERT_EQ(got.width(), want.width());
    ASSERT_EQ(got.height(), want.height());
    int differ = 0;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x) differ += got.at(x, y) != want.at(x, y);
    EXPECT_EQ(differ, 0) << name;
    std::remove(out.c_str());
}

TEST(SceneGolden, StartUpScenesOfTheFiveKinds) {
    for (const char* kind : {"mill", "hmill", "lathe", "vlathe", "wire"})
        checkGolden(std::string("start_") + kind, {"--machine", kind, "--fit"});
}

TEST(SceneGolden, MachinedParts) {
    checkGolden("pocket", {repoPath("samples/pocket.nc"), "--play", "--fit", "--tool-diameter", "10",
                           "--nose-radius", "0", "--pitch", "0.5"});
    checkGolden("ball_surface", {repoPath("samples/ball_surface.nc"), "--play", "--fit", "--pitch", "0.5"});
    checkGolden("turned", {repoPath("samples/turning.nc"), "--play", "--machine", "lathe", "--fit"});
}

// The path display: the compensated contour (programmed path, the G41 part purple), the drilling
// cycles (dotted approach, red plunge) and a lathe program (mirrored across the spindle axis), all
// without playing; and the contour drawn over the machined result.
TEST(SceneGolden, ProgramPaths) {
    checkGolden("path_contour", {repoPath("samples/contour.nc"), "--path", "--fit"}, "320x240");
    checkGolden("path_drilling", {repoPath("samples/drilling.nc"), "--path", "--fit"}, "320x240");
    checkGolden("path_turning", {repoPath("samples/turning.nc"), "--path", "--machine", "lathe", "--fit"},
                "320x240");
    checkGolden("path_contour_played",
                {repoPath("samples/contour.nc"), "--path", "--play", "--fit", "--pitch", "0.5"}, "320x240");
}

}  // namespace
}  // namespace vantrel
