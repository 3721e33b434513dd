#include "SourceIntake.h"

#include <cstddef>

namespace orvessa {

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string BuildSourcePath(const std::vector<std::string>& arguments) {
  std::string path;
  for (const std::string& argument : arguments) {
    path += argument;
    path += ' ';
  }
  return path;
}

std::string LoadPathOf(std::string_view sourcePath) {
  if (!sourcePath.empty()) sourcePath.remove_suffix(1);
  return std::string(sourcePath);
}

SourceKind ClassifySource(std::string_view sourceExt) {
  if (SameTextAscii(sourceExt, ".BMP ")) return SourceKind::Bitmap;
  if (SameTextAscii(sourceExt, ".JPG ") || SameTextAscii(sourceExt, ".JPEG ")) {
    return SourceKind::Jpeg;
  }
  return SourceKind::Other;
}

}  // namespace orvessa
