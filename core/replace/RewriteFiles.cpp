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
                           BackupFile& backup)
    : watch(fs) {
  // A link switched to another save during the pass must not move it there.
  if (std::error_code error = fs.ResolveLinks(path, target)) throw PassFailure{kRead, error};
  tempPath = TempPathOf(target);
  world.emplace(fs, target, OpenMode::kRead, kRead);
  bool taken = false;
  if (std::error_code error = fs.Lock(world->Handle(), taken)) throw PassFailure{kRead, error};
  if (!taken) RefuseBusy();
  if (backup.Asked()) backup.Link(target, sink);
  Prepare(fs, sink, backup);
}

void RewriteFiles::Prepare(FileSystem& fs, ProgressSink& sink, const BackupFile& backup) {
  // Looked at under the lock: a Duskmend that let the save go has no more changes to make.
  if (std::error_code error = fs.IdentityOf(world->Handle(), read)) {
    throw PassFailure{kRead, error};
  }
  // A save that another program put in place between the opening and the link is not the
  // file that the backup names.
  FileIdentity linked;
  if (backup.Made() == BackupFile::State::kLinked) {
    if (std::error_code error = fs.IdentityAt(backup.Path(), linked)) {
      throw PassFailure{PassFailure::Step::kWriteBackup, error};
    }
    if (!linked.SameFile(read)) throw PassFailure{PassFailure::Step::kWorldChanged, {}};
  }
  // Without a watch a write that keeps the save's size and puts its time back, just before
  // the switch, would go unseen: a system that has watches but can give none now refuses.
  if (std::error_code error = watch.Start(target)) {
    if (error == std::errc::no_such_file_or_directory) {
      throw PassFailure{PassFailure::Step::kWorldChanged, error};  // removed meanwhile
    }
    throw PassRefusal(PassRefusal::Reason::kNoWatch, error.message());
  }
  std::string reason;
  if (fs.MayReplace(target, reason)) RefuseToReplace(reason);
  RemoveOldTemp(fs, sink, tempPath);
  // A part of a copy that a kill left.
  if (backup.Made() == BackupFile::State::kToCopy) RemoveOldTemp(fs, sink, backup.PartPath());
  CheckSpace(fs, backup);
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
void RewriteFiles::RemoveOldTemp(FileSystem& fs, ProgressSink& sink,
                                 const std::string& path) const {
  FileHandle old = -1;
  const std::error_code opened = fs.Open(path, OpenMode::kReadNoLink, old);
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
  if (save) throw PassRefusal(PassRefusal::Reason::kTempIsSave, path);
  if (!taken) RefuseBusy();
  // Dropping the blocks of an earlier run's temp file, as large as the save, takes a while.
  const std::error_code removed = WhileWaiting(sink, [&] { return fs.Remove(path); });
  if (removed && removed != std::errc::no_such_file_or_directory)
    throw PassFailure{kWrite, removed};
}

// Each disk is asked for what it will get: the save's for the new text, the backup's for its
// copy; one disk that gets both, for both.
void RewriteFiles::CheckSpace(FileSystem& fs, const BackupFile& backup) const {
  std::uint64_t free = 0;
  std::uint64_t disk = 0;
  if (std::error_code error = fs.FreeSpace(target, free, disk)) throw PassFailure{kWrite, error};
  std::uint64_t needed = read.size + kSpaceMargin;
  if (backup.Made() == BackupFile::State::kToCopy) {
    std::uint64_t backupFree = 0;
    std::uint64_t backupDisk = 0;
    if (std::error_code error = fs.FreeSpace(backup.Path(), backupFree, backupDisk)) {
      throw PassFailure{PassFailure::Step::kWriteBackup, error};
    }
    if (backupDisk == disk) {
      needed += read.size;
    } else if (backupFree < read.size + kSpaceMargin) {
      throw PassRefusal(PassRefusal::Reason::kNoSpace, backup.Path(), read.size + kSpaceMargin,
                        backupFree);
    }
  }
  if (free < needed) throw PassRefusal(PassRefusal::Reason::kNoSpace, {}, needed, free);
}

}  // namespace duskmend
