// The Windows-bitmap reader against the bitmap test suite's files and their
// reference renderings, and against hand-made headers and streams.

#include <gtest/gtest.h>
#include <zlib.h>

#include <dirent.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BmpReader.h"
#include "Exceptions.h"
#include "FileIO.h"
#include "Graphics.h"
#include "TestSupport.h"

namespace {

const std::string kSuiteDir = std::string(ORVESSA_TESTDATA_DIR) + "/bmpsuite/";

// ---------------------------------------------------------------------------
// Just enough PNG to read the suite's references: every colour type, bit
// depths 1 to 16, no interlacing. The reader ignores alpha, so only the
// reference's opaque pixels say what it must give.

struct TRgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // red, green, blue per pixel, top row first
  std::vector<bool> opaque;
};

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

TRgbImage ReadPng(const std::string& path) {
  const std::vector<std::uint8_t> file = ReadWholeFile(path);
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0) throw std::runtime_error(path + ": not a PNG");
  int width = 0, height = 0, depth = 0, colourType = 0;
  std::vector<std::uint8_t> palette;
  std::vector<std::uint8_t> compressed;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    const std::uint32_t length = BigEndian32(&file[at]);
    if (length > file.size() - at - 12) throw std::runtime_error(path + ": chunk past the end");
    const std::string type(reinterpret_cast<const char*>(&file[at + 4]), 4);
    const std::uint8_t* body = &file[at + 8];
    if (type == "IHDR") {
      width = static_cast<int>(BigEndian32(body));
      height = static_cast<int>(BigEndian32(body + 4));
      depth = body[8];
      colourType = body[9];
      if (body[12] != 0) throw std::runtime_error(path + ": interlaced");
    } else if (type == "PLTE") {
      palette.assign(body, body + length);
    } else if (type == "IDAT") {
      compressed.insert(compressed.end(), body, body + length);
    }
    at += 12 + length;
  }
  const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * channels * depth + 7) / 8;
  const std::size_t step = std::max<std::size_t>(1, static_cast<std::size_t>(channels * depth / 8));
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(height) * (rowBytes + 1));
  uLongf rawSize = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &rawSize, compressed.data(), static_cast<uLong>(compressed.size())) != Z_OK ||
      rawSize != raw.size()) {
    throw std::runtime_error(path + ": bad image data");
  }
  std::vector<std::uint8_t> previous(rowBytes, 0);
  TRgbImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3),
                  std::vector<bool>(static_cast<std::size_t>(width) * height, true)};
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = &raw[static_cast<std::size_t>(y) * (rowBytes + 1)];
    const int filter = row[0];
    std::uint8_t* cur = row + 1;
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const int a = i >= step ? cur[i - step] : 0;
      const int b = previous[i];
      const int c = i >= step ? previous[i - step] : 0;
      const int predictor = filter == 1   ? a
                            : filter == 2 ? b
                            : filter == 3 ? (a + b) / 2
                            : filter == 4 ? Paeth(a, b, c)
                                          : 0;
      cur[i] = static_cast<std::uint8_t>(cur[i] + predictor);
    }
    std::copy(cur, cur + rowBytes, previous.begin());
    const auto sample = [&](int x, int channel) -> unsigned {
      const std::size_t index = static_cast<std::size_t>(x) * channels + channel;
      if (depth == 16) return (cur[index * 2] << 8) | cur[index * 2 + 1];
      if (depth == 8) return cur[index];
      const std::size_t bit = index * depth;
      return (cur[bit / 8] >> (8 - depth - bit % 8)) & ((1U << depth) - 1);
    };
    // Samples to 0..255 the way the suite's references mean them.
    const auto widen = [&](unsigned v) -> std::uint8_t {
      const unsigned max = (1U << depth) - 1;
      return static_cast<std::uint8_t>((v * 255ULL * 2 + max) / (2ULL * max));
    };
    for (int x = 0; x < width; ++x) {
      std::uint8_t* out = &image.rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      if (colourType == 3) {
        const std::size_t entry = sample(x, 0) * 3U;
        for (int k = 0; k < 3; ++k) out[k] = entry + 2 < palette.size() ? palette[entry + k] : 0;
      } else if (colourType == 0 || colourType == 4) {
        out[0] = out[1] = out[2] = widen(sample(x, 0));
      } else {
        for (int k = 0; k < 3; ++k) out[k] = widen(sample(x, k));
      }
      if (colourType == 4 || colourType == 6) {
        image.opaque[static_cast<std::size_t>(y) * width + x] = sample(x, channels - 1) == (1U << depth) - 1;
      }
    }
  }
  return image;
}

// ---------------------------------------------------------------------------

