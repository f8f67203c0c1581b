// Whatever a user can pick in the open dialog gets a clear message or a sound result, and
// loses nothing.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TestSupport.h"

namespace duskmend::test {
namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DUSKMEND_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(DUSKMEND_ASAN)
constexpr bool kUnderAddressSanitizer = true;  // its own bookkeeping costs memory too
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

std::string Reason(std::errc error) { return std::make_error_code(error).message(); }

TEST(BadInputTest, DevicesAreRefusedAtOnceInsteadOfReadForever) {
  for (const std::string device : {"/dev/zero", "/dev/urandom", "/dev/null"}) {
    Harness h;
    h.Load(device);
    EXPECT_EQ(h.runner.AnalysisPass(), PassOutcome::kFailed);
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].prompt,
              "Cannot read the worldsave " + device + "\nNot a regular file\nNothing was changed.");
  }
}

TEST(BadInputTest, ATempPathLinkedToAFolderIsRefusedAndTheFolderStays) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  WriteFile(save, "A=1\r\n");
  std::filesystem::create_directory(dir.Path("elsewhere"));
  WriteFile(dir.Path("elsewhere/keep"), "mine");
  std::filesystem::create_directory_symlink(dir.Path("elsewhere"), save + "tmp");
  Harness h;
  h.Load(save);
  EXPECT_EQ(h.runner.RemovePass(), PassOutcome::kFailed);
  ASSERT_EQ(h.dialogs.messages.size(), 1u);
  EXPECT_EQ(h.dialogs.messages[0].prompt.substr(0, 32), "Cannot write the temporary file ");
  EXPECT_TRUE(std::filesystem::is_symlink(save + "tmp"));
  EXPECT_EQ(ReadFile(dir.Path("elsewhere/keep")), "mine");
  EXPECT_EQ(ReadFile(save), "A=1\r\n");
}

constexpr uid_t kNobody = 65534;

// Runs a remove pass over `save` in a child process as an ordinary user (the superuser, whom
// no permission stops, gives its rights away first); exits with 0 when the pass ended with
// `outcome` and `message`.
[[noreturn]] void RemoveAsOrdinaryUser(const std::string& save, PassOutcome outcome,
                                       const std::string& message) {
  if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(2);
  Harness h;
  h.Load(save);
  const bool ended = h.runner.RemovePass() == outcome && h.dialogs.messages.size() == 1 &&
                     h.dialogs.messages[0].prompt == message;
  _exit(ended ? 0 : 1);
}

// A save that this user may not write, or that would change hands, is not replaced, and
// neither is one in a folder where the temp file cannot be made.
TEST(BadInputTest, ASaveThatThisUserMayNotReplaceAsItIsIsLeftAsItWas) {
  if (geteuid() != 0) GTEST_SKIP() << "needs the superuser to hand the save to other users";
  const std::string kept = "\nNothing was changed.";
  struct Case {
    const char* name;
    mode_t folderMode, saveMode;
    uid_t owner;
    PassOutcome outcome;
    std::string message;  // after the path
  } cases[] = {
      {"read-only save", 0777, 0444, kNobody, PassOutcome::kRefused, "\nit is read-only" + kept},
      {"another's save", 0777, 0666, 0, PassOutcome::kRefused,
       "\nit belongs to root and would be given to you" + kept},
      {"read-only folder", 0555, 0644, kNobody, PassOutcome::kFailed,
       "tmp\n" + Reason(std::errc::permission_denied) + "\nThe worldsave was not changed."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string folder = dir.Path("shard");
    std::filesystem::create_directory(folder);
    const std::string save = folder + "/sphereworld.scp";
    WriteFile(save, "[SECTOR 1,1]\r\nLOCALLIGHT=1\r\n");
    ASSERT_EQ(chown(save.c_str(), c.owner, c.owner), 0);
    chmod(dir.Path("").c_str(), 0755);
    chmod(save.c_str(), c.saveMode);
    chmod(folder.c_str(), c.folderMode);
    const std::string what = c.outcome == PassOutcome::kRefused
                                 ? "Cannot replace the worldsave " + save
                                 : "Cannot write the temporary file " + save;
    EXPECT_EXIT(RemoveAsOrdinaryUser(save, c.outcome, what + c.message),
                ::testing::ExitedWithCode(0), "");
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(ReadFile(save), "[SECTOR 1,1]\r\nLOCALLIGHT=1\r\n");
    struct stat info {};
    ASSERT_EQ(stat(save.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, c.owner);
    EXPECT_EQ(info.st_mode & 0777, c.saveMode);
    EXPECT_FALSE(Exists(save + "tmp"));
  }
}

// A 100 MiB line of NUL bytes and 8-bit bytes streams through in little memory: a plain
// one, and a sector header that the entry after it drops or keeps.
TEST(BadInputTest, AHugeLineStreamsThroughInLittleMemory) {
  struct Case {
    const char* name;
    std::string head, tail;  // before and after the 100 MiB
    bool kept;               // whether the huge line is in the new save
    std::string newTail;
  } cases[] = {
      {"plain line without a line end", "", "", true, "\r\n"},
      {"header whose section ends", "[sector 1", "\nLOCALLIGHT=1\n", false, ""},
      {"header whose section goes on", "[sector 1", "\nLOCALLIGHT=1\nA=1", true, "\r\nA=1\r\n"},
  };
  std::string piece(std::size_t{1} << 20, '\0');
  for (std::size_t i = 0; i < piece.size(); i += 4099)
    piece[i] = static_cast<char>(0x80 | i);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string save = dir.Path("sphereworld.scp");
    {
      std::ofstream out(save, std::ios::binary);
      out << c.head;
      for (int i = 0; i < 100; ++i)
        out << piece;
      out << c.tail;
    }
    const pid_t child = fork();  // this process holds no more than the piece
    if (child == 0) {
      Harness h;
      h.Load(save);
      _exit(h.runner.RemovePass() == PassOutcome::kDone ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(wait4(child, &status, 0, &usage), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(usage.ru_maxrss, kUnderAddressSanitizer ? 80 << 10 : 16 << 10) << "KiB at the peak";
    std::ifstream in(save, std::ios::binary);
    std::string read(c.head.size(), ' ');
    if (c.kept) {
      ASSERT_TRUE(in.read(read.data(), static_cast<std::streamsize>(read.size())));
      EXPECT_EQ(read, c.head);
      read.resize(piece.size());
      for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(in.read(read.data(), static_cast<std::streamsize>(read.size())));
        ASSERT_EQ(read, piece);
      }
    }
    std::string end((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(end, c.newTail);
  }
}

}  // namespace
}  // namespace duskmend::test
