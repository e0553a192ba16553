#include "cli/scene_render_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <ostream>
#include <sstream>

#include "app/headless_setup.h"
#include "app/machine_defaults.h"
#include "app/play_session.h"
#include "app/scene_composer.h"
#include "app/scene_playback_view.h"
#include "app/view_commands.h"
#include "platform/atomic_file.h"
#include "platform/headless_gl.h"
#include "program/quon_strings.h"
#include "render/gl_api.h"
#include "render/gl_renderer.h"
#include "render/png_writer.h"
#include "render/view.h"
#include "scene/stock_surface.h"

namespace vantrel {

namespace {

bool parseList(const std::string& s, char sep, double* v, int count) {
    std::stringstream ss(s);
    std::string part;
    int n = 0;
    while (std::getline(ss, part, sep)) {
        char* end = nullptr;
        if (n >= count) return false;
        v[n] = std::strtod(part.c_str(), &end);
        if (end == part.c_str() || *end != '\0' || !std::isfinite(v[n])) return false;
        ++n;
    }
    return n == count;
}

// Text of the axis labels in a headless picture: a 3 x 5 pixel font for X, Y and Z, enough to see
// where a label goes.
class BlockLetterPainter : public TextPainter {
  public:
    void drawText(Image32& image, int x, int y, std::string_view text, uint32_t colour) override {
        static const char* const kX[5] = {"101", "101", "010", "101", "101"};
        static const char* const kY[5] = {"101", "101", "010", "010", "010"};
        static const char* const kZ[5] = {"111", "001", "010", "100", "111"};
        for (char ch : text) {
            const char* const* g = ch == 'X' ? kX : ch == 'Y' ? kY : ch == 'Z' ? kZ : nullptr;
            if (g) {
                for (int r = 0; r < 5; ++r)
                    for (int c = 0; c < 3; ++c)
                        if (g[r][c] == '1')
                            for (int k = 0; k < 4; ++k) {
                                const int px = x + 2 * c + (k & 1), py = y + 2 * r + (k >> 1);
                                if (image.contains(px, py)) image.at(px, py) = colour;
                            }
            }
            x += 8;
        }
    }
};

}  // namespace

bool parseMachineParts(const std::string& text, bool& shown, MachinePartSwitches& parts) {
    if (text == "none") {
        shown = false;
        return true;
    }
    MachinePartSwitches p;
    if (text != "all") {
        p = MachinePartSwitches{false, false, false, false, false, false, false};
        std::stringstream ss(text);
        std::string item;
        bool any = false;
        while (std::getline(ss, item, ',')) {
            if (item == "body")
                p.body = true;
            else if (item == "vice")
                p.vice = true;
            else if (item == "spindle")
                p.spindle = true;
            else if (item == "chuck")
                p.chuck = true;
            else if (item == "turret")
                p.turret = true;
            else if (item == "see-through")
                p.seeThrough = true;
            else if (item == "general-lathe")
                p.generalLathe = true;
            else
                return false;
            any = true;
        }
        if (!any) return false;
    }
    shown = true;
    parts = p;
    return true;
}

StockMeasure measureRemoved(const StockGrid& before, const StockGrid& after, const StockSpec& s,
                            MachineKind kind) {
    StockMeasure m;
    if (!(s.pitch > 0)) return m;
    if (isTurning(kind)) {
        const int last = std::min(stockNodeCount(s.sizeZ, s.pitch), kStockMaxIndex);
        for (int k = 0; k < last; ++k) {
            auto area = [](double od, double id) {
                const double ro = od / 2, ri = id / 2;
                return ro > ri ? kPi * (ro * ro - ri * ri) : 0.0;
            };
            const double a0 = area(before.outerDiameters()[k], before.innerDiameters()[k]);
            const double a1 = area(after.outerDiameters()[k], after.innerDiameters()[k]);
            m.removedVolume += (a0 - a1) * s.pitch;
        }
        return m;
    }
    const int NX = stockNodeCount(s.sizeX, s.pitch), NY = stockNodeCount(s.sizeY, s.pitch);
    double sum = 0;
    float lo = 1e30f, hi = -1e30f;
    for (int ix = 0; ix <= NX; ++ix) {
        const float* b = before.row(ix);
        const float* a = after.row(ix);
        for (int iy = 0; iy <= NY; ++iy) {
            sum += static_cast<double>(b[iy]) - a[iy];
            lo = std::min(lo, a[iy]);
            hi = std::max(hi, a[iy]);
        }
    }
    m.removedVolume = sum * s.pitch * s.pitch;
    m.heightMin = lo <= hi ? lo : 0;
    m.heightMax = lo <= hi ? hi : 0;
    return m;
}

int runSceneRenderCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage =
        "usage: vantrel-sim render [FILE] --out scene.png [--play] [--mode fast|play]\n"
        "       [--machine mill|hmill|lathe|vlathe|wire] [--size WxH] [--view A,B] [--fit]\n"
        "       [--stock X,Y,Z[@OX,OY,OZ]] [--pitch P] [--tool-diameter D] [--nose-radius R]\n"
        "       [--tool-length L] [--holder 0..6] [--machine-parts all|none|LIST] [--path]\n"
        "       [--settings FILE] [--opengl] [--report out.json]\n"
        "  LIST: body,vice,spindle,chuck,turret,see-through,general-lathe\n";
    std::string file, png, report;
    HeadlessOptions opt;
    bool play = false, fastMode = true, fit = false, haveView = false, path = false, opengl = false;
    double size[2] = {1280, 720}, viewAB[2] = {0, 0};
    bool machineShown = false;
    MachinePartSwitches machineParts;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        auto value = [&] {
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        auto bad = [&](const char* what) {
            err << "vantrel-sim render: " << a << " " << what << "\n";
            return 2;
        };
        std::string error;
        const OptionResult taken = parseHeadlessOption(args, i, opt, /*allowHolder=*/true, error);
        if (taken == OptionResult::Taken) continue;
        if (taken == OptionResult::Bad) {
            err << "vantrel-sim render: " << error << "\n";
            return 2;
        }
        if (a == "--out") {
            if (!value()) return bad("takes a file name");
            png = v;
        } else if (a == "--report") {
            if (!value()) return bad("takes a file name");
            report = v;
        } else if (a == "--play") {
            play = true;
        } else if (a == "--machine-parts") {
            if (!value() || !parseMachineParts(v, machineShown, machineParts))
                return bad(
                    "takes all, none or a list of body,vice,spindle,chuck,turret,see-through,general-lathe");
        } else if (a == "--opengl") {
            opengl = true;
        } else if (a == "--path") {
            path = true;
        } else if (a == "--fit") {
            fit = true;
        } else if (a == "--mode") {
            if (!value() || (v != "fast" && v != "play")) return bad("takes fast or play");
            fastMode = v == "fast";
        } else if (a == "--size") {
            if (!value() || !parseList(v, 'x', size, 2) || size[0] < 1 || size[1] < 1 || size[0] > 8192 ||
                size[1] > 8192)
                return bad("takes WxH (1..8192)");
        } else if (a == "--view") {
            if (!value() || !parseList(v, ',', viewAB, 2)) return bad("takes A,B in degrees");
            haveView = true;
        } else if (!a.empty() && a[0] == '-') {
            err << "vantrel-sim render: unknown option '" << a << "'\n" << usage;
            return 2;
        } else if (file.empty()) {
            file = a;
        } else {
            err << usage;
            return 2;
        }
    }
    if (png.empty() || ((play || path) && file.empty())) {
        err << usage;
        return 2;
    }

