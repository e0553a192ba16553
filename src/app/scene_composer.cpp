#include "app/scene_composer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "app/play_controller.h"
#include "core/number_format.h"
#include "core/rounding.h"
#include "render/picture_placement.h"
#include "render/picture_plane.h"
#include "render/raster.h"
#include "render/shapes.h"
#include "render/view.h"
#include "stock/material_removal.h"

namespace vantrel {

namespace {

Vec3f f3(double x, double y, double z) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

bool isLathePlayMode(uint8_t m) {
    return m == kModeLathePlay || m == kModeLatheStep;
}

// A circle outline of `radius` pixels around (cx, cy), without depth.
void circleOutline(Image32& img, uint32_t pixel, int cx, int cy, int radius) {
    const ClipRect clip{0, 0, img.width() - 1, img.height() - 1};
    constexpr int kSteps = 24;
    int px = cx + radius, py = cy;
    for (int k = 1; k <= kSteps; ++k) {
        const double t = kTwoPi * k / kSteps;
        const int x = cx + saturatingToInt32(RoundHalfAway(radius * std::cos(t)));
        const int y = cy - saturatingToInt32(RoundHalfAway(radius * std::sin(t)));
        paintLine2D(img, pixel, clip, px, py, x, y);
        px = x;
        py = y;
    }
}

// The screen rectangle of the lattice box nodes ax..bx x ay..by between heights zl and zh above the
// stock bottom; nothing when a corner lies behind the eye or absurdly far out.
std::optional<PixelRect> screenBoxOf(const ViewState& view, const StockSpec& st, int ax, int bx, int ay,
                                     int by, double zl, double zh) {
    PixelRect r;
    for (int c = 0; c < 8; ++c) {
        const Vec3 corner{st.offsetX + ((c & 1) ? bx : ax) * st.pitch,
                          st.offsetY + ((c & 2) ? by : ay) * st.pitch, st.offsetZ + ((c & 4) ? zh : zl)};
        const ProjectedPoint pp = projectPoint(view, corner);
        const double sx = screenX(view, pp), sy = screenY(view, pp);
        if (pp.clipped || !(std::fabs(sx) < 1e7) || !(std::fabs(sy) < 1e7)) return std::nullopt;
        r.include(saturatingToInt32(std::floor(sx)), saturatingToInt32(std::floor(sy)));
        r.include(saturatingToInt32(std::ceil(sx)), saturatingToInt32(std::ceil(sy)));
    }
    return r;
}

const char* const kPanelNames[] = {"Panel1", "Panel3", "Panel4", "Panel5",
                                   "Panel6", "Panel8", "Panel9", "Panel10"};

}  // namespace

std::vector<PixelRect> toolCopyRects(const PixelRect& oldRect, const PixelRect& newRect) {
    if (oldRect.empty() && newRect.empty()) return {};
    if (oldRect.empty()) return {newRect};
    if (newRect.empty()) return {oldRect};
    PixelRect u = oldRect;
    u.unite(newRect);
    if (oldRect.area() + newRect.area() < u.area()) return {oldRect, newRect};
    return {u};
}

SceneArea sceneAreaFor(int clientWidth, int clientHeight, int leftOffset, int topOffset, bool panelsHidden) {
    SceneArea a;
    a.left = leftOffset;
    a.top = topOffset;
    const int64_t w = panelsHidden ? int64_t{clientWidth} - leftOffset
                                   : int64_t{clientWidth} - leftOffset - kPanelRightWidth;
    const int64_t h = panelsHidden ? int64_t{clientHeight} - topOffset
                                   : int64_t{clientHeight} - topOffset - kPanelBottomHeight;
    a.width = static_cast<int>(std::clamp<int64_t>(w, 1, 1 << 15));
    a.height = static_cast<int>(std::clamp<int64_t>(h, 1, 1 << 15));
    return a;
}

int64_t gridLineCount(double size, double interval) {
    if (!(interval > 0) || !std::isfinite(interval) || !(size >= 0) || !std::isfinite(size)) return 0;
    const double n = std::floor(size / interval);
    if (!(n < static_cast<double>(kMaxGridLines))) return kMaxGridLines;
    return static_cast<int64_t>(n) + 1;
}

int axisLabelFontSize(double scale, double distance) {
    if (!(distance > 0) || !std::isfinite(distance) || !std::isfinite(scale)) return 1;
    const double v = std::trunc(scale * 10000.0 / distance);
    if (!(v >= 1)) return 1;
    if (v > 500) return 500;
    return static_cast<int>(v);
}

SceneComposer::SceneComposer(AppState& s) : s_(s) {
    rebuildHolderProfile(holder_, s_.tools, s_.machineKind, s_.machine.holderStandard);
    sizeSceneArea();
}

ToolScene SceneComposer::toolScene() const {
    ToolScene t;
    t.kind = s_.machineKind;
    t.tool = s_.tools.workingTool;
    t.profile = s_.tools.profile;
    t.holder = holder_.current;
    t.holderKind = holder_.kind;
    t.position = s_.pos.tool.get();
    t.tilt = s_.tools.toolTiltAngle;
    t.turn = s_.tools.toolTurnAngle;
    t.cutterColour = static_cast<uint32_t>(s_.tools.workingTool.color) & 0xFFFFFF;
    if (const std::vector<ToolRecord>* list = toolListFor(s_.tools, s_.machineKind)) {
        const int i = s_.tools.currentToolIndex;
        if (i >= 0 && i < static_cast<int>(list->size()))
            t.cutterColour = static_cast<uint32_t>((*list)[static_cast<size_t>(i)].color) & 0xFFFFFF;
    }
    t.toolOn = s_.display.tool_on;
    t.holderOn = s_.display.holder_on;
    t.wire = s_.display.kouwyer_on;
    t.palette = s_.colours.c;
    return t;
}

MachineScene SceneComposer::machineScene(const Vec3& tool) const {
    MachineScene m;
    m.kind = s_.machineKind;
    m.stock = s_.stock;
    m.tool = tool;
    m.turn = s_.tools.toolTurnAngle;
    m.flangeDiameter = holder_.current.flangeDiameter;
    m.holderBaseLength = s_.tools.holderBaseLength;
    const ToolRecord& t = s_.tools.workingTool;
    m.holderLength = t.holderLength;
    m.toolLength = t.length;
    m.totalLength = s_.tools.profile.totalLength;
    m.latheToolKind = t.kind;
    m.chuckDiameter = s_.machine.chuckDiameter;
    m.tailstock = s_.machine.tailstockPosition;
    m.upperZ = t.angleA;
    m.lowerZ = t.angleB;
    m.viewA = s_.view.viewA;
    const MachineOptions& o = s_.machine;
    m.parts = {o.showBody,   o.showVice,   o.showSpindle,        o.showChuck,
               o.showTurret, o.seeThrough, o.generalPurposeLathe};
    m.spindleShown = o.spindleShown;
    m.chuckPhase = s_.chuckPhase;
    m.palette = s_.colours.c;
    return m;
}

std::vector<ToolChangeFrame> SceneComposer::toolChangeFrameList(int32_t fromIndex, int32_t toIndex) const {
    const std::vector<ToolRecord>& list = s_.tools.millTools;
    const auto count = static_cast<int32_t>(list.size());
    if (fromIndex == toIndex || fromIndex < 0 || toIndex < 0 || fromIndex >= count || toIndex >= count)
        return {};
    if (!isMilling(kind()) || s_.openGlOn) return {};
    if (!s_.display.tool_on && !s_.display.holder_on) return {};
    const Vec3 at = s_.pos.tool.get();
    ToolChangeGeometry g;
    g.x = at.x;
    g.y = at.y;
    g.armX = s_.machine.toolChangeX;
    g.armY = s_.machine.toolChangeY;
    g.referenceZ = s_.pos.reference.z;
    g.holderTop = holder_.current.top;
    g.holderBaseLength = s_.tools.holderBaseLength;
    const ToolRecord& from = list[static_cast<size_t>(fromIndex)];
    const ToolRecord& to = list[static_cast<size_t>(toIndex)];
    return toolChangeFrames(g, {from.length, from.holderLength}, {to.length, to.holderLength});
}

void SceneComposer::showToolChangeFrame(int32_t fromIndex, int32_t toIndex, const ToolChangeFrame& frame) {
    const std::vector<ToolRecord>& list = s_.tools.millTools;
    const auto count = static_cast<int32_t>(list.size());
    if (fromIndex < 0 || toIndex < 0 || fromIndex >= count || toIndex >= count) return;
    snapshotFrame();
    const ToolScene base = toolScene();
    auto draw = [&](const ToolRecord& tool, const Vec3& at) {
        ToolScene ts = base;
        ts.tool = tool;
        ts.profile = computeToolProfile(tool, s_.tools.holderBaseLength);
        ts.cutterColour = static_cast<uint32_t>(tool.color) & 0xFFFFFF;
        ts.position = at;
        drawToolOutline(&window_, s_.view, ts, spinPhase_);
    };
    draw(list[static_cast<size_t>(fromIndex)], frame.oldTool);
    draw(list[static_cast<size_t>(toIndex)], frame.newTool);
    showFrame();
}

ViewEnvironment SceneComposer::viewEnvironment(bool playing) const {
    ViewEnvironment env;
    env.kind = s_.machineKind;
    env.sceneWidth = area_.width;
    env.sceneHeight = area_.height;
    env.paintBoxWidth = area_.width;
    env.paintBoxHeight = area_.height;
    env.toolPosition = s_.pos.tool.get();
    const StockSpec& st = s_.stock;
    env.stock = {st.sizeX, st.sizeY, st.sizeZ, st.offsetX, st.offsetY, st.offsetZ};
    env.playing = playing;
    return env;
}

// --- Layout ---------------------------------------------------------------------------------

void SceneComposer::layoutWindow(int wc, int hc) {
    s_.window.clientWidth = wc;
    s_.window.clientHeight = hc;
    if (controls_) {
        ControlSet& c = *controls_;
        if (c.has("Panel6")) c.setGeometry("Panel6", 0, hc - 29, wc, 29);
        if (hc >= 155 && c.has("Panel4")) c.setHeight("Panel4", hc - 154);
        if (c.has("Panel7")) c.setGeometry("Panel7", 0, panelsHidden_ ? -30 : 0, wc, 29);
        if (c.has("Panel3")) c.setGeometry("Panel3", wc - 130, 29, 130, 200);
        if (c.has("Panel8")) c.setGeometry("Panel8", wc - 130, 229, 130, hc - 258);
        if (c.has("PaintBox2")) c.setHeight("PaintBox2", hc - 258 - 2);
        if (c.has("panel_cad2")) c.setGeometry("panel_cad2", 0, hc - 29, wc - 129, 29);
        if (c.has("panel_cad1")) c.setGeometry("panel_cad1", wc - 130, 29, 130, hc - 58);
        if (c.has("Panel10")) c.setGeometry("Panel10", 0, hc - 29, wc - 129, 29);
    }
    sizeSceneArea();
    if (s_.window.ready == 1) repaintScene();
}

void SceneComposer::sizeSceneArea() {
    const int left = panelsHidden_ ? 0 : s_.window.panelLeft;
    const int top = panelsHidden_ ? 0 : s_.window.panelTop;
    area_ = sceneAreaFor(s_.window.clientWidth, s_.window.clientHeight, left, top, panelsHidden_);
    if (controls_ && controls_->has("PaintBox1"))
        controls_->setGeometry("PaintBox1", area_.left, area_.top, area_.width, area_.height);
    // The images keep their sizes while a play runs: the play's rectangles refer to them. The new size
    // is taken when the play ends.
    if (playing_) return;
    scene_.resize(area_.width, area_.height);
    if (window_.width() != area_.width || window_.height() != area_.height)
        window_.resize(area_.width, area_.height, bgrToRgb(s_.colours.back()));
}

void SceneComposer::setSceneSize(int width, int height) {
    area_.width = std::clamp(width, 1, 1 << 15);
    area_.height = std::clamp(height, 1, 1 << 15);
    if (playing_) return;
    scene_.resize(area_.width, area_.height);
    if (window_.width() != area_.width || window_.height() != area_.height)
        window_.resize(area_.width, area_.height, bgrToRgb(s_.colours.back()));
}

void SceneComposer::togglePanels() {
    const int dx = s_.window.panelLeft, dy = s_.window.panelTop;
    if (panelsHidden_) {
        s_.view.originX -= dx;
        s_.view.originY -= dy;
        panelsHidden_ = false;
        if (controls_) {
            for (const char* n : kPanelNames)
                if (controls_->has(n)) controls_->setVisible(n, true);
            if (controls_->has("Panel7")) controls_->setGeometry("Panel7", 0, 0, s_.window.clientWidth, 29);
            if (controls_->has("mcform")) controls_->setCaption("mcform", kCaptionIdle);
            if (controls_->has("menu_paneloff")) controls_->setChecked("menu_paneloff", false);
        }
        s_.window.caption = kCaptionIdle;
    } else {
        s_.view.originX += dx;
        s_.view.originY += dy;
        panelsHidden_ = true;
        if (controls_) {
            for (const char* n : kPanelNames)
                if (controls_->has(n)) controls_->setVisible(n, false);
            if (controls_->has("Panel7")) controls_->setGeometry("Panel7", 0, -30, s_.window.clientWidth, 29);
            if (controls_->has("menu_paneloff")) controls_->setChecked("menu_paneloff", true);
        }
    }
    sizeSceneArea();
    repaintScene();
}

// --- Repaint --------------------------------------------------------------------------------

void SceneComposer::copyToWindow(const Image32& src, const PixelRect& r0) {
    const PixelRect r =
        r0.clippedTo(std::min(src.width(), window_.width()), std::min(src.height(), window_.height()));
    if (r.empty()) return;
    window_.copyRect(src, r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1, r.left, r.top);
    lastCopies_.push_back(r);
    if (onWindowUpdate) onWindowUpdate(r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1);
}

void SceneComposer::drawGrid(DrawContext& ctx) {
    const GridAxes& g = s_.grid;
    const StockSpec& st = s_.stock;
    const double p = g.interval;
    const int64_t nx = gridLineCount(g.gridX, p), ny = gridLineCount(g.gridY, p);
    if (nx == 0 || ny == 0) return;
    const uint32_t colour = s_.colours[12];
    const ClipRect clip = scene_.fullClip();
    const double cx = st.sizeX / 2.0 + st.offsetX, cy = st.sizeY / 2.0 + st.offsetY;
    const double x0 = cx - g.gridX / 2.0, x1 = cx + g.gridX / 2.0;
    const double y0 = cy - g.gridY / 2.0, y1 = cy + g.gridY / 2.0;
    const bool turning = isTurning(kind());
    const double z = st.offsetZ;
    for (int64_t d = 0; d < nx; ++d) {
        const double v = x0 + static_cast<double>(d) * p;
        if (turning)
            drawLine3D(ctx, colour, clip, f3(y0, 0, v), f3(y1, 0, v));
        else
            drawLine3D(ctx, colour, clip, f3(v, y0, z), f3(v, y1, z));
    }
    for (int64_t d = 0; d < ny; ++d) {
        const double v = y0 + static_cast<double>(d) * p;
        if (turning)
            drawLine3D(ctx, colour, clip, f3(v, 0, x0), f3(v, 0, x1));
        else
            drawLine3D(ctx, colour, clip, f3(x0, v, z), f3(x1, v, z));
    }
}

void SceneComposer::drawAxes(DrawContext& ctx) {
    const ViewState& view = s_.view;
    const uint32_t colour = s_.colours[1];
    const ClipRect clip = scene_.fullClip();
    const Vec3 ends[3] = {{s_.grid.axisX, 0, 0}, {0, s_.grid.axisY, 0}, {0, 0, s_.grid.axisZ}};
    const char* labels[3] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i) {
        drawLine3D(ctx, colour, clip, f3(0, 0, 0), f3(ends[i].x, ends[i].y, ends[i].z));
        // The labels and the origin marks belong to the software picture.
        if (ctx.openGl()) continue;
        const ProjectedPoint pp = projectPoint(view, ends[i]);
        if (pp.clipped || !painter_) continue;
        // The size follows the distance; the painter draws at its own size, clamped the same way.
        (void)axisLabelFontSize(view.scale, (ends[i] - view.basis.eye).length());
        const double sx = screenX(view, pp) + 5, sy = screenY(view, pp);
        if (!(std::fabs(sx) < 1e6) || !(std::fabs(sy) < 1e6)) continue;
        painter_->drawText(scene_.image(), saturatingToInt32(sx), saturatingToInt32(sy), labels[i],
                           toPixel(colour));
    }
    if (ctx.openGl()) return;
    auto circleAt = [&](const Vec3& p, uint32_t c) {
        const ProjectedPoint pp = projectPoint(view, p);
        if (pp.clipped) return;
        const double sx = screenX(view, pp), sy = screenY(view, pp);
        if (!(std::fabs(sx) < 1e6) || !(std::fabs(sy) < 1e6)) return;
        circleOutline(scene_.image(), toPixel(c), saturatingToInt32(std::floor(sx)),
                      saturatingToInt32(std::floor(sy)), 5);
    };
    circleAt(Vec3{0, 0, 0}, 0xFF0000);
    circleAt(s_.pos.reference, 0x0000FF);
}

