// The ways inside the whole-image pass, open to the tests so that each can be held against
// AddToPixel on its own; the rest of the program calls only pixel_addition.h.
#pragma once

#include "image/pixel_addition.h"

// The whole-image pass in plain C++, with no vector instructions: the only way of builds
// without SSE2, and what the vector way must match pixel for pixel.
void AddToWholeImagePlain(PixelImage& image, const AdjustSettings& settings);
