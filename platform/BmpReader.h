// The Windows-bitmap reader.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Graphics.h"

// Decodes a Windows bitmap file held in memory into `target`, keeping what
// `drawSizes` need (every pixel when it is empty). Every variant a Windows
// bitmap may be (1, 2, 4, 8, 16, 24 and 32 bits, colour tables, bit fields,
// RLE4 and RLE8, top-down, all header versions) ends up as 24-bit pixels.
// A file whose header cannot be right raises EInvalidGraphic with
// kInvalidBitmapText; a recoverable flaw loads what can be recovered.
void ReadBmp(const std::uint8_t* data, std::size_t size, TBitmap& target, const TDrawSizes& drawSizes);
