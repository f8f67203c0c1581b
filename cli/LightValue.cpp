#include "LightValue.h"

#include <algorithm>

bool SphereReadsLight(const std::string& value) {
  if (value.empty() ||
      !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  const std::size_t digits = value.find_first_not_of('0');
  return digits == std::string::npos || (value.size() - digits <= 2 && std::stoi(value) <= 30);
}