void SceneComposer::drawArcOverlay(DrawContext& ctx) {
    const ArcOverlay& a = s_.arc;
    if (!(a.radius > 0) || !std::isfinite(a.radius)) return;
    Orientation o;
    if (a.plane == 1) o = {-kPi / 2, 0};
    if (a.plane == 2) o = {0, kPi / 2};
    const uint32_t pen = ctx.penColour;
    ctx.penColour = s_.colours[2];
    drawArc3D(ctx, s_.colours[2], a.centre1, 2 * a.radius, o, a.start, a.end, 1, false, 0);
    drawArc3D(ctx, s_.colours[2], a.centre2, 2 * a.radius, o, a.start, a.end, 1, false, 3);
    ctx.penColour = pen;
}

void SceneComposer::drawMachineLayer(DrawContext& ctx) {
    const MachinePartSet which = machineMovingApart_ ? MachinePartSet::Still : MachinePartSet::All;
    if (drawMachine(ctx, s_.view, machineScene(s_.pos.tool.get()), s_.display.kikaiwyer_on, which))
        s_.chuckPhase = advanceChuckPhase(s_.chuckPhase, s_.modal.spindle, s_.modal.spindleSpeed);
}

PixelRect SceneComposer::drawMovingMachine(const Vec3& tool) {
    if (!s_.display.kikai_on) return {};
    const MachineScene m = machineScene(tool);
    const std::vector<MachinePart> parts = buildMachineParts(m, MachinePartSet::Moving);
    if (parts.empty()) return {};
    const PixelRect r = drawMachineOutline(window_, s_.view, parts, &outlinePixels_);
    if (turnsChuckJaws(m))
        s_.chuckPhase = advanceChuckPhase(s_.chuckPhase, s_.modal.spindle, s_.modal.spindleSpeed);
    return r;
}

