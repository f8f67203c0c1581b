#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace duskmend {

// The 8-bit (Latin-1) bytes of UTF-8 text that is one line of characters U+0000 to U+00FF;
// no value when the text holds a CR or an LF, another character, or is no valid UTF-8.
std::optional<std::string> Latin1Line(std::string_view utf8);

}  // namespace duskmend
