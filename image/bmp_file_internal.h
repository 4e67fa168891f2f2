// The BMP codec's row converters, open to the tests so that the vector road can be held against
// the plain one; the rest of the program calls only bmp_file.h.
#pragma once

#include <cstdint>

// True when this build converts rows with vector instructions.
bool HasVectorBmpRows();

// One file row of width 3-byte pixels (blue, green, red) into width 4-byte pixels whose fourth
// byte becomes 0. Reads exactly 3 x width bytes and writes exactly 4 x width.
void DecodeBmpRow(const uint8_t* file, uint8_t* pixels, int32_t width);
void DecodeBmpRowPlain(const uint8_t* file, uint8_t* pixels, int32_t width);

// The way back: width 4-byte pixels into 3 x width bytes, the fourth bytes dropped. Writes
// nothing past those bytes, so the fill at the row's end keeps its zeros.
void EncodeBmpRow(const uint8_t* pixels, uint8_t* file, int32_t width);
void EncodeBmpRowPlain(const uint8_t* pixels, uint8_t* file, int32_t width);
