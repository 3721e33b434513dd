// Checks the shipped frame artwork and icon against the geometry the program
// relies on when it lays a photo into the print area.
//
// "Dark" is luminance below 128, luminance = (299 R + 587 G + 114 B) / 1000,
// the same rule assets/generate_artwork.py uses when it draws the frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#ifndef ORVESSA_ASSETS_DIR
#error "ORVESSA_ASSETS_DIR must be defined as a string literal naming the assets folder"
#endif

namespace {

constexpr int kFrameSide = 600;
constexpr int kIconSide = 32;

struct Rgb {
  int r, g, b;
};

bool operator==(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

int luminance1000(const Rgb& c) { return 299 * c.r + 587 * c.g + 114 * c.b; }
bool isDark(const Rgb& c) { return luminance1000(c) < 128 * 1000; }

std::string assetPath(const std::string& name) { return std::string(ORVESSA_ASSETS_DIR) + "/" + name; }

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); }
std::int32_t le32s(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::int32_t>(le32(b, at));
}

// The one layout all of the program's bitmaps share: square, 8 bits per
// pixel, uncompressed, bottom-up, a full 256-entry table right after a
// 40-byte info header.
void expectIndexedBmpLayout(const std::vector<std::uint8_t>& b, int side) {
  const std::uint32_t pixels = std::uint32_t(side) * std::uint32_t(side);  // rows need no padding
  ASSERT_EQ(b.size(), 14u + 40u + 1024u + pixels);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(le32(b, 2), b.size()) << "bfSize";
  EXPECT_EQ(le32(b, 6), 0u) << "reserved";
  EXPECT_EQ(le32(b, 10), 1078u) << "bfOffBits";
  EXPECT_EQ(le32(b, 14), 40u) << "BITMAPINFOHEADER size";
  EXPECT_EQ(le32s(b, 18), side) << "width";
  EXPECT_EQ(le32s(b, 22), side) << "height, positive = bottom-up";
  EXPECT_EQ(le16(b, 26), 1) << "planes";
  EXPECT_EQ(le16(b, 28), 8) << "bits per pixel";
  EXPECT_EQ(le32(b, 30), 0u) << "BI_RGB";
  EXPECT_EQ(le32(b, 34), pixels) << "biSizeImage";
  EXPECT_EQ(le32s(b, 38), 2835) << "x pixels per metre";
  EXPECT_EQ(le32s(b, 42), 2835) << "y pixels per metre";
  const std::uint32_t used = le32(b, 46);
  EXPECT_TRUE(used == 0 || used == 256) << "biClrUsed " << used;
  EXPECT_EQ(le32(b, 50), 0u) << "biClrImportant";
  for (int i = 0; i < 256; ++i) EXPECT_EQ(b[54 + 4 * i + 3], 0) << "reserved byte of colour " << i;
}

// Decoded picture, y counted from the top as displayed.
struct Picture {
  int side = 0;
  std::array<Rgb, 256> table{};
  std::vector<std::uint8_t> index;

  Rgb at(int x, int y) const { return table[index[std::size_t(y) * side + x]]; }
  bool dark(int x, int y) const { return isDark(at(x, y)); }
};

Picture decode(const std::vector<std::uint8_t>& b, int side) {
  Picture p;
  p.side = side;
  for (int i = 0; i < 256; ++i) p.table[i] = {b[54 + 4 * i + 2], b[54 + 4 * i + 1], b[54 + 4 * i]};
  p.index.resize(std::size_t(side) * side);
  for (int row = 0; row < side; ++row)
    for (int x = 0; x < side; ++x)
      p.index[std::size_t(side - 1 - row) * side + x] = b[1078 + std::size_t(row) * side + x];
  return p;
}

// Header fields are the layout test's business; here only the size is
// checked, so that decoding cannot read past the end of a damaged file.
void load(const std::string& name, int side, Picture& out) {
  const auto bytes = readFile(assetPath(name));
  ASSERT_EQ(bytes.size(), 1078u + std::size_t(side) * side) << assetPath(name);
  out = decode(bytes, side);
}

struct Span {
  int first, last;
};
bool operator==(const Span& a, const Span& b) { return a.first == b.first && a.last == b.last; }
std::ostream& operator<<(std::ostream& os, const Span& s) { return os << s.first << ".." << s.last; }

struct Box {
  int x0, y0, x1, y1;  // inclusive
  bool contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};
bool operator==(const Box& a, const Box& b) { return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1; }
std::ostream& operator<<(std::ostream& os, const Box& b) {
  return os << "x " << b.x0 << ".." << b.x1 << ", y " << b.y0 << ".." << b.y1;
}

