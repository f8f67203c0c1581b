#include "ReplaceStep.h"

#include <algorithm>

#include "FileSystem.h"
#include "OpenFile.h"
#include "PassFailure.h"
#include "ProgressSink.h"

namespace duskmend {
namespace {

constexpr PassFailure::Step kStep = PassFailure::Step::kReplace;

void Check(std::error_code error) {
  if (error) throw PassFailure{kStep, error};
}

}  // namespace

// Copies `from` to `to` a piece at a time, letting the cache of each piece go once copied.
void ReplaceStep::CopyForgetting(FileHandle from, std::uint64_t size, FileHandle to) {
  constexpr std::uint64_t kPiece = std::uint64_t{8} << 20;
  for (std::uint64_t offset = 0; offset < size; offset += kPiece) {
    std::uint64_t length = std::min(kPiece, size - offset);
    Check(fs_.Copy(from, offset, length, to));
    fs_.Forget(from, offset, length);
  }
}

void ReplaceStep::Run(const std::string& worldPath) {
  // A world save that is a symbolic link is replaced at its target; the link stays.
  std::string target;
  Check(fs_.ResolveLinks(worldPath, target));
  const std::string staging = StagingPathOf(target);
  fs_.Remove(staging);  // left behind by a run that was killed, if at all
  bool staged = false;  // only a staging file of this run may be discarded
  try {
    {
      OpenFile temp(fs_, TempPathOf(worldPath), OpenMode::kRead, kStep);
      OpenFile copy(fs_, staging, OpenMode::kCreateNew, kStep);
      staged = true;
      CopyForgetting(temp.Handle(), temp.Size(), copy.Handle());
      Check(fs_.CopyPermissions(target, copy.Handle()));
      copy.Sync();
      copy.Close();
      temp.Close();
    }
    sink_.YieldToEvents();
    Check(fs_.Rename(staging, target));
  } catch (const PassFailure&) {
    if (staged) Discard(fs_, staging);
    throw;
  }
  // The switch has happened and cannot be taken back; a folder that cannot be synced
  // leaves it as durable as that file system makes it.
  fs_.SyncFolderOf(target);
  sink_.YieldToEvents();
}

}  // namespace duskmend
