#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"

namespace duskmend::test {
namespace {

std::string BigSave() {
  std::string text;
  for (int i = 0; i < 1200; ++i)
    text += i % 100 == 0 ? "[SECTOR 1,1]\r\nLOCALLIGHT=1\r\n" : "A=1\r\n";
  return text;
}

// A stop asked for in the k-th yield, as the exit command would: the save is old for every
// yield before the switch and new from the switch on, and no partial temp file stays.
TEST(StopTest, AStopAtAnyYieldLeavesTheOldSaveBeforeTheSwitchAndTheNewOneAfter) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  for (auto pass : {&PassRunner::AnalysisPass, &PassRunner::RemovePass, &PassRunner::ChangePass}) {
    WriteFile(save, BigSave());
    Harness clean;
    clean.dialogs.answer = "4";
    clean.Load(save);
    int yields = 0;
    int switched = 0;  // the first yield that sees the new save
    clean.recorder.onYield = [&] {
      ++yields;
      if (!switched && ReadFile(save) != BigSave()) switched = yields;
    };
    ASSERT_EQ((clean.runner.*pass)(), PassOutcome::kDone);
    const std::string expected = ReadFile(save);
    const int all = yields;
    ASSERT_EQ(all, pass == &PassRunner::AnalysisPass ? 2 : 5);
    for (int k = 1; k <= all; ++k) {
      SCOPED_TRACE("yield " + std::to_string(k) + " of " + std::to_string(all));
      WriteFile(save, BigSave());
      std::filesystem::remove(Native(save + "tmp"));
      Harness h;
      h.dialogs.answer = "4";
      h.Load(save);
      yields = 0;
      h.recorder.onYield = [&] {
        if (++yields == k) h.runner.RequestStop();
      };
      EXPECT_EQ((h.runner.*pass)(), PassOutcome::kStopped);
      const bool after = switched != 0 && k >= switched;
      EXPECT_EQ(yields, after ? all : k) << "a stop after the switch lets the step finish";
      EXPECT_EQ(ReadFile(save), after ? expected : BigSave());
      EXPECT_EQ(Exists(save + "tmp"), after);
      if (after) {
        EXPECT_EQ(ReadFile(save + "tmp"), expected);
      }
      EXPECT_EQ(h.model.LightsCount(), "0") << "nothing is shown";
      EXPECT_NE(h.model.StatusText(), "100% - Ready");
      EXPECT_FALSE(h.runner.Running());
    }
  }
}

// A pass asked for while another runs does nothing; a stop asked for when no pass ran does not
// reach the next pass.
TEST(StopTest, APassAskedForWhileAnotherRunsDoesNothing) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  const std::string other = dir.Path("other.scp");
  WriteFile(save, BigSave());
  WriteFile(other, "A=1\r\n");
  Harness h;
  h.dialogs.answer = "4";
  h.Load(save);
  std::vector<PassOutcome> inner;
  h.recorder.onYield = [&] {
    h.model.SetPathText(other);  // the open command, clicked during the pass
    inner.push_back(h.runner.AnalysisPass());
    inner.push_back(h.runner.RemovePass());
    inner.push_back(h.runner.ChangePass());
  };
  h.runner.RequestStop();
  EXPECT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
  ASSERT_FALSE(inner.empty());
  for (PassOutcome outcome : inner)
    EXPECT_EQ(outcome, PassOutcome::kBusy);
  for (const Message& m : h.dialogs.messages)
    ADD_FAILURE() << m.prompt;
  EXPECT_TRUE(h.dialogs.questions.empty());
  EXPECT_EQ(h.model.LightsCount(), "12");
  EXPECT_EQ(ReadFile(save).find("LOCALLIGHT"), std::string::npos) << "the pass kept its file";
  EXPECT_EQ(ReadFile(other), "A=1\r\n");
  EXPECT_FALSE(Exists(other + "tmp"));
}

}  // namespace
}  // namespace duskmend::test
