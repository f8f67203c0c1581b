#pragma once

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace duskmend {

// Where the bytes that matter to the line rules stand in a block of 64 bytes:
// bit i of each mask is byte i of the block.
struct BlockMasks {
  std::uint64_t cr = 0;
  std::uint64_t lf = 0;
  std::uint64_t bracket = 0;
  std::uint64_t letterS = 0;  // 's' or 'S'

  static constexpr int kBlockBytes = 64;

  // Reads exactly 64 bytes at `block`.
  static BlockMasks Of(const char* block) {
    BlockMasks masks;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i bracket = _mm_set1_epi8('[');
    const __m128i lowerCase = _mm_set1_epi8(0x20);
    const __m128i letterS = _mm_set1_epi8('s');
    for (int part = 0; part < 4; ++part) {
      __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part));
      auto bits = [&](__m128i wanted) {
        return std::uint64_t{
                   static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)))}
               << (16 * part);
      };
      masks.cr |= bits(cr);
      masks.lf |= bits(lf);
      masks.bracket |= bits(bracket);
      bytes = _mm_or_si128(bytes, lowerCase);
      masks.letterS |= bits(letterS);
    }
#else
    for (int i = 0; i < kBlockBytes; ++i) {
      std::uint64_t bit = std::uint64_t{1} << i;
      if (block[i] == '\r') masks.cr |= bit;
      if (block[i] == '\n') masks.lf |= bit;
      if (block[i] == '[') masks.bracket |= bit;
      if ((block[i] | 0x20) == 's') masks.letterS |= bit;
    }
#endif
    return masks;
  }
};

// Number of set bits, without a library call on machines that lack a popcount instruction.
constexpr int CountBits(std::uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ull);
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<int>((x * 0x0101010101010101ull) >> 56);
}

}  // namespace duskmend
