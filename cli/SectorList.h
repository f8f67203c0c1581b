#pragma once

#include <optional>
#include <string>
#include <vector>

// The lines of a list of sectors that an operator gives with --sectors: text, one sector a
// line. Nothing, and why in `why`, where the file cannot be read, names nothing or is no text.
std::optional<std::vector<std::string>> ReadSectorList(const std::string& path, std::string& why);
