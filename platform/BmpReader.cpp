#include "BmpReader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Exceptions.h"

// How this reader treats the doubtful corners of the format:
//
// - The file-size, image-size and density fields are never trusted; the file's
//   real length and the pixel-data offset are.
// - The colour table lies between the header (and any bit masks) and the
//   pixel data; the offset cuts it short when it says so. Indices the table
//   does not cover, and pixels the file does not hold (a short file, an RLE
//   stream that ends, skips or jumps), are black, never the first entry: a
//   gap then looks like a gap.
// - RLE pixels beyond the right edge are dropped rather than wrapped, and the
//   stream stops at the top row.
// - Alpha is ignored. Bit masks that are all zero mean the default layout;
//   masks with gaps, or reaching past the pixel, are refused.
// - Embedded JPEG or PNG data, 64-bit pixels, CMYK, OS/2 Huffman coding and
//   RLE with a negative height (RLE is bottom-up only) are refused. OS/2's
//   24-bit RLE is read.
// - A file with far too little pixel data for its claimed size is refused
//   rather than padded out with black: none at all, fewer than a sixteenth of
//   the rows, or an RLE stream of under a byte per 65536 pixels. A header
//   claiming hundreds of megapixels over a few bytes is far more likely to be
//   hostile than a truncated photo, and would cost that much memory for
//   nothing; a merely cut-off file still loads.

namespace {

[[noreturn]] void Refuse() { throw EInvalidGraphic(std::string(kInvalidBitmapText)); }

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t I32(const std::uint8_t* p) {
  const std::uint32_t u = U32(p);
  return u <= static_cast<std::uint32_t>(INT32_MAX) ? static_cast<std::int32_t>(u)
                                                    : static_cast<std::int32_t>(u - 0x80000000U) + INT32_MIN;
}

constexpr std::size_t kFileHeaderSize = 14;

enum : std::uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitFields = 3,
  kJpegOrRle24 = 4,
  kAlphaBitFields = 6,
};

enum class TCoding { Indexed, BitFields, Bgr24, Bgrx32, Rle8, Rle4, Rle24 };

// One colour channel of a bit-field pixel, widened to 0..255 the way the
// reference renderings do: round(v * 255 / (2^n - 1)).
class TChannel {
 public:
  TChannel() = default;
  explicit TChannel(std::uint32_t mask) : fMask(mask) {
    if (mask == 0) return;
    while (((mask >> fShift) & 1U) == 0) ++fShift;
    const std::uint32_t run = mask >> fShift;
    if ((run & (run + 1)) != 0) Refuse();  // the bits must be contiguous
    while (fBits < 32 && ((run >> fBits) & 1U) != 0) ++fBits;
    if (fBits <= 16) {
      fTable.resize(std::size_t{1} << fBits);
      for (std::uint32_t v = 0; v < fTable.size(); ++v) fTable[v] = Widen(v);
    }
  }

  std::uint8_t operator()(std::uint32_t pixel) const {
    if (fMask == 0) return 0;
    const std::uint32_t v = (pixel & fMask) >> fShift;
    return fTable.empty() ? Widen(v) : fTable[v];
  }

 private:
  std::uint8_t Widen(std::uint32_t v) const {
    const std::uint64_t max = (std::uint64_t{1} << fBits) - 1;
    return static_cast<std::uint8_t>((std::uint64_t{v} * 510 + max) / (2 * max));
  }

  std::uint32_t fMask = 0;
  int fShift = 0;
  int fBits = 0;
  std::vector<std::uint8_t> fTable;
};

struct THeader {
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bitCount = 0;
  TCoding coding = TCoding::Indexed;
  std::array<std::uint8_t, std::size_t{256} * 3> palette{};  // blue, green, red; unset entries black
  std::array<std::uint32_t, 3> masks{};                      // red, green, blue
  std::size_t pixelOffset = 0;
};

