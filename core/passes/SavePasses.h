#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "BackupFile.h"
#include "FileSystem.h"
#include "LightEntry.h"
#include "LineReader.h"
#include "LineWriter.h"
#include "PassResult.h"
#include "RewriteFiles.h"
#include "SectorChoice.h"

namespace duskmend {

class ProgressSink;

// Bytes that one read asks of the world save, and that the temp file's writer holds.
struct BufferSizes {
  std::size_t read = LineReader::kDefaultReadSize;
  std::size_t write = LineWriter::kDefaultBufferSize;
};

// What a rewriting pass is asked for besides its path (and a change, its value).
struct RewriteOptions {
  // Where not empty, where the old save stays: a path that must not exist yet.
  std::string backup = {};
  SectorChoice choice = {};  // only the entries of the sectors that it takes are rewritten
};

// The three passes over the world save that a path names, for any face: each shows its
// progress in the sink, ends at the first yield after `stop` is set, and returns what
// happened. Each takes its own copy of the path: a command run during a yield must not move
// the pass.
class SavePasses {
 public:
  // `sink`, `stop` and `fs` must outlive the passes.
  SavePasses(ProgressSink& sink, const std::atomic<bool>& stop, FileSystem& fs = SystemFileSystem(),
             BufferSizes buffers = {})
      : sink_(sink), stop_(stop), fs_(fs), buffers_(buffers) {}

  PassResult Analysis(std::string path);
  // Reads as the analysis does, and hands each light entry of a chosen sector to `found` as
  // it is read.
  PassResult List(std::string path, std::function<void(const LightEntry&)> found,
                  SectorChoice choice = {});
  PassResult Remove(std::string path, RewriteOptions options = {});
  // `value` is the new value as typed, in UTF-8; an empty one, or one that is not one line of
  // Latin-1, is refused.
  PassResult Change(std::string path, const std::string& value, RewriteOptions options = {});

 private:
  template <class Steps, class... Args>
  PassResult Read(std::string path, Args&&... args);
  template <class Steps, class... Args>
  void Rewrite(PassResult& result, const std::string& backup, SectorChoice& choice,
               const Args&... args);
  template <class... Args>
  bool NothingToChange(const RewriteFiles& files, PassResult& result, SectorChoice& choice,
                       const Args&... args);
  template <class Steps, class... Args>
  void WriteNewText(const RewriteFiles& files, PassResult& result, SectorChoice& choice,
                    const Args&... args);
  void Settle(PassResult& result, BackupFile& backup, const RewriteFiles* files, bool untouched);
  void Keep(PassResult& result, RewriteFiles& files, const char* what);
  // Closes the temp file that this pass made, then removes it or, failing that, empties it:
  // Windows does neither to a file that is open.
  void DiscardTemp(RewriteFiles& files);
  template <class Steps>
  ScanCounts Scan(LineReader& reader, std::uint64_t totalBytes, Steps& steps);
  void Yield(bool atEnd = false);

  ProgressSink& sink_;
  const std::atomic<bool>& stop_;
  FileSystem& fs_;
  BufferSizes buffers_;
};

}  // namespace duskmend
