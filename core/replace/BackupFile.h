#pragma once

#include <string>
#include <system_error>
#include <utility>

#include "FileSystem.h"

namespace duskmend {

class ProgressSink;

// The backup of the old save that a rewriting pass is asked for, at a path that must not
// exist yet: another name of the save's file where one can be had, else a copy made before
// the switch. It stays once the new text is in the save's place. A pass that leaves the save
// in place takes it away again only while it holds nothing that the save does not: where
// another program replaced or removed the save, it may be the last copy of the old text.
class BackupFile {
 public:
  enum class State { kNone, kLinked, kToCopy, kCopied };

  BackupFile(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}

  const std::string& Path() const { return path_; }
  bool Asked() const { return !path_.empty(); }
  State Made() const { return state_; }
  // Where a copy is written before it takes the backup's name.
  std::string PartPath() const { return path_ + "tmp"; }

  // Gives the save's file at `target` the backup's name, durably; where the system cannot
  // (another disk, no hard links), the backup is to be copied. Throws PassRefusal when the
  // path is taken, PassFailure when a step fails.
  void Link(const std::string& target, ProgressSink& sink);
  // Copies the old save, still open as `old`, under the part path, durably, and then puts it
  // at the backup's path, replacing nothing: a kill leaves at most a part at the part path.
  std::error_code Copy(FileHandle old, ProgressSink& sink);
  // After a pass: takes a backup that holds nothing but what the save holds away, unless the
  // new text is in the save's place. `read` is the save as the pass read it, or null where the
  // pass never looked. Returns whether the backup stays.
  bool Settle(const FileIdentity* read, bool newTextInPlace);

 private:
  FileSystem& fs_;
  std::string path_;
  std::string target_;  // the save's file
  State state_ = State::kNone;
};

}  // namespace duskmend
