// Shared by the tests: test data, scratch folders, external tools, and a
// small reader for the bitmaps that libjpeg's own tools write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Graphics.h"

namespace testing_support {

// A file of the shared test data, e.g. "jpeg/go_video-001.jpeg".
std::string TestData(const std::string& relative);

// A fresh empty folder, removed with everything in it at destruction.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return fPath; }
  std::string operator/(const std::string& name) const { return fPath + "/" + name; }

 private:
  std::string fPath;
};

std::vector<std::uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
// Runs a shell command; returns its standard output, fails the test if the
// command fails.
std::string RunTool(const std::string& command);
std::string ShellQuote(const std::string& text);

// Reads an uncompressed bottom-up or top-down 8-bit (colour table) or
// 24-bit Windows bitmap, as djpeg -bmp writes them, into a full bitmap.
TBitmap ReadSimpleBmp(const std::vector<std::uint8_t>& file);
// Writes a 24-bit bottom-up bitmap with the given density.
std::vector<std::uint8_t> WriteBmp24(const TBitmap& bitmap, int pixelsPerMetre);

// Index of the first differing pixel (row-major) or -1; both must be full.
long long FirstDifference(const TBitmap& a, const TBitmap& b);

}  // namespace testing_support