TBitmap Load(const std::vector<std::uint8_t>& file, const TDrawSizes& drawSizes = {}) {
  TBitmap bitmap;
  ReadBmp(file.data(), file.size(), bitmap, drawSizes);
  return bitmap;
}

TBitmap LoadSuiteFile(const std::string& name, const TDrawSizes& drawSizes = {}) {
  return Load(ReadWholeFile(kSuiteDir + name), drawSizes);
}

// How far a full load is from a reference rendering.
struct TDifference {
  bool sameSize = false;
  int pixels = 0;     // pixels differing in any channel
  int largest = 0;    // largest channel difference
  std::string first;  // where the first difference is
};

TDifference Compare(const TBitmap& bitmap, const TRgbImage& reference) {
  TDifference d;
  d.sameSize = bitmap.Width() == reference.width && bitmap.Height() == reference.height;
  if (!d.sameSize) return d;
  for (int y = 0; y < reference.height; ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < reference.width; ++x) {
      const std::uint8_t* want = &reference.rgb[(static_cast<std::size_t>(y) * reference.width + x) * 3];
      const std::uint8_t* got = row + x * 3;
      if (!reference.opaque[static_cast<std::size_t>(y) * reference.width + x]) continue;
      int worst = 0;
      for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(int{got[2 - k]} - int{want[k]}));
      if (worst == 0) continue;
      if (d.pixels++ == 0) {
        std::ostringstream where;
        where << "(" << x << "," << y << ") is BGR " << int{got[0]} << "," << int{got[1]} << "," << int{got[2]}
              << ", want " << int{want[2]} << "," << int{want[1]} << "," << int{want[0]};
        d.first = where.str();
      }
      d.largest = std::max(d.largest, worst);
    }
  }
  return d;
}

std::string Describe(const TDifference& d) {
  if (!d.sameSize) return "size differs";
  std::ostringstream s;
  s << d.pixels << " pixels differ, by up to " << d.largest << (d.pixels > 0 ? "; first at " + d.first : "");
  return s.str();
}

std::vector<std::string> SuiteFolder(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir((kSuiteDir + folder).c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0) names.push_back(folder + "/" + name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ParamName(const std::string& file) {
  std::string name;
  for (const char c : file) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return name;
}

// ---------------------------------------------------------------------------
// The suite's g/ files: every one must look exactly like its reference.

struct TGoodCase {
  const char* file;
  const char* reference;
};

class GoodFile : public ::testing::TestWithParam<TGoodCase> {};

TEST_P(GoodFile, MatchesItsReferencePixelForPixel) {
  const TBitmap bitmap = LoadSuiteFile(GetParam().file);
  const TDifference d = Compare(bitmap, ReadPng(kSuiteDir + "html/" + GetParam().reference));
  EXPECT_TRUE(d.sameSize && d.pixels == 0) << Describe(d);
}

const TGoodCase kGoodCases[] = {
    {"g/pal1.bmp", "pal1.png"},           {"g/pal1bg.bmp", "pal1bg.png"},
    {"g/pal1wb.bmp", "pal1.png"},         {"g/pal4.bmp", "pal4.png"},
    {"g/pal4gs.bmp", "pal4gs.png"},       {"g/pal4rle.bmp", "pal4.png"},
    {"g/pal8-0.bmp", "pal8.png"},         {"g/pal8.bmp", "pal8.png"},
    {"g/pal8gs.bmp", "pal8gs.png"},       {"g/pal8nonsquare.bmp", "pal8nonsquare-e.png"},
    {"g/pal8os2.bmp", "pal8.png"},        {"g/pal8rle.bmp", "pal8.png"},
    {"g/pal8topdown.bmp", "pal8.png"},    {"g/pal8v4.bmp", "pal8.png"},
    {"g/pal8v5.bmp", "pal8.png"},         {"g/pal8w124.bmp", "pal8w124.png"},
    {"g/pal8w125.bmp", "pal8w125.png"},   {"g/pal8w126.bmp", "pal8w126.png"},
    {"g/rgb16-565.bmp", "rgb16-565.png"}, {"g/rgb16-565pal.bmp", "rgb16-565.png"},
    {"g/rgb16.bmp", "rgb16.png"},         {"g/rgb16bfdef.bmp", "rgb16.png"},
    {"g/rgb24.bmp", "rgb24.png"},         {"g/rgb24pal.bmp", "rgb24.png"},
    {"g/rgb32.bmp", "rgb24.png"},         {"g/rgb32bf.bmp", "rgb24.png"},
    {"g/rgb32bfdef.bmp", "rgb24.png"},
};

INSTANTIATE_TEST_SUITE_P(Suite, GoodFile, ::testing::ValuesIn(kGoodCases),
                         [](const auto& p) { return ParamName(p.param.file); });

// A new g/ file must not slip past the table above.
TEST(GoodFile, TableCoversTheFolder) {
  std::set<std::string> listed;
  for (const TGoodCase& c : kGoodCases) listed.insert(c.file);
  for (const std::string& file : SuiteFolder("g")) EXPECT_EQ(listed.count(file), 1U) << file << " has no reference";
}

// ---------------------------------------------------------------------------
// The q/, b/ and x/ files: legal but odd, broken, or not quite bitmaps. Each
// row records what this reader does with the file: refuse it cleanly, load
// it, or load it and match a reference within `tolerance`. A file that loads
// but is not expected to match prints how close it comes.

enum class TOutcome { Refused, Loads, Matches };

struct TOddCase {
  const char* file;
  TOutcome outcome;
  const char* reference = nullptr;
  int tolerance = 0;
};

class OddFile : public ::testing::TestWithParam<TOddCase> {};

TEST_P(OddFile, IsRefusedCleanlyOrLoadsAsDecided) {
  const TOddCase& c = GetParam();
  std::optional<TBitmap> bitmap;
  try {
    bitmap.emplace(LoadSuiteFile(c.file));
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), kInvalidBitmapText);
  }
  ASSERT_EQ(bitmap.has_value(), c.outcome != TOutcome::Refused) << (bitmap ? "loaded" : "refused");
  if (!bitmap || c.reference == nullptr) return;
  const TDifference d = Compare(*bitmap, ReadPng(kSuiteDir + "html/" + c.reference));
  RecordProperty("closeness", Describe(d));
  if (c.outcome == TOutcome::Matches) {
    EXPECT_TRUE(d.sameSize && d.largest <= c.tolerance) << Describe(d);
  } else {
    std::cout << "  " << c.file << " against " << c.reference << ": " << Describe(d) << "\n";
  }
}

