#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "LineReader.h"
#include "TestSupport.h"

namespace duskmend::test {
namespace {

struct Counts {
  std::string lights;
  std::string sectors;
};

struct Case {
  std::string name;
  std::string input;
  Counts counts;        // of every pass
  std::string removed;  // the save after the remove pass
  std::string changed;  // the save after the change pass to "9"
};

const std::string kLong(200, 'x');

const Case kCases[] = {
    {"empty save", "", {"0", "0"}, "", ""},
    {"entry after a header, and another key after a header",
     CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5", "[SECTOR 2,1]", "RAINCHANCE=3"}),
     {"1", "2"},
     CrLf({"[SECTOR 2,1]", "RAINCHANCE=3"}),
     CrLf({"[SECTOR 1,1]", "LOCALLIGHT=9", "[SECTOR 2,1]", "RAINCHANCE=3"})},
    {"the section goes on: its header stays",
     CrLf({"[Sector 0,0]", "LocalLight=3", "RainChance=0", "ColdChance=0", "", "[X]"}),
     {"1", "1"},
     CrLf({"[Sector 0,0]", "RainChance=0", "ColdChance=0", "", "[X]"}),
     CrLf({"[Sector 0,0]", "LOCALLIGHT=9", "RainChance=0", "ColdChance=0", "", "[X]"})},
    {"a blank line ends the section",
     CrLf({"A=1", "[SECTOR 1,1]", "LOCALLIGHT=5", "", "[WORLDITEM i_gold]"}),
     {"1", "1"},
     CrLf({"A=1", "", "[WORLDITEM i_gold]"}),
     CrLf({"A=1", "[SECTOR 1,1]", "LOCALLIGHT=9", "", "[WORLDITEM i_gold]"})},
    {"the file ends after the entry",
     "[SECTOR 1,1]\r\nLOCALLIGHT=5",
     {"1", "1"},
     "",
     CrLf({"[SECTOR 1,1]", "LOCALLIGHT=9"})},
    {"an entry that does not follow a header",
     CrLf({"[SECTOR 1,1]", "A=1", "LOCALLIGHT=5"}),
     {"0", "1"},
     CrLf({"[SECTOR 1,1]", "A=1", "LOCALLIGHT=5"}),
     CrLf({"[SECTOR 1,1]", "A=1", "LOCALLIGHT=5"})},
    {"two headers in a row",
     CrLf({"[SECTOR 1,1]", "[SECTOR 2,2]", "LOCALLIGHT=5"}),
     {"0", "1"},
     CrLf({"[SECTOR 1,1]", "[SECTOR 2,2]", "LOCALLIGHT=5"}),
     CrLf({"[SECTOR 1,1]", "[SECTOR 2,2]", "LOCALLIGHT=5"})},
    {"letter case does not matter",
     CrLf({"[sector 3,3]", "locallight=7"}),
     {"1", "1"},
     "",
     CrLf({"[sector 3,3]", "LOCALLIGHT=9"})},
    {"a blank before the bracket",
     CrLf({" [SECTOR 1,1]", "LOCALLIGHT=5"}),
     {"0", "0"},
     CrLf({" [SECTOR 1,1]", "LOCALLIGHT=5"}),
     CrLf({" [SECTOR 1,1]", "LOCALLIGHT=5"})},
    {"blanks in the entry",
     CrLf({"[SECTOR 1,1]", "LOCALLIGHT =5", "[SECTOR 2,2]", " LOCALLIGHT=5"}),
     {"0", "2"},
     CrLf({"[SECTOR 1,1]", "LOCALLIGHT =5", "[SECTOR 2,2]", " LOCALLIGHT=5"}),
     CrLf({"[SECTOR 1,1]", "LOCALLIGHT =5", "[SECTOR 2,2]", " LOCALLIGHT=5"})},
    {"the key alone",
     CrLf({"[SECTORS]", "LOCALLIGHT=", "X=1"}),
     {"1", "1"},
     CrLf({"[SECTORS]", "X=1"}),
     CrLf({"[SECTORS]", "LOCALLIGHT=9", "X=1"})},
    {"everything after the key is replaced",
     CrLf({"[SECTOR 1,1]", "LocalLight=20 // dusk"}),
     {"1", "1"},
     "",
     CrLf({"[SECTOR 1,1]", "LOCALLIGHT=9"})},
    {"a header on the last line",
     "A=1\r\n[SECTOR 9,9]",
     {"0", "1"},
     CrLf({"A=1", "[SECTOR 9,9]"}),
     CrLf({"A=1", "[SECTOR 9,9]"})},
    {"LF line ends",
     "[SECTOR 1,1]\nLOCALLIGHT=5\nRAINCHANCE=1\n[SECTOR 2,2]\nLOCALLIGHT=1\n",
     {"2", "2"},
     CrLf({"[SECTOR 1,1]", "RAINCHANCE=1"}),
     CrLf({"[SECTOR 1,1]", "LOCALLIGHT=9", "RAINCHANCE=1", "[SECTOR 2,2]", "LOCALLIGHT=9"})},
    {"lone CR line ends",
     "[SECTOR 1,1]\rLOCALLIGHT=5\rX\r",
     {"1", "1"},
     CrLf({"[SECTOR 1,1]", "X"}),
     CrLf({"[SECTOR 1,1]", "LOCALLIGHT=9", "X"})},
    {"no headers: every line ends in CR LF",
     "a\r\nb\nc\rd",
     {"0", "0"},
     CrLf({"a", "b", "c", "d"}),
     CrLf({"a", "b", "c", "d"})},
    {"bytes pass unchanged",
     std::string("\0\xff"
                 "a\t \r\n",
                 7),
     {"0", "0"},
     std::string("\0\xff"
                 "a\t \r\n",
                 7),
     std::string("\0\xff"
                 "a\t \r\n",
                 7)},
    {"long lines",
     CrLf({"[SECTOR 1,1] " + kLong, "LOCALLIGHT=5 " + kLong, "K=" + kLong}),
     {"1", "1"},
     CrLf({"[SECTOR 1,1] " + kLong, "K=" + kLong}),
     CrLf({"[SECTOR 1,1] " + kLong, "LOCALLIGHT=9", "K=" + kLong})},
    {"a long line after an entry",
     CrLf({"[SECTOR 1,1]", "LOCALLIGHT=1", "[" + kLong}),
     {"1", "1"},
     CrLf({"[" + kLong}),
     CrLf({"[SECTOR 1,1]", "LOCALLIGHT=9", "[" + kLong})},
};

const std::size_t kReadSizes[] = {1, 2, 7, LineReader::kDefaultReadSize};

std::size_t FilesIn(const TempDir& dir) {
  auto files = std::filesystem::directory_iterator(Native(dir.Path("")));
  return static_cast<std::size_t>(std::distance(begin(files), end(files)));
}

TEST(PassTableTest, EachPassGivesItsCountsAndItsText) {
  for (const Case& c : kCases) {
    for (std::size_t readSize : kReadSizes) {
      SCOPED_TRACE(c.name + ", read size " + std::to_string(readSize));
      TempDir dir;
      const std::string save = dir.Path("sphereworld.scp");
      Harness h;
      h.runner.SetReadSize(readSize);
      h.dialogs.answer = "9";
      h.Load(save);

      WriteFile(save, c.input);
      EXPECT_EQ(h.runner.AnalysisPass(), PassOutcome::kDone);
      EXPECT_EQ(h.model.LightsCount(), c.counts.lights);
      EXPECT_EQ(h.model.SectorsCount(), c.counts.sectors);
      EXPECT_EQ(ReadFile(save), c.input) << "analysis changes nothing";
      EXPECT_EQ(FilesIn(dir), 1u) << "analysis creates no file";

      h.model.SetLightsCount(77);
      EXPECT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
      EXPECT_EQ(ReadFile(save), c.removed);
      EXPECT_EQ(ReadFile(save + "tmp"), c.removed) << "the temp file stays with the new text";
      EXPECT_EQ(h.model.LightsCount(), c.counts.lights);
      EXPECT_EQ(h.model.SectorsCount(), c.counts.sectors);
      EXPECT_EQ(FilesIn(dir), 2u) << "nothing but the save and its temp file";

      WriteFile(save, c.input);
      h.model.SetLightsCount(77);
      EXPECT_EQ(h.runner.ChangePass(), PassOutcome::kDone);
      EXPECT_EQ(ReadFile(save), c.changed);
      EXPECT_EQ(ReadFile(save + "tmp"), c.changed);
      EXPECT_EQ(h.model.LightsCount(), c.counts.lights);
      EXPECT_EQ(h.model.SectorsCount(), c.counts.sectors);
      EXPECT_TRUE(h.dialogs.messages.empty());
    }
  }
}

TEST(PassTableTest, RunningAPassAgainGivesWhatTheSecondRunShould) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  const std::string input = CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5", "", "[SECTOR 2,2]",
                                  "LOCALLIGHT=6", "RAINCHANCE=1", "[SECTOR 3,3]", "A=1"});
  WriteFile(save, input);
  Harness h;
  h.Load(save);
  ASSERT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
  EXPECT_EQ(h.model.LightsCount(), "2");
  EXPECT_EQ(h.model.SectorsCount(), "3");
  const std::string once = ReadFile(save);
  ASSERT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
  EXPECT_EQ(ReadFile(save), once) << "the second remove removes nothing";
  EXPECT_EQ(h.model.LightsCount(), "0");
  EXPECT_EQ(h.model.SectorsCount(), "2") << "the header of a section that went on stays";

  WriteFile(save, input);
  h.dialogs.answer = "5";
  ASSERT_EQ(h.runner.ChangePass(), PassOutcome::kDone);
  h.dialogs.answer = "9";
  ASSERT_EQ(h.runner.ChangePass(), PassOutcome::kDone);
  EXPECT_EQ(ReadFile(save), CrLf({"[SECTOR 1,1]", "LOCALLIGHT=9", "", "[SECTOR 2,2]",
                                  "LOCALLIGHT=9", "RAINCHANCE=1", "[SECTOR 3,3]", "A=1"}));
  EXPECT_EQ(h.model.LightsCount(), "2");
  EXPECT_EQ(h.model.SectorsCount(), "3");
}

TEST(PassTableTest, AnEarlierTempFileIsEmptiedAndRewritten) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  WriteFile(save, CrLf({"A=1"}));
  WriteFile(save + "tmp", std::string(10000, '#'));
  Harness h;
  h.Load(save);
  ASSERT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
  EXPECT_EQ(ReadFile(save + "tmp"), CrLf({"A=1"}));
}

}  // namespace
}  // namespace duskmend::test
