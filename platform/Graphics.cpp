#include "Graphics.h"

#include <algorithm>
#include <cstring>

#include "BmpReader.h"
#include "Exceptions.h"
#include "FileIO.h"
#include "JpegImage.h"

struct TBitmap::Storage {
  int width = 0;  // stored columns
  int height = 0;
  std::ptrdiff_t stride = 0;
  std::vector<std::uint8_t> bytes;
  std::vector<int> keptColumns;  // empty: every column and row is stored
  std::vector<int> keptRows;

  Storage(int w, int h) : width(w), height(h), stride((static_cast<std::ptrdiff_t>(w) * 3 + 3) & ~3) {
    bytes.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h), 0);
  }
};

namespace {

const std::vector<int> kNoIndices;

void CheckSourceSize(int width, int height) {
  if (width < 0 || height < 0) throw EInvalidGraphic(std::string(kInvalidBitmapText));
}

// Sorted distinct source indices that a nearest-neighbour stretch to any of
// `lengths` picks from `sourceLength`.
std::vector<int> PickedIndices(int sourceLength, const std::vector<int>& lengths) {
  std::vector<char> picked(static_cast<std::size_t>(sourceLength), 0);
  for (const int length : lengths) {
    if (length <= 0) continue;
    for (int d = 0; d < length; ++d) picked[static_cast<std::size_t>(NearestSourceIndex(d, length, sourceLength))] = 1;
  }
  std::vector<int> indices;
  for (int i = 0; i < sourceLength; ++i) {
    if (picked[static_cast<std::size_t>(i)] != 0) indices.push_back(i);
  }
  return indices;
}

// For each destination index, the stored index that holds the source pixel
// the stretch picks (the nearest kept one if that source index is not kept).
std::vector<int> StoredIndexTable(int destLength, int sourceStart, int sourceLength, const std::vector<int>& kept,
                                  int storedLength) {
  std::vector<int> table(static_cast<std::size_t>(std::max(destLength, 0)));
  for (int d = 0; d < destLength; ++d) {
    const int source = sourceStart + NearestSourceIndex(d, destLength, sourceLength);
    if (kept.empty()) {
      table[static_cast<std::size_t>(d)] = std::clamp(source, 0, storedLength - 1);
      continue;
    }
    const auto it = std::lower_bound(kept.begin(), kept.end(), source);
    const auto index = (it == kept.end()) ? kept.size() - 1 : static_cast<std::size_t>(it - kept.begin());
    table[static_cast<std::size_t>(d)] = static_cast<int>(index);
  }
  return table;
}

// Copies the pixels of `source` that the tables pick into `dest` of `target`.
void CopyPicked(const TBitmap& source, TBitmap& target, const TRect& dest, const std::vector<int>& columns,
                const std::vector<int>& rows) {
  const TConstPixelRows from = source.Pixels();
  const TPixelRows to = target.Pixels();
  const int x0 = std::max(dest.Left, 0);
  const int x1 = std::min(dest.Right, to.width);
  const int y0 = std::max(dest.Top, 0);
  const int y1 = std::min(dest.Bottom, to.height);
  for (int y = y0; y < y1; ++y) {
    const std::uint8_t* sourceRow = from.Row(rows[static_cast<std::size_t>(y - dest.Top)]);
    std::uint8_t* out = to.Row(y) + static_cast<std::ptrdiff_t>(x0) * 3;
    for (int x = x0; x < x1; ++x, out += 3) {
      const std::uint8_t* in =
          sourceRow + static_cast<std::ptrdiff_t>(columns[static_cast<std::size_t>(x - dest.Left)]) * 3;
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
    }
  }
}

}  // namespace

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

TBitmap::TBitmap(TBitmap&& other) noexcept
    : fWidth(other.fWidth), fHeight(other.fHeight), fStorage(std::move(other.fStorage)) {
  other.fWidth = other.fHeight = 0;
}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
  fWidth = other.fWidth;
  fHeight = other.fHeight;
  fStorage = std::move(other.fStorage);
  if (&other != this) other.fWidth = other.fHeight = 0;
  return *this;
}

std::unique_ptr<TGraphic> TBitmap::Clone() const {
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(this);
  return copy;
}

void TBitmap::SetSize(int width, int height) {
  CheckSourceSize(width, height);
  if (static_cast<long long>(width) * height > kMaxFullPixels) {
    throw EInvalidGraphic(std::string(kInvalidBitmapText));
  }
  fStorage = std::make_shared<Storage>(width, height);
  fWidth = width;
  fHeight = height;
}

