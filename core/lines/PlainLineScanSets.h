#pragma once

#include "PlainLineScan.h"

// The scan's form for each instruction set, for the scan that picks one and for the tests that
// hold them to the same lines.
namespace duskmend {

// The scan for every processor, and the same with AVX2, for the processors that have it.
PlainScan ScanPlainLinesSse2(const char* start, std::size_t size, bool atEnd, std::size_t limit);
PlainScan ScanPlainLinesAvx2(const char* start, std::size_t size, bool atEnd, std::size_t limit);
bool HasAvx2Scan();

}  // namespace duskmend
