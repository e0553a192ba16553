#pragma once
// The scene of the main window: the off-screen images, the master repaint with its fixed layer order,
// the window layout around the scene area, and the composition used while a program plays (a still
// background, the stock updated cell by cell, a frame image in which the moving tool is drawn so
// that only the rectangles around the tool reach the window).
//
// Everything here runs on the UI thread. The window image is what the scene widget shows; every
// change to it is announced through onWindowUpdate with the rectangle that changed, so the widget
// repaints only that rectangle.
#include <functional>
#include <vector>
#include "core/version.h"

#include "app/app_state.h"
#include "app/tool_path_pass.h"
#include "app/view_commands.h"
#include "core/control_set.h"
#include "nc/motion.h"
#include "platform/text_painter.h"
#include "render/frame_buffer.h"
#include "render/gl_renderer.h"
#include "scene/holder_profile.h"
#include "scene/machine_models.h"
#include "scene/stock_surface.h"
#include "scene/tool_change_frames.h"
#include "scene/tool_models.h"

namespace vantrel {

inline constexpr const char* kCaptionDrawing = "描画中…";
inline constexpr const char* kCaptionIdle = kMainWindowCaption;
inline constexpr int kPanelRightWidth = 130;  // Panel3
inline constexpr int kPanelBottomHeight = 29;
// A tiny grid interval must not ask for millions of lines.
inline constexpr int64_t kMaxGridLines = 4000;

// Where the scene area lies in the client area.
struct SceneArea {
    int left = 0, top = 0, width = 1, height = 1;
};

// The rectangles to copy for a tool move: the old and new rectangles separately when their areas sum
// to less than their union's, else the union alone.
std::vector<PixelRect> toolCopyRects(const PixelRect& oldRect, const PixelRect& newRect);

// The scene area for a client area: panels shown take the left and top offsets, the right panel and
// the bottom bar; hidden panels leave the whole client area. Never below 1 x 1.
SceneArea sceneAreaFor(int clientWidth, int clientHeight, int leftOffset, int topOffset, bool panelsHidden);

// The grid line count along one axis: trunc(size / interval) + 1, computed in 64 bits and capped.
int64_t gridLineCount(double size, double interval);

// The font size of an axis label: trunc(scale x 10000 / distance), clamped to 1..500 points.
int axisLabelFontSize(double scale, double distance);

class SceneComposer {
  public:
    explicit SceneComposer(AppState& s);

    void setControls(ControlSet* c) { controls_ = c; }
    // The program whose path the path display draws (none: no path).
    void setProgram(const TQuonStrings* program) { program_ = program; }
    void setTextPainter(TextPainter* p) { painter_ = p; }
    // Called after pixels of window() changed (x, y, w, h).
    std::function<void(int, int, int, int)> onWindowUpdate;

    FrameBuffer& scene() { return scene_; }
    const Image32& window() const { return window_; }
    Image32& window() { return window_; }
    HolderProfileState& holder() { return holder_; }
    bool panelsHidden() const { return panelsHidden_; }
    SceneArea area() const { return area_; }
    float spinPhase() const { return spinPhase_; }

    // The values the tool models read, from the state.
    ToolScene toolScene() const;
    // The values the machine models read, from the state (the tool at `tool`).
    MachineScene machineScene(const Vec3& tool) const;
    // What the view commands need to know of the scene: the machine, the scene area, the tool and the
    // stock.
    ViewEnvironment viewEnvironment(bool playing = false) const;

    // The mouse wheel over the scene (zoom about the pointer); nothing while a play runs, whose drawing
    // keeps the view it started with. The caller applies the returned update like any view command's.
    ViewUpdate wheel(int delta, int x, int y, bool playing);
    // The working tool as the mouse's tool drag sees it (read on the UI thread, which owns the tools).
    ToolPose toolPose() const;