bool IsWindowsInfoSize(std::uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// OS/2 2.x headers may stop after any of their fields.
bool IsOs2InfoSize(std::uint32_t size) {
  return size >= 16 && size <= 64 && (size % 4 == 0 || size == 42 || size == 46);
}

// The channel layout of uncompressed 16- and 32-bit pixels (5-5-5 and 8-8-8).
std::array<std::uint32_t, 3> DefaultMasks(int bits) {
  return bits == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                    : std::array<std::uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
}

THeader ParseHeader(const std::uint8_t* data, std::size_t size) {
  if (size < kFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M') Refuse();
  const std::uint32_t infoSize = U32(data + kFileHeaderSize);
  const bool core = infoSize == 12;
  if (!core && !IsWindowsInfoSize(infoSize) && !IsOs2InfoSize(infoSize)) Refuse();
  if (size - kFileHeaderSize < infoSize) Refuse();
  const std::uint8_t* info = data + kFileHeaderSize;
  // Fields an OS/2 2.x header leaves out read as zero.
  std::array<std::uint8_t, 124> fields{};
  std::memcpy(fields.data(), info, infoSize);
  const std::uint8_t* f = fields.data();

  THeader h;
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t colorsUsed = 0;
  if (core) {
    width = U16(f + 4);
    height = U16(f + 6);
    if (U16(f + 8) != 1) Refuse();
    h.bitCount = U16(f + 10);
  } else {
    width = I32(f + 4);
    height = I32(f + 8);
    if (U16(f + 12) != 1) Refuse();
    h.bitCount = U16(f + 14);
    compression = U32(f + 16);
    colorsUsed = U32(f + 32);
  }
  if (width <= 0 || height == 0) Refuse();
  h.topDown = height < 0;
  if (h.topDown) height = -height;  // 64-bit: INT32_MIN negates safely and fails the limits below
  if (width > INT_MAX || height > INT_MAX) Refuse();
  h.width = static_cast<int>(width);
  h.height = static_cast<int>(height);

  const int bits = h.bitCount;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) Refuse();

  std::size_t maskBytesAfterHeader = 0;
  switch (compression) {
    case kRgb:
      h.coding = bits <= 8    ? TCoding::Indexed
                 : bits == 16 ? TCoding::BitFields
                 : bits == 24 ? TCoding::Bgr24
                              : TCoding::Bgrx32;
      h.masks = DefaultMasks(bits);
      break;
    case kRle8:
      if (bits != 8) Refuse();
      h.coding = TCoding::Rle8;
      break;
    case kRle4:
      if (bits != 4) Refuse();
      h.coding = TCoding::Rle4;
      break;
    case kBitFields:
    case kAlphaBitFields: {
      // OS/2 headers use 3 for Huffman coding, which is not read here.
      if ((bits != 16 && bits != 32) || !IsWindowsInfoSize(infoSize)) Refuse();
      h.coding = TCoding::BitFields;
      const std::uint8_t* masks = f + 40;
      if (infoSize == 40) {
        // The masks follow the header, where the colour table would start.
        maskBytesAfterHeader = compression == kAlphaBitFields ? 16 : 12;
        if (size - kFileHeaderSize - infoSize < maskBytesAfterHeader) Refuse();
        masks = info + infoSize;
      }
      h.masks = {U32(masks), U32(masks + 4), U32(masks + 8)};
      if (h.masks[0] == 0 && h.masks[1] == 0 && h.masks[2] == 0) {
        // No masks at all: take the layout an uncompressed file would have.
        h.masks = DefaultMasks(bits);
      }
      const std::uint64_t pixelBits = bits == 16 ? 0xFFFFULL : 0xFFFFFFFFULL;
      for (const std::uint32_t mask : h.masks) {
        if ((mask & ~pixelBits) != 0) Refuse();
      }
      if (bits == 32 && h.masks == DefaultMasks(32)) {
        h.coding = TCoding::Bgrx32;
      }
      break;
    }
    case kJpegOrRle24:
      // Windows embeds JPEG data under this number (bit count 0); OS/2 uses
      // it for 24-bit RLE.
      if (bits != 24) Refuse();
      h.coding = TCoding::Rle24;
      break;
    default:
      Refuse();
  }
  const bool rle = h.coding == TCoding::Rle8 || h.coding == TCoding::Rle4 || h.coding == TCoding::Rle24;
  if (rle && h.topDown) Refuse();

  const std::size_t paletteStart = kFileHeaderSize + infoSize + maskBytesAfterHeader;
  const std::uint32_t offset = U32(data + 10);
  if (offset < paletteStart || offset > size) Refuse();
  h.pixelOffset = offset;

  if (bits <= 8) {
    const std::size_t entrySize = core ? 3 : 4;
    const std::uint32_t full = 1U << bits;
    std::size_t count = (colorsUsed == 0 || colorsUsed > full) ? full : colorsUsed;
    count = std::min(count, (offset - paletteStart) / entrySize);
    for (std::size_t i = 0; i < count; ++i) {
      std::memcpy(&h.palette[i * 3], data + paletteStart + i * entrySize, 3);
    }
  }

  // Refuse headers the file cannot back with data (see the note at the top).
  const std::size_t present = size - offset;
  if (present == 0) Refuse();
  const auto pixels = static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.height);
  if (rle) {
    if (pixels / 65536 > present) Refuse();
  } else {
    const std::uint64_t stride = (static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(bits) + 31) / 32 * 4;
    const std::uint64_t rowsPresent = present / stride;
    if (rowsPresent * 16 < static_cast<std::uint64_t>(h.height)) Refuse();
  }
  return h;
}

