#include "JpegImage.h"

// libjpeg's header wants <cstdio> and <cstddef> first.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include <sys/stat.h>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include "Exceptions.h"
#include "FileIO.h"

namespace {

// libjpeg reports fatal errors through error_exit, which must not return.
// Ours jumps back to the frame that called into libjpeg; that frame then
// destroys the coder and throws, so no C++ exception ever crosses libjpeg's
// C frames and the library never calls exit().
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(manager->jump, 1);
}

// Warnings (such as a truncated file) are not fatal and not shown.
void OutputMessage(j_common_ptr /*cinfo*/) {}

void SetUpErrors(ErrorManager& errors) {
  jpeg_std_error(&errors.pub);
  errors.pub.error_exit = ErrorExit;
  errors.pub.output_message = OutputMessage;
}

// Stops a multi-scan file once its scans have passed over more blocks than
// the decoder allows; libjpeg calls it for every row of blocks it takes in.
struct WorkLimit {
  jpeg_progress_mgr pub{};
  int countedScan = 0;
  long long blockPasses = 0;
  int stoppedAtScan = 0;
};

void CheckWork(j_common_ptr cinfo) {
  auto* limit = reinterpret_cast<WorkLimit*>(cinfo->progress);
  const auto* info = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (info->input_scan_number == limit->countedScan) return;
  limit->countedScan = info->input_scan_number;
  for (int c = 0; c < info->comps_in_scan; ++c) {
    const jpeg_component_info* component = info->cur_comp_info[c];
    if (component == nullptr) continue;
    limit->blockPasses += static_cast<long long>(component->width_in_blocks) * component->height_in_blocks;
  }
  if (limit->blockPasses > TJPEGImage::kMaxBlockPasses) {
    limit->stoppedAtScan = info->input_scan_number;
    (*cinfo->err->error_exit)(cinfo);
  }
}

struct Decompressor {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  WorkLimit work{};
  Decompressor() {
    info.err = &errors.pub;
    SetUpErrors(errors);
    work.pub.progress_monitor = CheckWork;
  }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;
  ~Decompressor() { jpeg_destroy_decompress(&info); }
};

