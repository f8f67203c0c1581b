#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "BackupFile.h"
#include "FileSystem.h"
#include "FileWatch.h"
#include "OpenFile.h"
#include "PassFailure.h"
#include "PassRefusal.h"
#include "ProgressSink.h"

namespace duskmend {

// The temp file of a rewriting pass: the world-save path followed directly by "tmp".
inline std::string TempPathOf(const std::string& worldPath) { return worldPath + "tmp"; }

// The files of a rewriting pass, made ready before a byte is written: the world save, read
// at the target of its links, locked against a second Duskmend and watched for changes by
// another program; where one is asked for, a backup of the save: another name of its file, or
// where none can be had, a copy to be made before the switch; and once the pass knows that it
// writes, a new temp file beside the save with the save's permissions. Refuses (throws
// PassRefusal) a save that this user may not replace as it is, one that another Duskmend works
// on, a backup path that is taken, a disk without room for what it will get, and a file at a
// name that the pass writes that Duskmend did not leave there; a file step that fails throws
// PassFailure. Every refusal comes before a file is written or removed.
class RewriteFiles {
 public:
  // Room beyond the save's own size that a rewriting pass asks of the disk.
  static constexpr std::uint64_t kSpaceMargin = std::uint64_t{4} << 20;

  // `backup` is linked here where it is asked for, and outlives these files.
  RewriteFiles(FileSystem& fs, ProgressSink& sink, const std::string& path, BackupFile& backup);

  // Clears the names that the pass writes of what an earlier Duskmend left there, once none
  // holds anything else; `newText`: the pass writes a new text, and the temp file is made.
  void MakeRoom(FileSystem& fs, ProgressSink& sink, const BackupFile& backup, bool newText);

  std::string target;    // the world save's file, links followed once
  std::string tempPath;  // beside the target
  FileIdentity read;     // the world save as it was opened
  FileWatch watch;       // on the world save, from its first look on; off on Windows
  std::optional<OpenFile> world;
  std::optional<OpenFile> temp;
  bool madeTemp = false;  // the file at the temp path is this pass's own

 private:
  void Prepare(FileSystem& fs, const BackupFile& backup);
  bool IsTempPath(FileSystem& fs, const std::string& path) const;
  void MakeTemp(FileSystem& fs);
  void CheckSpace(FileSystem& fs, const BackupFile& backup) const;
};

}  // namespace duskmend
