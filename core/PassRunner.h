#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "FileSystem.h"
#include "LineReader.h"
#include "LineWriter.h"
#include "LoadGuard.h"
#include "PassFailure.h"

namespace duskmend {

class Dialogs;
class ProgressSink;
class WindowModel;
struct ScanCounts;

enum class PassOutcome {
  kDone,     // the counts are shown
  kRefused,  // nothing loaded, no usable value, or a save that may not be rewritten now:
             // the user was told and nothing changed
  kFailed,   // a file step failed: the user was told and the world save kept its old text
  kStopped,  // stopped at a yield on the user's request; nothing is shown
  kBusy,     // another pass was running; nothing happened
};

// Runs the analysis, remove and change passes over the world save that the model names,
// one pass at a time, and shows their results in the model and the sink.
class PassRunner {
 public:
  PassRunner(WindowModel& model, ProgressSink& sink, Dialogs& dialogs,
             FileSystem& fs = SystemFileSystem());

  PassOutcome AnalysisPass();
  PassOutcome RemovePass();
  PassOutcome ChangePass();

  bool Running() const { return running_; }
  // Whether the last pass put a new text in the world save's place, stopped or not.
  bool Replaced() const { return replaced_; }
  // The file step that failed the last pass, if one did.
  const std::optional<PassFailure>& LastFailure() const { return lastFailure_; }
  // Makes the running pass end at its next yield without replacing the world save and
  // without its temp file. A pass in its replace step completes the step first.
  void RequestStop();
  // Bytes that one read asks of the world save, and that the temp file's writer holds.
  void SetReadSize(std::size_t size) { readSize_ = size; }
  void SetWriteBufferSize(std::size_t size) { writeBufferSize_ = size; }

 private:
  class RunningScope;

  // Takes its own copy of the path: an open command during a yield must not move the pass.
  template <class Steps, class... Args>
  PassOutcome Rewrite(std::string path, const Args&... args);
  template <class Steps>
  ScanCounts Scan(LineReader& reader, std::uint64_t totalBytes, Steps& steps);
  void Yield(bool atEnd = false);
  PassOutcome Fail(const PassFailure& failure, const std::string& path,
                   const std::string& tempPath);

  WindowModel& model_;
  ProgressSink& sink_;
  Dialogs& dialogs_;
  FileSystem& fs_;
  LoadGuard guard_;
  std::size_t readSize_ = LineReader::kDefaultReadSize;
  std::size_t writeBufferSize_ = LineWriter::kDefaultBufferSize;
  bool running_ = false;
  bool stopRequested_ = false;
  bool replaced_ = false;
  std::optional<PassFailure> lastFailure_;
};

}  // namespace duskmend