struct FrameCase {
  const char* name;
  const char* file;
  Rgb paper;
  Span solidX;  // dark run through the centre along row 300
  Span solidY;  // dark run through the centre along column 300
  Box specks;   // bounding box of every dark pixel
  Box photo;    // where the program puts the photo
};

std::ostream& operator<<(std::ostream& os, const FrameCase& c) { return os << c.name; }

const FrameCase kFrames[] = {
    {"landscape",
     "frame_landscape.bmp",
     {254, 255, 254},
     {16, 587},
     {104, 492},
     {7, 94, 594, 494},
     {24, 110, 583, 485}},
    {"portrait", "frame_portrait.bmp", {254, 255, 255}, {106, 494}, {16, 587}, {104, 7, 504, 594}, {112, 24, 487, 583}},
};

class FrameArtwork : public ::testing::TestWithParam<FrameCase> {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(load(GetParam().file, kFrameSide, pic)); }
  Picture pic;
};

TEST_P(FrameArtwork, HasTheSharedBitmapLayout) {
  expectIndexedBmpLayout(readFile(assetPath(GetParam().file)), kFrameSide);
}

TEST_P(FrameArtwork, PaperIsExactlyThePaperColourAwayFromThePrint) {
  const FrameCase& c = GetParam();
  const int last = kFrameSide - 1;
  for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}})
    EXPECT_EQ(pic.at(x, y), c.paper) << "corner " << x << "," << y;

  // The fray and the stain next to it fade out within a few pixels of the
  // outermost speck; everything beyond is untouched paper.
  constexpr int kFade = 8;
  const Box near{c.specks.x0 - kFade, c.specks.y0 - kFade, c.specks.x1 + kFade, c.specks.y1 + kFade};
  int wrong = 0;
  for (int y = 0; y < kFrameSide; ++y)
    for (int x = 0; x < kFrameSide; ++x)
      if (!near.contains(x, y) && !(pic.at(x, y) == c.paper) && ++wrong <= 5)
        ADD_FAILURE() << "not paper at " << x << "," << y << ": " << pic.at(x, y);
  EXPECT_EQ(wrong, 0);
}

Span darkRun(const Picture& p, int x, int y, int dx, int dy) {
  // Walks out both ways from (x, y) along (dx, dy) while pixels stay dark.
  int back = 0, fwd = 0;
  auto inside = [&](int k) {
    const int px = x + k * dx, py = y + k * dy;
    return px >= 0 && py >= 0 && px < p.side && py < p.side && p.dark(px, py);
  };
  while (inside(back - 1)) --back;
  while (inside(fwd + 1)) ++fwd;
  return dx ? Span{x + back, x + fwd} : Span{y + back, y + fwd};
}

TEST_P(FrameArtwork, SolidEdgeCrossesTheCentreLinesWherePlaced) {
  const FrameCase& c = GetParam();
  const int mid = kFrameSide / 2;
  ASSERT_TRUE(pic.dark(mid, mid));
  EXPECT_EQ(darkRun(pic, mid, mid, 1, 0), c.solidX);
  EXPECT_EQ(darkRun(pic, mid, mid, 0, 1), c.solidY);
}

TEST_P(FrameArtwork, OutermostDarkSpecksSpanTheExpectedBox) {
  Box seen{kFrameSide, kFrameSide, -1, -1};
  for (int y = 0; y < kFrameSide; ++y)
    for (int x = 0; x < kFrameSide; ++x)
      if (pic.dark(x, y)) {
        seen.x0 = std::min(seen.x0, x);
        seen.y0 = std::min(seen.y0, y);
        seen.x1 = std::max(seen.x1, x);
        seen.y1 = std::max(seen.y1, y);
      }
  EXPECT_EQ(seen, GetParam().specks);
}

TEST_P(FrameArtwork, PhotoRectangleLiesOnInkWithABorderAround) {
  const Box& r = GetParam().photo;
  int light = 0;
  for (int y = r.y0; y <= r.y1; ++y)
    for (int x = r.x0; x <= r.x1; ++x)
      if (!pic.dark(x, y) && ++light <= 5) ADD_FAILURE() << "light pixel under the photo at " << x << "," << y;
  EXPECT_EQ(light, 0);

  // The ragged edge wanders, but nowhere does it come right up to the
  // photo: a few pixels of ink always show around it.
  constexpr int kMinBorder = 3;
  for (int k = 1; k <= kMinBorder; ++k) {
    for (int y = r.y0; y <= r.y1; ++y) {
      EXPECT_TRUE(pic.dark(r.x0 - k, y)) << "left border at y " << y;
      EXPECT_TRUE(pic.dark(r.x1 + k, y)) << "right border at y " << y;
    }
    for (int x = r.x0; x <= r.x1; ++x) {
      EXPECT_TRUE(pic.dark(x, r.y0 - k)) << "top border at x " << x;
      EXPECT_TRUE(pic.dark(x, r.y1 + k)) << "bottom border at x " << x;
    }
  }
}

