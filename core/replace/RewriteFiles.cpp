#include "RewriteFiles.h"

#include <vector>

#include "ScratchPath.h"

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
  if (backup.Asked() && IsTempPath(fs, backup.Path())) {
    throw PassRefusal(PassRefusal::Reason::kBackupIsTemp, backup.Path());
  }
  if (backup.Asked()) backup.Link(target, sink);
  Prepare(fs, backup);
}

void RewriteFiles::Prepare(FileSystem& fs, const BackupFile& backup) {
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
  CheckSpace(fs, backup);
}

// Whether `path` names the temp path: the same name in the same folder, its links followed.
bool RewriteFiles::IsTempPath(FileSystem& fs, const std::string& path) const {
  const std::string name = ScratchPath::NameOf(path);
  if (name != ScratchPath::NameOf(tempPath)) return false;
  std::string folder = path.substr(0, path.size() - name.size());
  if (folder.size() > 1) folder.pop_back();  // the separator; "/" stays
  std::string resolved;
  return !fs.ResolveLinks(folder.empty() ? "." : folder, resolved) &&
         resolved + tempPath[tempPath.size() - name.size() - 1] + name == tempPath;
}

void RewriteFiles::MakeRoom(FileSystem& fs, ProgressSink& sink, const BackupFile& backup,
                            bool newText) {
  std::vector<ScratchPath> names;
  if (newText) names.emplace_back(fs, tempPath, kWrite);
  if (backup.Made() == BackupFile::State::kToCopy) {
    names.emplace_back(fs, backup.PartPath(), PassFailure::Step::kWriteBackup);
  }
  // A save that another program replaced meanwhile (a second Duskmend among them) is left as
  // that program left it, and so is what that program put beside it.
  FileIdentity now;
  const std::error_code looked = fs.IdentityAt(target, now);
  if (looked == std::errc::no_such_file_or_directory || (!looked && now != read)) {
    throw PassFailure{PassFailure::Step::kWorldChanged, looked};
  }
  if (looked) throw PassFailure{kRead, looked};
  std::vector<const ScratchPath*> ours;
  for (const ScratchPath& name : names) {
    FileIdentity there;
    const ScratchPath::Holds holds = name.Look(target, read, there);
    if (holds == ScratchPath::Holds::kOther) {
      throw PassRefusal(PassRefusal::Reason::kNotOurs, name.Path());
    }
    if (holds == ScratchPath::Holds::kOurs) ours.push_back(&name);
  }
  for (const ScratchPath* name : ours)
    name->Remove(sink);
  if (newText) MakeTemp(fs);
}

void RewriteFiles::MakeTemp(FileSystem& fs) {
  temp.emplace(fs, tempPath, OpenMode::kCreateNew, kWrite);
  madeTemp = true;
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
    madeTemp = false;
    throw;
  }
  ScratchPath::MarkMade(fs, temp->Handle(), tempPath);  // after the save's attributes
}

// Each disk is asked for what it will get: the save's for the new text, the backup's for its
// copy; one disk that gets both, for both. An earlier run's temp file, as large as the save,
// comes free first where it is Duskmend's own and has no other name.
void RewriteFiles::CheckSpace(FileSystem& fs, const BackupFile& backup) const {
  std::uint64_t free = 0;
  std::uint64_t disk = 0;
  if (std::error_code error = fs.FreeSpace(target, free, disk)) throw PassFailure{kWrite, error};
  FileIdentity old;
  if (ScratchPath(fs, tempPath, kWrite).Look(target, read, old) == ScratchPath::Holds::kOurs &&
      old.links <= 1) {
    free += old.size;
  }
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