ViewUpdate SceneComposer::wheel(int delta, int x, int y, bool playing) {
    static ControlSet unused;
    return sceneWheel(s_.view, controls_ ? *controls_ : unused, viewEnvironment(playing), delta, x, y);
}

ToolPose SceneComposer::toolPose() const {
    ToolPose pose;
    pose.position = s_.pos.tool.get();
    pose.length = s_.tools.workingTool.length;
    pose.tilt = s_.tools.toolTiltAngle;
    pose.turn = s_.tools.toolTurnAngle;
    pose.axis = s_.pos.axis;
    return pose;
}

void SceneComposer::repaintScene() {
    if (!s_.window.settingsReady) return;
    if (playing_) {
        repaintAfterPlay_ = true;
        return;
    }
    if (glViewActive()) {
        updatePositionReadout();
        onGlRepaint();
        return;
    }
    ViewState& view = s_.view;
    updateViewBasis(view, kind());
    view.lightGain = 1.0f;
    scene_.clearDepth(kFarDepth);
    scene_.image().fill(toPixel(s_.colours.back()));
    // The background picture: modes 1 and 2 place the image; mode 3 lies on the work plane, with depth.
    if (s_.picture.pictureMode == 1 || s_.picture.pictureMode == 2)
        placePicture(scene_.image(), s_.picture.pictureImage, s_.picture.pictureMode);
    else if (s_.picture.pictureMode == 3)
        pastePictureOnPlane(scene_, view, s_.picture.pictureImage, kind(), s_.stock.offsetZ);
    DrawContext ctx(scene_, view);
    ctx.penColour = s_.colours[12];
    if (s_.display.grid_on) drawGrid(ctx);
    if (s_.stock.visible != 0)
        drawStockShape(ctx, view, s_.stock, kind(), s_.colours[9], s_.display.zaiwyer_on, lathePlaying_);
    if (s_.display.cad_on) drawArcOverlay(ctx);
    if (s_.display.kikai_on) drawMachineLayer(ctx);
    if (s_.display.axis_on) drawAxes(ctx);
    if (s_.path.on) drawProgramPath(scene_.image());
    ToolScene ts = toolScene();
    drawWorkingTool(ctx, view, ts);
    view.lightGain = 1.0f;
    updatePositionReadout();
    lastCopies_.clear();
    copyToWindow(scene_.image(), {0, 0, scene_.width() - 1, scene_.height() - 1});
    ++fullWindowCopies_;
}