void TBitmap::Assign(const TGraphic* source) {
  if (source == this) return;
  if (source == nullptr) {
    fStorage.reset();
    fWidth = fHeight = 0;
  } else if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    fStorage = bitmap->fStorage;
    fWidth = bitmap->fWidth;
    fHeight = bitmap->fHeight;
  } else if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(source)) {
    jpeg->DecodeInto(*this);
  } else {
    throw EInvalidGraphic(std::string(kInvalidBitmapText));
  }
}

void TBitmap::Detach() {
  if (fStorage && fStorage.use_count() > 1) fStorage = std::make_shared<Storage>(*fStorage);
}

std::uint8_t* TBitmap::ScanLine(int row) {
  Detach();
  return Pixels().Row(row);
}

const std::uint8_t* TBitmap::ScanLine(int row) const { return Pixels().Row(row); }

TPixelRows TBitmap::Pixels() {
  if (!fStorage) return {};
  Detach();
  return {fStorage->bytes.data(), fStorage->width, fStorage->height, fStorage->stride};
}

TConstPixelRows TBitmap::Pixels() const {
  if (!fStorage) return {};
  return {fStorage->bytes.data(), fStorage->width, fStorage->height, fStorage->stride};
}

bool TBitmap::IsSampled() const { return fStorage && !fStorage->keptColumns.empty(); }

const std::vector<int>& TBitmap::KeptColumns() const { return fStorage ? fStorage->keptColumns : kNoIndices; }
const std::vector<int>& TBitmap::KeptRows() const { return fStorage ? fStorage->keptRows : kNoIndices; }

void TBitmap::LoadFromFile(const std::string& fileName, const TDrawSizes& drawSizes) {
  std::vector<std::uint8_t> file = ReadFileStart(fileName, kBmpHeadBytes);
  if (file.size() == kBmpHeadBytes) {
    const std::uint64_t wanted = BmpBytesWanted(file.data(), file.size());
    if (wanted > file.size()) file = ReadFileStart(fileName, wanted);
  }
  TBitmap loaded;
  ReadBmp(file.data(), file.size(), loaded, drawSizes);
  Assign(&loaded);
}

TBitmapBuilder::TBitmapBuilder(TBitmap& target, int width, int height, const TDrawSizes& drawSizes) : fTarget(target) {
  if (width <= 0 || height <= 0 || width > kMaxSourceSide || height > kMaxSourceSide ||
      static_cast<long long>(width) * height > kMaxSourcePixels) {
    throw EInvalidGraphic(FormatText(kPictureTooLargeText, {std::to_string(width), std::to_string(height)}));
  }
  std::vector<int> columns;
  std::vector<int> rows;
  if (!drawSizes.empty()) {
    std::vector<int> widths;  // may stay empty: then nothing is kept
    std::vector<int> heights;
    for (const TSize& size : drawSizes) {
      if (size.cx <= 0 || size.cy <= 0) continue;  // drawn nowhere
      widths.push_back(size.cx);
      heights.push_back(size.cy);
    }
    columns = PickedIndices(width, widths);
    rows = PickedIndices(height, heights);
    if (static_cast<int>(columns.size()) == width && static_cast<int>(rows.size()) == height) {
      columns.clear();
      rows.clear();
    }
  }
  if (columns.empty()) {
    target.SetSize(width, height);
  } else {
    auto storage = std::make_shared<TBitmap::Storage>(static_cast<int>(columns.size()), static_cast<int>(rows.size()));
    storage->keptColumns = std::move(columns);
    storage->keptRows = std::move(rows);
    target.fStorage = std::move(storage);
    target.fWidth = width;
    target.fHeight = height;
  }
  fStoredRowOf.assign(static_cast<std::size_t>(height), -1);
  const std::vector<int>& kept = target.KeptRows();
  if (kept.empty()) {
    for (int y = 0; y < height; ++y) fStoredRowOf[static_cast<std::size_t>(y)] = y;
  } else {
    for (std::size_t i = 0; i < kept.size(); ++i) fStoredRowOf[static_cast<std::size_t>(kept[i])] = static_cast<int>(i);
  }
}

int TBitmapBuilder::NextWantedRow(int row) const {
  const int height = static_cast<int>(fStoredRowOf.size());
  if (row < 0) row = 0;
  if (row >= height || fStoredRowOf[static_cast<std::size_t>(row)] >= 0) return row;
  const std::vector<int>& kept = fTarget.KeptRows();
  const auto next = std::upper_bound(kept.begin(), kept.end(), row);
  return next == kept.end() ? height : *next;
}

