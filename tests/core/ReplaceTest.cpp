#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ReplaceStep.h"
#include "TestSupport.h"

namespace duskmend::test {
namespace {

namespace fs = std::filesystem;

const std::string kOld = CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5"});

#if !defined(_WIN32)  // POSIX permission bits and symbolic links
TEST(ReplaceTest, TheSaveKeepsItsPermissionBits) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  for (fs::perms mode : {fs::perms(0640), fs::perms(0604), fs::perms(0444)}) {
    WriteFile(save, kOld);
    fs::permissions(save, mode);
    Harness h;
    h.Load(save);
    ASSERT_EQ(h.runner.RemovePass(), PassOutcome::kDone);
    EXPECT_EQ(fs::status(save).permissions(), mode);
    EXPECT_EQ(ReadFile(save), "");
    fs::permissions(save, fs::perms(0644));
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

}  // namespace
}  // namespace duskmend::test
