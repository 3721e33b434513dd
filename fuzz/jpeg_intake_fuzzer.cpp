// Feeds arbitrary bytes to the JPEG intake the way the main window does: read
// the header, decode for the photo's draw sizes, gray and draw the result.
//
// A refusal (EJPEG, or EInvalidGraphic for a picture too large) is a fine
// answer; any other exception, a sanitizer report, running out of the memory
// limits given to libFuzzer or its timeout is a bug.
//
// When bit 0 of the last byte is set, as in the 0xD9 that ends every whole
// file (libjpeg reads nothing after it, and libFuzzer flips the bit often), a
// picture of moderate size is also decoded in full and the two are drawn side
// by side: they must give the same pixels.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <vector>

#include "Exceptions.h"
#include "IntakeChecks.h"
#include "JpegImage.h"

namespace {

// Decodes `jpeg` for `drawSizes`; false when the picture is refused.
bool Decode(TJPEGImage& jpeg, const TDrawSizes& drawSizes, TBitmap& bitmap) {
  jpeg.DrawSizes = drawSizes;
  try {
    bitmap.Assign(&jpeg);
  } catch (const EJPEG&) {
    return false;
  } catch (const EInvalidGraphic&) {
    return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool crossCheck = size > 0 && (data[size - 1] & 1U) != 0;
  try {
    TJPEGImage jpeg;
    try {
      jpeg.LoadFromData(std::vector<std::uint8_t>(data, data + size));
    } catch (const EJPEG&) {
      return 0;
    }
    const int width = jpeg.Width();
    const int height = jpeg.Height();

    TBitmap photo;
    if (!Decode(jpeg, fuzzcheck::PhotoDrawSizes(), photo)) return 0;
    fuzzcheck::Expect(photo.Width() == width && photo.Height() == height, "decoded size differs from the header's");
    fuzzcheck::CheckShape(photo);
    fuzzcheck::RunDrawSteps(photo);

    if (crossCheck && static_cast<long long>(width) * height <= fuzzcheck::kMaxCrossCheckPixels) {
      TBitmap full;
      fuzzcheck::Expect(Decode(jpeg, {}, full), "refused in full although it loaded for its draw sizes");
      fuzzcheck::CheckShape(full);
      fuzzcheck::Expect(!full.IsSampled(), "a full decode kept only samples");
      fuzzcheck::CheckSameDrawing(full, photo);
    }
  } catch (const std::exception& e) {
    fuzzcheck::UnexpectedException(e);
  }
  return 0;
}
