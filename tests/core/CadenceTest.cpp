#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "LineReader.h"
#include "TestSupport.h"

namespace duskmend::test {
namespace {

using Log = std::vector<std::string>;

std::string Repeat(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i)
    text += line;
  return text;
}

// The analysis pass's progress step yields before it sets the bar and the status text.
TEST(CadenceTest, AnalysisStepsInIteration501AndEvery500AfterIt) {
  struct Case {
    std::string name;
    std::string input;
    Log steps;       // what comes before the end-of-pass display
    int lights = 0;  // the counts that display shows
    int sectors = 0;
  };
  const std::string header = "[SECTOR 1,1]\r\nLOCALLIGHT=1\r\n";
  const Case cases[] = {
      {"empty", "", {}},
      {"500 iterations", Repeat("A=1\r\n", 500), {}},
      {"501 iterations", Repeat("A=1\r\n", 501), {"yield", "bar 6735", "status 100 %"}},
      {"1000 iterations", Repeat("A=1\r\n", 1000), {"yield", "bar 3374", "status 50 %"}},
      {"1001 iterations",
       Repeat("A=1\r\n", 1001),
       {"yield", "bar 3370", "status 50 %", "yield", "bar 6735", "status 100 %"}},
      // A header and its following line are one iteration: iteration 501 reads B=22.
      {"iterations, not lines",
       header + Repeat("A=1\r\n", 499) + "B=22\r\n" + Repeat("A=1\r\n", 100),
       {"yield", "bar 5623", "status 83 %"},
       1,
       1},
      // So are a header, its flags and its LIGHT= entry.
      {"three lines, one iteration",
       "[SECTOR 1,1]\r\nFLAGS=1\r\nLIGHT=1\r\n" + Repeat("A=1\r\n", 499) + "B=22\r\n" +
           Repeat("A=1\r\n", 100),
       {"yield", "bar 5624", "status 83 %"},
       1,
       1},
      // The step comes after the current line, before the header's following line.
      {"a header in iteration 501",
       Repeat("A=1\r\n", 500) + header + Repeat("Z=1\r\n", 99),
       {"yield", "bar 5600", "status 83 %"},
       1,
       1},
      // Bytes read are the bytes consumed: lines without a CR LF never push the bar past full.
      {"LF line ends", Repeat("A=1\n", 501), {"yield", "bar 6735", "status 100 %"}},
      {"lone CR line ends", Repeat("A=1\r", 501), {"yield", "bar 6735", "status 100 %"}},
      {"no line end at the end",
       Repeat("A=1\r\n", 500) + "A=1",
       {"yield", "bar 6735", "status 100 %"}},
  };
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  for (const Case& c : cases) {
    for (std::size_t readSize : {std::size_t{7}, LineReader::kDefaultReadSize}) {
      SCOPED_TRACE(c.name + ", read size " + std::to_string(readSize));
      WriteFile(save, c.input);
      Harness h;
      h.runner.SetReadSize(readSize);
      h.Load(save);
      ASSERT_EQ(h.runner.AnalysisPass(), PassOutcome::kDone);
      Log expected = c.steps;
      expected.insert(expected.end(),
                      {"lights " + std::to_string(c.lights), "sectors " + std::to_string(c.sectors),
                       "status 100% - Ready", "bar 6735"});
      EXPECT_EQ(h.recorder.log, expected);
    }
  }
}

// The rewriting passes yield after setting the bar and the status text, yield after closing
// both files, after the copy and after the switch, and show the counts last.
TEST(CadenceTest, RewritingPassesYieldLastAndShowTheCountsLast) {
  struct Case {
    std::string name;
    std::string input;
    Log expected;
  };
  const Log kReplaceAndEnd = {"yield",    "yield",    "yield",    "status 100% - Ready",
                              "bar 6735", "lights 0", "sectors 0"};
  auto with = [&](Log steps) {
    steps.insert(steps.end(), kReplaceAndEnd.begin(), kReplaceAndEnd.end());
    return steps;
  };
  const Case cases[] = {
      {"500 iterations", Repeat("A=1\r\n", 500), with({})},
      {"1000 iterations", Repeat("A=1\r\n", 1000), with({"bar 3374", "status 50 %", "yield"})},
      {"1001 iterations", Repeat("A=1\r\n", 1001),
       with({"bar 3370", "status 50 %", "yield", "bar 6735", "status 100 %", "yield"})},
  };
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    h.dialogs.answer = "1";
    h.Load(save);
    WriteFile(save, c.input);
    ASSERT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
    EXPECT_EQ(h.recorder.log, c.expected) << "remove";
    h.recorder.log.clear();
    WriteFile(save, c.input);
    ASSERT_EQ(h.runner.ChangePass(), PassOutcome::kDone);
    EXPECT_EQ(h.recorder.log, c.expected) << "change";
  }
}

// The calls that can take long on a large save run while the window stays alive; the yields
// and what they show stay as they were.
TEST(CadenceTest, ASlowFileCallKeepsTheWindowAlive) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  const std::string input = Repeat("[SECTOR 1,1]\r\nLOCALLIGHT=1\r\nA=1\r\n", 600);
  WriteFile(save, input);
  Harness quick;
  quick.Load(save);
  ASSERT_EQ(quick.runner.RemovePass(), PassOutcome::kDone);
  for (const char* call : {"Remove", "Sync", "Exchange", "SyncFolderOf", "Copy"}) {
    SCOPED_TRACE(call);
    WriteFile(save, input);
    ForwardingFileSystem slow;  // one kind of call takes a tenth of a second
    slow.fault = [call](const std::string& name) {
      if (name == call) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      return std::error_code{};
    };
    Harness h(slow);
    h.Load(save);
    ASSERT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
    EXPECT_GE(h.recorder.keptAlive, 2);
    EXPECT_EQ(h.recorder.log, quick.recorder.log);
    EXPECT_EQ(ReadFile(save), ReadFile(save + "tmp"));
  }
}

}  // namespace
}  // namespace duskmend::test
