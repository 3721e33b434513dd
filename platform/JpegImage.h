// The JPEG picture: decoding and encoding through libjpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Graphics.h"

class TJPEGImage : public TGraphic {
 public:
  TJPEGImage();
  ~TJPEGImage() override;

  // Size from the file's header (0 x 0 before anything is loaded).
  int Width() const override { return fWidth; }
  int Height() const override { return fHeight; }
  std::unique_ptr<TGraphic> Clone() const override;

  // Reads the file and its header; the pixels are decoded when asked for.
  void LoadFromFile(const std::string& fileName);
  void LoadFromData(std::vector<std::uint8_t> data);

  // Decodes at full size with the floating-point inverse DCT, block
  // smoothing on and 8-bit RGB out (gray files as gray, CMYK and YCCK files
  // converted from Adobe's inverted CMYK), keeping what DrawSizes need.
  void DecodeInto(TBitmap& target) const;
  TDrawSizes DrawSizes;

  // Takes the pixels to encode from a bitmap.
  void Assign(const TGraphic* source);
  // 1 to 100; 90 unless set.
  int CompressionQuality = 90;
  // The assigned bitmap as a baseline JFIF file with libjpeg's default
  // settings at CompressionQuality.
  std::vector<std::uint8_t> Compress() const;
  // Compress() written to `fileName` without ever leaving a partial file;
  // raises EFCreateError when it cannot be written.
  void SaveToFile(const std::string& fileName) const;

  // Memory libjpeg may take for one picture (coefficients of progressive
  // files live in it). Above it a file is refused rather than decoded.
  static constexpr long long kDecoderMemoryBudget = 2LL * 1024 * 1024 * 1024;
  // Even a flat picture costs at least a bit or two per 8x8 block of every
  // component; a file with less than a byte per this many blocks is mostly
  // missing, and decoding it would only spend time and memory on gray.
  static constexpr long long kMaxBlocksPerByte = 128;
  // Each scan of a multi-scan file passes over every block of the
  // components it holds. Real progressive photos pass over each block five
  // or six times; a file whose scans add up to more block passes than this
  // (16 passes over the largest picture the memory budget allows) is
  // refused when it gets there.
  static constexpr long long kMaxBlockPasses = 1LL << 28;

 private:
  std::vector<std::uint8_t> fData;
  std::string fFileName;  // read from there when set, not from fData
  int fWidth = 0;
  int fHeight = 0;
  TBitmap fBitmap;  // pixels to encode
};
