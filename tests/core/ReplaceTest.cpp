#include <gtest/gtest.h>

#include <filesystem>
#if !defined(_WIN32)
#include <sys/xattr.h>
#endif
#include <string>
#include <utility>
#include <vector>

#include "MemoryFileSystem.h"
#include "ReplaceStep.h"
#include "TestSupport.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>  // after the core's headers, as it defines a macro named Yield
#endif

namespace duskmend::test {
namespace {

namespace fs = std::filesystem;

const std::string kOld = CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5"});

#if !defined(_WIN32)  // POSIX permission bits and symbolic links
// The new save and the temp file have the old save's bits and extended attributes (where
// access lists live), an empty one too; a stale temp file's own are not carried over, and
// a temp file is never wider open than the save, not even before it has the save's bits.
TEST(ReplaceTest, TheNewSaveAndTheTempFileKeepTheSavesBitsAndAttributes) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  const std::string temp = save + "tmp";
  const struct {
    fs::perms mode;
    bool stale;
  } rows[] = {{fs::perms(0640), true}, {fs::perms(0604), true}, {fs::perms(0600), false}};
  for (const auto& [mode, stale] : rows) {
    SCOPED_TRACE(stale ? "a stale temp file" : "a new temp file");
    WriteFile(save, kOld);
    fs::permissions(save, mode);
    ASSERT_EQ(setxattr(save.c_str(), "user.shard", "7", 1, 0), 0);
    ASSERT_EQ(setxattr(save.c_str(), "user.empty", "", 0, 0), 0);
    fs::remove(temp);
    if (stale) {
      WriteFile(temp, "stale");
      fs::permissions(temp, fs::perms(0666));
      ASSERT_EQ(setxattr(temp.c_str(), "user.stale", "1", 1, 0), 0);
    }
    // The temp file's bits whenever a pass is about to give a file the save's bits.
    std::vector<fs::perms> seen;
    ForwardingFileSystem watch;
    watch.fault = [&](const std::string& call) {
      if (call == "CopyPermissions") seen.push_back(fs::status(temp).permissions());
      return std::error_code{};
    };
    Harness h(watch);
    h.Load(save);
    fs::perms tempMode = fs::perms::none;
    h.recorder.onYield = [&] {
      if (tempMode == fs::perms::none) tempMode = fs::status(temp).permissions();
    };
    ASSERT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
    EXPECT_EQ(tempMode, mode) << "while the temp file is written";
    ASSERT_EQ(seen.size(), 2u) << "the temp file, then the copy of the new save";
    if (!stale) {
      EXPECT_EQ(seen[0] & ~mode, fs::perms::none) << "a new temp file, too wide";
    }
    EXPECT_EQ(seen[1] & ~mode, fs::perms::none) << "the new copy, wider than the save";
    for (const std::string& file : {save, temp}) {
      EXPECT_EQ(fs::status(file).permissions(), mode);
      char value[2] = {};
      EXPECT_EQ(getxattr(file.c_str(), "user.shard", value, sizeof value), 1);
      EXPECT_EQ(getxattr(file.c_str(), "user.empty", value, sizeof value), 0);
      EXPECT_EQ(getxattr(file.c_str(), "user.stale", value, sizeof value), -1);
    }
    EXPECT_EQ(ReadFile(save), "");
  }
}

TEST(ReplaceTest, ALinkedSaveIsReplacedAtItsTargetAndTheLinkStays) {
  TempDir dir;
  fs::create_directory(dir.Path("real"));
  const std::string target = dir.Path("real/world.scp");
  const std::string link = dir.Path("sphereworld.scp");
  WriteFile(target, kOld);
  fs::create_symlink(target, link);
  Harness h;
  h.Load(link);
  ASSERT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), "");
  EXPECT_EQ(ReadFile(target + "tmp"), "") << "the temp file stands beside the real save";
  EXPECT_FALSE(Exists(link + "tmp"));
}

#endif

TEST(ReplaceTest, PathsWithBlanksAndNonAsciiLettersWork) {
  TempDir dir;
  fs::create_directory(Native(dir.Path("Sphere Shard \xC3\x84gypten")));
  const std::string save = dir.Path("Sphere Shard \xC3\x84gypten/sph\xC3\xA8reworld.scp");
  WriteFile(save, kOld);
  Harness h;
  h.Load(save);
  ASSERT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
  EXPECT_EQ(ReadFile(save), "");
  EXPECT_EQ(h.model.LightsCount(), "1");
}

// Another program puts its save in place at the very moment of the switch, and its file
// cannot be swapped back: it waits at the temp path, and the pass says where each text is.
TEST(ReplaceTest, AWriterAtTheSwitchWhoseFileCannotGoBackFindsItAtTheTempPath) {
  MemoryFileSystem memory;
  memory.Put("w.scp", kOld + "A=1\r\n");
  ForwardingFileSystem racing(memory);
  int exchanges = 0;
  racing.fault = [&](const std::string& call) {
    if (call != "Exchange") return std::error_code{};
    if (++exchanges == 2) return std::make_error_code(std::errc::io_error);
    memory.Put("w.scp", "WRITER\r\n");
    return std::error_code{};
  };
  Harness h(racing);
  h.Load("w.scp");
  EXPECT_EQ(h.runner.RemovePass(), PassOutcome::kFailed);
  EXPECT_EQ(memory.Get("w.scp"), CrLf({"[SECTOR 1,1]", "A=1"}));
  EXPECT_EQ(memory.Get("w.scptmp"), "WRITER\r\n");
  ASSERT_EQ(h.dialogs.messages.size(), 1U);
  EXPECT_EQ(h.dialogs.messages[0].prompt,
            "The worldsave w.scp was changed by another program while Duskmend replaced it, and "
            "that program's file could not be put back (" +
                std::make_error_code(std::errc::io_error).message() +
                ").\nIt is in w.scptmp; the worldsave holds Duskmend's new text. Stop the server "
                "and look at both.");
}

#if defined(_WIN32)
// A server that keeps its save open without sharing its deletion keeps Windows from
// replacing it: after the retries the pass fails, the save keeps its old text and the temp
// file holds the new one, as the message says.
TEST(ReplaceTest, ASaveHeldOpenByAnotherProgramIsLeftAndTheNewTextWaitsInTheTempFile) {
  TempDir dir;
  const std::string save = dir.Path("sph\xC3\xA8reworld.scp");
  WriteFile(save, kOld);
  HANDLE server =
      CreateFileW(Native(save).c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  Harness h;
  h.Load(save);
  const PassOutcome outcome = h.runner.RemovePass();
  CloseHandle(server);
  EXPECT_EQ(outcome, PassOutcome::kFailed);
  EXPECT_EQ(ReadFile(save), kOld);
  EXPECT_EQ(ReadFile(save + "tmp"), "");
  ASSERT_EQ(h.dialogs.messages.size(), 1U);
  EXPECT_EQ(h.dialogs.messages[0].prompt.rfind("Cannot replace the worldsave " + save + "\n", 0),
            0U);
  EXPECT_NE(h.dialogs.messages[0].prompt.find("Its new text is in " + save + "tmp."),
            std::string::npos);
}
#endif

}  // namespace
}  // namespace duskmend::test
