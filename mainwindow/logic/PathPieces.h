// Splitting of file paths into folder, name and extension.
//
// The delimiter set is a parameter: on Linux only "/" separates folders (a
// ":" is an ordinary character in a file name), while the rules were first
// written for "\" and ":" paths and are still exercised with those.
// Names are UTF-8, whose multi-byte sequences never contain an ASCII byte, so
// a plain byte search from the end cannot split a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvessa {

inline constexpr std::string_view kLinuxDelimiters = "/";
inline constexpr std::string_view kWindowsDelimiters = "\\:";

// Position of the last delimiter in `path`, or npos.
std::size_t LastDelimiter(std::string_view path, std::string_view delimiters = kLinuxDelimiters);

// From the last "." after the last delimiter to the end; empty without one.
std::string ExtractFileExt(std::string_view path, std::string_view delimiters = kLinuxDelimiters);

// Everything up to and including the last delimiter; empty without one.
std::string ExtractFilePath(std::string_view path, std::string_view delimiters = kLinuxDelimiters);

// Everything after the last delimiter.
std::string ExtractFileName(std::string_view path, std::string_view delimiters = kLinuxDelimiters);

// `path` cut at its extension (if any) with `ext` appended.
std::string ChangeFileExt(std::string_view path, std::string_view ext, std::string_view delimiters = kLinuxDelimiters);

}  // namespace orvessa