const TOddCase kOddCases[] = {
    // Questionable files.
    {"q/pal1huffmsb.bmp", TOutcome::Refused},  // OS/2 Huffman coding
    {"q/pal1p1.bmp", TOutcome::Matches, "pal1p1.png"},
    {"q/pal2.bmp", TOutcome::Matches, "pal2.png"},
    {"q/pal2color.bmp", TOutcome::Matches, "pal2color.png"},
    {"q/pal4rlecut.bmp", TOutcome::Matches, "pal4rlecut-b.png"},
    {"q/pal4rletrns.bmp", TOutcome::Matches, "pal4rletrns-b.png"},
    {"q/pal8offs.bmp", TOutcome::Matches, "pal8.png"},
    {"q/pal8os2-hs.bmp", TOutcome::Matches, "pal8.png"},
    {"q/pal8os2-sz.bmp", TOutcome::Matches, "pal8.png"},
    {"q/pal8os2sp.bmp", TOutcome::Matches, "pal8.png"},
    {"q/pal8os2v2-16.bmp", TOutcome::Matches, "pal8.png"},
    {"q/pal8os2v2-40sz.bmp", TOutcome::Matches, "pal8.png"},
    {"q/pal8os2v2-sz.bmp", TOutcome::Matches, "pal8.png"},
    {"q/pal8os2v2.bmp", TOutcome::Matches, "pal8.png"},
    {"q/pal8oversizepal.bmp", TOutcome::Matches, "pal8.png"},
    {"q/pal8rlecut.bmp", TOutcome::Matches, "pal8rlecut-b.png"},
    {"q/pal8rletrns.bmp", TOutcome::Matches, "pal8rletrns-b.png"},
    {"q/rgb16-231.bmp", TOutcome::Matches, "rgb16-231.png"},
    {"q/rgb16-3103.bmp", TOutcome::Matches, "rgb16-3103.png"},
    {"q/rgb16faketrns.bmp", TOutcome::Matches, "rgb16.png"},  // its reference honours the unused bit
    {"q/rgb24jpeg.bmp", TOutcome::Refused},                   // embedded JPEG
    {"q/rgb24largepal.bmp", TOutcome::Matches, "rgb24.png"},
    {"q/rgb24lprof.bmp", TOutcome::Matches, "rgb24.png"},
    {"q/rgb24png.bmp", TOutcome::Refused},  // embedded PNG
    {"q/rgb24prof.bmp", TOutcome::Matches, "rgb24.png"},
    {"q/rgb24prof2.bmp", TOutcome::Loads, "rgb24.png"},         // its colour profile is not applied
    {"q/rgb24rle24.bmp", TOutcome::Matches, "rgb24.png", 64},   // the picture is dithered
    {"q/rgb32-111110.bmp", TOutcome::Matches, "rgb24.png", 1},  // 8-bit reference of wider channels
    {"q/rgb32-7187.bmp", TOutcome::Matches, "rgb32-7187.png"},
    {"q/rgb32-xbgr.bmp", TOutcome::Matches, "rgb24.png"},
    {"q/rgb32fakealpha.bmp", TOutcome::Matches, "rgb24.png"},
    {"q/rgb32h52.bmp", TOutcome::Matches, "rgb24.png"},
    {"q/rgba16-1924.bmp", TOutcome::Matches, "rgba16-1924.png"},
    {"q/rgba16-4444.bmp", TOutcome::Matches, "rgba16-4444.png"},
    {"q/rgba16-5551.bmp", TOutcome::Matches, "rgb16.png"},  // its reference honours the alpha bit
    {"q/rgba32-1.bmp", TOutcome::Matches, "rgba32.png"},
    {"q/rgba32-1010102.bmp", TOutcome::Matches, "rgba32-1010102.png"},
    {"q/rgba32-2.bmp", TOutcome::Matches, "rgba32.png"},
    {"q/rgba32-61754.bmp", TOutcome::Matches, "rgba32-61754.png"},
    {"q/rgba32-81284.bmp", TOutcome::Matches, "rgba32-81284.png"},
    {"q/rgba32abf.bmp", TOutcome::Matches, "rgba32.png"},
    {"q/rgba32h56.bmp", TOutcome::Matches, "rgba32.png"},
    {"q/rgba64.bmp", TOutcome::Refused},
    // Bad files. Flaws in fields the reader does not trust still load right.
    {"b/badbitcount.bmp", TOutcome::Refused},
    {"b/badbitssize.bmp", TOutcome::Matches, "pal1.png"},
    {"b/baddens1.bmp", TOutcome::Matches, "pal1.png"},
    {"b/baddens2.bmp", TOutcome::Matches, "pal1.png"},
    {"b/badfilesize.bmp", TOutcome::Matches, "pal1.png"},
    {"b/badheadersize.bmp", TOutcome::Refused},
    {"b/badpalettesize.bmp", TOutcome::Matches, "pal8.png"},
    {"b/badplanes.bmp", TOutcome::Refused},
    {"b/badrle.bmp", TOutcome::Loads},
    {"b/badrle4.bmp", TOutcome::Loads},
    {"b/badrle4bis.bmp", TOutcome::Loads},
    {"b/badrle4ter.bmp", TOutcome::Loads},
    {"b/badrlebis.bmp", TOutcome::Loads},
    {"b/badrleter.bmp", TOutcome::Loads},
    {"b/badwidth.bmp", TOutcome::Refused},
    {"b/pal8badindex.bmp", TOutcome::Loads},
    {"b/reallybig.bmp", TOutcome::Refused},
    {"b/rgb16-880.bmp", TOutcome::Matches, "rgb16-880.png"},
    {"b/rletopdown.bmp", TOutcome::Refused},  // RLE is bottom-up only
    {"b/shortfile.bmp", TOutcome::Loads},     // see ShortFileKeepsTheRowsItHolds
    {"x/ba-bm.bmp", TOutcome::Refused},       // an OS/2 bitmap array
};

