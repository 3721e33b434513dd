// The address of the product's information page.
#pragma once

#include <string>
#include <string_view>

#include "PathPieces.h"

namespace orvessa {

inline constexpr std::string_view kInfoPageQuery = "/info.php?pf=w&sn=";

// The program's own file name without its extension, as the page wants it:
// "/usr/bin/orvessa" gives "orvessa", "/opt/my tool.bin" gives "my tool".
std::string ProgramNameOf(std::string_view programPath, std::string_view delimiters = kLinuxDelimiters);

// `site` (no trailing "/") + the fixed path and query + the name, unescaped.
std::string InfoPageAddress(std::string_view site, std::string_view programName);

}  // namespace orvessa
