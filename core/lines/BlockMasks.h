#pragma once

#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <immintrin.h>
#define DUSKMEND_HAVE_AVX2 1
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
    for (std::ptrdiff_t part = 0; part < 4; ++part) {
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

#if DUSKMEND_HAVE_AVX2
  // The same with 32-byte compares, for processors that have AVX2.
  [[gnu::target("avx2")]] static inline BlockMasks OfAvx2(const char* block) {
    BlockMasks masks;
    for (int part = 0; part < 2; ++part) {
      const int shift = 32 * part;
      __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + shift));
      masks.cr |= Bits32(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\r'))) << shift;
      masks.lf |= Bits32(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('\n'))) << shift;
      masks.bracket |= Bits32(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('['))) << shift;
      bytes = _mm256_or_si256(bytes, _mm256_set1_epi8(0x20));
      masks.letterS |= Bits32(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('s'))) << shift;
    }
    return masks;
  }

  [[gnu::target("avx2"), gnu::always_inline]] static inline std::uint64_t Bits32(__m256i equal) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(equal));
  }
#endif
};

// Number of set bits, without a library call on machines that lack a popcount instruction.
constexpr int CountBits(std::uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ull);
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<int>((x * 0x0101010101010101ull) >> 56);
}

}  // namespace duskmend
