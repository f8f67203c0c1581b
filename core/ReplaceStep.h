#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include "FileSystem.h"

namespace duskmend {

class OpenFile;
class ProgressSink;

// The temp file of a rewriting pass: the world-save path followed directly by "tmp".
inline std::string TempPathOf(const std::string& worldPath) { return worldPath + "tmp"; }

// Puts the complete, durable temp file in the world save's place in one step, so that the
// world save names the complete old text or the complete new text at every moment, power
// cuts included; then puts a copy of the new save back at the temp path. The world save is
// replaced only while it is still the file, in the state, that the pass read.
class ReplaceStep {
 public:
  ReplaceStep(FileSystem& fs, ProgressSink& sink) : fs_(fs), sink_(sink) {}

  // `temp` is open at `tempPath` and holds the lock of the pass; `read` is the identity
  // that the world save at `target` had when the pass opened it. Throws PassFailure before
  // the switch, and then the world save keeps its old text.
  void Run(const std::string& target, const FileIdentity& read, OpenFile& temp,
           const std::string& tempPath);

  // Why the copy at the temp path could not be written after the switch, if it could not.
  const std::error_code& CopyBackError() const { return copyBackError_; }

  static constexpr std::uint64_t kCopyPiece = std::uint64_t{8} << 20;

 private:
  std::error_code CopyBack(OpenFile& save, const std::string& tempPath);

  FileSystem& fs_;
  ProgressSink& sink_;
  std::error_code copyBackError_;
};

}  // namespace duskmend
