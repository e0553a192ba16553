// The scene through OpenGL (an off-screen OSMesa context): the same scene as the software view, the
// lighter stock while the view is dragged, and the tool path over everything.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/headless_setup.h"
#include "app/play_controller.h"
#include "app/play_session.h"
#include "app/scene_composer.h"
#include "app/scene_playback_view.h"
#include "app/view_commands.h"
#include "cli/scene_render_command.h"
#include "platform/headless_gl.h"
#include "program/quon_strings.h"
#include "render/png_writer.h"
#include "render/raster.h"
#include "stock/material_removal.h"
#include "support/silhouette.h"

namespace vantrel {
namespace {

std::string repoPath(const std::string& rel) {
    return std::string(VANTREL_SOURCE_DIR) + "/" + rel;
}

bool glAvailable(std::string* why = nullptr) {
    HeadlessGlContext c;
    if (c.create(4, 4)) return true;
    if (why) *why = c.error();
    return false;
}

Image32 render(std::vector<std::string> args, bool opengl, const std::string& name) {
    const std::string out = ::testing::TempDir() + "gl_scene_" + name + (opengl ? "_gl" : "_sw") + ".png";
    args.insert(args.end(), {"--out", out, "--size", "320x240"});
    if (opengl) args.push_back("--opengl");
    std::ostringstream o, e;
    EXPECT_EQ(runSceneRenderCommand(args, o, e), 0) << e.str();
    if (opengl) {
        EXPECT_NE(o.str().find("\"renderer\": \"opengl\""), std::string::npos) << o.str();
    }
    Image32 img;
    EXPECT_TRUE(readPng(out, img)) << out;
    return img;
}

// The start-up scene of the mill and a machined pocket, each drawn by both renderers and compared by
// their solid silhouettes (testing::compareSilhouettes). The software
// picture has axis labels and origin marks the OpenGL one leaves out, and edges land a pixel either
// way: at most 1.5 % of the solid silhouette pixels may differ
// (measured: 0.45 % in both). Inside the silhouettes the faces are shaded alike: the pocket floor and
// walls show in the OpenGL picture where they show in the software one.
TEST(GlScene, MatchesTheSoftwareSilhouetteOfTheStartUpSceneAndAMachinedPocket) {
    std::string why;
    if (!glAvailable(&why)) GTEST_SKIP() << why;
    struct Case {
        const char* name;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"start_mill", {"--machine", "mill", "--fit"}},
        {"pocket",
         {repoPath("samples/pocket.nc"), "--play", "--fit", "--tool-diameter", "10", "--nose-radius", "0",
          "--pitch", "0.5"}},
    };
    for (const Case& c : cases) {
        const Image32 sw = render(c.args, false, c.name);
        const Image32 gl = render(c.args, true, c.name);
        ASSERT_EQ(sw.width(), gl.width());
        ASSERT_EQ(sw.height(), gl.height());
        EXPECT_EQ(testing::backgroundOf(sw), testing::backgroundOf(gl));
        const testing::SilhouetteComparison s = testing::compareSilhouettes(sw, gl);
        EXPECT_GT(s.both, 5000) << c.name;
        EXPECT_LE(s.mismatch(), 0.015) << c.name << ": both " << s.both << ", software only " << s.onlyFirst
                                       << ", OpenGL only " << s.onlySecond;
        EXPECT_LE(s.colourDiffers, s.both / 20) << c.name;
        std::printf(
            "%s: silhouette pixels both %d, software only %d, OpenGL only %d (%.2f %%); colour differs "
            "at %d\n",
            c.name, s.both, s.onlyFirst, s.onlySecond, 100 * s.mismatch(), s.colourDiffers);
    }
}

struct GlComposer {
    GlComposer(int w, int h) {
        s->window.clientWidth = w + s->window.panelLeft + kPanelRightWidth;
        s->window.clientHeight = h + s->window.panelTop + kPanelBottomHeight;
        s->window.settingsReady = true;
        initialiseStockGrid(s->stockGrid, s->stock, MachineKind::VerticalMill);
        ok = context.create(composer.scene().width(), composer.scene().height()) &&
             api.load(&HeadlessGlContext::lookup, &context);
        frame.width = composer.scene().width();
        frame.height = composer.scene().height();
    }
    std::unique_ptr<AppState> s = std::make_unique<AppState>();
    SceneComposer composer{*s};
    HeadlessGlContext context;
    GlApi api;
    GlFrame frame;
    bool ok = false;
};

TEST(GlScene, DraggingTheViewSamplesTheStockEveryTwoUnitsAndReleaseBringsFullDensityBack) {
    if (!glAvailable()) GTEST_SKIP();
    GlComposer g(400, 300);
    ASSERT_TRUE(g.ok);
    AppState& s = *g.s;
    ASSERT_EQ(s.stock.sizeX, 100.0f);
    ASSERT_EQ(s.stock.sizeY, 100.0f);
    ASSERT_EQ(s.stock.pitch, 1.0);
    GlStockSampling full = g.composer.renderSceneGL(g.api, g.frame);
    EXPECT_EQ(full.samplesX, 100);
    EXPECT_EQ(full.samplesY, 100);
    const Image32 still = g.context.image();

    // A right-button drag with the OpenGL switch down, as the scene's mouse handlers see it.
    ControlSet cs;
    s.view.openGlRequested = true;
    ViewEnvironment env = g.composer.viewEnvironment();
    MouseInput m;
    m.x = 200;
    m.y = 150;
    m.right = true;
    WireSwitches w;
    (void)sceneMouseDown(s.view, cs, env, m, w);
    EXPECT_TRUE(s.view.openGlDrag);
    const GlStockSampling coarse = g.composer.renderSceneGL(g.api, g.frame);
    EXPECT_EQ(coarse.samplesX, 50);
    EXPECT_EQ(coarse.samplesY, 50);
    // The untouched stock looks the same at either density.
    const Image32 dragged = g.context.image();
    int differ = 0;
    for (int y = 0; y < still.height(); ++y)
        for (int x = 0; x < still.width(); ++x) differ += still.at(x, y) != dragged.at(x, y);
    EXPECT_LT(differ, still.width() * still.height() / 100);

    (void)sceneMouseUp(s.view, cs, env, w);
    EXPECT_FALSE(s.view.openGlDrag);
    full = g.composer.renderSceneGL(g.api, g.frame);
    EXPECT_EQ(full.samplesX, 100);
}

TEST(GlScene, TheToolPathIsNeverHiddenByTheStock) {
    if (!glAvailable()) GTEST_SKIP();
    GlComposer g(400, 300);
    ASSERT_TRUE(g.ok);
    AppState& s = *g.s;
    // A feed move through the middle of the stock (0..100 x 0..100 x -50..0), 25 mm below its top.
    TQuonStrings program;
    program.SetText("G90 G00 X20. Y50. Z-25.\nG01 X80. F100\nM30\n");
    g.composer.setProgram(&program);
    s.path.on = true;
    s.display.kikai_on = false;
    g.composer.renderSceneGL(g.api, g.frame);
    const Image32 img = g.context.image();
    const uint32_t feed = toPixel(s.colours[3]);
    int onPath = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) onPath += img.at(x, y) == feed;
    // The 60 mm line at the start-up scale is some 30 pixels long, all of it inside the stock's picture
    // (the stock's top and sides hide it from the eye).
    EXPECT_GT(onPath, 20);
    s.path.on = false;
    g.composer.renderSceneGL(g.api, g.frame);
    const Image32 without = g.context.image();
    int still = 0;
    for (int y = 0; y < without.height(); ++y)
        for (int x = 0; x < without.width(); ++x) still += without.at(x, y) == feed;
    EXPECT_LT(still, onPath / 10);