GlStockSampling SceneComposer::renderSceneGL(const GlApi& api, const GlFrame& frameIn) {
    GlStockSampling sampling;
    if (!api.loaded()) return sampling;
    GlFrame frame = frameIn;
    frame.back = s_.colours.back();
    ViewState& view = s_.view;
    updateViewBasis(view, kind());
    view.lightGain = 1.0f;
    GlRenderer gl(api);
    gl.beginFrame(view, frame);
    DrawContext ctx(scene_, view);
    ctx.gl = &gl;
    ctx.penColour = s_.colours[12];
    const ToolScene ts = toolScene();
    drawWorkingTool(ctx, view, ts);
    view.lightGain = 1.0f;
    if (s_.stock.visible != 0) {
        std::lock_guard lk(s_.stockMutex);
        sampling = drawStockGL(ctx, view, s_.stock, s_.stockGrid, kind(), s_.colours[9],
                               s_.display.zaiwyer_on, glStockStep(s_.stock, view.openGlDrag));
    }
    if (s_.display.axis_on) drawAxes(ctx);
    if (s_.display.grid_on) drawGrid(ctx);
    if (s_.display.kikai_on) drawMachineLayer(ctx);
    if (s_.display.cad_on) {
        drawArcOverlay(ctx);
        if (view.leftDrag) {
            const Vec3& a = s_.arc.start;
            drawLine3D(ctx, 0x808080, scene_.fullClip(), f3(a.x, a.y, a.z),
                       f3(ts.position.x, ts.position.y, ts.position.z));
        }
    }
    const bool pathOnce = glPathOnce_;
    glPathOnce_ = false;
    if (s_.path.on || pathOnce) {
        // The path is never hidden by the stock or the machine.
        gl.setDepthTest(false);
        const ToolPathData& path = programPath();
        const PathColours colours = pathColours();
        for (const PathRun& run : path.runs) {
            const uint32_t c = colours.of(run.style);
            gl.setDotted(run.style == PathRunStyle::Rapid);
            for (uint32_t k = 1; k < run.count; ++k) {
                const Vec3& a = path.points[run.first + k - 1];
                const Vec3& b = path.points[run.first + k];
                gl.line(c, f3(a.x, a.y, a.z), f3(b.x, b.y, b.z));
            }
        }
        gl.setDotted(false);
        gl.setDepthTest(true);
    }
    gl.endFrame();
    view.lightGain = 1.0f;
    return sampling;
}

void SceneComposer::showScene() {
    lastCopies_.clear();
    copyToWindow(scene_.image(), {0, 0, scene_.width() - 1, scene_.height() - 1});
}

void SceneComposer::showPlayedResult() {
    if (isTurning(s_.machineKind) || isMilling(s_.machineKind)) drawStockSurface();
    {
        DrawContext ctx(scene(), s_.view);
        const ToolScene ts = toolScene();
        drawWorkingTool(ctx, s_.view, ts);
        s_.view.lightGain = 1.0f;
    }
    showScene();
}

void SceneComposer::drawStockSurface() {
    // The OpenGL frame always shows the machined stock.
    if (glViewActive()) {
        repaintScene();
        return;
    }
    if (controls_ && controls_->has("mcform")) controls_->setCaption("mcform", kCaptionDrawing);
    if (s_.stock.visible != 0 && !s_.display.zaiwyer_on) {
        const int32_t saved = s_.stock.visible;
        const bool savedPath = s_.path.on;
        s_.stock.visible = 0;
        s_.path.on = false;
        repaintScene();
        s_.stock.visible = saved;
        s_.path.on = savedPath;
    }
    {
        std::lock_guard lk(s_.stockMutex);
        DrawContext ctx(scene_, s_.view);
        drawStockSurfaceModel(ctx, s_.view, s_.stock, s_.stockGrid, kind(), s_.colours[9],
                              s_.display.zaiwyer_on, lathePlaying_);
    }
    s_.view.lightGain = 1.0f;
    if (controls_ && controls_->has("mcform")) controls_->setCaption("mcform", kCaptionIdle);
    showScene();
}

void SceneComposer::updatePositionReadout() {
    const Vec3 p = s_.pos.tool.get();
    const double xs = p.x * s_.machine.diameterDivisor;
    if (controls_) {
        ControlSet& c = *controls_;
        auto set = [&](const char* name, const std::string& text) {
            if (c.has(name)) c.setCaption(name, text);
        };
        set("label_x", FormatFloat("###0.00000000", xs));
        set("label_y", FormatFloat("###0.00000000", p.y));
        set("label_z", FormatFloat("###0.00000000", p.z));
        // The angles are kept in radians and shown in degrees.
        constexpr double kDeg = 180.0 / kPi;
        set("label_a", FormatFloat("0.00000", s_.pos.a * kDeg));
        set("label_b", FormatFloat("0.00000", s_.pos.b * kDeg));
        set("label_c", FormatFloat("0.00000", s_.pos.c * kDeg));
        set("label_vx", FormatFloat("0.00000", s_.pos.axis.x));
        set("label_vy", FormatFloat("0.00000", s_.pos.axis.y));
        set("label_vz", FormatFloat("0.00000", s_.pos.axis.z));
    }
    if (panelsHidden_) {
        drawReadoutOverlay(scene_.image());
        // During a play nothing else brings the scene to the window: the overlay's rectangle goes now.
        if (playing_) copyToWindow(scene_.image(), PixelRect{5, 5, 107, 140});
    }
}

void SceneComposer::drawReadoutOverlay(Image32& target) {
    const PixelRect r = PixelRect{5, 5, 107, 140}.clippedTo(target.width(), target.height());
    if (r.empty()) return;
    if (playing_) {
        const uint32_t back = toPixel(s_.colours.back());
        for (int y = r.top; y <= r.bottom; ++y)
            std::fill(target.row(y) + r.left, target.row(y) + r.right + 1, back);
    }
    if (!painter_) return;
    const Vec3 p = s_.pos.tool.get();
    const uint32_t colour = toPixel(s_.colours[1]);
    const char* caps[6] = {"X", "Y", "Z", "vX", "vY", "vZ"};
    const int ys[6] = {5, 25, 45, 85, 105, 125};
    const std::string values[6] = {FormatFloat("##0.00000", p.x * s_.machine.diameterDivisor),
                                   FormatFloat("##0.00000", p.y),
                                   FormatFloat("##0.00000", p.z),
                                   FormatFloat("0.00000", s_.pos.axis.x),
                                   FormatFloat("0.00000", s_.pos.axis.y),
                                   FormatFloat("0.00000", s_.pos.axis.z)};
    for (int i = 0; i < 6; ++i) {
        painter_->drawText(target, 5, ys[i], caps[i], colour);
        painter_->drawText(target, 106 - 9 * static_cast<int>(values[i].size()), ys[i], values[i], colour);
    }
}

