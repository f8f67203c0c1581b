#pragma once

#include <cstddef>
#include <cstring>

namespace duskmend {

// Offset of the first CR or LF in [text, text + size), or size when there is none.
inline std::size_t FindLineEnd(const char* text, std::size_t size) {
  const void* cr = std::memchr(text, '\r', size);
  std::size_t limit = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - text) : size;
  const void* lf = std::memchr(text, '\n', limit);
  return lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text) : limit;
}

}  // namespace duskmend
