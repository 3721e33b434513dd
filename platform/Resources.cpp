#include "Resources.h"

#include <map>

#include "Exceptions.h"

namespace {

std::map<std::string, TResource, std::less<>>& Registry() {
  static std::map<std::string, TResource, std::less<>> registry;
  return registry;
}

}  // namespace

bool RegisterResource(std::string_view name, const unsigned char* begin, const unsigned char* end) {
  Registry()[std::string(name)] = TResource{begin, static_cast<std::size_t>(end - begin)};
  return true;
}

TResource FindResource(std::string_view name) {
  const auto& registry = Registry();
  const auto found = registry.find(name);
  if (found == registry.end()) throw Exception(FormatText("リソース %s が見つかりません", {name}));
  return found->second;
}