void TBitmapBuilder::PutRow(int row, const std::uint8_t* pixels, TRowLayout layout) {
  if (row < 0 || row >= static_cast<int>(fStoredRowOf.size())) return;
  const int stored = fStoredRowOf[static_cast<std::size_t>(row)];
  if (stored < 0) return;
  const TPixelRows to = fTarget.Pixels();
  std::uint8_t* out = to.Row(stored);
  const std::vector<int>& kept = fTarget.KeptColumns();
  const bool all = kept.empty();
  const auto source = [&](int i) { return static_cast<std::ptrdiff_t>(all ? i : kept[static_cast<std::size_t>(i)]); };
  switch (layout) {
    case TRowLayout::BGR:
      if (all) {
        std::memcpy(out, pixels, static_cast<std::size_t>(to.width) * 3);
        break;
      }
      for (int i = 0; i < to.width; ++i, out += 3) std::memcpy(out, pixels + source(i) * 3, 3);
      break;
    case TRowLayout::BGRX:
      for (int i = 0; i < to.width; ++i, out += 3) std::memcpy(out, pixels + source(i) * 4, 3);
      break;
    case TRowLayout::RGB:
      for (int i = 0; i < to.width; ++i, out += 3) {
        const std::uint8_t* p = pixels + source(i) * 3;
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
      }
      break;
    case TRowLayout::Gray:
      for (int i = 0; i < to.width; ++i, out += 3) out[0] = out[1] = out[2] = pixels[source(i)];
      break;
    case TRowLayout::InvertedCMYK:
      // Adobe writes CMYK inverted; each channel times K, rounded.
      for (int i = 0; i < to.width; ++i, out += 3) {
        const std::uint8_t* p = pixels + source(i) * 4;
        const unsigned k = p[3];
        out[2] = static_cast<std::uint8_t>((2U * p[0] * k + 255U) / 510U);
        out[1] = static_cast<std::uint8_t>((2U * p[1] * k + 255U) / 510U);
        out[0] = static_cast<std::uint8_t>((2U * p[2] * k + 255U) / 510U);
      }
      break;
  }
}

void StretchNearest(const TBitmap& source, TBitmap& target, const TRect& dest) {
  if (source.Empty() || dest.Width() <= 0 || dest.Height() <= 0) return;
  const TConstPixelRows stored = source.Pixels();
  const std::vector<int> columns =
      StoredIndexTable(dest.Width(), 0, source.Width(), source.KeptColumns(), stored.width);
  const std::vector<int> rows = StoredIndexTable(dest.Height(), 0, source.Height(), source.KeptRows(), stored.height);
  CopyPicked(source, target, dest, columns, rows);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
  TBitmap* target = PixelsForWriting();
  if (target == nullptr || dest.Width() <= 0 || dest.Height() <= 0) return;
  const TBitmap& from = source.PixelsForReading();
  if (from.Empty() || from.IsSampled()) return;
  // Source indices outside the picture are clamped to its edge.
  const std::vector<int> columns =
      StoredIndexTable(dest.Width(), sourceRect.Left, sourceRect.Width(), {}, from.Width());
  const std::vector<int> rows = StoredIndexTable(dest.Height(), sourceRect.Top, sourceRect.Height(), {}, from.Height());
  // A shared copy keeps the source pixels as they were should `target` be
  // `from` itself: writing then detaches the target.
  TBitmap snapshot;
  snapshot.Assign(&from);
  CopyPicked(snapshot, *target, dest, columns, rows);
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
  fGraphic = std::move(graphic);
  Changed();
}

void TPicture::Assign(const TGraphic* source) { SetGraphic(source != nullptr ? source->Clone() : nullptr); }

TBitmap* TPicture::Bitmap() {
  auto* bitmap = dynamic_cast<TBitmap*>(fGraphic.get());
  if (bitmap == nullptr) {
    fGraphic = std::make_unique<TBitmap>();
    bitmap = static_cast<TBitmap*>(fGraphic.get());
    Changed();
  }
  return bitmap;
}

void TPicture::LoadFromFile(const std::string& fileName) {
  const std::string ext = [&] {
    const std::size_t slash = fileName.rfind('/');
    const std::size_t dot = fileName.rfind('.');
    std::string e =
        (dot == std::string::npos || (slash != std::string::npos && slash > dot)) ? "" : fileName.substr(dot);
    for (char& c : e) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    return e;
  }();
  if (ext == ".bmp") {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->LoadFromFile(fileName, DrawSizes);
    SetGraphic(std::move(bitmap));
  } else if (ext == ".jpg" || ext == ".jpeg") {
    auto jpeg = std::make_unique<TJPEGImage>();
    jpeg->LoadFromFile(fileName);
    jpeg->DrawSizes = DrawSizes;
    SetGraphic(std::move(jpeg));
  } else {
    throw EInvalidGraphic(FormatText(kUnknownExtensionText, {ext}));
  }
}

void TPicture::Changed() {
  if (OnChange) OnChange();
}