void SceneComposer::quickToolRedraw() {
    if (!isMilling(kind())) {
        repaintScene();
        return;
    }
    ViewState& view = s_.view;
    updateViewBasis(view, kind());
    ToolScene ts = toolScene();
    DrawContext ctx(scene_, view);
    view.lightGain = 2.5f;
    drawToolImprint(ctx, ts, millingTipPoint(ts.tool, ts.position), s_.colours[9]);
    view.lightGain = 1.0f;
    lastCopies_.clear();
    copyToWindow(scene_.image(), {0, 0, scene_.width() - 1, scene_.height() - 1});
    const OutlineBounds b = drawToolOutline(&window_, view, ts, spinPhase_);
    // The spindle follows the dragged tool the same way (the next drag step copies the scene again).
    if (s_.display.kikai_on) {
        const std::vector<MachinePart> moving =
            buildMachineParts(machineScene(ts.position), MachinePartSet::Moving);
        drawMachineOutline(window_, view, moving);
    }
    if (view.leftDrag) {
        DrawContext wctx(scene_, view);
        wctx.window = &window_;
        wctx.penColour = s_.colours[2];
        wctx.penDotted = true;
        drawOverlayLine(wctx, OverlayTarget::Window, f3(s_.arc.start.x, s_.arc.start.y, s_.arc.start.z),
                        f3(ts.position.x, ts.position.y, ts.position.z));
    }
    if (onWindowUpdate) onWindowUpdate(0, 0, window_.width(), window_.height());
    (void)b;
    // The cut at the dragged position.
    if (s_.stock.cuttingEnabled) {
        std::lock_guard lk(s_.stockMutex);
        applyMillCut(s_.stockGrid, s_.stock, s_.tools.workingTool, s_.tools.profile, ts.position, false);
    }
}

void SceneComposer::drawMagnifierFrame(int cx, int cy, int hw, int hh) {
    const int64_t l = int64_t{cx} - hw, r = int64_t{cx} + hw, t = int64_t{cy} - hh, b = int64_t{cy} + hh;
    auto clampPx = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, -(1 << 20), 1 << 20));
    };
    const int32_t x0 = clampPx(l), x1 = clampPx(r), y0 = clampPx(t), y1 = clampPx(b);
    const uint32_t pen = s_.colours[1];
    const ClipRect clip{0, 0, window_.width() - 1, window_.height() - 1};
    paintLine2D(window_, pen, clip, x0, y0, x1, y0);
    paintLine2D(window_, pen, clip, x1, y0, x1, y1);
    paintLine2D(window_, pen, clip, x1, y1, x0, y1);
    paintLine2D(window_, pen, clip, x0, y1, x0, y0);
    const PixelRect area = PixelRect{x0, y0, x1, y1}.clippedTo(window_.width(), window_.height());
    if (!area.empty() && onWindowUpdate)
        onWindowUpdate(area.left, area.top, area.right - area.left + 1, area.bottom - area.top + 1);
}

// --- Playback -------------------------------------------------------------------------------

void SceneComposer::snapshotBackground() {
    background_.resize(scene_.width(), scene_.height());
    background_.copyRect(scene_.image(), 0, 0, scene_.width(), scene_.height(), 0, 0);
    backgroundDepth_.assign(
        static_cast<size_t>(scene_.width() + 1) * static_cast<size_t>(scene_.height() + 1), kFarDepth);
    for (int y = 0; y < scene_.height(); ++y)
        std::copy(scene_.depthRow(y), scene_.depthRow(y) + scene_.width() + 1,
                  backgroundDepth_.begin() + static_cast<ptrdiff_t>(y) * (scene_.width() + 1));
    scene_.background = &background_;
}

// The frame of a play is the window image itself: what is composed there is what the widget shows,
// so a step hands the widget its rectangles without copying them once more.
void SceneComposer::snapshotFrame() {
    window_.resize(scene_.width(), scene_.height());
    window_.copyRect(scene_.image(), 0, 0, scene_.width(), scene_.height(), 0, 0);
    outlinePixels_.clear();
}

void SceneComposer::showFrame() {
    if (onWindowUpdate) onWindowUpdate(0, 0, window_.width(), window_.height());
}

void SceneComposer::eraseOutline() {
    const uint32_t* src = scene_.image().row(0);
    uint32_t* dst = window_.row(0);
    const size_t n = static_cast<size_t>(window_.width()) * static_cast<size_t>(window_.height());
    if (scene_.width() == window_.width() && scene_.height() == window_.height()) {
        for (uint32_t o : outlinePixels_)
            if (o < n) dst[o] = src[o];
    }
    outlinePixels_.clear();
}

void SceneComposer::playStart(uint8_t mode) {
    mode_ = mode;
    pathStartOfPlay_ = s_.pos.tool.get();
    lastCopies_.clear();
    oldTool_ = PixelRect{};
    oldRestored_ = false;
    lastLatheValid_ = false;
    outlinePixels_.clear();
    moveEnds_ = 0;
    {
        std::lock_guard lk(s_.stockMutex);
        lowestNode_ = isMilling(kind()) ? lowestHeight(s_.stock, s_.stockGrid) : 0;
        s_.stockChanges.clear();
        drawnNX_ = drawnNY_ = -1;
        drawnHeights_.clear();
        if (isMilling(kind())) {
            const int nx = latticeNodesX(s_.stock), ny = latticeNodesY(s_.stock);
            if (nx >= 0 && ny >= 0 && nx <= kStockMaxIndex && ny <= kStockMaxIndex) {
                drawnNX_ = nx;
                drawnNY_ = ny;
                drawnHeights_.resize(static_cast<size_t>(nx + 1) * static_cast<size_t>(ny + 1));
                for (int ix = 0; ix <= nx; ++ix)
                    std::copy(s_.stockGrid.row(ix), s_.stockGrid.row(ix) + ny + 1,
                              drawnHeights_.begin() + static_cast<ptrdiff_t>(ix) * (ny + 1));
            }
        }
    }
    DisplaySwitches& d = s_.display;
    const bool toolOn = d.tool_on, holderOn = d.holder_on;
    const int32_t stockShown = s_.stock.visible;
    frameInUse_ = toolOn || holderOn || stockShown != 0 || d.kikai_on;
    // The still picture holds the machine without its moving parts (spindle, turret, turning jaws,
    // wire guides): they are drawn at each step over it.
    machineMovingApart_ = true;
    s_.machine.spindleShown = false;
    if (isMilling(kind()) || isWire(kind())) {
        d.tool_on = false;
        d.holder_on = false;
        s_.stock.visible = 0;
        repaintScene();
        snapshotBackground();
        s_.stock.visible = stockShown;
        if (stockShown != 0 && isMilling(kind())) {
            std::lock_guard lk(s_.stockMutex);
            DrawContext ctx(scene_, s_.view);
            drawStockSurfaceModel(ctx, s_.view, s_.stock, s_.stockGrid, kind(), s_.colours[9],
                                  s_.display.zaiwyer_on, false);
        } else if (stockShown != 0) {
            DrawContext ctx(scene_, s_.view);
            drawStockShape(ctx, s_.view, s_.stock, kind(), s_.colours[9], s_.display.zaiwyer_on, false);
        }
        d.tool_on = toolOn;
        d.holder_on = holderOn;
        if (frameInUse_) snapshotFrame();
    } else {
        const bool turret = s_.machine.showTurret;
        d.tool_on = false;
        d.holder_on = false;
        s_.machine.showTurret = false;
        lathePlaying_ = false;
        const int32_t saved = s_.stock.visible;
        s_.stock.visible = 0;
        repaintScene();
        snapshotBackground();
        s_.stock.visible = saved;
        d.tool_on = toolOn;
        d.holder_on = holderOn;
        s_.machine.showTurret = turret;
        lathePlaying_ = isLathePlayMode(mode);
        repaintScene();
        if (frameInUse_) snapshotFrame();
    }
    s_.machine.spindleShown =
        isTurning(kind()) ? s_.machine.showTurret.load() : s_.machine.showSpindle.load();
    playing_ = true;
    s_.view.lightGain = 1.0f;
    showScene();
}

