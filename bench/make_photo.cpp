// Writes a JPEG of the requested size with real photo content, for the
// benchmarks: the source photo stretched, with a little noise so that no
// two blocks are alike. Streams row by row, so even 200 megapixels need
// little memory.
//
//   make_photo <source.jpg> <width> <height> <baseline|progressive> <out.jpg>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "JpegImage.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s source.jpg width height baseline|progressive out.jpg\n", argv[0]);
    return 2;
  }
  TJPEGImage sourceJpeg;
  sourceJpeg.LoadFromFile(argv[1]);
  TBitmap source;
  source.Assign(&sourceJpeg);
  const int width = std::atoi(argv[2]);
  const int height = std::atoi(argv[3]);
  const bool progressive = std::string(argv[4]) == "progressive";

  FILE* out = std::fopen(argv[5], "wb");
  if (out == nullptr) return 1;
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 90, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
  JSAMPROW rows[1] = {row.data()};
  unsigned noise = 12345;
  std::vector<int> columns(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) columns[static_cast<std::size_t>(x)] = NearestSourceIndex(x, width, source.Width());
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    const std::uint8_t* in = source.ScanLine(NearestSourceIndex(y, height, source.Height()));
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = in + columns[static_cast<std::size_t>(x)] * 3;
      noise = noise * 1103515245U + 12345U;
      const int n = static_cast<int>((noise >> 16) & 7U) - 3;
      for (int c = 0; c < 3; ++c) {
        const int v = p[2 - c] + n;
        row[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c)] =
            static_cast<JSAMPLE>(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(out);
  return 0;
}
