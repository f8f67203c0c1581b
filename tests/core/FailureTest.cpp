// What the system itself gives: bits, owners and attributes to keep, calls that signals cut
// short, calls that a file system lacks, a save in the top folder. (What cannot be read or
// written is in the CLI's contract.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

// What the file system lacks while a test says so: the error that such a system gives in
// place of the call, or 0 where it has the call. Every call of this process comes here.
std::atomic<int> gNoRenameNoReplace{0}, gNoCopyRange{0}, gNoLocks{0};

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): "new" is a keyword here
extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to,
                         unsigned flags) noexcept {
  if (gNoRenameNoReplace && (flags & RENAME_NOREPLACE)) return errno = gNoRenameNoReplace, -1;
  return static_cast<int>(syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
}
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): the names of this file
extern "C" ssize_t copy_file_range(int from, loff_t* fromAt, int to, loff_t* toAt, std::size_t size,
                                   unsigned flags) {  // a cancellation point: no noexcept
  if (gNoCopyRange) return errno = gNoCopyRange, -1;
  return syscall(SYS_copy_file_range, from, fromAt, to, toAt, size, flags);
}
extern "C" int flock(int fd, int operation) noexcept {
  if (gNoLocks) return errno = gNoLocks, -1;
  return static_cast<int>(syscall(SYS_flock, fd, operation));
}

namespace duskmend::test {
namespace {

namespace fs = std::filesystem;

const std::string kOld = CrLf({"[SECTOR 1,1]", "LOCALLIGHT=5", "", "[WORLDITEM i_gold]", "P=1"});

constexpr uid_t kNobody = 65534;

// The new save and the temp file have the old save's owner and group (handed over where the
// superuser runs the pass), bits and extended attributes (where access lists live), an empty one
// too; a stale temp file's own are not carried over, and a temp file is never wider open than the
// save, not even before it has the save's bits.
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
    if (superuser) {                        // another owner, or only another group
      ASSERT_EQ(chown(save.c_str(), stale ? kNobody : 0, stale ? getegid() : kNobody), 0);
    }
    struct stat owner {};
    ASSERT_EQ(stat(save.c_str(), &owner), 0);
    fs::remove(temp);
    if (stale) {
      WriteFile(temp, kOld.substr(0, 5));  // a part that a kill left
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
      EXPECT_EQ(std::pair(info.st_uid, info.st_gid), std::pair(owner.st_uid, owner.st_gid)) << file;
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

// Where the file system lacks a rename that refuses to replace (NFS), the kernel's copy or
// whole-file locks, a backup pass does without them or fails for what failed, and a file that
// another program put at the backup's path stays there.
TEST(FailureTest, WhatAFileSystemLacksIsDoneWithoutOrSaid) {
  const struct Row {
    const char* name;
    std::atomic<int>& lacking;
    int error;
    bool done;
  } rows[] = {{"no rename that refuses to replace", gNoRenameNoReplace, EINVAL, true},
              {"no copy between two file systems", gNoCopyRange, EXDEV, true},
              {"no copy on this file system", gNoCopyRange, EOPNOTSUPP, true},
              {"no copy in this kernel", gNoCopyRange, ENOSYS, true},
              {"a copy that fails", gNoCopyRange, EIO, false},
              {"no locks", gNoLocks, ENOLCK, false}};
  for (const Row& row : rows) {
    for (const bool otherAtBackup : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (otherAtBackup ? ", another file at the backup" : ""));
      TempDir dir;
      const std::string save = dir.Path("sphereworld.scp"), backup = dir.Path("kept.scp");
      WriteFile(save, kOld);
      bool other = false;            // whether another program put a file there
      ForwardingFileSystem copying;  // a backup is a copy where no second name can be given
      copying.fault = [&](const std::string& call) {
        if (call == "Move" && otherAtBackup) WriteFile(backup, "another program's"), other = true;
        return call == "Link" ? std::make_error_code(std::errc::cross_device_link)
                              : std::error_code{};
      };
      PathHarness h(copying);
      row.lacking = row.error;
      const PassResult result = h.passes.Remove(save, {.backup = backup});
      row.lacking = 0;
      const bool done = row.done && !other;
      EXPECT_EQ(result.outcome == PassOutcome::kDone, done) << PassMessage(result);
      EXPECT_EQ(PassMessage(result).find("Another Duskmend"), std::string::npos);
      EXPECT_EQ(ReadFile(save).find("LOCALLIGHT") == std::string::npos, done);
      const std::string kept = fs::exists(backup) ? ReadFile(backup) : "no backup";
      EXPECT_EQ(kept, other ? "another program's" : done ? kOld : "no backup");
      for (const auto& file : fs::directory_iterator(dir.Path("")))
        EXPECT_TRUE(file.path() == save || file.path() == backup || file.path() == save + "tmp")
            << file.path();
    }
  }
}

TEST(FailureTest, ASaveInTheTopFolderSyncsThatFolder) {
  EXPECT_FALSE(SystemFileSystem().SyncFolderOf("/sphereworld.scp"));
  EXPECT_FALSE(SystemFileSystem().SyncFolderOf("sphereworld.scp"));
}

}  // namespace
}  // namespace duskmend::test
