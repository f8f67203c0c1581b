#include "BackupFile.h"

#include "CopyToNewFile.h"
#include "PassFailure.h"
#include "PassRefusal.h"
#include "WhileWaiting.h"

namespace duskmend {

// Linked before the save is looked at, since a new name changes its change time.
void BackupFile::Link(const std::string& target, ProgressSink& sink) {
  target_ = target;
  FileIdentity there;
  const std::error_code looked = fs_.IdentityAt(path_, there);
  if (!looked) throw PassRefusal(PassRefusal::Reason::kBackupExists, path_);
  if (looked != std::errc::no_such_file_or_directory) {
    throw PassFailure{PassFailure::Step::kWriteBackup, looked};
  }
  const std::error_code linked = fs_.Link(target, path_);
  if (linked == std::errc::file_exists)
    throw PassRefusal(PassRefusal::Reason::kBackupExists, path_);
  state_ = linked ? State::kToCopy : State::kLinked;
  if (state_ == State::kToCopy) return;
  if (std::error_code error = WhileWaiting(sink, [&] { return fs_.SyncFolderOf(path_); })) {
    throw PassFailure{PassFailure::Step::kWriteBackup, error};
  }
}

std::error_code BackupFile::Copy(FileHandle old, ProgressSink& sink) {
  const std::string part = PartPath();
  // No mark: the copy keeps it under the backup's name, where Windows's nameless mark would let a
  // later pass take it for a part of its own. A part that a kill leaves is the save's first bytes.
  if (std::error_code error = CopyToNewFile(fs_, sink, old, part, true, false)) return error;
  if (std::error_code error = fs_.Move(part, path_)) {
    Discard(fs_, part);
    return error;
  }
  state_ = State::kCopied;
  return WhileWaiting(sink, [&] { return fs_.SyncFolderOf(path_); });
}

bool BackupFile::Settle(const FileIdentity* read, bool newTextInPlace) {
  if (state_ != State::kLinked && state_ != State::kCopied) return false;
  if (newTextInPlace) return true;
  FileIdentity save;
  FileIdentity backup;
  bool spare = !fs_.IdentityAt(target_, save);
  if (state_ == State::kLinked) {
    // Another name of the file that the save's path names holds nothing more.
    spare = spare && !fs_.IdentityAt(path_, backup) && backup.SameFile(save);
  } else {
    // A copy is spare only beside the very file it was copied from, unchanged.
    spare = spare && read && save == *read;
  }
  return !spare || fs_.Remove(path_);
}

}  // namespace duskmend
