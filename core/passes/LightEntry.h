#pragma once

#include <cstdint>
#include <string>

namespace duskmend {

// A sector's light entry as the save holds it.
struct LightEntry {
  std::uint64_t line = 0;  // counted from 1
  std::string sector;      // as its header names it: "154,306,0,0" of [SECTOR 154,306,0,0]
  std::string key;         // "LIGHT" or "LOCALLIGHT", in the save's letter case
  std::string value;       // what follows the "="; a longer line's first bytes, as a header's
};

}  // namespace duskmend
