// The failure classes of the class library. Handlers let them propagate; the
// layer catches them where an event handler returns and shows the message.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : fMessage(std::move(message)) {}
  const std::string& Message() const noexcept { return fMessage; }
  const char* what() const noexcept override { return fMessage.c_str(); }

 private:
  std::string fMessage;
};

// A picture file that no reader can make sense of.
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};

// Raised by the JPEG coder with the library's message number.
class EJPEG : public Exception {
 public:
  explicit EJPEG(int errorCode);
  int ErrorCode() const noexcept { return fErrorCode; }

 private:
  int fErrorCode;
};

// A file that cannot be created or written.
class EFCreateError : public Exception {
 public:
  using Exception::Exception;
};

// A file that exists but cannot be opened or read.
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
};

// `pattern` with each "%s" replaced in turn by the next argument.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);

// Message texts the layer raises.
inline constexpr std::string_view kInvalidBitmapText = "ビットマップイメージが不正です";
inline constexpr std::string_view kCannotCreateFileText = "ファイル %s を作成できません";
inline constexpr std::string_view kCannotOpenFileText = "ファイル %s を開けません";
inline constexpr std::string_view kPictureTooLargeText = "画像が大きすぎます（%s × %s ピクセル）";
inline constexpr std::string_view kPictureDataTooShortText =
    "画像のデータが大きさに対して少なすぎます（%s × %s ピクセル、%s バイト）";
inline constexpr std::string_view kTooManyScansText = "JPEG 画像のスキャンが多すぎます（%s 個目で中止しました）";
inline constexpr std::string_view kUnknownExtensionText = "不明な拡張子のピクチャファイルです (%s)";
inline constexpr std::string_view kOutOfMemoryText = "メモリが不足しています";