INSTANTIATE_TEST_SUITE_P(Suite, OddFile, ::testing::ValuesIn(kOddCases),
                         [](const auto& p) { return ParamName(p.param.file); });

TEST(OddFile, TableCoversTheFolders) {
  std::set<std::string> listed;
  for (const TOddCase& c : kOddCases) listed.insert(c.file);
  for (const char* folder : {"q", "b", "x"}) {
    for (const std::string& file : SuiteFolder(folder)) EXPECT_EQ(listed.count(file), 1U) << file << " is not decided";
  }
}

// A cut-off file keeps the rows it holds: the bottom rows are the picture's,
// everything after the cut is black.
TEST(OddFile, ShortFileKeepsTheRowsItHolds) {
  const TBitmap bitmap = LoadSuiteFile("b/shortfile.bmp");
  const TRgbImage reference = ReadPng(kSuiteDir + "html/pal1.png");
  ASSERT_EQ(bitmap.Height(), reference.height);
  // 211 bytes of 16-byte rows: 13 whole rows, then 3 bytes (24 pixels).
  const int wholeRows = 13;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const int fileRow = bitmap.Height() - 1 - y;
    const int kept = fileRow < wholeRows ? bitmap.Width() : fileRow == wholeRows ? 24 : 0;
    for (int x = 0; x < bitmap.Width(); ++x) {
      const std::uint8_t* got = bitmap.ScanLine(y) + x * 3;
      const std::uint8_t* want = &reference.rgb[(static_cast<std::size_t>(y) * reference.width + x) * 3];
      const std::uint8_t black[3] = {0, 0, 0};
      const std::uint8_t* expected = x < kept ? want : black;
      ASSERT_TRUE(got[0] == expected[2] && got[1] == expected[1] && got[2] == expected[0])
          << "pixel (" << x << "," << y << ")";
    }
  }
}

