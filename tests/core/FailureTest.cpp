// What the system itself gives: a missing file, a folder, a FIFO, a device, a link, a limit,
// another user's save, bits and attributes to keep, calls that signals cut short. Each gets a
// clear message or a sound result, and loses nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

namespace duskmend::test {
namespace {

namespace fs = std::filesystem;

const std::string kOld = CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5", "", "[WORLDITEM i_gold]", "P=1"});
std::string Reason(std::errc error) { return std::make_error_code(error).message(); }

// A save that cannot be read, by any pass, or a temp path that cannot be written: the step
// and the system's reason are told, and the save and whatever stands at the temp path stay.
TEST(FailureTest, ASaveThatCannotBeReadOrATempPathThatCannotBeWrittenIsTold) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  const std::string fifo = dir.Path("fifo.scp");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_directory(dir.Path("folder.scp"));
  fs::create_directory(dir.Path("elsewhere"));
  // A device of its own: a fault that rewrote one as the superuser would break the machine's.
  const std::string device = mknod(dir.Path("zero").c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0
                                 ? dir.Path("zero")
                             : geteuid() == 0 ? dir.Path("gone.scp")
                                              : "/dev/zero";
  const struct {
    std::string path;  // the save
    std::function<void()> blockTemp;
    std::string reason;
  } cases[] = {
      {dir.Path("gone.scp"), nullptr, Reason(std::errc::no_such_file_or_directory)},
      {dir.Path("folder.scp"), nullptr, Reason(std::errc::is_a_directory)},
      {fifo, nullptr, "Not a regular file"},    // and no hang waiting for a writer
      {device, nullptr, "Not a regular file"},  // refused at once instead of read forever
      {save, [&] { fs::create_directory(save + "tmp"); }, Reason(std::errc::is_a_directory)},
      {save, [&] { fs::create_symlink(dir.Path("victim"), save + "tmp"); },
       Reason(std::errc::too_many_symbolic_link_levels)},
      {save, [&] { fs::create_directory_symlink(dir.Path("elsewhere"), save + "tmp"); },
       Reason(std::errc::too_many_symbolic_link_levels)},
  };
  for (const auto& c : cases) {
    for (int pass = c.blockTemp ? 1 : 0; pass < 3; ++pass) {
      SCOPED_TRACE(c.path + ", pass " + std::to_string(pass));
      fs::remove_all(save + "tmp");
      WriteFile(save, kOld);
      WriteFile(dir.Path("victim"), "not yours");
      WriteFile(dir.Path("elsewhere/keep"), "mine");
      if (c.blockTemp) c.blockTemp();
      PathHarness h;
      const PassResult result = pass == 0   ? h.passes.Analysis(c.path)
                                : pass == 1 ? h.passes.Remove(c.path)
                                            : h.passes.Change(c.path, "3");
      // The step, the path and the system's reason are told.
      EXPECT_EQ(result.outcome, PassOutcome::kFailed);
      ASSERT_TRUE(result.failure);
      EXPECT_EQ(result.failure->step,
                c.blockTemp ? PassFailure::Step::kWriteTemp : PassFailure::Step::kReadWorld);
      EXPECT_EQ(PassMessage(result), c.blockTemp
                                         ? "Cannot write the temporary file " + save + "tmp\n" +
                                               c.reason + "\nThe worldsave was not changed."
                                         : "Cannot read the worldsave " + c.path + "\n" + c.reason +
                                               "\nNothing was changed.");
      EXPECT_EQ(Exists(c.path + "tmp"), c.blockTemp != nullptr) << "what stood there stays";
      EXPECT_EQ(ReadFile(save), kOld);
      EXPECT_EQ(ReadFile(dir.Path("victim")), "not yours");
      EXPECT_EQ(ReadFile(dir.Path("elsewhere/keep")), "mine");
    }
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
  if (limited && (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &limit))) _exit(2);
  if (as == As::kNobody && geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
    _exit(2);
  PathHarness h;
  const PassResult result = h.passes.Remove(save);
  _exit(result.outcome == outcome && PassMessage(result) == message ? 0 : 1);
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

// The new save and the temp file have the old save's owner (where the superuser runs the
// pass), bits and extended attributes (where access lists live), an empty one too; a stale
// temp file's own are not carried over, and a temp file is never wider open than the save,
// not even before it has the save's bits.
TEST(FailureTest, TheNewSaveAndTheTempFileKeepTheSavesBitsAndAttributes) {
  TempDir dir;
  const std::string save = dir.Path("sphereworld.scp");
  const std::string temp = save + "tmp";
  // The folder's default access list lets another user in, and every new file there inherits
  // it; the save has none.
  struct Entry {
    std::uint16_t tag, perm;
    std::uint32_t id;
  };
  const std::uint32_t any = 0xFFFFFFFF;
  const Entry entries[] = {
      {1, 6, any}, {2, 6, kNobody}, {4, 4, any}, {0x10, 6, any}, {0x20, 0, any}};
  std::string acl = {2, 0, 0, 0};  // the format's version
  acl.append(reinterpret_cast<const char*>(entries), sizeof entries);
  const bool acls =
      setxattr(dir.Path("").c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0) == 0;
  const struct {
    fs::perms mode;
    bool stale;
  } rows[] = {{fs::perms(0640), true}, {fs::perms(0605), true}, {fs::perms(0600), false}};
  for (const auto& [mode, stale] : rows) {
    SCOPED_TRACE(stale ? "a stale temp file" : "a new temp file");
    WriteFile(save, kOld);
    removexattr(save.c_str(), "system.posix_acl_access");
    fs::permissions(save, mode);
    ASSERT_EQ(setxattr(save.c_str(), "user.shard", "7", 1, 0), 0);
    ASSERT_EQ(setxattr(save.c_str(), "user.empty", "", 0, 0), 0);
    const bool superuser = geteuid() == 0;  // who may hand a file to another owner
    if (superuser) {
      ASSERT_EQ(chown(save.c_str(), kNobody, getegid()), 0);  // the group stays
    }
    fs::remove(temp);
    if (stale) {
      WriteFile(temp, "stale");
      fs::permissions(temp, fs::perms(0666));
      for (const char* name : {"user.stale", "user.stale2"})
        ASSERT_EQ(setxattr(temp.c_str(), name, "1", 1, 0), 0);
    }
    // The temp file's bits whenever a pass is about to give a file the save's bits.
    std::vector<fs::perms> seen;
    ForwardingFileSystem watch;
    watch.fault = [&](const std::string& call) {
      if (call == "CopyPermissions") seen.push_back(fs::status(temp).permissions());
      return std::error_code{};
    };
    PathHarness h(watch);
    fs::perms tempMode = fs::perms::none;
    h.recorder.onYield = [&] {
      if (tempMode == fs::perms::none) tempMode = fs::status(temp).permissions();
    };
    ASSERT_EQ(h.passes.Remove(save).outcome, PassOutcome::kDone);
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
      EXPECT_EQ(getxattr(file.c_str(), "user.stale2", value, sizeof value), -1);
      EXPECT_EQ(getxattr(file.c_str(), "system.posix_acl_access", nullptr, 0), -1)
          << "the folder's access list, inherited: " << (acls ? "set" : "not set here");
      struct stat info {};
      ASSERT_EQ(stat(file.c_str(), &info), 0);
      if (superuser) {
        EXPECT_EQ(info.st_uid, kNobody) << file;
      }
    }
    EXPECT_EQ(ReadFile(save).find("LOCALLIGHT"), std::string::npos);
  }
}

// A signal every 100 microseconds cuts this thread's calls short (EINTR, or a part done) while
// a slow reader takes the bytes from a pipe: a write and a copy by hand deliver every byte
// once; the kernel's copy into a file too; a call that cannot be done still fails at once.
TEST(FailureTest, InterruptedWritesAndCopiesDeliverEveryByteOnce) {
  std::string text((8 << 20) + 4, ' ');  // the copy by hand ends in a piece of 1 byte
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char>('a' + (i * 7 + i / 4093) % 26);
  TempDir dir;
  WriteFile(dir.Path("save"), text);
  FileSystem& fs = SystemFileSystem();
  FileHandle from = -1, to = -1;
  ASSERT_FALSE(fs.Open(dir.Path("save"), OpenMode::kRead, from));
  ASSERT_FALSE(fs.Open(dir.Path("copy"), OpenMode::kCreateNew, to));
  static std::atomic<int> interruptions{0};
  struct sigaction action {};
  action.sa_handler = [](int) { ++interruptions; };
  sigaction(SIGALRM, &action, nullptr);
  itimerval every{{0, 100}, {0, 100}};
  setitimer(ITIMER_REAL, &every, nullptr);
  for (const bool copy : {false, true}) {  // the kernel copies into no pipe: by hand
    int ends[2] = {-1, -1};
    ASSERT_EQ(pipe(ends), 0);
    std::string got;
    std::thread reader([&] {  // little at a time, a pause now and then, and no signals
      sigset_t alarm;
      sigemptyset(&alarm);
      sigaddset(&alarm, SIGALRM);
      pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
      char bytes[4096];
      for (ssize_t n, reads = 1; (n = read(ends[0], bytes, sizeof bytes)) > 0; ++reads) {
        got.append(bytes, static_cast<std::size_t>(n));
        if (reads % 16 == 0) usleep(500);
      }
    });
    EXPECT_FALSE(copy ? fs.Copy(from, 3, text.size() - 3, ends[1])
                      : fs.Write(ends[1], text.data(), text.size()));
    char byte = 0;
    std::size_t none = 0;
    EXPECT_TRUE(fs.Read(ends[1], &byte, 1, none)) << "a read that cannot be done fails at once";
    EXPECT_TRUE(fs.Copy(from, 0, 100, ends[0])) << "a copy that cannot be done fails";
    close(ends[1]);
    reader.join();
    close(ends[0]);
    EXPECT_TRUE(got == text.substr(copy ? 3 : 0)) << (copy ? "the copy by hand" : "the write");
  }
  for (int round = 0; round < 8; ++round)
    EXPECT_FALSE(fs.Copy(from, 0, text.size(), to));
  every = {};
  setitimer(ITIMER_REAL, &every, nullptr);
  fs.Close(to);
  fs.Close(from);
  EXPECT_TRUE(ReadFile(dir.Path("copy")).substr(7 * text.size()) == text) << "the kernel's copy";
  EXPECT_GT(interruptions, 0);
}

TEST(FailureTest, ASaveInTheTopFolderSyncsThatFolder) {
  EXPECT_FALSE(SystemFileSystem().SyncFolderOf("/sphereworld.scp"));
  EXPECT_FALSE(SystemFileSystem().SyncFolderOf("sphereworld.scp"));
}

}  // namespace
}  // namespace duskmend::test