    TQuonStrings program;
    if (!file.empty()) {
        std::string message;
        if (!program.LoadFromFile(file, &message)) {
            err << "vantrel-sim render: " << file << ": " << message << "\n";
            return 1;
        }
    }

    auto state = std::make_unique<AppState>();
    AppState& s = *state;
    std::string setupError, setupNotes;
    if (!setUpHeadlessState(s, opt, &setupError, &setupNotes))
        return err << "vantrel-sim render: " << setupError << "\n", 2;
    if (!setupNotes.empty()) err << "vantrel-sim render: " << setupNotes << "\n";
    const MachineKind kind = s.machineKind;
    auto initial = std::make_unique<StockGrid>();
    initialiseStockGrid(*initial, s.stock, kind);

    // The scene area is the picture: the client area is sized so that the panels shown leave W x H.
    s.window.clientWidth = static_cast<int>(size[0]) + s.window.panelLeft + kPanelRightWidth;
    s.window.clientHeight = static_cast<int>(size[1]) + s.window.panelTop + kPanelBottomHeight;
    s.display.kikai_on = machineShown;
    {
        MachineOptions& o = s.machine;
        o.showBody = machineParts.body;
        o.showVice = machineParts.vice;
        o.showSpindle = machineParts.spindle;
        o.showChuck = machineParts.chuck;
        o.showTurret = machineParts.turret;
        o.seeThrough = machineParts.seeThrough;
        o.generalPurposeLathe = machineParts.generalLathe;
        o.spindleShown = machineParts.spindle;
    }
    SceneComposer composer(s);
    BlockLetterPainter letters;
    composer.setTextPainter(&letters);
    if (haveView) {
        s.view.viewA = degToRad(viewAB[0]);
        s.view.viewB = degToRad(viewAB[1]);
    }
    if (fit) {
        fitToScreen(s.view, composer.viewEnvironment());
    }
    // The path display: continuous without a play (drawn with the scene), over the result after one.
    if (path) composer.setProgram(&program);
    s.path.on = path && !play;
    composer.repaintScene();

