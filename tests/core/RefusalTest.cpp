#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "TestSupport.h"

namespace duskmend::test {
namespace {

using Pass = PassOutcome (PassRunner::*)();

const std::pair<const char*, Pass> kPasses[] = {
    {"analysis", &PassRunner::AnalysisPass},
    {"remove", &PassRunner::RemovePass},
    {"change", &PassRunner::ChangePass},
};

TEST(RefusalTest, NothingLoadedRefusesEveryPassBeforeAnythingIsOpened) {
  for (const auto& [name, pass] : kPasses) {
    SCOPED_TRACE(name);
    ForwardingFileSystem fs;
    Harness h(fs);
    h.dialogs.answer = "5";
    EXPECT_EQ((h.runner.*pass)(), PassOutcome::kRefused);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].prompt, "Load a worldsave at first, please...");
    EXPECT_EQ(h.dialogs.messages[0].style, 64);
    EXPECT_EQ(h.dialogs.messages[0].title, "Hey, Dude!");
    EXPECT_TRUE(h.dialogs.questions.empty()) << "the guard comes before the question";
    EXPECT_TRUE(fs.calls.empty()) << "no file is touched";
    EXPECT_EQ(h.model.LightsCount(), "0");
    EXPECT_EQ(h.model.SectorsCount(), "0");
    EXPECT_EQ(h.model.StatusText(), "Status bar ;)");
    EXPECT_EQ(h.model.BarWidth(), 6735.0f);
  }
}

TEST(RefusalTest, OnlyTheExactMarkerMeansNothingLoaded) {
  TempDir dir;
  for (const std::string& path :
       {std::string("no worldsave loaded..."), std::string("No Worldsave loaded.."),
        std::string(" No Worldsave loaded...")}) {
    SCOPED_TRACE(path);
    Harness h;
    h.Load(dir.Path(path));  // a path like any other: there is no such file
    EXPECT_EQ(h.runner.AnalysisPass(), PassOutcome::kFailed);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].prompt.rfind("Cannot read the worldsave ", 0), 0u);
  }
}

TEST(RefusalTest, AnEmptyOrUnusableValueRefusesTheChangeBeforeAnythingIsOpened) {
  struct Case {
    std::string answer;
    std::string message;
  };
  const std::string kEmpty = "You have to enter a new value or remove all local lights!";
  const std::string kNotEightBit = "The new value must be one line of 8-bit characters.";
  const Case cases[] = {
      {"", kEmpty},  // typed nothing, or cancelled
      {"5\r\n6", kNotEightBit},
      {"5\n", kNotEightBit},
      {"\xE2\x82\xAC", kNotEightBit},  // the euro sign
      {"\xFF", kNotEightBit},          // no UTF-8
  };
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  const std::string text = CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    WriteFile(save, text);
    ForwardingFileSystem fs;
    Harness h(fs);
    h.Load(save);
    h.dialogs.answer = c.answer;
    EXPECT_EQ(h.runner.ChangePass(), PassOutcome::kRefused);
    ASSERT_EQ(h.dialogs.questions.size(), 1u);
    EXPECT_EQ(h.dialogs.questions[0], "Change to what value? | Hey, Dude!");
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].prompt, c.message);
    EXPECT_EQ(h.dialogs.messages[0].style, 16);
    EXPECT_EQ(h.dialogs.messages[0].title, "Hey, Dude!");
    EXPECT_TRUE(fs.calls.empty());
    EXPECT_FALSE(Exists(save + "tmp")) << "no temp file is created";
    EXPECT_EQ(ReadFile(save), text);
    EXPECT_TRUE(h.recorder.log.empty()) << "counts, status and bar keep their values";
  }
}

}  // namespace
}  // namespace duskmend::test
