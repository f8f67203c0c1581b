#pragma once

#include <cstdint>
#include <string>

#include "FileSystem.h"

namespace duskmend {

class ProgressSink;

// The temp file of a rewriting pass: the world-save path followed directly by "tmp".
inline std::string TempPathOf(const std::string& worldPath) { return worldPath + "tmp"; }

// Puts the text of the temp file in the world save's place, so that the world-save path
// names the complete old text or the complete new text at every moment, power cuts
// included: the text is copied to a staging file beside the world save, made durable,
// given the world save's permissions and renamed over it. The temp file stays as it is.
// A failure throws PassFailure; the world save then keeps its old text.
class ReplaceStep {
 public:
  ReplaceStep(FileSystem& fs, ProgressSink& sink) : fs_(fs), sink_(sink) {}

  void Run(const std::string& worldPath);

  // Where the new text waits before it takes the place of the world save at `target`.
  static std::string StagingPathOf(const std::string& target) { return target + ".duskmend-new"; }

 private:
  void CopyForgetting(FileHandle from, std::uint64_t size, FileHandle to);

  FileSystem& fs_;
  ProgressSink& sink_;
};

}  // namespace duskmend
