#include "RewriteFiles.h"

#include "PassFailure.h"
#include "ReplaceStep.h"
#include "WhileWaiting.h"

namespace duskmend {
namespace {

std::string Megabytes(std::uint64_t bytes, bool up) {
  constexpr std::uint64_t kMegabyte = 1000000;
  return std::to_string(bytes / kMegabyte + (up && bytes % kMegabyte ? 1 : 0));
}

}  // namespace

RewriteFiles::RewriteFiles(FileSystem& fs, ProgressSink& sink, const std::string& path)
    : path_(path) {
  constexpr auto kRead = PassFailure::Step::kReadWorld;
  constexpr auto kWrite = PassFailure::Step::kWriteTemp;
  // A link switched to another save during the pass must not move it there.
  if (std::error_code error = fs.ResolveLinks(path, target)) throw PassFailure{kRead, error};
  tempPath = TempPathOf(target);
  world.emplace(fs, target, OpenMode::kRead, kRead);
  if (std::error_code error = fs.IdentityOf(world->Handle(), read)) {
    throw PassFailure{kRead, error};
  }
  std::string reason;
  if (fs.MayReplace(target, reason)) Refuse("Cannot replace the worldsave " + path, reason);
  bool taken = false;
  if (std::error_code error = fs.Lock(world->Handle(), taken)) throw PassFailure{kRead, error};
  if (!taken) Refuse("Another Duskmend is working on " + path + ".", "Wait until it is done.");
  FileIdentity old;
  const bool created = fs.IdentityAt(tempPath, old) == std::errc::no_such_file_or_directory;
  // The temp file is locked before it is emptied: it may be another Duskmend's.
  temp.emplace(fs, tempPath, OpenMode::kReadWrite, kWrite);
  try {
    if (std::error_code error = fs.Lock(temp->Handle(), taken)) throw PassFailure{kWrite, error};
    if (!taken) Refuse("Another Duskmend is working on " + path + ".", "Wait until it is done.");
    CheckSpace(fs, temp->Size());
    // The temp file is never more open than the save, and the new save keeps the old one's
    // owner, group, bits and access lists.
    if (std::error_code error = fs.CopyPermissions(world->Handle(), temp->Handle())) {
      Refuse("Cannot replace the worldsave " + path, error.message());
    }
    // Dropping the blocks of an earlier run's temp file, as large as the save, takes a while.
    const FileHandle handle = temp->Handle();
    if (std::error_code error = WhileWaiting(sink, [&] { return fs.Truncate(handle, 0); })) {
      throw PassFailure{kWrite, error};
    }
  } catch (...) {
    // A temp file that this pass made and never filled does not stay behind.
    temp.reset();
    if (created) fs.Remove(tempPath);
    throw;
  }
}

// The old temp file's room comes free when it is emptied.
void RewriteFiles::CheckSpace(FileSystem& fs, std::uint64_t oldTempSize) const {
  std::uint64_t free = 0;
  if (std::error_code error = fs.FreeSpace(target, free)) {
    throw PassFailure{PassFailure::Step::kWriteTemp, error};
  }
  const std::uint64_t needed = read.size + kSpaceMargin;
  if (free + oldTempSize >= needed) return;
  Refuse("Not enough free space beside " + path_ + ": " + Megabytes(needed, true) + " MB needed, " +
             Megabytes(free + oldTempSize, false) + " MB free.",
         "");
}

void RewriteFiles::Refuse(const std::string& what, const std::string& why) const {
  throw PassRefusal{what + "\n" + (why.empty() ? "" : why + "\n") + "Nothing was changed."};
}

}  // namespace duskmend