    // --- Window layout -----------------------------------------------------------------------
    // The resize event with the client size: places the panels, sizes the scene area and repaints when
    // the window is ready.
    void layoutWindow(int clientWidth, int clientHeight);
    // Places the scene area and sizes the images (kept while a play runs).
    void sizeSceneArea();
    // Sizes the scene area directly (a window system that lays the panels out itself reports the scene
    // widget's size here); kept while a play runs like sizeSceneArea.
    void setSceneSize(int width, int height);
    // Hides or shows the panels around the scene, keeping the drawn scene where it was on the screen.
    void togglePanels();

    // --- Repaint -----------------------------------------------------------------------------
    // The master repaint: background, grid, stock shape, CAD layer, axes, tool and holder, readout;
    // then the whole scene image is copied to the window.
    // While a play runs the picture is the play's: a repaint asked for then (a resize) is made when
    // the play ends.
    void repaintScene();
    // --- OpenGL view ---------------------------------------------------------------------------
    // With the OpenGL switch on, a repaint asks the OpenGL view for a frame through this (the view
    // then calls renderSceneGL with its context current); unset, the software picture is made.
    std::function<void()> onGlRepaint;
    bool glViewActive() const { return s_.openGlOn.load() && static_cast<bool>(onGlRepaint); }
    // The whole scene into the current OpenGL context: tool and holder, stock, axes, grid, machine,
    // CAD elements, then the tool path over everything. Returns the stock's sample counts.
    GlStockSampling renderSceneGL(const GlApi& api, const GlFrame& frame);

    // The paint event: copies the scene image to the window (nothing is redrawn).
    void showScene();
    // The program's path onto the visible view only: the next repaint removes it.
    void drawPathOnce();
    // The path as the display draws it now (made again when the program or the options changed).
    const ToolPathData& programPath();
    int64_t pathPasses() const { return pathCache_.passes(); }
    // The machined stock in full ("材料内部状態表示").
    void drawStockSurface();
    // After a headless play: the machined stock in full (mills and lathes) and the tool where it
    // stands, shown in the window image.
    void showPlayedResult();
    void updatePositionReadout();
    // After a left-button tool drag step (mills): imprint, copy, outline, cut at the tool.
    void quickToolRedraw();
    // The area a pending magnifier zoom will fill, outlined on the window only (the scene image keeps
    // no trace of it, so the next repaint removes it).
    void drawMagnifierFrame(int centreX, int centreY, int halfWidth, int halfHeight);

    // --- Playback composition (UI thread) --------------------------------------------------------
    void playStart(uint8_t mode);
    void snapshotBackground();
    void snapshotFrame();
    void showFrame();
    // One milling step: the stock cells the cuts changed since the last drawing (collected in
    // AppState::stockChanges) and the tool frame.
    void millStep(const Vec3& pos, bool drawDue);
    // Step play: a move has ended; every n-th end (n from the step-play drawing interval) draws what
    // the moves since the last drawing changed. True when it drew.
    bool stepPlayMoveEnd(const Vec3& end);
    void composeToolFrame();
    // The tool changer's frames for a change from one milling store entry to another; none when the
    // entries are the same or missing, when neither tool nor holder is shown, or with OpenGL on.
    std::vector<ToolChangeFrame> toolChangeFrameList(int32_t fromIndex, int32_t toIndex) const;
    // One frame: the scene copied into the frame image, both tools with their holders drawn as
    // outlines at the frame's positions, the frame shown.
    void showToolChangeFrame(int32_t fromIndex, int32_t toIndex, const ToolChangeFrame& frame);
    // The lathe and wire repaint when the tool's pixel changes.
    void moveRepaint(uint8_t mode);
    // Path drawing during play: the piece goes into the scene image (where it stays until the next full
    // repaint) and the window image; feeds solid, rapids dotted, arcs as arcs.
    void drawPathPiece(const MotionSegment& piece, bool rapid);
    int64_t pathPiecesDrawn() const { return pathPiecesDrawn_; }
    void playEnd(bool rebuildStock);
    bool playing() const { return playing_; }
    // The window image's rectangles copied during the last step (for tests and the benchmark).
    const std::vector<PixelRect>& lastCopies() const { return lastCopies_; }
    int64_t fullWindowCopies() const { return fullWindowCopies_; }

