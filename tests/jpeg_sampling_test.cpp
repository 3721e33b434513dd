// Decoding only the rows and columns that are drawn gives exactly the
// pixels of drawing the full decode, for every kind of JPEG and for sizes
// that do not divide evenly into blocks.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "JpegImage.h"
#include "TestSupport.h"

using namespace testing_support;

namespace {

enum class Kind { YCbCr, Gray, Cmyk, Ycck };

struct Coding {
  std::string name;
  Kind kind;
  int h0, v0;  // sampling of the first component; the others are 1 x 1
  bool progressive;
  int restartRows;
};

struct ErrorExit {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

// Encodes `picture` (24-bit) with libjpeg as `coding` asks.
std::vector<std::uint8_t> Encode(const TBitmap& picture, const Coding& coding) {
  jpeg_compress_struct info{};
  ErrorExit errors{};
  info.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<ErrorExit*>(c->err)->jump, 1); };
  unsigned char* buffer = nullptr;
  unsigned long size = 0;  // NOLINT(google-runtime-int)
  const int components = coding.kind == Kind::Gray ? 1 : (coding.kind == Kind::YCbCr ? 3 : 4);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(picture.Width()) * static_cast<std::size_t>(components));
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    ADD_FAILURE() << "libjpeg failed";
    return {};
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(picture.Width());
  info.image_height = static_cast<JDIMENSION>(picture.Height());
  info.input_components = components;
  info.in_color_space = coding.kind == Kind::Gray ? JCS_GRAYSCALE : (coding.kind == Kind::YCbCr ? JCS_RGB : JCS_CMYK);
  jpeg_set_defaults(&info);
  if (coding.kind == Kind::Ycck) jpeg_set_colorspace(&info, JCS_YCCK);
  jpeg_set_quality(&info, 85, TRUE);
  info.comp_info[0].h_samp_factor = coding.h0;
  info.comp_info[0].v_samp_factor = coding.v0;
  for (int c = 1; c < info.num_components; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
  if (coding.kind == Kind::Ycck) info.comp_info[3].h_samp_factor = info.comp_info[3].v_samp_factor = 1;
  info.restart_in_rows = coding.restartRows;
  if (coding.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  JSAMPROW rows[1] = {row.data()};
  while (info.next_scanline < info.image_height) {
    const std::uint8_t* in = picture.ScanLine(static_cast<int>(info.next_scanline));
    for (int x = 0; x < picture.Width(); ++x) {
      const std::uint8_t b = in[x * 3], g = in[x * 3 + 1], r = in[x * 3 + 2];
      JSAMPLE* out = row.data() + static_cast<std::ptrdiff_t>(x) * components;
      if (components == 1) {
        out[0] = g;
      } else if (components == 3) {
        out[0] = r;
        out[1] = g;
        out[2] = b;
      } else {
        // Adobe's inverted CMYK, with some black.
        out[0] = r;
        out[1] = g;
        out[2] = b;
        out[3] = static_cast<JSAMPLE>(255 - (x + static_cast<int>(info.next_scanline)) % 64);
      }
    }
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<std::uint8_t> file(buffer, buffer + size);
  std::free(buffer);
  return file;
}

// Real photo content at the size asked for, with noise so that enlarged
// parts do not turn into flat blocks.
TBitmap PhotoAt(int width, int height) {
  static const TBitmap photo = [] {
    TJPEGImage jpeg;
    jpeg.LoadFromFile(TestData("photos/skimage_rocket.jpg"));
    TBitmap full;
    full.Assign(&jpeg);
    return full;
  }();
  TBitmap picture;
  picture.SetSize(width, height);
  StretchNearest(photo, picture, Rect(0, 0, width, height));
  unsigned noise = 1;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    for (int i = 0; i < width * 3; ++i) {
      noise = noise * 1103515245U + 12345U;
      row[i] = static_cast<std::uint8_t>(row[i] ^ ((noise >> 16) & 15U));
    }
  }
  return picture;
}

TBitmap Drawn(const TBitmap& source, const TSize& size) {
  TBitmap target;
  target.SetSize(size.cx, size.cy);
  StretchNearest(source, target, Rect(0, 0, size.cx, size.cy));
  return target;
}

const TDrawSizes kPhotoSizes = {{560, 376}, {376, 560}};

const Coding kCodings[] = {
    {"Baseline444", Kind::YCbCr, 1, 1, false, 0},   {"Baseline420", Kind::YCbCr, 2, 2, false, 0},
    {"Baseline422", Kind::YCbCr, 2, 1, false, 0},   {"Baseline440", Kind::YCbCr, 1, 2, false, 0},
    {"Baseline411", Kind::YCbCr, 4, 1, false, 0},   {"Baseline410", Kind::YCbCr, 4, 2, false, 0},
    {"Progressive420", Kind::YCbCr, 2, 2, true, 0}, {"Progressive444", Kind::YCbCr, 1, 1, true, 0},
    {"Progressive411", Kind::YCbCr, 4, 1, true, 0}, {"Restarts420", Kind::YCbCr, 2, 2, false, 1},
    {"Gray", Kind::Gray, 1, 1, false, 0},           {"GrayProgressive", Kind::Gray, 1, 1, true, 0},
    {"Cmyk", Kind::Cmyk, 1, 1, false, 0},           {"Ycck420", Kind::Ycck, 2, 2, false, 0},
};

const TSize kSizes[] = {{1001, 1000}, {937, 2011}, {2011, 937}, {3001, 17}, {17, 3001}, {1500, 1125}};

class SamplingTest : public ::testing::TestWithParam<std::tuple<Coding, TSize>> {};

TEST_P(SamplingTest, DrawsExactlyAsTheFullDecode) {
  const auto& [coding, size] = GetParam();
  TJPEGImage jpeg;
  jpeg.LoadFromData(Encode(PhotoAt(size.cx, size.cy), coding));
  TBitmap full;
  full.Assign(&jpeg);
  jpeg.DrawSizes = kPhotoSizes;
  TBitmap sampled;
  sampled.Assign(&jpeg);
  ASSERT_EQ(sampled.Width(), size.cx);
  ASSERT_EQ(sampled.Height(), size.cy);
  for (const TSize& drawn : kPhotoSizes) {
    EXPECT_EQ(FirstDifference(Drawn(full, drawn), Drawn(sampled, drawn)), -1) << drawn.cx << " x " << drawn.cy;
  }
}

INSTANTIATE_TEST_SUITE_P(Codings, SamplingTest,
                         ::testing::Combine(::testing::ValuesIn(kCodings), ::testing::ValuesIn(kSizes)),
                         [](const ::testing::TestParamInfo<std::tuple<Coding, TSize>>& parameter) {
                           const TSize size = std::get<1>(parameter.param);
                           return std::get<0>(parameter.param).name + "_" + std::to_string(size.cx) + "x" +
                                  std::to_string(size.cy);
                         });

// Real photos as they come from cameras and phones.
TEST(SamplingOfRealPhotos, DrawsExactlyAsTheFullDecode) {
  for (const char* name : {"photos/seeding_by_Clements_Engelhardt.jpg", "photos/friends_by_Aitzol_Berasategi.jpg"}) {
    SCOPED_TRACE(name);
    TJPEGImage jpeg;
    jpeg.LoadFromFile(TestData(name));
    TBitmap full;
    full.Assign(&jpeg);
    jpeg.DrawSizes = kPhotoSizes;
    TBitmap sampled;
    sampled.Assign(&jpeg);
    for (const TSize& drawn : kPhotoSizes) EXPECT_EQ(FirstDifference(Drawn(full, drawn), Drawn(sampled, drawn)), -1);
  }
}

}  // namespace
