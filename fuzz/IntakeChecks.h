// What both intake fuzzers do with a picture once it has been read: the steps
// the main window takes next, and the checks that a decoded bitmap is sound.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <typeinfo>

#include "Graphics.h"
#include "Monochrome.h"

namespace fuzzcheck {

// Where the main window puts the photo on its 600 x 600 mount, and so the
// sizes it loads photos for.
constexpr TRect kLandscapePhoto = {24, 110, 24 + 560, 110 + 376};
constexpr TRect kPortraitPhoto = {112, 24, 112 + 376, 24 + 560};
constexpr int kMountSize = 600;
constexpr int kLargestSide = 560;

inline TDrawSizes PhotoDrawSizes() {
  return {{kLandscapePhoto.Width(), kLandscapePhoto.Height()}, {kPortraitPhoto.Width(), kPortraitPhoto.Height()}};
}

// Cross-checking against a full decode costs a second decode and the whole
// picture in memory; past this many pixels only the program's own path runs.
constexpr long long kMaxCrossCheckPixels = 16LL * 1024 * 1024;

[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "intake check failed: %s\n", what);
  std::abort();
}

inline void Expect(bool condition, const char* what) {
  if (!condition) Fail(what);
}

// An exception that the intake must never let out: report it as a crash so
// that libFuzzer keeps the input.
[[noreturn]] inline void UnexpectedException(const std::exception& e) {
  std::fprintf(stderr, "unexpected exception %s: %s\n", typeid(e).name(), e.what());
  std::abort();
}

// The stored pixels must agree with what the bitmap claims about itself; a
// later draw trusts these numbers to index memory.
inline void CheckShape(const TBitmap& bitmap) {
  const TConstPixelRows stored = bitmap.Pixels();
  Expect(bitmap.Width() > 0 && bitmap.Height() > 0, "a loaded picture is empty");
  Expect(stored.data != nullptr, "a loaded picture has no pixels");
  Expect(stored.stride >= static_cast<std::ptrdiff_t>(stored.width) * 3, "row stride shorter than a row");
  if (!bitmap.IsSampled()) {
    Expect(stored.width == bitmap.Width() && stored.height == bitmap.Height(), "full bitmap of the wrong size");
    Expect(bitmap.KeptRows().empty(), "full bitmap with kept rows");
    return;
  }
  const auto& columns = bitmap.KeptColumns();
  const auto& rows = bitmap.KeptRows();
  Expect(static_cast<int>(columns.size()) == stored.width, "kept columns differ from stored width");
  Expect(static_cast<int>(rows.size()) == stored.height, "kept rows differ from stored height");
  for (std::size_t i = 0; i < columns.size(); ++i) {
    Expect(columns[i] >= 0 && columns[i] < bitmap.Width(), "kept column outside the picture");
    Expect(i == 0 || columns[i - 1] < columns[i], "kept columns out of order");
  }
  for (std::size_t i = 0; i < rows.size(); ++i) {
    Expect(rows[i] >= 0 && rows[i] < bitmap.Height(), "kept row outside the picture");
    Expect(i == 0 || rows[i - 1] < rows[i], "kept rows out of order");
  }
}

// A bitmap of the given size kept from one run to the next: a fresh one for
// every draw would cost more in page faults than the drawing itself. Nothing
// is read from it that the same run has not drawn.
template <int kSlot>
TBitmap& Scratch(int width, int height) {
  static TBitmap bitmap;
  if (bitmap.Width() != width || bitmap.Height() != height) bitmap.SetSize(width, height);
  return bitmap;
}

// What the window does after loading: the monochrome edition grays a copy
// (writing to it must leave the loaded bitmap alone), then the photo is drawn
// at the place its shape picks, and for good measure at the other one too.
inline void RunDrawSteps(const TBitmap& photo) {
  TBitmap copy;
  copy.Assign(&photo);
  const TPixelRows pixels = copy.Pixels();
  orvessa::ToMonochrome(pixels.data, pixels.width, pixels.height, pixels.stride);
  Expect(photo.Pixels().data != pixels.data, "graying a copy wrote into the loaded picture");

  TBitmap& mount = Scratch<0>(kMountSize, kMountSize);
  StretchNearest(copy, mount, kLandscapePhoto);
  StretchNearest(photo, mount, kPortraitPhoto);
}

// A bitmap kept for the draw sizes must draw, at those sizes, exactly as the
// full picture does.
inline void CheckSameDrawing(const TBitmap& full, const TBitmap& sampled) {
  Expect(full.Width() == sampled.Width() && full.Height() == sampled.Height(), "sampled picture reports another size");
  for (const TRect& place : {kLandscapePhoto, kPortraitPhoto}) {
    const int w = place.Width();
    const int h = place.Height();
    // Both places fit in one square, drawn at its corner.
    TBitmap& fromFull = Scratch<1>(kLargestSide, kLargestSide);
    TBitmap& fromSampled = Scratch<2>(kLargestSide, kLargestSide);
    StretchNearest(full, fromFull, Rect(0, 0, w, h));
    StretchNearest(sampled, fromSampled, Rect(0, 0, w, h));
    for (int y = 0; y < h; ++y) {
      if (std::memcmp(fromFull.ScanLine(y), fromSampled.ScanLine(y), static_cast<std::size_t>(w) * 3) != 0) {
        std::fprintf(stderr, "%dx%d picture drawn at %dx%d: row %d differs\n", full.Width(), full.Height(), w, h, y);
        Fail("the picture kept for its draw sizes draws differently from the full picture");
      }
    }
  }
}

}  // namespace fuzzcheck
