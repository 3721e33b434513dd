#include "Monochrome.h"

namespace orvessa {

void ToMonochrome(std::uint8_t* firstRow, int width, int height, std::ptrdiff_t stride) {
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = firstRow + y * stride;
    for (int x = 0; x < width; ++x, p += 3) {
      // At most 25,500 before the division, so the quotient fits a byte.
      const unsigned gray = (59U * p[1] + 30U * p[2] + 11U * p[0]) / 100U;
      p[0] = p[1] = p[2] = static_cast<std::uint8_t>(gray);
    }
  }
}

}  // namespace orvessa
