#pragma once
// The stock in the scene: its nominal shape (the stock description as a solid), its machined state
// (the mesh through the lattice heights on the mills, a surface of revolution through the diameter
// profiles on the lathes) and the redraw of a lattice window during playback.
#include <array>
#include <cstdint>
#include <vector>

#include "core/machine_kind.h"
#include "render/primitives.h"
#include "scene/tool_models.h"
#include "stock/stock_spec.h"

namespace vantrel {

// Cells ixMin..ixMax x iyMin..iyMax (inclusive) of the lattice; empty when a max is below its min.
// A window cast from a screen rectangle also keeps the cast's outline (a convex polygon in lattice
// index units): seen at a slant, the rectangle covers a narrow slanted band of the lattice, and each
// row need only be walked where it crosses that band.
struct LatticeWindow {
    int ixMin = 0, ixMax = -1, iyMin = 0, iyMax = -1;
    std::array<double, 16> outline{};  // x0, y0, x1, y1, ... counter-clockwise
    int outlinePoints = 0;             // 0: every row runs over the whole window
    bool empty() const { return ixMax < ixMin || iyMax < iyMin; }
    void unite(const LatticeWindow& o);
    // The cells of row ix that may show, inside the window; first > last when none.
    void rowRange(int ix, int& first, int& last) const;
};

// NX, NY: the drawn nodes are 0..NX x 0..NY, the cells 0..NX-1 x 0..NY-1.
int latticeNodesX(const StockSpec& s);
int latticeNodesY(const StockSpec& s);
LatticeWindow fullLattice(const StockSpec& s);

// The nominal shape (light gain 2.5 while drawing). Turning kinds during a lathe play show the half
// section in the plane y = 0; `latheSnapshot` (the lathe play start's background) draws nothing.
void drawStockShape(DrawContext& ctx, ViewState& view, const StockSpec& s, MachineKind kind, uint32_t colour,
                    bool wire, bool lathePlaying, bool latheSnapshot = false);

// The mill mesh of the cells in `win`: top quads (runs of flat cells along Y merged into one quad),
// and the outer walls down to the stock bottom where the window touches the boundary. Depth-tested,
// front faces only, limited to `clip`; with `areas`, only quads that reach one of those rectangles.
// Returns the number of quads drawn.
int drawStockMesh(DrawContext& ctx, const StockSpec& s, const StockGrid& g, uint32_t colour, bool wire,
                  const ClipRect& clip, const LatticeWindow& win,
                  const std::vector<ClipRect>* areas = nullptr);

// The machined lathe stock: end face annulus and the outer and inner surfaces of revolution in 24
// sectors. Slices are read only inside 0..1000.
void drawLatheStockSurface(DrawContext& ctx, const StockSpec& s, const StockGrid& g, uint32_t colour,
                           bool wire);

// The whole machined state of the kind (light gain 2.5 while drawing). During a lathe play the half
// section is drawn instead.
void drawStockSurfaceModel(DrawContext& ctx, ViewState& view, const StockSpec& s, const StockGrid& g,
                           MachineKind kind, uint32_t colour, bool wire, bool lathePlaying);

// The stock through OpenGL (ctx.gl set), light gain 2.5 while drawing. Mills: the lattice mesh
// sampled every `step` millimetres (the pitch for the full density), the node at sample position t
// being trunc(t step / pitch) in each direction; flat runs along Y and the outer walls go as quads,
// other cells as two triangles. Lathes: the surface of revolution of drawLatheStockSurface. The wire
// EDM, which removes nothing: the nominal shape.
// Returns the sample counts along X and Y (zero on lathes).
struct GlStockSampling {
    int samplesX = 0, samplesY = 0;
};
GlStockSampling drawStockGL(DrawContext& ctx, ViewState& view, const StockSpec& s, const StockGrid& g,
                            MachineKind kind, uint32_t colour, bool wire, double step);
// The sampling step of the OpenGL stock: the pitch, or (sizeX + sizeY) / 100 while the view is dragged.
double glStockStep(const StockSpec& s, bool dragging);

// The cells whose surface may show inside the screen rectangle: the rectangle's corners cast onto the
// stock top and the stock bottom, converted to lattice indices, clipped to the lattice.
// `lowest` (above offsetZ) limits the depth of the cast when no node lies lower than it; the default
// casts down to the stock bottom.
LatticeWindow latticeWindowFor(const ViewState& view, const StockSpec& s, const PixelRect& rect,
                               double lowest = 0);
// The lowest node height of the drawn lattice (0 for an empty lattice).
float lowestHeight(const StockSpec& s, const StockGrid& g);

}  // namespace vantrel
