#include "ReplaceStep.h"

#include <algorithm>

#include "OpenFile.h"
#include "PassFailure.h"
#include "ProgressSink.h"
#include "WhileWaiting.h"

namespace duskmend {

void ReplaceStep::Run(const std::string& target, const FileIdentity& read, OpenFile& temp,
                      const std::string& tempPath) {
  // The last look at the world save: a save that another program wrote, renamed or removed
  // since the pass opened it is left as that program left it.
  FileIdentity now;
  const std::error_code error = fs_.IdentityAt(target, now);
  if (error == std::errc::no_such_file_or_directory || (!error && now != read)) {
    throw PassFailure{PassFailure::Step::kWorldChanged, error};
  }
  if (error) throw PassFailure{PassFailure::Step::kReplace, error};
  // Dropping the old save's blocks and retrying a rename that Windows refused take a while.
  if (std::error_code renamed = WhileWaiting(sink_, [&] { return fs_.Rename(tempPath, target); })) {
    throw PassFailure{PassFailure::Step::kReplace, renamed};
  }
  // The switch has happened and cannot be taken back; a folder that cannot be synced
  // leaves it as durable as that file system makes it.
  WhileWaiting(sink_, [&] { return fs_.SyncFolderOf(target); });
  sink_.YieldToEventsAtEnd();
  copyBackError_ = CopyBack(temp, tempPath);
  sink_.YieldToEventsAtEnd();
}

// Copies the new save, still open as `save` and locked, to a new file at the temp path, a
// piece at a time; a copy that fails is removed.
std::error_code ReplaceStep::CopyBack(OpenFile& save, const std::string& tempPath) {
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
