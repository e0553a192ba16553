#pragma once
// The background picture pasted on a plane of the scene ("平面に貼り付け"): one pixel per millimetre,
// centred on the world origin; on the mills in the plane Z = the stock bottom with picture columns along
// +X and rows along -Y, on the lathes in the plane Y = 0 with columns along +Z and rows along -X. The
// wire EDM machine gets no picture. Written with the depth test, so the scene drawn later covers it
// where it is nearer.
#include "core/image32.h"
#include "core/machine_kind.h"
#include "render/frame_buffer.h"
#include "render/view_state.h"

namespace vantrel {

// Returns the number of pixels written. `view.basis` must be current (updateViewBasis).
int64_t pastePictureOnPlane(FrameBuffer& fb, const ViewState& view, const Image32& picture, MachineKind kind,
                            double stockBottom);

}  // namespace vantrel