void SceneComposer::redrawStockWindow(const PixelRect& rect, const LatticeWindow& win,
                                      const std::vector<PixelRect>* areas) {
    if (rect.empty()) return;
    // Bring back the still background (pixels and depth) inside the rectangle, then draw the cells
    // that can show there with the depth test: the result is the full mesh over the background.
    const int W = scene_.width();
    auto restore = [&](const PixelRect& r) {
        for (int y = r.top; y <= r.bottom; ++y) {
            if (y < background_.height() && r.right < background_.width()) {
                std::copy(background_.row(y) + r.left, background_.row(y) + r.right + 1,
                          scene_.image().row(y) + r.left);
            }
            if (!backgroundDepth_.empty()) {
                const float* src =
                    backgroundDepth_.data() + static_cast<size_t>(y) * static_cast<size_t>(W + 1);
                std::copy(src + r.left, src + r.right + 1, scene_.depthRow(y) + r.left);
            }
        }
    };
    stockAreaClips_.clear();
    if (areas) {
        for (const PixelRect& r : *areas) {
            restore(r);
            stockAreaClips_.push_back({r.left - 1, r.top - 1, r.right + 1, r.bottom + 1});
        }
    } else {
        restore(rect);
    }
    if (win.empty()) return;
    ViewState& view = s_.view;
    view.lightGain = 2.5f;
    DrawContext ctx(scene_, view);
    // The fill leaves the last row and column of a clip rectangle to the neighbouring rectangle, so
    // the cells are drawn one pixel wider than what was restored; outside the restored area the
    // depth test keeps what is already there (a surface drawn again there is not nearer than itself).
    drawStockMesh(ctx, s_.stock, s_.stockGrid, s_.colours[9], s_.display.zaiwyer_on,
                  {rect.left - 1, rect.top - 1, rect.right + 1, rect.bottom + 1}, win,
                  areas ? &stockAreaClips_ : nullptr);
    view.lightGain = 1.0f;
}

bool SceneComposer::changedNodeAreas(const StockChange& change, std::vector<PixelRect>& areas,
                                     PixelRect& bounds, double& lowest) {
    areas.clear();
    bounds = PixelRect{};
    const StockSpec& st = s_.stock;
    const StockGrid& g = s_.stockGrid;
    const int NX = drawnNX_, NY = drawnNY_;
    if (NX < 0 || NX != latticeNodesX(st) || NY != latticeNodesY(st)) return false;
    const int x0 = std::clamp(change.ixMin, 0, NX), x1 = std::clamp(change.ixMax, 0, NX);
    const int y0 = std::clamp(change.iyMin, 0, NY), y1 = std::clamp(change.iyMax, 0, NY);
    auto drawn = [&](int ix, int iy) -> float& {
        return drawnHeights_[static_cast<size_t>(ix) * static_cast<size_t>(NY + 1) + static_cast<size_t>(iy)];
    };
    // The nodes whose height is not what the picture shows.
    constexpr size_t kMaxListed = 48;
    thread_local std::vector<std::pair<int, int>> nodes;
    nodes.clear();
    bool tooMany = false;
    for (int ix = x0; ix <= x1; ++ix) {
        const float* r = g.row(ix);
        for (int iy = y0; iy <= y1; ++iy) {
            if (r[iy] == drawn(ix, iy)) continue;
            if (nodes.size() == kMaxListed) {
                tooMany = true;
                break;
            }
            nodes.emplace_back(ix, iy);
        }
        if (tooMany) break;
    }
    const int W = scene_.width(), H = scene_.height();
    float lo = std::numeric_limits<float>::max();
    for (const auto& [nx, ny] : nodes) {
        if (tooMany) break;
        // The four cells around the node, before and after: nodes one either side, heights from the
        // lowest now to the highest drawn (a height only goes down).
        const int ax = std::max(nx - 1, 0), bx = std::min(nx + 1, NX), ay = std::max(ny - 1, 0),
                  by = std::min(ny + 1, NY);
        float zl = std::numeric_limits<float>::max(), zh = 0;
        for (int ix = ax; ix <= bx; ++ix)
            for (int iy = ay; iy <= by; ++iy) {
                zl = std::min(zl, g.height(ix, iy));
                zh = std::max({zh, g.height(ix, iy), drawn(ix, iy)});
            }
        lo = std::min(lo, zl);
        // The outer walls reach down to the stock bottom.
        if (ax == 0 || ay == 0 || bx == NX || by == NY) zl = 0;
        // A corner behind the eye: the cells may show anywhere.
        const std::optional<PixelRect> box = screenBoxOf(s_.view, st, ax, bx, ay, by, zl, zh);
        PixelRect r = box ? *box : PixelRect{0, 0, W - 1, H - 1};
        r = r.widened(2).clippedTo(W, H);
        if (r.empty()) continue;
        // Neighbouring nodes give overlapping rectangles: one that holds another's replaces it.
        bool merged = false;
        for (PixelRect& a : areas) {
            PixelRect u = a;
            u.unite(r);
            if (u.area() <= a.area() + r.area()) {
                a = u;
                merged = true;
                break;
            }
        }
        if (!merged) areas.push_back(r);
        bounds.unite(r);
    }
    // The picture is brought up to date over the whole change (the caller draws it, one way or the
    // other), so the drawn heights follow.
    for (int ix = x0; ix <= x1; ++ix) std::copy(g.row(ix) + y0, g.row(ix) + y1 + 1, &drawn(ix, y0));
    if (tooMany) {
        areas.clear();
        bounds = PixelRect{};
        return false;
    }
    if (lo != std::numeric_limits<float>::max()) lowest = std::max(0.0f, lo);
    return true;
}

PixelRect SceneComposer::stockChangeRect(const StockChange& change, double& lowest) const {
    const StockSpec& st = s_.stock;
    const StockGrid& g = s_.stockGrid;
    const int NX = latticeNodesX(st), NY = latticeNodesY(st);
    const int W = scene_.width(), H = scene_.height();
    // A lowered node tilts every cell it is a corner of: the nodes one beyond the change bound them.
    const int x0 = std::clamp(change.ixMin - 1, 0, NX), x1 = std::clamp(change.ixMax + 1, 0, NX);
    const int y0 = std::clamp(change.iyMin - 1, 0, NY), y1 = std::clamp(change.iyMax + 1, 0, NY);
    if (NX <= 0 || NY <= 0 || x0 > x1 || y0 > y1) return {};
    float lo = g.height(x0, y0), hi = change.highestLowered;
    for (int ix = x0; ix <= x1; ++ix) {
        const float* r = g.row(ix);
        for (int iy = y0; iy <= y1; ++iy) {
            lo = std::min(lo, r[iy]);
            hi = std::max(hi, r[iy]);
        }
    }
    lowest = std::max(0.0f, lo);
    // The outer walls reach down to the stock bottom.
    if (x0 == 0 || y0 == 0 || x1 == NX || y1 == NY) lo = 0;
    // A corner behind the eye or far outside: the changed cells may show anywhere.
    const std::optional<PixelRect> box = screenBoxOf(s_.view, st, x0, x1, y0, y1, lo, hi);
    if (!box) return PixelRect{0, 0, W - 1, H - 1};
    const PixelRect r = *box;
    return r.widened(2).clippedTo(W, H);
}