TEST_P(FrameArtwork, EveryEdgeFraysThroughGrays) {
  // A hard threshold of the print outline would pass every extent check;
  // the brushed look needs intermediate tones along all four sides.
  const Box& r = GetParam().photo;
  auto isGray = [](const Rgb& c) {
    const int l = luminance1000(c);
    return l >= 64 * 1000 && l <= 224 * 1000;
  };
  struct Side {
    const char* name;
    Box region;
  };
  const int last = kFrameSide - 1;
  const Side sides[] = {
      {"left", {0, 0, r.x0 - 1, last}},
      {"right", {r.x1 + 1, 0, last, last}},
      {"top", {0, 0, last, r.y0 - 1}},
      {"bottom", {0, r.y1 + 1, last, last}},
  };
  for (const Side& s : sides) {
    int grays = 0;
    for (int y = s.region.y0; y <= s.region.y1; ++y)
      for (int x = s.region.x0; x <= s.region.x1; ++x) grays += isGray(pic.at(x, y));
    EXPECT_GE(grays, 200) << s.name << " edge";
  }
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameArtwork, ::testing::ValuesIn(kFrames),
                         [](const auto& parameter) { return std::string(parameter.param.name); });

TEST(FrameOrientation, PortraitIsLandscapeTurnedClockwiseAndShiftedOneLeft) {
  Picture land, port;
  ASSERT_NO_FATAL_FAILURE(load("frame_landscape.bmp", kFrameSide, land));
  ASSERT_NO_FATAL_FAILURE(load("frame_portrait.bmp", kFrameSide, port));

  // Turned clockwise, landscape (x, y) lands at (599 - y, x); the shift
  // takes it to (598 - y, x).  The colour tables differ by at most one step
  // in a channel, which moves luminance by well under one unit.
  const int last = kFrameSide - 1;
  int mismatches = 0;
  for (int y = 0; y < kFrameSide; ++y)
    for (int x = 0; x < last; ++x) {
      const Rgb p = port.at(x, y);
      const Rgb l = land.at(y, last - 1 - x);
      const bool same = isDark(p) == isDark(l) && std::abs(luminance1000(p) - luminance1000(l)) <= 1000;
      if (!same && ++mismatches <= 5)
        ADD_FAILURE() << "portrait " << x << "," << y << " " << p << " vs landscape " << y << "," << (last - 1 - x)
                      << " " << l;
    }
  EXPECT_EQ(mismatches, 0);

  const Rgb paper = kFrames[1].paper;
  for (int y = 0; y < kFrameSide; ++y) EXPECT_EQ(port.at(last, y), paper) << "filled column at y " << y;
}

TEST(IconArtwork, HasTheSharedBitmapLayout) {
  expectIndexedBmpLayout(readFile(assetPath("icon/orvessa-32.bmp")), kIconSide);
}

TEST(IconArtwork, IsAClearCornerOfThePrint) {
  Picture icon;
  ASSERT_NO_FATAL_FAILURE(load("icon/orvessa-32.bmp", kIconSide, icon));
  // Paper above and left, ink below and right; 4 x 4 blocks so one speck
  // or one streak cannot decide it.
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_GE(luminance1000(icon.at(x, y)), 224 * 1000) << "top-left " << x << "," << y;
      EXPECT_TRUE(icon.dark(kIconSide - 1 - x, kIconSide - 1 - y)) << "bottom-right " << x << "," << y;
    }
}

TEST(IconArtwork, DesktopPngsHaveTheSizeTheirFolderNames) {
  for (int n : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const std::string name = "icon/hicolor/" + std::to_string(n) + "x" + std::to_string(n) + "/apps/orvessa.png";
    const auto b = readFile(assetPath(name));
    ASSERT_GE(b.size(), 33u) << name;
    const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_TRUE(std::equal(std::begin(signature), std::end(signature), b.begin())) << name;
    EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), "IHDR") << name;
    auto be32 = [&](std::size_t at) {
      return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 | std::uint32_t(b[at + 2]) << 8 |
             std::uint32_t(b[at + 3]);
    };
    EXPECT_EQ(be32(16), std::uint32_t(n)) << name << " width";
    EXPECT_EQ(be32(20), std::uint32_t(n)) << name << " height";
  }
}

}  // namespace
