#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "LineReader.h"
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

struct Case {
  std::string name;
  std::string input;
  std::string counts;   // lights and sectors, after every pass
  std::string removed;  // the save after the remove pass
  std::string changed;  // the save after the change pass to "9"
};

const std::string kLong(200, 'x');
const std::string kBytes(
    "\0\xff"
    "a\t \r\n",
    7);

const Case kCases[] = {
    {"empty save", "", "0 0", "", ""},
    {"entry after a header, another key after a header",
     Lines("[SECTOR 1,1]|LOCALLIGHT=5|[SECTOR 2,1]|RAINCHANCE=3"), "1 2",
     Lines("[SECTOR 2,1]|RAINCHANCE=3"),
     Lines("[SECTOR 1,1]|LOCALLIGHT=9|[SECTOR 2,1]|RAINCHANCE=3")},
    {"the section goes on: its header stays", Lines("[Sector 0,0]|LocalLight=3|RainChance=0||[X]"),
     "1 1", Lines("[Sector 0,0]|RainChance=0||[X]"),
     Lines("[Sector 0,0]|LOCALLIGHT=9|RainChance=0||[X]")},
    {"a blank line ends the section", Lines("A=1|[SECTOR 1,1]|LOCALLIGHT=5||[WORLDITEM i_gold]"),
     "1 1", Lines("A=1||[WORLDITEM i_gold]"),
     Lines("A=1|[SECTOR 1,1]|LOCALLIGHT=9||[WORLDITEM i_gold]")},
    {"the file ends after the entry", "[SECTOR 1,1]\r\nLOCALLIGHT=5", "1 1", "",
     Lines("[SECTOR 1,1]|LOCALLIGHT=9")},
    {"an entry that does not follow a header", Lines("[SECTOR 1,1]|A=1|LOCALLIGHT=5"), "0 1",
     Lines("[SECTOR 1,1]|A=1|LOCALLIGHT=5"), Lines("[SECTOR 1,1]|A=1|LOCALLIGHT=5")},
    {"two headers in a row", Lines("[SECTOR 1,1]|[SECTOR 2,2]|LOCALLIGHT=5"), "0 1",
     Lines("[SECTOR 1,1]|[SECTOR 2,2]|LOCALLIGHT=5"),
     Lines("[SECTOR 1,1]|[SECTOR 2,2]|LOCALLIGHT=5")},
    {"letter case does not matter", Lines("[sector 3,3]|locallight=7"), "1 1", "",
     Lines("[sector 3,3]|LOCALLIGHT=9")},
    {"a blank before the bracket", Lines(" [SECTOR 1,1]|LOCALLIGHT=5"), "0 0",
     Lines(" [SECTOR 1,1]|LOCALLIGHT=5"), Lines(" [SECTOR 1,1]|LOCALLIGHT=5")},
    {"blanks in the entry", Lines("[SECTOR 1,1]|LOCALLIGHT =5|[SECTOR 2,2]| LOCALLIGHT=5"), "0 2",
     Lines("[SECTOR 1,1]|LOCALLIGHT =5|[SECTOR 2,2]| LOCALLIGHT=5"),
     Lines("[SECTOR 1,1]|LOCALLIGHT =5|[SECTOR 2,2]| LOCALLIGHT=5")},
    {"the key alone", Lines("[SECTORS]|LOCALLIGHT=|X=1"), "1 1", Lines("[SECTORS]|X=1"),
     Lines("[SECTORS]|LOCALLIGHT=9|X=1")},
    {"everything after the key is replaced", Lines("[SECTOR 1,1]|LocalLight=20 // dusk"), "1 1", "",
     Lines("[SECTOR 1,1]|LOCALLIGHT=9")},
    {"a header on the last line", "A=1\r\n[SECTOR 9,9]", "0 1", Lines("A=1|[SECTOR 9,9]"),
     Lines("A=1|[SECTOR 9,9]")},
    {"LF line ends", "[SECTOR 1,1]\nLOCALLIGHT=5\nRAINCHANCE=1\n[SECTOR 2,2]\nLOCALLIGHT=1\n",
     "2 2", Lines("[SECTOR 1,1]|RAINCHANCE=1"),
     Lines("[SECTOR 1,1]|LOCALLIGHT=9|RAINCHANCE=1|[SECTOR 2,2]|LOCALLIGHT=9")},
    {"lone CR line ends", "[SECTOR 1,1]\rLOCALLIGHT=5\rX\r", "1 1", Lines("[SECTOR 1,1]|X"),
     Lines("[SECTOR 1,1]|LOCALLIGHT=9|X")},
    {"no headers: every line ends in CR LF", "a\r\nb\nc\rd", "0 0", Lines("a|b|c|d"),
     Lines("a|b|c|d")},
    {"bytes pass unchanged", kBytes, "0 0", kBytes, kBytes},
    {"long lines", Lines("[SECTOR 1,1] " + kLong + "|LOCALLIGHT=5 " + kLong + "|K=" + kLong), "1 1",
     Lines("[SECTOR 1,1] " + kLong + "|K=" + kLong),
     Lines("[SECTOR 1,1] " + kLong + "|LOCALLIGHT=9|K=" + kLong)},
    // Sphere 0.56b and later: LIGHT=, right after the header or after its FLAGS= line.
    {"LIGHT= after the flags: the header stays with them",
     Lines("[SECTOR 1,1,0,0]|FLAGS=04|LIGHT=5|RAINCHANCE=3||[WORLDCHAR c_man]|LIGHT=7"), "1 1",
     Lines("[SECTOR 1,1,0,0]|FLAGS=04|RAINCHANCE=3||[WORLDCHAR c_man]|LIGHT=7"),
     Lines("[SECTOR 1,1,0,0]|FLAGS=04|LIGHT=9|RAINCHANCE=3||[WORLDCHAR c_man]|LIGHT=7")},
    {"LIGHT= after the header", Lines("[SECTOR 2,2,0,1]|light=5||[Sector 3,3]|Light=|SEASON=2"),
     "2 2", Lines("|[Sector 3,3]|SEASON=2"),
     Lines("[SECTOR 2,2,0,1]|LIGHT=9||[Sector 3,3]|LIGHT=9|SEASON=2")},
    {"no light entries of the newer kind",
     Lines("[SECTOR 1,1]|FLAGS=1|LOCALLIGHT=5|[SECTOR 2,2]|FLAGS=1|FLAGS=2|LIGHT=5|[SECTOR 3,3]|"
           "LIGHT =5|[SECTOR 4,4]|LIGHTS=1|[SECTOR 5,5]|LOCALLIGHT=1|LIGHT=2|FLAGS=1|LIGHT=3"),
     "1 5",
     Lines("[SECTOR 1,1]|FLAGS=1|LOCALLIGHT=5|[SECTOR 2,2]|FLAGS=1|FLAGS=2|LIGHT=5|[SECTOR 3,3]|"
           "LIGHT =5|[SECTOR 4,4]|LIGHTS=1|[SECTOR 5,5]|LIGHT=2|FLAGS=1|LIGHT=3"),
     Lines("[SECTOR 1,1]|FLAGS=1|LOCALLIGHT=5|[SECTOR 2,2]|FLAGS=1|FLAGS=2|LIGHT=5|[SECTOR 3,3]|"
           "LIGHT =5|[SECTOR 4,4]|LIGHTS=1|[SECTOR 5,5]|LOCALLIGHT=9|LIGHT=2|FLAGS=1|LIGHT=3")},
    {"a header after the flags is a header", Lines("[SECTOR 5,5]|FLAGS=0|[SECTOR 6,6]|LIGHT=2"),
     "1 2", Lines("[SECTOR 5,5]|FLAGS=0"), Lines("[SECTOR 5,5]|FLAGS=0|[SECTOR 6,6]|LIGHT=9")},
    {"the file ends after the flags", "[SECTOR 1,1]\r\nFLAGS=1", "0 1",
     Lines("[SECTOR 1,1]|FLAGS=1"), Lines("[SECTOR 1,1]|FLAGS=1")},
    {"the file ends in the entry after the flags", "[SECTOR 1,1]\nflags=\nLIGHT=3", "1 1",
     Lines("[SECTOR 1,1]|flags="), Lines("[SECTOR 1,1]|flags=|LIGHT=9")},
    {"a long line after the flags", Lines("[SECTOR 1,1]|FLAGS=1|LIGHT=" + kLong + "|LIGH|" + kLong),
     "1 1", Lines("[SECTOR 1,1]|FLAGS=1|LIGH|" + kLong),
     Lines("[SECTOR 1,1]|FLAGS=1|LIGHT=9|LIGH|" + kLong)},
    {"a long line after an entry", Lines("[SECTOR 1,1]|LOCALLIGHT=1|[" + kLong), "1 1",
     Lines("[" + kLong), Lines("[SECTOR 1,1]|LOCALLIGHT=9|[" + kLong)},
};

