// How the command line becomes the photo's path, and which reader it needs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvessa {

// Every argument followed by one space, so a path that the desktop split at
// its blanks is joined back; the result always ends in a space.
std::string BuildSourcePath(const std::vector<std::string>& arguments);

// The path the file is read from: the source path less its trailing space.
std::string LoadPathOf(std::string_view sourcePath);

enum class SourceKind { Bitmap, Jpeg, Other };

// `sourceExt` still carries the trailing space of the source path, and the
// literals compared with include it. Letter case is ignored.
SourceKind ClassifySource(std::string_view sourceExt);

}  // namespace orvessa
