// The JPEG picture over libjpeg: decoding as libjpeg's own tools do,
// keeping only what is drawn, refusing bombs, and encoding exactly as cjpeg.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Exceptions.h"
#include "JpegImage.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

TBitmap Decode(const std::string& path, const TDrawSizes& sizes = {}) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(path);
  jpeg.DrawSizes = sizes;
  TBitmap bitmap;
  bitmap.Assign(&jpeg);
  return bitmap;
}

TBitmap Stretched(const TBitmap& source, int width, int height) {
  TBitmap target;
  target.SetSize(width, height);
  StretchNearest(source, target, Rect(0, 0, width, height));
  return target;
}

const TDrawSizes kPhotoSizes = {{560, 376}, {376, 560}};

class JpegCodingTest : public ::testing::TestWithParam<std::string> {};

// Same library, same settings: the pixels djpeg -dct float gives.
TEST_P(JpegCodingTest, DecodesAsDjpegWithFloatDct) {
  const std::string path = TestData(GetParam());
  const TBitmap ours = Decode(path);
  const TBitmap theirs = ReadSimpleBmp([&] {
    const std::string out = RunTool("djpeg -dct float -bmp " + ShellQuote(path));
    return std::vector<std::uint8_t>(out.begin(), out.end());
  }());
  ASSERT_EQ(ours.Width(), theirs.Width());
  ASSERT_EQ(ours.Height(), theirs.Height());
  EXPECT_EQ(FirstDifference(ours, theirs), -1);
}

