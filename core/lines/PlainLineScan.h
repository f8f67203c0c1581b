#pragma once

#include <cstddef>

namespace duskmend {

// Bytes after the scanned range that a scan may read (and ignore).
inline constexpr std::size_t kScanPadding = 64;

struct PlainScan {
  std::size_t taken = 0;  // bytes of the lines found, line ends included
  std::size_t count = 0;
  bool crLfOnly = true;  // every line found ends in CR LF
};

// Finds up to `limit` complete lines at the start of [start, start + size), up to the first
// line that is or may be a sector header, 64 bytes at a time. A line is complete when its
// line end is known: a CR in the last byte is one only `atEnd` of the file.
// Picks the fastest scan that the processor runs.
PlainScan ScanPlainLines(const char* start, std::size_t size, bool atEnd, std::size_t limit);

}  // namespace duskmend
