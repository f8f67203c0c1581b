// Links: a symbolic link to the save, switched during the pass; hard links to the save, to its
// temp file and to a backup.
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "TestSupport.h"

namespace duskmend::test {
namespace {

namespace fs = std::filesystem;

// `sectors` sectors, each with a light entry (none: the remove pass's new text).
std::string Save(int sectors, const std::string& rain = "5", bool entries = true) {
  std::string text;
  for (int i = 0; i < sectors; ++i) {
    text += "[SECTOR " + std::to_string(i) + ",1]\r\n" + (entries ? "LOCALLIGHT=9\r\n" : "") +
            "RAINCHANCE=" + rain + "\r\n";
  }
  return text;
}

void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

// A linked save is replaced at its target, beside which its temp file stands, and the link
// stays; a link switched to another save during the pass does not move the pass. Backups made
// with hard links keep their text: of the save, and of the last temp file.
TEST(LiveSaveTest, ALinkedSaveIsReplacedAtItsTargetAndHardLinkedBackupsKeepTheirText) {
  TempDir dir;
  fs::create_directory(dir.Path("real"));
  const std::string target = dir.Path("real/a.scp");
  WriteFile(target, Save(400));
  WriteFile(target + "tmp", Save(400).substr(0, 99));  // a part of a copy that a kill left
  fs::create_hard_link(target, dir.Path("backup.scp"));
  fs::create_hard_link(target + "tmp", dir.Path("backup.scptmp"));
  WriteFile(dir.Path("b.scp"), Save(400));
  const std::string link = dir.Path("sphereworld.scp");
  fs::create_symlink(target, link);
  Harness h;
  h.Load(link);
  h.recorder.onYield = [&] { Shell("ln -sfn '" + dir.Path("b.scp") + "' '" + link + "'"); };
  ASSERT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(target), Save(400, "5", false));
  EXPECT_EQ(ReadFile(target + "tmp"), ReadFile(target)) << "the temp file stands beside it";
  EXPECT_EQ(ReadFile(dir.Path("b.scp")), Save(400));
  EXPECT_FALSE(Exists(link + "tmp"));
  EXPECT_EQ(ReadFile(dir.Path("backup.scp")), Save(400));
  EXPECT_EQ(ReadFile(dir.Path("backup.scptmp")), Save(400).substr(0, 99));
  // A hard link of the save at the temp path is the save, not an earlier run's temp file.
  fs::remove(target + "tmp");
  fs::create_hard_link(target, target + "tmp");
  const std::string text = ReadFile(target);
  PathHarness second;
  const PassResult refused = second.passes.Remove(target);
  EXPECT_EQ(refused.outcome, PassOutcome::kRefused);
  EXPECT_EQ(PassMessage(refused), "The temporary file " + target +
                                      "tmp is another name of the worldsave " + target +
                                      " (a hard link).\nRemove or rename it, then try again.\n"
                                      "Nothing was changed.");
  EXPECT_EQ(ReadFile(target + "tmp"), text);
  EXPECT_EQ(fs::hard_link_count(target), 2u);
}

}  // namespace
}  // namespace duskmend::test
