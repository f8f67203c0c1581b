#include "ReplaceStep.h"

#include <algorithm>

#include "OpenFile.h"
#include "PassFailure.h"
#include "ProgressSink.h"
#include "WhileWaiting.h"

namespace duskmend {
namespace {

[[noreturn]] void Throw(PassFailure::Step step, std::error_code error = {}) {
  throw PassFailure{step, error};
}

}  // namespace

void ReplaceStep::Run(RewriteFiles& files) {
  const std::string& target = files.target;
  const std::string& tempPath = files.tempPath;
  const FileIdentity& read = files.read;
  // The last look at the world save: a save that another program wrote, renamed or removed
  // since the pass opened it is left as that program left it.
  FileIdentity now;
  const std::error_code error = fs_.IdentityAt(target, now);
  if (error == std::errc::no_such_file_or_directory || (!error && now != read)) {
    Throw(PassFailure::Step::kWorldChanged, error);
  }
  if (error) Throw(PassFailure::Step::kReplace, error);
  // The new text as this pass leaves it, and a watch on it: during the switch a program that
  // writes to the save by its name may write into it.
  FileIdentity ours;
  if (std::error_code looked = fs_.IdentityOf(files.temp->Handle(), ours)) {
    Throw(PassFailure::Step::kReplace, looked);
  }
  FileWatch oursWatch(fs_);
  if (files.watch.On()) oursWatch.Start(tempPath);  // without it, its size and time tell
  // Where the file system can, the two names swap, and what comes out at the temp path tells
  // whether the save was still the file that the pass read at the moment of the switch.
  // Dropping the old save's blocks and retrying a rename that Windows refused take a while.
  std::error_code switched = WhileWaiting(sink_, [&] { return fs_.Exchange(tempPath, target); });
  exchanged_ = !switched;
  if (switched == std::errc::not_supported) {
    RenameUnlessChanged(files);
    switched = {};
  } else if (switched == std::errc::no_such_file_or_directory &&
             fs_.IdentityAt(target, now) == std::errc::no_such_file_or_directory) {
    Throw(PassFailure::Step::kWorldChanged, switched);  // removed at the last moment
  }
  if (switched) Throw(PassFailure::Step::kReplace, switched);
  if (exchanged_) UndoUnlessRead(files, ours, oursWatch);
  // The switch has happened and cannot be taken back; a folder that cannot be synced is
  // reported, since a power cut may still bring the old save back.
  folderSyncError_ = WhileWaiting(sink_, [&] { return fs_.SyncFolderOf(target); });
  sink_.YieldToEventsAtEnd();
  copyBackError_ = CopyBack(*files.temp, tempPath);
  // The old save goes last: its lock kept a second Duskmend off its other names (a hard link)
  // until now, and closing it may drop its blocks, which takes a while.
  files.temp.reset();
  WhileWaiting(sink_, [&] {
    files.world.reset();
    return std::error_code{};
  });
  sink_.YieldToEventsAtEnd();
}

// Where the names cannot swap, a rename cannot tell what it replaces: a change that the watch
// saw up to now keeps the save as it is; a write that comes between that look and the rename
// lands in the old save, still open here, and its text is kept at the temp path.
void ReplaceStep::RenameUnlessChanged(RewriteFiles& files) {
  bool changed = false;
  bool written = false;
  if (std::error_code error = files.watch.Changed(changed, written)) {
    Throw(PassFailure::Step::kReplace, error);
  }
  if (changed) Throw(PassFailure::Step::kWorldChanged);
  if (std::error_code error =
          WhileWaiting(sink_, [&] { return fs_.Rename(files.tempPath, files.target); })) {
    Throw(PassFailure::Step::kReplace, error);
  }
  // The rename itself changes the old save's links; only a write of its bytes counts now.
  const std::error_code looked = files.watch.Changed(changed, written);
  if (!looked && !written) return;
  if (std::error_code kept = KeepOldSave(*files.world, files.tempPath)) {
    Throw(PassFailure::Step::kWrittenAtSwitchLost, kept);
  }
  Throw(PassFailure::Step::kWrittenAtSwitch, looked);  // with an error: it could not be told
}

// Puts the other program's file back when the one that came out of the save's place is not
// the file, with the bytes, that the pass read, or was written since the last look. The new
// text goes with the pass only while it is as the pass left it.
void ReplaceStep::UndoUnlessRead(RewriteFiles& files, const FileIdentity& ours,
                                 FileWatch& oursWatch) {
  const std::string& target = files.target;
  const std::string& tempPath = files.tempPath;
  FileIdentity out;
  bool changed = false;
  bool written = false;
  std::error_code unseen = fs_.IdentityAt(tempPath, out);
  if (!unseen) unseen = files.watch.Changed(changed, written);
  if (!unseen && !changed && out.SameFileAndText(files.read)) return;
  if (std::error_code error = fs_.Exchange(tempPath, target)) {
    FileIdentity there;
    const bool removed = fs_.IdentityAt(target, there) == std::errc::no_such_file_or_directory;
    Throw(removed ? PassFailure::Step::kWorldRemovedAtSwitch
                  : PassFailure::Step::kWorldChangedAtSwitch,
          error);
  }
  // A switch that could not be checked is taken back too; the new text waits at the temp path.
  if (unseen) Throw(PassFailure::Step::kReplace, unseen);
  FileIdentity back;
  const bool gone = fs_.IdentityAt(tempPath, back) != std::error_code{};
  const std::error_code looked = oursWatch.Changed(changed, written);
  if (gone || looked || changed || !back.SameFileAndText(ours)) {
    Throw(PassFailure::Step::kWrittenIntoNew);
  }
  Throw(PassFailure::Step::kWorldChanged);
}

std::error_code ReplaceStep::KeepOldSave(OpenFile& old, const std::string& path) {
  return CopyToNewFile(old.Handle(), path, true);
}

// Copies the new save, still open as `save` and locked, to a new file at the temp path. After
// a swap the old save stands there: its name goes (another name, a backup's, may hold it), its
// bytes are not touched.
std::error_code ReplaceStep::CopyBack(OpenFile& save, const std::string& tempPath) {
  if (exchanged_) {
    if (std::error_code error = WhileWaiting(sink_, [&] { return fs_.Remove(tempPath); })) {
      oldAtTemp_ = true;
      return error;
    }
  }
  return CopyToNewFile(save.Handle(), tempPath, false);
}

// Copies the whole of `from` to a new file at `path`, with its permissions, a piece at a
// time, and durably where asked; a copy that fails is removed.
std::error_code ReplaceStep::CopyToNewFile(FileHandle from, const std::string& path, bool durable) {
  FileHandle copy = -1;
  if (std::error_code error = fs_.Open(path, OpenMode::kCreateNew, copy)) return error;
  // Whether the lock is taken does not matter: a second Duskmend is refused at the save,
  // which this pass still holds locked.
  bool taken = false;
  std::error_code error = fs_.Lock(copy, taken);
  if (!error) error = fs_.CopyPermissions(from, copy);
  std::uint64_t size = 0;
  if (!error) error = fs_.Size(from, size);
  for (std::uint64_t offset = 0; !error && offset < size; offset += kCopyPiece) {
    if (offset > 0) sink_.YieldToEventsAtEnd();  // between two pieces
    error = WhileWaiting(
        sink_, [&] { return fs_.Copy(from, offset, std::min(kCopyPiece, size - offset), copy); });
  }
  if (!error && durable) error = WhileWaiting(sink_, [&] { return fs_.Sync(copy); });
  const std::error_code closed = fs_.Close(copy);
  if (!error) error = closed;
  if (!error && durable) error = WhileWaiting(sink_, [&] { return fs_.SyncFolderOf(path); });
  if (error) Discard(fs_, path);
  return error;
}

}  // namespace duskmend