void SceneComposer::millStep(const Vec3& pos, bool drawDue) {
    if (!playing_ || !drawDue || !isMilling(kind())) return;
    composeMillStep(pos);
    // The position labels follow the tool wherever it was drawn.
    updatePositionReadout();
}

void SceneComposer::composeMillStep(const Vec3& pos) {
    lastCopies_.clear();
    ToolScene ts = toolScene();
    ts.position = pos;
    const int W = scene_.width(), H = scene_.height();
    // The cells the cuts changed since the last drawing: back to the background there, then the mesh
    // of every cell that can show there, depth-tested. `stockCopies` are the rectangles of the scene
    // image that changed, to be copied to the window (the mesh may touch one pixel beyond a restored
    // rectangle, see redrawStockWindow).
    std::vector<PixelRect> stockCopies;
    {
        std::lock_guard lk(s_.stockMutex);
        const StockChange change = s_.stockChanges;
        s_.stockChanges.clear();
        if (!change.empty()) {
            double lowest = lowestNode_;
            PixelRect bounds;
            const bool listed = changedNodeAreas(change, stockAreas_, bounds, lowest);
            if (s_.stock.visible != 0) {
                if (listed) {
                    lowestNode_ = std::min(lowestNode_, lowest);
                    if (!bounds.empty()) {
                        redrawStockWindow(bounds, latticeWindowFor(s_.view, s_.stock, bounds, lowestNode_),
                                          &stockAreas_);
                        for (const PixelRect& r : stockAreas_)
                            stockCopies.push_back(r.widened(1).clippedTo(W, H));
                    }
                } else {
                    const PixelRect stockRect = stockChangeRect(change, lowest);
                    lowestNode_ = std::min(lowestNode_, lowest);
                    if (!stockRect.empty()) {
                        redrawStockWindow(stockRect,
                                          latticeWindowFor(s_.view, s_.stock, stockRect, lowestNode_));
                        stockCopies.push_back(stockRect.widened(1).clippedTo(W, H));
                    }
                }
            }
        }
    }
    const Vec3 tip = millingTipPoint(ts.tool, pos);
    const bool below = tip.z <= static_cast<double>(s_.stock.offsetZ) + s_.stock.sizeZ;
    auto showStock = [&] {
        for (const PixelRect& r : stockCopies) copyToWindow(scene_.image(), r);
    };
    const bool machineMoves = s_.display.kikai_on;
    if (!(frameInUse_ && (ts.toolOn || ts.holderOn || machineMoves))) {
        showStock();
        return;
    }
    if (!below) {
        // Above the stock: the tool is erased once and the window left alone until it comes down.
        if (!oldRestored_) {
            eraseOutline();
            const PixelRect r = oldTool_.clippedTo(W, H);
            if (!r.empty()) {
                lastCopies_.push_back(r);
                if (onWindowUpdate) onWindowUpdate(r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1);
            }
        }
        oldRestored_ = true;
        oldTool_ = PixelRect{};
        showStock();
        return;
    }
    oldRestored_ = false;
    // The frame is the window image: put back the scene where the old outline was, bring in the
    // changed stock, draw the outline at the new place. Only the pixels that change are touched.
    eraseOutline();
    for (const PixelRect& r : stockCopies)
        window_.copyRect(scene_.image(), r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1, r.left,
                         r.top);
    const OutlineBounds b = drawToolOutline(&window_, s_.view, ts, spinPhase_, &outlinePixels_);
    spinPhase_ = advanceSpinPhase(spinPhase_, s_.modal.spindle);
    PixelRect newTool = b.tool;
    newTool.unite(b.holder);
    newTool.unite(drawMovingMachine(pos));
    newTool = newTool.clippedTo(W, H);
    // The widget repaints the old and the new tool rectangles, separately when that is less than their
    // union, and the changed stock.
    for (const PixelRect& r : toolCopyRects(oldTool_.clippedTo(W, H), newTool)) {
        lastCopies_.push_back(r);
        if (onWindowUpdate) onWindowUpdate(r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1);
    }
    for (const PixelRect& r : stockCopies) {
        lastCopies_.push_back(r);
        if (onWindowUpdate) onWindowUpdate(r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1);
    }
    oldTool_ = newTool;
}

bool SceneComposer::stepPlayMoveEnd(const Vec3& end) {
    if (!playing_ || !isMilling(kind())) return false;
    ++moveEnds_;
    const int64_t n = std::max<int64_t>(1, s_.play.speedStep);
    if (moveEnds_ % n != 0) return false;
    millStep(end, true);
    return true;
}

void SceneComposer::composeToolFrame() {
    millStep(s_.pos.tool.get(), true);
}

void SceneComposer::moveRepaint(uint8_t mode) {
    // The OpenGL view draws the whole scene for a lathe or wire play too (their software composition is
    // hidden under it).
    if (glViewActive()) {
        repaintScene();
        return;
    }
    if (!playing_) return;
    lastCopies_.clear();
    // The moving machine parts' outline of the last repaint goes first; they are drawn again last.
    const PixelRect oldMachine = lastMachine_;
    lastMachine_ = PixelRect{};
    const bool machineMoves = s_.display.kikai_on && (isTurning(kind()) || isWire(kind()));
    if (machineMoves) eraseOutline();
    if (isLathePlayMode(mode) && isTurning(kind())) {
        const uint32_t back = s_.colours.back();
        PixelRect dirty;
        if (lastLatheValid_) {
            dirty.unite(drawFlatLatheTool(scene_.image(), s_.view, lastLatheScene_, back, false));
            dirty.unite(drawFlatLatheTool(scene_.image(), s_.view, lastLatheScene_, back, true));
        }
        ToolScene ts = toolScene();
        if (ts.toolOn || ts.holderOn) {
            dirty.unite(drawFlatLatheTool(scene_.image(), s_.view, ts, s_.colours[7], false));
            lastLatheScene_ = ts;
            lastLatheValid_ = true;
        }
        copyToWindow(scene_.image(), dirty.widened(1));
    } else if (mode == kModeWire && isWire(kind())) {
        ToolScene ts = toolScene();
        DrawContext ctx(scene_, s_.view);
        ctx.window = &window_;
        ctx.penColour = 0x808080;
        const Vec3f a = f3(ts.position.x, ts.position.y, ts.tool.angleA);
        const Vec3f b = f3(ts.position.x, ts.position.y, ts.tool.angleB);
        drawOverlayLine(ctx, OverlayTarget::ScenePen, a, b);
        drawOverlayLine(ctx, OverlayTarget::Window, a, b);
        const ProjectedPoint pa = projectPoint(s_.view, Vec3{a.x, a.y, a.z});
        const ProjectedPoint pb = projectPoint(s_.view, Vec3{b.x, b.y, b.z});
        PixelRect r;
        if (!pa.clipped && !pb.clipped) {
            r.include(s_.view.originX + pa.px, s_.view.originY + pa.py);
            r.include(s_.view.originX + pb.px, s_.view.originY + pb.py);
        }
        r = r.widened(1).clippedTo(window_.width(), window_.height());
        if (!r.empty() && onWindowUpdate)
            onWindowUpdate(r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1);
    }
    if (machineMoves) {
        lastMachine_ = drawMovingMachine(s_.pos.tool.get());
        for (const PixelRect& r : toolCopyRects(oldMachine, lastMachine_)) {
            lastCopies_.push_back(r);
            if (onWindowUpdate) onWindowUpdate(r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1);
        }
    }
    updatePositionReadout();
}

