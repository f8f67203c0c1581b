// Named cases of the replace step on the memory file system, and on Windows' own.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "MemoryFileSystem.h"
#include "ReplaceStep.h"
#include "TestSupport.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>  // after the core's headers, as it defines a macro named Yield
#endif

namespace duskmend::test {
namespace {

const std::string kOld = CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5"});

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
  PathHarness h(racing);
  const PassResult result = h.passes.Remove("w.scp");
  EXPECT_EQ(result.outcome, PassOutcome::kFailed);
  EXPECT_EQ(memory.Get("w.scp"), CrLf({"[SECTOR 1,1]", "A=1"}));
  EXPECT_EQ(memory.Get("w.scptmp"), "WRITER\r\n");
  ASSERT_TRUE(result.failure);
  EXPECT_EQ(result.failure->step, PassFailure::Step::kWorldChangedAtSwitch);
  EXPECT_NE(PassMessage(result).find("It is in w.scptmp;"), std::string::npos);
}

// Each disk is asked before anything is written for what it will get: the save's for the new
// text (and for a copied backup beside it), the backup's for its copy. After the switch the
// copy at the temp path never fills the disk: the old save's room comes free first where it
// has no other name, and where it has one (a linked backup) the copy is left out and said so.
TEST(ReplaceTest, EachDiskIsAskedForWhatItGetsAndNoneIsFilled) {
  constexpr std::uint64_t kSize = 3'000'000, kMargin = RewriteFiles::kSpaceMargin;
  const std::string kNoRoom = "Not enough free space beside ";
  // A change from 5 to 6 keeps its size.
  const std::string kEntry = "[SECTOR 1,1]\r\nLIGHT=",
                    kRest = "\r\n" + std::string(kSize - 25, 'x');
  const std::string kText = kEntry + "5" + kRest + "\r\n", kNew = kEntry + "6" + kRest + "\r\n";
  struct Case {
    const char* name;
    std::uint64_t free[2];  // each disk's room beside the save
    const char* backup;     // "" for none; "other/..." on the second disk
    bool links;
    std::string message;  // a refusal's, or what a pass that is done says
  } cases[] = {
      {"a byte short of the new text",
       {5'999'999, 0},
       "",
       true,
       kNoRoom + "w.scp: 8 MB needed, 5 MB free.\nNothing was changed."},
      {"the new text and its copy, once the old save's room is free",
       {kSize + kMargin, 0},
       "",
       true,
       ""},
      {"a linked backup keeps the old save's room: no copy",
       {kSize + kMargin, 0},
       "b.scp",
       true,
       "The worldsave was replaced, but its copy w.scptmp could not be written.\n" +
           std::make_error_code(std::errc::no_space_on_device).message()},
      {"a copied backup beside the save",
       {2 * kSize + kMargin - 1, 0},
       "b.scp",
       false,
       kNoRoom + "w.scp: 11 MB needed, 10 MB free.\nNothing was changed."},
      {"a copied backup on another disk, room on each",
       {kSize + kMargin, kSize + kMargin},
       "other/b.scp",
       true,
       ""},
      {"a copied backup on another, full disk",
       {1 << 30, kSize},
       "other/b.scp",
       true,
       kNoRoom + "other/b.scp: 8 MB needed, 3 MB free.\nNothing was changed."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem memory;
    memory.Put("w.scp", kText);
    memory.capacity[0] = kSize + c.free[0];
    memory.capacity[1] = c.free[1];
    memory.links = c.links;
    PathHarness h(memory);
    const PassResult result = h.passes.Change("w.scp", "6", c.backup);
    EXPECT_EQ(PassMessage(result), c.message);
    EXPECT_FALSE(memory.fullDisk);
    if (result.outcome == PassOutcome::kRefused) {
      EXPECT_EQ(memory.Names(), std::vector<std::string>{"w.scp"});
      continue;
    }
    EXPECT_EQ(result.outcome, PassOutcome::kDone);
    EXPECT_TRUE(memory.Get("w.scp") == kNew);
    EXPECT_EQ(memory.Get("w.scptmp").has_value(), c.message.empty()) << "a copy, or none";
    EXPECT_TRUE(!*c.backup || memory.Get(c.backup) == kText);
  }
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
  PathHarness h;
  const PassResult result = h.passes.Remove(save);
  CloseHandle(server);
  EXPECT_EQ(result.outcome, PassOutcome::kFailed);
  EXPECT_EQ(ReadFile(save), kOld);
  EXPECT_EQ(ReadFile(save + "tmp"), "");
  ASSERT_TRUE(result.failure);
  EXPECT_EQ(result.failure->step, PassFailure::Step::kReplace);
  EXPECT_NE(PassMessage(result).find("Its new text is in " + save + "tmp."), std::string::npos);
}
#endif

}  // namespace
}  // namespace duskmend::test