    // "Draw the path once" with the OpenGL view showing: the next frame has it, the one after not.
    s.openGlOn = true;
    int frames = 0;
    g.composer.onGlRepaint = [&] {
        g.composer.renderSceneGL(g.api, g.frame);
        ++frames;
    };
    auto feedPixels = [&] {
        const Image32 img = g.context.image();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += img.at(x, y) == feed;
        return n;
    };
    g.composer.drawPathOnce();
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(feedPixels(), onPath);
    g.composer.repaintScene();
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(feedPixels(), still);
}

// Playing with the OpenGL view showing: the mill's OpenGL play mode (a frame at every pixel the tool
// moves and every move's end) and a lathe play (its software composition hidden, so OpenGL frames
// instead) both draw frames as they go, and the last frame shows the machined stock.
TEST(GlScene, PlaysDrawOpenGlFramesAsTheyGo) {
    if (!glAvailable()) GTEST_SKIP();
    struct Case {
        MachineKind kind;
        const char* program;
        uint8_t mode;
    };
    const Case cases[] = {
        {MachineKind::VerticalMill, "G90 G00 X30. Y30. Z5.\nG01 Z-5. F200\nX70.\nY70.\nG00 Z50.\nM30\n",
         kModeGlPlay},
        {MachineKind::Lathe, "G00 X90. Z2.\nG01 Z-40. F0.2\nG00 X120. Z50.\nM30\n", kModeLathePlay},
    };
    for (const Case& c : cases) {
        GlComposer g(320, 240);
        ASSERT_TRUE(g.ok);
        AppState& s = *g.s;
        HeadlessOptions opt;
        opt.kind = c.kind;
        std::string error;
        ASSERT_TRUE(setUpHeadlessState(s, opt, &error)) << error;
        s.window.settingsReady = true;
        s.openGlOn = true;
        int frames = 0;
        g.composer.onGlRepaint = [&] {
            g.composer.renderSceneGL(g.api, g.frame);
            ++frames;
        };
        g.composer.repaintScene();
        const Image32 before = g.context.image();
        TQuonStrings program;
        program.SetText(c.program);
        HeadlessPlay headless(s, program);
        ScenePlaybackView drawing(s, g.composer, headless.mainThread);
        headless.session().view().setDrawing(&drawing);
        const uint8_t mode = PlaybackController::modeFor(0, c.kind, true);
        EXPECT_EQ(mode, c.mode);
        const PlayResult r = headless.session().controller().runNow(mode);
        EXPECT_EQ(r.end, PlayEnd::M30);
        EXPECT_GT(frames, 10) << static_cast<int>(c.kind);
        // The cut shows: the last frame differs from the one before the play.
        const Image32 after = g.context.image();
        int differ = 0;
        for (int y = 0; y < after.height(); ++y)
            for (int x = 0; x < after.width(); ++x) differ += after.at(x, y) != before.at(x, y);
        EXPECT_GT(differ, 50) << static_cast<int>(c.kind);
    }
}

}  // namespace
}  // namespace vantrel