// ---------------------------------------------------------------------------
// Loading with draw sizes keeps what a nearest-neighbour stretch of the full
// picture to those sizes needs, whatever way the rows are coded.

struct TSampleCase {
  const char* file;
  TDrawSizes drawSizes;
};

class Sampling : public ::testing::TestWithParam<TSampleCase> {};

TEST_P(Sampling, GivesTheStretchOfTheFullPicture) {
  const TSampleCase& c = GetParam();
  const TBitmap full = LoadSuiteFile(c.file);
  const TBitmap sampled = LoadSuiteFile(c.file, c.drawSizes);
  EXPECT_EQ(sampled.Width(), full.Width());
  EXPECT_EQ(sampled.Height(), full.Height());
  EXPECT_TRUE(sampled.IsSampled());
  for (const TSize& size : c.drawSizes) {
    TBitmap fromFull;
    TBitmap fromSampled;
    fromFull.SetSize(size.cx, size.cy);
    fromSampled.SetSize(size.cx, size.cy);
    StretchNearest(full, fromFull, Rect(0, 0, size.cx, size.cy));
    StretchNearest(sampled, fromSampled, Rect(0, 0, size.cx, size.cy));
    for (int y = 0; y < size.cy; ++y) {
      ASSERT_EQ(std::memcmp(fromFull.ScanLine(y), fromSampled.ScanLine(y), static_cast<std::size_t>(size.cx) * 3), 0)
          << size.cx << "x" << size.cy << ", row " << y;
    }
  }
}

const TSampleCase kSampleCases[] = {
    {"g/rgb24.bmp", {{40, 20}}},
    {"g/rgb32bf.bmp", {{13, 7}, {100, 3}}},
    {"g/rgb16-565.bmp", {{64, 32}}},
    {"g/pal1.bmp", {{31, 63}}},
    {"g/pal4rle.bmp", {{50, 10}, {7, 40}}},
    {"g/pal8rle.bmp", {{1, 1}}},
    {"g/pal8topdown.bmp", {{20, 50}}},
    {"q/rgb24rle24.bmp", {{33, 17}}},
    // Enlarged one way, shrunk the other.
    {"g/pal8.bmp", {{300, 20}}},
};

INSTANTIATE_TEST_SUITE_P(Suite, Sampling, ::testing::ValuesIn(kSampleCases),
                         [](const auto& p) { return ParamName(p.param.file) + "_" + std::to_string(p.index); });

// ---------------------------------------------------------------------------
// Hand-made files: a small writer, then headers that cannot be right and
// streams whose flaws must be recovered from in a fixed way.

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  Put16(out, at, v & 0xFFFF);
  Put16(out, at + 2, v >> 16);
}

struct TFileLayout {
  std::uint32_t headerSize = 40;
  std::int32_t width = 2;
  std::int32_t height = 2;
  std::uint16_t planes = 1;
  std::uint16_t bitCount = 24;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::vector<std::uint32_t> extra;     // masks after the header, or palette entries 0x00RRGGBB
  std::vector<std::uint8_t> pixels;     // the pixel data as stored
  std::optional<std::uint32_t> offset;  // default: right after `extra`
};

std::vector<std::uint8_t> MakeBmp(const TFileLayout& layout) {
  const std::size_t infoSize = std::max<std::uint32_t>(layout.headerSize, 12);
  std::vector<std::uint8_t> out(14 + std::min<std::size_t>(infoSize, 124) + layout.extra.size() * 4);
  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, static_cast<std::uint32_t>(out.size() + layout.pixels.size()));
  Put32(out, 10, layout.offset.value_or(static_cast<std::uint32_t>(out.size())));
  Put32(out, 14, layout.headerSize);
  Put32(out, 18, static_cast<std::uint32_t>(layout.width));
  Put32(out, 22, static_cast<std::uint32_t>(layout.height));
  Put16(out, 26, layout.planes);
  Put16(out, 28, layout.bitCount);
  Put32(out, 30, layout.compression);
  if (infoSize >= 40) Put32(out, 46, layout.colorsUsed);
  for (std::size_t i = 0; i < layout.extra.size(); ++i) Put32(out, 14 + infoSize + i * 4, layout.extra[i]);
  out.insert(out.end(), layout.pixels.begin(), layout.pixels.end());
  return out;
}

struct THostileCase {
  const char* name;
  std::vector<std::uint8_t> file;
};

