#include "FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "Exceptions.h"

namespace {

// Closes a descriptor and removes the temporary file unless released.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string pattern) : fPath(std::move(pattern)) {
    fDescriptor = mkstemp(fPath.data());
    if (fDescriptor < 0) fPath.clear();
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fDescriptor >= 0) close(fDescriptor);
    if (!fPath.empty()) unlink(fPath.c_str());
  }
  bool Valid() const { return fDescriptor >= 0; }
  int Descriptor() const { return fDescriptor; }
  const std::string& Path() const { return fPath; }
  bool Close() {
    const int result = close(fDescriptor);
    fDescriptor = -1;
    return result == 0;
  }
  void Keep() { fPath.clear(); }

 private:
  std::string fPath;
  int fDescriptor = -1;
};

bool WriteAll(int descriptor, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(descriptor, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) { return ReadFileStart(path, UINT64_MAX); }

std::vector<std::uint8_t> ReadFileStart(const std::string& path, std::uint64_t maxBytes) {
  const auto fail = [&] { return EFOpenError(FormatText(kCannotOpenFileText, {path})); };
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) throw fail();
  std::vector<std::uint8_t> bytes;
  struct stat info {};
  if (fstat(descriptor, &info) == 0 && info.st_size > 0) {
    bytes.reserve(
        static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(info.st_size), maxBytes)));
  }
  std::uint8_t buffer[65536];
  while (bytes.size() < maxBytes) {
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer, maxBytes - bytes.size()));
    const ssize_t got = read(descriptor, buffer, wanted);
    if (got < 0) {
      if (errno == EINTR) continue;
      close(descriptor);
      throw fail();
    }
    if (got == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  close(descriptor);
  return bytes;
}

void SaveFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const auto fail = [&] { return EFCreateError(FormatText(kCannotCreateFileText, {path})); };
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  // A hidden name in the same folder, so the rename stays on one file system.
  TemporaryFile temporary(folder + ".orvessa-save-XXXXXX");
  if (!temporary.Valid()) throw fail();
  // mkstemp makes the file private; give it the mode a newly created file gets.
  const mode_t mask = umask(0);
  umask(mask);
  if (fchmod(temporary.Descriptor(), 0666 & ~mask) != 0) throw fail();
  if (!WriteAll(temporary.Descriptor(), bytes.data(), bytes.size())) throw fail();
  if (fsync(temporary.Descriptor()) != 0) throw fail();
  if (!temporary.Close()) throw fail();
  if (rename(temporary.Path().c_str(), path.c_str()) != 0) throw fail();
  temporary.Keep();
}