// Converts uncompressed rows to blue-green-red triples.
class TRowDecoder {
 public:
  explicit TRowDecoder(const THeader& header) : fHeader(header) {
    if (header.coding == TCoding::BitFields) {
      fRed = TChannel(header.masks[0]);
      fGreen = TChannel(header.masks[1]);
      fBlue = TChannel(header.masks[2]);
    }
  }

  // Hands the builder row `y` from the `available` bytes at `source`.
  void Put(TBitmapBuilder& builder, int y, const std::uint8_t* source, std::size_t available) {
    const auto width = static_cast<std::size_t>(fHeader.width);
    const auto bits = static_cast<std::size_t>(fHeader.bitCount);
    // Whole pixels present; a row cut short by the end of the file is black beyond.
    const std::size_t count = std::min(width, available * 8 / bits);
    if (count == width && fHeader.coding == TCoding::Bgr24) {
      builder.PutRow(y, source, TRowLayout::BGR);
      return;
    }
    if (count == width && fHeader.coding == TCoding::Bgrx32) {
      builder.PutRow(y, source, TRowLayout::BGRX);
      return;
    }
    // Made on first use: whole 24- and 32-bit rows go to the builder as they are.
    if (fRow.empty()) fRow.resize(width * 3);
    std::uint8_t* out = fRow.data();
    switch (fHeader.coding) {
      case TCoding::Indexed: {
        const unsigned mask = (1U << bits) - 1;
        for (std::size_t x = 0; x < count; ++x, out += 3) {
          const std::size_t bit = x * bits;
          const unsigned index = (source[bit / 8] >> (8 - bits - bit % 8)) & mask;
          std::memcpy(out, &fHeader.palette[std::size_t{index} * 3], 3);
        }
        break;
      }
      case TCoding::BitFields:
        for (std::size_t x = 0; x < count; ++x, out += 3) {
          const std::uint32_t pixel = bits == 16 ? U16(source + x * 2) : U32(source + x * 4);
          out[0] = fBlue(pixel);
          out[1] = fGreen(pixel);
          out[2] = fRed(pixel);
        }
        break;
      case TCoding::Bgr24:
        std::memcpy(out, source, count * 3);
        break;
      case TCoding::Bgrx32:
        for (std::size_t x = 0; x < count; ++x) std::memcpy(out + x * 3, source + x * 4, 3);
        break;
      default:
        break;
    }
    std::fill(fRow.begin() + static_cast<std::ptrdiff_t>(count * 3), fRow.end(), std::uint8_t{0});
    builder.PutRow(y, fRow.data(), TRowLayout::BGR);
  }

 private:
  const THeader& fHeader;
  std::vector<std::uint8_t> fRow;
  TChannel fRed;
  TChannel fGreen;
  TChannel fBlue;
};

