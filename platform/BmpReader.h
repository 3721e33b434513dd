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

// Bitmap files are read whole, but a file may be far longer than its header
// says it needs (a renamed disk image, a picture with gigabytes appended).
// Given at least the first kBmpHeadBytes of a file, this is how many bytes
// from its start can matter to ReadBmp; the rest does not change the result
// for any file a real writer makes (only a stream padded with do-nothing
// RLE moves could reach further).
inline constexpr std::size_t kBmpHeadBytes = 4096;
std::uint64_t BmpBytesWanted(const std::uint8_t* head, std::size_t size);
