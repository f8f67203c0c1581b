#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <csignal>
#include <filesystem>
#include <string>

#include "ReplaceStep.h"
#include "TestSupport.h"

namespace duskmend::test {
namespace {

const std::string kOld = CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5", "", "[WORLDITEM i_gold]", "P=1"});
const std::string kNew = CrLf({"", "[WORLDITEM i_gold]", "P=1"});
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

#if !defined(_WIN32)  // the system's own errors, FIFOs, links and limits of POSIX
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

#endif

// Each file call of a remove pass, failed in turn. Before the switch, a failure leaves the
// old save; a failed replace leaves the complete new text in the temp file.
TEST(FailureTest, EveryFailedFileStepEndsWithTheOldSaveOrACompleteNewOne) {
  enum Result { kRead, kTemp, kReplace, kDone };
  struct Case {
    std::string call;
    int nth;
    std::errc error;
    Result result;
  };
  const Case cases[] = {
      {"Open", 1, std::errc::permission_denied, kRead},
      {"Open", 2, std::errc::permission_denied, kTemp},
      {"Size", 1, std::errc::io_error, kRead},
      {"Read", 1, std::errc::io_error, kRead},
      {"Read", 2, std::errc::io_error, kRead},
      {"Write", 1, std::errc::no_space_on_device, kTemp},
      {"Sync", 1, std::errc::io_error, kTemp},
      {"Close", 1, std::errc::io_error, kRead},
      {"Close", 2, std::errc::io_error, kTemp},
      {"ResolveLinks", 1, std::errc::no_such_file_or_directory, kReplace},
      {"Remove", 1, std::errc::io_error, kDone},  // no staging file was left to remove
      {"Open", 3, std::errc::permission_denied, kReplace},
      {"Open", 4, std::errc::file_exists, kReplace},
      {"Copy", 1, std::errc::no_space_on_device, kReplace},
      {"CopyPermissions", 1, std::errc::operation_not_permitted, kReplace},
      {"Sync", 2, std::errc::io_error, kReplace},
      {"Close", 3, std::errc::io_error, kReplace},
      {"Close", 4, std::errc::io_error, kReplace},
      {"Rename", 1, std::errc::cross_device_link, kReplace},
      {"SyncFolderOf", 1, std::errc::io_error, kDone},  // the switch has happened
  };
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call + " " + std::to_string(c.nth));
    std::filesystem::remove(save + "tmp");
    WriteFile(save, kOld);
    FaultyFileSystem fs(c.call, c.nth, c.error);
    Harness h(fs);
    LoadAfterAPass(h, save);
    PassOutcome outcome = h.runner.RemovePass();
    EXPECT_FALSE(Exists(ReplaceStep::StagingPathOf(save))) << "no staging file is left";
    if (c.result == kDone) {
      EXPECT_EQ(outcome, PassOutcome::kDone);
      EXPECT_EQ(ReadFile(save), kNew);
      EXPECT_EQ(ReadFile(save + "tmp"), kNew);
      continue;
    }
    EXPECT_EQ(outcome, PassOutcome::kFailed);
    EXPECT_EQ(ReadFile(save), kOld);
    const std::string reason = "\n" + Reason(c.error) + "\n";
    if (c.result == kRead) {
      ExpectReported(h, "Cannot read the worldsave " + save + reason + "Nothing was changed.");
    } else if (c.result == kTemp) {
      ExpectReported(h, "Cannot write the temporary file " + save + "tmp" + reason +
                            "The worldsave was not changed.");
    } else {
      ExpectReported(h, "Cannot replace the worldsave " + save + reason +
                            "The worldsave was not changed. Its new text is in " + save + "tmp.");
    }
    if (c.result == kReplace) {
      EXPECT_EQ(ReadFile(save + "tmp"), kNew) << "the new text waits in the temp file";
    } else {
      EXPECT_FALSE(Exists(save + "tmp")) << "an incomplete temp file is removed";
    }
  }
}

}  // namespace
}  // namespace duskmend::test
