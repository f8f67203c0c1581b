#pragma once

#include <cstdint>

namespace duskmend {

// What a pass counted in the world save.
struct ScanCounts {
  std::uint64_t lights = 0;   // local-light entries right after a sector header
  std::uint64_t sectors = 0;  // sector headers met as the current line
};

// What each face calls the two counts.
constexpr char kLightsCaption[] = "Local Lights found";
constexpr char kSectorsCaption[] = "Sectors total";

}  // namespace duskmend
