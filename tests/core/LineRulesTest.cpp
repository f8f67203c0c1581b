// The line rules and what the three passes make of them, held to a model of the rules written
// out the plainest way: a few saves spelled out for the reader, named edges, and seeded random
// saves built of the pieces that the rules tell apart, at read sizes and write-buffer sizes
// that cut every line end, header and flush.
#include <gtest/gtest.h>
#include <strings.h>

#include <map>
#include <optional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "FaultyFileSystem.h"
#include "Latin1.h"
#include "LineReader.h"
#include "PlainLineScanSets.h"
#include "TestSupport.h"

namespace duskmend::test {
namespace {

// "a|b" is the lines a and b, each ended by CR LF.
std::string Lines(const std::string& bars) {
  std::vector<std::string> lines;
  std::istringstream in(bars);
  for (std::string line; std::getline(in, line, '|');)
    lines.push_back(line);
  return CrLf(lines);
}

// What the three passes make of a save, by the rules written out the plainest way: CR LF, a
// lone CR or a lone LF ends a line, the rest after the last one is a line if it is not empty;
// an entry is the line after a sector's header, or after the FLAGS= line that follows it. A
// pass that would change no entry leaves the save as it is.
struct ModelPasses {
  std::uint64_t lights = 0, sectors = 0;
  std::string removed, changed;  // the save after the remove pass, after a change to `value`
  bool changes = false;          // whether an entry does not read as the change writes it
  std::string removedOfMap1;     // the save after a remove pass that chooses the sectors of map 1
  bool removesOfMap1 = false;
};
// Whether a header opens a sector of map 1: the fourth of its numbers, blanks aside, is 1,
// within the header's first 4096 bytes.
bool OfMap1(const std::string& header) {
  static const std::regex blanksAndTail("[ \t]|\\].*");
  static const std::regex fourthIs1("([^,]*,){3}0{0,8}1(,.*)?");
  return std::regex_match(std::regex_replace(header.substr(0, 4096).substr(7), blanksAndTail, ""),
                          fourthIs1);
}
ModelPasses Model(const std::string& text, const std::string& value) {
  static const std::regex end("\r\n|\r|\n");
  std::vector<std::string> lines(std::sregex_token_iterator(text.begin(), text.end(), end, -1),
                                 std::sregex_token_iterator());
  if (text.empty()) lines.clear();  // the one token of no text at all
  const auto is = [](const std::string& line, const char* lower) {  // only A to Z fold
    return strncasecmp(line.c_str(), lower, std::char_traits<char>::length(lower)) == 0;
  };
  ModelPasses expected;
  const auto keep = [&expected](const std::string& line) {
    for (std::string* text : {&expected.removed, &expected.changed, &expected.removedOfMap1})
      *text += line + "\r\n";
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!is(line, "[sector") || i + 1 == lines.size()) {
      expected.sectors += is(line, "[sector");
      keep(line);
      continue;
    }
    ++expected.sectors;
    const bool ofMap1 = OfMap1(line);
    const std::string& next = lines[++i];  // never a header itself
    const char* key = is(next, "locallight=") ? "LOCALLIGHT=" : is(next, "light=") ? "LIGHT=" : "";
    if (!*key) {
      keep(line);
      keep(next);
      if (is(next, "flags=") && i + 1 < lines.size() && is(lines[i + 1], "light=")) {
        ++expected.lights;
        expected.changed += "LIGHT=" + value + "\r\n";
        const std::string& entry = lines[++i];
        expected.changes = expected.changes || entry != "LIGHT=" + value;
        expected.removesOfMap1 = expected.removesOfMap1 || ofMap1;
        if (!ofMap1) expected.removedOfMap1 += entry + "\r\n";
      }
      continue;
    }
    ++expected.lights;
    expected.changes = expected.changes || next != key + value;
    expected.changed += line + "\r\n" + key + value + "\r\n";
    const bool sectionGoesOn =
        i + 1 < lines.size() && !lines[i + 1].empty() && lines[i + 1][0] != '[';
    if (sectionGoesOn) expected.removed += line + "\r\n";
    expected.removesOfMap1 = expected.removesOfMap1 || ofMap1;
    if (!ofMap1) expected.removedOfMap1 += line + "\r\n" + next + "\r\n";
    if (ofMap1 && sectionGoesOn) expected.removedOfMap1 += line + "\r\n";
  }
  return expected;
}

const std::string kLong(200, 'x');
const std::string kNoEntries = Lines(
    "[SECTOR 1,1]|FLAGS=1|LOCALLIGHT=5|[SECTOR 2,2]|A=1|LIGHT=5|[SECTOR 3,3]|LIGHT =5|"
    "[SECTOR 4,4]|LIGHTS=1| [SECTOR 5,5]|LIGHT=1");

// The rules at a glance, on the disk: the counts, and the save after remove and after a
// change to "9".
const struct Shown {
  const char* name;
  std::string input, counts, removed, changed;
} kShown[] = {
    {"an entry after a header, another key after a header",
     Lines("[SECTOR 1,1]|LOCALLIGHT=5|[SECTOR 2,1]|RAINCHANCE=3"), "1 2",
     Lines("[SECTOR 2,1]|RAINCHANCE=3"),
     Lines("[SECTOR 1,1]|LOCALLIGHT=9|[SECTOR 2,1]|RAINCHANCE=3")},
    {"the section goes on, so its header stays; everything after the key is replaced",
     Lines("[Sector 0,0]|LocalLight=3 // dusk|RainChance=0||[X]"), "1 1",
     Lines("[Sector 0,0]|RainChance=0||[X]"), Lines("[Sector 0,0]|LOCALLIGHT=9|RainChance=0||[X]")},
    // Sphere 0.56b and later: LIGHT=, right after the header or after its FLAGS= line.
    {"LIGHT= after the flags; a character's light is no entry",
     Lines("[SECTOR 1,1,0,0]|FLAGS=04|LIGHT=5|RAINCHANCE=3||[WORLDCHAR c_man]|LIGHT=7"), "1 1",
     Lines("[SECTOR 1,1,0,0]|FLAGS=04|RAINCHANCE=3||[WORLDCHAR c_man]|LIGHT=7"),
     Lines("[SECTOR 1,1,0,0]|FLAGS=04|LIGHT=9|RAINCHANCE=3||[WORLDCHAR c_man]|LIGHT=7")},
    {"no entries: not after a header or its flags, blanks, a longer key", kNoEntries, "0 4",
     kNoEntries, kNoEntries},
    {"every line end becomes CR LF; the file ends after an entry", "A\nb\r[SECTOR 1,1]\r\nlight=5",
     "1 1", Lines("A|b"), Lines("A|b|[SECTOR 1,1]|LIGHT=9")},
};

// Edges of the rules, held to the model.
const std::string kEdges[] = {
    "",
    "\r\n\r\n",
    "\n\r",
    "\r\r\n",
    "a\n\rb\r\r\n\nc",
    std::string("nul\0byte\r\n\xff\xfe\r\n", 14),
    std::string(63, 'a') + "\r\nb\r\n",                           // CR LF across a 64-byte block
    std::string(63, 'a') + "\r" + std::string(70, 'b'),           // lone CR at the end of a block
    std::string(62, 'a') + "\n[SECTOR 1,1]\r\nx\r\n",             // "[" at the end of a block
    "[SECTOR 1,1,0," + std::string(4081, ' ') + "1]\r\nLIGHT=5",  // the map's last byte kept
    "[SECTOR 1,1,0," + std::string(4082, ' ') + "1]\r\nLIGHT=5",  // and the first one cut
    std::string(63, 'a') + "\n[Sector 1,1]\nLOCALLIGHT=1\n",
    "x\r\n[s\r\n[SECTO\r\n[SECTOR",
    Lines("[SECTOR 1,1]|[SECTOR 2,2]|LOCALLIGHT=5|[SECTORS]|LOCALLIGHT=|X=1"),
    Lines("[SECTOR 1,1]|LOCALLIGHT=5||[WORLDITEM i_gold]|[sector 3,3]|locallight=7"),
    Lines("[SECTOR 1,1] " + kLong + "|LOCALLIGHT=5 " + kLong + "|K=" + kLong),
    Lines("[SECTOR 5,5]|FLAGS=0|[SECTOR 6,6]|LIGHT=2|[SECTOR 7,7]|LOCALLIGHT=1|LIGHT=2|FLAGS=1"),
    Lines("[SECTOR 1,1]|FLAGS=1|LIGHT=" + kLong + "|LIGH|" + kLong +
          "|[SECTOR 2,2]|FLAGS=1|FLAGS=2"),
    Lines("[SECTOR 1,1]|LOCALLIGHT=1|[" + kLong),
    "[SECTOR 1,1]\r\nFLAGS=1",
    "[SECTOR 1,1]\nflags=\nLIGHT=3",
    // Only A to Z fold: the byte 0xCC is no capital letter of "l".
    Lines("[SECTOR 1,1]|\xCC"
          "OCALLIGHT=1|[SECTOR 1,1]|\xCCIGHT=1|[\xD3"
          "ECTOR 1"),
};

// A save of up to 14 lines drawn from the pieces that the rules tell apart.
std::string RandomSave(std::mt19937& random) {
  static const std::vector<std::string> kPieces = [] {
    std::vector<std::string> pieces = {"[SECTOR " + kLong, "LIGHT=" + kLong, kLong, "",
                                       std::string("\0\xff\t", 3)};
    std::istringstream named(
        "[SECTOR 1,1]|[sector|[SECTO|[Sector]| [SECTOR 1|LOCALLIGHT=5|locallight=|LOCALLIGHT|"
        "LIGHT|LIGHT=3|Light=|LIGHTS=1|LIGHT =5|FLAGS=04|flags=|RAINCHANCE=3|[WORLDCHAR c]|A|"
        "[SECTOR 1,1,0,1]|[sector 2, 2,0 ,01 ]|[SECTOR 3,3,0,11]|[SECTOR 4,4,0,]|"
        "[SECTOR 5,5,0,1x]");
    for (std::string piece; std::getline(named, piece, '|');)
      pieces.push_back(piece);
    return pieces;
  }();
  static const std::string kEnds[] = {"\r\n", "\r\n", "\r\n", "\n", "\r"};
  std::string text;
  for (int line = static_cast<int>(random() % 15); line > 0; --line) {
    text += kPieces[random() % kPieces.size()];
    if (line > 1 || random() % 4) text += kEnds[random() % std::size(kEnds)];
  }
  return text;
}

// The three passes over `input`, each held to the model; a stale temp file from an earlier run
// is replaced.
void ExpectPasses(const std::string& input, const ModelPasses& model, std::size_t readSize,
                  std::size_t writeSize) {
  const std::string save = "sphereworld.scp";
  FaultyFileSystem folder(true, {{save, input}});
  folder.fault = [](const std::string& call) {  // closing a watch takes the system long
    return call == "Watch" ? std::make_error_code(std::errc::not_supported) : std::error_code{};
  };
  Harness h(folder, {.read = readSize, .write = writeSize});
  h.recorder.keepsAlive = false;  // a thread for each slow file call costs more than it shows
  h.dialogs.answer = "9";
  h.Load(folder.Path(save));
  const std::string counts = std::to_string(model.lights) + " " + std::to_string(model.sectors);
  const auto shown = [&h] { return h.model.LightsCount() + " " + h.model.SectorsCount(); };
  using Files = std::map<std::string, std::string>;

  EXPECT_EQ(h.runner.AnalysisPass(), PassOutcome::kDone);
  EXPECT_EQ(shown(), counts);
  EXPECT_EQ(folder.Files(), (Files{{save, input}})) << "analysis changes nothing";

  // The temp file stays with the new text; a save left as it was leaves it as it was, and a
  // part that a killed pass left there with it.
  const std::string part = input.substr(0, input.size() / 2);
  WriteFile(folder.Path(save + "tmp"), part);
  h.model.SetLightsCount(77);
  const bool removes = model.lights > 0;
  EXPECT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
  const std::string temp = removes ? model.removed : part;
  EXPECT_EQ(folder.Files(), (Files{{save, removes ? model.removed : input}, {save + "tmp", temp}}));
  EXPECT_EQ(shown(), counts);

  WriteFile(folder.Path(save), input);
  h.model.SetLightsCount(77);
  EXPECT_EQ(h.runner.ChangePass(), PassOutcome::kDone);
  EXPECT_EQ(folder.Get(save), model.changes ? model.changed : input);
  EXPECT_EQ(folder.Get(save + "tmp"), model.changes ? model.changed : temp);
  EXPECT_EQ(shown(), counts);
  EXPECT_TRUE(h.dialogs.messages.empty());

  WriteFile(folder.Path(save), input);
  PathHarness path(folder, {.read = readSize, .write = writeSize});
  SectorChoice ofMap1;
  ofMap1.OnlyMap(1);
  EXPECT_EQ(path.passes.Remove(folder.Path(save), {.choice = ofMap1}).outcome, PassOutcome::kDone);
  EXPECT_EQ(folder.Get(save), model.removesOfMap1 ? model.removedOfMap1 : input) << "map 1";
}

TEST(LineRulesTest, ThePassesFollowTheRulesAtEveryReadAndBufferSize) {
  std::vector<std::string> inputs(std::begin(kEdges), std::end(kEdges));
  for (const Shown& c : kShown) {
    const ModelPasses model = Model(c.input, "9");
    EXPECT_EQ(std::to_string(model.lights) + " " + std::to_string(model.sectors), c.counts);
    EXPECT_EQ(model.removed, c.removed) << "the model, " << c.name;
    EXPECT_EQ(model.changed, c.changed) << "the model, " << c.name;
    inputs.push_back(c.input);
  }
  std::mt19937 random(20261207);
  // The rules are the same code everywhere; under wine each file call takes long.
#if defined(_WIN32)
  const int kRandomSaves = 30;
#else
  const int kRandomSaves = 400;
#endif
  for (int i = 0; i < kRandomSaves; ++i)
    inputs.push_back(RandomSave(random));
  const std::size_t kReadSizes[] = {1, 2, 3, 7, 16, 64, LineReader::kDefaultReadSize};
  const std::size_t kWriteSizes[] = {2, 5, 16, 4096};
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const ModelPasses model = Model(inputs[i], "9");
    for (std::size_t r = 0; r < std::size(kReadSizes); ++r) {
      SCOPED_TRACE("input " + std::to_string(i) + " \"" + inputs[i] + "\", read size " +
                   std::to_string(kReadSizes[r]));
      ExpectPasses(inputs[i], model, kReadSizes[r], kWriteSizes[(i + r) % std::size(kWriteSizes)]);
    }
  }
}

