#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "Latin1.h"
#include "LineKinds.h"

namespace duskmend::test {
namespace {

TEST(LineKindsTest, SectorHeadersAndLightEntriesAreFoldedPrefixes) {
  struct Case {
    std::string line;
    bool header;
    bool localLight;
    bool light = false;
  };
  // The pass tables cover the common cases; these are the edges of the two prefixes.
  const Case cases[] = {
      {"[SECTOR", true, false},
      {"[Sector]", true, false},
      {"[SECTO", false, false},
      {"\t[SECTOR 1,1]", false, false},
      {"LocalLight=3", false, true},
      {"LOCALLIGHT", false, false},
      {"LOCALLIGHTS=5", false, false},
      {"Light=", false, false, true},
      {"LIGHTS=1", false, false, false},
      {"LIGHT", false, false, false},
      {"", false, false},
      // Only A to Z fold: the byte 0xCC is no capital letter of "l".
      {"\xCC"
       "OCALLIGHT=1",
       false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SectorHeaderLine(c.line), c.header) << c.line;
    EXPECT_EQ(LocalLightLine(c.line), c.localLight) << c.line;
    EXPECT_EQ(LightLine(c.line), c.light) << c.line;
  }
}

TEST(Latin1Test, AcceptsOneLineOfEightBitCharactersOnly) {
  struct Case {
    std::string utf8;
    std::optional<std::string> latin1;
  };
  const Case cases[] = {
      {"5", "5"},
      {" 5", " 5"},
      {"dark", "dark"},
      {"caf\xC3\xA9", "caf\xE9"},          // U+00E9
      {"\xC2\xA0", "\xA0"},                // U+00A0
      {"\xC3\xBF", "\xFF"},                // U+00FF, the last one
      {"\xC4\x80", std::nullopt},          // U+0100
      {"\xE2\x82\xAC", std::nullopt},      // the euro sign
      {"\xF0\x9F\x8C\x99", std::nullopt},  // a crescent moon
      {"\xC3", std::nullopt},              // cut short
      {"\xC3"
       "A",
       std::nullopt},              // no continuation byte
      {"\xC1\xA9", std::nullopt},  // overlong
      {"\xA9", std::nullopt},      // a lone continuation byte
      {"5\r", std::nullopt},
      {"5\n6", std::nullopt},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Latin1Line(c.utf8), c.latin1) << c.utf8;
  EXPECT_EQ(Latin1Line(std::string_view("caf\xC3\xA9", 4)), std::nullopt) << "cut in a view";
}

}  // namespace
}  // namespace duskmend::test
