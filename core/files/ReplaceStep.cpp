#include "ReplaceStep.h"

#include <algorithm>

#include "OpenFile.h"
#include "PassFailure.h"
#include "ProgressSink.h"
#include "WhileWaiting.h"

namespace duskmend {

void ReplaceStep::Run(RewriteFiles& files) {
  const std::string& target = files.target;
  const std::string& tempPath = files.tempPath;
  const FileIdentity& read = files.read;
  // Writes between the last look and the switch show on a watch, where the system has one:
  // the switch itself sets the change time, which can then no longer tell.
  struct Watching {
    FileSystem& fs;
    FileHandle handle = -1;
    ~Watching() {
      if (handle >= 0) fs.Close(handle);
    }
  } watch{fs_};
  if (fs_.Watch(target, watch.handle)) watch.handle = -1;
  // The last look at the world save: a save that another program wrote, renamed or removed
  // since the pass opened it is left as that program left it.
  FileIdentity now;
  const std::error_code error = fs_.IdentityAt(target, now);
  if (error == std::errc::no_such_file_or_directory || (!error && now != read)) {
    throw PassFailure{PassFailure::Step::kWorldChanged, error};
  }
  if (error) throw PassFailure{PassFailure::Step::kReplace, error};
  // Where the file system can, the two names swap, and what comes out at the temp path tells
  // whether the save was still the file that the pass read at the moment of the switch.
  // Dropping the old save's blocks and retrying a rename that Windows refused take a while.
  std::error_code switched = WhileWaiting(sink_, [&] { return fs_.Exchange(tempPath, target); });
  exchanged_ = !switched;
  if (switched == std::errc::not_supported) {
    switched = WhileWaiting(sink_, [&] { return fs_.Rename(tempPath, target); });
  } else if (switched == std::errc::no_such_file_or_directory &&
             fs_.IdentityAt(target, now) == std::errc::no_such_file_or_directory) {
    throw PassFailure{PassFailure::Step::kWorldChanged, switched};  // removed at the last moment
  }
  if (switched) throw PassFailure{PassFailure::Step::kReplace, switched};
  if (exchanged_) UndoUnlessRead(target, read, tempPath, watch.handle);
  // The switch has happened and cannot be taken back; a folder that cannot be synced
  // leaves it as durable as that file system makes it.
  WhileWaiting(sink_, [&] { return fs_.SyncFolderOf(target); });
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

// Puts the other program's file back when the one that came out of the save's place is not
// the file, with the bytes, that the pass read, or was written since the last look.
void ReplaceStep::UndoUnlessRead(const std::string& target, const FileIdentity& read,
                                 const std::string& tempPath, FileHandle watch) {
  FileIdentity out;
  bool written = false;
  std::error_code unseen = fs_.IdentityAt(tempPath, out);
  if (!unseen && watch >= 0) unseen = fs_.Changed(watch, written);
  if (!unseen && !written && out.SameFileAndText(read)) return;
  if (std::error_code error = fs_.Exchange(tempPath, target)) {
    throw PassFailure{PassFailure::Step::kWorldChangedAtSwitch, error};
  }
  // A switch that could not be checked is taken back too; the new text waits at the temp path.
  if (unseen) throw PassFailure{PassFailure::Step::kReplace, unseen};
  throw PassFailure{PassFailure::Step::kWorldChanged, {}};
}

// Copies the new save, still open as `save` and locked, to a new file at the temp path, a
// piece at a time; a copy that fails is removed. After a swap the old save stands there:
// its name goes (another name, a backup's, may hold it), its bytes are not touched.
std::error_code ReplaceStep::CopyBack(OpenFile& save, const std::string& tempPath) {
  if (exchanged_) {
    if (std::error_code error = WhileWaiting(sink_, [&] { return fs_.Remove(tempPath); })) {
      return error;
    }
  }
  FileHandle copy = -1;
  if (std::error_code error = fs_.Open(tempPath, OpenMode::kCreateNew, copy)) return error;
  // Whether the lock is taken does not matter: a second Duskmend is refused at the save,
  // which this pass still holds locked.
  bool taken = false;
  std::error_code error = fs_.Lock(copy, taken);
  if (!error) error = fs_.CopyPermissions(save.Handle(), copy);
  std::uint64_t size = 0;
  if (!error) error = fs_.Size(save.Handle(), size);
  for (std::uint64_t offset = 0; !error && offset < size; offset += kCopyPiece) {
    if (offset > 0) sink_.YieldToEventsAtEnd();  // between two pieces
    error = WhileWaiting(sink_, [&] {
      return fs_.Copy(save.Handle(), offset, std::min(kCopyPiece, size - offset), copy);
    });
  }
  const std::error_code closed = fs_.Close(copy);
  if (!error) error = closed;
  if (error) Discard(fs_, tempPath);
  return error;
}

}  // namespace duskmend