void ReadUncompressed(const THeader& header, const std::uint8_t* data, std::size_t size, TBitmapBuilder& builder) {
  const std::size_t stride =
      (static_cast<std::size_t>(header.width) * static_cast<std::size_t>(header.bitCount) + 31) / 32 * 4;
  TRowDecoder decoder(header);
  for (int y = builder.NextWantedRow(0); y < header.height; y = builder.NextWantedRow(y + 1)) {
    const auto fileRow = static_cast<std::size_t>(header.topDown ? y : header.height - 1 - y);
    const std::size_t start = header.pixelOffset + fileRow * stride;
    // Rows the file does not reach stay black; the header check keeps their
    // index arithmetic far from overflowing.
    if (start >= size) continue;
    decoder.Put(builder, y, data + start, std::min(stride, size - start));
  }
}

// Walks an RLE stream from the bottom row up, painting the rows the builder
// keeps into a one-row buffer.
class TRleReader {
 public:
  TRleReader(const THeader& header, const std::uint8_t* data, std::size_t size, TBitmapBuilder& builder)
      : fHeader(header),
        fBuilder(builder),
        fIn(data + header.pixelOffset),
        fEnd(data + size),
        fRow(static_cast<std::size_t>(header.width) * 3) {
    // The stream climbs from the bottom row; the kept rows, listed once, are
    // then met in order from the end of the list.
    for (int y = builder.NextWantedRow(0); y < header.height; y = builder.NextWantedRow(y + 1))
      fWantedRows.push_back(y);
    fNextWanted = fWantedRows.size();
  }

  void Run() {
    if (fWantedRows.empty()) return;
    const int lowestWanted = fWantedRows.front();
    StartRow(0);
    // Once past the highest kept row nothing more is needed.
    while (fFileRow < fHeader.height && fHeader.height - 1 - fFileRow >= lowestWanted) {
      if (fEnd - fIn < 2) break;
      const unsigned count = fIn[0];
      const unsigned value = fIn[1];
      fIn += 2;
      if (count > 0) {
        RepeatRun(count, value);
      } else if (value == 0) {
        StartRow(fFileRow + 1);
      } else if (value == 2) {
        if (fEnd - fIn < 2) break;
        const unsigned dx = fIn[0];
        const unsigned dy = fIn[1];
        fIn += 2;
        const std::size_t x = fX + dx;
        if (dy > 0) StartRow(fFileRow + static_cast<int>(dy));
        fX = x;
      } else if (value == 1 || !LiteralRun(value)) {
        // The end of the picture, or a literal run cut short by the file.
        break;
      }
    }
    Flush();
  }

 private:
  void Flush() {
    if (!fDirty) return;
    fBuilder.PutRow(fHeader.height - 1 - fFileRow, fRow.data(), TRowLayout::BGR);
    std::fill(fRow.begin(), fRow.end(), std::uint8_t{0});
    fDirty = false;
  }

  void StartRow(int fileRow) {
    Flush();
    fFileRow = std::min(fileRow, fHeader.height);
    fX = 0;
    const int y = fHeader.height - 1 - fFileRow;
    while (fNextWanted > 0 && fWantedRows[fNextWanted - 1] > y) --fNextWanted;
    fWanted = fNextWanted > 0 && fWantedRows[fNextWanted - 1] == y;
  }

  // Pixels from the current column on that still fall inside the row.
  std::size_t Visible(std::size_t count) const {
    const auto width = static_cast<std::size_t>(fHeader.width);
    return (!fWanted || fX >= width) ? 0 : std::min(count, width - fX);
  }

  void Paint(std::size_t x, const std::uint8_t* bgr) {
    std::memcpy(&fRow[x * 3], bgr, 3);
    fDirty = true;
  }

  const std::uint8_t* Colour(unsigned index) const { return &fHeader.palette[std::size_t{index} * 3]; }

