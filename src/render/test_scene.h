#pragma once
// A fixed scene of every kind of shape and primitive, drawn by the software renderer, so that a person
// can look at what the rasteriser produces (`vantrel-sim render-test OUT.png`) and the benchmarks have a
// realistic full frame to time.
#include "core/image32.h"
#include "render/frame_buffer.h"
#include "render/view_state.h"

namespace vantrel {

// The camera of the test scene for a w x h image: the vertical mill's start-up angles, the origin in
// the middle of the image.
ViewState testSceneView(int w, int h);

// Clears the frame buffer to white and draws the scene with the given view into it (no allocation when
// the buffer already has the size).
void drawTestScene(FrameBuffer& fb, const ViewState& view);

Image32 renderTestScene(int w, int h);

}  // namespace vantrel