// Keeping only the drawn rows and columns changes no drawn pixel.
TEST_P(JpegCodingTest, SampledDecodeDrawsAsTheFullDecode) {
  const std::string path = TestData(GetParam());
  const TBitmap full = Decode(path);
  const TBitmap sampled = Decode(path, kPhotoSizes);
  EXPECT_EQ(sampled.Width(), full.Width());
  EXPECT_EQ(sampled.Height(), full.Height());
  for (const TSize& size : kPhotoSizes) {
    EXPECT_EQ(FirstDifference(Stretched(full, size.cx, size.cy), Stretched(sampled, size.cx, size.cy)), -1)
        << size.cx << " x " << size.cy;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Codings, JpegCodingTest,
    ::testing::Values("jpeg/go_video-001.jpeg", "jpeg/go_video-001.progressive.jpeg", "jpeg/go_video-001.221212.jpeg",
                      "jpeg/go_video-001.q50.410.jpeg", "jpeg/go_video-001.q50.410.progressive.jpeg",
                      "jpeg/go_video-001.q50.411.jpeg", "jpeg/go_video-001.q50.411.progressive.jpeg",
                      "jpeg/go_video-001.q50.420.jpeg", "jpeg/go_video-001.q50.420.progressive.jpeg",
                      "jpeg/go_video-001.q50.422.jpeg", "jpeg/go_video-001.q50.422.progressive.jpeg",
                      "jpeg/go_video-001.q50.440.jpeg", "jpeg/go_video-001.q50.440.progressive.jpeg",
                      "jpeg/go_video-001.q50.444.jpeg", "jpeg/go_video-001.rgb.jpeg",
                      "jpeg/go_video-001.separate.dc.progression.progressive.jpeg", "jpeg/go_video-005.gray.jpeg",
                      "jpeg/go_video-005.gray.q50.2x2.progressive.jpeg", "jpeg/gdkpixbuf_cat_gray.jpg",
                      "jpeg/go_video-001.cmyk.jpeg", "jpeg/gtk4_image-cmyk.jpeg", "jpeg/wx_cmyk_ycck.jpg",
                      "jpeg/forensics_empty_161x1.jpg", "jpeg/jxl_1x1_exif_xmp.jpg", "jpeg/sdl2image_sample.jpg",
                      "photos/imaging_branches.jpg", "photos/skimage_rocket.jpg",
                      "photos/friends_by_Aitzol_Berasategi.jpg"),
    [](const ::testing::TestParamInfo<std::string>& parameter) {
      std::string name = parameter.param.substr(parameter.param.find('/') + 1);
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(JpegDecode, HeaderGivesTheSizeBeforeDecoding) {
  TJPEGImage jpeg;
  jpeg.LoadFromFile(TestData("photos/seeding_by_Clements_Engelhardt.jpg"));
  EXPECT_EQ(jpeg.Width(), 5312);
  EXPECT_EQ(jpeg.Height(), 2988);
}

TEST(JpegDecode, LargePhotoKeepsOnlyWhatIsDrawn) {
  const TBitmap sampled = Decode(TestData("photos/seeding_by_Clements_Engelhardt.jpg"), kPhotoSizes);
  EXPECT_TRUE(sampled.IsSampled());
  EXPECT_LE(sampled.Pixels().width, 560 + 376);
  EXPECT_LE(sampled.Pixels().height, 560 + 376);
}

TEST(JpegDecode, ClaimedGigapixelsAreRefusedAtOnce) {
  // 64250 x 64250 pixels claimed by 1,407 bytes.
  TJPEGImage jpeg;
  jpeg.LoadFromFile(TestData("jpeg-damaged/gdkpixbuf_issue205.jpg"));
  TBitmap bitmap;
  try {
    bitmap.Assign(&jpeg);
    FAIL() << "decoded";
  } catch (const EInvalidGraphic& e) {
    EXPECT_NE(e.Message().find("64250"), std::string::npos) << e.Message();
  }
}

// Inputs the fuzzers found that cost seconds and gigabytes: a header that
// claims far more blocks than the file could hold, and a file that passes
// over its blocks a thousand times. Each must fail fast with its own
// message, whether it is read from a file or from memory.
struct CostlyCase {
  std::string file;
  int claimedSide;  // 0, or the side its frame header is made to claim
  std::string message;
};

// Sets the width and height of a file's first progressive frame header.
void ClaimSide(std::vector<std::uint8_t>& bytes, int side) {
  for (std::size_t i = 0; i + 9 <= bytes.size(); ++i) {
    if (bytes[i] != 0xFF || bytes[i + 1] != 0xC2) continue;
    for (const std::size_t at : {i + 5, i + 7}) {
      bytes[at] = static_cast<std::uint8_t>(side >> 8);
      bytes[at + 1] = static_cast<std::uint8_t>(side & 0xFF);
    }
    return;
  }
  FAIL() << "no progressive frame header";
}

class JpegCostlyTest : public ::testing::TestWithParam<CostlyCase> {};

TEST_P(JpegCostlyTest, IsRefusedWithItsReason) {
  std::vector<std::uint8_t> bytes = ReadFile(std::string(ORVESSA_FUZZ_REGRESSIONS_DIR) + "/" + GetParam().file);
  if (GetParam().claimedSide > 0) ClaimSide(bytes, GetParam().claimedSide);
  ScratchFolder folder;
  WriteFile(folder / "photo.jpg", bytes);
  for (const bool fromFile : {true, false}) {
    SCOPED_TRACE(fromFile ? "file" : "memory");
    TJPEGImage jpeg;
    if (fromFile) {
      jpeg.LoadFromFile(folder / "photo.jpg");
    } else {
      jpeg.LoadFromData(bytes);
    }
    jpeg.DrawSizes = kPhotoSizes;
    TBitmap bitmap;
    try {
      bitmap.Assign(&jpeg);
      FAIL() << "decoded";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), GetParam().message);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    FuzzFinds, JpegCostlyTest,
    ::testing::Values(CostlyCase{"fuzz_jpeg_intake/slow-2gb-coefficients-from-142-bytes.jpg", 0,
                                 "画像のデータが大きさに対して少なすぎます（32768 × 32000 ピクセル、142 バイト）"},
                      CostlyCase{"fuzz_jpeg_intake/slow-1000-progressive-scans-16384x16384.jpg", 0,
                                 "画像のデータが大きさに対して少なすぎます（16384 × 16384 ピクセル、12130 バイト）"},
                      // As 8192 x 8192 gray (2^20 blocks) the file is long
                      // enough, and 256 passes over its blocks are allowed.
                      CostlyCase{"fuzz_jpeg_intake/slow-1000-progressive-scans-16384x16384.jpg", 8192,
                                 "JPEG 画像のスキャンが多すぎます（257 個目で中止しました）"}));

struct DamagedCase {
  std::string file;
  bool loads;  // with warnings only
};

class JpegDamagedTest : public ::testing::TestWithParam<DamagedCase> {};

// Errors become EJPEG with libjpeg's message number; warnings (a truncated
// file) are not fatal, as in libjpeg.
TEST_P(JpegDamagedTest, FailsWithTheLibraryMessageNumberOrLoadsWhatIsThere) {
  const std::string path = TestData(GetParam().file);
  try {
    const TBitmap bitmap = Decode(path, kPhotoSizes);
    EXPECT_TRUE(GetParam().loads);
    EXPECT_GT(bitmap.Width(), 0);
  } catch (const EJPEG& e) {
    EXPECT_FALSE(GetParam().loads) << e.Message();
    EXPECT_EQ(e.Message(), "JPEG エラー #" + std::to_string(e.ErrorCode()));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, JpegDamagedTest,
                         ::testing::Values(DamagedCase{"jpeg-damaged/gdkpixbuf_CVE-2017-2862.jpg", false},
                                           DamagedCase{"jpeg-damaged/gdkpixbuf_bug775218.jpg", false},
                                           DamagedCase{"jpeg-damaged/gdkpixbuf_premature-end.jpg", true},
                                           DamagedCase{"jpeg-damaged/go_video-001.progressive.truncated.jpeg", true},
                                           DamagedCase{"jpeg-damaged/goexif_exif-only-no-SOF.jpg", false},
                                           DamagedCase{"jpeg-damaged/skimage_truncated.jpg", false}));

TEST(JpegDecode, EmptyAndNonJpegDataFail) {
  for (const std::vector<std::uint8_t>& data : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{'B', 'M', 0, 0},
                                                std::vector<std::uint8_t>{0xFF, 0xD8}}) {
    TJPEGImage jpeg;
    EXPECT_THROW(jpeg.LoadFromData(data), EJPEG);
  }
}

// --- Encoding

// A picture with edges, gradients and noise, so that every table matters.
TBitmap TestPicture() {
  TBitmap picture = Decode(TestData("photos/skimage_rocket.jpg"));
  TBitmap composed;
  composed.SetSize(600, 600);
  StretchNearest(picture, composed, Rect(0, 0, 600, 600));
  for (int y = 0; y < 600; y += 7) {
    std::uint8_t* row = composed.ScanLine(y);
    for (int x = 0; x < 600 * 3; x += 11) row[x] = static_cast<std::uint8_t>(x * y);
  }
  return composed;
}

TEST(JpegEncode, IsByteIdenticalToCjpegAtQuality80) {
  ScratchFolder folder;
  const TBitmap picture = TestPicture();
  WriteFile(folder / "in.bmp", WriteBmp24(picture, 0));
  const std::string theirs = RunTool("cjpeg -quality 80 " + ShellQuote(folder / "in.bmp"));

  TJPEGImage jpeg;
  jpeg.Assign(&picture);
  jpeg.CompressionQuality = 80;
  const std::vector<std::uint8_t> ours = jpeg.Compress();
  EXPECT_TRUE(ours == std::vector<std::uint8_t>(theirs.begin(), theirs.end()));
}

// Quantisation tables in zigzag order from the file's DQT segments.
std::vector<std::vector<int>> QuantisationTables(const std::vector<std::uint8_t>& file) {
  std::vector<std::vector<int>> tables;
  std::size_t at = 2;
  while (at + 4 <= file.size() && file[at] == 0xFF && file[at + 1] != 0xDA) {
    const std::size_t length = (file[at + 2] << 8) | file[at + 3];
    if (file[at + 1] == 0xDB) {
      for (std::size_t p = at + 4; p + 65 <= at + 2 + length; p += 65) {
        EXPECT_EQ(file[p] >> 4, 0) << "8-bit tables only";
        tables.emplace_back(file.begin() + static_cast<std::ptrdiff_t>(p + 1),
                            file.begin() + static_cast<std::ptrdiff_t>(p + 65));
      }
    }
    at += 2 + length;
  }
  return tables;
}

TEST(JpegEncode, WritesBaselineJfifWithStandardTablesForQuality80) {
  const TBitmap picture = TestPicture();
  TJPEGImage jpeg;
  jpeg.Assign(&picture);
  jpeg.CompressionQuality = 80;
  const std::vector<std::uint8_t> file = jpeg.Compress();

  // JFIF APP0 right after SOI: version 1.1, no density unit, aspect 1:1.
  ASSERT_GT(file.size(), 20U);
  EXPECT_EQ(file[2], 0xFF);
  EXPECT_EQ(file[3], 0xE0);
  EXPECT_EQ(std::string(file.begin() + 6, file.begin() + 11), std::string("JFIF\0", 5));
  EXPECT_EQ(file[13], 0);  // units
  EXPECT_EQ((file[14] << 8) | file[15], 1);
  EXPECT_EQ((file[16] << 8) | file[17], 1);

  // The IJG example tables (zigzag order), scaled by 40% for quality 80.
  const int luminance[64] = {16, 11, 12,  14,  12,  10, 16, 14,  13,  14,  18,  17,  16, 19,  24,  40,
                             26, 24, 22,  22,  24,  49, 35, 37,  29,  40,  58,  51,  61, 60,  57,  51,
                             56, 55, 64,  72,  92,  78, 64, 68,  87,  69,  55,  56,  80, 109, 81,  87,
                             95, 98, 103, 104, 103, 62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99};
  const int chrominance[64] = {17, 18, 18, 24, 21, 24, 47, 26, 26, 47, 99, 66, 56, 66, 99, 99, 99, 99, 99, 99, 99, 99,
                               99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                               99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
  const auto scaled = [](const int* basic) {
    std::vector<int> table(64);
    for (int i = 0; i < 64; ++i) table[i] = std::clamp((basic[i] * 40 + 50) / 100, 1, 255);
    return table;
  };
  const auto tables = QuantisationTables(file);
  ASSERT_EQ(tables.size(), 2U);
  EXPECT_EQ(tables[0], scaled(luminance));
  EXPECT_EQ(tables[1], scaled(chrominance));

  // Baseline (SOF0), three components, luminance 2 x 2, chrominance 1 x 1.
  const std::uint8_t startOfFrame[] = {0xFF, 0xC0};
  const auto sof = std::search(file.begin(), file.end(), std::begin(startOfFrame), std::end(startOfFrame));
  ASSERT_NE(sof, file.end());
  EXPECT_EQ(sof[9], 3);
  EXPECT_EQ(sof[11], 0x22);
  EXPECT_EQ(sof[14], 0x11);
  EXPECT_EQ(sof[17], 0x11);
  // Decodes back to 600 x 600.
  TJPEGImage back;
  back.LoadFromData(file);
  EXPECT_EQ(back.Width(), 600);
  EXPECT_EQ(back.Height(), 600);
}

}  // namespace
