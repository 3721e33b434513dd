// Feeds arbitrary bytes to the Windows-bitmap reader the way the main window
// does (a .bmp file goes through TBitmap::LoadFromFile with the photo's draw
// sizes), then grays and draws the result.
//
// EInvalidGraphic is the reader's one way of refusing a file; any other
// exception, a sanitizer report, running out of the memory limits given to
// libFuzzer or its timeout is a bug.
//
// Unless bit 0 of byte 6 is set (the first reserved field of the file header,
// which the reader ignores and every sample file leaves zero), a picture of
// moderate size is also read in full and the two are drawn side by side: they
// must give the same pixels.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>

#include "BmpReader.h"
#include "Exceptions.h"
#include "IntakeChecks.h"

namespace {

// False when the reader refuses the file.
bool Read(const std::uint8_t* data, std::size_t size, const TDrawSizes& drawSizes, TBitmap& bitmap) {
  // What TBitmap::LoadFromFile does with the file's bytes: a long file is
  // read only as far as its header says can matter.
  if (size >= kBmpHeadBytes) size = static_cast<std::size_t>(std::min<std::uint64_t>(size, BmpBytesWanted(data, size)));
  TBitmap loaded;
  try {
    ReadBmp(data, size, loaded, drawSizes);
  } catch (const EInvalidGraphic&) {
    return false;
  }
  bitmap.Assign(&loaded);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const bool crossCheck = size <= 6 || (data[6] & 1U) == 0;
  try {
    TBitmap photo;
    if (!Read(data, size, fuzzcheck::PhotoDrawSizes(), photo)) return 0;
    fuzzcheck::CheckShape(photo);
    fuzzcheck::RunDrawSteps(photo);

    if (crossCheck && static_cast<long long>(photo.Width()) * photo.Height() <= fuzzcheck::kMaxCrossCheckPixels) {
      TBitmap full;
      fuzzcheck::Expect(Read(data, size, {}, full), "refused in full although it loaded for its draw sizes");
      fuzzcheck::CheckShape(full);
      fuzzcheck::Expect(!full.IsSampled(), "a full read kept only samples");
      fuzzcheck::CheckSameDrawing(full, photo);
    }
  } catch (const std::exception& e) {
    fuzzcheck::UnexpectedException(e);
  }
  return 0;
}
