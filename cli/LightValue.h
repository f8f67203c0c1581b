#pragma once

#include <string>

// What an operator is told when a change writes a light level that Sphere does not read.
inline const char kLightValueWarning[] =
    "Sphere reads light levels from 0 (bright) to 30 (dark); X-series servers turn a sector's "
    "light override off for any other value.";

// Whether `value` is a whole number from 0 to 30, as Sphere reads light levels.
bool SphereReadsLight(const std::string& value);