  private:
    void copyToWindow(const Image32& src, const PixelRect& r);
    void drawGrid(DrawContext& ctx);
    void drawAxes(DrawContext& ctx);
    void drawArcOverlay(DrawContext& ctx);
    // The machine layer: every part, or while a play runs only the still ones (the moving parts are
    // drawn at each step instead). Advances the chuck phase when turning jaws were drawn.
    void drawMachineLayer(DrawContext& ctx);
    // The moving machine parts at `tool` as outlines into the window image, recorded with the tool's
    // outline; returns their bounds (empty when the machine is hidden).
    PixelRect drawMovingMachine(const Vec3& tool);
    void drawReadoutOverlay(Image32& target);
    // `areas`: when given, only they are restored and only quads reaching them drawn (the depth test
    // keeps the rest of the rectangle as it was).
    void redrawStockWindow(const PixelRect& rect, const LatticeWindow& win,
                           const std::vector<PixelRect>* areas = nullptr);
    // The screen rectangles of the cells around each node whose height differs from what was last
    // drawn, and their bounds; the drawn heights are brought up to date over the change. False when
    // there are too many such nodes to list (the change's bounding rectangle serves then).
    bool changedNodeAreas(const StockChange& change, std::vector<PixelRect>& areas, PixelRect& bounds,
                          double& lowest);
    void composeMillStep(const Vec3& pos);
    // The screen rectangle that holds every cell touching the changed nodes, before and after the
    // cuts; `lowest` receives the lowest height (above the stock bottom) of those cells.
    PixelRect stockChangeRect(const StockChange& change, double& lowest) const;
    // Puts the scene's pixels back where the tool outline was drawn into the window image.
    void eraseOutline();
    MachineKind kind() const { return s_.machineKind; }

    void drawProgramPath(Image32& target);
    // The path display's colours from the palette.
    PathColours pathColours() const;

    AppState& s_;
    ControlSet* controls_ = nullptr;
    const TQuonStrings* program_ = nullptr;
    ToolPathCache pathCache_;
    Vec3 pathStartOfPlay_;
    TextPainter* painter_ = nullptr;
    FrameBuffer scene_;
    Image32 window_;
    Image32 background_;
    std::vector<float> backgroundDepth_;
    // During a play the window image is the frame: the scene plus the tool outline, whose pixels are
    // listed here so that the next step puts back exactly those.
    bool frameInUse_ = false;
    // While a play runs the still picture leaves out the machine's moving parts.
    bool machineMovingApart_ = false;
    PixelRecord outlinePixels_;
    // The lattice heights as the scene image shows them (nodes 0..drawnNX_ x 0..drawnNY_), so that a
    // step redraws around the nodes that really changed; and the rectangles of the last step.
    std::vector<float> drawnHeights_;
    int drawnNX_ = -1, drawnNY_ = -1;
    std::vector<PixelRect> stockAreas_;
    std::vector<ClipRect> stockAreaClips_;
    int64_t moveEnds_ = 0;
    HolderProfileState holder_;
    SceneArea area_;
    bool panelsHidden_ = false;
    float spinPhase_ = 0;
    int64_t pathPiecesDrawn_ = 0;
    bool glPathOnce_ = false;  // the next OpenGL frame draws the path (drawPathOnce)

    // Playback state.
    bool playing_ = false;
    bool repaintAfterPlay_ = false;
    uint8_t mode_ = kModeIdleComposer;
    static constexpr uint8_t kModeIdleComposer = 10;
    PixelRect oldTool_;
    double lowestNode_ = 0;  // no lattice node lies lower than this during the play (above offsetZ)
    bool oldRestored_ = false;
    bool lathePlaying_ = false;
    PixelRect lastLathe_, lastLatheMirror_;
    PixelRect lastMachine_;  // the moving machine parts' outline of the last lathe or wire repaint
    ToolScene lastLatheScene_;
    bool lastLatheValid_ = false;
    std::vector<PixelRect> lastCopies_;
    int64_t fullWindowCopies_ = 0;
};

}  // namespace vantrel
