// Files built into the program: the window definitions and their artwork.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct TResource {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  std::string_view Text() const { return {reinterpret_cast<const char*>(data), size}; }
};

// Called by the generated embedding code before main() runs.
bool RegisterResource(std::string_view name, const unsigned char* begin, const unsigned char* end);

// The resource of that name; raises Exception when the program has none.
TResource FindResource(std::string_view name);
