#include "CopyToNewFile.h"

#include <algorithm>

#include "ProgressSink.h"
#include "ScratchPath.h"
#include "WhileWaiting.h"

namespace duskmend {

std::error_code CopyToNewFile(FileSystem& fs, ProgressSink& sink, FileHandle from,
                              const std::string& path, bool durable, bool scratch) {
  FileHandle copy = -1;
  if (std::error_code error = fs.Open(path, OpenMode::kCreateNew, copy)) return error;
  // Whether the lock is taken does not matter: a second Duskmend is refused at the save,
  // which the pass still holds locked.
  bool taken = false;
  std::error_code error = fs.Lock(copy, taken);
  if (!error) error = fs.CopyPermissions(from, copy);
  std::uint64_t size = 0;
  if (!error) error = fs.Size(from, size);
  for (std::uint64_t offset = 0; !error && offset < size; offset += kCopyPiece) {
    if (offset > 0) sink.YieldToEventsAtEnd();  // between two pieces
    error = WhileWaiting(
        sink, [&] { return fs.Copy(from, offset, std::min(kCopyPiece, size - offset), copy); });
  }
  // After the attributes that it copies and its last write, which takes a mark on Windows.
  if (!error && scratch) ScratchPath::MarkMade(fs, copy, path);
  if (!error && durable) error = WhileWaiting(sink, [&] { return fs.Sync(copy); });
  const std::error_code closed = fs.Close(copy);
  if (!error) error = closed;
  if (!error && durable) error = WhileWaiting(sink, [&] { return fs.SyncFolderOf(path); });
  if (error) Discard(fs, path);
  return error;
}

}  // namespace duskmend
