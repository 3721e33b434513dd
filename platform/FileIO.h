// File system services: existence test, whole-file reads and a save that
// never leaves a half-written file behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// True when `path` names an existing file (after following links); a folder
// is not a file.
bool FileExists(const std::string& path);

// The file's bytes. Raises EFOpenError when it cannot be opened or read.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
// At most the first `maxBytes` of them.
std::vector<std::uint8_t> ReadFileStart(const std::string& path, std::uint64_t maxBytes);

// Replaces (or creates) `path` with `bytes`: they go to a temporary file in
// the same folder, which is flushed to the disk and then renamed over
// `path`. On any failure the temporary file is removed, whatever stood at
// `path` is left as it was, and EFCreateError names `path`. A symbolic link
// at `path` is replaced by the file, never written through.
void SaveFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes);
