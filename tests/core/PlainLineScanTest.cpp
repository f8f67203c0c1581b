#include "PlainLineScan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace duskmend::test {
namespace {

// Both scans give the same result on text made of the bytes that matter to them, cut at
// every length, up to every limit, in the middle of a file and at its end.
TEST(PlainLineScanTest, TheAvx2ScanAgreesWithThePortableOne) {
  if (!HasAvx2Scan()) GTEST_SKIP() << "this processor has no AVX2";
  std::mt19937 random(20261206);
  const std::string alphabet = "\r\n[sSector]xLOCALLIGHT= ";
  for (int round = 0; round < 3000; ++round) {
    std::string text(static_cast<std::size_t>(random() % 300), ' ');
    for (char& c : text)
      c = alphabet[random() % alphabet.size()];
    text.resize(text.size() + kScanPadding, '\n');  // what a scan may read past the end
    const std::size_t size = text.size() - kScanPadding;
    for (std::size_t limit : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{500}}) {
      for (bool atEnd : {false, true}) {
        PlainScan portable = ScanPlainLinesSse2(text.data(), size, atEnd, limit);
        PlainScan avx2 = ScanPlainLinesAvx2(text.data(), size, atEnd, limit);
        ASSERT_EQ(avx2.taken, portable.taken) << text.substr(0, size);
        ASSERT_EQ(avx2.count, portable.count);
        ASSERT_EQ(avx2.crLfOnly, portable.crLfOnly);
      }
    }
  }
}

}  // namespace
}  // namespace duskmend::test
