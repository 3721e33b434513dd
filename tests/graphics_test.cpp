// Bitmaps: the nearest-neighbour stretch, keeping only drawn samples, and
// what the row builder refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "Exceptions.h"
#include "Graphics.h"

namespace {

// Every pixel different: its coordinates are its colour.
TBitmap Coordinates(int width, int height) {
  TBitmap bitmap;
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[x * 3] = static_cast<std::uint8_t>(x);
      row[x * 3 + 1] = static_cast<std::uint8_t>(x >> 8);
      row[x * 3 + 2] = static_cast<std::uint8_t>(y);
    }
  }
  return bitmap;
}

struct StretchCase {
  TSize source;
  TSize dest;
};

class StretchTest : public ::testing::TestWithParam<StretchCase> {};

// Destination pixel (x, y) takes the source pixel whose centre is nearest
// to its own centre mapped back: floor((x + 1/2) Sw / Dw).
TEST_P(StretchTest, TakesTheSourcePixelUnderEachCentre) {
  const auto [source, dest] = GetParam();
  const TBitmap from = Coordinates(source.cx, source.cy);
  TBitmap to;
  to.SetSize(dest.cx + 4, dest.cy + 4);
  StretchNearest(from, to, Rect(2, 2, 2 + dest.cx, 2 + dest.cy));
  for (int y = 0; y < dest.cy; ++y) {
    const int sy = static_cast<int>(std::floor((y + 0.5) * source.cy / dest.cy));
    const std::uint8_t* row = to.ScanLine(y + 2);
    for (int x = 0; x < dest.cx; ++x) {
      const int sx = static_cast<int>(std::floor((x + 0.5) * source.cx / dest.cx));
      const std::uint8_t* p = row + (x + 2) * 3;
      ASSERT_EQ(p[0] | (p[1] << 8), sx & 0xFFFF) << x << "," << y;
      ASSERT_EQ(p[2], sy & 0xFF) << x << "," << y;
    }
  }
  // Nothing outside the rectangle is touched.
  EXPECT_EQ(to.ScanLine(0)[0], 0);
  EXPECT_EQ(to.ScanLine(dest.cy + 3)[(dest.cx + 3) * 3], 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, StretchTest,
                         ::testing::Values(StretchCase{{1, 1}, {560, 376}}, StretchCase{{7, 7}, {560, 376}},
                                           StretchCase{{1001, 1000}, {560, 376}}, StretchCase{{333, 599}, {376, 560}},
                                           StretchCase{{560, 376}, {560, 376}}, StretchCase{{3000, 2}, {376, 560}}));

TEST(Sampling, KeepsOnlyThePickedRowsAndColumnsAndDrawsTheSame) {
  const TBitmap full = Coordinates(3001, 1999);
  TBitmap sampled;
  TBitmapBuilder builder(sampled, 3001, 1999, {{560, 376}, {376, 560}});
  for (int y = builder.NextWantedRow(0); y < 1999; y = builder.NextWantedRow(y + 1)) {
    builder.PutRow(y, full.ScanLine(y), TRowLayout::BGR);
  }
  EXPECT_TRUE(sampled.IsSampled());
  EXPECT_LE(sampled.Pixels().width, 936);
  EXPECT_LE(sampled.Pixels().height, 936);
  for (const TSize size : {TSize{560, 376}, TSize{376, 560}}) {
    TBitmap a;
    a.SetSize(size.cx, size.cy);
    TBitmap b;
    b.SetSize(size.cx, size.cy);
    StretchNearest(full, a, Rect(0, 0, size.cx, size.cy));
    StretchNearest(sampled, b, Rect(0, 0, size.cx, size.cy));
    for (int y = 0; y < size.cy; ++y) {
      ASSERT_EQ(std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<std::size_t>(size.cx) * 3), 0) << y;
    }
  }
}

TEST(Sampling, SmallPicturesAreKeptWhole) {
  TBitmap bitmap;
  // Every row and column is drawn at one of the two sizes.
  TBitmapBuilder builder(bitmap, 300, 200, {{560, 376}, {376, 560}});
  EXPECT_FALSE(bitmap.IsSampled());
  EXPECT_TRUE(builder.WantsRow(0));
  EXPECT_TRUE(builder.WantsRow(199));
}

TEST(Sampling, DegenerateDrawSizesAreIgnored) {
  TBitmap bitmap;
  TBitmapBuilder builder(bitmap, 5000, 5000, {{10, 0}, {0, 10}, {-3, 7}});
  const std::vector<std::uint8_t> row(5000 * 3, 7);
  for (int y = 0; y < 5000; y += 997) builder.PutRow(y, row.data(), TRowLayout::BGR);
  EXPECT_EQ(bitmap.Width(), 5000);
}

TEST(Builder, RefusesImpossibleSizesBeforeAllocating) {
  for (const TSize size : {TSize{0, 10}, TSize{10, 0}, TSize{-1, 5}, TSize{64250, 64250},
                           TSize{TBitmapBuilder::kMaxSourceSide + 1, 1}, TSize{1, 1 << 30}}) {
    TBitmap bitmap;
    EXPECT_THROW(TBitmapBuilder(bitmap, size.cx, size.cy, {{560, 376}}), EInvalidGraphic) << size.cx << "x" << size.cy;
  }
}

TEST(Builder, ConvertsEachRowLayout) {
  struct LayoutCase {
    TRowLayout layout;
    std::vector<std::uint8_t> row;
    std::uint8_t blue, green, red;
  };
  const std::vector<LayoutCase> cases = {
      {TRowLayout::BGR, {1, 2, 3}, 1, 2, 3},
      {TRowLayout::BGRX, {1, 2, 3, 9}, 1, 2, 3},
      {TRowLayout::RGB, {1, 2, 3}, 3, 2, 1},
      {TRowLayout::Gray, {77}, 77, 77, 77},
      // Inverted CMYK: each of C, M, Y times K / 255, rounded; K 255 is
      // no black at all.
      {TRowLayout::InvertedCMYK, {255, 128, 0, 255}, 0, 128, 255},
      {TRowLayout::InvertedCMYK, {255, 128, 1, 128}, 1, 64, 128},
  };
  for (const LayoutCase& c : cases) {
    TBitmap bitmap;
    TBitmapBuilder builder(bitmap, 1, 1, {});
    builder.PutRow(0, c.row.data(), c.layout);
    const std::uint8_t* p = bitmap.ScanLine(0);
    EXPECT_EQ(p[0], c.blue) << static_cast<int>(c.layout);
    EXPECT_EQ(p[1], c.green) << static_cast<int>(c.layout);
    EXPECT_EQ(p[2], c.red) << static_cast<int>(c.layout);
  }
}

TEST(Bitmap, CopiesSharePixelsUntilWritten) {
  TBitmap a = Coordinates(4, 4);
  TBitmap b;
  b.Assign(&a);
  const TBitmap& readA = a;
  const TBitmap& readB = b;
  EXPECT_EQ(readA.ScanLine(1), readB.ScanLine(1));
  b.ScanLine(1)[0] = 99;
  EXPECT_NE(readA.ScanLine(1), readB.ScanLine(1));
  EXPECT_NE(readA.ScanLine(1)[0], 99);
}

}  // namespace
