// Feeds arbitrary bytes to the JPEG intake the way the main window does: read
// the header from the file, decode for the photo's draw sizes (streaming the
// file again), gray and draw the result. The bytes reach it as a file that
// lives in memory, so no run touches the disk.
//
// A refusal (EJPEG, or EInvalidGraphic for a picture too large) is a fine
// answer; any other exception, a sanitizer report, running out of the memory
// limits given to libFuzzer or its timeout is a bug.
//
// When bit 0 of the last byte is set, as in the 0xD9 that ends every whole
// file (libjpeg reads nothing after it, and libFuzzer flips the bit often), a
// picture of moderate size is also decoded in full and the two are drawn side
// by side: they must give the same pixels.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "Exceptions.h"
#include "IntakeChecks.h"
#include "JpegImage.h"

namespace {

// A name under which the file opens afresh, from its start, every time.
class TMemoryFile {
 public:
  TMemoryFile() : fFd(memfd_create("jpeg-intake", 0)) {
    if (fFd < 0) {
      std::perror("memfd_create");
      std::abort();
    }
    fName = "/proc/self/fd/" + std::to_string(fFd);
  }
  const std::string& Hold(const std::uint8_t* data, std::size_t size) {
    if (ftruncate(fFd, 0) != 0) std::abort();
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = pwrite(fFd, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<std::size_t>(n);
    }
    return fName;
  }

 private:
  int fFd;
  std::string fName;
};

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
    static TMemoryFile file;
    TJPEGImage jpeg;
    try {
      jpeg.LoadFromFile(file.Hold(data, size));
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