// Both scans give the same result on text made of the bytes that matter to them, cut at
// every length, up to every limit, in the middle of a file and at its end.
TEST(LineRulesTest, TheAvx2ScanAgreesWithThePortableOne) {
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

// U+00E9, U+00A0 and U+00FF, the last one, convert; U+0100, the euro sign, a crescent moon, a
// sequence cut short, one without its continuation byte, an overlong one, lone continuation
// bytes, and line ends do not. A NUL byte is Latin-1.
TEST(LineRulesTest, TheNewValueIsOneLineOfLatin1) {
  const std::pair<std::string, std::string> good[] = {
      {"5", "5"},           {" dark", " dark"},   {"caf\xC3\xA9", "caf\xE9"},
      {"\xC2\xA0", "\xA0"}, {"\xC3\xBF", "\xFF"}, {std::string("a\0b", 3), std::string("a\0b", 3)}};
  for (const auto& [utf8, latin1] : good)
    EXPECT_EQ(Latin1Line(utf8), latin1) << utf8;
  for (const char* bad : {"\xC4\x80", "\xE2\x82\xAC", "\xF0\x9F\x8C\x99", "\xC3", "\xC3\x41",
                          "\xC1\xA9", "\xA9", "\x80", "5\r", "5\n6"})
    EXPECT_EQ(Latin1Line(bad), std::nullopt) << bad;
  EXPECT_EQ(Latin1Line(std::string_view("caf\xC3\xA9", 4)), std::nullopt) << "cut in a view";
}

}  // namespace
}  // namespace duskmend::test