    std::ostringstream json;
    const char* renderer = opengl ? "opengl" : "software";
    if (play) {
        HeadlessPlay headless(s, program);
        PlaySession& session = headless.session();
        ScenePlaybackView drawing(s, composer, headless.mainThread);
        session.view().setDrawing(&drawing);
        const uint8_t mode = PlaybackController::modeFor(fastMode ? 1 : 0, kind, false);
        session.controller().setBudget(opt.maxSteps, opt.maxBlocks);
        const PlayResult r = session.controller().runNow(mode);
        if (r.end == PlayEnd::Budget)
            err << "vantrel-sim render: 処理量の上限に達したため再生を途中で終了しました (--max-steps / "
                   "--max-blocks "
                   "で上限を上げられます)\n";
        // The machined stock in full and the tool where it stands.
        composer.showPlayedResult();
        if (path) composer.drawPathOnce();
        const StockMeasure m = measureRemoved(*initial, s.stockGrid, s.stock, kind);
        json << "{\"blocks\": " << r.blocks << ", \"end\": \"" << playEndName(r.end)
             << "\", \"removed_volume_mm3\": " << jsonNumber(m.removedVolume);
        if (!isTurning(kind))
            json << ", \"height_min\": " << jsonNumber(m.heightMin)
                 << ", \"height_max\": " << jsonNumber(m.heightMax);
        json << ", \"cut_steps\": " << session.view().cutSteps()
             << ", \"drawn_steps\": " << drawing.drawnSteps() << ", \"width\": " << composer.window().width()
             << ", \"height\": " << composer.window().height() << ", \"renderer\": \"" << renderer << "\"}\n";
    } else {
        json << "{\"width\": " << composer.window().width() << ", \"height\": " << composer.window().height()
             << ", \"renderer\": \"" << renderer << "\"}\n";
    }
    // The same scene through OpenGL, in an off-screen context of the scene area's size.
    Image32 glPicture;
    if (opengl) {
        HeadlessGlContext context;
        GlApi api;
        std::string missing;
        if (!context.create(composer.scene().width(), composer.scene().height()) ||
            !api.load(&HeadlessGlContext::lookup, &context, &missing)) {
            err << "vantrel-sim render: OpenGLを使えません ("
                << (context.error().empty() ? std::string("missing ").append(missing) : context.error())
                << ")\n";
            return 1;
        }
        s.path.on = path;
        GlFrame frame;
        frame.width = composer.scene().width();
        frame.height = composer.scene().height();
        composer.renderSceneGL(api, frame);
        glPicture = context.image();
    }
    std::string error;
    if (!writePng(png, opengl ? glPicture : composer.window(), &error)) {
        err << "vantrel-sim render: " << png << ": " << error << "\n";
        return 1;
    }
    if (report.empty()) {
        out << json.str();
    } else if (!writeFileAtomically(report, json.str(), &error)) {
        err << "vantrel-sim render: " << report << ": " << error << "\n";
        return 1;
    }
    return 0;
}

}  // namespace vantrel
