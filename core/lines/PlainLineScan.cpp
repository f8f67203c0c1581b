#include "PlainLineScan.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string_view>

#include "BlockMasks.h"
#include "LineKinds.h"
#include "PlainLineScanSets.h"

namespace duskmend {
namespace {

using Bits = std::uint64_t;
constexpr std::size_t kBlock = BlockMasks::kBlockBytes;
static_assert(kScanPadding >= kBlock);

// The lowest `count` set bits of `bits`.
Bits LowestBits(Bits bits, std::size_t count) {
  Bits kept = 0;
  for (; count > 0 && bits != 0; --count) {
    kept |= bits & (~bits + 1);
    bits &= bits - 1;
  }
  return kept;
}

// Whether the line at `line` is a sector header, or may be one once more bytes are read.
bool MayBeSectorHeader(const char* line, std::size_t available, bool atEnd) {
  if (available < kSectorPrefix.size() && !atEnd) return true;
  return SectorHeaderLine(std::string_view(line, available));
}

// Bit i of every mask stands for byte i of a block.
template <BlockMasks (*MasksOf)(const char*)>
PlainScan Scan(const char* start, std::size_t size, bool atEnd, std::size_t limit) {
  PlainScan scan;
  Bits lineStartCarry = 1;  // bit 0 of the next block starts a line
  Bits crCarry = 0;         // the byte before the next block is a CR
  Bits lone = 0;            // lone CRs and lone LFs among the line ends taken
  for (std::size_t at = 0; at < size && scan.count < limit; at += kBlock) {
    const char* block = start + at;
    const std::size_t n = std::min(kBlock, size - at);
    const Bits valid = n == kBlock ? ~Bits{0} : (Bits{1} << n) - 1;
    const BlockMasks masks = MasksOf(block);
    const Bits cr = masks.cr & valid;
    const Bits lf = masks.lf & valid;
    Bits lfAfter = lf >> 1;
    if (at + kBlock < size && block[kBlock] == '\n') lfAfter |= Bits{1} << 63;
    Bits ends = lf | (cr & ~lfAfter);  // the last byte of every line end
    // A CR that is the last byte read may yet be followed by an LF.
    if (!atEnd && at + n == size) ends &= ~(cr & (Bits{1} << (n - 1)));
    const Bits starts = ((ends << 1) | lineStartCarry) & valid;
    const Bits loneEnds = (lf & ~((cr << 1) | crCarry)) | (ends & cr);
    lineStartCarry = ends >> 63;
    crCarry = cr >> 63;

    bool header = false;
    // Lines that start with "[s" or "[S"; the byte after bit 63 is not known here.
    const Bits headerLike = starts & masks.bracket & ((masks.letterS >> 1) | (Bits{1} << 63));
    for (Bits candidates = headerLike & valid; candidates != 0; candidates &= candidates - 1) {
      const std::size_t line = at + static_cast<std::size_t>(std::countr_zero(candidates));
      if (MayBeSectorHeader(start + line, size - line, atEnd)) {
        ends &= (Bits{1} << (line - at)) - 1;
        header = true;
        break;
      }
    }
    std::size_t found = static_cast<std::size_t>(CountBits(ends));
    if (found > limit - scan.count) {
      found = limit - scan.count;
      ends = LowestBits(ends, found);
    }
    if (ends != 0) {
      scan.taken = at + static_cast<std::size_t>(63 - std::countl_zero(ends)) + 1;
      scan.count += found;
      lone |= loneEnds & ends;
    }
    if (header) break;
  }
  scan.crLfOnly = lone == 0;
  return scan;
}

}  // namespace

PlainScan ScanPlainLinesSse2(const char* start, std::size_t size, bool atEnd, std::size_t limit) {
  return Scan<&BlockMasks::Of>(start, size, atEnd, limit);
}

#if DUSKMEND_HAVE_AVX2
// Flattened, so that the whole scan is compiled for AVX2.
[[gnu::target("avx2"), gnu::flatten]] PlainScan ScanPlainLinesAvx2(const char* start,
                                                                   std::size_t size, bool atEnd,
                                                                   std::size_t limit) {
  return Scan<&BlockMasks::OfAvx2>(start, size, atEnd, limit);
}

bool HasAvx2Scan() { return __builtin_cpu_supports("avx2"); }
#else
PlainScan ScanPlainLinesAvx2(const char* start, std::size_t size, bool atEnd, std::size_t limit) {
  return ScanPlainLinesSse2(start, size, atEnd, limit);
}

bool HasAvx2Scan() { return false; }
#endif

PlainScan ScanPlainLines(const char* start, std::size_t size, bool atEnd, std::size_t limit) {
  static const auto scan = HasAvx2Scan() ? &ScanPlainLinesAvx2 : &ScanPlainLinesSse2;
  return scan(start, size, atEnd, limit);
}

}  // namespace duskmend