std::size_t FilesIn(const TempDir& dir) {
  auto files = std::filesystem::directory_iterator(Native(dir.Path("")));
  return static_cast<std::size_t>(std::distance(begin(files), end(files)));
}

// Every pass at read sizes that cut each line end and header; a stale temp file from an
// earlier run is emptied and rewritten.
TEST(PassTableTest, EachPassGivesItsCountsAndItsText) {
  for (const Case& c : kCases) {
    for (std::size_t readSize :
         {std::size_t{1}, std::size_t{2}, std::size_t{7}, LineReader::kDefaultReadSize}) {
      SCOPED_TRACE(c.name + ", read size " + std::to_string(readSize));
      TempDir dir;
      const std::string save = dir.Path("sphereworld.scp");
      Harness h;
      h.runner.SetReadSize(readSize);
      h.dialogs.answer = "9";
      h.Load(save);
      const auto counts = [&h] { return h.model.LightsCount() + " " + h.model.SectorsCount(); };

      WriteFile(save, c.input);
      EXPECT_EQ(h.runner.AnalysisPass(), PassOutcome::kDone);
      EXPECT_EQ(counts(), c.counts);
      EXPECT_EQ(ReadFile(save), c.input) << "analysis changes nothing";
      EXPECT_EQ(FilesIn(dir), 1u) << "analysis creates no file";

      WriteFile(save + "tmp", std::string(10000, '#'));
      h.model.SetLightsCount(77);
      EXPECT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
      EXPECT_EQ(ReadFile(save), c.removed);
      EXPECT_EQ(ReadFile(save + "tmp"), c.removed) << "the temp file stays with the new text";
      EXPECT_EQ(counts(), c.counts);
      EXPECT_EQ(FilesIn(dir), 2u) << "nothing but the save and its temp file";

      WriteFile(save, c.input);
      h.model.SetLightsCount(77);
      EXPECT_EQ(h.runner.ChangePass(), PassOutcome::kDone);
      EXPECT_EQ(ReadFile(save), c.changed);
      EXPECT_EQ(ReadFile(save + "tmp"), c.changed);
      EXPECT_EQ(counts(), c.counts);
      EXPECT_TRUE(h.dialogs.messages.empty());
    }
  }
}

