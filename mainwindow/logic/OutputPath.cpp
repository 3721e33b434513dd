#include "OutputPath.h"

namespace orvessa {

std::string OutputPathFor(std::string_view sourcePath, std::string_view delimiters) {
  const std::string renamed = ChangeFileExt(sourcePath, ".jpg", delimiters);
  std::string result = ExtractFilePath(sourcePath, delimiters);
  result += kOutputPrefix;
  result += ExtractFileName(renamed, delimiters);
  return result;
}

}  // namespace orvessa