struct Compressor {
  jpeg_compress_struct info{};
  ErrorManager errors{};
  unsigned char* buffer = nullptr;
  unsigned long size = 0;  // NOLINT(google-runtime-int): libjpeg's type
  Compressor() {
    info.err = &errors.pub;
    SetUpErrors(errors);
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;
  ~Compressor() {
    jpeg_destroy_compress(&info);
    std::free(buffer);
  }
};

// Runs `call` (calls into libjpeg only, nothing with a destructor) with the
// coder's error exit aimed here; false when libjpeg reported an error.
template <typename Call>
bool Guarded(ErrorManager& errors, Call&& call) {
  if (setjmp(errors.jump) != 0) return false;
  call();
  return true;
}

template <typename Call>
void CheckedCall(ErrorManager& errors, Call&& call) {
  if (!Guarded(errors, std::forward<Call>(call))) throw EJPEG(errors.pub.msg_code);
}

// An open file, closed when it goes.
struct FileHandle {
  std::FILE* file;
  explicit FileHandle(const std::string& name) : file(std::fopen(name.c_str(), "rb")) {
    if (file == nullptr) throw EFOpenError(FormatText(kCannotOpenFileText, {name}));
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { std::fclose(file); }
};

// Reads from `file` when it is given (streamed: the file is never held in
// memory whole, whatever its size), from `data` otherwise.
void StartReading(Decompressor& coder, const std::vector<std::uint8_t>& data, std::FILE* file) {
  // An empty file still needs a valid pointer; libjpeg then reports the
  // empty input as it should.
  static const unsigned char kNothing = 0;
  const unsigned char* bytes = data.empty() ? &kNothing : data.data();
  const auto size = static_cast<unsigned long>(data.size());  // NOLINT(google-runtime-int)
  CheckedCall(coder.errors, [&] {
    jpeg_create_decompress(&coder.info);
    coder.info.mem->max_memory_to_use = TJPEGImage::kDecoderMemoryBudget;
    coder.info.progress = &coder.work.pub;
    if (file != nullptr) {
      jpeg_stdio_src(&coder.info, file);
    } else {
      jpeg_mem_src(&coder.info, bytes, size);
    }
    jpeg_read_header(&coder.info, TRUE);
  });
}

// Skipping rows gives the same pixels for the rows read afterwards when
// every component is either not stretched vertically or goes through one of
// libjpeg's smoothing upsamplers (2:1 at most in each direction). The
// generic upsampler (4:1:0 and rarer layouts) keeps state across rows that a
// skip disturbs, so such files are decoded row by row.
bool SkippingKeepsPixels(const jpeg_decompress_struct& info) {
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& component = info.comp_info[c];
    if (component.h_samp_factor <= 0 || component.v_samp_factor <= 0) return false;
    const int horizontal = info.max_h_samp_factor / component.h_samp_factor;
    const int vertical = info.max_v_samp_factor / component.v_samp_factor;
    if (vertical == 1) continue;
    if (vertical != 2 || horizontal > 2) return false;
  }
  return true;
}

// CheckedCall for the decoding steps, which the work limit may stop.
template <typename Call>
void CheckedDecode(Decompressor& coder, Call&& call) {
  if (Guarded(coder.errors, std::forward<Call>(call))) return;
  if (coder.work.stoppedAtScan > 0) {
    throw EInvalidGraphic(FormatText(kTooManyScansText, {std::to_string(coder.work.stoppedAtScan)}));
  }
  throw EJPEG(coder.errors.pub.msg_code);
}

// Blocks of all components as libjpeg lays them out (whole MCUs), known
// once the header has been read.
long long StoredBlocks(const jpeg_decompress_struct& info) {
  const long long mcuWidth = 8LL * info.max_h_samp_factor;
  const long long mcuHeight = 8LL * info.max_v_samp_factor;
  if (mcuWidth <= 0 || mcuHeight <= 0) return 0;
  const long long mcus =
      ((info.image_width + mcuWidth - 1) / mcuWidth) * ((info.image_height + mcuHeight - 1) / mcuHeight);
  long long blocksPerMcu = 0;
  for (int c = 0; c < info.num_components; ++c) {
    blocksPerMcu += static_cast<long long>(info.comp_info[c].h_samp_factor) * info.comp_info[c].v_samp_factor;
  }
  return mcus * blocksPerMcu;
}

// Bytes of JPEG data behind the decoder, or -1 when that cannot be known
// in advance (a pipe).
long long InputBytes(const std::vector<std::uint8_t>& data, std::FILE* file) {
  if (file == nullptr) return static_cast<long long>(data.size());
  struct stat status {};
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  return static_cast<long long>(status.st_size);
}

}  // namespace

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

std::unique_ptr<TGraphic> TJPEGImage::Clone() const {
  auto copy = std::make_unique<TJPEGImage>();
  copy->fData = fData;
  copy->fFileName = fFileName;
  copy->fWidth = fWidth;
  copy->fHeight = fHeight;
  copy->fBitmap.Assign(&fBitmap);
  copy->DrawSizes = DrawSizes;
  copy->CompressionQuality = CompressionQuality;
  return copy;
}

void TJPEGImage::LoadFromFile(const std::string& fileName) {
  // Only the header is read now; the pixels are streamed from the file
  // when they are decoded.
  const FileHandle handle(fileName);
  Decompressor coder;
  StartReading(coder, {}, handle.file);
  fWidth = static_cast<int>(coder.info.image_width);
  fHeight = static_cast<int>(coder.info.image_height);
  fData.clear();
  fFileName = fileName;
}

void TJPEGImage::LoadFromData(std::vector<std::uint8_t> data) {
  Decompressor coder;
  StartReading(coder, data, nullptr);
  fWidth = static_cast<int>(coder.info.image_width);
  fHeight = static_cast<int>(coder.info.image_height);
  fData = std::move(data);
  fFileName.clear();
}

