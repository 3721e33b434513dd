#include "InfoPage.h"

namespace orvessa {

std::string ProgramNameOf(std::string_view programPath, std::string_view delimiters) {
  return ExtractFileName(ChangeFileExt(programPath, "", delimiters), delimiters);
}

std::string InfoPageAddress(std::string_view site, std::string_view programName) {
  std::string address(site);
  address += kInfoPageQuery;
  address += programName;
  return address;
}

}  // namespace orvessa
