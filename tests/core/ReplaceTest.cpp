// Named cases of the replace step on the memory file system, and on Windows' own.
#include <gtest/gtest.h>

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

TEST(ReplaceTest, ADiskWithoutRoomForTheNewTextRefusesBeforeWriting) {
  MemoryFileSystem memory;
  memory.Put("w.scp", std::string(3'000'000, 'x'));
  memory.freeSpace = 5'999'999;  // a byte short of 6 MB: 5 MB free, as a megabyte is 10^6 bytes
  PathHarness h(memory);
  const PassResult result = h.passes.Remove("w.scp");
  EXPECT_EQ(result.outcome, PassOutcome::kRefused);
  EXPECT_EQ(PassMessage(result),
            "Not enough free space beside w.scp: 8 MB needed, 5 MB free.\nNothing was changed.");
  EXPECT_EQ(memory.Names(), std::vector<std::string>{"w.scp"});
  memory.freeSpace = 8'000'000;
  EXPECT_EQ(h.passes.Remove("w.scp").outcome, PassOutcome::kDone);
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