void TJPEGImage::DecodeInto(TBitmap& target) const {
  std::unique_ptr<FileHandle> handle;
  if (!fFileName.empty()) handle = std::make_unique<FileHandle>(fFileName);
  Decompressor coder;
  StartReading(coder, fData, handle ? handle->file : nullptr);
  jpeg_decompress_struct& info = coder.info;
  info.scale_num = 1;
  info.scale_denom = 1;
  info.dct_method = JDCT_FLOAT;
  info.do_block_smoothing = TRUE;
  TRowLayout layout = TRowLayout::RGB;
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      info.out_color_space = JCS_GRAYSCALE;
      layout = TRowLayout::Gray;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      // libjpeg gives CMYK but no RGB from these; the conversion is ours.
      info.out_color_space = JCS_CMYK;
      layout = TRowLayout::InvertedCMYK;
      break;
    default:
      info.out_color_space = JCS_RGB;
      break;
  }
  const bool canSkip = SkippingKeepsPixels(info);
  // Refuse an absurd size before libjpeg allocates anything for it.
  TBitmap decoded;
  TBitmapBuilder builder(decoded, static_cast<int>(info.image_width), static_cast<int>(info.image_height), DrawSizes);
  const long long bytes = InputBytes(fData, handle ? handle->file : nullptr);
  if (bytes >= 0 && bytes < StoredBlocks(info) / kMaxBlocksPerByte) {
    throw EInvalidGraphic(
        FormatText(kPictureDataTooShortText,
                   {std::to_string(info.image_width), std::to_string(info.image_height), std::to_string(bytes)}));
  }
  CheckedDecode(coder, [&] { jpeg_start_decompress(&info); });
  std::vector<JSAMPLE> row(static_cast<std::size_t>(info.output_width) *
                           static_cast<std::size_t>(info.output_components));
  JSAMPROW rows[1] = {row.data()};
  while (info.output_scanline < info.output_height) {
    const int y = static_cast<int>(info.output_scanline);
    const int wanted = canSkip ? builder.NextWantedRow(y) : y;
    if (wanted > y) {
      // Rows nobody draws are skipped; libjpeg then leaves out their inverse
      // DCT and colour conversion, and for single-scan files their decoding.
      CheckedDecode(coder, [&] { jpeg_skip_scanlines(&info, static_cast<JDIMENSION>(wanted - y)); });
      continue;
    }
    CheckedDecode(coder, [&] { jpeg_read_scanlines(&info, rows, 1); });
    builder.PutRow(y, row.data(), layout);
  }
  // Every row is in; whatever follows the image (junk, a broken marker)
  // must not decide whether the photo loads.
  (void)Guarded(coder.errors, [&] { jpeg_finish_decompress(&info); });
  target.Assign(&decoded);
}

void TJPEGImage::Assign(const TGraphic* source) {
  fBitmap.Assign(source);
  fData.clear();
  fFileName.clear();
  fWidth = fBitmap.Width();
  fHeight = fBitmap.Height();
}

std::vector<std::uint8_t> TJPEGImage::Compress() const {
  if (fBitmap.Empty() || fBitmap.IsSampled()) {
    throw EJPEG(JERR_EMPTY_IMAGE);
  }
  Compressor coder;
  jpeg_compress_struct& info = coder.info;
  CheckedCall(coder.errors, [&] {
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &coder.buffer, &coder.size);
    info.image_width = static_cast<JDIMENSION>(fBitmap.Width());
    info.image_height = static_cast<JDIMENSION>(fBitmap.Height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, CompressionQuality, TRUE);
    jpeg_start_compress(&info, TRUE);
  });
  std::vector<JSAMPLE> row(static_cast<std::size_t>(fBitmap.Width()) * 3);
  JSAMPROW rows[1] = {row.data()};
  while (info.next_scanline < info.image_height) {
    const std::uint8_t* in = fBitmap.ScanLine(static_cast<int>(info.next_scanline));
    for (std::size_t x = 0; x < row.size(); x += 3) {
      row[x] = in[x + 2];
      row[x + 1] = in[x + 1];
      row[x + 2] = in[x];
    }
    CheckedCall(coder.errors, [&] { jpeg_write_scanlines(&info, rows, 1); });
  }
  CheckedCall(coder.errors, [&] { jpeg_finish_compress(&info); });
  return {coder.buffer, coder.buffer + coder.size};
}

void TJPEGImage::SaveToFile(const std::string& fileName) const { SaveFileReplacing(fileName, Compress()); }
