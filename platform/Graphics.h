// Pictures: the 24-bit bitmap, the picture holder of an image element and the
// canvas that copies pixels between them.
//
// A bitmap's pixels are rows of blue-green-red byte triples, each row padded
// to a multiple of four bytes. Copies share their pixels until one of them is
// written to.
//
// A bitmap may hold a photo far larger than it is ever drawn. Then it keeps
// only the source rows and columns that the nearest-neighbour stretch picks
// for the sizes it will be drawn at (its draw sizes), while it still reports
// the source's width and height. Drawn at one of those sizes it gives the
// same pixels as the full picture would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TSize {
  int cx = 0;
  int cy = 0;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

inline TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Sizes a photo is drawn at; empty means "keep every pixel".
using TDrawSizes = std::vector<TSize>;

class TGraphic : public TObject {
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  bool Empty() const { return Width() == 0 || Height() == 0; }
  virtual std::unique_ptr<TGraphic> Clone() const = 0;
};

enum TPixelFormat { pf24bit };

// The stored pixels of a bitmap: `width` x `height` triples from `data`.
template <typename Byte>
struct TPixelRowsOf {
  Byte* data = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;
  Byte* Row(int y) const { return data + y * stride; }
};
using TPixelRows = TPixelRowsOf<std::uint8_t>;
using TConstPixelRows = TPixelRowsOf<const std::uint8_t>;

class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  // Moving hands the pixels over; copies are made with Assign.
  TBitmap(TBitmap&& other) noexcept;
  TBitmap& operator=(TBitmap&& other) noexcept;

  int Width() const override { return fWidth; }
  int Height() const override { return fHeight; }
  std::unique_ptr<TGraphic> Clone() const override;

  // A full bitmap of this size, black. Refuses sizes beyond kMaxFullPixels.
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, fHeight); }
  void SetHeight(int height) { SetSize(fWidth, height); }

  TPixelFormat PixelFormat() const { return pf24bit; }
  // Every bitmap is held at 24 bits per pixel already.
  void SetPixelFormat(TPixelFormat) {}

  // Share `source`'s pixels (bitmaps) or decode it (other graphics).
  void Assign(const TGraphic* source);

  // Row `row` of a full bitmap, top row 0. Writing through it is allowed.
  std::uint8_t* ScanLine(int row);
  const std::uint8_t* ScanLine(int row) const;

  // What is actually stored: the whole picture, or the kept samples.
  TPixelRows Pixels();
  TConstPixelRows Pixels() const;
  bool IsSampled() const;
  // Source column and row of each stored column and row (sampled bitmaps).
  const std::vector<int>& KeptColumns() const;
  const std::vector<int>& KeptRows() const;

  // Reads a Windows bitmap file, keeping what `drawSizes` need.
  void LoadFromFile(const std::string& fileName, const TDrawSizes& drawSizes = {});

  // Largest full bitmap, in pixels; larger pictures are only ever held sampled.
  static constexpr long long kMaxFullPixels = 256LL * 1024 * 1024;

 private:
  friend class TBitmapBuilder;
  struct Storage;
  void Detach();

  int fWidth = 0;
  int fHeight = 0;
  std::shared_ptr<Storage> fStorage;
};

// Layout of one decoded row handed to a TBitmapBuilder.
enum class TRowLayout { BGR, BGRX, RGB, Gray, InvertedCMYK };

// Fills a bitmap row by row from a decoder, keeping only the rows and
// columns that its draw sizes need. Rows may come in any order.
class TBitmapBuilder {
 public:
  TBitmapBuilder(TBitmap& target, int width, int height, const TDrawSizes& drawSizes);

  // Largest source picture accepted, in pixels: room for photos of several
  // hundred megapixels, while a header claiming gigapixels is refused at once.
  static constexpr long long kMaxSourcePixels = 1LL << 30;
  // Longest side accepted; beyond any camera or scanner, and it keeps the
  // per-row and per-column bookkeeping small whatever a header claims.
  static constexpr int kMaxSourceSide = 1 << 18;

  // First row at or after `row` that is kept, or the height when none is.
  int NextWantedRow(int row) const;
  bool WantsRow(int row) const { return NextWantedRow(row) == row; }
  // `pixels` holds the full source row in `layout`.
  void PutRow(int row, const std::uint8_t* pixels, TRowLayout layout);

 private:
  TBitmap& fTarget;
  std::vector<int> fStoredRowOf;  // per source row: stored row or -1
};

// Nearest-neighbour stretch of all of `source` into `dest` of `target`, which
// must lie inside it: destination pixel (x, y) of a Dw x Dh rectangle takes
// source pixel (floor((2x+1) Sw / 2Dw), floor((2y+1) Sh / 2Dh)).
void StretchNearest(const TBitmap& source, TBitmap& target, const TRect& dest);

// Source index that destination index `d` of `destLength` takes.
inline int NearestSourceIndex(int d, int destLength, int sourceLength) {
  return static_cast<int>((2LL * d + 1) * sourceLength / (2LL * destLength));
}

class TCanvas : public TObject {
 public:
  // Copies `source`'s pixels in `sourceRect` into `dest` of this canvas,
  // pixel for pixel when both have the same size, stretched otherwise.
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);

 protected:
  // The pixels this canvas shows, and where writes go (null when read-only).
  virtual const TBitmap& PixelsForReading() = 0;
  virtual TBitmap* PixelsForWriting() = 0;
};

// A canvas over a bitmap.
class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap& bitmap) : fBitmap(bitmap) {}

 protected:
  const TBitmap& PixelsForReading() override { return fBitmap; }
  TBitmap* PixelsForWriting() override { return &fBitmap; }

 private:
  TBitmap& fBitmap;
};

class TJPEGImage;

// The graphic of an image element; owns it.
class TPicture : public TObject {
 public:
  TGraphic* Graphic() const { return fGraphic.get(); }
  void SetGraphic(std::unique_ptr<TGraphic> graphic);
  int Width() const { return fGraphic ? fGraphic->Width() : 0; }
  int Height() const { return fGraphic ? fGraphic->Height() : 0; }

  // A copy of `source` (a bitmap copy shares its pixels), or nothing.
  void Assign(const TGraphic* source);
  // The held bitmap; replaces any other graphic with an empty bitmap.
  TBitmap* Bitmap();

  // Picks the reader by the file's extension: .bmp, .jpg or .jpeg.
  void LoadFromFile(const std::string& fileName);
  // Sizes the picture will be drawn at, so that large files keep less.
  TDrawSizes DrawSizes;

  std::function<void()> OnChange;

 private:
  void Changed();
  std::unique_ptr<TGraphic> fGraphic;
};