void SceneComposer::playEnd(bool rebuildStock) {
    if (glViewActive() && !playing_) {
        repaintScene();
        return;
    }
    const bool wasLathe = lathePlaying_;
    playing_ = false;
    lathePlaying_ = false;
    machineMovingApart_ = false;
    lastMachine_ = PixelRect{};
    scene_.background = nullptr;
    if (rebuildStock && isMilling(kind())) {
        drawStockSurface();
    } else {
        ViewState& view = s_.view;
        DrawContext ctx(scene_, view);
        // The machine's moving parts where the play left them, solid again.
        if (s_.display.kikai_on)
            drawMachine(ctx, view, machineScene(s_.pos.tool.get()), s_.display.kikaiwyer_on,
                        MachinePartSet::Moving);
        if (!wasLathe && isMilling(kind())) {
            // The tool at the position it returned to, over the machined stock.
            ToolScene ts = toolScene();
            drawWorkingTool(ctx, view, ts);
            view.lightGain = 1.0f;
        }
    }
    background_ = Image32();
    backgroundDepth_.clear();
    backgroundDepth_.shrink_to_fit();
    outlinePixels_.clear();
    frameInUse_ = false;
    // A resize (or another repaint) asked for during the play is taken now.
    const bool asked = repaintAfterPlay_;
    repaintAfterPlay_ = false;
    if (asked || scene_.width() != area_.width || scene_.height() != area_.height) {
        sizeSceneArea();
        repaintScene();
        return;
    }
    showScene();
}

namespace {

// The points of a piece for drawing: its ends, or for an arc its run around the centre (extra turns of
// a helix included, the normal axis moving evenly), in steps of at most 5 degrees.
std::vector<Vec3> piecePolyline(const MotionSegment& piece) {
    const bool arc = piece.moveKind == kMoveArcCW || piece.moveKind == kMoveArcCCW;
    if (!arc || !(piece.radius > 0) || !std::isfinite(piece.radius) || !isFinite(piece.centre))
        return {piece.start, piece.end};
    const PlaneAxes ax = planeAxes(piece.plane);
    const double ca = axisValue(piece.centre, ax.a), cb = axisValue(piece.centre, ax.b);
    const double twoPi = 2 * 3.14159265358979323846;
    double ts = std::atan2(axisValue(piece.start, ax.b) - cb, axisValue(piece.start, ax.a) - ca);
    double te = std::atan2(axisValue(piece.end, ax.b) - cb, axisValue(piece.end, ax.a) - ca);
    const bool cw = piece.moveKind == kMoveArcCW;
    double sweep = cw ? ts - te : te - ts;
    while (sweep <= 1e-12) sweep += twoPi;
    const double turns = std::isfinite(piece.turns) && piece.turns > 1 ? std::min(piece.turns, 1000.0) : 1.0;
    sweep += (turns - 1) * twoPi;
    const int n = std::clamp(static_cast<int>(std::ceil(sweep / (twoPi / 72))), 1, 72 * 1000);
    const double n0 = axisValue(piece.start, ax.n), n1 = axisValue(piece.end, ax.n);
    std::vector<Vec3> pts;
    pts.reserve(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        const double f = static_cast<double>(i) / n;
        const double t = ts + (cw ? -1 : 1) * sweep * f;
        Vec3 p;
        setAxis(p, ax.a, ca + piece.radius * std::cos(t));
        setAxis(p, ax.b, cb + piece.radius * std::sin(t));
        setAxis(p, ax.n, n0 + (n1 - n0) * f);
        pts.push_back(p);
    }
    pts.back() = piece.end;
    return pts;
}

}  // namespace

const ToolPathData& SceneComposer::programPath() {
    static const ToolPathData none;
    if (!program_) return none;
    ToolPathOptions o;
    o.kind = kind();
    o.skipRapids = controls_ && controls_->has("menu_g0") && controls_->checked("menu_g0");
    o.diameterDivisor = s_.machine.diameterDivisor;
    // During a play the tool moves between full repaints; the path keeps the start it had when the
    // play began, so those repaints draw the path already made instead of making it again.
    o.start = playing_ ? pathStartOfPlay_ : s_.pos.tool.get();
    o.reference = s_.pos.reference;
    return pathCache_.get(*program_, o);
}

void SceneComposer::drawProgramPath(Image32& target) {
    const ToolPathData& path = programPath();
    if (path.runs.empty()) return;
    updateViewBasis(s_.view, kind());
    drawToolPath(target, {0, 0, target.width() - 1, target.height() - 1}, s_.view, path, pathColours());
}

PathColours SceneComposer::pathColours() const {
    PathColours c;
    c.feed = s_.colours[3];
    c.rapid = s_.colours[4];
    c.compensated = s_.colours[5];
    c.plunge = s_.colours[2];
    return c;
}

void SceneComposer::drawPathOnce() {
    // The OpenGL view draws the path into its next frame.
    if (glViewActive()) {
        glPathOnce_ = true;
        onGlRepaint();
        return;
    }
    if (window_.width() <= 0 || window_.height() <= 0) return;
    drawProgramPath(window_);
    if (onWindowUpdate) onWindowUpdate(0, 0, window_.width(), window_.height());
}

void SceneComposer::drawPathPiece(const MotionSegment& piece, bool rapid) {
    if (scene_.width() <= 0 || scene_.height() <= 0) return;
    const uint32_t colour = s_.colours[rapid ? 4 : 3];
    const ClipRect clip = scene_.fullClip();
    const std::vector<Vec3> pts = piecePolyline(piece);
    // Points far outside the image are left out rather than walked pixel by pixel.
    constexpr int32_t kFar = 1 << 20;
    struct Pixel {
        int32_t x, y;
        bool near;
    };
    auto pixel = [&](const Vec3& v) {
        const ProjectedPoint p = projectPoint(s_.view, v);
        const int64_t x = int64_t{s_.view.originX} + p.px, y = int64_t{s_.view.originY} + p.py;
        const bool near = x > -kFar && x < kFar && y > -kFar && y < kFar;
        return Pixel{static_cast<int32_t>(near ? x : 0), static_cast<int32_t>(near ? y : 0), near};
    };
    PixelRect dirty;
    Pixel prev = pixel(pts[0]);
    for (size_t i = 1; i < pts.size(); ++i) {
        const Pixel p = pixel(pts[i]);
        if (prev.near && p.near) {
            paintLine2D(scene_.image(), colour, clip, prev.x, prev.y, p.x, p.y, rapid);
            paintLine2D(window_, colour, clip, prev.x, prev.y, p.x, p.y, rapid);
            dirty.include(prev.x, prev.y);
            dirty.include(p.x, p.y);
        }
        prev = p;
    }
    ++pathPiecesDrawn_;
    const PixelRect r = dirty.clippedTo(std::min(scene_.width(), window_.width()),
                                        std::min(scene_.height(), window_.height()));
    if (!r.empty() && onWindowUpdate)
        onWindowUpdate(r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1);
}

}  // namespace vantrel
