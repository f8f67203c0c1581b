#pragma once

#include <atomic>
#include <cstddef>

#include "FileSystem.h"
#include "LoadGuard.h"
#include "PassResult.h"
#include "SavePasses.h"

namespace duskmend {

class Dialogs;
class ProgressSink;
class WindowModel;

// The window's operations: runs the analysis, remove and change passes over the world save
// that the model names, one pass at a time, and shows their results in the model, the sink
// and message boxes.
class PassRunner {
 public:
  PassRunner(WindowModel& model, ProgressSink& sink, Dialogs& dialogs,
             FileSystem& fs = SystemFileSystem(), BufferSizes buffers = {});

  PassOutcome AnalysisPass();
  PassOutcome RemovePass();
  PassOutcome ChangePass();

  bool Running() const { return running_; }
  // Makes the running pass end at its next yield without replacing the world save and
  // without its temp file. A pass in its replace step completes the step first.
  void RequestStop();

 private:
  class RunningScope;

  // Shows the result; the analysis shows its counts before the status, the rewriting passes
  // after it.
  PassOutcome Show(const PassResult& shown, bool countsFirst);
  // Runs `pass` once the guard lets it begin, and no other pass runs.
  template <class Pass>
  PassOutcome Run(Pass pass, bool countsFirst);
  void ShowCounts(const ScanCounts& counts);

  WindowModel& model_;
  ProgressSink& sink_;
  Dialogs& dialogs_;
  LoadGuard guard_;
  std::atomic<bool> stopRequested_ = false;
  SavePasses passes_;
  bool running_ = false;
};

}  // namespace duskmend