  void RepeatRun(unsigned count, unsigned value) {
    const std::size_t visible = Visible(count);
    if (fHeader.coding == TCoding::Rle24) {
      // The count is followed by one blue-green-red pixel, not an index.
      if (fEnd - fIn < 2) {
        fIn = fEnd;
        return;
      }
      const std::uint8_t bgr[3] = {static_cast<std::uint8_t>(value), fIn[0], fIn[1]};
      fIn += 2;
      for (std::size_t i = 0; i < visible; ++i) Paint(fX + i, bgr);
    } else if (fHeader.coding == TCoding::Rle4) {
      for (std::size_t i = 0; i < visible; ++i) Paint(fX + i, Colour(i % 2 == 0 ? value >> 4 : value & 15));
    } else {
      for (std::size_t i = 0; i < visible; ++i) Paint(fX + i, Colour(value));
    }
    fX += count;
  }

  // Returns false when the stream ends inside the run.
  bool LiteralRun(unsigned count) {
    std::size_t bytes = 0;
    switch (fHeader.coding) {
      case TCoding::Rle8:
        bytes = count;
        break;
      case TCoding::Rle4:
        bytes = (count + 1) / 2;
        break;
      default:
        bytes = std::size_t{count} * 3;
        break;
    }
    const auto left = static_cast<std::size_t>(fEnd - fIn);
    const bool whole = bytes <= left;
    // Pixels whose bytes the file still holds.
    std::size_t have = count;
    if (!whole) {
      have = fHeader.coding == TCoding::Rle8 ? left : fHeader.coding == TCoding::Rle4 ? left * 2 : left / 3;
    }
    const std::size_t visible = Visible(have);
    for (std::size_t i = 0; i < visible; ++i) {
      switch (fHeader.coding) {
        case TCoding::Rle8:
          Paint(fX + i, Colour(fIn[i]));
          break;
        case TCoding::Rle4:
          Paint(fX + i, Colour(i % 2 == 0 ? fIn[i / 2] >> 4 : fIn[i / 2] & 15));
          break;
        default:
          Paint(fX + i, fIn + i * 3);
          break;
      }
    }
    if (!whole) return false;
    fX += count;
    const std::size_t padded = bytes + bytes % 2;  // runs end on a 16-bit boundary
    fIn += std::min(padded, left);
    return true;
  }

  const THeader& fHeader;
  TBitmapBuilder& fBuilder;
  const std::uint8_t* fIn;
  const std::uint8_t* fEnd;
  std::vector<std::uint8_t> fRow;
  std::vector<int> fWantedRows;  // ascending
  std::size_t fNextWanted = 0;   // kept rows from here on are below the current one, done
  int fFileRow = 0;              // counted from the bottom
  std::size_t fX = 0;
  bool fWanted = false;
  bool fDirty = false;
};

}  // namespace

void ReadBmp(const std::uint8_t* data, std::size_t size, TBitmap& target, const TDrawSizes& drawSizes) {
  if (data == nullptr) Refuse();
  const THeader header = ParseHeader(data, size);
  TBitmapBuilder builder(target, header.width, header.height, drawSizes);
  if (header.coding == TCoding::Rle8 || header.coding == TCoding::Rle4 || header.coding == TCoding::Rle24) {
    TRleReader(header, data, size, builder).Run();
  } else {
    ReadUncompressed(header, data, size, builder);
  }
}

std::uint64_t BmpBytesWanted(const std::uint8_t* head, std::size_t size) {
  // Not a bitmap at all: ReadBmp refuses it from its first bytes.
  if (size < kFileHeaderSize + 16 || head[0] != 'B' || head[1] != 'M') return size;
  const std::uint8_t* info = head + kFileHeaderSize;
  const bool core = U32(info) == 12;
  const std::uint64_t width =
      core ? U16(info + 4) : static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(I32(info + 4))));
  const std::uint64_t height =
      core ? U16(info + 6) : static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(I32(info + 8))));
  const std::uint64_t bits = core ? U16(info + 10) : U16(info + 14);
  // Rows as stored, with room for the worst RLE coding of every pixel
  // (a run of one, or a pixel with its own count, takes up to four bytes),
  // its row ends, and slack.
  const std::uint64_t stride = (width * bits + 31) / 32 * 4;
  const std::uint64_t perRow = stride + 4 * width + 8;
  const std::uint64_t offset = U32(head + 10);
  if (height > (UINT64_MAX - offset - 65536) / perRow) return UINT64_MAX;
  return offset + height * perRow + 65536;
}