class HostileHeader : public ::testing::TestWithParam<THostileCase> {};

TEST_P(HostileHeader, IsRefused) {
  const std::vector<std::uint8_t>& file = GetParam().file;
  TBitmap bitmap;
  try {
    ReadBmp(file.data(), file.size(), bitmap, {});
    FAIL() << "loaded as " << bitmap.Width() << "x" << bitmap.Height();
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), kInvalidBitmapText);
  }
}

TFileLayout Valid() {
  TFileLayout layout;
  layout.pixels.assign(16, 0x80);  // two 2-pixel rows of 24 bits, padded to 8 bytes
  return layout;
}

template <typename Change>
std::vector<std::uint8_t> ValidWith(Change change) {
  TFileLayout layout = Valid();
  change(layout);
  return MakeBmp(layout);
}

std::vector<std::uint8_t> Patched(std::vector<std::uint8_t> file, std::size_t at, std::uint8_t byte) {
  file[at] = byte;
  return file;
}

std::vector<std::uint8_t> Truncated(std::size_t length) {
  std::vector<std::uint8_t> file = MakeBmp(Valid());
  file.resize(length);
  return file;
}

const THostileCase kHostileCases[] = {
    {"EmptyFile", {}},
    {"OneByte", {'B'}},
    {"NotBm", Patched(MakeBmp(Valid()), 0, 'M')},
    {"HeaderCutShort", Truncated(30)},
    {"WidthZero", ValidWith([](TFileLayout& s) { s.width = 0; })},
    {"WidthNegative", ValidWith([](TFileLayout& s) { s.width = -2; })},
    {"HeightZero", ValidWith([](TFileLayout& s) { s.height = 0; })},
    {"HeightMinimum", ValidWith([](TFileLayout& s) { s.height = INT32_MIN; })},
    {"BitCountThree", ValidWith([](TFileLayout& s) { s.bitCount = 3; })},
    {"BitCountZero", ValidWith([](TFileLayout& s) { s.bitCount = 0; })},
    {"BitCount64", ValidWith([](TFileLayout& s) { s.bitCount = 64; })},
    {"TwoPlanes", ValidWith([](TFileLayout& s) { s.planes = 2; })},
    {"HeaderSize41", ValidWith([](TFileLayout& s) { s.headerSize = 41; })},
    {"HeaderSize200", ValidWith([](TFileLayout& s) { s.headerSize = 200; })},
    {"V5HeaderCutShort",
     [] {
       TFileLayout layout = Valid();
       layout.headerSize = 124;
       std::vector<std::uint8_t> file = MakeBmp(layout);
       file.resize(14 + 100);
       return file;
     }()},
    {"OffsetBeyondEnd", ValidWith([](TFileLayout& s) { s.offset = 1000; })},
    {"OffsetInsideHeader", ValidWith([](TFileLayout& s) { s.offset = 20; })},
    {"NoPixelData", ValidWith([](TFileLayout& s) { s.pixels.clear(); })},
    // Hundreds of megapixels claimed over a few bytes: refused before any
    // picture-sized allocation.
    {"HugeOverTinyFile", ValidWith([](TFileLayout& s) { s.width = s.height = 16000; })},
    {"TallOverTinyFile", ValidWith([](TFileLayout& s) {
       s.width = 1;
       s.height = 200000000;
     })},
    {"HugeRleOverTinyStream", ValidWith([](TFileLayout& s) {
       s.width = s.height = 16000;
       s.bitCount = 8;
       s.compression = 1;
       s.pixels = {0, 1};
     })},
    {"Rle8WithFourBits", ValidWith([](TFileLayout& s) {
       s.bitCount = 4;
       s.compression = 1;
     })},
    {"Rle4WithEightBits", ValidWith([](TFileLayout& s) {
       s.bitCount = 8;
       s.compression = 2;
     })},
    {"RleTopDown", ValidWith([](TFileLayout& s) {
       s.bitCount = 8;
       s.compression = 1;
       s.height = -2;
     })},
    {"BitFieldsWith24Bits", ValidWith([](TFileLayout& s) {
       s.compression = 3;
       s.extra = {0xFF0000, 0xFF00, 0xFF};
     })},
    {"MasksCutOff",
     [] {
       TFileLayout layout = Valid();
       layout.bitCount = 16;
       layout.compression = 3;
       layout.extra = {0xF800, 0x07E0, 0x001F};
       std::vector<std::uint8_t> file = MakeBmp(layout);
       file.resize(14 + 40 + 6);
       return file;
     }()},
    {"ScatteredMask", ValidWith([](TFileLayout& s) {
       s.bitCount = 16;
       s.compression = 3;
       s.extra = {0x7C00, 0x03E0, 0x0015};
     })},
    {"MaskBeyondPixel", ValidWith([](TFileLayout& s) {
       s.bitCount = 16;
       s.compression = 3;
       s.extra = {0x7C000, 0x03E0, 0x001F};
     })},
    {"EmbeddedJpeg", ValidWith([](TFileLayout& s) {
       s.bitCount = 0;
       s.compression = 4;
     })},
    {"EmbeddedPng", ValidWith([](TFileLayout& s) {
       s.bitCount = 0;
       s.compression = 5;
     })},
    {"CmykCompression", ValidWith([](TFileLayout& s) { s.compression = 11; })},
    {"Os2BitFields", ValidWith([](TFileLayout& s) {
       s.headerSize = 64;
       s.bitCount = 16;
       s.compression = 3;
     })},
};

