// Failures that the system itself gives: a missing file, a folder, a FIFO, a device, a link,
// a limit, another user's save, a huge line. Each gets a clear message or a sound result, and
// loses nothing.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

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
      {fifo, "Not a regular file"},         // and no hang waiting for a writer
      {"/dev/zero", "Not a regular file"},  // refused at once instead of read forever
      {"/dev/urandom", "Not a regular file"},
      {"/dev/null", "Not a regular file"},
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
      {"a link to a folder",
       [&] { std::filesystem::create_directory_symlink(dir.Path("elsewhere"), save + "tmp"); },
       Reason(std::errc::too_many_symbolic_link_levels)},
  };
  std::filesystem::create_directory(dir.Path("elsewhere"));
  WriteFile(dir.Path("elsewhere/keep"), "mine");
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
    EXPECT_EQ(ReadFile(dir.Path("elsewhere/keep")), "mine");
  }
}

constexpr uid_t kNobody = 65534;

enum class As { kNobody, kLimited, kSuperuser };

// Runs a remove pass over `save` in a child process, as an ordinary user (the superuser,
// whom no permission stops, gives its rights away first), under a file-size limit of
// 4 KiB, or as the superuser; exits with 0 when the pass ended with `outcome` and `message`.
[[noreturn]] void RemoveInAChild(const std::string& save, As as, PassOutcome outcome,
                                 const std::string& message) {
  rlimit limit{4096, 4096};
  const bool limited = as == As::kLimited;
  if (limited && (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit)))
    _exit(2);
  if (as == As::kNobody && geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
    _exit(2);
  Harness h;
  h.Load(save);
  const bool ended = h.runner.RemovePass() == outcome && h.dialogs.messages.size() == 1 &&
                     h.dialogs.messages[0].prompt == message;
  _exit(ended ? 0 : 1);
}

// A save that this user may not write, or that would change hands, is not replaced; neither
// is one in a folder where the temp file cannot be made, or one too large for the limit, and
// no incomplete temp file stays.
TEST(FailureTest, ASaveThatCannotBeReplacedAsItIsIsLeftAsItWas) {
  const std::string kept = "\nNothing was changed.";
  const std::string unchanged = "\nThe worldsave was not changed.";
  std::string big;
  for (int i = 0; i < 5000; ++i)
    big += "KEY=" + std::to_string(i) + "\r\n";
  struct Case {
    const char* name;
    As as;
    mode_t folderMode, saveMode;
    uid_t owner;
    PassOutcome outcome;
    std::string message;  // after the path
  } cases[] = {
      {"file-size limit", As::kLimited, 0755, 0644, geteuid(), PassOutcome::kFailed,
       "tmp\n" + Reason(std::errc::file_too_large) + unchanged},
      {"read-only save", As::kNobody, 0777, 0444, kNobody, PassOutcome::kRefused,
       "\nit is read-only" + kept},
      // No write bit for anyone: read-only to the superuser too, whom no bit stops.
      {"read-only save, the superuser's", As::kSuperuser, 0755, 0444, 0, PassOutcome::kRefused,
       "\nit is read-only" + kept},
      {"another's save", As::kNobody, 0777, 0666, 0, PassOutcome::kRefused,
       "\nit belongs to root and would be given to you" + kept},
      {"read-only folder", As::kNobody, 0555, 0644, kNobody, PassOutcome::kFailed,
       "tmp\n" + Reason(std::errc::permission_denied) + unchanged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.as != As::kLimited && geteuid() != 0) {
      std::cout << "skipped \"" << c.name << "\": needs the superuser to hand out saves\n";
      continue;
    }
    TempDir dir;
    const std::string folder = dir.Path("shard");
    std::filesystem::create_directory(folder);
    const std::string save = folder + "/sphereworld.scp";
    WriteFile(save, big);
    ASSERT_EQ(chown(save.c_str(), c.owner, c.owner), 0);
    chmod(dir.Path("").c_str(), 0755);
    chmod(save.c_str(), c.saveMode);
    chmod(folder.c_str(), c.folderMode);
    const std::string what = c.outcome == PassOutcome::kRefused
                                 ? "Cannot replace the worldsave " + save
                                 : "Cannot write the temporary file " + save;
    EXPECT_EXIT(RemoveInAChild(save, c.as, c.outcome, what + c.message),
                ::testing::ExitedWithCode(0), "");
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(ReadFile(save), big);
    struct stat info {};
    ASSERT_EQ(stat(save.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, c.owner);
    EXPECT_EQ(info.st_mode & 0777, c.saveMode);
    EXPECT_FALSE(Exists(save + "tmp"));
  }
}

// A 100 MiB line of NUL bytes and 8-bit bytes streams through in little memory: a plain
// one, and a sector header that the entry after it drops or keeps.
TEST(FailureTest, AHugeLineStreamsThroughInLittleMemory) {
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
