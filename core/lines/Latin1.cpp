#include "Latin1.h"

namespace duskmend {

std::optional<std::string> Latin1Line(std::string_view utf8) {
  std::string latin1;
  latin1.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte == '\r' || byte == '\n') return std::nullopt;
    if (byte < 0x80) {
      latin1 += static_cast<char>(byte);
      continue;
    }
    // U+0080 to U+00FF are the two-byte sequences C2 80 to C3 BF.
    if ((byte != 0xC2 && byte != 0xC3) || i + 1 == utf8.size()) return std::nullopt;
    auto next = static_cast<unsigned char>(utf8[++i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    latin1 += static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
  }
  return latin1;
}

}  // namespace duskmend
