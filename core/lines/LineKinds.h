#pragma once

#include <string_view>

namespace duskmend {

// Bytes of a line that the line kinds look at; a reader always shows at least this many
// of a line (or the whole line, when it is shorter) before handing out the rest.
inline constexpr std::size_t kLineHeadBytes = 11;

inline constexpr std::string_view kSectorPrefix = "[sector";
inline constexpr std::string_view kLocalLightPrefix = "locallight=";
inline constexpr std::string_view kLightPrefix = "light=";
inline constexpr std::string_view kFlagsPrefix = "flags=";

// The key of a sector's light entry: LOCALLIGHT= up to Sphere 0.56a, LIGHT= from 0.56b on.
enum class LightKey { kLocalLight, kLight };

// True when `text` begins with `lowerPrefix`, with only the letters A to Z folded to a to z.
constexpr bool HasFoldedPrefix(std::string_view text, std::string_view lowerPrefix) {
  if (text.size() < lowerPrefix.size()) return false;
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerPrefix[i]) return false;
  }
  return true;
}

// A sector header: [SECTOR 12,40], [Sector], [SECTORS ... (nothing may stand before the bracket).
constexpr bool SectorHeaderLine(std::string_view line) {
  return HasFoldedPrefix(line, kSectorPrefix);
}

// A local-light entry, when it is the line right after a sector header: LOCALLIGHT=20.
constexpr bool LocalLightLine(std::string_view line) {
  return HasFoldedPrefix(line, kLocalLightPrefix);
}

// A light entry of the newer kind: LIGHT=20, right after a sector header or after the
// FLAGS= line that follows one.
constexpr bool LightLine(std::string_view line) { return HasFoldedPrefix(line, kLightPrefix); }

// A sector's flags, which Sphere writes between the header and the LIGHT= entry.
constexpr bool FlagsLine(std::string_view line) { return HasFoldedPrefix(line, kFlagsPrefix); }

}  // namespace duskmend
