#include <gtest/gtest.h>

#include <string>

#include "ReplaceStep.h"
#include "TestSupport.h"

namespace duskmend::test {
namespace {

std::string BigSave() {
  std::string text;
  for (int i = 0; i < 1200; ++i)
    text += i % 100 == 0 ? "[SECTOR 1,1]\r\nLOCALLIGHT=1\r\n" : "A=1\r\n";
  return text;
}

// Stops the pass in its `nth` yield, as the exit command would.
TEST(StopTest, AStopBeforeTheSwitchLeavesTheOldSaveAndNoTempFile) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  // Yields of a remove pass over BigSave: two progress steps, then after closing the files.
  for (int nth : {1, 2, 3}) {
    for (auto pass :
         {&PassRunner::AnalysisPass, &PassRunner::RemovePass, &PassRunner::ChangePass}) {
      if (pass == &PassRunner::AnalysisPass && nth == 3) continue;  // it yields twice
      SCOPED_TRACE("yield " + std::to_string(nth));
      WriteFile(save, BigSave());
      Harness h;
      h.dialogs.answer = "4";
      h.Load(save);
      int yields = 0;
      h.recorder.onYield = [&] {
        if (++yields == nth) h.runner.RequestStop();
      };
      EXPECT_EQ((h.runner.*pass)(), PassOutcome::kStopped);
      EXPECT_EQ(yields, nth) << "the pass ends at the yield where it was stopped";
      EXPECT_EQ(ReadFile(save), BigSave());
      EXPECT_FALSE(Exists(save + "tmp"));
      EXPECT_EQ(h.model.LightsCount(), "0") << "nothing is shown";
      EXPECT_NE(h.model.StatusText(), "100% - Ready");
      EXPECT_FALSE(h.runner.Running());
    }
  }
}

TEST(StopTest, AStopDuringTheReplaceStepTakesEffectWhenTheStepHasCompleted) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  for (int nth : {4, 5}) {  // after the copy, after the switch
    SCOPED_TRACE("yield " + std::to_string(nth));
    WriteFile(save, BigSave());
    Harness h;
    h.Load(save);
    int yields = 0;
    h.recorder.onYield = [&] {
      if (++yields == nth) h.runner.RequestStop();
    };
    EXPECT_EQ(h.runner.RemovePass(), PassOutcome::kStopped);
    EXPECT_EQ(yields, 5);
    EXPECT_EQ(ReadFile(save).find("LOCALLIGHT"), std::string::npos) << "the new text is in place";
    EXPECT_EQ(ReadFile(save + "tmp"), ReadFile(save));
    EXPECT_FALSE(Exists(ReplaceStep::StagingPathOf(save)));
    EXPECT_EQ(h.model.LightsCount(), "0") << "nothing is shown";
  }
}

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

TEST(StopTest, AStopAskedForWhenNoPassRunsDoesNotReachTheNextPass) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  WriteFile(save, BigSave());
  Harness h;
  h.Load(save);
  h.runner.RequestStop();
  EXPECT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
}

}  // namespace
}  // namespace duskmend::test
