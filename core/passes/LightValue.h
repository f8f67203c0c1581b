#pragma once

#include <string>

namespace duskmend {

// What an operator is told when a change writes a light level as the server will not take
// it, or empty when the server reads it as the level it looks like, from 0 to 30. The server
// skips leading blanks and reads plain digits as a decimal number, but digits after a leading
// 0 as a hexadecimal one; any other text it evaluates as an expression.
std::string LightValueWarning(const std::string& value);

}  // namespace duskmend
