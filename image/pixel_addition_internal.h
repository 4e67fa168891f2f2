// The whole-image addition without vector instructions, open to the tests and the benchmarks so
// that it is held to the same model as the vector way and timed beside it; the rest of the
// program calls only pixel_addition.h.
#pragma once

#include "image/pixel_addition.h"

// The whole image in plain C++, through one table per channel: what AddToWholeImage runs in
// builds without SSE2. In SSE2 builds only the tests and the benchmarks call it.
void AddToWholeImagePlain(PixelImage& image, const AdjustSettings& settings);
