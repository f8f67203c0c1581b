#include "ReplaceStep.h"

#include "CopyToNewFile.h"
#include "NameWatch.h"
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
    RenameUnlessChanged(files, ours);
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
  copyBackError_ = CopyBack(files, ours.size);
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
// saw up to now keeps the save as it is. A write that comes between that look and the rename
// lands in the old save, still open here, and its text is kept at the temp path; a file that
// another program puts at the save's name meanwhile is replaced, and the pass says so. The
// save's watch sees neither a new file at its name nor a removal after the look: the name is
// watched from before it.
void ReplaceStep::RenameUnlessChanged(RewriteFiles& files, const FileIdentity& ours) {
  NameWatch names(fs_);
  if (files.watch.On()) {
    if (std::error_code error = names.Start(files.target))
      Throw(PassFailure::Step::kReplace, error);
  }
  bool changed = false;
  bool written = false;
  if (std::error_code error = files.watch.Changed(changed, written)) {
    Throw(PassFailure::Step::kReplace, error);
  }
  if (changed) {  // a removal is said as one
    FileIdentity now;
    const std::error_code gone = fs_.IdentityAt(files.target, now);
    Throw(PassFailure::Step::kWorldChanged,
          gone == std::errc::no_such_file_or_directory ? gone : std::error_code{});
  }
  if (std::error_code error =
          WhileWaiting(sink_, [&] { return fs_.Rename(files.tempPath, files.target); })) {
    Throw(PassFailure::Step::kReplace, error);
  }
  // The rename itself changes the old save's links and brings one file to its name; only a
  // write of its bytes counts now, or one more file at the name before the new save (one
  // after it took the new save's place, and so is kept).
  int moves = 0;
  FileIdentity now;
  std::error_code looked = files.watch.Changed(changed, written);
  if (!looked) looked = names.Changes(moves);
  const bool replaced = moves > 1 && !fs_.IdentityAt(files.target, now) && now.SameFile(ours);
  if (!looked && !written && !replaced) return;
  const std::error_code kept =
      CopyToNewFile(fs_, sink_, files.world->Handle(), files.tempPath, true, false);
  if (replaced) Throw(PassFailure::Step::kWorldReplacedAtSwitch, kept);
  if (kept) Throw(PassFailure::Step::kWrittenAtSwitchLost, kept);
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

// Copies the new save, still open as the temp file and locked, to a new file at the temp path.
// After a swap the old save stands there: its name goes (another name, a backup's, may hold
// it), its bytes are not touched. The old save's room comes free before the copy where it has
// no name left; the copy is made only where the disk has room for it beside the margin that
// it keeps for other programs, the game server among them.
std::error_code ReplaceStep::CopyBack(RewriteFiles& files, std::uint64_t size) {
  const std::string& tempPath = files.tempPath;
  if (exchanged_) {
    if (std::error_code error = WhileWaiting(sink_, [&] { return fs_.Remove(tempPath); })) {
      oldAtTemp_ = true;
      return error;
    }
  }
  // Open without a name, no other Duskmend can reach it: its lock guards nothing now.
  FileIdentity old;
  if (fs_.ReplacesOpenFiles() && !fs_.IdentityOf(files.world->Handle(), old) && old.links == 0) {
    WhileWaiting(sink_, [&] {
      files.world.reset();
      return std::error_code{};
    });
  }
  std::uint64_t free = 0;
  std::uint64_t disk = 0;
  if (std::error_code error = fs_.FreeSpace(tempPath, free, disk)) return error;
  if (free < size + RewriteFiles::kSpaceMargin) {
    return std::make_error_code(std::errc::no_space_on_device);
  }
  return CopyToNewFile(fs_, sink_, files.temp->Handle(), tempPath, false, true);
}

}  // namespace duskmend
