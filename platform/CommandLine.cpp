#include "CommandLine.h"

#include <unistd.h>

#include <vector>

namespace {

std::vector<std::string>& Arguments() {
  static std::vector<std::string> arguments;
  return arguments;
}

std::string OwnExecutablePath(const char* fallback) {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return fallback ? fallback : "";
  path.resize(static_cast<std::size_t>(length));
  return path;
}

}  // namespace

void SetCommandLine(int argc, char** argv) {
  std::vector<std::string>& arguments = Arguments();
  arguments.clear();
  arguments.push_back(OwnExecutablePath(argc > 0 ? argv[0] : nullptr));
  for (int i = 1; i < argc && argv[i] != nullptr && argv[i][0] != '\0'; ++i) arguments.emplace_back(argv[i]);
}

int ParamCount() {
  const std::size_t size = Arguments().size();
  return size == 0 ? 0 : static_cast<int>(size - 1);
}

std::string ParamStr(int index) {
  const std::vector<std::string>& arguments = Arguments();
  if (index == 0 && arguments.empty()) return OwnExecutablePath(nullptr);
  if (index < 0 || static_cast<std::size_t>(index) >= arguments.size()) return {};
  return arguments[static_cast<std::size_t>(index)];
}