// Nothing loaded, or no usable value: refused before any file is touched, the window as it
// was. Only the exact marker means nothing loaded.
TEST(PassTableTest, RefusalsComeBeforeAnyFileIsTouched) {
  using Pass = PassOutcome (PassRunner::*)();
  const std::string kLoad = "Load a worldsave at first, please...";
  const std::string kEmpty = "You have to enter a new value or remove all local lights!";
  const std::string kNotEightBit =
      "The new value must be one line of Latin-1 (ISO 8859-1) characters; the euro sign and "
      "other characters outside Latin-1 are not accepted.\nNothing was changed.";
  const std::string kQuestion = "Change to what value? | Hey, Dude!";
  struct Refusal {
    std::string path, answer;
    Pass pass;
    std::string message;  // its beginning
    int style;
  } cases[] = {
      {kNothingLoaded, "5", &PassRunner::AnalysisPass, kLoad, 64},
      {kNothingLoaded, "5", &PassRunner::RemovePass, kLoad, 64},
      {kNothingLoaded, "5", &PassRunner::ChangePass, kLoad, 64},
      {"save", "", &PassRunner::ChangePass, kEmpty, 16},  // typed nothing, or cancelled
      {"save", "5\r\n6", &PassRunner::ChangePass, kNotEightBit, 16},
      {"save", "5\n", &PassRunner::ChangePass, kNotEightBit, 16},
      {"save", "\xE2\x82\xAC", &PassRunner::ChangePass, kNotEightBit, 16},  // the euro sign
      {"save", "\xFF", &PassRunner::ChangePass, kNotEightBit, 16},          // no UTF-8
      {" No Worldsave loaded...", "", &PassRunner::AnalysisPass, "Cannot read the worldsave ", 16},
  };
  TempDir dir;
  const std::string text = Lines("[SECTOR 1,1]|LOCALLIGHT=5");
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.path + ", " + c.answer);
    const std::string path = c.path == kNothingLoaded ? c.path : dir.Path(c.path);
    WriteFile(dir.Path("save"), text);
    ForwardingFileSystem fs;
    Harness h(fs);
    h.Load(path);
    h.dialogs.answer = c.answer;
    const bool refused = c.message != "Cannot read the worldsave ";
    EXPECT_EQ((h.runner.*c.pass)(), refused ? PassOutcome::kRefused : PassOutcome::kFailed);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_TRUE(h.dialogs.messages[0].prompt.starts_with(c.message))
        << h.dialogs.messages[0].prompt;
    EXPECT_EQ(h.dialogs.messages[0].style, c.style);
    EXPECT_EQ(h.dialogs.messages[0].title, "Hey, Dude!");
    if (!refused) continue;
    EXPECT_EQ(h.dialogs.questions,
              c.answer == "5" ? std::vector<std::string>{} : std::vector<std::string>{kQuestion})
        << "the guard comes first";
    EXPECT_TRUE(fs.calls.empty()) << "no file is touched";
    EXPECT_TRUE(h.recorder.log.empty()) << "counts, status and bar keep their values";
    EXPECT_EQ(h.model.StatusText(), "Status bar ;)");
    EXPECT_EQ(h.model.BarWidth(), 6735.0f);
    EXPECT_EQ(ReadFile(dir.Path("save")), text);
    EXPECT_FALSE(Exists(dir.Path("savetmp")));
  }
}

}  // namespace
}  // namespace duskmend::test
