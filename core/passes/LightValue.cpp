#include "LightValue.h"

#include <algorithm>
#include <cstdint>

namespace duskmend {
namespace {

const char kRange[] =
    "Sphere reads light levels from 0 (bright) to 30 (dark); X-series servers turn a sector's "
    "light override off for any other value.";
constexpr std::uint64_t kDarkest = 30;
constexpr std::uint64_t kLargest = std::uint64_t{1} << 40;  // a number read is held there

bool Decimal(char c) { return c >= '0' && c <= '9'; }
bool Hexadecimal(char c) { return Decimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The number that `digits` stand for in `base`, held at kLargest once it passes it.
std::uint64_t Read(const std::string& digits, int base) {
  std::uint64_t number = 0;
  for (char c : digits) {
    const int digit = Decimal(c) ? c - '0' : (c | 0x20) - 'a' + 10;
    number = std::min(number * base + digit, kLargest);
  }
  return number;
}

}  // namespace

std::string LightValueWarning(const std::string& value) {
  const std::size_t begin = value.find_first_not_of(" \t");
  const std::size_t end = value.find_last_not_of(" \t");
  const std::string number = begin == std::string::npos ? "" : value.substr(begin, end - begin + 1);
  const bool decimal = !number.empty() && std::all_of(number.begin(), number.end(), Decimal);
  if (!number.empty() && number[0] == '0' &&
      std::all_of(number.begin(), number.end(), Hexadecimal)) {
    const std::uint64_t read = Read(number, 16);
    const std::string said =
        "Sphere reads " + number + " as hexadecimal (it begins with 0): " +
        (read < kLargest ? std::to_string(read) : "a number of 13 digits or more") + ".";
    if (read > kDarkest) return said + " " + kRange;
    // 01e is plainly meant as 30; 015 plainly not as 21.
    return decimal && read != Read(number, 10) ? said : "";
  }
  const bool negative = number.size() > 1 && number[0] == '-' &&
                        std::all_of(number.begin() + 1, number.end(), Decimal);
  if (decimal || negative) return negative || Read(number, 10) > kDarkest ? kRange : "";
  return "Sphere reads " + value + " as an expression, not as a number (a name that it does not " +
         "know reads as 0). " + kRange;
}

}  // namespace duskmend
