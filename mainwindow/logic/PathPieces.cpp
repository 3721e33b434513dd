#include "PathPieces.h"

namespace orvessa {

namespace {

// Position of the "." that starts the extension, or npos.
std::size_t ExtensionStart(std::string_view path, std::string_view delimiters) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return dot;
  const std::size_t delimiter = LastDelimiter(path, delimiters);
  if (delimiter != std::string_view::npos && delimiter > dot) return std::string_view::npos;
  return dot;
}

}  // namespace

std::size_t LastDelimiter(std::string_view path, std::string_view delimiters) { return path.find_last_of(delimiters); }

std::string ExtractFileExt(std::string_view path, std::string_view delimiters) {
  const std::size_t dot = ExtensionStart(path, delimiters);
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string ExtractFilePath(std::string_view path, std::string_view delimiters) {
  const std::size_t delimiter = LastDelimiter(path, delimiters);
  return delimiter == std::string_view::npos ? std::string() : std::string(path.substr(0, delimiter + 1));
}

std::string ExtractFileName(std::string_view path, std::string_view delimiters) {
  const std::size_t delimiter = LastDelimiter(path, delimiters);
  return std::string(delimiter == std::string_view::npos ? path : path.substr(delimiter + 1));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext, std::string_view delimiters) {
  const std::size_t dot = ExtensionStart(path, delimiters);
  std::string result(dot == std::string_view::npos ? path : path.substr(0, dot));
  result += ext;
  return result;
}

}  // namespace orvessa
