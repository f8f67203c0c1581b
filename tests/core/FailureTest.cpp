// Failures that the system itself gives: a missing file, a folder, a FIFO, a link, a limit.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "TestSupport.h"

namespace duskmend::test {
namespace {

const std::string kOld = CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5", "", "[WORLDITEM i_gold]", "P=1"});
const std::string kFailed = "Failed - worldsave unchanged";

std::string Reason(std::errc error) { return std::make_error_code(error).message(); }

// Loads `path` over the counts of an earlier pass.
void LoadAfterAPass(Harness& h, const std::string& path) {
  h.model.SetLightsCount(7);
  h.Load(path);
}

// What every failed pass leaves: the message, the status text, the old counts.
void ExpectReported(const Harness& h, const std::string& prompt) {
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(h.dialogs.messages[0].prompt, prompt);
  EXPECT_EQ(h.dialogs.messages[0].style, 16);
  EXPECT_EQ(h.dialogs.messages[0].title, "Hey, Dude!");
  EXPECT_EQ(h.model.StatusText(), kFailed);
  EXPECT_EQ(h.model.LightsCount(), "7") << "the counts keep their old values";
  for (const std::string& entry : h.recorder.log)
    EXPECT_NE(entry, "status 100% - Ready");
}

TEST(FailureTest, AWorldSaveThatCannotBeReadIsReportedByEveryPass) {
  TempDir dir;
  const std::string missing = dir.Path("gone.scp");
  const std::string folder = dir.Path("folder.scp");
  const std::string fifo = dir.Path("fifo.scp");
  std::filesystem::create_directory(folder);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> cases[] = {
      {missing, Reason(std::errc::no_such_file_or_directory)},
      {folder, Reason(std::errc::is_a_directory)},
      {fifo, "Not a regular file"},  // and no hang waiting for a writer
  };
  for (const auto& [path, reason] : cases) {
    for (auto pass :
         {&PassRunner::AnalysisPass, &PassRunner::RemovePass, &PassRunner::ChangePass}) {
      SCOPED_TRACE(path);
      Harness h;
      h.dialogs.answer = "3";
      LoadAfterAPass(h, path);
      EXPECT_EQ((h.runner.*pass)(), PassOutcome::kFailed);
      ExpectReported(
          h, "Cannot read the worldsave " + path + "\n" + reason + "\nNothing was changed.");
      EXPECT_FALSE(Exists(path + "tmp"));
    }
  }
}

TEST(FailureTest, ATempPathThatCannotBeWrittenLeavesTheSaveAndWhatStandsThere) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  const std::string victim = dir.Path("victim");
  struct Case {
    std::string name;
    std::function<void()> prepare;
    std::string reason;
  };
  const Case cases[] = {
      {"a folder", [&] { std::filesystem::create_directory(save + "tmp"); },
       Reason(std::errc::is_a_directory)},
      {"a link", [&] { std::filesystem::create_symlink(victim, save + "tmp"); },
       Reason(std::errc::too_many_symbolic_link_levels)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(save + "tmp");
    WriteFile(save, kOld);
    WriteFile(victim, "not yours");
    c.prepare();
    Harness h;
    LoadAfterAPass(h, save);
    EXPECT_EQ(h.runner.RemovePass(), PassOutcome::kFailed);
    ExpectReported(h, "Cannot write the temporary file " + save + "tmp\n" + c.reason +
                          "\nThe worldsave was not changed.");
    EXPECT_EQ(ReadFile(save), kOld);
    EXPECT_TRUE(Exists(save + "tmp")) << "what stood at the temp path stays";
    EXPECT_EQ(ReadFile(victim), "not yours");
  }
}

// Runs a remove pass in a process that may not write files larger than 4 KiB, and exits
// with 0 when the pass reported the failed write as it should.
[[noreturn]] void RemoveUnderFileSizeLimit(const std::string& save) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{4096, 4096};
  setrlimit(RLIMIT_FSIZE, &limit);
  Harness h;
  h.Load(save);
  bool reported = h.runner.RemovePass() == PassOutcome::kFailed &&
                  h.dialogs.messages.at(0).prompt ==
                      "Cannot write the temporary file " + save + "tmp\n" +
                          Reason(std::errc::file_too_large) + "\nThe worldsave was not changed.";
  _exit(reported ? 0 : 1);
}

TEST(FailureTest, AFileSizeLimitFailsTheTempWriteAndRemovesTheTempFile) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  std::string big;
  for (int i = 0; i < 5000; ++i)
    big += "KEY=" + std::to_string(i) + "\r\n";
  WriteFile(save, big);
  EXPECT_EXIT(RemoveUnderFileSizeLimit(save), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadFile(save), big);
  EXPECT_FALSE(Exists(save + "tmp")) << "an incomplete temp file is removed";
}

}  // namespace
}  // namespace duskmend::test
