#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include "FileSystem.h"
#include "RewriteFiles.h"

namespace duskmend {

class ProgressSink;

// Puts the complete, durable temp file in the world save's place in one step, so that the
// world save names the complete old text or the complete new text at every moment, power
// cuts included; then puts a copy of the new save back at the temp path. The world save is
// replaced only while it is still the file, in the state, that the pass read: checked just
// before the switch and at the switch itself, by the swap of the two names or, where they
// cannot swap, by the watches around the rename. What another program writes meanwhile is
// never removed: it stays at the temp path, and the pass fails saying so. Only a file that
// another program renames over the save in the very moment of a rename is lost, where names
// cannot swap; the pass fails saying that too.
class ReplaceStep {
 public:
  ReplaceStep(FileSystem& fs, ProgressSink& sink) : fs_(fs), sink_(sink) {}

  // `files` hold the complete, durable temp file. Throws PassFailure before the switch, and
  // then the world save keeps its old text, or at it, and then the failure's step says where
  // each text is. Closes the old save once it is replaced, so that
  // its room comes free; the new one stays locked by the temp file's handle.
  void Run(RewriteFiles& files);

  // Why the copy at the temp path could not be written after the switch, if it could not.
  const std::error_code& CopyBackError() const { return copyBackError_; }
  // Whether the old save still stands at the temp path after that.
  bool OldAtTemp() const { return oldAtTemp_; }
  // Why the folder could not be synced after the switch, if it could not.
  const std::error_code& FolderSyncError() const { return folderSyncError_; }

 private:
  void RenameUnlessChanged(RewriteFiles& files, const FileIdentity& ours);
  void UndoUnlessRead(RewriteFiles& files, const FileIdentity& ours, FileWatch& oursWatch);
  // `size`: the new save's.
  std::error_code CopyBack(RewriteFiles& files, std::uint64_t size);

  FileSystem& fs_;
  ProgressSink& sink_;
  std::error_code copyBackError_;
  std::error_code folderSyncError_;
  bool oldAtTemp_ = false;
  bool exchanged_ = false;  // the old save stands at the temp path after the switch
};

}  // namespace duskmend
