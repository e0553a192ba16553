#pragma once
// The background picture behind the scene: centred at its own size (mode 1) or stretched to fit the
// image with its proportions kept (mode 2).
#include "core/image32.h"

namespace vantrel {

// Where mode 2 puts the picture: the largest rectangle of the picture's proportions inside a
// width x height image, centred along the other axis, edges truncated to whole pixels (right and
// bottom exclusive). Empty (left == right) when either image is empty.
struct PictureRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};
PictureRect fittedPictureRect(int width, int height, int pictureWidth, int pictureHeight);

// Draws `picture` into `target`. Mode 1: unscaled; along each axis a smaller picture is centred at
// (image - picture) / 2 and a larger one cropped symmetrically to its middle part. Mode 2: stretched
// into fittedPictureRect (nearest pixel). Any other mode, or an empty picture, draws nothing.
void placePicture(Image32& target, const Image32& picture, int mode);

}  // namespace vantrel
