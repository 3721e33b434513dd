#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace testing_support {

namespace {

std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

}  // namespace

std::string TestData(const std::string& relative) { return std::string(ORVESSA_TESTDATA_DIR) + "/" + relative; }

ScratchFolder::ScratchFolder() {
  std::string pattern = "/tmp/orvessa-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  fPath = pattern;
}

ScratchFolder::~ScratchFolder() {
  const std::string command = "chmod -R u+rwx " + ShellQuote(fPath) + " 2>/dev/null; rm -rf " + ShellQuote(fPath);
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", fPath.c_str());
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string RunTool(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return output;
  }
  std::array<char, 65536> buffer{};
  std::size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), got);
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << command;
  return output;
}

TBitmap ReadSimpleBmp(const std::vector<std::uint8_t>& file) {
  TBitmap bitmap;
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') {
    ADD_FAILURE() << "not a bitmap";
    return bitmap;
  }
  const std::uint32_t offset = U32(file, 10);
  const std::uint32_t headerSize = U32(file, 14);
  const auto width = static_cast<int>(U32(file, 18));
  const auto rawHeight = static_cast<std::int32_t>(U32(file, 22));
  const int height = rawHeight < 0 ? -rawHeight : rawHeight;
  const int bits = file[28] | (file[29] << 8);
  bitmap.SetSize(width, height);
  const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
  for (int y = 0; y < height; ++y) {
    const int fileRow = rawHeight < 0 ? y : height - 1 - y;
    const std::size_t at = offset + static_cast<std::size_t>(fileRow) * stride;
    std::uint8_t* out = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      if (bits == 24) {
        for (int c = 0; c < 3; ++c) out[x * 3 + c] = file.at(at + static_cast<std::size_t>(x) * 3 + c);
      } else if (bits == 8) {
        const std::size_t entry = 14 + headerSize + 4 * static_cast<std::size_t>(file.at(at + x));
        for (int c = 0; c < 3; ++c) out[x * 3 + c] = file.at(entry + c);
      } else {
        ADD_FAILURE() << "unexpected bit count " << bits;
        return bitmap;
      }
    }
  }
  return bitmap;
}

std::vector<std::uint8_t> WriteBmp24(const TBitmap& bitmap, int pixelsPerMetre) {
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3U;
  const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
  std::vector<std::uint8_t> b = {'B', 'M'};
  Put32(b, 54 + imageSize);
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(width));
  Put32(b, static_cast<std::uint32_t>(height));
  Put16(b, 1);
  Put16(b, 24);
  Put32(b, 0);
  Put32(b, imageSize);
  Put32(b, static_cast<std::uint32_t>(pixelsPerMetre));
  Put32(b, static_cast<std::uint32_t>(pixelsPerMetre));
  Put32(b, 0);
  Put32(b, 0);
  for (int y = height - 1; y >= 0; --y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    b.insert(b.end(), row, row + static_cast<std::ptrdiff_t>(width) * 3);
    b.resize(b.size() + (stride - static_cast<std::uint32_t>(width) * 3), 0);
  }
  return b;
}

long long FirstDifference(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 0;
  for (int y = 0; y < a.Height(); ++y) {
    const std::uint8_t* ra = a.ScanLine(y);
    const std::uint8_t* rb = b.ScanLine(y);
    for (int x = 0; x < a.Width() * 3; ++x) {
      if (ra[x] != rb[x]) return static_cast<long long>(y) * a.Width() + x / 3;
    }
  }
  return -1;
}

}  // namespace testing_support
