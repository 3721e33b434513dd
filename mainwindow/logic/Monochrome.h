// The gray conversion of the monochrome edition.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvessa {

// In place on rows of blue-green-red triples: gray = (59 G + 30 R + 11 B) / 100,
// truncated, stored into all three bytes. `stride` is the distance in bytes
// from one row to the next.
void ToMonochrome(std::uint8_t* firstRow, int width, int height, std::ptrdiff_t stride);

}  // namespace orvessa
