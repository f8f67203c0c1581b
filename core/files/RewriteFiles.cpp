#include "RewriteFiles.h"

#include "WhileWaiting.h"

namespace duskmend {
namespace {

constexpr auto kRead = PassFailure::Step::kReadWorld;
constexpr auto kWrite = PassFailure::Step::kWriteTemp;

[[noreturn]] void RefuseBusy() { throw PassRefusal(PassRefusal::Reason::kBusy); }

[[noreturn]] void RefuseToReplace(const std::string& why) {
  throw PassRefusal(PassRefusal::Reason::kMayNotReplace, why);
}

}  // namespace

RewriteFiles::RewriteFiles(FileSystem& fs, ProgressSink& sink, const std::string& path,
                           const std::string& backupPath)
    : watch(fs), backup(backupPath) {
  // A link switched to another save during the pass must not move it there.
  if (std::error_code error = fs.ResolveLinks(path, target)) throw PassFailure{kRead, error};
  tempPath = TempPathOf(target);
  world.emplace(fs, target, OpenMode::kRead, kRead);
  bool taken = false;
  if (std::error_code error = fs.Lock(world->Handle(), taken)) throw PassFailure{kRead, error};
  if (!taken) RefuseBusy();
  if (!backup.empty()) LinkBackup(fs, sink);
  try {
    Prepare(fs, sink);
  } catch (...) {
    if (backupLinked) fs.Remove(backup);  // a name of the save that is left as it was
    throw;
  }
}

// The backup, linked before the save is looked at, since a new name changes its change time;
// a system that cannot link it here (another device, no hard links) copies it instead.
void RewriteFiles::LinkBackup(FileSystem& fs, ProgressSink& sink) {
  FileIdentity there;
  const std::error_code looked = fs.IdentityAt(backup, there);
  if (!looked) throw PassRefusal(PassRefusal::Reason::kBackupExists, backup);
  if (looked != std::errc::no_such_file_or_directory) {
    throw PassFailure{PassFailure::Step::kWriteBackup, looked};
  }
  const std::error_code linked = fs.Link(target, backup);
  if (linked == std::errc::file_exists)
    throw PassRefusal(PassRefusal::Reason::kBackupExists, backup);
  backupLinked = !linked;
  backupToCopy = !backupLinked;
  if (!backupLinked) return;
  if (std::error_code error = WhileWaiting(sink, [&] { return fs.SyncFolderOf(backup); })) {
    fs.Remove(backup);
    backupLinked = false;
    throw PassFailure{PassFailure::Step::kWriteBackup, error};
  }
}

void RewriteFiles::Prepare(FileSystem& fs, ProgressSink& sink) {
  // Looked at under the lock: a Duskmend that let the save go has no more changes to make.
  if (std::error_code error = fs.IdentityOf(world->Handle(), read)) {
    throw PassFailure{kRead, error};
  }
  // A save that another program put in place between the opening and the link is not the
  // file that the backup names.
  FileIdentity linked;
  if (backupLinked) {
    if (std::error_code error = fs.IdentityAt(backup, linked)) {
      throw PassFailure{PassFailure::Step::kWriteBackup, error};
    }
    if (!linked.SameFile(read)) throw PassFailure{PassFailure::Step::kWorldChanged, {}};
  }
  // Without a watch a write that keeps the save's size and puts its time back, just before
  // the switch, would go unseen: a system that has watches but can give none now refuses.
  if (std::error_code error = watch.Start(target)) {
    throw PassRefusal(PassRefusal::Reason::kNoWatch, error.message());
  }
  std::string reason;
  if (fs.MayReplace(target, reason)) RefuseToReplace(reason);
  RemoveOldTemp(fs, sink);
  CheckSpace(fs);
  temp.emplace(fs, tempPath, OpenMode::kCreateNew, kWrite);
  bool taken = false;
  try {
    // Locked too, so that a Duskmend that opens the temp file as its save is refused.
    if (std::error_code error = fs.Lock(temp->Handle(), taken)) throw PassFailure{kWrite, error};
    if (!taken) RefuseBusy();
    // The temp file is never more open than the save, and the new save keeps the old one's
    // owner, group, bits and access lists.
    if (std::error_code error = fs.CopyPermissions(world->Handle(), temp->Handle())) {
      RefuseToReplace(error.message());
    }
  } catch (...) {
    // A temp file that this pass made and never filled does not stay behind.
    temp.reset();
    fs.Remove(tempPath);
    throw;
  }
}

// An old temp file goes instead of being written again: a backup made with hard links may
// hold it. A Duskmend that works on it as its save keeps it; anything but a regular file
// there (a folder, a link) stays, and the pass fails.
void RewriteFiles::RemoveOldTemp(FileSystem& fs, ProgressSink& sink) const {
  FileHandle old = -1;
  const std::error_code opened = fs.Open(tempPath, OpenMode::kReadNoLink, old);
  if (opened == std::errc::no_such_file_or_directory) return;
  if (opened) throw PassFailure{kWrite, opened};
  // Another name of the save itself (a hard link) is no temp file of an earlier run.
  FileIdentity identity;
  std::error_code error = fs.IdentityOf(old, identity);
  const bool save = !error && identity.SameFile(read);
  bool taken = false;
  if (!error && !save) error = fs.Lock(old, taken);
  fs.Close(old);
  if (error) throw PassFailure{kWrite, error};
  if (save) throw PassRefusal(PassRefusal::Reason::kTempIsSave, tempPath);
  if (!taken) RefuseBusy();
  // Dropping the blocks of an earlier run's temp file, as large as the save, takes a while.
  const std::error_code removed = WhileWaiting(sink, [&] { return fs.Remove(tempPath); });
  if (removed && removed != std::errc::no_such_file_or_directory)
    throw PassFailure{kWrite, removed};
}

void RewriteFiles::CheckSpace(FileSystem& fs) const {
  std::uint64_t free = 0;
  if (std::error_code error = fs.FreeSpace(target, free)) throw PassFailure{kWrite, error};
  // A copied backup is one more copy of the save.
  const std::uint64_t needed = read.size * (backupToCopy ? 2 : 1) + kSpaceMargin;
  if (free < needed) throw PassRefusal(PassRefusal::Reason::kNoSpace, {}, needed, free);
}

}  // namespace duskmend