INSTANTIATE_TEST_SUITE_P(Crafted, HostileHeader, ::testing::ValuesIn(kHostileCases),
                         [](const auto& p) { return std::string(p.param.name); });

// Flaws a tolerant reader recovers from, and codings whose details are easy
// to get wrong. `expected` lists 0xRRGGBB pixels, top row first; black marks
// pixels the file does not give.
struct TRecoveredCase {
  const char* name;
  std::vector<std::uint8_t> file;
  int width;
  std::vector<std::uint32_t> expected;
};

class Recovered : public ::testing::TestWithParam<TRecoveredCase> {};

TEST_P(Recovered, GivesTheseExactPixels) {
  const TRecoveredCase& c = GetParam();
  const TBitmap bitmap = Load(c.file);
  ASSERT_EQ(bitmap.Width(), c.width);
  ASSERT_EQ(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height(), c.expected.size());
  for (int y = 0; y < bitmap.Height(); ++y) {
    for (int x = 0; x < bitmap.Width(); ++x) {
      const std::uint8_t* p = bitmap.ScanLine(y) + x * 3;
      const std::uint32_t got = (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
      EXPECT_EQ(got, c.expected[static_cast<std::size_t>(y) * c.width + x])
          << std::hex << "pixel (" << std::dec << x << "," << y << ")";
    }
  }
}

// Palette for the RLE cases. Entry 0 is not black, so that pixels the stream
// never sets stand apart from pixels set to entry 0.
const std::vector<std::uint32_t> kFourColours = {0x000010, 0xFF0000, 0x00FF00, 0x0000FF};
constexpr std::uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF, K = 0;

TFileLayout Layout(std::int32_t width, std::int32_t height, std::uint16_t bitCount, std::uint32_t compression,
                   std::vector<std::uint32_t> extra, std::vector<std::uint8_t> pixels) {
  TFileLayout layout;
  layout.width = width;
  layout.height = height;
  layout.bitCount = bitCount;
  layout.compression = compression;
  layout.extra = std::move(extra);
  layout.pixels = std::move(pixels);
  return layout;
}

const TRecoveredCase kRecoveredCases[] = {
    {"IndexBeyondShortTableIsBlack", MakeBmp(Layout(3, 1, 8, 0, {0xFF0000, 0x00FF00}, {0, 1, 7, 0})), 3, {R, G, K}},
    {"ColoursUsedCutsTheTable",
     [] {
       TFileLayout layout = Layout(2, 1, 8, 0, {0xFF0000, 0x00FF00}, {0, 1, 0, 0});
       layout.colorsUsed = 1;
       return MakeBmp(layout);
     }(),
     2,
     {R, K}},
    {"SixteenBitDefaultWidensToFullRange",
     MakeBmp(Layout(2, 1, 16, 0, {}, {0xFF, 0x7F, 0x10, 0x42})),
     2,
     {W, 0x848484}},
    {"SixteenBit565",
     MakeBmp(Layout(2, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, {0xFF, 0xFF, 0x00, 0x04})),
     2,
     {W, 0x008200}},
    {"TenBitFields",
     MakeBmp(
         Layout(2, 1, 32, 3, {0x3FF00000, 0x000FFC00, 0x000003FF}, {0x00, 0x00, 0xF8, 0x3F, 0xFF, 0x03, 0x30, 0x00})),
     2,
     {0xFF8000, 0x0100FF}},
    {"RowCutShortIsBlackBeyond",
     MakeBmp(Layout(3, 2, 24, 0, {},
                    {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0,  // bottom row
                     0x10, 0x20, 0x30, 0x40, 0x50})),
     3,
     {0x302010, K, K, 0x030201, 0x060504, 0x090807}},
    {"TopDownOneBit",
     MakeBmp(Layout(3, -2, 1, 0, {0x000000, 0xFFFFFF}, {0xA0, 0, 0, 0, 0x40, 0, 0, 0})),
     3,
     {W, K, W, K, W, K}},
    {"Rle8DeltaAndEndOfLineLeaveBlack",
     MakeBmp(Layout(4, 3, 8, 1, kFourColours, {2, 1, 0, 2, 1, 1, 1, 2, 0, 0, 0, 3, 3, 3, 3, 0, 0, 1})),
     4,
     {B, B, B, K, K, K, K, G, R, R, K, K}},
    {"Rle8RunPastRightEdgeIsDropped",
     MakeBmp(Layout(2, 2, 8, 1, kFourColours, {3, 1, 0, 0, 1, 2, 0, 1})),
     2,
     {G, K, R, R}},
    {"Rle8StreamCutInsideLiteral", MakeBmp(Layout(4, 1, 8, 1, kFourColours, {0, 4, 1, 2})), 4, {R, G, K, K}},
    {"Rle8DeltaBeyondTopEndsThePicture",
     MakeBmp(Layout(2, 2, 8, 1, kFourColours, {1, 3, 0, 2, 0, 5, 1, 1})),
     2,
     {K, K, B, K}},
    {"Rle8WithoutEndMarker", MakeBmp(Layout(2, 2, 8, 1, kFourColours, {2, 3})), 2, {K, K, B, B}},
    {"Rle4OddLiteralIsPadded",
     MakeBmp(Layout(6, 2, 4, 2, kFourColours, {5, 0x12, 0, 0, 0, 5, 0x12, 0x31, 0x20, 0, 1, 0x30, 0, 1})),
     6,
     {R, G, B, R, G, B, R, G, R, G, R, K}},
    {"Rle24",
     MakeBmp(Layout(5, 1, 24, 4, {}, {2, 0x10, 0x20, 0x30, 0, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 1})),
     5,
     {0x302010, 0x302010, 0x030201, 0x060504, 0x090807}},
};

INSTANTIATE_TEST_SUITE_P(Crafted, Recovered, ::testing::ValuesIn(kRecoveredCases),
                         [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------
// Loading from a file reads only as far as the header says can matter.

// The same outcome as reading the whole file: these pixels, or this refusal.
std::string Outcome(const std::function<TBitmap()>& load) {
  try {
    const TBitmap bitmap = load();
    std::ostringstream text;
    text << bitmap.Width() << "x" << bitmap.Height();
    for (int y = 0; y < bitmap.Height(); ++y) {
      text.write(reinterpret_cast<const char*>(bitmap.ScanLine(y)), static_cast<std::streamsize>(bitmap.Width()) * 3);
    }
    return text.str();
  } catch (const Exception& e) {
    return "refused: " + e.Message();
  }
}

TEST(FromFile, EverySuiteFileLoadsAsFromItsWholeBytes) {
  for (const char* folder : {"g", "q", "b", "x"}) {
    for (const std::string& file : SuiteFolder(folder)) {
      const std::string path = kSuiteDir + file;
      EXPECT_EQ(Outcome([&] {
                  TBitmap bitmap;
                  bitmap.LoadFromFile(path);
                  return bitmap;
                }),
                Outcome([&] { return LoadSuiteFile(file); }))
          << file;
    }
  }
}

// A file with gigabytes after its picture (sparse here, so it costs no disk)
// loads at once with the picture's pixels, and a huge file that is no bitmap
// is refused at once, instead of either being read whole into memory.
TEST(FromFile, GigabytesAfterThePictureAreNeverRead) {
  constexpr off_t kHuge = off_t{8} << 30;
  testing_support::ScratchFolder folder;
  struct TLongFile {
    const char* name;
    std::vector<std::uint8_t> start;
    std::string outcome;
  };
  const std::vector<std::uint8_t> pal8 = ReadWholeFile(kSuiteDir + "g/pal8.bmp");
  const std::vector<std::uint8_t> rle8 = ReadWholeFile(kSuiteDir + "g/pal8rle.bmp");
  const std::vector<TLongFile> files = {
      {"pal8.bmp", pal8, Outcome([&] { return Load(pal8); })},
      {"pal8rle.bmp", rle8, Outcome([&] { return Load(rle8); })},
      {"disk-image.bmp", {'M', 'Z'}, "refused: " + std::string(kInvalidBitmapText)},
  };
  for (const TLongFile& file : files) {
    const std::string path = folder / file.name;
    testing_support::WriteFile(path, file.start);
    if (truncate(path.c_str(), kHuge) != 0) GTEST_SKIP() << "no sparse files here";
    EXPECT_EQ(Outcome([&] {
                TBitmap bitmap;
                bitmap.LoadFromFile(path);
                return bitmap;
              }),
              file.outcome)
        << file.name;
  }
}

}  // namespace
