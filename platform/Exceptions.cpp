#include "Exceptions.h"

#include <initializer_list>

EJPEG::EJPEG(int errorCode) : Exception("JPEG エラー #" + std::to_string(errorCode)), fErrorCode(errorCode) {}

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string result;
  const auto* next = args.begin();
  std::size_t pos = 0;
  while (pos < pattern.size()) {
    const std::size_t mark = pattern.find("%s", pos);
    if (mark == std::string_view::npos || next == args.end()) {
      result += pattern.substr(pos);
      break;
    }
    result += pattern.substr(pos, mark - pos);
    result += *next++;
    pos = mark + 2;
  }
  return result;
}
