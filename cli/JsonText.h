#pragma once

#include <string>
#include <string_view>

// `text` as a JSON string, quotes included. Valid UTF-8 passes as it is; a byte that is not
// part of valid UTF-8 (a path may hold any bytes) stands as the character of that number.
std::string JsonString(std::string_view text);
