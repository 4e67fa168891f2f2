// The image on the clipboard: a packed device-independent bitmap block (an information header
// followed by bottom-up pixel rows). Copying always publishes 24 bits per pixel; pasting takes 24
// and 32. The block logic below works on plain memory and is usable without any clipboard.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/pixel_image.h"

// Bytes WriteDibBlock fills for this image: the 40-byte header plus the 24-bit rows.
size_t DibBlockSize(const PixelImage& image);

// Lays the image out as a 24-bit block of exactly DibBlockSize(image) bytes, bottom row first,
// fill bytes 0 and fourth bytes dropped. Every byte of the block is written.
void WriteDibBlock(const PixelImage& image, uint8_t* block);

// Rebuilds the image from a 24- or 32-bit block of the given size. Anything else, or a block too
// short for what its header announces, is refused and leaves the image exactly as it was.
bool ReadDibBlock(PixelImage& image, const uint8_t* block, size_t size);

// Replaces the clipboard's contents with the image as a 24-bit block. Always true, and no caller
// reads it; *published (when given) tells whether the clipboard really took the block.
bool CopyToClipboard(const PixelImage& image, bool* published = nullptr);

// Takes the clipboard's bitmap into the image. False, with the image as it was, when the
// clipboard is busy or holds nothing usable.
bool PasteFromClipboard(PixelImage& image);
