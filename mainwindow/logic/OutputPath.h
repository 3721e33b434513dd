// The name the mount is saved under, next to the photo.
#pragma once

#include <string>
#include <string_view>

#include "PathPieces.h"

namespace orvessa {

// "Orvessa" + U+FF5E FULLWIDTH TILDE with a space on each side.
inline constexpr std::string_view kOutputPrefix = "Orvessa \xEF\xBD\x9E ";

// Folder of `sourcePath`, the prefix, then the file name with its last
// extension (and with it the trailing space) replaced by ".jpg". A name
// without "." keeps its trailing space before ".jpg". The prefix also keeps
// the output from ever naming the source itself.
std::string OutputPathFor(std::string_view sourcePath, std::string_view delimiters = kLinuxDelimiters);

}  // namespace orvessa
