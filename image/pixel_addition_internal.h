// The roads inside the whole-image pass, open to the tests so that each can be held against
// AddToPixel on its own; the rest of the program calls only pixel_addition.h.
#pragma once

#include "image/pixel_addition.h"

// True when this build runs the whole-image pass on vector instructions (x86-64 and any x86
// build with SSE2); false where only the plain road exists.
bool HasVectorAddition();

// The whole-image pass in plain C++, with no vector instructions: the only road of builds
// without SSE2, and what the vector road must match pixel for pixel.
void AddToWholeImagePlain(PixelImage& image, const AdjustSettings& settings);
